#include "ColourRun.h"

#include <cstdarg>

// mgba/flags.h must come first: struct mCore has members that exist only under its build flags.
#include <mgba/flags.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/core/timing.h>
#include <mgba/gb/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba/internal/sm83/sm83.h>
#include <mgba-util/vfs.h>

#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

// (The core logs to stdout without a logger.)
void Quiet(struct mLogger*, int, enum mLogLevel, const char*, va_list) {}
struct mLogger quietLogger = {Quiet, nullptr};

GB* Board(mCore* core) { return static_cast<GB*>(core->board); }

}  // namespace

Emulator::Emulator(std::vector<std::uint8_t> rom, bool monochromeModel) : rom_(std::move(rom)), frame_(256 * 256, 0) {
    mLogSetDefaultLogger(&quietLogger);
    core_ = GBCoreCreate();
    if (!core_ || !core_->init(core_)) throw std::runtime_error("mGBA core could not start");
    mCoreInitConfig(core_, nullptr);             // the core crashes without a config
    if (monochromeModel) {
        mCoreConfigSetValue(&core_->config, "gb.model", "DMG");
        mCoreConfigSetValue(&core_->config, "sgb.model", "DMG");
    }
    core_->setVideoBuffer(core_, frame_.data(), 256);  // before reset, or frames stay blank
    VFile* file = VFileFromMemory(rom_.data(), rom_.size());
    if (!file || !core_->loadROM(core_, file)) throw std::runtime_error("mGBA refused the ROM");
    core_->reset(core_);
}

Emulator::~Emulator() {
    mCoreConfigDeinit(&core_->config);
    core_->deinit(core_);
}

bool Emulator::IsColourModel() const { return Board(core_)->model >= GB_MODEL_CGB; }
void Emulator::RunFrame(std::uint32_t keys) { core_->setKeys(core_, keys); core_->runFrame(core_); }
void Emulator::Step() { core_->step(core_); }
std::uint8_t Emulator::Read(std::uint16_t address, int segment) const { return std::uint8_t(core_->rawRead8(core_, address, segment)); }
std::uint16_t Emulator::Read16(std::uint16_t address) const { return std::uint16_t(Read(address) | Read(address + 1) << 8); }
std::uint16_t Emulator::PaletteRam(int set, int palette, int colour) const {
    return Board(core_)->video.palette[(set == kSpriteSet ? 32 : 0) + palette * 4 + colour];
}
std::uint8_t Emulator::Oam(int offset) const { return Board(core_)->video.oam.raw[offset]; }
std::uint16_t Emulator::Pc() const { return Board(core_)->cpu->pc; }
std::uint16_t Emulator::Sp() const { return Board(core_)->cpu->sp; }
std::uint16_t Emulator::De() const { return Board(core_)->cpu->de; }
std::uint16_t Emulator::Bc() const { return Board(core_)->cpu->bc; }
double Emulator::Cycles() const { return mTimingGlobalTime(core_->timing) / 8.0; }  // the clock counts half dots

const std::vector<std::string> kTestRomNames = {"demo", "mbc1_256k", "mbc1_full_bank0", "mbc1_ram32k", "mbc3_128k", "mbc2_128k"};

TestRom LoadTestRom(const std::string& name) {
    const std::string base = std::string(DAPPLIX_ROMS_DIR) + "/" + name;
    return {name, Symbols::Load(base + ".noi"), ReadBinaryFile(base + ".gb")};
}

void ApplyTestProject(Model& model, const TestRom& rom) {
    for (int entry = 0; entry < kPaletteSets * kPalettes * kColours; ++entry) {
        const int level = 30 - entry % 4 * 9, hue = entry / 4;  // hue 0..15 (set, palette) keeps every entry apart
        model.Pals[hue / 8][hue % 8][entry % 4] = {static_cast<std::int16_t>(level - (hue & 3)),
                                                   static_cast<std::int16_t>(level - ((hue >> 2) & 3)),
                                                   static_cast<std::int16_t>(level - ((hue & 1) ? 2 : 0) - (hue >> 3))};
    }
    model.TileOffset[rom.At("BANK_B")] = static_cast<std::int16_t>(rom.At("GFX_OFFSET"));
    for (int t = 0; t < rom.Tiles("TilesA"); ++t) model.TilePal[rom.At("BANK_A")][t] = static_cast<std::int16_t>(t % 7 + 1);
    for (int t = 0; t < rom.Tiles("TilesB"); ++t) model.TilePal[rom.At("BANK_B")][t] = static_cast<std::int16_t>(t % 8);
}

int ExpectedPalette(const TileDictionary& dictionary, const Emulator& emulator, std::uint16_t address) {
    std::uint8_t bytes[kTileBytes];
    for (int i = 0; i < kTileBytes; ++i) bytes[i] = emulator.Read(static_cast<std::uint16_t>(address + i), 0);
    return LookUpTile(dictionary, bytes);
}

std::uint16_t ModelColourWord(const Model& model, int set, int palette, int colour) {
    const auto& rgb = model.Pals[set][palette][colour];
    return static_cast<std::uint16_t>((rgb[2] & 0x1F) << 10 | (rgb[1] & 0x1F) << 5 | (rgb[0] & 0x1F));
}

std::unique_ptr<ColourRun> StartColourAndMono(TestRom rom, const std::function<void(Model&, const TestRom&)>& project) {
    auto run = std::make_unique<ColourRun>();
    run->model = PrepareModel(rom.image, DAPPLIX_SIDEFILE_DIR);
    project(*run->model, rom);
    run->dictionary = BuildTileDictionary(*run->model);
    run->colourRom = BuildColorRom(*run->model);
    run->mono = std::make_unique<Emulator>(rom.image);
    run->colour = std::make_unique<Emulator>(run->colourRom);
    run->rom = std::move(rom);
    return run;
}

std::uint32_t KeysHeld(const std::vector<KeyPress>& presses, int frame) {
    std::uint32_t keys = 0;
    for (const KeyPress& press : presses) keys |= (frame >= press.from && frame < press.to) ? press.keys : 0;
    return keys;
}

void RunToGameFrame(Emulator& emulator, const TestRom& rom, int gameFrame, const std::vector<KeyPress>& keys) {
    bool started = false;  // (WRAM holds what power-on left until the game clears its counter)
    for (int frames = 0; frames < 2000; ++frames) {
        const int now = emulator.Read16(rom.At("wFrame"));
        started = started || now < gameFrame;
        if (started && now >= gameFrame) {
            if (now == gameFrame) return;
            break;
        }
        emulator.RunFrame(KeysHeld(keys, now));
    }
    throw std::runtime_error(rom.name + ": the game did not reach frame " + std::to_string(gameFrame));
}

}  // namespace dapplix::e2e
