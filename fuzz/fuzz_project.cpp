// Feeds arbitrary bytes to the project reader. A file it accepts must come out of the
// writer and back in unchanged; a file it refuses must leave the model as it was.
#include "FuzzModel.h"

using namespace dapplix;

namespace {

bool SameWork(const Model& a, const Model& b) {
    if (a.TileOffset != b.TileOffset || a.TilePal != b.TilePal || a.TileEdited != b.TileEdited || a.Pals != b.Pals)
        return false;
    for (int bank = 0; bank < kMaxBanks; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile)
            if (a.TileEdited[bank][tile] && a.EditedTile[bank][tile] != b.EditedTile[bank][tile]) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto pristine = [] {
        auto model = MakeModel();
        model->BankCount = 31;
        model->TilePal[5][5] = 5;
        return model;
    }();
    static auto model = std::make_unique<Model>();
    *model = *pristine;

    const std::vector<std::uint8_t> file(data, data + size);
    std::string error;
    if (!DecodeGbp(*model, file, error)) {
        if (error.empty() || !SameWork(*model, *pristine)) std::abort();
        return 0;
    }
    std::vector<std::uint8_t> again;
    if (!EncodeGbp(*model, again, error)) std::abort();
    static auto reloaded = std::make_unique<Model>();
    *reloaded = *pristine;
    if (!DecodeGbp(*reloaded, again, error) || !SameWork(*model, *reloaded)) std::abort();
    return 0;
}
