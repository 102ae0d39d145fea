// Feeds a ROM and a project together through everything Write ROM does: load, scan, the
// project applied to that ROM, and the colour ROM build, which must keep its invariants.
// Input: the project's length (two bytes, low first), the project, then the ROM, padded
// with 0xFF (as unprogrammed ROM reads) to three banks so that small inputs pass the bank rule.
#include <string>

#include "FuzzModel.h"

using namespace dapplix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const auto pristine = MakeModel();
    // The project reader only clears the loaded banks: each run starts afresh.
    static auto model = std::make_unique<Model>();
    *model = *pristine;

    const std::size_t projectSize = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
    const std::vector<std::uint8_t> project(data + 2, data + 2 + projectSize);
    std::vector<std::uint8_t> rom(data + 2 + projectSize, data + size);
    if (rom.size() < std::size_t(3) * kBankSize) rom.resize(std::size_t(3) * kBankSize, 0xFF);

    if (!LoadRomBytes(*model, rom).ok) return 0;
    // The colour code placed, over ROM code if it must; a game that writes VRAM bank 1 itself
    // is never coloured.
    if (!ScanRom(*model, {}, true).placed) return 0;
    std::string error;
    if (!DecodeGbp(*model, project, error) && error.empty()) std::abort();  // a refusal says why
    CheckColourRom(BuildColorRom(*model), *model);
    return 0;
}
