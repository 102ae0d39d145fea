// Colouring a real game through the engine and running it on the mGBA core, one instruction at
// a time, keeping what the comparisons need; and the foreign VRAM bytes of a colour run.
#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <tuple>
#include <utility>

// mgba/flags.h must come first: struct mCore has members that exist only under its build flags.
#include <mgba/flags.h>
#include <mgba/core/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba/internal/gb/io.h>
#include <mgba/internal/sm83/sm83.h>

#include "RealGames.h"
#include "engine/Flows.h"
#include "engine/Writer.h"

namespace dapplix::e2e {

const std::vector<KeyPress>& KeyScript() {
    static const std::vector<KeyPress> script = {
        {90, 96, kKeyStart, "Start"},   {150, 156, kKeyA, "A"},         {210, 216, kKeyStart, "Start"},
        {270, 276, kKeyA, "A"},         {330, 336, kKeyStart, "Start"}, {390, 396, kKeyA, "A"},
        {440, 446, kKeyDown, "Down"},   {470, 476, kKeyA, "A"},         {500, 620, kKeyRight, "Right"},
        {540, 546, kKeyA, "A"},         {580, 586, kKeyA, "A"},         {640, 646, kKeyStart, "Start"},
        {680, 686, kKeyA, "A"},         {700, 780, kKeyLeft, "Left"},   {720, 726, kKeyB, "B"},
        {800, 806, kKeyStart, "Start"}, {840, 846, kKeyA, "A"},
    };
    return script;
}

std::uint32_t KeysAt(int frame) { return KeysHeld(KeyScript(), frame); }

ColouredGame ColourGame(const std::string& path, const std::string& sideFileDir, const std::function<void(Model&)>& project) {
    ColouredGame game;
    game.name = std::filesystem::path(path).filename().string();
    game.mono = ReadBinaryFile(path);
    const auto model = SideFilesModel(sideFileDir);
    const RomOpenResult opened = OpenRomForColouring(*model, path);  // never over ROM code
    if (!opened.ok || !opened.scan.placed) {
        for (const std::string& error : opened.errors) game.reason += (game.reason.empty() ? "" : " ") + error;
        if (!opened.summary.empty()) game.reason += " " + opened.summary;
        return game;
    }
    if (project) project(*model);
    const TileDictionary dictionary = BuildTileDictionary(*model);
    game.dictionaryEntries = dictionary.entries;
    game.dictionaryLeftOut = dictionary.leftOut;
    game.colour = BuildColorRom(*model);
    game.placed = true;
    game.dmaHook = static_cast<std::uint16_t>(model->DmaHookPos - 1);  // positions are 1-based
    game.copyHook = static_cast<std::uint16_t>(model->CopyHookPos - 1);
    return game;
}

namespace {

constexpr std::uint16_t kRst38Target = 0x0038;
// A frame is a few thousand instructions: this many steps without one means the core stopped
// making frames (a STOP it never leaves).
constexpr long kStepsWithoutFrame = 400000;
constexpr std::size_t kDropsKept = 8;

bool IsInterruptVector(std::uint16_t pc) { return pc >= 0x40 && pc <= 0x60 && pc % 8 == 0; }

// Runs one emulator for a number of frames. The core's memory functions are wrapped while it
// runs: the first instruction fetch of each step tells an executed 0xFF (RST 38) from an
// interrupt (which fetches nothing), and every store to VRAM is checked against the PPU mode
// the core itself decides by.
class Recorder {
public:
    Recorder(Emulator& emulator, const RunOptions& options)
        : emulator_(emulator), options_(options), core_(emulator.Core()), gb_(static_cast<GB*>(core_->board)),
          cpu_(gb_->cpu) {
        if (active_) throw std::logic_error("one recorded run at a time");
        active_ = this;
        Wrap();
    }
    ~Recorder() {
        cpu_->memory.cpuLoad8 = originalFetch_;
        cpu_->memory.store8 = originalStore_;
        active_ = nullptr;
    }

