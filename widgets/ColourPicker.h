// The four colours of a palette as a strip of cells, from which the left mouse button
// picks one colour and any other button a second: the tile editor paints with the two,
// the pixel switch swaps them.
#pragma once

#include <QRgb>
#include <Qt>

#include <functional>

namespace dapplix {

class ViewCanvas;

class ColourPicker {
public:
    // The strip's cells run across (horizontal) or down; `picked` runs after each choice.
    ColourPicker(ViewCanvas* strip, bool horizontal, int cell, std::function<void()> picked);

    int LeftCol = 0;   // chosen with the left button
    int RightCol = 1;  // chosen with any other button

    // A new opening: the first two colours, and the strip painted in the given colours.
    void Reset(const std::function<QRgb(int)>& colour);

    // Keys 1-4 pick colours 0-3 as LeftCol, with Ctrl as RightCol. True when the key was one.
    bool PickByKey(int key, Qt::KeyboardModifiers modifiers);

private:
    ViewCanvas* strip_;
    bool horizontal_;
    int cell_;
};

}  // namespace dapplix
