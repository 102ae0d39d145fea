// What the colour ROM can do with a ROM's memory mapper. Warnings here are shown once a ROM
// has loaded, so the user knows before colouring what will not work. MBC2 reaches only 16
// banks, so its colour ROM is declared as MBC1 (DeclareColourRomMapper).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dapplix {

inline constexpr const char* kMsgMbc2Saves =
    "This ROM uses the MBC2 memory mapper with a battery. Its colour ROM is written as MBC1 "
    "with 8 KiB of battery-backed RAM (MBC2 cannot reach the colour code), so a save file of "
    "the monochrome ROM does not work with it.";
inline constexpr const char* kMsgMbc1RamBanks =
    "This ROM uses MBC1 with 32 KiB of cartridge RAM. It selects its RAM banks with the "
    "register that also selects the upper half of a 1 MiB ROM, so its colour ROM stops "
    "working once the game switches RAM banks.";

constexpr std::size_t kRamSizeCode = 0x149;  // 2 = 8 KiB, 3 = 32 KiB in four banks

// Warnings for a cartridge that passed CheckRomHeader (at least a whole header); empty when
// the colour runtime can use every palette table.
std::vector<std::string> MapperWarnings(const std::vector<std::uint8_t>& file);

// Sets the cartridge type and RAM size the colour ROM declares in its bank 0 (before its
// checksums are computed). An MBC2 cartridge becomes MBC1 with 8 KiB of RAM (type 0x02, or
// 0x03 with a battery): MBC2 cannot select bank 33, while its game's own writes (bank number
// to 0x2000-0x3FFF with address bit 8 set, 0x0A to 0x0000-0x1FFF with bit 8 clear) do the
// same on MBC1, and its 512 half-bytes of RAM at 0xA000-0xA1FF fit in MBC1's 8 KiB. Every
// other cartridge keeps its bytes.
void DeclareColourRomMapper(std::uint8_t* bank0);

}  // namespace dapplix
