// Measures what the colour runtime costs a game, on the mGBA core, for docs/performance.md.
// Every test ROM runs twice, monochrome and coloured (test project), instruction by instruction
// where it is timed:
//   - the game's OAM DMA call in its vertical-blank handler: machine cycles, monochrome and
//     coloured (the difference is the DMA hook's own work), and the line it returns on;
//   - every call of the game's copy routines during start-up: machine cycles per byte by kind
//     of destination, plain loop and through the copy hook;
//   - start-up: machine cycles from power-on to the game's main loop;
//   - the attribute refresh: entries per frame, and frames until the map entries the game
//     writes without the copy loop (the sun) show their palette.
// Usage: hookcost [ROM name...]   (default: every test ROM)
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ColourRun.h"
#include "engine/Writer.h"

using namespace dapplix;
using namespace dapplix::e2e;

namespace {

struct Timed {
    double cycles = 0;
    long bytes = 0;
    int calls = 0;
};

std::string DestinationKind(std::uint16_t destination, bool rowLoop) {
    if (destination >= 0xA000) return "WRAM";
    if (destination >= 0x9800) return rowLoop ? "tile map, row loop" : "tile map";
    return "tile data";
}

// From power-on to the game's main loop, timing each call of CopyMem and CopyRow: entry at the
// routine's first byte after a CALL, exit back at the return address it left on the stack.
// Bytes are counted as visits of the loop's first copy instruction.
struct StartUp {
    double cycles = 0;
    std::map<std::string, Timed> copies;
};

StartUp TimeStartUp(Emulator& emulator, const Symbols& symbols) {
    StartUp result;
    const auto copyMem = static_cast<std::uint16_t>(symbols["CopyMem"]);
    const auto copyRow = static_cast<std::uint16_t>(symbols["CopyRow"]);
    const auto mainLoop = static_cast<std::uint16_t>(symbols["MainLoop"]);
    const std::uint64_t powerOn = emulator.Time();
    while (emulator.Pc() != mainLoop) {
        const std::uint16_t routine = emulator.Pc();
        if (routine != copyMem && routine != copyRow) {
            emulator.Step();
            continue;
        }
        const bool rowLoop = routine == copyRow;
        const std::uint16_t loopCopy = rowLoop ? static_cast<std::uint16_t>(copyRow + 1) : copyMem;
        const std::uint16_t returnTo = emulator.Read16(emulator.Sp());
        const std::uint16_t returnSp = static_cast<std::uint16_t>(emulator.Sp() + 2);
        const std::uint16_t destination = emulator.De();
        const std::uint64_t start = emulator.Time();
        long bytes = 0;
        while (!(emulator.Pc() == returnTo && emulator.Sp() == returnSp)) {
            if (emulator.Pc() == loopCopy) ++bytes;
            emulator.Step();
        }
        Timed& t = result.copies[DestinationKind(destination, rowLoop)];
        t.cycles += emulator.MachineCycles(emulator.Time() - start);
        t.bytes += bytes;
        ++t.calls;
    }
    result.cycles = emulator.MachineCycles(emulator.Time() - powerOn);
    return result;
}

struct DmaCall {
    double cycles = 0;
    int lineAtReturn = 0;
};

// Steps to the next DMA call in the vertical-blank handler and times it.
DmaCall TimeDmaCall(Emulator& emulator, std::uint16_t callSite) {
    while (emulator.Pc() != callSite) emulator.Step();
    const std::uint64_t start = emulator.Time();
    const auto after = static_cast<std::uint16_t>(callSite + 3);
    while (emulator.Pc() != after) emulator.Step();
    return {emulator.MachineCycles(emulator.Time() - start), emulator.Read(0xFF44)};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) names.emplace_back(argv[i]);
    if (names.empty()) names = {"demo", "mbc1_256k", "mbc1_full_bank0", "mbc3_128k"};

