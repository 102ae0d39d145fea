#include "TileDictionary.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace dapplix {
namespace {

std::uint8_t RotateLeft(int value) {
    const auto byte = static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((byte << 1) | (byte >> 7));
}

int NextSlot(int slot) { return slot + 1 < kDictionarySlotsPerPart ? slot + 1 : kDictionaryReservedSlots; }

std::size_t SlotOffset(int part, int slot) { return std::size_t(part) * kDictionaryPartBytes + std::size_t(slot) * 2; }
std::uint8_t* SlotAt(std::vector<std::uint8_t>& image, int part, int slot) { return image.data() + SlotOffset(part, slot); }
const std::uint8_t* SlotAt(const std::vector<std::uint8_t>& image, int part, int slot) { return image.data() + SlotOffset(part, slot); }

}  // namespace

SlotKey SlotKeyOf(const TileHash& hash, int parts) {
    SlotKey key{};
    key.part = (hash.c >> 3) & (parts - 1);
    key.home = hash.b | ((hash.c & 7) << 8);
    if (key.home < kDictionaryReservedSlots) key.home += 1024;
    // d's complement: a probe passes larger tags first, and the blank tile, whose hash is 0
    // and which nearly every game looks up most, takes the largest and so sits at its home.
    key.tagLow = static_cast<std::uint8_t>(~hash.d);
    key.tagHigh = static_cast<std::uint8_t>((hash.e & 0x1F) << 3);
    return key;
}

int SlotTag(std::uint8_t first, std::uint8_t second) { return first << 8 | (second & 0xF8); }

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
    struct ImageHash {
        std::size_t operator()(const TileImage& image) const {
            std::uint64_t low, high;
            std::memcpy(&low, image.data(), 8);
            std::memcpy(&high, image.data() + 8, 8);
            const std::uint64_t mixed = (low * 0x9E3779B97F4A7C15ull) ^ (high * 0xC2B2AE3D27D4EB4Full);
            return std::size_t(mixed ^ (mixed >> 32));
        }
    };
    std::unordered_map<TileImage, Votes, ImageHash> votes;
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
    // The runtime's probe stops only at an empty slot or a smaller tag, so no part is ever
    // filled completely.
    std::array<int, kDictionaryMaxParts> used{};
    constexpr int kPartLimit = kDictionarySlotsPerPart - kDictionaryReservedSlots - 1;
    for (const DictionaryTile& tile : tiles) {
        const SlotKey key = SlotKeyOf(HashTile(tile.image.data()), dictionary.parts);
        if (used[key.part] >= kPartLimit) {
            ++dictionary.leftOut;
            continue;
        }
        // Along every probe the tags only go down, so that a lookup of an image that is not
        // there stops at the first smaller tag rather than at the next empty slot (a few slots
        // instead of a dozen in a part three quarters full). A larger tag is passed; a smaller
        // one gives up its slot and moves on along its own probe, which goes on from there.
        std::uint8_t low = key.tagLow, high = static_cast<std::uint8_t>(key.tagHigh | tile.palette);
        bool carrying = false;  // the image in hand is one the new one moved on
        bool duplicate = false;
        for (int slot = key.home;; slot = NextSlot(slot)) {
            std::uint8_t* at = SlotAt(dictionary.image, key.part, slot);
            if (at[0] == 0 && at[1] == 0) {
                at[0] = low;
                at[1] = high;
                break;
            }
            const int held = SlotTag(at[0], at[1]), moving = SlotTag(low, high);
            // The same tag on the new image's own probe: the runtime cannot tell the two images
            // apart, and the first one recorded wins. (An image moved on that meets its tag
            // held by an image of another home passes it: the first met answers for both.)
            if (held == moving && !carrying) {
                duplicate = true;
                break;
            }
            if (held < moving) {
                std::swap(at[0], low);
                std::swap(at[1], high);
                carrying = true;
            }
        }
        if (duplicate) {
            ++dictionary.leftOut;
            continue;
        }
        ++used[key.part];
        ++dictionary.entries;
        dictionary.recorded.push_back(tile.image);
        if (tile.ambiguous) ++dictionary.ambiguous;
    }
    return dictionary;
}

namespace {

struct Lookup {
    int palette = 0;
    int slots = 0;
};

Lookup Probe(const TileDictionary& dictionary, const std::uint8_t* bytes) {
    Lookup found;
    if (dictionary.parts == 0) return found;
    const SlotKey key = SlotKeyOf(HashTile(bytes), dictionary.parts);
    const int wanted = SlotTag(key.tagLow, key.tagHigh);
    for (int slot = key.home; found.slots < kDictionarySlotsPerPart; slot = NextSlot(slot)) {
        ++found.slots;
        const std::uint8_t* at = SlotAt(dictionary.image, key.part, slot);
        const int held = SlotTag(at[0], at[1]);  // an empty slot is tag 0, below every other
        if (held < wanted) break;
        if (held == wanted) {
            found.palette = at[1] & 7;
            break;
        }
    }
    return found;
}

}  // namespace

int LookUpTile(const TileDictionary& dictionary, const std::uint8_t* bytes) { return Probe(dictionary, bytes).palette; }

int LookUpSlots(const TileDictionary& dictionary, const std::uint8_t* bytes) { return Probe(dictionary, bytes).slots; }

}  // namespace dapplix
