#include "Bits.h"

namespace dapplix {

std::string GetBits(int value, int first, int count) {
    std::string digits(count > 0 ? count : 0, '0');
    if (value < 0) return digits;
    for (int i = 0; i < count; ++i) {
        const int bit = first + count - 1 - i;
        if (bit < 31 && ((value >> bit) & 1)) digits[i] = '1';
    }
    return digits;
}

std::int32_t BinToInt(std::string_view digits) {
    std::uint32_t value = 0;
    for (char c : digits) value = (value << 1) | (c == '1' ? 1u : 0u);
    return static_cast<std::int32_t>(value);
}

std::vector<std::uint8_t> IntToBytes(std::int32_t value, int width) {
    auto bits = static_cast<std::uint32_t>(value);
    std::vector<std::uint8_t> bytes;
    do {
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(bits & 0xFF));
        bits >>= 8;
    } while (bits != 0);
    while (static_cast<int>(bytes.size()) < width) bytes.insert(bytes.begin(), 0);
    return bytes;
}

std::uint16_t ColorWord(int red, int green, int blue) {
    return static_cast<std::uint16_t>(((blue & 31) << 10) | ((green & 31) << 5) | (red & 31));
}

std::array<std::uint8_t, 2> PackColor(int red, int green, int blue) {
    const std::uint16_t word = ColorWord(red, green, blue);
    return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}

int TilePixel(const TileImage& tile, int x, int y) {
    const int mask = 0x80 >> x;
    return ((tile[2 * y] & mask) ? 1 : 0) + ((tile[2 * y + 1] & mask) ? 2 : 0);
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
