#include "view/WorkStep.h"

namespace dapplix {

WorkStep::WorkStep(Model& model, const QString& text, WorkChange change, std::function<void()> shown)
    : QUndoCommand(text), model_(model), change_(std::move(change)), shown_(std::move(shown)) {}

void WorkStep::undo() {
    ApplyWorkChange(model_, change_, true);
    done_ = false;
    shown_();
}

void WorkStep::redo() {
    if (done_) return;  // pushed after the change was made
    ApplyWorkChange(model_, change_, false);
    done_ = true;
    shown_();
}

int WorkStep::id() const {
    return change_.tiles.empty() && change_.colours.empty() && change_.offsets.size() == 1 ? kOffsetId : -1;
}

bool WorkStep::mergeWith(const QUndoCommand* other) {
    const auto* step = dynamic_cast<const WorkStep*>(other);
    return step && MergeOffsetChanges(change_, step->change_);
}

}  // namespace dapplix