    std::printf("| ROM | sprites shown | DMA call, monochrome | DMA call, coloured | DMA hook's own work | returns on line (mono / colour) |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::map<std::string, std::pair<StartUp, StartUp>> startUps;
    std::map<std::string, std::pair<double, int>> refresh;
    for (const auto& name : names) {
        const GameLayout layout = LoadGameLayout(name);
        const Symbols symbols = Symbols::Load(RomsDir() + "/" + name + ".noi");
        // The test game runs a fast timer interrupt through its start-up copies (the end-to-end
        // test checks its handler); it is switched off here so that it does not count.
        auto monoRom = ReadBinaryFile(RomsDir() + "/" + name + ".gb");
        monoRom.at(symbols["TimerOn"] + 1) = 0x00;  // operand of LD A,n written to TAC
        auto model = PrepareModel(monoRom, SideFileDir());
        ApplyTestProject(*model, layout);
        const auto colourRom = BuildColorRom(*model);
        Emulator mono(monoRom), colour(colourRom);

        startUps[name] = {TimeStartUp(mono, symbols), TimeStartUp(colour, symbols)};

        // The refresh: sun attributes right, counted in game frames; entries per frame from
        // the position it keeps in WRAM bank 2.
        const int sunEntry = 0x9800 + static_cast<int>(symbols["SUN_Y"]) * 32 + static_cast<int>(symbols["SUN_X"]);
        const int sunTile = static_cast<int>(symbols["T_SUN_TL"]);
        auto sunColoured = [&]() {
            const int offsets[] = {0, 1, 32, 33};  // TL, TR, BL, BR: tiles sunTile..sunTile+3
            for (int k = 0; k < 4; ++k) {
                const auto entry = static_cast<std::uint16_t>(sunEntry + offsets[k]);
                if (colour.Read(entry, 1) != ExpectedPalette(*model, layout, sunTile + k)) return false;
            }
            return true;
        };
        int sunFrame = -1;
        long advanced = 0;
        int measured = 0;
        RunToGameFrame(colour, layout, 1, {});
        for (int frame = 1; frame <= 600; ++frame) {
            if (sunFrame < 0 && sunColoured()) sunFrame = colour.Read16(layout.frameCounter);
            const int before = colour.Read(0xD000, 2) | (colour.Read(0xD001, 2) << 8);
            colour.RunFrame();
            const int after = colour.Read(0xD000, 2) | (colour.Read(0xD001, 2) << 8);
            if (after > before) {  // the walk wraps from 0xA000 to 0x9800; skip that frame
                advanced += after - before;
                ++measured;
            }
        }
        refresh[name] = {measured ? static_cast<double>(advanced) / measured : 0.0, sunFrame};

        RunToGameFrame(mono, layout, 420, {});
        RunToGameFrame(colour, layout, 420, {});
        const auto callSite = static_cast<std::uint16_t>(symbols["DmaCallSite"]);
        DmaCall monoCall, colourCall;
        for (int i = 0; i < 3; ++i) {
            monoCall = TimeDmaCall(mono, callSite);
            colourCall = TimeDmaCall(colour, callSite);
        }
        std::printf("| %s | %d | %.0f | %.0f | %.0f | %d / %d |\n", name.c_str(), layout.allSprites ? 40 : 1,
                    monoCall.cycles, colourCall.cycles, colourCall.cycles - monoCall.cycles, monoCall.lineAtReturn,
                    colourCall.lineAtReturn);
    }

    std::printf("\n| ROM | destination | calls | bytes | plain loop, cycles/byte | through the hook, cycles/byte | ratio |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const auto& [name, runs] : startUps) {
        for (const auto& [kind, plain] : runs.first.copies) {
            const Timed& hooked = runs.second.copies.at(kind);
            std::printf("| %s | %s | %d | %ld | %.1f | %.1f | %.1f |\n", name.c_str(), kind.c_str(), plain.calls,
                        plain.bytes, plain.cycles / plain.bytes, hooked.cycles / hooked.bytes,
                        (hooked.cycles / hooked.bytes) / (plain.cycles / plain.bytes));
        }
    }

    std::printf("\n| ROM | power-on to main loop, monochrome | coloured | refresh entries a frame | game frame when the sun has its palette |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const auto& [name, runs] : startUps) {
        std::printf("| %s | %.0f cycles (%.1f frames) | %.0f cycles (%.1f frames) | %.1f | %d |\n", name.c_str(),
                    runs.first.cycles, runs.first.cycles / kMachineCyclesPerFrame, runs.second.cycles,
                    runs.second.cycles / kMachineCyclesPerFrame, refresh[name].first, refresh[name].second);
    }
}
