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
// after the colour code, and in the table banks (34..63) only the palettes of tiles that
// have one, each at its tile's first byte.
inline void CheckColourRom(const std::vector<std::uint8_t>& rom, const Model& model) {
    if (rom.size() != kColorRomSize) std::abort();
    if (rom[kHeaderChecksum] != HeaderChecksum(rom.data())) std::abort();
    const std::uint16_t global = GlobalChecksum(rom.data(), rom.size());
    if (rom[kGlobalChecksum] != (global >> 8) || rom[kGlobalChecksum + 1] != (global & 0xFF)) std::abort();
    const std::uint8_t* colourBank = rom.data() + std::size_t(kColorCodeBank) * kBankSize;
    if (std::any_of(colourBank + sidefile::kColourCodeLimit, colourBank + kBankSize, [](std::uint8_t b) { return b != 0; }))
        std::abort();
    for (int bank = 34; bank < kColorRomBanks; ++bank) {
        const int source = bank - 32;
        const std::uint8_t* table = rom.data() + std::size_t(bank) * kBankSize;
        for (int at = 0; at < kBankSize; ++at) {
            if (table[at] == 0) continue;
            const int fromTileStart = at - model.TileOffset[source];
            if (fromTileStart < 0 || fromTileStart % kTileBytes != 0) std::abort();
            const int tile = fromTileStart / kTileBytes;
            if (TileAbsent(model, source, tile) || model.TilePal[source][tile] == 0) std::abort();
        }
    }
}

}  // namespace dapplix
