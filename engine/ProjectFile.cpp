#include "ProjectFile.h"

#include <algorithm>
#include <cstring>

#include "engine/Bits.h"
#include "engine/Files.h"

namespace dapplix {
namespace {

constexpr char kMagic[] = "DAPPLIXPRJ";
constexpr std::size_t kMagicLength = 10;
constexpr std::size_t kVersionAt = 10;
constexpr std::size_t kLastBankAt = 11;

constexpr std::uint8_t kRecordPalette = 0x80;  // the record carries a palette number
constexpr std::uint8_t kRecordImage = 0x40;    // a 16-byte tile image follows
// A bank header holds a 10-bit record count, one short of a full bank. When all 1024
// tiles of a bank need a record, bit 6 of the header's first byte stands for 1024;
// files of banks with fewer records never set it.
constexpr std::uint8_t kFullBankFlag = 0x40;

// Largest file a writer can produce: every tile of 32 banks edited, plus header and colours.
constexpr std::size_t kLargestProject =
    kGbpHeaderSize + std::size_t(kMaxBanks) * (2 + std::size_t(kTilesPerBank) * (2 + kTileBytes)) +
    kGbpPaletteBlockSize;

std::string Damaged(const std::string& why) { return "The project file is damaged: " + why; }

// Walks the bank blocks without changing anything; true when the file is consistent.
bool CheckStructure(const std::vector<std::uint8_t>& file, std::string& error) {
    const int lastBank = file[kLastBankAt];
    if (lastBank >= kMaxBanks) {
        error = Damaged("it lists " + std::to_string(lastBank + 1) + " banks, but a ROM has at most " +
                        std::to_string(kMaxBanks) + ".");
        return false;
    }
    std::size_t at = kGbpHeaderSize;
    for (int bank = 0; bank <= lastBank; ++bank) {
        if (file.size() - at < 2) {
            error = Damaged("it ends inside the records of bank " + std::to_string(bank) + ".");
            return false;
        }
        const int count = ((file[at] & kFullBankFlag) ? 1024 : 0) + (file[at] & 3) * 256 + file[at + 1];
        if (count > kTilesPerBank) {
            error = Damaged("bank " + std::to_string(bank) + " claims more records than a bank has tiles.");
            return false;
        }
        at += 2;
        for (int record = 0; record < count; ++record) {
            const std::size_t size = (file.size() - at >= 1 && (file[at] & kRecordImage)) ? 2 + kTileBytes : 2;
            if (file.size() - at < size) {
                error = Damaged("it ends inside the records of bank " + std::to_string(bank) + ".");
                return false;
            }
            at += size;
        }
    }
    if (file.size() - at < kGbpPaletteBlockSize) {
        error = Damaged("it ends before its palette colours.");
        return false;
    }
    if (file.size() - at > kGbpPaletteBlockSize) {
        error = Damaged("it has " + std::to_string(file.size() - at - kGbpPaletteBlockSize) +
                        " unexpected bytes after its palette colours.");
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> CheckGbpHeaderBytes(const std::vector<std::uint8_t>& file) {
    // A file too short for the header is no project at all; its version is not asked.
    if (file.size() < kGbpHeaderSize) return {kMsgNotGbp};
    std::vector<std::string> errors;
    if (std::memcmp(file.data(), kMagic, kMagicLength) != 0) errors.emplace_back(kMsgNotGbp);
    if (file[kVersionAt] != kGbpVersion) errors.emplace_back(kMsgGbpVersion);
    return errors;
}

std::vector<std::string> CheckGbpHeader(const std::string& path) {
    // A file that cannot be read gets the reason ("No such file or directory", "it is a
    // character device, not a regular file"), not a verdict on bytes it never gave.
    std::vector<std::uint8_t> header;
    std::string error;
    if (!ReadFileStart(path, kGbpHeaderSize, header, error)) return {error};
    return CheckGbpHeaderBytes(header);
}

bool EncodeGbp(const Model& model, std::vector<std::uint8_t>& out, std::string& error) {
    if (model.BankCount < 0 || model.BankCount >= kMaxBanks) {
        error = "There is no loaded ROM whose work could be saved.";
        return false;
    }
    out.assign(kMagic, kMagic + kMagicLength);
    out.push_back(kGbpVersion);
    out.push_back(static_cast<std::uint8_t>(model.BankCount));

    for (int bank = 0; bank <= model.BankCount; ++bank) {
        const int count = CountBankRecords(model, bank);
        const int offsetBits = (model.TileOffset[bank] & 15) << 2;
        if (count == kTilesPerBank) {
            out.push_back(static_cast<std::uint8_t>(kFullBankFlag | offsetBits));
            out.push_back(0);
        } else {
            out.push_back(static_cast<std::uint8_t>(offsetBits | (count >> 8)));
            out.push_back(static_cast<std::uint8_t>(count & 0xFF));
        }
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            std::uint8_t flags = 0;
            const int palette = model.TilePal[bank][tile];
            if (palette > 0) flags = static_cast<std::uint8_t>(kRecordPalette | ((palette & 7) << 3));
            if (model.TileEdited[bank][tile]) flags |= kRecordPalette | kRecordImage;
            if (flags == 0) continue;
            out.push_back(static_cast<std::uint8_t>(flags | (tile >> 8)));
            out.push_back(static_cast<std::uint8_t>(tile & 0xFF));
            if (flags & kRecordImage) {
                const auto& image = model.EditedTile[bank][tile];
                out.insert(out.end(), image.begin(), image.end());
            }
        }
    }
    for (int set = 0; set < kPaletteSets; ++set)
        for (int palette = 0; palette < kPalettes; ++palette)
            for (int colour = 0; colour < kColours; ++colour) {
                const auto& c = model.Pals[set][palette][colour];
                const auto word = PackColor(c[0], c[1], c[2]);
                out.insert(out.end(), word.begin(), word.end());
            }
    return true;
}

bool DecodeGbp(Model& model, const std::vector<std::uint8_t>& file, std::string& error) {
    const auto headerErrors = CheckGbpHeaderBytes(file);
    if (!headerErrors.empty()) {
        error = headerErrors.front();
        return false;
    }
    if (!CheckStructure(file, error)) return false;

    // The file is sound: from here on nothing can fail.
    ClearTileAttrs(model);
    const int lastBank = file[kLastBankAt];
    std::size_t at = kGbpHeaderSize;
    for (int bank = 0; bank <= lastBank; ++bank) {
        const std::uint8_t h0 = file[at];
        const int count = ((h0 & kFullBankFlag) ? 1024 : 0) + (h0 & 3) * 256 + file[at + 1];
        model.TileOffset[bank] = static_cast<std::int16_t>((h0 >> 2) & 15);
        at += 2;
        for (int record = 0; record < count; ++record) {
            const std::uint8_t r0 = file[at];
            const int tile = (r0 & 3) * 256 + file[at + 1];
            at += 2;
            if (r0 & kRecordPalette) model.TilePal[bank][tile] = static_cast<std::int16_t>((r0 >> 3) & 7);
            if (r0 & kRecordImage) {
                model.TileEdited[bank][tile] = true;
                std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), kTileBytes,
                            model.EditedTile[bank][tile].begin());
                at += kTileBytes;
            }
        }
    }
    for (int set = 0; set < kPaletteSets; ++set)
        for (int palette = 0; palette < kPalettes; ++palette)
            for (int colour = 0; colour < kColours; ++colour) {
                const std::uint8_t c0 = file[at];
                const std::uint8_t c1 = file[at + 1];
                at += 2;
                auto& c = model.Pals[set][palette][colour];
                c[2] = static_cast<std::int16_t>((c0 >> 2) & 31);
                c[1] = static_cast<std::int16_t>(((c0 & 3) << 3) | (c1 >> 5));
                c[0] = static_cast<std::int16_t>(c1 & 31);
            }
    return true;
}

bool LoadGbp(Model& model, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file, error, kLargestProject)) return false;
    return DecodeGbp(model, file, error);
}

bool SaveGbp(const Model& model, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!EncodeGbp(model, bytes, error)) return false;
    return WriteFileAtomically(path, bytes, error);
}

}  // namespace dapplix
