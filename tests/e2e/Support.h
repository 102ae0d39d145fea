// Shared by the end-to-end tests and tools, without the emulator.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestRoms.h"
#include "engine/Scan.h"

namespace dapplix::e2e {

using testing::SideFilesModel;

// Symbols of a linked Game Boy program, from the linker's NoICE file ("DEF name 0xVALUE").
// A missing name throws std::out_of_range naming it.
class Symbols {
public:
    static Symbols Load(const std::string& path) {
        std::ifstream in(path);
        if (!in) throw std::runtime_error("cannot open symbol file " + path);
        Symbols symbols;
        std::string def, name, value;
        for (std::string line; std::getline(in, line);)
            if (std::istringstream fields(line); fields >> def >> name >> value && def == "DEF")
                symbols.values_[name] = static_cast<std::uint32_t>(std::stoul(value, nullptr, 0));
        return symbols;
    }
    std::uint32_t operator[](const std::string& name) const {
        const auto it = values_.find(name);
        if (it == values_.end()) throw std::out_of_range("symbol " + name + " is not defined");
        return it->second;
    }

private:
    std::map<std::string, std::uint32_t> values_;
};

inline std::vector<std::uint8_t> ReadBinaryFile(const std::string& path) { return testing::ReadFile(path); }

// SideFilesModel, then the ROM loaded and scanned (its warnings to warnings); throws when it is refused.
inline std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir,
                                           std::vector<std::string>* warnings = nullptr) {
    auto model = SideFilesModel(sideFileDir);
    const RomLoadResult loaded = LoadRomBytes(*model, rom);
    if (!loaded.ok) throw std::runtime_error("ROM refused: " + loaded.errors.front());
    if (warnings) *warnings = loaded.warnings;
    // (mbc1_full_bank0 has no room at the end of bank 0: its code goes below the header)
    if (!ScanRom(*model).placed) throw std::runtime_error("no room for the colour code");
    return model;
}

}  // namespace dapplix::e2e
