// The user's work as an undo history sees it: what changed between two moments, kept as
// the entries that differ (before and after), so that a step of the history costs what it
// changed and not a copy of every bank. The window program wraps each change in one of
// these; undoing applies the "before" values and redoing the "after" values, which gives
// back the same project bytes either way.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Binary.h"

namespace dapplix {

// Everything a project file keeps of the work: offsets, palette numbers, edit marks and
// images, colours.
struct Work {
    std::array<std::int16_t, kMaxBanks> TileOffset{};
    std::array<std::array<std::int16_t, kTilesPerBank>, kMaxBanks> TilePal{};
    std::array<std::array<bool, kTilesPerBank>, kMaxBanks> TileEdited{};
    std::array<std::array<TileImage, kTilesPerBank>, kMaxBanks> EditedTile{};
    PaletteTable Pals{};
};

// On the heap: a copy of the work is over half a megabyte.
std::unique_ptr<Work> CaptureWork(const Model& model);

struct TileChange {
    int bank = 0, tile = 0;
    std::int16_t palBefore = 0, palAfter = 0;
    bool editedBefore = false, editedAfter = false;
    TileImage imageBefore{}, imageAfter{};
};
struct OffsetChange {
    int bank = 0;
    std::int16_t before = 0, after = 0;
};
struct ColourChange {
    int set = 0, palette = 0, colour = 0;
    std::array<std::int16_t, kComponents> before{}, after{};
};

struct WorkChange {
    std::vector<TileChange> tiles;
    std::vector<OffsetChange> offsets;
    std::vector<ColourChange> colours;
    bool empty() const { return tiles.empty() && offsets.empty() && colours.empty(); }
};

// The entries of model that differ from before.
WorkChange DiffWork(const Work& before, const Model& model);

// Puts the "before" values back (undo) or the "after" values (redo).
void ApplyWorkChange(Model& model, const WorkChange& change, bool undo);

// Two changes of one bank's tile offset in a row make one step: the first one's start,
// the second one's end. False (nothing changed) when they are not both such changes.
bool MergeOffsetChanges(WorkChange& first, const WorkChange& second);

}  // namespace dapplix
