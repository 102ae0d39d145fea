// What the windows remember between events and hand to each other, apart from the user's
// work in the Model: the selection on the shown page, the palette set shown and the
// dimming of screen colours, and the values an opener gives a dialog before showing it.
// The main window owns one; the dialogs it opens read and write that one.
#pragma once

#include <cstdint>

#include "engine/Binary.h"
#include "engine/Palette.h"

namespace dapplix {

struct ViewState {
    std::int16_t CurPalSet = kSpriteSet;
    std::int16_t ColorScale = kDimScale;  // kDimScale while "Dim Colors" is checked

    // Selection: grid cells 0..15 of the shown page, ordered once the mouse is released.
    std::int16_t SelX1 = 0, SelY1 = 0, SelX2 = 0, SelY2 = 0;

    // Hand-over values: the colour editor's colour, the tile editor's tile, the palette
    // the pixel switch shows its colours in.
    std::int16_t EditPal = 0;
    std::int16_t EditCol = 0;
    std::int16_t EditTileNum = 0;
    // Where the tile to edit was when it was double-clicked: the edit goes there, whatever
    // the sliders show by the time the editor opens.
    std::int16_t EditBank = 0;
    TileImage EditTileData{};
    std::int16_t EditTilePal = 0;
    std::int16_t SwitchPal = 0;
};

// Screen colour (opaque) of colour c of a palette in the shown set with the shown dimming.
inline std::uint32_t ScreenColour(const Model& model, const ViewState& view, int colour, int palette) {
    const int shown = palette < 0 ? 0 : (palette >= kPalettes ? kPalettes - 1 : palette);
    return 0xFF000000u | PalToRgb(model, view.CurPalSet, view.ColorScale, colour, shown);
}

}  // namespace dapplix
