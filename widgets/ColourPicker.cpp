#include "widgets/ColourPicker.h"

#include <algorithm>

#include "engine/Binary.h"
#include "widgets/ViewCanvas.h"

namespace dapplix {

ColourPicker::ColourPicker(ViewCanvas* strip, bool horizontal, int cell, std::function<void()> picked)
    : strip_(strip), horizontal_(horizontal), cell_(cell) {
    strip->setCursor(Qt::PointingHandCursor);
    QObject::connect(strip, &ViewCanvas::mouseReleased, strip,
                     [this, picked = std::move(picked)](QPoint pos, Qt::MouseButton button) {
                         if (button == Qt::NoButton) return;
                         const int index = std::clamp(CellOf(horizontal_ ? pos.x() : pos.y(), cell_), 0, kColours - 1);
                         (button == Qt::LeftButton ? LeftCol : RightCol) = index;
                         picked();
                     });
}

void ColourPicker::Reset(const std::function<QRgb(int)>& colour) {
    for (int i = 0; i < kColours; ++i) {
        const int from = cell_ * i, to = cell_ * i + cell_ - 1;
        if (horizontal_) strip_->FillRect(from, 0, to, cell_ - 1, colour(i));
        else strip_->FillRect(0, from, cell_ - 1, to, colour(i));
    }
    LeftCol = 0;
    RightCol = 1;
}

bool ColourPicker::PickByKey(int key, Qt::KeyboardModifiers modifiers) {
    if (key < Qt::Key_1 || key > Qt::Key_4 || (modifiers & ~(Qt::ControlModifier | Qt::KeypadModifier))) return false;
    (modifiers & Qt::ControlModifier ? RightCol : LeftCol) = key - Qt::Key_1;
    return true;
}

}  // namespace dapplix
