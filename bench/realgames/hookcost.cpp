// Measures what the colour runtime costs a game, on the mGBA core, for docs/performance.md.
// Every test ROM runs monochrome and coloured (test project), instruction by instruction where
// it is timed: the game's OAM DMA call in its vertical-blank handler (cycles and the line it
// returns on); every call of the game's copy routines during start-up (cycles per byte by kind
// of destination); start-up to the game's main loop; the attribute refresh (entries a frame,
// and the game frame from which the sun, written without the copy loop, has its palette).
// Usage: hookcost [ROM name...]   (default: every test ROM)
#include <algorithm>
#include <cstdio>
#include <map>

#include "ColourRun.h"
#include "engine/RuntimeLayout.h"

using namespace dapplix;
using namespace dapplix::e2e;

namespace {

using CopyCosts = std::map<std::string, std::pair<double, long>>;  // destination: cycles, bytes

// From power-on to the main loop, timing each call of CopyMem and CopyRow from its first byte
// to the return address it left on the stack; bytes are the count the call was given (the
// colour runtime may copy a loop's rest itself, so the loop's own copy is not visited for
// each).
// Returns the start-up's cycles.
double TimeStartUp(Emulator& emulator, const TestRom& rom, CopyCosts& copies) {
    const std::uint16_t copyMem = rom.At("CopyMem"), copyRow = rom.At("CopyRow");
    while (emulator.Pc() != rom.At("MainLoop")) {
        if (emulator.Pc() != copyMem && emulator.Pc() != copyRow) {
            emulator.Step();
            continue;
        }
        const bool rowLoop = emulator.Pc() == copyRow;
        const std::uint16_t returnTo = emulator.Read16(emulator.Sp()), count = emulator.Bc();
        const std::uint16_t returnSp = emulator.Sp() + 2, destination = emulator.De();
        auto& [cycles, bytes] = copies[destination >= 0xA000 ? "WRAM" : destination < 0x9800 ? "tile data"
                                       : rowLoop ? "tile map, row loop" : "tile map"];
        bytes += rowLoop ? ((count >> 8) ? count >> 8 : 256) : (count ? count : 65536);  // CopyRow: B, CopyMem: BC
        const double start = emulator.Cycles();
        for (; emulator.Pc() != returnTo || emulator.Sp() != returnSp; emulator.Step()) {}
        cycles += emulator.Cycles() - start;
    }
    return emulator.Cycles();
}

struct DmaCall {
    double cycles = 0;
    int line = 0;            // the line it returns on
    double vblankLeft = 0;   // cycles of vertical blank left after it
};

// Steps to the next DMA call in the vertical-blank handler and times it. Vertical blank starts
// when the interrupt reaches its vector at 0x40 (the game waits in HALT, so within a few cycles)
// and lasts 1140 cycles.
DmaCall TimeDmaCall(Emulator& emulator, std::uint16_t callSite) {
    while (emulator.Pc() != 0x40) emulator.Step();
    const double vblankStart = emulator.Cycles();
    while (emulator.Pc() != callSite) emulator.Step();
    const double start = emulator.Cycles();
    while (emulator.Pc() != callSite + 3) emulator.Step();
    return {emulator.Cycles() - start, emulator.Read(0xFF44), 1140 - (emulator.Cycles() - vblankStart)};
}

// Refresh entries a frame (from the position the runtime keeps in WRAM bank 2) and
// the game frame from which all four sun entries carry their palette.
std::pair<double, int> MeasureRefresh(const ColourRun& run) {
    Emulator& colour = *run.colour;
    const int sun = 0x9800 + run.rom.At("SUN_Y") * 32 + run.rom.At("SUN_X"), sunTile = run.rom.At("T_SUN_TL");
    int sunFrame = -1, measured = 0, advanced = 0;
    RunToGameFrame(colour, run.rom, 1);
    for (int frame = 1; frame <= 600; ++frame) {
        bool coloured = true;
        for (int k = 0; k < 4; ++k) {  // TL, TR, BL, BR: tiles sunTile..sunTile+3
            const auto entry = static_cast<std::uint16_t>(sun + (k & 1) + (k >> 1) * 32);
            coloured = coloured && colour.Read(entry, 1) == ExpectedPalette(run.dictionary, colour, static_cast<std::uint16_t>(0x8000 + (sunTile + k) * 16));
        }
        if (sunFrame < 0 && coloured) sunFrame = colour.Read16(run.rom.At("wFrame"));
        const int before = colour.Read(runtime::kRefreshPos, 2) | (colour.Read(runtime::kRefreshPos + 1, 2) << 8);
        colour.RunFrame();
        const int after = colour.Read(runtime::kRefreshPos, 2) | (colour.Read(runtime::kRefreshPos + 1, 2) << 8);
        if (after > before) {  // a wrap from 0xA000 to 0x9800 is left out
            advanced += after - before;
            ++measured;
        }
    }
    return {measured ? double(advanced) / measured : 0.0, sunFrame};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> names = argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : kTestRomNames;
    std::string copyRows, startRows;
    std::printf("| ROM | sprites shown | DMA call, monochrome | DMA call, coloured | DMA hook's own work: least / median | returns on line (mono / colour) | vertical blank left (mono / colour) |\n|---|---|---|---|---|---|---|\n");
    for (const auto& name : names) {
        // The start-up timer interrupt (there for the end-to-end test of interrupt masking)
        // is switched off so that it does not count: the operands of the LD A,n written to
        // TAC and to IE (a game that enables the timer has its map entries stored with the
        // LCD off take the masked way, which costs about 16 cycles more).
        TestRom rom = LoadTestRom(name);
        rom.image.at(rom.At("TimerOn") + 1) = 0x00;
        rom.image.at(rom.At("TimerOn") + 5) = 0x00;
        const auto run = StartColourAndMono(std::move(rom));
        CopyCosts plain, hooked;
        const double monoStart = TimeStartUp(*run->mono, run->rom, plain), colourStart = TimeStartUp(*run->colour, run->rom, hooked);
        const auto [perFrame, sunFrame] = MeasureRefresh(*run);
        // The median of 16 calls in a row: the work differs from frame to frame (a refresh
        // chunk, a piece of the slot count, a light frame after a late one), so one frame
        // says little. Mono and colour are ranked on their own.
        std::vector<DmaCall> monoCalls, colourCalls;
        for (int i = 0; i < 16; ++i) {
            monoCalls.push_back(TimeDmaCall(*run->mono, run->rom.At("DmaCallSite")));
            colourCalls.push_back(TimeDmaCall(*run->colour, run->rom.At("DmaCallSite")));
        }
        const auto median = [](std::vector<DmaCall> calls) {
            std::sort(calls.begin(), calls.end(), [](const DmaCall& a, const DmaCall& b) { return a.cycles < b.cycles; });
            return calls[calls.size() / 2];
        };
        const DmaCall mono = median(monoCalls), colour = median(colourCalls);
        const double fewest = std::min_element(colourCalls.begin(), colourCalls.end(), [](const DmaCall& a, const DmaCall& b) {
                                  return a.cycles < b.cycles;
                              })->cycles;
        std::printf("| %s | %d | %.0f | %.0f | %.0f / %.0f | %d / %d | %.0f / %.0f |\n", name.c_str(), run->rom.At("ALL_SPRITES") ? 40 : 1,
                    mono.cycles, colour.cycles, fewest - mono.cycles, colour.cycles - mono.cycles, mono.line, colour.line,
                    mono.vblankLeft, colour.vblankLeft);
        char row[200];
        for (const auto& [kind, cost] : plain) {
            const double plainRate = cost.first / cost.second, hookedRate = hooked[kind].first / hooked[kind].second;
            std::snprintf(row, sizeof row, "| %s | %s | %ld | %.1f | %.1f | %.1f |\n", name.c_str(), kind.c_str(), cost.second,
                          plainRate, hookedRate, hookedRate / plainRate);
            copyRows += row;
        }
        std::snprintf(row, sizeof row, "| %s | %.0f cycles (%.1f frames) | %.0f cycles (%.1f frames) | %.1f | %d |\n", name.c_str(),
                      monoStart, monoStart / kMachineCyclesPerFrame, colourStart, colourStart / kMachineCyclesPerFrame, perFrame, sunFrame);
        startRows += row;
    }
    std::printf("\n| ROM | destination | bytes | plain loop, cycles/byte | through the hook, cycles/byte | ratio |\n|---|---|---|---|---|---|\n%s",
                copyRows.c_str());
    std::printf("\n| ROM | power-on to main loop, monochrome | coloured | refresh entries a frame | game frame when the sun has its palette |\n|---|---|---|---|---|\n%s",
                startRows.c_str());
}
