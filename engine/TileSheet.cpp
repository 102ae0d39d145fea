#include "TileSheet.h"

#include <algorithm>
#include <array>

#include "Bits.h"
#include "PaletteFiles.h"

namespace dapplix {

std::uint32_t SheetColour(const Model& model, int set, int palette, int colour) {
    const auto& rgb = model.Pals[set][palette][colour];
    return std::uint32_t(ComponentTo8Bit(rgb[0])) << 16 | std::uint32_t(ComponentTo8Bit(rgb[1])) << 8 |
           std::uint32_t(ComponentTo8Bit(rgb[2]));
}

TileSheet ExportTileSheet(const Model& model, const SheetArea& area, int set, bool grey) {
    TileSheet sheet;
    sheet.width = kSheetWidth;
    sheet.height = area.height();
    sheet.indices.assign(std::size_t(sheet.width) * std::size_t(sheet.height), 0);
    if (grey) {
        for (int value = 0; value < kColours; ++value) sheet.colours.push_back(SheetGrey(value));
    } else {
        for (int palette = 0; palette < kPalettes; ++palette)
            for (int colour = 0; colour < kColours; ++colour) sheet.colours.push_back(SheetColour(model, set, palette, colour));
    }
    for (int k = 0; k < area.tiles(); ++k) {
        const int tile = area.firstTile() + k;
        const TileImage image = DisplayTile(model, area.bank, tile);
        const int base = grey ? 0 : kColours * std::clamp<int>(model.TilePal[area.bank][tile], 0, kPalettes - 1);
        const int left = k % kSheetColumns * 8, top = k / kSheetColumns * 8;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                sheet.indices[std::size_t(top + y) * std::size_t(sheet.width) + std::size_t(left + x)] =
                    std::uint8_t(base + TilePixel(image, x, y));
    }
    return sheet;
}

namespace {

int Distance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift : {16, 8, 0}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

}  // namespace

SheetImport ImportTileSheet(Model& model, const SheetArea& area, int set, int width, int height,
                            const std::vector<std::uint32_t>& pixels) {
    SheetImport result;
    if (width != kSheetWidth || height != area.height() || pixels.size() != std::size_t(width) * std::size_t(height)) {
        result.error = "The picture is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; " +
                       (area.page < 0 ? "a bank" : "a page") + " is " + std::to_string(kSheetWidth) + " x " +
                       std::to_string(area.height()) + ".";
        return result;
    }
    result.grey = std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t pixel) {
        for (int value = 0; value < kColours; ++value)
            if ((pixel & 0xFFFFFF) == SheetGrey(value)) return true;
        return false;
    });
    for (int k = 0; k < area.tiles(); ++k) {
        const int tile = area.firstTile() + k;
        if (TileAbsent(model, area.bank, tile)) continue;
        const TileImage before = DisplayTile(model, area.bank, tile);
        std::array<std::uint32_t, kColours> choices{};
        for (int value = 0; value < kColours; ++value)
            choices[std::size_t(value)] =
                result.grey ? SheetGrey(value)
                            : SheetColour(model, set, std::clamp<int>(model.TilePal[area.bank][tile], 0, kPalettes - 1), value);
        TileImage image = before;
        const int left = k % kSheetColumns * 8, top = k / kSheetColumns * 8;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const std::uint32_t pixel = pixels[std::size_t(top + y) * std::size_t(width) + std::size_t(left + x)] & 0xFFFFFF;
                const int current = TilePixel(before, x, y);
                int best = -1, bestDistance = 0;
                for (int value = 0; value < kColours; ++value) {
                    const int d = Distance(pixel, choices[std::size_t(value)]);
                    // Ties keep the pixel's own value, so a picture written and read back
                    // unchanged changes nothing even where a palette repeats a colour.
                    if (best < 0 || d < bestDistance || (d == bestDistance && value == current)) {
                        best = value;
                        bestDistance = d;
                    }
                }
                if (bestDistance != 0) ++result.inexactPixels;
                SetTilePixel(image, x, y, best);
            }
        }
        if (image != before) {
            CommitTileImage(model, area.bank, tile, image);
            result.changedTiles.push_back(tile);
        }
    }
    result.ok = true;
    return result;
}

}  // namespace dapplix