    RunRecord Run() {
        record_.frames.reserve(options_.frames);
        std::uint32_t frameCounter = gb_->video.frameCounter;
        core_->setKeys(core_, KeysAt(0));
        long steps = 0;
        while (frame_ < options_.frames) {
            Step();
            if (gb_->video.frameCounter != frameCounter) {
                frameCounter = gb_->video.frameCounter;
                EndFrame();
                steps = 0;
            } else if (++steps > kStepsWithoutFrame) {
                record_.stopped = "no new frame after frame " + std::to_string(frame_);
                break;
            }
        }
        return std::move(record_);
    }

private:
    static std::uint8_t Fetch(SM83Core* cpu, std::uint16_t address) {
        Recorder& self = *active_;  // only the core of the one recorded run calls these
        const std::uint8_t value = self.originalFetch_(cpu, address);
        if (!std::exchange(self.fetched_, true)) std::tie(self.fetchAddress_, self.fetchValue_) = std::tie(address, value);
        return value;
    }

    static void Store(SM83Core* cpu, std::uint16_t address, std::int8_t value) {
        Recorder& self = *active_;
        const bool lcdOn = self.gb_->memory.io[GB_REG_LCDC] & 0x80;
        if (address >= 0x8000 && address < 0xA000 && lcdOn && self.gb_->video.mode == 3) {
            ++self.droppedThisFrame_;
            if (++self.record_.droppedVramWrites == 1) self.record_.firstDropFrame = self.frame_;
            const char* where = self.options_.observer ? self.options_.observer->Dropped() : "game";
            if (self.record_.firstDrops.size() < kDropsKept)
                self.record_.firstDrops.push_back({self.frame_, self.gb_->memory.io[GB_REG_LY], address, cpu->pc, where});
        } else if (address >= 0x8000 && address < 0xA000 && self.options_.monochromeModel) {
            self.storesThisFrame_.emplace_back(std::uint16_t(address - 0x8000), std::uint8_t(value));
        }
        self.originalStore_(cpu, address, value);
    }

    // The core swaps its memory functions as it runs (a faster fetch for each memory region the
    // program counter enters): whatever it put in place is wrapped again after every step.
    void Wrap() {
        if (cpu_->memory.cpuLoad8 != Fetch) {
            originalFetch_ = cpu_->memory.cpuLoad8;
            cpu_->memory.cpuLoad8 = Fetch;
        }
        if (cpu_->memory.store8 != Store) {
            originalStore_ = cpu_->memory.store8;
            cpu_->memory.store8 = Store;
        }
    }

    void Step() {
        const std::uint16_t pc = cpu_->pc, sp = cpu_->sp;
        const double start = emulator_.Cycles();
        fetched_ = false;
        core_->step(core_);
        Wrap();
        const bool executed = fetched_ && fetchAddress_ == pc;  // an interrupt or HALT fetches nothing
        if (executed && fetchValue_ == 0xFF && cpu_->pc == kRst38Target) {
            ++rst38ThisFrame_;
            if (++record_.rst38 == 1) record_.firstRst38Frame = frame_;
        }
        if (options_.observer) {
            const bool interrupt = !executed && cpu_->pc != pc && IsInterruptVector(cpu_->pc);
            options_.observer->Stepped(emulator_, pc, sp, emulator_.Cycles() - start, interrupt);
        }
    }

    // The start of a vertical blank: the frame just drawn is complete.
    void EndFrame() {
        if (options_.observer) options_.observer->VerticalBlank(emulator_, frame_);
        FrameRecord& frame = record_.frames.emplace_back();
        const std::uint8_t* vram = gb_->video.vram;
        std::copy(vram, vram + 0x2000, frame.vram.begin());
        if (emulator_.IsColourModel()) std::copy(vram + 0x2000 + 0x1800, vram + 0x4000, frame.attributes.begin());
        std::copy(gb_->video.oam.raw, gb_->video.oam.raw + 160, frame.oam.begin());
        const std::uint8_t* io = gb_->memory.io;
        std::tie(frame.lcdc, frame.scy, frame.scx, frame.wy, frame.wx) =
            std::tuple(io[GB_REG_LCDC], io[GB_REG_SCY], io[GB_REG_SCX], io[GB_REG_WY], io[GB_REG_WX]);
        std::tie(frame.bgp, frame.obp0) = std::tuple(io[GB_REG_BGP], io[GB_REG_OBP0]);
        if (emulator_.IsColourModel()) {
            std::uint32_t hash = 2166136261u;  // FNV-1a over the 64 colour words
            for (const std::uint16_t word : gb_->video.palette) hash = (hash ^ word) * 16777619u;
            frame.palettes = hash;
        }
        std::tie(frame.droppedVramWrites, frame.rst38) = std::tuple(droppedThisFrame_, rst38ThisFrame_);
        frame.vramStores = std::exchange(storesThisFrame_, {});
        if (options_.atFrame) options_.atFrame(emulator_, frame_);
        droppedThisFrame_ = rst38ThisFrame_ = 0;
        ++frame_;
        core_->setKeys(core_, KeysAt(frame_));
    }

