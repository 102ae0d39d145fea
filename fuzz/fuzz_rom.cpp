// Feeds arbitrary bytes to the ROM loader as a cartridge file; whatever it accepts is
// scanned and written. The colour ROM must always be 1 MiB with valid header sums, and a
// refused file must leave the loaded ROM alone.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/Binary.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/Writer.h"
#include "FuzzModel.h"

using namespace dapplix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto model = MarkedModel();
    const std::int16_t bankCountBefore = model->BankCount;
    const Bank bank0Before = model->RomBank[0];

    const std::vector<std::uint8_t> file(data, data + size);
    const RomLoadResult loaded = LoadRomBytes(*model, file);
    if (!loaded.ok) {
        if (loaded.errors.empty() || model->BankCount != bankCountBefore || model->RomBank[0] != bank0Before) std::abort();
        return 0;
    }
    const Bank loadedBank0 = model->RomBank[0];
    if (!ScanRom(*model).placed) {
        // No unused end of bank 0: nothing may have changed; then the code goes in by force.
        if (model->RomBank[0] != loadedBank0 || model->ColourCodePlaced) std::abort();
        if (!ScanRom(*model, {}, true).placed) std::abort();
    }
    // Every fragment lies inside bank 0, clear of the header.
    for (int position : {model->EntryHookPos, model->DmaHookPos, model->CopyHookPos, model->CopyTailPos})
        if (position <= 0x150 || position > kBankSize) std::abort();
    const auto rom = BuildColorRom(*model);
    if (rom.size() != kColorRomSize) std::abort();
    if (rom[0x14D] != HeaderChecksum(rom.data())) std::abort();
    const std::uint16_t global = GlobalChecksum(rom.data(), rom.size());
    if (rom[0x14E] != (global >> 8) || rom[0x14F] != (global & 0xFF)) std::abort();
    return 0;
}
