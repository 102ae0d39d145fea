// A page or a whole bank laid out as a picture for paint programs: 16 tiles across at one
// screen pixel per tile pixel (a page 128 x 128, a bank 128 x 512), each pixel an index into
// a colour table. With palette colours the table holds the shown set's 8 palettes (index
// 4 x palette + value); in grey it holds four greys (index = value). Reading a picture of
// the same layout back gives each pixel the nearest colour of its tile's palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Binary.h"

namespace dapplix {

constexpr int kSheetColumns = 16;  // tiles across
constexpr int kSheetWidth = kSheetColumns * 8;

struct SheetArea {
    int bank = 0;
    int page = -1;  // -1: the whole bank
    int firstTile() const { return page < 0 ? 0 : page * kTilesPerPage; }
    int tiles() const { return page < 0 ? kTilesPerBank : kTilesPerPage; }
    int height() const { return tiles() / kSheetColumns * 8; }
};

struct TileSheet {
    int width = 0, height = 0;
    std::vector<std::uint8_t> indices;    // width x height, row by row
    std::vector<std::uint32_t> colours;  // 0xRRGGBB: 32 entries (palettes) or 4 (grey)
};

// The grey of pixel value v: white to black in even steps.
constexpr std::uint32_t SheetGrey(int value) {
    const std::uint32_t level = std::uint32_t(255 - 85 * value);
    return level << 16 | level << 8 | level;
}

// The colour of a palette entry as an 8-bit picture shows it (no dimming).
std::uint32_t SheetColour(const Model& model, int set, int palette, int colour);

TileSheet ExportTileSheet(const Model& model, const SheetArea& area, int set, bool grey);

struct SheetImport {
    bool ok = false;
    std::string error;                // why the picture was refused
    bool grey = false;                // read as grey (every pixel one of the four greys)
    std::vector<int> changedTiles;    // tile numbers whose image changed
    int inexactPixels = 0;            // pixels that took the nearest colour, not an exact one
};

// Reads a picture of pixels 0xRRGGBB (width x height, row by row) back into the area's
// tiles by the edited-tile rule. A picture whose every pixel is one of the four greys is
// read as grey; any other by the nearest colour of each tile's palette in the set (where two
// of a palette's colours are equally near, the pixel keeps its value if it is one of them,
// else takes the lower). The size must be the area's. The absent last tile of a shifted bank
// is left alone.
SheetImport ImportTileSheet(Model& model, const SheetArea& area, int set, int width, int height,
                            const std::vector<std::uint32_t>& pixels);

}  // namespace dapplix
