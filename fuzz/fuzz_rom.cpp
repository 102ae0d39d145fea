// Feeds arbitrary bytes to the ROM loader as a cartridge file; whatever it accepts is
// scanned and written. A refused file must leave the loaded ROM alone.
#include "FuzzModel.h"

using namespace dapplix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto model = MakeModel();
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
    CheckColourRom(BuildColorRom(*model), *model);
    return 0;
}
