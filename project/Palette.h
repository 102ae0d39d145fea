// Palette colours: the defaults every run starts with and their screen colours.
#pragma once

#include <cstdint>

#include "engine/Binary.h"

namespace dapplix {

// Every palette of a set gets the same four colours (light to dark).
void SetDefaultPals(Model& model);

// Screen colour 0xRRGGBB of colour c of palette p in the shown set: each 5-bit
// component times ColorScale (6 with "Dim Colors", else 8), no clamping.
std::uint32_t PalToRgb(const Model& model, int colour, int palette);

}  // namespace dapplix
