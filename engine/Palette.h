// Palette colours: the defaults every run starts with and their screen colours.
#pragma once

#include <cstdint>

#include "engine/Binary.h"

namespace dapplix {

// Every palette of a set gets the same four colours (light to dark).
void SetDefaultPals(Model& model);

// "Dim Colors" multiplies each 5-bit component by 6, else by 8.
constexpr int kDimScale = 6;
constexpr int kFullScale = 8;

// Screen colour 0xRRGGBB of colour c of palette p in palette set `set`: each 5-bit
// component times scale (kDimScale or kFullScale), no clamping. The windows pass the
// set they show and their dimming; the model holds neither.
std::uint32_t PalToRgb(const Model& model, int set, int scale, int colour, int palette);

}  // namespace dapplix
