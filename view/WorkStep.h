// One step of the undo history: a change of the user's work (engine/WorkHistory.h) that
// Qt's undo stack can take back and do again. The change is already made when the step is
// pushed, so the stack's first redo does nothing.
#pragma once

#include <QUndoCommand>

#include <functional>

#include "engine/WorkHistory.h"

namespace dapplix {

class WorkStep : public QUndoCommand {
public:
    static constexpr int kOffsetId = 1;  // steps of one bank's tile offset merge

    // shown runs after each undo and redo, to bring the windows up to date.
    WorkStep(Model& model, const QString& text, WorkChange change, std::function<void()> shown);

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    Model& model_;
    WorkChange change_;
    std::function<void()> shown_;
    bool done_ = true;  // the change was made before the step was pushed
};

}  // namespace dapplix
