// Colour words and the Game Boy 2-bit-per-pixel tile layout.
#pragma once

#include <array>
#include <cstdint>

#include "Binary.h"

namespace dapplix {

// The 15-bit Game Boy Color colour word blue*1024 + green*32 + red; each component
// keeps only its low five bits.
std::uint16_t ColorWord(int red, int green, int blue);

// The colour word as two bytes, high byte first.
std::array<std::uint8_t, 2> PackColor(int red, int green, int blue);

// A 16-bit word as the Game Boy keeps it in memory, low byte first, at at[0..1].
inline void PutWordLowFirst(std::uint8_t* at, std::uint16_t word) {
    at[0] = static_cast<std::uint8_t>(word & 0xFF);
    at[1] = static_cast<std::uint8_t>(word >> 8);
}

// Bit i of a byte moved to bit 2i, so that a tile row's two bit planes interleave.
constexpr std::array<std::uint16_t, 256> kSpreadBits = [] {
    std::array<std::uint16_t, 256> spread{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) spread[b] = std::uint16_t(spread[b] | (1u << (2 * i)));
    return spread;
}();

// The eight 2-bit pixel values of row y, pixel 0 (the leftmost) in the top two bits:
// pixel x is bit 7-x of byte 2y (low plane) plus twice that bit of byte 2y+1. Every
// reader of tile pixels goes through here, the page painter one row at a time.
inline unsigned TileRowPixels(const TileImage& tile, int y) {
    return kSpreadBits[tile[2 * y]] | (unsigned(kSpreadBits[tile[2 * y + 1]]) << 1);
}

// Pixel (x, y) of a tile, 0..3.
inline int TilePixel(const TileImage& tile, int x, int y) { return (TileRowPixels(tile, y) >> (14 - 2 * x)) & 3; }

// Writes value (0..3) into pixel (x, y); the other 126 bits stay as they were.
void SetTilePixel(TileImage& tile, int x, int y, int value);

// Every pixel of value a becomes b and every pixel of value b becomes a.
void SwitchTilePixels(TileImage& tile, int a, int b);

}  // namespace dapplix
