// What the editing dialogs need from the main window: the shown bank, drawing one tile
// into the tile view, and the pixel switch over the selection. frmMain implements it; the
// dialogs hold a reference and never include frmMain itself.
#pragma once

#include "engine/Binary.h"

namespace dapplix {

class TileViewHost {
public:
    virtual ~TileViewHost() = default;

    virtual int CurrentBank() const = 0;  // position of sldBank

    // Draws a tile image into grid cell (column, row) of picTiles with the given palette
    // number of the shown palette set, plus its grid lines when "Show Grid" is checked.
    virtual void DrawTile(const TileImage& image, int column, int row, int palette) = 0;

    // A tile's image or palette changed: its cell is drawn again if the shown page holds it.
    virtual void RedrawTile(int bank, int tile) = 0;

    // Swaps pixel values a and b in every selected tile, tile by tile on screen with the
    // window locked.
    virtual void SwitchPixels(int a, int b) = 0;
};

}  // namespace dapplix
