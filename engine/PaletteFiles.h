// The eight palettes of one palette set as a palette file that paint programs read and
// write: JASC-PAL (.pal, Paint Shop Pro and most tile editors) and GIMP (.gpl). Colour k
// of the file is colour k % 4 of palette k / 4, in 8-bit components.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "Binary.h"

namespace dapplix {

enum class PaletteFileFormat { Jasc, Gimp };

// 5-bit Game Boy Color components and 8-bit ones: every 5-bit value survives the way out
// and back.
constexpr int ComponentTo8Bit(int value) { return (value * 255 + 15) / 31; }
constexpr int ComponentTo5Bit(int value) { return (value * 31 + 127) / 255; }

using Rgb8 = std::array<int, 3>;

// The 32 colours of a set, as the file's text.
std::string EncodePaletteFile(const Model& model, int set, PaletteFileFormat format);

// The colours of a JASC or GIMP palette file, told apart by the first line. A damaged
// file is refused with error set.
bool DecodePaletteFile(const std::string& text, std::vector<Rgb8>& colours, std::string& error);

// The first 32 colours into the set, palette after palette; a shorter file changes the
// colours it has and leaves the rest. Returns the number of colours taken.
int ApplyPaletteColours(Model& model, int set, const std::vector<Rgb8>& colours);

// File versions of the above: the format from the name's extension (.gpl is GIMP, every
// other JASC) and an all-or-nothing write; a read applies nothing unless the whole file is
// sound.
bool SavePaletteFile(const Model& model, int set, const std::string& path, std::string& error);
bool LoadPaletteFile(Model& model, int set, const std::string& path, int& taken, std::string& error);

}  // namespace dapplix
