// Where a tile seen on a Game Boy screen comes from in the ROM, and which tiles a run has
// shown. VRAM holds a tile's 16 bytes and nothing else, so its bytes are the only key: a
// tile found at one byte position of a bank is tile (position - offset) / 16 of that bank
// under the tile offset position % 16, the way the tile view lays a bank out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "Binary.h"

namespace dapplix {

// One place in the ROM that holds a tile's 16 bytes.
struct TileMatch {
    int bank = 0;
    int offset = 0;  // the tile offset (0..15) under which the tile view shows it
    int tile = 0;    // 0..1023 under that offset
    bool redrawn = false;  // the bytes are the user's redrawn image of the tile, not the ROM's
    int Page() const { return tile / kTilesPerPage; }
    bool operator==(const TileMatch&) const = default;
};

// Every place in a raw ROM image where the 16 bytes start, in every bank at every byte
// offset, in order of position. A tile that would run past the end of its bank is not a
// tile of that bank and does not count.
std::vector<TileMatch> FindTileInRom(const std::uint8_t* rom, std::size_t size, const std::uint8_t* bytes);

// The same over the loaded banks of the model, as the colour ROM holds them: a redrawn
// tile matches by its image (at its bank's offset), and the ROM bytes it replaces no
// longer match there.
std::vector<TileMatch> FindTileInModel(const Model& model, const std::uint8_t* bytes);

// The first match in a bank the tile view can show (first..last), else -1.
int FirstShownMatch(const std::vector<TileMatch>& matches, int firstBank, int lastBank);

// The distinct tile images a run has put on screen.
class TileCoverage {
public:
    // Records a tile's 16 bytes; true when they had not been seen before.
    bool Add(const std::uint8_t* bytes);
    bool Seen(const std::uint8_t* bytes) const;
    bool Seen(const TileImage& image) const { return Seen(image.data()); }
    std::size_t Count() const { return seen_.size(); }
    void Clear() { seen_.clear(); }
    std::vector<TileImage> Images() const;

private:
    struct Key {
        std::uint64_t low = 0, high = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return static_cast<std::size_t>(key.low * 0x9E3779B97F4A7C15ull ^ (key.high + (key.low >> 29)));
        }
    };
    static Key KeyOf(const std::uint8_t* bytes);
    std::unordered_set<Key, KeyHash> seen_;
};

// A tile of the tile view that a run has shown and that has no palette yet: what is left
// to colour. Tile 1023 of a shifted bank is not a tile.
bool SeenWithoutPalette(const Model& model, const TileCoverage& coverage, int bank, int tile);

}  // namespace dapplix
