// The hooks' calls timed on a run of the recorder (tests/e2e/RealGamesRun.cpp), step by step.
#include <string>

// mgba/flags.h must come first: struct mCore has members that exist only under its build flags.
#include <mgba/flags.h>
#include <mgba/core/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba/internal/gb/io.h>

#include "ColourRun.h"
#include "RealGamesReport.h"

namespace dapplix::e2e {

namespace {

constexpr int kFirstVblankLine = 144;
constexpr double kVblankCycles = 1140;
constexpr std::uint16_t kHighRam = 0xFF80;
constexpr std::size_t kMostOpenCalls = 64;  // calls that never return are let go beyond this

const std::uint8_t* Io(const Emulator& emulator) { return static_cast<GB*>(emulator.Core()->board)->memory.io; }
bool LcdOn(const Emulator& emulator) { return Io(emulator)[GB_REG_LCDC] & 0x80; }
int Line(const Emulator& emulator) { return Io(emulator)[GB_REG_LY]; }

}  // namespace

void HookTimer::Stepped(const Emulator& emulator, std::uint16_t pc, std::uint16_t sp, double cycles, bool interrupt) {
    if (interrupt) {
        Open(emulator, Kind::Interrupt, pc, sp);
        return;
    }
    if (!open_.empty()) {
        OpenCall& call = open_.back();
        // The DMA hook's time leaves out the game's own routine in high RAM.
        if (call.kind == Kind::CopyHook || (call.kind == Kind::DmaHook && pc < kHighRam)) call.cycles += cycles;
    }
    CloseReturned(emulator);
    const std::uint16_t now = emulator.Pc(), stack = emulator.Sp();
    if (dmaHook_ && now == dmaHook_) Open(emulator, Kind::DmaHook, emulator.Read16(stack), stack + 2);
    else if (copyHook_ && now == copyHook_) Open(emulator, Kind::CopyHook, emulator.Read16(stack), stack + 2);
}

void HookTimer::VerticalBlank(const Emulator& emulator, int frame) {
    vblankStart_ = emulator.Cycles();
    vblankSeen_ = true;
    frame_ = frame + 1;
}

const char* HookTimer::Dropped() {
    if (open_.empty() || open_.back().kind == Kind::Interrupt) return "game";
    ++calls.droppedVramWrites;
    return open_.back().kind == Kind::DmaHook ? "DMA hook" : "copy hook";
}

void HookTimer::Open(const Emulator& emulator, Kind kind, std::uint16_t returnPc, int returnSp) {
    if (open_.size() == kMostOpenCalls) open_.erase(open_.begin());
    OpenCall call{kind, returnPc, static_cast<std::uint16_t>(returnSp), frame_};
    call.entryLine = Line(emulator);
    call.lcdOn = LcdOn(emulator);
    call.vblankStart = vblankStart_;
    call.vblankKnown = vblankSeen_ && call.entryLine >= kFirstVblankLine;
    open_.push_back(call);
}

// A call ends when the program is back at its return address with the stack as before the
// call; one whose stack has been unwound past that was left for good and is dropped.
void HookTimer::CloseReturned(const Emulator& emulator) {
    while (!open_.empty()) {
        const OpenCall& call = open_.back();
        if (emulator.Pc() == call.returnPc && emulator.Sp() == call.returnSp) {
            Finish(emulator, call);
            open_.pop_back();
            return;
        }
        if (emulator.Sp() <= call.returnSp) return;
        open_.pop_back();
    }
}

void HookTimer::Finish(const Emulator& emulator, const OpenCall& call) {
    if (call.kind == Kind::CopyHook) {
        calls.copy.push_back({call.frame, call.cycles});
    } else if (call.kind == Kind::DmaHook) {
        DmaHookCall done;
        done.frame = call.frame;
        done.cycles = call.cycles;
        done.entryLine = call.entryLine;
        done.exitLine = Line(emulator);
        done.lcdOn = call.lcdOn && LcdOn(emulator);
        done.vblankKnown = call.vblankKnown;
        done.vblankLeft = call.vblankStart + kVblankCycles - emulator.Cycles();
        calls.dma.push_back(done);
    }
}

}  // namespace dapplix::e2e
