// Checks of the realgames report's own measures: the hooks' cost on a ROM whose events are known
// to the instruction, and on made-up frames picture agreement, lag, wrong pictures and reach.
// They guard the figures of docs/performance.md, not the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "RealGamesReport.h"

using namespace dapplix::e2e;

namespace {

constexpr int kRounds = 5;

// The routine at 0x0038 of the counting ROM taken as either hook: entered ten times (five RST, five CALL); a call
// costs CALL 0xFF80 (6 cycles), the RET in high RAM (4) and its own RET (4). The DMA hook's
// time leaves the high-RAM routine out.
TEST(RealGamesReport, TimesHookCallsWithoutTheGamesRoutineOrInterrupts) {
    const struct Case {
        bool asDmaHook;
        double cycles;
    } cases[] = {{true, 10}, {false, 14}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asDmaHook ? "DMA hook" : "copy hook");
        HookTimer timer(c.asDmaHook ? 0x0038 : 0, c.asDmaHook ? 0 : 0x0038);
        RunOptions options;
        options.frames = 4;
        options.monochromeModel = true;
        options.observer = &timer;
        const RunRecord run = RecordRun(CountingRom(kRounds), options);
        std::vector<double> cycles;
        for (const DmaHookCall& call : timer.calls.dma) cycles.push_back(call.cycles);
        for (const CopyHookCall& call : timer.calls.copy) cycles.push_back(call.cycles);
        EXPECT_EQ(cycles, std::vector<double>(2 * kRounds, c.cycles));
        EXPECT_EQ(c.asDmaHook ? timer.calls.copy.size() : timer.calls.dma.size(), 0u);
        EXPECT_EQ(run.droppedVramWrites, kRounds);  // made outside the routine: the game's
        EXPECT_EQ(timer.calls.droppedVramWrites, 0);
    }
}

// Four quadrants of grey levels a, b, c, d.
std::vector<std::uint8_t> Quadrants(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    std::vector<std::uint8_t> grey(kScreenPixels);
    for (int y = 0; y < 144; ++y) {
        for (int x = 0; x < 160; ++x) grey[y * 160 + x] = y < 72 ? (x < 80 ? a : b) : (x < 80 ? c : d);
    }
    return grey;
}

TEST(RealGamesReport, PictureAgreementTakesTheBestMappingBothWays) {
    const auto mono = Quadrants(255, 170, 85, 0);
    auto onePixel = mono;
    onePixel[500] = 0;
    const struct Case {
        const char* what;
        std::vector<std::uint8_t> colour, mono;
        double picture, shades;
    } cases[] = {
        {"the same picture", mono, mono, 1.0, 1.0},
        {"every level renamed", Quadrants(0, 85, 170, 255), mono, 1.0, 0.0},
        {"two levels merged", Quadrants(255, 120, 120, 0), mono, 0.75, 0.75},
        {"one level split", Quadrants(255, 170, 171, 0), Quadrants(255, 170, 170, 0), 0.75, 1.0},
        {"one pixel off", onePixel, mono, 1.0 - 1.0 / kScreenPixels, 1.0 - 1.0 / kScreenPixels},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Agreement a = CompareFrames(c.colour, c.mono);
        EXPECT_DOUBLE_EQ(a.picture, c.picture);
        EXPECT_DOUBLE_EQ(a.shades, c.shades);
    }
}

// A mono run whose picture (white, one black column that moves) and VRAM change every seventh
// frame, and a colour run that shows the same frames `lag` frames later.
struct MadeUpRuns {
    MeasuredRun mono, colour;
};

void AddMadeUpFrame(MeasuredRun& run, int step) {
    run.record.frames.emplace_back().vram[0x100] = static_cast<std::uint8_t>(step);
    Picture& picture = run.pictures.emplace_back();
    picture.grey.assign(kScreenPixels, 255);
    for (int y = 0; y < 144; ++y) picture.grey[y * 160 + step * 5 % 160] = 0;
    picture.hash = PictureHash(picture.grey);
}

MadeUpRuns DelayedRuns(int frames, int lag) {
    MadeUpRuns runs;
    for (int f = 0; f < frames; ++f) {
        AddMadeUpFrame(runs.mono, f / 7);
        AddMadeUpFrame(runs.colour, std::max(0, f - lag) / 7);
    }
    return runs;
}

TEST(RealGamesReport, FindsTheLagWherePicturesChange) {
    for (const int lag : {0, 3, 12}) {
        SCOPED_TRACE(lag);
        const MadeUpRuns runs = DelayedRuns(200, lag);
        const PictureComparison p = ComparePictures(runs.mono, runs.colour);
        EXPECT_EQ(p.startLagFrame, 7 + lag);
        EXPECT_EQ(p.startLag, lag);
        EXPECT_EQ(p.maxLagLater, lag);
        EXPECT_GT(p.lagSamples, 15);
        EXPECT_EQ(p.foreignFrames, 0);
        EXPECT_EQ(p.pictureMin, 1.0);
        EXPECT_EQ(p.shadeMean, 1.0);
    }
}

