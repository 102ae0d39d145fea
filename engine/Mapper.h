// What the colour runtime can do with a ROM's memory mapper. The colour ROM reads each tile's
// palette from bank b+32 while the game's bank b is selected, which needs a way to reach
// bank b+32 and back without knowing b; only MBC1 offers one (its bank bit 5). Warnings here
// are shown once a ROM has loaded, so the user knows before colouring what will not work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dapplix {

inline constexpr const char* kMsgMbc2CannotStart =
    "This ROM uses the MBC2 memory mapper, which reaches only 16 banks: a colour ROM written "
    "from it cannot reach its colour code in bank 33 and will not start.";
inline constexpr const char* kMsgMbc3PaletteZero =
    "This ROM uses the MBC3 memory mapper: its colour ROM cannot tell from which bank a tile "
    "was copied, so every tile shows palette 0. Only the colours of palette 0 (background "
    "and sprite) take effect.";
inline constexpr const char* kMsgMbc1RamBanks =
    "This ROM uses MBC1 with 32 KiB of cartridge RAM. It selects its RAM banks with the "
    "register that also selects the upper half of a 1 MiB ROM, so its colour ROM stops "
    "working once the game switches RAM banks.";

constexpr std::size_t kRamSizeCode = 0x149;  // 3 = 32 KiB in four banks

// Warnings for a cartridge that passed CheckRomHeader (at least a whole header); empty when
// the colour runtime can use every palette table.
std::vector<std::string> MapperWarnings(const std::vector<std::uint8_t>& file);

}  // namespace dapplix
