// A Game Boy run on the mGBA core, as the end-to-end tests and the measuring tools need it.
#pragma once

#include <cstdint>
#include <vector>

struct mCore;

namespace dapplix::e2e {

constexpr int kScreenWidth = 160;
constexpr int kScreenHeight = 144;
constexpr int kMachineCyclesPerFrame = 17556;  // 154 lines of 114 machine cycles

// Joypad bits as the core takes them.
enum Key : std::uint32_t {
    kKeyA = 1 << 0,
    kKeyB = 1 << 1,
    kKeySelect = 1 << 2,
    kKeyStart = 1 << 3,
    kKeyRight = 1 << 4,
    kKeyLeft = 1 << 5,
    kKeyUp = 1 << 6,
    kKeyDown = 1 << 7,
};

class Emulator {
public:
    // Loads the ROM image and resets. The core picks the model from the header: the colour
    // model only when bit 7 of 0x143 is set.
    explicit Emulator(std::vector<std::uint8_t> rom);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    bool IsColourModel() const;
    // Runs until the next vertical blank starts (before the game's handler runs).
    void RunFrame(std::uint32_t keys = 0);
    // One instruction.
    void Step(std::uint32_t keys = 0);

    // Memory as the CPU sees it now (segment -1), or a given bank of VRAM / WRAM / ROM.
    std::uint8_t Read(std::uint16_t address, int segment = -1) const;
    std::uint16_t Read16(std::uint16_t address) const;
    // Palette RAM: background palette p colour c, sprite palette p colour c (15-bit words).
    std::uint16_t BackgroundColour(int palette, int colour) const;
    std::uint16_t SpriteColour(int palette, int colour) const;
    std::uint8_t Oam(int offset) const;
    // The last frame, 0x00BBGGRR per pixel.
    std::uint32_t Pixel(int x, int y) const;
    const std::vector<std::uint32_t>& Frame() const { return frame_; }

    std::uint16_t Pc() const;
    std::uint16_t Sp() const;
    std::uint16_t De() const;
    int RomBank() const;
    // Time in the core's units; MachineCycles converts a difference.
    std::uint64_t Time() const;
    double MachineCycles(std::uint64_t units) const;

private:
    std::vector<std::uint8_t> rom_;
    std::vector<std::uint32_t> frame_;
    mCore* core_ = nullptr;
};

// The RGB mGBA shows for a 15-bit colour word: each 5-bit component c becomes (c << 3) | (c >> 2).
std::uint32_t ScreenColour(std::uint16_t word);

}  // namespace dapplix::e2e