    static inline Recorder* active_ = nullptr;
    Emulator& emulator_;
    RunOptions options_;
    mCore* core_;
    GB* gb_;
    SM83Core* cpu_;
    std::uint8_t (*originalFetch_)(SM83Core*, std::uint16_t) = nullptr;
    void (*originalStore_)(SM83Core*, std::uint16_t, std::int8_t) = nullptr;

    RunRecord record_;
    int frame_ = 0;  // the frame being run
    int droppedThisFrame_ = 0, rst38ThisFrame_ = 0;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> storesThisFrame_;
    bool fetched_ = false;
    std::uint16_t fetchAddress_ = 0;
    std::uint8_t fetchValue_ = 0;
};

}  // namespace

RunRecord RecordRun(const std::vector<std::uint8_t>& rom, const RunOptions& options) {
    Emulator emulator(rom, options.monochromeModel);
    if (options.monochromeModel && emulator.IsColourModel())
        throw std::logic_error("the core would not run the ROM as a DMG");
    Recorder recorder(emulator, options);
    return recorder.Run();
}

int CountForeign(const RunRecord& mono, const FrameRecord& colour, int lo, int hi) {
    int foreign = 0;
    for (std::size_t address = 0; address < colour.vram.size(); ++address) {
        bool seen = false;
        for (int g = hi; g >= lo && !seen; --g) seen = mono.frames[g].vram[address] == colour.vram[address];
        const auto storedThere = [&](const auto& store) { return store.first == address && store.second == colour.vram[address]; };
        for (int g = hi; g >= lo && !seen; --g) seen = std::any_of(mono.frames[g].vramStores.begin(), mono.frames[g].vramStores.end(), storedThere);
        foreign += !seen;
    }
    return foreign;
}

ForeignBytes CountForeignBytes(const RunRecord& mono, const RunRecord& colour, int lagBehind) {
    ForeignBytes result;
    const int frames = static_cast<int>(std::min(mono.frames.size(), colour.frames.size()));
    for (int f = kStartUpFrames; f < frames; ++f) {
        const int foreign = CountForeign(mono, colour.frames[f], std::max(0, f - lagBehind), std::min(frames - 1, f + kLagAhead));
        result.max = std::max(result.max, foreign);
        if (foreign > 0 && result.frames++ == 0) result.first = f;
    }
    return result;
}

std::vector<std::uint8_t> CountingRom(int rounds) {
    std::vector<std::uint8_t> rom(0x8000, 0x00);
    const auto put = [&rom](std::size_t at, std::initializer_list<std::uint8_t> bytes) { std::copy(bytes.begin(), bytes.end(), rom.begin() + at); };
    put(0x38, {0xCD, 0x80, 0xFF, 0xC9});  // CALL 0xFF80; RET
    put(0x40, {0xD9});                    // RETI
    put(0x100, {0x00, 0xC3, 0x50, 0x01});
    put(0x150, {0x31, 0xFE, 0xFF,         // LD SP,0xFFFE
                0x3E, 0xC9, 0xE0, 0x80,   // LD A,0xC9; LDH (0x80),A: RET at 0xFF80
                0x3E, 0x01, 0xE0, 0xFF,   // LD A,1; LDH (IE),A: vertical-blank interrupt
                0xFB, 0x06, std::uint8_t(rounds), 0x21, 0x00, 0x80,  // EI; LD B,rounds; LD HL,0x8000
                0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03, 0x28, 0xF8,  // 0x161: LDH A,(STAT); AND 3; CP 3; JR Z: while mode 3
                0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03, 0x20, 0xF8,  // the same, JR NZ: until the next mode 3
                0x36, 0x55, 0xFF, 0xCD, 0x38, 0x00,  // LD (HL),0x55 (lost); RST 38; CALL 0x0038
                0x05, 0x20, 0xE7, 0x18, 0xFE});      // DEC B; JR NZ,0x161; JR to itself
    return rom;
}

}  // namespace dapplix::e2e
