#include "view/TilePainter.h"

#include <algorithm>
#include <cstring>

namespace dapplix {

namespace {

// Bit i of a byte moved to bit 2i, so that a tile row's two bit planes interleave into
// eight 2-bit pixel values, the leftmost pixel in the top two bits.
constexpr std::array<std::uint16_t, 256> MakeSpread() {
    std::array<std::uint16_t, 256> spread{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) spread[b] = std::uint16_t(spread[b] | (1u << (2 * i)));
    return spread;
}
constexpr std::array<std::uint16_t, 256> kSpread = MakeSpread();

}  // namespace

void TilePainter::SetPalette(int palette, const std::array<QRgb, kColours>& colours) {
    Table& table = tables_[std::clamp(palette, 0, kPalettes - 1)];
    std::array<QRgb, kColours> opaque{};
    for (int value = 0; value < kColours; ++value) opaque[value] = 0xFF000000u | colours[value];
    if (table.built && table.colours == opaque) return;
    table.colours = opaque;
    table.built = true;
    for (int index = 0; index < 256; ++index)
        for (int pixel = 0; pixel < 4; ++pixel) {
            const QRgb colour = opaque[(index >> (6 - 2 * pixel)) & 3];
            table.runs[index][2 * pixel] = colour;
            table.runs[index][2 * pixel + 1] = colour;
        }
}

void TilePainter::Paint(QRgb* origin, std::ptrdiff_t stride, const TileImage& tile, int palette, bool grid,
                        bool lastColumn, bool lastRow) const {
    const auto& runs = tables_[std::clamp(palette, 0, kPalettes - 1)].runs;
    constexpr std::size_t kRunBytes = sizeof(Run);
    for (int y = 0; y < 8; ++y) {
        const unsigned pixels = kSpread[tile[2 * y]] | (kSpread[tile[2 * y + 1]] << 1);
        const Run& left = runs[pixels >> 8];
        const Run& right = runs[pixels & 0xFF];
        QRgb* const upper = origin + 2 * y * stride;
        QRgb* const lower = upper + stride;  // each tile pixel is two screen rows high
        std::memcpy(upper, left.data(), kRunBytes);
        std::memcpy(upper + 8, right.data(), kRunBytes);
        std::memcpy(lower, left.data(), kRunBytes);
        std::memcpy(lower + 8, right.data(), kRunBytes);
    }
    // The lines only separate tiles; each covers the right or bottom screen pixel of
    // the tile's outermost pixels.
    if (grid) {
        if (!lastColumn)
            for (int y = 0; y < kCellSide; ++y) origin[y * stride + kCellSide - 1] = kGridColour;
        if (!lastRow) std::fill_n(origin + (kCellSide - 1) * stride, kCellSide, kGridColour);
    }
}

}  // namespace dapplix
