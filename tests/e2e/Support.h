// Shared by the end-to-end tests and tools, without the emulator.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"

namespace dapplix::e2e {

// Symbols of a linked Game Boy program, from the linker's NoICE file ("DEF name 0xVALUE").
// A missing name throws std::out_of_range naming it.
class Symbols {
public:
    static Symbols Load(const std::string& path);
    std::uint32_t operator[](const std::string& name) const;

private:
    std::map<std::string, std::uint32_t> values_;
};

std::vector<std::uint8_t> ReadBinaryFile(const std::string& path);

// A model with the side files from sideFileDir and the default palettes; PrepareModel also
// loads and scans the ROM (its warnings to warnings). Both throw when something is refused.
std::unique_ptr<Model> SideFilesModel(const std::string& sideFileDir);
std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir,
                                    std::vector<std::string>* warnings = nullptr);

}  // namespace dapplix::e2e
