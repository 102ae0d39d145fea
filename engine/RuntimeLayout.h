// Where the colour ROM's runtime keeps its state on the Game Boy (gbcode/sidefiles/layout.inc
// holds the same numbers for the assembly; the layout test compares the two). Tools that look
// into a running colour ROM, such as the Play window and the end-to-end tests, read and write
// these places.
#pragma once

#include <cstdint>

namespace dapplix::runtime {

// WRAM bank 2 at 0xD000-0xDFFF.
constexpr int kRuntimeWramBank = 2;
constexpr std::uint16_t kVars = 0xD040;
constexpr std::uint16_t kBgpApplied = kVars + 0x00;   // BGP being applied, then how many palettes in use are written
constexpr std::uint16_t kObp0Applied = kVars + 0x0E;  // the same for OBP0
constexpr std::uint16_t kRefreshPos = kVars + 0x06;   // two bytes, low first: the next map entry of the refresh
// What the runtime takes from the colour settings at start-up and keeps while it runs; a
// tool that changes the project under a running game changes them with it.
constexpr std::uint16_t kPalettesUsed = kVars + 0x03;      // bit p: palette p is worth rewriting
constexpr std::uint16_t kDictionaryBanks = kVars + 0x04;   // WRAM banks of dictionary: 0, 1, 2 or 4
constexpr std::uint16_t kDictionaryInRom = kVars + 0x12;   // not 0: slots are read in ROM bank 32 (MBC1), not WRAM
constexpr std::uint16_t kSpriteRecordCount = kVars + 0x0C; // two bytes, low first: records of 0x8000-0x8FFF not 0
constexpr std::uint16_t kUsedList = kVars + 0x28;          // 8 bytes: the palettes in use, from 0 up (shades follow these) ...
constexpr std::uint8_t kUsedListIndex = 0x80;              // ... each as its palette index byte: this + 8p (auto-increment)
constexpr std::uint16_t kUsedCount = kVars + 0x3C;         // how many of them
constexpr std::uint16_t kSpriteSlots = kVars + 0x11;       // OAM slots the sprite pass takes (up to the last on screen)
// The project's colours as the runtime shades them: background palette p colour c at
// +8p+2c, sprite at +0x40+8p+2c, each word low byte first.
constexpr std::uint16_t kUserColours = 0xD080;
// The palette the blank tile's look-up found, kept so that later blank tiles skip the hash;
// 0xFF until the first. Whoever changes the dictionary under a running game resets it.
constexpr std::uint16_t kBlankPalette = 0xDDFF;

// VRAM bank 1: the palette record (0-7) of every VRAM tile, by the number a map entry or a
// sprite names, for each tile addressing mode.
constexpr std::uint16_t kRecordsUnsigned = 0x8000;  // entry n: the tile at 0x8000 + 16n
constexpr std::uint16_t kRecordsSigned = 0x8100;    // n < 128: 0x9000 + 16n; n >= 128: as unsigned

// WRAM banks 3-6: the tile dictionary, copied from ROM bank 32 at start-up where the runtime
// cannot read it in ROM; each bank starts with a copy of the probe code at 0xD000 (the first
// kDictionaryReservedSlots slots), which the runtime keeps in bank 2 too.
constexpr int kDictionaryFirstWramBank = 3;
constexpr std::uint16_t kProbeCode = 0xD000;

}  // namespace dapplix::runtime
