// What the fuzz targets share: the model of the engine tests, whose side-file code has its
// fragments marked (TestRoms.h), and what every colour ROM must be.
#pragma once

#include <algorithm>
#include <cstdlib>

#include "TestRoms.h"
#include "engine/Binary.h"
#include "engine/Scan.h"
#include "engine/SideFileLayout.h"
#include "engine/Writer.h"

namespace dapplix {

using testing::MakeModel;

// Every colour ROM, whatever went into it: 1 MiB, both checksums hold, nothing in bank 33
// after the colour code, and each table bank (34..63) ends in the mark and holds, for a
// source bank the ROM has while some tile has a palette, a palette 0-7 with bit 7 set at
// every byte that starts 16 bytes within the bank, nothing in the 15 bytes after them;
// otherwise nothing but the mark.
inline void CheckColourRom(const std::vector<std::uint8_t>& rom, const Model& model) {
    if (rom.size() != kColorRomSize) std::abort();
    if (rom[kHeaderChecksum] != HeaderChecksum(rom.data())) std::abort();
    const std::uint16_t global = GlobalChecksum(rom.data(), rom.size());
    if (rom[kGlobalChecksum] != (global >> 8) || rom[kGlobalChecksum + 1] != (global & 0xFF)) std::abort();
    const std::uint8_t* colourBank = rom.data() + std::size_t(kColorCodeBank) * kBankSize;
    if (std::any_of(colourBank + sidefile::kColourCodeLimit, colourBank + kBankSize, [](std::uint8_t b) { return b != 0; }))
        std::abort();
    bool palettes = false;
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile)
            palettes |= model.TilePal[bank][tile] >= 1 && model.TilePal[bank][tile] < kPalettes && !TileAbsent(model, bank, tile);
    for (int bank = 34; bank < kColorRomBanks; ++bank) {
        const int source = bank - kPaletteTableBankBase;
        const std::uint8_t* table = rom.data() + std::size_t(bank) * kBankSize;
        if (table[kBankSize - 1] != kPaletteTableMark) std::abort();
        const bool filled = palettes && source <= model.BankCount;
        for (int at = 0; at < kBankSize - 1; ++at) {
            const bool starts = filled && at + kTileBytes <= kBankSize;
            if (starts ? (table[at] & ~7) != kTableKnown : table[at] != 0) std::abort();
        }
    }
}

}  // namespace dapplix