TEST(RealGamesReport, CountsWrongPictures) {
    MadeUpRuns runs = DelayedRuns(200, 2);
    runs.colour.pictures[150].grey = Quadrants(60, 255, 0, 60);  // a picture mono never showed
    runs.colour.pictures[150].hash = PictureHash(runs.colour.pictures[150].grey);
    const PictureComparison p = ComparePictures(runs.mono, runs.colour);
    EXPECT_EQ(p.pictureBelow, 1);
    EXPECT_EQ(p.firstPictureBelow, 150);
    EXPECT_LT(p.pictureMin, 0.99);
    EXPECT_EQ(p.frames[150].agreement.picture, p.pictureMin);
}

TEST(RealGamesReport, ReachTimesATileFromAppearingToItsPalette) {
    // A one-bank ROM whose only tile that is not blank starts 3 bytes past tile 5, and which
    // holds a run of 0xFF (a tile at every offset) that the game shows too: the grid that
    // lines up with the game's graphics is offset 3.
    std::vector<std::uint8_t> rom(0x4000, 0);
    const int at = 5 * 16 + 3;
    for (int i = 0; i < 16; ++i) rom[at + i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    std::fill(rom.begin() + 0x1000, rom.begin() + 0x1040, 0xFF);
    RunRecord mono;
    mono.frames.resize(1);
    std::copy(rom.begin() + at, rom.begin() + at + 16, mono.frames[0].vram.begin());
    std::fill_n(mono.frames[0].vram.begin() + 16, 16, 0xFF);
    const TileGrids grids = GraphicsGrids(rom, mono);
    EXPECT_EQ(grids[0], 3);
    const RomTiles tiles(rom, grids);
    RunRecord colour;
    for (int f = 0; f < 100; ++f) {
        FrameRecord frame;
        frame.lcdc = 0x91;  // LCD and background on, tiles at 0x8000
        if (f >= 20) std::copy(rom.begin() + at, rom.begin() + at + 16, frame.vram.begin() + 16);  // tile 1
        frame.vram[0x1800 + 32 * 3 + 4] = 1;  // row 3, column 4 shows tile 1
        frame.attributes[32 * 3 + 4] = f >= 32 ? 3 : 0;
        colour.frames.push_back(frame);
    }
    const Reach reach = MeasureReach(colour, tiles);
    EXPECT_EQ(reach.appearances, 1);
    EXPECT_EQ(reach.delays, std::vector<int>{12});
    EXPECT_EQ(reach.cells, 40);  // frames 60-99, one cell each
    EXPECT_EQ(reach.colouredCells, 40);
    EXPECT_EQ(reach.settled, 1);
    EXPECT_EQ(reach.colouredWithin60, 1);
}

// The runtime with a project, on the real games beside the project (if any): with every tile
// given a palette each game keeps its pictures and its shades (fades followed), holds no VRAM
// byte the original never had, never runs into RST 38 and shows its tiles in their colours. gb303 has no hook for the frame's
// work, so its one popup of sprites on OBP1 shows OBP0's shades; sushinights, all eight
// palettes in use and forty sprites, has the blank after its DMA routine for one set of
// palettes a frame, so in a fade its sprites take a step a frame after the background.
TEST(RealGamesReport, EveryTileColouredKeepsTheGamesPictures) {
    if (!std::filesystem::is_directory(DAPPLIX_REALGAMES_DIR)) GTEST_SKIP() << "no real games beside the project: " << DAPPLIX_REALGAMES_DIR;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(DAPPLIX_REALGAMES_DIR, error)) {
        if (entry.path().extension() != ".gb") continue;
        const std::string name = entry.path().filename().string();
        const GameResult r = RunGame(entry.path().string(), GameProject::EveryTile, {.sideFileDir = DAPPLIX_SIDEFILE_DIR});
        if (!r.game.placed) continue;
        const int known = name == "gb303.gb" ? 1 : name == "sushinights.gb" ? 2 : 0;
        EXPECT_LE(r.pictures.pictureBelow, known) << name << ", the first at frame " << r.pictures.firstPictureBelow;
        EXPECT_EQ(std::tuple(r.pictures.shadeBelow, r.pictures.foreignFrames, r.colour.record.rst38), std::tuple(0, 0, 0)) << name;
        EXPECT_EQ(r.pictures.shadeChangesFollowed, r.pictures.shadeChanges) << name << ": fades the colour run did not follow";
        // Nine in ten tiles of the ROM that the game shows have their palette within 60 frames
        // (gb303 builds its tiles: none of them is in the ROM).
        if (r.reach.settled > 0) {
            EXPECT_GE(10 * r.reach.colouredWithin60, 9 * r.reach.settled) << name;
        }
    }
}

}  // namespace
