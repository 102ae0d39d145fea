#include "TileSearch.h"

#include <algorithm>
#include <cstring>

namespace dapplix {

namespace {

// Visits every byte position of one bank where the 16 bytes start and end inside it.
template <typename Visit>
void SearchBank(const std::uint8_t* bank, std::size_t bankSize, const std::uint8_t* bytes, Visit visit) {
    if (bankSize < std::size_t(kTileBytes)) return;
    const std::uint8_t* const last = bank + bankSize - kTileBytes;
    for (const std::uint8_t* at = bank; at <= last;) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, bytes[0], std::size_t(last - at) + 1));
        if (!at) break;
        if (std::memcmp(at, bytes, kTileBytes) == 0) visit(static_cast<int>(at - bank));
        ++at;
    }
}

TileMatch MatchAt(int bank, int position) {
    TileMatch match;
    match.bank = bank;
    match.offset = position % kTileBytes;
    match.tile = position / kTileBytes;
    return match;
}

}  // namespace

std::vector<TileMatch> FindTileInRom(const std::uint8_t* rom, std::size_t size, const std::uint8_t* bytes) {
    std::vector<TileMatch> matches;
    for (std::size_t start = 0; start < size; start += kBankSize) {
        const int bank = static_cast<int>(start / kBankSize);
        SearchBank(rom + start, std::min<std::size_t>(kBankSize, size - start), bytes,
                   [&](int position) { matches.push_back(MatchAt(bank, position)); });
    }
    return matches;
}

std::vector<TileMatch> FindTileInModel(const Model& model, const std::uint8_t* bytes) {
    std::vector<TileMatch> matches;
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        const int offset = model.TileOffset[bank];
        std::vector<TileMatch> inBank;
        SearchBank(model.RomBank[bank].data(), kBankSize, bytes, [&](int position) {
            const TileMatch match = MatchAt(bank, position);
            // The colour ROM carries the redrawn image there instead.
            if (match.offset == offset && model.TileEdited[bank][match.tile]) return;
            inBank.push_back(match);
        });
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (!model.TileEdited[bank][tile] || TileAbsent(model, bank, tile)) continue;
            if (std::memcmp(model.EditedTile[bank][tile].data(), bytes, kTileBytes) != 0) continue;
            TileMatch match{bank, offset, tile, true};
            inBank.push_back(match);
        }
        std::sort(inBank.begin(), inBank.end(), [](const TileMatch& a, const TileMatch& b) {
            return a.tile * kTileBytes + a.offset < b.tile * kTileBytes + b.offset;
        });
        matches.insert(matches.end(), inBank.begin(), inBank.end());
    }
    return matches;
}

int FirstShownMatch(const std::vector<TileMatch>& matches, int firstBank, int lastBank) {
    for (std::size_t i = 0; i < matches.size(); ++i)
        if (matches[i].bank >= firstBank && matches[i].bank <= lastBank) return static_cast<int>(i);
    return -1;
}

TileCoverage::Key TileCoverage::KeyOf(const std::uint8_t* bytes) {
    Key key;
    std::memcpy(&key.low, bytes, 8);
    std::memcpy(&key.high, bytes + 8, 8);
    return key;
}

bool TileCoverage::Add(const std::uint8_t* bytes) { return seen_.insert(KeyOf(bytes)).second; }

bool TileCoverage::Seen(const std::uint8_t* bytes) const { return seen_.count(KeyOf(bytes)) != 0; }

std::vector<TileImage> TileCoverage::Images() const {
    std::vector<TileImage> images;
    images.reserve(seen_.size());
    for (const Key& key : seen_) {
        TileImage image{};
        std::memcpy(image.data(), &key.low, 8);
        std::memcpy(image.data() + 8, &key.high, 8);
        images.push_back(image);
    }
    return images;
}

bool SeenWithoutPalette(const Model& model, const TileCoverage& coverage, int bank, int tile) {
    if (bank < 0 || bank > model.BankCount || tile < 0 || tile >= kTilesPerBank || TileAbsent(model, bank, tile))
        return false;
    return model.TilePal[bank][tile] == 0 && coverage.Seen(DisplayTile(model, bank, tile));
}

}  // namespace dapplix
