#include "Emulator.h"

#include <cstdarg>
#include <stdexcept>

// mgba/flags.h must come first: struct mCore has members that exist only under its build flags.
#include <mgba/flags.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/core/timing.h>
#include <mgba/gb/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba/internal/sm83/sm83.h>
#include <mgba-util/vfs.h>

namespace dapplix::e2e {
namespace {

// The core logs to stdout without a logger (an MBC1 cartridge without RAM on every bank switch).
void Quiet(struct mLogger*, int, enum mLogLevel, const char*, va_list) {}
struct mLogger quietLogger = {Quiet, nullptr};

GB* Board(mCore* core) { return static_cast<GB*>(core->board); }

}  // namespace

Emulator::Emulator(std::vector<std::uint8_t> rom)
    : rom_(std::move(rom)), frame_(std::size_t(256) * 256, 0) {
    mLogSetDefaultLogger(&quietLogger);
    core_ = GBCoreCreate();
    if (!core_ || !core_->init(core_)) throw std::runtime_error("mGBA core could not start");
    mCoreInitConfig(core_, nullptr);  // the core crashes without a config
    core_->setVideoBuffer(core_, frame_.data(), 256);  // before reset, or frames stay blank
    VFile* file = VFileFromMemory(rom_.data(), rom_.size());
    if (!file || !core_->loadROM(core_, file)) throw std::runtime_error("mGBA refused the ROM");
    core_->reset(core_);
}

Emulator::~Emulator() {
    if (core_) {
        mCoreConfigDeinit(&core_->config);
        core_->deinit(core_);
    }
}

bool Emulator::IsColourModel() const { return Board(core_)->model >= GB_MODEL_CGB; }

void Emulator::RunFrame(std::uint32_t keys) {
    core_->setKeys(core_, keys);
    core_->runFrame(core_);
}

void Emulator::Step(std::uint32_t keys) {
    core_->setKeys(core_, keys);
    core_->step(core_);
}

std::uint8_t Emulator::Read(std::uint16_t address, int segment) const {
    return static_cast<std::uint8_t>(core_->rawRead8(core_, address, segment));
}

std::uint16_t Emulator::Read16(std::uint16_t address) const {
    return static_cast<std::uint16_t>(Read(address) | (Read(static_cast<std::uint16_t>(address + 1)) << 8));
}

std::uint16_t Emulator::BackgroundColour(int palette, int colour) const {
    return Board(core_)->video.palette[palette * 4 + colour];
}

std::uint16_t Emulator::SpriteColour(int palette, int colour) const {
    return Board(core_)->video.palette[32 + palette * 4 + colour];
}

std::uint8_t Emulator::Oam(int offset) const { return Board(core_)->video.oam.raw[offset]; }

std::uint32_t Emulator::Pixel(int x, int y) const {
    return frame_[std::size_t(y) * 256 + std::size_t(x)] & 0xFFFFFF;
}

std::uint16_t Emulator::Pc() const { return Board(core_)->cpu->pc; }
std::uint16_t Emulator::Sp() const { return Board(core_)->cpu->sp; }
std::uint16_t Emulator::De() const { return Board(core_)->cpu->de; }
int Emulator::RomBank() const { return Board(core_)->memory.currentBank; }

std::uint64_t Emulator::Time() const { return mTimingGlobalTime(core_->timing); }

double Emulator::MachineCycles(std::uint64_t units) const {
    // The core's clock runs at twice the dot rate; a machine cycle is four dots.
    return static_cast<double>(units) / 8.0;
}

std::uint32_t ScreenColour(std::uint16_t word) {
    auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
    const unsigned red = word & 0x1F;
    const unsigned green = (word >> 5) & 0x1F;
    const unsigned blue = (word >> 10) & 0x1F;
    return expand(red) | (expand(green) << 8) | (expand(blue) << 16);
}

}  // namespace dapplix::e2e
