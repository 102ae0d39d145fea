// A Game Boy (Color) in the mGBA core: the Play window, the measuring tools and the tests
// run ROM images in it, colour ROMs straight from memory. No Qt; only this file's source
// knows the core's headers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct mCore;

namespace dapplix {

constexpr int kScreenWidth = 160;
constexpr int kScreenHeight = 144;
constexpr double kGameBoyFramesPerSecond = 4194304.0 / 70224.0;  // 59.73: 70224 dots a frame

// Joypad bits as the core takes them.
enum GameKey : std::uint32_t {
    kKeyA = 1u << 0,
    kKeyB = 1u << 1,
    kKeySelect = 1u << 2,
    kKeyStart = 1u << 3,
    kKeyRight = 1u << 4,
    kKeyLeft = 1u << 5,
    kKeyUp = 1u << 6,
    kKeyDown = 1u << 7,
};

// What decides which tile shows at a screen pixel, read from the video hardware at the end
// of a frame (the registers as the last line was drawn with them).
struct VideoState {
    const std::uint8_t* vram = nullptr;  // VRAM bank 0, 0x8000-0x9FFF (8 KiB)
    const std::uint8_t* oam = nullptr;   // 160 bytes
    std::uint8_t lcdc = 0, scy = 0, scx = 0, wy = 0, wx = 0;
};

class Emulator {
public:
    // Powers the cartridge image on; throws std::runtime_error when the core refuses it.
    // The core picks the colour model only when bit 7 of 0x143 is set.
    explicit Emulator(std::vector<std::uint8_t> rom);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Swaps the cartridge for another image and powers on again.
    void LoadRom(std::vector<std::uint8_t> rom);
    void Reset();  // power off and on, same cartridge

    bool IsColourModel() const;
    // Runs to the start of the next vertical blank with the given keys held.
    void RunFrame(std::uint32_t keys = 0);
    std::uint64_t FramesRun() const { return frames_; }

    // The last frame, 32 bits a pixel (red in bits 0-7, green 8-15, blue 16-23), 256 a line.
    const std::uint32_t* Frame() const { return frame_.data(); }
    static constexpr int kFrameStride = 256;
    std::uint32_t Pixel(int x, int y) const { return frame_[y * kFrameStride + x] & 0xFFFFFF; }

    // Memory as the CPU sees it now (segment -1), or in a given bank of VRAM / WRAM / ROM.
    std::uint8_t Read(std::uint16_t address, int segment = -1) const;
    // Writes VRAM (segment 0-1), WRAM (0xC000-0xDFFF; segment = WRAM bank for 0xD000-) or
    // OAM directly, whatever the PPU is doing, and tells the renderer.
    void Write(std::uint16_t address, int segment, std::uint8_t value);
    std::uint8_t IoRegister(std::uint16_t address) const;  // 0xFF00-0xFF7F
    // Palette RAM: 0-31 background (palette x 4 + colour), 32-63 sprites; 15-bit words.
    std::uint16_t PaletteRam(int index) const;
    void SetPaletteRam(int index, std::uint16_t word);
    VideoState Video() const;

    // Sound: once enabled, every frame leaves its samples (stereo, 16 bits) at the given rate
    // to be read; they are dropped when not read. Kept across LoadRom and Reset.
    void EnableAudio(int sampleRate);
    int AudioRate() const { return audioRate_; }
    // Reads up to maxFrames stereo frames (left, right interleaved) into out; returns how many.
    int ReadAudio(std::int16_t* out, int maxFrames);


private:
    void PowerOn();
    void SetUpAudio();

    std::vector<std::uint8_t> rom_;
    std::vector<std::uint32_t> frame_;
    mCore* core_ = nullptr;
    std::uint64_t frames_ = 0;
    int audioRate_ = 0;
};

// The RGB the core shows for a 15-bit colour word: each 5-bit component c becomes
// (c << 3) | (c >> 2), red in bits 0-7.
std::uint32_t ScreenColourOfWord(std::uint16_t word);

}  // namespace dapplix
