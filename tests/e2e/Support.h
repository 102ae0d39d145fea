// Shared by the end-to-end tests and tools, without the emulator.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestRoms.h"

namespace dapplix::e2e {

using testing::SideFilesModel;

// Symbols of a linked Game Boy program, from the linker's NoICE file ("DEF name 0xVALUE").
// A missing name throws std::out_of_range naming it.
class Symbols {
public:
    static Symbols Load(const std::string& path);
    std::uint32_t operator[](const std::string& name) const;

private:
    std::map<std::string, std::uint32_t> values_;
};

inline std::vector<std::uint8_t> ReadBinaryFile(const std::string& path) { return testing::ReadFile(path); }

// SideFilesModel, then the ROM loaded and scanned (its warnings to warnings); throws when it is refused.
std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir,
                                    std::vector<std::string>* warnings = nullptr);

}  // namespace dapplix::e2e
