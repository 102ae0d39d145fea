// The colour ROM recognises a tile by its 16 bytes, however the game gets it into VRAM: the
// writer records every tile that has a palette in a dictionary (a hash table in ROM bank 32,
// which the runtime reads there on MBC1 and copies into WRAM banks 3-6 otherwise), and the
// runtime hashes VRAM tiles the same way and looks them
// up. This is the program's half: the hash, the table and the rule for tiles whose bytes
// were given more than one palette.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Binary.h"

namespace dapplix {

// The runtime's hash of a tile's 16 bytes (gbcode/sidefiles/runtime.s, IdentifyTile), a row
// at a time: b = rlc(b + low), c = rlc((c ^ high) + b), d = rlc(d + c), e = e + (d ^ b).
struct TileHash {
    std::uint8_t b = 0, c = 0, d = 0, e = 0;
};
TileHash HashTile(const std::uint8_t* bytes);

constexpr int kDictionaryPartBytes = 4096;       // one WRAM bank
constexpr int kDictionarySlotsPerPart = 2048;    // two bytes a slot
constexpr int kDictionaryReservedSlots = 32;     // 0xD000-0xD03F hold the probe code
constexpr int kDictionaryMaxParts = 4;           // WRAM banks 3-6
// A part is filled to three quarters at most, so that a lookup finds an empty slot soon.
constexpr int kDictionaryEntriesPerPart = (kDictionarySlotsPerPart - kDictionaryReservedSlots) * 3 / 4;

// One distinct tile image that tiles with a palette show, and the palette it gets.
struct DictionaryTile {
    TileImage image{};
    std::uint8_t palette = 0;     // the palette given most often; a tie goes to the lower number
    int tiles = 0;                // tiles of the ROM with these bytes and a palette
    bool ambiguous = false;       // some of them were given another palette
    int firstBank = 0, firstTile = 0;
};

// Every distinct image of a tile with palette 1-7 (the edited image where the tile is
// edited), in order of first appearance (bank, then tile). Tiles without a palette do not
// count: palette 0 is what every tile has until it is given one.
std::vector<DictionaryTile> CollectDictionaryTiles(const Model& model);

struct TileDictionary {
    std::vector<std::uint8_t> image;  // parts x 4096 bytes, as ROM bank 32 holds it
    int parts = 0;                    // 0 when no tile has a palette
    int entries = 0;                  // distinct images recorded
    int ambiguous = 0;                // of those, images given more than one palette
    int leftOut = 0;                  // images that did not fit (the rarest are left out)
    std::vector<TileImage> recorded;  // the images the table holds
};

// The hash table for the runtime: part k at 0x1000 k of ROM bank 32, and in WRAM bank 3 + k at
// 0xD000 where it is copied.
TileDictionary BuildTileDictionary(const Model& model);

// Where an image lives in the table: its part, its home slot (slots 0-31 hold the probe
// code, so their images start 1024 slots on) and the two bytes a slot holds, the tag and
// the palette.
struct SlotKey {
    int part;
    int home;
    std::uint8_t tagLow;
    std::uint8_t tagHigh;  // bits 8-12 of the tag, shifted left by 3 (the palette goes below)
};
SlotKey SlotKeyOf(const TileHash& hash, int parts);

// A slot's tag as the probe orders tags: the first byte, then the second's top five bits.
// Along every probe the tags only go down, so a smaller one ends a lookup.
int SlotTag(std::uint8_t first, std::uint8_t second);

// The palette the table gives a tile image: what the runtime's lookup finds (0 = none).
int LookUpTile(const TileDictionary& dictionary, const std::uint8_t* bytes);

// How many slots the runtime reads to answer that lookup (0 without a dictionary): its cost.
int LookUpSlots(const TileDictionary& dictionary, const std::uint8_t* bytes);

}  // namespace dapplix
