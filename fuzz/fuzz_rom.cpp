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
    const ScanResult scan = ScanRom(*model);
    if (!scan.placed) {
        // No room in bank 0, or a game that writes VRAM bank 1 itself: nothing may have
        // changed; without room the code goes in by force, the other is never coloured.
        if (model->RomBank[0] != loadedBank0 || model->ColourCodePlaced || scan.notEnoughRoom == (scan.ownVramBank1 >= 0))
            std::abort();
        if (ScanRom(*model, {}, true).placed == (scan.ownVramBank1 >= 0)) std::abort();
        if (!model->ColourCodePlaced) return 0;
    }
    // The block lies inside bank 0, clear of the entry and the header (0x0100-0x014F).
    const int first = model->DmaHookPos - 1, end = first + Bank0BlockLength(*model);
    if (first < 0 || end > kBankSize || (first < 0x150 && end > 0x100)) std::abort();
    for (int position : {model->EntryHookPos, model->CopyHookPos, model->CopyTailPos})
        if (position - 1 < first || position - 1 >= end) std::abort();
    CheckColourRom(BuildColorRom(*model), *model);
    return 0;
}
