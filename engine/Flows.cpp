#include "Flows.h"

#include <algorithm>

#include "Bits.h"
#include "ProjectFile.h"
#include "Files.h"
#include "Rom.h"
#include "Writer.h"

namespace dapplix {

RomOpenResult LoadRomForColouring(Model& model, const std::string& path) {
    RomLoadResult loaded = LoadRom(model, path);
    RomOpenResult result;
    result.ok = loaded.ok;
    result.errors = std::move(loaded.errors);
    result.warnings = std::move(loaded.warnings);
    if (!result.ok) result.summary = kMsgCouldNotLoadRom;
    return result;
}

RomOpenResult OpenRomForColouring(Model& model, const std::string& path, const RomOpenSteps& steps) {
    RomOpenResult result = LoadRomForColouring(model, path);
    if (!result.ok) return result;
    if (steps.loaded) steps.loaded();
    result.scan = ScanRom(model, steps.progress);  // changes nothing without room
    if (result.scan.notEnoughRoom && steps.overwriteRomCode && steps.overwriteRomCode())
        result.scan = ScanRom(model, steps.progress, true);
    if (!result.scan.placed) result.errors.emplace_back(result.scan.ownVramBank1 >= 0 ? kMsgOwnVramBank1 : kMsgNoSafeRoom);
    result.findings = DescribeScan(model, result.scan);
    return result;
}

FlowResult OpenProject(Model& model, const std::string& path) {
    FlowResult result;
    result.errors = CheckGbpHeader(path);
    std::string error;
    if (result.errors.empty() && !LoadGbp(model, path, error)) result.errors.push_back(error);
    result.ok = result.errors.empty();
    if (!result.ok) result.summary = kMsgCouldNotLoadGbp;
    return result;
}

FlowResult SaveProject(const Model& model, const std::string& path) {
    FlowResult result;
    std::string error;
    result.ok = SaveGbp(model, path, error);
    if (!result.ok) result.errors.push_back(error);
    return result;
}

FlowResult WriteColourPatch(Model& model, const std::string& path, PatchFormat format) {
    FlowResult result;
    if (!model.ColourCodePlaced) {
        result.errors.emplace_back(kMsgCodeNotPlaced);
        return result;
    }
    const std::vector<std::uint8_t> rom = BuildColorRom(model);
    const std::vector<std::uint8_t> patch =
        format == PatchFormat::Ips ? MakeIpsPatch(model.RomFile, rom) : MakeBpsPatch(model.RomFile, rom);
    std::string error;
    result.ok = WriteFileAtomically(path, patch, error);
    if (!result.ok) result.errors.push_back(error);
    return result;
}

TileRect SelectionRect(int bank, int page, int x1, int y1, int x2, int y2) {
    auto cell = [](int v) { return std::clamp(v, 0, kGridCells - 1); };
    return {bank, page, cell(std::min(x1, x2)), cell(std::min(y1, y2)), cell(std::max(x1, x2)), cell(std::max(y1, y2))};
}

namespace {

// Runs change(tile) on every tile of the rectangle, row by row, with the steps around it.
template <typename Change>
void ForEachCell(const Model& model, const TileRect& rect, const CellSteps& steps, Change change) {
    if (rect.bank < 0 || rect.bank >= kMaxBanks || rect.page < 0 || rect.page >= kTilesPerBank / kTilesPerPage) return;
    for (int row = rect.top; row <= rect.bottom; ++row) {
        for (int column = rect.left; column <= rect.right; ++column) {
            if (steps.beforeCell) steps.beforeCell();
            const int tile = PageTile(rect.page, column, row);
            change(tile);
            if (steps.cellDone)
                steps.cellDone(column, row, DisplayTile(model, rect.bank, tile), model.TilePal[rect.bank][tile]);
        }
    }
}

}  // namespace

void AssignPalette(Model& model, const TileRect& rect, int palette, const CellSteps& steps) {
    const auto number = static_cast<std::int16_t>(std::clamp(palette, 0, kPalettes - 1));
    ForEachCell(model, rect, steps, [&](int tile) { model.TilePal[rect.bank][tile] = number; });
}

void SwitchPixels(Model& model, const TileRect& rect, int a, int b, const CellSteps& steps) {
    ForEachCell(model, rect, steps, [&](int tile) {
        // The last tile of a shifted bank has no complete bytes to exchange.
        if (TileAbsent(model, rect.bank, tile)) return;
        TileImage image = DisplayTile(model, rect.bank, tile);
        SwitchTilePixels(image, a, b);
        CommitTileImage(model, rect.bank, tile, image);
    });
}

}  // namespace dapplix
