// ROM images, side files and scratch folders, for the engine and the widget tests alike.
#pragma once

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

#include "engine/CodeFiles.h"
#include "engine/Palette.h"
#include "engine/ProjectFile.h"
#include "engine/Rom.h"

namespace dapplix::testing {

using Bytes = std::vector<std::uint8_t>;

// A header that passes every check: MBC1, size code from the bank count, JP $0150.
struct RomShape {
    int banks = 4;
    std::uint8_t cartridgeType = 0x01;
    int sizeCode = -1;  // -1: derived from banks
    std::uint8_t colorFlag = 0x00;
    std::array<std::uint8_t, 4> entry{0x00, 0xC3, 0x50, 0x01};  // NOP; JP $0150
    const char* title = "TESTROM";
    int freeTail = 0;  // bytes at the end of bank 0 left free (0xFF); the rest of it is used code
};

// Banks 1 and up hold seeded random bytes, so every tile differs; each bank's first byte
// is its number, so banks can be told apart.
inline Bytes MakeRom(const RomShape& shape = {}) {
    Bytes rom(std::size_t(shape.banks) * kBankSize, 0x11);
    std::mt19937 random(7);
    for (std::size_t i = kBankSize; i < rom.size(); ++i) rom[i] = std::uint8_t(random());
    for (int bank = 0; bank < shape.banks; ++bank) rom[std::size_t(bank) * kBankSize] = std::uint8_t(bank);
    std::fill_n(rom.begin() + kBankSize - shape.freeTail, shape.freeTail, 0xFF);
    std::copy(shape.entry.begin(), shape.entry.end(), rom.begin() + 0x100);
    std::fill_n(rom.begin() + kTitle, kTitleLength, 0);
    for (std::size_t i = 0; shape.title[i] && i < kTitleLength; ++i) rom[kTitle + i] = std::uint8_t(shape.title[i]);
    rom[kColorFlag] = shape.colorFlag;
    rom[kCartridgeType] = shape.cartridgeType;
    int sizeCode = shape.sizeCode;
    for (sizeCode = std::max(sizeCode, 0); shape.sizeCode < 0 && (2 << sizeCode) < shape.banks;) ++sizeCode;
    rom[kRomSizeCode] = std::uint8_t(sizeCode);
    rom[kHeaderChecksum] = 0x5A;
    return rom;
}

// Both sums of the header, computed here byte by byte: 0x14D over the title to 0x14C, and
// 0x14E-0x14F (high byte first) over the rest of the file.
inline bool ChecksumsHold(const Bytes& rom) {
    std::uint8_t header = 0;
    for (std::size_t i = kTitle; i < kHeaderChecksum; ++i) header = std::uint8_t(header - rom[i] - 1);
    std::uint16_t global = 0;
    for (std::size_t i = 0; i < rom.size(); ++i) global += (i == kGlobalChecksum || i == kGlobalChecksum + 1) ? 0 : rom[i];
    return rom[kHeaderChecksum] == header && (rom[kGlobalChecksum] << 8 | rom[kGlobalChecksum + 1]) == global;
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Side files whose fragments start with markers E1, D1, C1, 71, 5E (entry, DMA, copy, tail, stores)
// and whose extra bank byte i is i & 0xFF, with LD A,nn (3E) at 0x103 and a code length of
// 512 (its own length) at 0x12E.
inline Bytes MakeBank0CodeFile() {
    Bytes bank0(kBank0CodeFileLength, 0x80);
    for (auto [at, marker] : {std::pair{1, 0xE1}, {20, 0xD1}, {35, 0xC1}, {68, 0x71}, {107, 0x5E}}) bank0[at] = std::uint8_t(marker);
    return bank0;
}
inline Bytes MakeExtraBankCodeFile() {
    Bytes extra(512);
    std::iota(extra.begin(), extra.end(), std::uint8_t(0));  // wraps at 256
    extra[0x103] = 0x3E;
    extra[0x12E] = 0x00;
    extra[0x12F] = 0x02;
    return extra;
}
inline void WriteSideFiles(const std::filesystem::path& dir) {
    WriteFile(dir / kBank0CodeFile, MakeBank0CodeFile());
    WriteFile(dir / kExtraBankCodeFile, MakeExtraBankCodeFile());
}

// A fresh folder under the system's temporary folder, removed when the object goes.
struct ScratchDir {
    ScratchDir() { std::filesystem::create_directories(path_); }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                  ("dapplix-test-" + std::to_string(std::random_device{}()));
};

// A model with the side files of a folder and the default palettes; throws when they are refused.
inline std::unique_ptr<Model> SideFilesModel(const std::string& sideFileDir) {
    auto model = std::make_unique<Model>();
    std::string fatal;
    if (!LoadCodeFiles(*model, {sideFileDir}, fatal)) throw std::runtime_error(fatal);
    SetDefaultPals(*model);
    return model;
}

// A model with the made-up side files, and a ROM of this shape loaded when one is given (the scan not run).
inline std::unique_ptr<Model> MakeModel(const RomShape* shape = nullptr) {
    ScratchDir dir;
    WriteSideFiles(dir.path());
    auto model = SideFilesModel(dir.path().string());
    if (shape && !LoadRomBytes(*model, MakeRom(*shape)).ok) throw std::runtime_error("test ROM refused");
    return model;
}
inline std::unique_ptr<Model> LoadedModel(const RomShape& shape = {}) { return MakeModel(&shape); }

// The work of banks 0..BankCount as project file bytes: equal bytes, equal work.
inline Bytes ProjectBytes(const Model& model) {
    Bytes bytes;
    std::string error;
    if (!EncodeGbp(model, bytes, error)) throw std::runtime_error(error);
    return bytes;
}

}  // namespace dapplix::testing
