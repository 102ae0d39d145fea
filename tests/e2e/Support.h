// Shared by the end-to-end tests and tools: test-ROM symbols, colouring a ROM through the
// engine, PNG output of a frame.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"

namespace dapplix::e2e {

// Symbols of a linked Game Boy program, read from the linker's NoICE file (.noi):
// "DEF name 0xVALUE" lines.
class Symbols {
public:
    static Symbols Load(const std::string& path);
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // Throws std::out_of_range naming the symbol when it is missing.
    std::uint32_t operator[](const std::string& name) const;

private:
    std::map<std::string, std::uint32_t> values_;
};

std::vector<std::uint8_t> ReadBinaryFile(const std::string& path);

// A model with the side files from sideFileDir and the ROM loaded and scanned, ready for a
// project. Throws with the engine's messages when something is refused.
std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir);

// 64 colours that differ from each other, so that a screen colour tells which palette entry
// drew it. Colour 0 of every background palette stays light and colour 3 dark, like a shade.
void SetDistinctPalettes(Model& model);

// Background / sprite palette p colour c of the model as the 15-bit word the hardware holds.
std::uint16_t ModelColourWord(const Model& model, int set, int palette, int colour);

// Writes an 8-bit RGB PNG of a width x height frame held as 0x00BBGGRR pixels with
// the given row stride (in pixels), scaled up by an integer factor.
bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height,
              int stride, int scale, std::string& error);

}  // namespace dapplix::e2e
