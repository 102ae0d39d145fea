// The comparison of a real game's colour run with its monochrome run that the `realgames` tool
// prints for docs/performance.md: picture and shade agreement, lag, how much of what shows is
// coloured and how soon, and what the hooks cost. The runs themselves, and the foreign-byte
// count the tests assert on, are in tests/e2e/RealGames.h.
#pragma once

#include "RealGames.h"

namespace dapplix::e2e {

// The projects a game is coloured with: none, or every tile of banks 0..BankCount given
// palette 1 + (bank + tile) % 7.
enum class GameProject { None, EveryTile };
const char* ProjectName(GameProject project);  // "none", "every tile"

// --- A run as the report takes it -----------------------------------------------------------

constexpr int kScreenPixels = 160 * 144;

// What the screen showed at the start of a vertical blank: grey levels 0-255, 160 x 144, and
// the hash the picture is known by (equal grey levels, equal hash).
struct Picture {
    std::vector<std::uint8_t> grey;
    std::uint64_t hash = 0;
};
std::uint64_t PictureHash(const std::vector<std::uint8_t>& grey);

// The record of a run and its pictures, frame by frame.
struct MeasuredRun {
    RunRecord record;
    std::vector<Picture> pictures;
};
// Runs the ROM as RecordRun does, taking the pictures on the way.
MeasuredRun MeasureRun(const std::vector<std::uint8_t>& rom, RunOptions options);

// --- What the colour ROM's hooks cost --------------------------------------------------------

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

struct HookCalls {
    std::vector<DmaHookCall> dma;
    std::vector<CopyHookCall> copy;
    long droppedVramWrites = 0;  // VRAM stores the PPU refused while a hook was running
};

// Times the calls of the hooks at two bank-0 addresses (0: none) on a stack of open calls,
// which also holds interrupts so that a handler's cycles are never billed to a hook it
// interrupted, and names the hook that made a lost VRAM write.
class HookTimer final : public RunObserver {
public:
    HookTimer(std::uint16_t dmaHook, std::uint16_t copyHook) : dmaHook_(dmaHook), copyHook_(copyHook) {}
    void Stepped(const Emulator& emulator, std::uint16_t pc, std::uint16_t sp, double cycles, bool interrupt) override;
    void VerticalBlank(const Emulator& emulator, int frame) override;
    const char* Dropped() override;
    HookCalls calls;

private:
    enum class Kind { DmaHook, CopyHook, Interrupt };
    struct OpenCall {
        Kind kind;
        std::uint16_t returnPc, returnSp;
        int frame;
        double cycles = 0;
        int entryLine = 0;
        bool lcdOn = false;
        double vblankStart = 0;
        bool vblankKnown = false;
    };
    void Open(const Emulator& emulator, Kind kind, std::uint16_t returnPc, int returnSp);
    void CloseReturned(const Emulator& emulator);
    void Finish(const Emulator& emulator, const OpenCall& call);

    std::uint16_t dmaHook_, copyHook_;
    int frame_ = 0;  // the frame being run
    double vblankStart_ = 0;
    bool vblankSeen_ = false;  // the run starts inside a vertical blank whose start it never saw
    std::vector<OpenCall> open_;
};

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
    // Frames after start-up where mono's BGP or OBP0 differs from the frame before, and of
    // those the ones the colour run answers by rewriting palette RAM within the window.
    int shadeChanges = 0, shadeChangesFollowed = 0;
};

// Every colour frame against the mono frames f-lagBehind .. f+2 (f-30 unless asked otherwise: a
// wider window tells a colour run that fell far behind from one that went wrong). The best match has the highest
// picture agreement, then the highest shade agreement, then the smallest lag. Its lag f - g is
// trusted only where a picture begins: the colour picture differs from the previous colour
// frame, the agreement is at least 0.99, every best candidate shows one and the same mono
// picture, and exactly one of them is a frame where mono changed to it. Foreign bytes, the
// agreements and the later lags count from kStartUpFrames.
PictureComparison ComparePictures(const MeasuredRun& mono, const MeasuredRun& colour, int lagBehind = kLagBehind);

using TileGrids = std::array<int, kMaxBanks>;  // each bank's tile offset, 0..15

// Where a user would line up each bank's tile grid: the offset at which the most of the distinct
// tiles the monochrome run showed in VRAM lie (0 on a tie, as a new project has it).
TileGrids GraphicsGrids(const std::vector<std::uint8_t>& rom, const RunRecord& mono);

// Tiles that exist byte for byte at the tile grid (offset 16 t + the bank's grid) of some bank of a ROM.
class RomTiles {
public:
    RomTiles(const std::vector<std::uint8_t>& rom, const TileGrids& grids);
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
HookCosts SummariseHooks(const HookCalls& calls);

struct GameResult {
    ColouredGame game;
    GameProject project = GameProject::None;
    GameOptions options;
    std::shared_ptr<const MeasuredRun> mono;  // the same for every project of a game
    MeasuredRun colour;
    HookCalls hookCalls;
    PictureComparison pictures;
    HookCosts hooks;
    bool reachMeasured = false;
    Reach reach;
    TileGrids grids{};  // the project's tile offsets
};

// The monochrome run of a game: the DMG model, the key script, no hooks.
std::shared_ptr<const MeasuredRun> RecordMonoRun(const std::vector<std::uint8_t>& rom, int frames);

// Colours and runs one game and compares it with its monochrome run (recorded here unless
// given). A game that cannot be coloured comes back with game.placed false and no runs.
GameResult RunGame(const std::string& path, GameProject project, const GameOptions& options,
                   std::shared_ptr<const MeasuredRun> mono = nullptr);

std::string TableHeader();
std::string TableRow(const GameResult& result);
std::string TableLegend(const GameOptions& options);
std::string Notes(const GameResult& result);  // lines for what the table leaves out
// One line a frame: the comparison, the counters and the hooks, tab-separated with a header.
void WriteFrameTsv(const GameResult& result, const std::string& path);
// Colour frame f and the mono frame it was matched with, as grey images (PGM), for a look.
void WritePictures(const GameResult& result, int frame, const std::string& pathStem);

}  // namespace dapplix::e2e
