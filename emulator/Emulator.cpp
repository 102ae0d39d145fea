#include "Emulator.h"

#include <algorithm>
#include <cstdarg>
#include <stdexcept>

// mgba/flags.h must come first: struct mCore has members that exist only under its build flags.
#include <mgba/flags.h>
#include <mgba/core/blip_buf.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/gb/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba-util/vfs.h>

namespace dapplix {
namespace {

// Without a logger the core prints to stdout (an MBC1 cartridge without RAM on every bank
// switch).
void Quiet(struct mLogger*, int, enum mLogLevel, const char*, va_list) {}
struct mLogger quietLogger = {Quiet, nullptr};

GB* Board(mCore* core) { return static_cast<GB*>(core->board); }

constexpr std::uint16_t kVramStart = 0x8000;
constexpr std::uint16_t kVramBankSize = 0x2000;
constexpr std::uint16_t kWramStart = 0xC000;
constexpr std::uint16_t kWramBankSize = 0x1000;
constexpr std::uint16_t kOamStart = 0xFE00;
constexpr std::uint16_t kOamSize = 160;

}  // namespace

Emulator::Emulator(std::vector<std::uint8_t> rom) : rom_(std::move(rom)), frame_(kFrameStride * kFrameStride, 0) {
    mLogSetDefaultLogger(&quietLogger);
    PowerOn();
}

Emulator::~Emulator() {
    if (!core_) return;
    mCoreConfigDeinit(&core_->config);
    core_->deinit(core_);
}

void Emulator::PowerOn() {
    if (core_) {
        mCoreConfigDeinit(&core_->config);
        core_->deinit(core_);
        core_ = nullptr;
    }
    // A new core for every cartridge: the model (colour or not) is chosen at load.
    core_ = GBCoreCreate();
    if (!core_ || !core_->init(core_)) throw std::runtime_error("The mGBA core could not start.");
    mCoreInitConfig(core_, nullptr);  // the core crashes without a config; the user's own is never read
    core_->setVideoBuffer(core_, frame_.data(), kFrameStride);  // before reset, or frames stay blank
    VFile* file = VFileFromMemory(rom_.data(), rom_.size());
    if (!file || !core_->loadROM(core_, file)) throw std::runtime_error("The mGBA core refused the ROM.");
    core_->reset(core_);
    frames_ = 0;
    SetUpAudio();
}

void Emulator::LoadRom(std::vector<std::uint8_t> rom) {
    rom_ = std::move(rom);
    PowerOn();
}

void Emulator::Reset() {
    core_->reset(core_);
    frames_ = 0;
}

bool Emulator::IsColourModel() const { return Board(core_)->model >= GB_MODEL_CGB; }

void Emulator::RunFrame(std::uint32_t keys) {
    core_->setKeys(core_, keys);
    core_->runFrame(core_);
    ++frames_;
}

std::uint8_t Emulator::Read(std::uint16_t address, int segment) const {
    return static_cast<std::uint8_t>(core_->rawRead8(core_, address, segment));
}

void Emulator::Write(std::uint16_t address, int segment, std::uint8_t value) {
    GB* gb = Board(core_);
    if (address >= kVramStart && address < kVramStart + kVramBankSize) {
        const std::uint32_t at = (address - kVramStart) + std::uint32_t(segment & 1) * kVramBankSize;
        gb->video.vram[at] = value;
        gb->video.renderer->writeVRAM(gb->video.renderer, at);
    } else if (address >= kWramStart && address < kWramStart + 2 * kWramBankSize) {
        const int bank = address < kWramStart + kWramBankSize ? 0 : (segment < 1 ? 1 : segment & 7);
        gb->memory.wram[std::uint32_t(bank) * kWramBankSize + (address & (kWramBankSize - 1))] = value;
    } else if (address >= kOamStart && address < kOamStart + kOamSize) {
        gb->video.oam.raw[address - kOamStart] = value;
        gb->video.renderer->writeOAM(gb->video.renderer, static_cast<std::uint16_t>(address - kOamStart));
    } else {
        core_->rawWrite8(core_, address, segment, value);
    }
}

std::uint8_t Emulator::IoRegister(std::uint16_t address) const { return Board(core_)->memory.io[address & 0x7F]; }

std::uint16_t Emulator::PaletteRam(int index) const { return Board(core_)->video.palette[index & 63]; }

void Emulator::SetPaletteRam(int index, std::uint16_t word) {
    GB* gb = Board(core_);
    gb->video.palette[index & 63] = word;
    gb->video.renderer->writePalette(gb->video.renderer, index & 63, word);
}

VideoState Emulator::Video() const {
    GB* gb = Board(core_);
    VideoState state;
    state.vram = gb->video.vram;
    state.oam = gb->video.oam.raw;
    state.lcdc = IoRegister(0xFF40);
    state.scy = IoRegister(0xFF42);
    state.scx = IoRegister(0xFF43);
    state.wy = IoRegister(0xFF4A);
    state.wx = IoRegister(0xFF4B);
    return state;
}

void Emulator::EnableAudio(int sampleRate) {
    audioRate_ = sampleRate;
    SetUpAudio();
}

void Emulator::SetUpAudio() {
    if (audioRate_ <= 0) return;
    core_->setAudioBufferSize(core_, 4096);
    for (int channel = 0; channel < 2; ++channel)
        blip_set_rates(core_->getAudioChannel(core_, channel), core_->frequency(core_), audioRate_);
}

int Emulator::ReadAudio(std::int16_t* out, int maxFrames) {
    if (audioRate_ <= 0) return 0;
    blip_t* left = core_->getAudioChannel(core_, 0);
    blip_t* right = core_->getAudioChannel(core_, 1);
    const int frames = std::min({blip_samples_avail(left), blip_samples_avail(right), maxFrames});
    blip_read_samples(left, out, frames, 1);
    blip_read_samples(right, out + 1, frames, 1);
    return frames;
}

std::uint32_t ScreenColourOfWord(std::uint16_t word) {
    auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
    return expand(word & 0x1F) | (expand((word >> 5) & 0x1F) << 8) | (expand((word >> 10) & 0x1F) << 16);
}

}  // namespace dapplix
