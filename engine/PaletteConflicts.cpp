#include "PaletteConflicts.h"

#include <map>

#include "TileDictionary.h"

namespace dapplix {

int CountPaletteConflicts(const Model& model) {
    int count = 0;
    for (const DictionaryTile& entry : CollectDictionaryTiles(model)) count += entry.ambiguous ? 1 : 0;
    return count;
}

std::vector<PaletteConflict> FindPaletteConflicts(const Model& model) {
    // The dictionary's own rule decides who wins; here only the tiles are found again.
    struct Group {
        int number = 0;
        int wins = 0;
        std::array<int, kPalettes> given{};
    };
    std::map<TileImage, Group> groups;
    int number = 0;
    for (const DictionaryTile& entry : CollectDictionaryTiles(model))
        if (entry.ambiguous) groups[entry.image] = {number++, entry.palette, {}};
    std::vector<PaletteConflict> rows;
    if (groups.empty()) return rows;
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            const int palette = model.TilePal[bank][tile];
            if (palette < 1 || palette >= kPalettes || TileAbsent(model, bank, tile)) continue;
            const auto at = groups.find(DisplayTile(model, bank, tile));
            if (at == groups.end()) continue;
            ++at->second.given[std::size_t(palette)];
            rows.push_back({bank, tile, palette, {}, at->second.wins, at->second.number});
        }
    }
    for (PaletteConflict& row : rows) row.given = groups.at(DisplayTile(model, row.bank, row.tile)).given;
    return rows;
}

}  // namespace dapplix
