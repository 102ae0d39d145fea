// Bit strings, colour words and the Game Boy 2-bit-per-pixel tile layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Binary.h"

namespace dapplix {

// Digits "0"/"1" of bits first+count-1 down to first of value, most significant first.
// Exact for values 0..1023 and bit positions up to 9; a negative value gives zeros.
std::string GetBits(int value, int first, int count);

// Reads a string of binary digits; any character other than '1' counts as 0.
std::int32_t BinToInt(std::string_view digits);

// Big-endian bytes of value (at least one), padded with leading zero bytes to width.
// Never cuts: a value needing more bytes keeps them all.
std::vector<std::uint8_t> IntToBytes(std::int32_t value, int width);

// The 15-bit Game Boy Color colour word blue*1024 + green*32 + red; each component
// keeps only its low five bits.
std::uint16_t ColorWord(int red, int green, int blue);

// The colour word as two bytes, high byte first.
std::array<std::uint8_t, 2> PackColor(int red, int green, int blue);

// Pixel (x, y) of a tile: bit 7-x of byte 2y plus twice that bit of byte 2y+1.
int TilePixel(const TileImage& tile, int x, int y);

// Writes value (0..3) into pixel (x, y); the other 126 bits stay as they were.
void SetTilePixel(TileImage& tile, int x, int y, int value);

// Every pixel of value a becomes b and every pixel of value b becomes a.
void SwitchTilePixels(TileImage& tile, int a, int b);

}  // namespace dapplix
