// Real monochrome games, coloured through the engine and run beside their originals on the mGBA
// core one instruction at a time; the real-games and idiom tests assert on these runs, and the
// `realgames` tool in bench/realgames compares them further for docs/performance.md. A run
// keeps VRAM, OAM and the scroll registers at the start of every vertical blank and counts
// RST 38 (opcode 0xFF executed) and the VRAM writes the PPU refused.
#pragma once

#include "ColourRun.h"

namespace dapplix::e2e {

constexpr int kDefaultFrames = 900;
constexpr int kStartUpFrames = 60;              // the comparisons start here: the colour set-up runs first
constexpr int kLagBehind = 30, kLagAhead = 2;  // a colour frame is set against mono frames f-30 .. f+2

// Gets typical games past their title screens and moving: Start and A in turn with gaps
// (menus react to a press, not a held key), then Down, Right held while A jumps, Left held.
const std::vector<KeyPress>& KeyScript();
std::uint32_t KeysAt(int frame);

struct ColouredGame {
    std::string name;                   // the file name
    bool placed = false;                // the colour code found a place in bank 0
    std::string reason;                 // why the game cannot be coloured
    std::vector<std::uint8_t> mono, colour;
    std::uint16_t dmaHook = 0, copyHook = 0;  // where the hooks start in bank 0; 0 = not placed
    int dictionaryEntries = 0, dictionaryLeftOut = 0;
};

// Colours a game as dapplix-cli colorize does (never over ROM code), with the project if one
// is given. Throws when the side files are refused.
ColouredGame ColourGame(const std::string& path, const std::string& sideFileDir,
                        const std::function<void(Model&)>& project = {});

// The start of one vertical blank (the frame just drawn).
struct FrameRecord {
    std::array<std::uint8_t, 0x2000> vram{};        // VRAM bank 0, 0x8000-0x9FFF
    std::array<std::uint8_t, 0x800> attributes{};   // VRAM bank 1, 0x9800-0x9FFF (colour model)
    std::array<std::uint8_t, 160> oam{};
    std::uint8_t lcdc = 0, scy = 0, scx = 0, wy = 0, wx = 0;
    std::uint8_t bgp = 0, obp0 = 0;
    std::uint32_t palettes = 0;  // a hash of palette RAM (colour model; 0 otherwise)
    int droppedVramWrites = 0, rst38 = 0;
    // (monochrome runs) the VRAM stores of the frame, address less 0x8000 and value: a value
    // stored and overwritten again within a frame was still at its address for a while
    std::vector<std::pair<std::uint16_t, std::uint8_t>> vramStores;
};

struct DroppedWrite {
    int frame = 0, line = 0;
    std::uint16_t address = 0, pc = 0;  // pc: the instruction after the store
    const char* where = "";             // "game", or what a RunObserver names
};

struct RunRecord {
    std::vector<FrameRecord> frames;
    long rst38 = 0, droppedVramWrites = 0;
    std::vector<DroppedWrite> firstDrops;  // the first few
    int firstRst38Frame = -1, firstDropFrame = -1;
    std::string stopped;  // why the run ended early; empty when it ran all frames
};

// Follows a run step by step, for tools that measure more than the record keeps.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // After each step that began at pc with the stack at sp and took cycles machine cycles;
    // interrupt: the step entered an interrupt handler rather than executing an instruction.
    virtual void Stepped(const Emulator& emulator, std::uint16_t pc, std::uint16_t sp, double cycles, bool interrupt) = 0;
    virtual void VerticalBlank(const Emulator& emulator, int frame) = 0;  // frame: the one just drawn
    virtual const char* Dropped() = 0;  // a VRAM store the PPU refused: who made it
};

struct RunOptions {
    int frames = kDefaultFrames;
    bool monochromeModel = false;     // force the DMG (else the core goes by byte 0x143)
    RunObserver* observer = nullptr;
    // At the start of every vertical blank, once its frame is recorded: for WRAM and registers.
    std::function<void(const Emulator& emulator, int frame)> atFrame{};
};

RunRecord RecordRun(const std::vector<std::uint8_t>& rom, const RunOptions& options);

// A ROM whose events are known to the instruction: `rounds` times it waits for mode 3 and
// stores to VRAM (lost), executes RST 38 (whose routine calls a RET in high RAM), then CALL
// 0x0038 (not an RST); a bare RETI takes the vertical-blank interrupts throughout.
std::vector<std::uint8_t> CountingRom(int rounds);

// Bytes of VRAM bank 0 in the colour frame whose value the mono run never had at that address
// in its frames lo..hi: not at a frame's end, nor stored there within one.
int CountForeign(const RunRecord& mono, const FrameRecord& colour, int lo, int hi);

struct ForeignBytes {
    int max = 0, frames = 0, first = -1;  // the most in one frame, the frames with any, the first
};
// Every colour frame f from kStartUpFrames against the mono frames f-lagBehind .. f+2.
ForeignBytes CountForeignBytes(const RunRecord& mono, const RunRecord& colour, int lagBehind = kLagBehind);

}  // namespace dapplix::e2e
