#include "WorkHistory.h"

namespace dapplix {

std::unique_ptr<Work> CaptureWork(const Model& model) {
    auto work = std::make_unique<Work>();
    work->TileOffset = model.TileOffset;
    work->TilePal = model.TilePal;
    work->TileEdited = model.TileEdited;
    work->EditedTile = model.EditedTile;
    work->Pals = model.Pals;
    return work;
}

WorkChange DiffWork(const Work& before, const Model& model) {
    WorkChange change;
    for (int bank = 0; bank < kMaxBanks; ++bank) {
        if (before.TileOffset[bank] != model.TileOffset[bank])
            change.offsets.push_back({bank, before.TileOffset[bank], model.TileOffset[bank]});
        // Whole banks compare fast; most banks of most steps are unchanged.
        if (before.TilePal[bank] == model.TilePal[bank] && before.TileEdited[bank] == model.TileEdited[bank] &&
            before.EditedTile[bank] == model.EditedTile[bank])
            continue;
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (before.TilePal[bank][tile] == model.TilePal[bank][tile] &&
                before.TileEdited[bank][tile] == model.TileEdited[bank][tile] &&
                before.EditedTile[bank][tile] == model.EditedTile[bank][tile])
                continue;
            change.tiles.push_back({bank, tile, before.TilePal[bank][tile], model.TilePal[bank][tile],
                                    before.TileEdited[bank][tile], model.TileEdited[bank][tile],
                                    before.EditedTile[bank][tile], model.EditedTile[bank][tile]});
        }
    }
    for (int set = 0; set < kPaletteSets; ++set)
        for (int palette = 0; palette < kPalettes; ++palette)
            for (int colour = 0; colour < kColours; ++colour)
                if (before.Pals[set][palette][colour] != model.Pals[set][palette][colour])
                    change.colours.push_back(
                        {set, palette, colour, before.Pals[set][palette][colour], model.Pals[set][palette][colour]});
    return change;
}

void ApplyWorkChange(Model& model, const WorkChange& change, bool undo) {
    for (const OffsetChange& offset : change.offsets) model.TileOffset[offset.bank] = undo ? offset.before : offset.after;
    for (const TileChange& tile : change.tiles) {
        model.TilePal[tile.bank][tile.tile] = undo ? tile.palBefore : tile.palAfter;
        model.TileEdited[tile.bank][tile.tile] = undo ? tile.editedBefore : tile.editedAfter;
        model.EditedTile[tile.bank][tile.tile] = undo ? tile.imageBefore : tile.imageAfter;
    }
    for (const ColourChange& colour : change.colours)
        model.Pals[colour.set][colour.palette][colour.colour] = undo ? colour.before : colour.after;
}

bool MergeOffsetChanges(WorkChange& first, const WorkChange& second) {
    auto onlyOffset = [](const WorkChange& change) {
        return change.tiles.empty() && change.colours.empty() && change.offsets.size() == 1;
    };
    if (!onlyOffset(first) || !onlyOffset(second) || first.offsets[0].bank != second.offsets[0].bank) return false;
    first.offsets[0].after = second.offsets[0].after;
    return true;
}

}  // namespace dapplix
