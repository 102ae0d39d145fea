// The mGBA core as the end-to-end tests and the measuring tools need it (stepping, the
// registers, the core itself), and a test ROM run twice on it: as built and coloured.
#pragma once

#include <functional>

#include "Support.h"
#include "engine/TileDictionary.h"

struct mCore;

namespace dapplix::e2e {

constexpr int kScreenWidth = 160;
constexpr int kScreenHeight = 144;
constexpr int kMachineCyclesPerFrame = 17556;  // 154 lines of 114 machine cycles
constexpr std::uint32_t kKeyA = 1, kKeyB = 2, kKeyStart = 8, kKeyRight = 16, kKeyLeft = 32, kKeyDown = 128;  // joypad bits

class Emulator {
public:
    // monochromeModel holds the core to the original Game Boy even for a cartridge that
    // declares Super Game Boy functions; otherwise bit 7 of 0x143 picks the colour model.
    explicit Emulator(std::vector<std::uint8_t> rom, bool monochromeModel = false);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    bool IsColourModel() const;
    void RunFrame(std::uint32_t keys = 0);  // to the start of the next vertical blank
    void Step();                            // one instruction
    // Memory as the CPU sees it now (segment -1), or in a given bank of VRAM / WRAM / ROM.
    std::uint8_t Read(std::uint16_t address, int segment = -1) const;
    std::uint16_t Read16(std::uint16_t address) const;
    std::uint16_t PaletteRam(int set, int palette, int colour) const;  // set as in the model
    std::uint8_t Oam(int offset) const;
    std::uint32_t Pixel(int x, int y) const { return frame_[y * 256 + x] & 0xFFFFFF; }  // 0x00BBGGRR
    std::uint16_t Pc() const;
    std::uint16_t Sp() const;
    std::uint16_t De() const;
    std::uint16_t Bc() const;
    double Cycles() const;  // machine cycles since power-on
    mCore* Core() const { return core_; }

private:
    std::vector<std::uint8_t> rom_;
    std::vector<std::uint32_t> frame_;
    mCore* core_ = nullptr;
};

// One build of the test game (gbcode/testroms), its symbols and the monochrome image. Block A
// of its graphics (offset 0 of bank BANK_A) goes to 0x8000, block B (offset GFX_OFFSET of bank
// BANK_B) to 0x8800.
struct TestRom {
    std::string name;
    Symbols symbols;
    std::vector<std::uint8_t> image;
    std::uint16_t At(const char* symbol) const { return static_cast<std::uint16_t>(symbols[symbol]); }
    int Tiles(const char* block) const { return (symbols[std::string(block) + "End"] - symbols[block]) / 16; }
};

extern const std::vector<std::string> kTestRomNames;
TestRom LoadTestRom(const std::string& name);  // roms/NAME.gb and NAME.noi

// The project of the end-to-end runs: 64 distinct colours (colour 0 light, 3 dark, like the
// shades); block A tiles get palettes 1-7 in turn, block B tiles 0-7.
void ApplyTestProject(Model& model, const TestRom& rom);
// The palette the project's dictionary gives the tile whose bytes are at address (VRAM bank 0).
int ExpectedPalette(const TileDictionary& dictionary, const Emulator& emulator, std::uint16_t address);
// Colour c of palette p of a set of the model as the 15-bit word the hardware holds.
std::uint16_t ModelColourWord(const Model& model, int set, int palette, int colour);

struct ColourRun {
    TestRom rom;
    std::unique_ptr<Model> model;  // after the scan and the project
    TileDictionary dictionary;     // the one the colour ROM carries
    std::vector<std::uint8_t> colourRom;
    std::unique_ptr<Emulator> mono, colour;
};

// Colours the ROM with the project and powers both images on.
std::unique_ptr<ColourRun> StartColourAndMono(TestRom rom, const std::function<void(Model&, const TestRom&)>& project =
                                                               ApplyTestProject);

struct KeyPress {  // keys held while the frame number is in [from, to)
    int from, to;
    std::uint32_t keys;
    const char* name = "";
};
std::uint32_t KeysHeld(const std::vector<KeyPress>& presses, int frame);

// Runs until the game's own frame counter (wFrame) reaches gameFrame, the keys held by that
// counter, so that every run sees the same input at the same point of the game.
void RunToGameFrame(Emulator& emulator, const TestRom& rom, int gameFrame, const std::vector<KeyPress>& keys = {});

}  // namespace dapplix::e2e
