// The mGBA core as the end-to-end tests and the measuring tools need it, and one test ROM run
// twice on it: as built (monochrome) and coloured through the engine with a project.
#pragma once

#include <functional>

#include "Support.h"
#include "engine/TileDictionary.h"

struct mCore;

namespace dapplix::e2e {

constexpr int kScreenWidth = 160;
constexpr int kScreenHeight = 144;
constexpr int kMachineCyclesPerFrame = 17556;  // 154 lines of 114 machine cycles
constexpr std::uint32_t kKeyA = 1 << 0;        // joypad bits as the core takes them
constexpr std::uint32_t kKeyRight = 1 << 4;

class Emulator {
public:
    // Loads the ROM image and resets. The core picks the colour model only when bit 7 of
    // 0x143 is set.
    explicit Emulator(std::vector<std::uint8_t> rom);
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
    double Cycles() const;  // machine cycles since power-on

private:
    std::vector<std::uint8_t> rom_;
    std::vector<std::uint32_t> frame_;
    mCore* core_ = nullptr;
};

// The RGB mGBA shows for a 15-bit colour word: each 5-bit component c becomes (c << 3) | (c >> 2).
std::uint32_t ScreenColour(std::uint16_t word);

// One build of the test game (gbcode/testroms), its symbols and the monochrome image. Its
// graphics: block A, tiles at offset 0 of bank BANK_A, goes to 0x8000; block B, at offset
// GFX_OFFSET of bank BANK_B, to 0x8800.
struct TestRom {
    std::string name;
    Symbols symbols;
    std::vector<std::uint8_t> image;
    std::uint16_t At(const char* symbol) const { return static_cast<std::uint16_t>(symbols[symbol]); }
    int Tiles(const char* block) const { return (symbols[std::string(block) + "End"] - symbols[block]) / 16; }
};

extern const std::vector<std::string> kTestRomNames;
TestRom LoadTestRom(const std::string& name);

// The project of the end-to-end runs: 64 distinct colours, so that a screen colour names its
// palette entry (colour 0 of each palette light, colour 3 dark, like the monochrome shades);
// block A tiles get palettes 1-7 in turn, block B tiles 0-7.
void ApplyTestProject(Model& model, const TestRom& rom);
// The palette the colour ROM gives the tile whose 16 bytes are in VRAM bank 0 at address:
// what the project's tile dictionary holds for those bytes.
int ExpectedPalette(const TileDictionary& dictionary, const Emulator& emulator, std::uint16_t address);
// Palette p colour c of a set of the model as the 15-bit word the hardware holds.
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

struct KeyHold {  // keys held while the game's frame counter is in [from, to)
    int from, to;
    std::uint32_t keys;
};

// Runs until the game's frame counter reaches gameFrame, holding keys by that counter so that
// every run sees the same input at the same point of the game; throws if it never gets there.
void RunToGameFrame(Emulator& emulator, const TestRom& rom, int gameFrame, const std::vector<KeyHold>& keys = {});

}  // namespace dapplix::e2e
