// The shared data model: the loaded ROM, the user's work on it, and the Game Boy code
// that goes into the colour ROM. One instance (Binary()) is seen by every window, the
// command-line front end and the engine routines; tests and benchmarks may make their own.
// What only the windows care about (the selection, the shown palette set, the dimming,
// the dialogs' hand-over values) lives in the windows' ViewState, never here: the scan,
// the writer and the project file see the work and nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dapplix {

constexpr int kBankSize = 16384;
constexpr int kMaxBanks = 32;        // 512 KiB of source ROM is all the model holds
constexpr int kTilesPerBank = 1024;
constexpr int kTileBytes = 16;       // 8 x 8 pixels, two bit planes
constexpr int kLastTile = kTilesPerBank - 1;
constexpr int kTilesPerPage = 256;
// The first bank with a palette table of its own in the colour ROM; a ROM must reach it.
// Every bank from 0 is shown and can be coloured: the tile dictionary knows tiles by their
// bytes, wherever they came from.
constexpr int kFirstShownBank = 2;
constexpr int kFirstBrowsedBank = 0;
constexpr int kOpeningBank = 2;      // the bank a newly loaded ROM is shown at
constexpr int kPaletteSets = 2;      // 0 = sprite, 1 = background
constexpr int kSpriteSet = 0;
constexpr int kBackgroundSet = 1;
constexpr int kPalettes = 8;
constexpr int kColours = 4;
constexpr int kComponents = 3;       // red, green, blue, 5 bits each

// Sizes of the code blocks read from the side files.
constexpr int kEntryHookLength = 18;
constexpr int kDmaHookLength = 14;
constexpr int kCopyHookLength = 32;
constexpr int kCopyTailLength = 38;
constexpr int kStoreHooksLength = 406;
constexpr int kExtraBankCodeLength = 512;

using Bank = std::array<std::uint8_t, kBankSize>;
using TileImage = std::array<std::uint8_t, kTileBytes>;
using PaletteTable = std::array<std::array<std::array<std::array<std::int16_t, kComponents>, kColours>, kPalettes>, kPaletteSets>;

struct Model {
    // --- the loaded ROM and the user's work ------------------------------------------
    std::array<Bank, kMaxBanks> RomBank{};
    std::int16_t BankCount = 0;  // index of the last loaded bank, not the number of banks
    // The ROM file as it was read, before the scan prepared bank 0: what a patch of the
    // colour ROM is made against.
    std::vector<std::uint8_t> RomFile;
    std::array<std::int16_t, kMaxBanks> TileOffset{};
    std::array<std::array<std::int16_t, kTilesPerBank>, kMaxBanks> TilePal{};
    std::array<std::array<bool, kTilesPerBank>, kMaxBanks> TileEdited{};
    std::array<std::array<TileImage, kTilesPerBank>, kMaxBanks> EditedTile{};
    PaletteTable Pals{};  // [set][palette][colour][component]

    // --- Game Boy code read from the side files -----------------------------------------
    std::array<std::uint8_t, kEntryHookLength> EntryHookCode{};
    std::array<std::uint8_t, kDmaHookLength> DmaHookCode{};
    std::array<std::uint8_t, kCopyHookLength> CopyHookCode{};
    std::array<std::uint8_t, kCopyTailLength> CopyTailCode{};
    std::array<std::uint8_t, kStoreHooksLength> StoreHooksCode{};
    std::array<std::uint8_t, kExtraBankCodeLength> ExtraBankCode{};
    // The rest of exbnkcod.dat (the runtime and its set-up), placed right after
    // ExtraBankCode at the start of bank 33.
    std::vector<std::uint8_t> ExtraBankCodeRest;
    // ExtraBankCode as it came from exbnkcod.dat; each scan starts from it so that a
    // second ROM in one run never inherits the first ROM's patched instruction.
    std::array<std::uint8_t, kExtraBankCodeLength> ExtraBankCodeAsRead{};

    // --- results of the last ROM scan (1-based positions in bank 0; 0 = none yet) -----
    std::int32_t EntryHookPos = 0;
    std::int32_t DmaHookPos = 0;
    std::int32_t CopyHookPos = 0;
    std::int32_t CopyTailPos = 0;
    std::int32_t StoreHooksPos = 0;  // 0: bank 0 had no room for them
    std::int32_t LcdOffWaitPos = 0;  // 0: placed without their last piece (or not at all)
    std::uint16_t IdleWaitByte = 0;  // the byte the game's hooked waits read (0: no wait hooked)
    std::uint16_t PadRoutine = 0;    // the keys' read of the game's hooked waits for a key (0: none hooked)
    std::uint8_t DmaSourceHigh = 0;
    std::uint8_t DmaCallLow = 0;
    bool ColourCodePlaced = false;  // the last scan prepared bank 0; the writer needs it
};

// The process-wide model that the window program and the command-line front end share.
Model& Binary();

// Palette numbers and edit marks of banks 0..BankCount back to "nothing assigned".
void ClearTileAttrs(Model& model);

// Tiles of a bank that need a project record: palette 1..7 or a redrawn image.
std::int16_t CountBankRecords(const Model& model, int bank);

// Tile 1023 of a bank whose grid is shifted by 1..15 bytes would run past the bank's end.
inline bool TileAbsent(const Model& model, int bank, int tile) {
    return tile == kLastTile && model.TileOffset[bank] > 0;
}

// Byte offset of a tile's first byte within its bank.
inline int TileByteOffset(const Model& model, int bank, int tile) {
    return tile * kTileBytes + model.TileOffset[bank];
}

// The 16 ROM bytes of a tile; an absent tile reads as zeros.
TileImage RomTileBytes(const Model& model, int bank, int tile);

// What the view shows for a tile: zeros for an absent tile, else the redrawn image if
// the tile is marked edited, else its ROM bytes.
TileImage DisplayTile(const Model& model, int bank, int tile);

// The tile as the game itself holds it: as DisplayTile, but with the ROM file's bytes where
// the scan placed or patched colour code (a CALL into a hook, the hooks themselves), which
// the game never shows as graphics.
TileImage GameTile(const Model& model, int bank, int tile);

// Stores a new image for a tile: marks it edited when it differs from the ROM bytes,
// clears the mark when it equals them (the stored image is then left as it was).
// Refused (returns false, nothing changed) for an absent tile, whose image could not
// be written back into the bank.
bool CommitTileImage(Model& model, int bank, int tile, const TileImage& image);

}  // namespace dapplix
