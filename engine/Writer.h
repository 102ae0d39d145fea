// The 64-bank colour ROM: the loaded banks with redrawn tiles, the colour code bank
// with the palettes, the tile dictionary, and one palette table per source bank 2..31.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Binary.h"

namespace dapplix {

constexpr int kColorRomBanks = 64;
constexpr std::size_t kColorRomSize = std::size_t(kColorRomBanks) * kBankSize;  // 1 MiB
constexpr int kColorCodeBank = 33;
constexpr int kPaletteTableBankBase = 32;  // the table of bank b is output bank b + 32
constexpr std::uint8_t kTableKnown = 0x80;       // a table entry with this bit holds a palette
constexpr std::uint8_t kPaletteTableMark = 0x5A;  // the last byte of every table

inline constexpr const char* kMsgWriteDoneSuffix = " written successfully!";
inline constexpr const char* kMsgCodeNotPlaced =
    "The color code has no place in bank 0 of this ROM, so no color ROM can be written.";
constexpr int kDictionaryBank = 32;  // the tile dictionary, copied into WRAM at start-up

// The 64 colour words at the start of ExtraBankCode: background palette p colour c at
// 16p + 4c, sprite at 16p + 4c + 2, each low byte first.
void FillPaletteArea(Model& model);

// Complement checksum of 0x134..0x14C, as the boot ROM computes it.
std::uint8_t HeaderChecksum(const std::uint8_t* rom);

// Sum of every byte of the image except the two checksum bytes themselves.
std::uint16_t GlobalChecksum(const std::uint8_t* rom, std::size_t size);

// The settings the runtime reads from the colour code bank: the palettes tiles use, the size
// of the tile dictionary, the mapper.
void FillColourSettings(Model& model, int dictionaryParts);

// The whole colour ROM in memory. Fills the palette area and the settings of ExtraBankCode
// (the only changes to the model), puts the tile dictionary in bank 32, declares an MBC2
// cartridge as MBC1 in the output's header (DeclareColourRomMapper) and recomputes both
// header checksums of the output. The model's bank 0 must have been prepared by the scan.
std::vector<std::uint8_t> BuildColorRom(Model& model);

// Builds and writes the colour ROM, all or nothing. Refused (kMsgCodeNotPlaced) when the
// scan found no place for the colour code.
bool WriteColorRom(Model& model, const std::string& path, std::string& error);

}  // namespace dapplix
