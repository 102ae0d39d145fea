// ROM images, side files and scratch folders, for the engine and the widget tests alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"

namespace dapplix::testing {

// A header that passes every check: MBC1, size code from the bank count, JP $0150.
struct RomShape {
    int banks = 4;
    std::uint8_t cartridgeType = 0x01;
    int sizeCode = -1;           // -1: derived from banks
    std::uint8_t colorFlag = 0x00;
    std::uint8_t entryOpcode = 0xC3;
    const char* title = "TESTROM";
    std::uint8_t fill = 0x11;    // bank 0's bytes other than the header: "used", never free
    int freeTail = 0;            // bytes at the end of bank 0 left free (0xFF) for the scan
};

// A ROM image as a file would hold it. Banks 1 and up hold seeded random bytes, so every
// tile differs; each bank's first byte is its number, so banks can be told apart.
std::vector<std::uint8_t> MakeRom(const RomShape& shape = {});

// Writes bytes to a file, creating folders as needed.
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// Side files whose every byte tells where it came from: bnk0cod.dat byte i = 0x80 | (i & 0x7F)
// except that the fragments begin with their own markers, and exbnkcod.dat byte i = i & 0xFF
// with byte 0x103 = 0x3E (LD A,nn).
std::vector<std::uint8_t> MakeBank0CodeFile();
std::vector<std::uint8_t> MakeExtraBankCodeFile();

// Writes the two side files into dir.
void WriteSideFiles(const std::filesystem::path& dir);

// A model with the recognisable side files loaded and the default palettes set.
std::unique_ptr<Model> MakeModel();

// MakeModel with a ROM of this shape loaded (the scan not run).
std::unique_ptr<Model> LoadedModel(const RomShape& shape = {});

// A fresh folder under the system's temporary folder, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace dapplix::testing
