// Feeds a ROM and a project together through everything Write ROM does: the ROM load,
// the scan, the project applied to that ROM (palettes, redrawn tiles, shifted banks) and
// the colour ROM build; the image must keep its own invariants.
//
// Input: two bytes (low byte first) giving the length of the project, the project's
// bytes, then the ROM's bytes. A ROM shorter than three banks is padded with 0xFF (as
// unprogrammed ROM reads) so that small inputs get past the bank rule.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/Writer.h"
#include "engine/ProjectFile.h"
#include "FuzzModel.h"
#include "engine/SideFileLayout.h"

using namespace dapplix;

namespace {

// What every colour ROM must be, whatever went into it: 1 MiB, a header checksum and a
// global checksum that hold, nothing in bank 33 after the colour code, and nothing in the
// palette-table banks (34..63) but the palette numbers of tiles of banks 2..31 that have
// one, each at its tile's first byte.
void CheckColourRom(const std::vector<std::uint8_t>& rom, const Model& model) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const auto pristine = MarkedModel();
    // Every run starts from the same model: the project reader only clears the loaded
    // banks, so work of an earlier input would otherwise carry over.
    static auto model = std::make_unique<Model>();
    *model = *pristine;

    const std::size_t projectSize = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
    const std::vector<std::uint8_t> project(data + 2, data + 2 + projectSize);
    std::vector<std::uint8_t> rom(data + 2 + projectSize, data + size);
    if (rom.size() < std::size_t(3) * kBankSize) rom.resize(std::size_t(3) * kBankSize, 0xFF);

    if (!LoadRomBytes(*model, rom).ok) return 0;
    ScanRom(*model, {}, true);  // the colour code placed, over ROM code if it must
    std::string error;
    if (!DecodeGbp(*model, project, error) && error.empty()) std::abort();  // a refusal says why
    CheckColourRom(BuildColorRom(*model), *model);
    return 0;
}
