// Tiles whose bytes are the same but which were given different palettes. The colour ROM
// knows a tile by its bytes alone, so all of them get one palette there (the rule of
// CollectDictionaryTiles); the user is shown where that happens.
#pragma once

#include <array>
#include <vector>

#include "Binary.h"

namespace dapplix {

struct PaletteConflict {
    int bank = 0, tile = 0;
    int palette = 0;                       // the palette this tile was given
    std::array<int, kPalettes> given{};    // tiles with these bytes given each palette
    int wins = 0;                          // the palette all of them get in the colour ROM
    int group = 0;                         // tiles with the same bytes share a group number
};

// Every tile with a palette 1-7 whose bytes other tiles show with another palette, in
// order of bank and tile.
std::vector<PaletteConflict> FindPaletteConflicts(const Model& model);

// Distinct tile images given more than one palette.
int CountPaletteConflicts(const Model& model);

}  // namespace dapplix
