#include "Bits.h"

namespace dapplix {

std::uint16_t ColorWord(int red, int green, int blue) {
    return static_cast<std::uint16_t>(((blue & 31) << 10) | ((green & 31) << 5) | (red & 31));
}

std::array<std::uint8_t, 2> PackColor(int red, int green, int blue) {
    const std::uint16_t word = ColorWord(red, green, blue);
    return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}

void SetTilePixel(TileImage& tile, int x, int y, int value) {
    const auto mask = static_cast<std::uint8_t>(0x80 >> x);
    std::uint8_t& low = tile[2 * y];
    std::uint8_t& high = tile[2 * y + 1];
    low = static_cast<std::uint8_t>((value & 1) ? (low | mask) : (low & ~mask));
    high = static_cast<std::uint8_t>((value & 2) ? (high | mask) : (high & ~mask));
}

void SwitchTilePixels(TileImage& tile, int a, int b) {
    if (a == b) return;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int value = TilePixel(tile, x, y);
            if (value == a) SetTilePixel(tile, x, y, b);
            else if (value == b) SetTilePixel(tile, x, y, a);
        }
    }
}

}  // namespace dapplix
