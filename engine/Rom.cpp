#include "Rom.h"

#include <algorithm>
#include <cmath>

#include "Files.h"
#include "Mapper.h"

namespace dapplix {
namespace {

// No supported cartridge is larger than 32 banks; anything far beyond is not a ROM and
// is refused before it is read into memory.
constexpr std::size_t kLargestReadableFile = std::size_t(64) * kBankSize;

}  // namespace

int MapperClass(std::uint8_t cartridgeType) {
    if (cartridgeType >= 0x01 && cartridgeType <= 0x03) return 1;  // MBC1, +RAM, +battery
    if (cartridgeType >= 0x05 && cartridgeType <= 0x06) return 2;  // MBC2, +battery
    if (cartridgeType >= 0x0F && cartridgeType <= 0x13) return 3;  // MBC3 with or without clock
    return 0;
}

EntryPoint FindEntryPoint(const std::uint8_t* bank0) {
    constexpr std::uint8_t kNop = 0x00, kJp = 0xC3, kJr = 0x18;
    const std::uint8_t* at = bank0 + kEntryPoint;
    const auto relative = [](std::size_t next, std::uint8_t offset) {
        return static_cast<std::uint16_t>(next + static_cast<std::int8_t>(offset));
    };
    if (at[0] == kNop && at[1] == kJp) return {EntryForm::NopJump, static_cast<std::uint16_t>(at[2] | at[3] << 8)};
    if (at[0] == kJp) return {EntryForm::Jump, static_cast<std::uint16_t>(at[1] | at[2] << 8)};
    if (at[0] == kJr) return {EntryForm::RelativeJump, relative(kEntryPoint + 2, at[1])};
    if (at[0] == kNop && at[1] == kJr) return {EntryForm::NopRelativeJump, relative(kEntryPoint + 3, at[2])};
    return {};
}

const char* EntryFormName(EntryForm form) {
    switch (form) {
    case EntryForm::NopJump: return "NOP, JP";
    case EntryForm::Jump: return "JP";
    case EntryForm::RelativeJump: return "JR";
    case EntryForm::NopRelativeJump: return "NOP, JR";
    case EntryForm::None: break;
    }
    return "none";
}

std::vector<std::string> CheckRomHeader(const std::vector<std::uint8_t>& file) {
    if (file.size() < kHeaderEnd) return {kMsgRomTooShort};
    std::vector<std::string> errors;
    if (file[kColorFlag] & 0x80) errors.emplace_back(kMsgAlreadyColor);
    if (FindEntryPoint(file.data()).form == EntryForm::None) errors.emplace_back(kMsgNoEntryJump);
    const int mapper = MapperClass(file[kCartridgeType]);
    if (mapper == 0) errors.emplace_back(kMsgUnsupportedMapper);
    const int sizeCode = file[kRomSizeCode];
    // The colour ROM needs 64 banks: MBC2 reaches only 16, so it must leave room in 128 KiB.
    if ((mapper == 2 && sizeCode > 2) || sizeCode > 4) errors.emplace_back(kMsgCannotExpand);
    return errors;
}

int BankCountForLength(std::size_t length) {
    const double banks = static_cast<double>(length) / kBankSize - 1.0;
    const double rounded = std::nearbyint(banks);  // default rounding mode: halves go to even
    return std::max(0, static_cast<int>(rounded));
}

std::string RomTitle(const Bank& bank0) {
    std::string title;
    for (std::size_t i = 0; i < kTitleLength; ++i) {
        const char c = static_cast<char>(bank0[kTitle + i]);
        if (c == '\0') break;
        title.push_back(c);
    }
    return title;
}

std::string PrintableTitle(const Bank& bank0) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string printable;
    for (const char c : RomTitle(bank0)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            printable.push_back(c);
        } else {
            printable += "\\x";
            printable.push_back(kHex[byte >> 4]);
            printable.push_back(kHex[byte & 15]);
        }
    }
    return printable;
}

std::string QuotedTitle(const Bank& bank0) {
    const std::string title = PrintableTitle(bank0);
    return title.empty() ? "(no title)" : "\"" + title + "\"";
}

RomLoadResult LoadRom(Model& model, const std::string& path) {
    RomLoadResult result;
    std::vector<std::uint8_t> file;
    std::string error;
    if (!ReadWholeFile(path, file, error, kLargestReadableFile)) {
        result.errors.push_back(error);
        return result;
    }
    return LoadRomBytes(model, file);
}

RomLoadResult LoadRomBytes(Model& model, const std::vector<std::uint8_t>& file) {
    RomLoadResult result;
    result.errors = CheckRomHeader(file);
    if (!result.errors.empty()) return result;
    const int bankCount = BankCountForLength(file.size());
    if (bankCount >= kMaxBanks) {
        result.errors.emplace_back(kMsgRomTooLarge);
        return result;
    }
    if (bankCount < kLowestLastBank) {
        result.errors.emplace_back(kMsgRomTooSmall);
        return result;
    }

    model.BankCount = static_cast<std::int16_t>(bankCount);
    for (int bank = 0; bank <= bankCount; ++bank) {
        Bank& target = model.RomBank[bank];
        const std::size_t start = std::size_t(bank) * kBankSize;
        const std::size_t available = start < file.size() ? std::min<std::size_t>(kBankSize, file.size() - start) : 0;
        if (available > 0) std::copy_n(file.data() + start, available, target.begin());
        std::fill(target.begin() + static_cast<std::ptrdiff_t>(available), target.end(), 0xFF);
    }
    ClearTileAttrs(model);
    model.RomFile = file;
    result.warnings = MapperWarnings(file);
    result.ok = true;
    return result;
}

}  // namespace dapplix
