#include "TileDictionary.h"

#include <algorithm>
#include <map>

namespace dapplix {
namespace {

std::uint8_t RotateLeft(int value) {
    const auto byte = static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((byte << 1) | (byte >> 7));
}

// Where a hash lives: its part, its home slot (slots 0-31 hold the probe code, so their
// tiles start 1024 slots on) and the two bytes a slot holds, the tag and the palette.
struct SlotKey {
    int part;
    int home;
    std::uint8_t tagLow;
    std::uint8_t tagHigh;  // bits 8-12 of the tag, shifted left by 3 (the palette goes below)
};

SlotKey KeyOf(const TileHash& hash, int parts) {
    SlotKey key{};
    key.part = (hash.c >> 3) & (parts - 1);
    key.home = hash.b | ((hash.c & 7) << 8);
    if (key.home < kDictionaryReservedSlots) key.home += 1024;
    key.tagLow = hash.d;
    key.tagHigh = static_cast<std::uint8_t>((hash.e & 0x1F) << 3);
    return key;
}

int NextSlot(int slot) { return slot + 1 < kDictionarySlotsPerPart ? slot + 1 : kDictionaryReservedSlots; }

std::uint8_t* SlotAt(std::vector<std::uint8_t>& image, int part, int slot) {
    return image.data() + std::size_t(part) * kDictionaryPartBytes + std::size_t(slot) * 2;
}

}  // namespace

TileHash HashTile(const std::uint8_t* bytes) {
    TileHash h;
    for (int row = 0; row < 8; ++row) {
        const int low = bytes[2 * row], high = bytes[2 * row + 1];
        h.b = RotateLeft(h.b + low);
        h.c = RotateLeft((h.c ^ high) + h.b);
        h.d = RotateLeft(h.d + h.c);
        h.e = static_cast<std::uint8_t>(h.e + (h.d ^ h.b));
    }
    return h;
}

std::vector<DictionaryTile> CollectDictionaryTiles(const Model& model) {
    struct Votes {
        std::array<int, kPalettes> count{};
        int bank = 0, tile = 0;
    };
    std::map<TileImage, Votes> votes;
    std::vector<TileImage> order;
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            const int palette = model.TilePal[bank][tile];
            if (palette < 1 || palette >= kPalettes || TileAbsent(model, bank, tile)) continue;
            const TileImage image = GameTile(model, bank, tile);
            auto [at, added] = votes.try_emplace(image);
            if (added) {
                at->second.bank = bank;
                at->second.tile = tile;
                order.push_back(image);
            }
            ++at->second.count[palette];
        }
    }
    std::vector<DictionaryTile> tiles;
    tiles.reserve(order.size());
    for (const TileImage& image : order) {
        const Votes& v = votes.at(image);
        DictionaryTile entry;
        entry.image = image;
        entry.firstBank = v.bank;
        entry.firstTile = v.tile;
        int given = 0;
        for (int palette = 1; palette < kPalettes; ++palette) {
            if (v.count[palette] == 0) continue;
            ++given;
            entry.tiles += v.count[palette];
            if (v.count[palette] > v.count[entry.palette]) entry.palette = static_cast<std::uint8_t>(palette);
        }
        entry.ambiguous = given > 1;
        tiles.push_back(entry);
    }
    return tiles;
}

TileDictionary BuildTileDictionary(const Model& model) {
    TileDictionary dictionary;
    std::vector<DictionaryTile> tiles = CollectDictionaryTiles(model);
    if (tiles.empty()) return dictionary;

    dictionary.parts = 1;
    while (dictionary.parts < kDictionaryMaxParts &&
           int(tiles.size()) > dictionary.parts * kDictionaryEntriesPerPart)
        dictionary.parts *= 2;
    const std::size_t capacity = std::size_t(dictionary.parts) * kDictionaryEntriesPerPart;
    if (tiles.size() > capacity) {
        // The images most tiles share stay; among equals, the ones met first.
        std::stable_sort(tiles.begin(), tiles.end(),
                         [](const DictionaryTile& a, const DictionaryTile& b) { return a.tiles > b.tiles; });
        dictionary.leftOut = static_cast<int>(tiles.size() - capacity);
        tiles.resize(capacity);
    }

    dictionary.image.assign(std::size_t(dictionary.parts) * kDictionaryPartBytes, 0);
    // The runtime's probe stops only at an empty slot, so no part is ever filled completely.
    std::array<int, kDictionaryMaxParts> used{};
    constexpr int kPartLimit = kDictionarySlotsPerPart - kDictionaryReservedSlots - 1;
    for (const DictionaryTile& tile : tiles) {
        const SlotKey key = KeyOf(HashTile(tile.image.data()), dictionary.parts);
        if (used[key.part] >= kPartLimit) {
            ++dictionary.leftOut;
            continue;
        }
        int slot = key.home;
        int probes = 0;
        bool stored = false;
        while (probes++ < kDictionarySlotsPerPart) {
            std::uint8_t* at = SlotAt(dictionary.image, key.part, slot);
            if (at[0] == 0 && at[1] == 0) {
                at[0] = key.tagLow;
                at[1] = static_cast<std::uint8_t>(key.tagHigh | tile.palette);
                stored = true;
                break;
            }
            // Two images with the same hash: the runtime cannot tell them apart, the first wins.
            if (at[0] == key.tagLow && (at[1] & 0xF8) == key.tagHigh) break;
            slot = NextSlot(slot);
        }
        if (!stored) {
            ++dictionary.leftOut;
            continue;
        }
        ++used[key.part];
        ++dictionary.entries;
        if (tile.ambiguous) ++dictionary.ambiguous;
    }
    return dictionary;
}

int LookUpTile(const TileDictionary& dictionary, const std::uint8_t* bytes) {
    if (dictionary.parts == 0) return 0;
    const SlotKey key = KeyOf(HashTile(bytes), dictionary.parts);
    int slot = key.home;
    for (int probes = 0; probes < kDictionarySlotsPerPart; ++probes) {
        const std::uint8_t* at = dictionary.image.data() + std::size_t(key.part) * kDictionaryPartBytes + std::size_t(slot) * 2;
        if (at[0] == 0 && at[1] == 0) return 0;
        if (at[0] == key.tagLow && (at[1] & 0xF8) == key.tagHigh) return at[1] & 7;
        slot = NextSlot(slot);
    }
    return 0;
}

}  // namespace dapplix
