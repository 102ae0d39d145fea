#include "Support.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/Scan.h"

namespace dapplix::e2e {

Symbols Symbols::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open symbol file " + path);
    Symbols symbols;
    std::string line, def, name, value;
    while (std::getline(in, line))
        if (std::istringstream fields(line); fields >> def >> name >> value && def == "DEF")
            symbols.values_[name] = static_cast<std::uint32_t>(std::stoul(value, nullptr, 0));
    return symbols;
}

std::uint32_t Symbols::operator[](const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) throw std::out_of_range("symbol " + name + " is not defined");
    return it->second;
}

std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir,
                                    std::vector<std::string>* warnings) {
    auto model = SideFilesModel(sideFileDir);
    const RomLoadResult loaded = LoadRomBytes(*model, rom);
    if (!loaded.ok) throw std::runtime_error("ROM refused: " + loaded.errors.front());
    if (warnings) *warnings = loaded.warnings;
    ScanRom(*model, {}, true);  // a test ROM without room at the end of bank 0 gets the code over ROM code
    return model;
}

}  // namespace dapplix::e2e
