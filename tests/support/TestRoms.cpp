#include "TestRoms.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "engine/CodeFiles.h"
#include "engine/Rom.h"
#include "engine/Palette.h"

namespace dapplix::testing {

std::vector<std::uint8_t> MakeRom(const RomShape& shape) {
    std::vector<std::uint8_t> rom(std::size_t(shape.banks) * kBankSize, shape.fill);
    std::mt19937 random(7);
    for (std::size_t i = kBankSize; i < rom.size(); ++i) rom[i] = static_cast<std::uint8_t>(random());
    for (int bank = 0; bank < shape.banks; ++bank) rom[std::size_t(bank) * kBankSize] = static_cast<std::uint8_t>(bank);
    std::fill_n(rom.begin() + kBankSize - shape.freeTail, shape.freeTail, 0xFF);
    // Entry: NOP; JP $0150 — the usual first bytes of a cartridge.
    rom[0x100] = 0x00;
    rom[kEntryOpcode] = shape.entryOpcode;
    rom[kEntryTarget] = 0x50;
    rom[kEntryTarget + 1] = 0x01;
    for (std::size_t i = 0; i < kTitleLength; ++i) rom[kTitle + i] = 0;
    for (std::size_t i = 0; shape.title[i] != 0 && i < kTitleLength; ++i) rom[kTitle + i] = static_cast<std::uint8_t>(shape.title[i]);
    rom[kColorFlag] = shape.colorFlag;
    rom[kCartridgeType] = shape.cartridgeType;
    int sizeCode = shape.sizeCode;
    if (sizeCode < 0) {
        sizeCode = 0;
        while ((2 << sizeCode) < shape.banks) ++sizeCode;
    }
    rom[kRomSizeCode] = static_cast<std::uint8_t>(sizeCode);
    rom[kHeaderChecksum] = 0x5A;
    rom[kGlobalChecksum] = 0xAB;
    rom[kGlobalChecksum + 1] = 0xCD;
    return rom;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> MakeBank0CodeFile() {
    std::vector<std::uint8_t> file(106);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(0x80 | (i & 0x7F));
    // Markers at the start of each fragment: E1, D1, C1, 71 (entry, DMA, copy, tail).
    file[1] = 0xE1;
    file[20] = 0xD1;
    file[35] = 0xC1;
    file[68] = 0x71;
    return file;
}

std::vector<std::uint8_t> MakeExtraBankCodeFile() {
    std::vector<std::uint8_t> file(512);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i & 0xFF);
    file[0x103] = 0x3E;
    return file;
}

void WriteSideFiles(const std::filesystem::path& dir) {
    WriteFile(dir / kBank0CodeFile, MakeBank0CodeFile());
    WriteFile(dir / kExtraBankCodeFile, MakeExtraBankCodeFile());
}

std::unique_ptr<Model> MakeModel() {
    ScratchDir dir;
    WriteSideFiles(dir.path());
    auto model = std::make_unique<Model>();
    std::string fatal;
    if (!LoadCodeFiles(*model, {dir.path().string()}, fatal)) throw std::runtime_error(fatal);
    SetDefaultPals(*model);
    return model;
}

std::unique_ptr<Model> LoadedModel(const RomShape& shape) {
    auto model = MakeModel();
    if (!LoadRomBytes(*model, MakeRom(shape)).ok) throw std::runtime_error("test ROM refused");
    return model;
}

ScratchDir::ScratchDir() {
    static std::mt19937_64 random{std::random_device{}()};
    path_ = std::filesystem::temp_directory_path() / ("dapplix-test-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

}  // namespace dapplix::testing
