#include "Binary.h"

#include <algorithm>
#include <memory>

namespace dapplix {

Model& Binary() {
    // About 1.6 MB: kept on the heap and alive for the whole run.
    static const std::unique_ptr<Model> model = std::make_unique<Model>();
    return *model;
}

void ClearTileAttrs(Model& model) {
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        model.TilePal[bank].fill(0);
        model.TileEdited[bank].fill(false);
    }
}

std::int16_t CountBankRecords(const Model& model, int bank) {
    std::int16_t count = 0;
    for (int tile = 0; tile < kTilesPerBank; ++tile) {
        if (model.TilePal[bank][tile] > 0 || model.TileEdited[bank][tile]) ++count;
    }
    return count;
}

TileImage RomTileBytes(const Model& model, int bank, int tile) {
    TileImage image{};
    if (TileAbsent(model, bank, tile)) return image;
    const int start = TileByteOffset(model, bank, tile);
    for (int i = 0; i < kTileBytes; ++i) image[i] = model.RomBank[bank][start + i];
    return image;
}

TileImage DisplayTile(const Model& model, int bank, int tile) {
    if (TileAbsent(model, bank, tile)) return TileImage{};
    if (model.TileEdited[bank][tile]) return model.EditedTile[bank][tile];
    return RomTileBytes(model, bank, tile);
}

TileImage GameTile(const Model& model, int bank, int tile) {
    if (TileAbsent(model, bank, tile) || model.TileEdited[bank][tile]) return DisplayTile(model, bank, tile);
    const std::size_t start = std::size_t(bank) * kBankSize + std::size_t(TileByteOffset(model, bank, tile));
    if (model.RomFile.size() < start + kTileBytes) return RomTileBytes(model, bank, tile);
    TileImage image{};
    std::copy_n(model.RomFile.begin() + static_cast<std::ptrdiff_t>(start), kTileBytes, image.begin());
    return image;
}

bool CommitTileImage(Model& model, int bank, int tile, const TileImage& image) {
    if (TileAbsent(model, bank, tile)) return false;
    if (image != RomTileBytes(model, bank, tile)) {
        model.TileEdited[bank][tile] = true;
        model.EditedTile[bank][tile] = image;
    } else {
        model.TileEdited[bank][tile] = false;
    }
    return true;
}

}  // namespace dapplix
