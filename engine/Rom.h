// Loading a monochrome cartridge image and checking that it can take the colour code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Binary.h"

namespace dapplix {

inline constexpr const char* kMsgAlreadyColor = "ROM already has color support!";
inline constexpr const char* kMsgNoEntryJump = "No jump at location $101!";
inline constexpr const char* kMsgUnsupportedMapper = "ROM uses unsupported Memory Mapper!";
inline constexpr const char* kMsgCannotExpand = "ROM cannot be expanded for Dapplix Code!";
inline constexpr const char* kMsgCouldNotLoadRom = "Couldn't load ROM";
inline constexpr const char* kMsgRomTooShort =
    "The file is too short to be a Game Boy ROM: it ends before the cartridge header.";
inline constexpr const char* kMsgRomTooLarge =
    "The ROM is larger than 512 KiB (32 banks) and cannot be colorized.";
inline constexpr const char* kMsgRomTooSmall =
    "ROM has no bank 2 or above: only the tiles of banks 2 and up can be colored!";

// Cartridge header places (file offsets in bank 0).
constexpr std::size_t kVblankVector = 0x40;  // where the vertical-blank interrupt enters
constexpr std::size_t kEntryPoint = 0x100;   // four bytes: the jump the colour ROM redirects
constexpr std::size_t kEntryOpcode = 0x101;  // JP (C3) in the usual NOP / JP form
constexpr std::size_t kEntryTarget = 0x102;  // two bytes, low byte first
constexpr std::size_t kTitle = 0x134;
constexpr std::size_t kTitleLength = 15;
constexpr std::size_t kColorFlag = 0x143;
constexpr std::size_t kCartridgeType = 0x147;
constexpr std::size_t kRomSizeCode = 0x148;
constexpr std::size_t kHeaderChecksum = 0x14D;  // the boot ROM refuses a cartridge whose sum is wrong
constexpr std::size_t kGlobalChecksum = 0x14E;  // two bytes, high byte first
constexpr std::size_t kHeaderEnd = 0x150;       // a file shorter than this has no complete header

// 1 = MBC1 family, 2 = MBC2, 3 = MBC3 family, 0 = not supported.
int MapperClass(std::uint8_t cartridgeType);

// How a cartridge starts at 0x100: NOP then JP (the usual form), JP at 0x100, or a relative
// jump JR at 0x100 or after a NOP (what current C toolchains write). The colour ROM always
// enters through NOP / JP to its set-up, which then continues at the game's target.
enum class EntryForm { None, NopJump, Jump, RelativeJump, NopRelativeJump };
struct EntryPoint {
    EntryForm form = EntryForm::None;
    std::uint16_t target = 0;
};
EntryPoint FindEntryPoint(const std::uint8_t* bank0);
const char* EntryFormName(EntryForm form);

// The four header checks, all run, in order; each failure adds its message. A file too
// short to hold a header gets the single message kMsgRomTooShort. Empty = accepted.
std::vector<std::string> CheckRomHeader(const std::vector<std::uint8_t>& file);

// Index of the last bank for a file of this length: length / 16384 - 1 taken to the
// nearest integer, a half going to the even one (never below 0).
int BankCountForLength(std::size_t length);

// The 15 title bytes of bank 0 up to the first zero byte.
std::string RomTitle(const Bank& bank0);

// The title as text that is safe to print on a terminal: bytes outside printable ASCII,
// and the backslash itself, as \xNN (a title of control bytes could otherwise move the
// cursor, clear the screen or ring the bell).
std::string PrintableTitle(const Bank& bank0);
// The title in double quotes, as reports name the ROM; "(no title)" when it is empty.
std::string QuotedTitle(const Bank& bank0);

// Only banks 2 and up are shown and coloured (the colour ROM has palette tables for them
// alone), so a ROM must reach bank 2: the lowest BankCount that is loaded.
constexpr int kLowestLastBank = kFirstShownBank;

struct RomLoadResult {
    bool ok = false;
    std::vector<std::string> errors;  // in the order they are shown; the caller adds kMsgCouldNotLoadRom
    std::vector<std::string> warnings;  // after a successful load: what colouring cannot do (Mapper.h)
};

// Reads the file (a regular file only: a FIFO or device is refused without waiting on
// it), checks it and, only if everything passes, replaces banks 0..BankCount and
// BankCount and clears the tile attributes. Bytes of the last bank that lie past the end
// of the file read as 0xFF, as unprogrammed ROM does. A ROM without bank 2
// (kLowestLastBank) is refused with kMsgRomTooSmall. A refused file leaves the model
// exactly as it was. The scan is the caller's next step. The window program and
// dapplix-cli both load through here, so they accept the same ROMs.
RomLoadResult LoadRom(Model& model, const std::string& path);

// The same from bytes already in memory.
RomLoadResult LoadRomBytes(Model& model, const std::vector<std::uint8_t>& file);

}  // namespace dapplix
