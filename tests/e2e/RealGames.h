// Real monochrome games, coloured through the engine and run beside their originals on the mGBA
// core: what the player would see differ, and what the colour code costs. The `realgames` tool
// prints the results as a table; the real-games test asserts the safety figures.
//
// A run steps the core one instruction at a time and keeps, at the start of every vertical
// blank, VRAM, OAM, the scroll registers and the picture just drawn; on the way it counts RST 38
// (opcode 0xFF executed), VRAM writes the PPU refused, and times the colour ROM's hooks. The
// comparison then matches every colour frame with the monochrome frames of a lag window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"

namespace dapplix::e2e {

constexpr int kDefaultFrames = 900;
constexpr int kStartUpFrames = 60;   // the comparisons start here: the colour set-up runs first
constexpr int kLagBehind = 30;       // a colour frame is compared with mono frames f-30 .. f+2
constexpr int kLagAhead = 2;
constexpr int kScreenPixels = 160 * 144;

// --- The key presses both runs get, by frame number -----------------------------------------

struct KeyPress {
    int from, to;         // held while the frame number is in [from, to)
    std::uint32_t keys;   // joypad bits as the core takes them
    const char* name;
};
// A fixed script that gets typical games past their title screens and moving: Start and A in
// turn with gaps (menus react to a press, not to a held key), then Down, Right held while A
// jumps, Left held, and more Start and A.
const std::vector<KeyPress>& KeyScript();
std::uint32_t KeysAt(int frame);

// --- Colouring a game as dapplix-cli colorize does ------------------------------------------

enum class GameProject { None, EveryTile };
const char* ProjectName(GameProject project);  // "none", "every tile"

struct ColouredGame {
    std::string name;                   // the file name
    bool placed = false;                // the colour code found a place in bank 0
    std::string reason;                 // why the game cannot be coloured
    std::vector<std::string> findings;  // what the scan found, for the notes
    std::vector<std::uint8_t> mono, colour;
    std::uint16_t dmaHook = 0, copyHook = 0;  // where the hooks start in bank 0; 0 = not placed
    int dictionaryEntries = 0, dictionaryLeftOut = 0;
};

// The side files from sideFileDir, the default palettes, the ROM opened for colouring (no
// overwriting of ROM code), then the project: none, or every tile of banks 0..BankCount given
// palette 1 + (bank + tile) % 7; then the colour ROM. Throws when the side files are refused.
ColouredGame ColourGame(const std::string& path, GameProject project, const std::string& sideFileDir);

// --- One run on the core --------------------------------------------------------------------

// What the screen and VRAM held at the start of one vertical blank (the frame just drawn).
struct FrameRecord {
    std::array<std::uint8_t, 0x2000> vram{};        // VRAM bank 0, 0x8000-0x9FFF
    std::array<std::uint8_t, 0x800> attributes{};   // VRAM bank 1, 0x9800-0x9FFF (colour model)
    std::array<std::uint8_t, 160> oam{};
    std::uint8_t lcdc = 0, scy = 0, scx = 0, wy = 0, wx = 0;
    std::vector<std::uint8_t> grey;                 // 160 x 144 grey levels 0-255
    std::uint64_t pictureHash = 0;
    std::uint32_t keys = 0;
    int droppedVramWrites = 0, rst38 = 0;
};

// The hash a picture is known by: equal grey levels, equal hash.
std::uint64_t PictureHash(const std::vector<std::uint8_t>& grey);

struct DmaHookCall {
    int frame = 0;
    double cycles = 0;           // machine cycles in the hook, the game's routine left out
    int entryLine = 0, exitLine = 0;
    bool lcdOn = false;          // at entry and exit
    double vblankLeft = 0;       // to the end of line 153 of the vertical blank it entered in
    bool vblankKnown = false;    // entered in a vertical blank whose start the run saw
};

struct CopyHookCall {
    int frame = 0;
    double cycles = 0;
};

// Where a lost VRAM write came from, for the notes.
struct DroppedWrite {
    int frame = 0, line = 0;
    std::uint16_t address = 0, pc = 0;  // pc: the instruction after the store
    const char* where = "";             // "game", "DMA hook", "copy hook"
};

struct RunRecord {
    std::vector<FrameRecord> frames;
    long rst38 = 0;
    long droppedVramWrites = 0;
    long droppedByColourCode = 0;  // of those, stores made while a hook was running
    std::vector<DroppedWrite> firstDrops;  // the first few
    int firstRst38Frame = -1, firstDropFrame = -1;
    std::vector<DmaHookCall> dmaHookCalls;
    std::vector<CopyHookCall> copyHookCalls;
    std::string stopped;           // why the run ended early; empty when it ran all frames
};

class Emulator;

struct RunOptions {
    int frames = kDefaultFrames;
    bool monochromeModel = false;     // force the DMG (else the core goes by byte 0x143)
    std::uint16_t dmaHook = 0, copyHook = 0;  // bank-0 addresses to time; 0 = none
    // Called at the start of every vertical blank once its frame is recorded, with the core
    // as it is then: for what the record does not keep (WRAM, registers).
    std::function<void(const Emulator& emulator, int frame)> atFrame;
};

RunRecord RecordRun(const std::vector<std::uint8_t>& rom, const RunOptions& options);

// --- Comparing the two runs -----------------------------------------------------------------

struct Agreement {
    double picture = 0;  // share of pixels that agree under the best grey-level mapping
    double shades = 0;   // share of pixels with the same shade (grey level / 64)
};
// Both mappings (colour levels to mono levels and back) are tried; the smaller count wins, so
// that neither side can merge levels the other keeps apart.
Agreement CompareFrames(const std::vector<std::uint8_t>& colour, const std::vector<std::uint8_t>& mono);

struct FrameComparison {
    int foreign = 0;        // VRAM bytes whose value mono never had there within the window
    int match = -1;         // the best-matching mono frame
    Agreement agreement;
    bool lagKnown = false;  // the match gives a trustworthy lag (see ComparePictures)
};

struct PictureComparison {
    std::vector<FrameComparison> frames;
    int foreignMax = 0, foreignFrames = 0, firstForeignFrame = -1;
    double pictureMin = 1, shadeMin = 1, shadeMean = 1;
    int pictureBelow = 0, shadeBelow = 0;  // frames under 0.99 and 0.98
    int firstPictureBelow = -1;
    int startLag = 0, startLagFrame = -1;  // the first trustworthy lag and its frame
    int maxLagLater = 0, lagSamples = 0;   // after start-up
};

// Every colour frame against the mono frames f-lagBehind .. f+2 (f-30 unless asked otherwise: a
// wider window tells a colour run that fell far behind from one that went wrong). The best match has the highest
// picture agreement, then the highest shade agreement, then the smallest lag. Its lag f - g is
// trusted only where a picture begins: the colour picture differs from the previous colour
// frame, the agreement is at least 0.99, every best candidate shows one and the same mono
// picture, and exactly one of them is a frame where mono changed to it. Foreign bytes, the
// agreements and the later lags count from kStartUpFrames.
PictureComparison ComparePictures(const RunRecord& mono, const RunRecord& colour, int lagBehind = kLagBehind);

// Tiles that exist byte for byte at the tile grid (offset 16 t) of some bank of a ROM.
class RomTiles {
public:
    explicit RomTiles(const std::vector<std::uint8_t>& rom);
    bool Contains(const std::uint8_t* bytes) const;

private:
    std::vector<std::array<std::uint64_t, 2>> sorted_;
};

struct Reach {
    long shownCells = 0;                // visible background cells and sprites with a tile that is not blank
    long cells = 0, colouredCells = 0;  // of those, the ones whose tile is at the ROM's tile grid
    int appearances = 0;                // a tile showing at a map entry or in a sprite slot
    std::vector<int> delays;            // frames from appearing to a palette, for those coloured
    int settled = 0, colouredWithin60 = 0;  // appearances seen for 60 frames (or coloured), and those coloured by then
    long attributeOddBits = 0;          // visible attributes with bits 3-7 set (bank, flips, priority)
    std::vector<std::array<int, 2>> perFrame;  // cells, coloured cells
};
// Visible background cells (20 x 18, at each cell's centre, window included) and visible
// sprites whose tile is not blank and is in the ROM: how many show a palette other than 0
// (attribute bits 0-2, OAM byte 3 bits 0-2), and how long a newly shown tile waits for it.
Reach MeasureReach(const RunRecord& colour, const RomTiles& tiles);

// --- One game, one project ------------------------------------------------------------------

struct GameOptions {
    int frames = kDefaultFrames;
    int lagBehind = kLagBehind;
    std::string sideFileDir;
};

struct HookCosts {
    std::vector<double> dmaPerFrame;  // after start-up, frames with a completed call
    std::vector<double> copyPerCall;
    std::vector<double> vblankLeft;   // calls entered in a seen vertical blank with the LCD on
    int entryLineMin = -1, entryLineMax = -1, exitLineMin = -1, exitLineMax = -1;
};
HookCosts SummariseHooks(const RunRecord& colour);

struct GameResult {
    ColouredGame game;
    GameProject project = GameProject::None;
    GameOptions options;
    std::shared_ptr<const RunRecord> mono;  // the same for every project of a game
    RunRecord colour;
    PictureComparison pictures;
    HookCosts hooks;
    bool reachMeasured = false;
    Reach reach;
};

// The monochrome run of a game: the DMG model, the key script, no hooks.
std::shared_ptr<const RunRecord> RecordMonoRun(const std::vector<std::uint8_t>& rom, int frames);

// Colours and runs one game and compares it with its monochrome run (recorded here unless
// given). A game that cannot be coloured comes back with game.placed false and no runs.
GameResult RunGame(const std::string& path, GameProject project, const GameOptions& options,
                   std::shared_ptr<const RunRecord> mono = nullptr);

std::string TableHeader();
std::string TableRow(const GameResult& result);
std::string TableLegend(const GameOptions& options);
std::string Notes(const GameResult& result);  // lines for what the table leaves out
// One line a frame: the comparison, the counters and the hooks, tab-separated with a header.
void WriteFrameTsv(const GameResult& result, const std::string& path);
// Colour frame f and the mono frame it was matched with, as grey images (PGM), for a look.
void WritePictures(const GameResult& result, int frame, const std::string& pathStem);

}  // namespace dapplix::e2e
