// Draws 8 x 8 tiles at twice their size into a 32-bit image, fast enough that a whole page
// of 256 tiles costs a few times what filling the image once does. Each palette's four
// screen colours are expanded into a table of all 16 runs of two pixels, already doubled
// in width, so a tile row is four table copies written to both of its screen rows. The
// tables of all eight palettes together take 2 KiB, so they stay in the first-level cache
// while a page mixes palettes (runs of four pixels would take 64 KiB).
#pragma once

#include <QRgb>

#include <array>
#include <cstddef>

#include "engine/Binary.h"

namespace dapplix {

class TilePainter {
public:
    static constexpr int kScale = 2;                  // screen pixels per tile pixel, each way
    static constexpr int kCellSide = 8 * kScale;      // 16
    static constexpr QRgb kGridColour = 0xFF0A0A0Au;  // RGB (10, 10, 10)

    // The screen colours of pixel values 0..3 of a palette. The table is rebuilt only
    // when they differ from the ones it was built for.
    void SetPalette(int palette, const std::array<QRgb, kColours>& colours);

    // Paints a tile with its top-left screen pixel at origin (stride in pixels between
    // screen rows), then, when grid is set, its right line unless lastColumn and its
    // bottom line unless lastRow.
    void Paint(QRgb* origin, std::ptrdiff_t stride, const TileImage& tile, int palette, bool grid, bool lastColumn,
               bool lastRow) const;

private:
    using Run = std::array<QRgb, 4>;  // two tile pixels, two screen pixels each
    struct Table {
        std::array<QRgb, kColours> colours{};
        bool built = false;
        std::array<Run, 16> runs{};  // indexed by two 2-bit pixel values, the left one higher
    };
    std::array<Table, kPalettes> tables_{};
};

}  // namespace dapplix
