#include "widgets/TilePainter.h"

#include <algorithm>
#include <cstring>

#include "engine/Bits.h"

namespace dapplix {

void TilePainter::SetPalette(int palette, const std::array<QRgb, kColours>& colours) {
    Table& table = tables_[std::clamp(palette, 0, kPalettes - 1)];
    std::array<QRgb, kColours> opaque{};
    for (int value = 0; value < kColours; ++value) opaque[value] = 0xFF000000u | colours[value];
    if (table.built && table.colours == opaque) return;
    table.colours = opaque;
    table.built = true;
    for (int index = 0; index < 16; ++index)
        table.runs[index] = {opaque[index >> 2], opaque[index >> 2], opaque[index & 3], opaque[index & 3]};
}

void TilePainter::Paint(QRgb* origin, std::ptrdiff_t stride, const TileImage& tile, int palette, bool grid,
                        bool lastColumn, bool lastRow) const {
    const auto& runs = tables_[std::clamp(palette, 0, kPalettes - 1)].runs;
    for (int y = 0; y < 8; ++y) {
        const unsigned pixels = TileRowPixels(tile, y);
        // The row's four runs are read before any of them is stored, so the stores need
        // not wait for the table to be read again.
        const Run first = runs[pixels >> 12], second = runs[(pixels >> 8) & 0xF];
        const Run third = runs[(pixels >> 4) & 0xF], fourth = runs[pixels & 0xF];
        QRgb* const upper = origin + 2 * y * stride;
        for (QRgb* line : {upper, upper + stride}) {  // each tile pixel is two screen rows high
            std::memcpy(line, first.data(), sizeof(Run));
            std::memcpy(line + 4, second.data(), sizeof(Run));
            std::memcpy(line + 8, third.data(), sizeof(Run));
            std::memcpy(line + 12, fourth.data(), sizeof(Run));
        }
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
