// Real monochrome games (../shared/realgames beside the project) coloured without a project
// must behave like their originals: no VRAM byte the original never had, no runaway RST 38, no
// more VRAM writes lost to the PPU. The measurements behind those three are checked first, on
// a ROM built here whose behaviour is known to the instruction, and on made-up frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "RealGames.h"

using namespace dapplix::e2e;
namespace fs = std::filesystem;

namespace {

constexpr int kGameFrames = 600;

// --- A ROM whose runaway-code and lost-write events can be counted by hand ------------------

// Five times: wait for the start of mode 3 and store to VRAM (lost), execute RST 38 (its
// target calls a RET in high RAM and returns), then CALL 0x0038 (the same routine, not an
// RST). The vertical-blank interrupt is on, with a bare RETI, so interrupts are taken
// throughout and must be told from RST 38 and left out of the timed calls.
constexpr int kRounds = 5;

std::vector<std::uint8_t> CountingRom() {
    std::vector<std::uint8_t> rom(0x8000, 0x00);
    const std::vector<std::uint8_t> routine = {0xCD, 0x80, 0xFF, 0xC9};  // CALL 0xFF80; RET
    std::copy(routine.begin(), routine.end(), rom.begin() + 0x38);
    rom[0x40] = 0xD9;  // RETI
    const std::vector<std::uint8_t> entry = {0x00, 0xC3, 0x50, 0x01};
    std::copy(entry.begin(), entry.end(), rom.begin() + 0x100);

    std::vector<std::uint8_t> code;
    const int base = 0x150;
    auto emit = [&](std::initializer_list<std::uint8_t> bytes) { code.insert(code.end(), bytes); };
    auto here = [&] { return base + static_cast<int>(code.size()); };
    auto jumpBack = [&](std::uint8_t opcode, int target) {  // JR cc to an earlier address
        emit({opcode, static_cast<std::uint8_t>(target - (here() + 2))});
    };
    emit({0x31, 0xFE, 0xFF});        // LD SP,0xFFFE
    emit({0x3E, 0xC9, 0xE0, 0x80});  // LD A,0xC9; LDH (0x80),A: RET at 0xFF80
    emit({0x3E, 0x01, 0xE0, 0xFF});  // LD A,1; LDH (IE),A: vertical-blank interrupt
    emit({0xFB});                    // EI
    emit({0x06, kRounds});           // LD B,kRounds
    emit({0x21, 0x00, 0x80});        // LD HL,0x8000
    const int round = here();
    emit({0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03});  // LDH A,(STAT); AND 3; CP 3
    jumpBack(0x28, round);                      // JR Z: wait until mode 3 is over
    const int waitMode3 = here();
    emit({0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03});
    jumpBack(0x20, waitMode3);  // JR NZ: wait for the next mode 3
    emit({0x36, 0x55});         // LD (HL),0x55: lost
    emit({0xFF});               // RST 38
    emit({0xCD, 0x38, 0x00});   // CALL 0x0038
    emit({0x05});               // DEC B
    jumpBack(0x20, round);      // JR NZ
    const int idle = here();
    jumpBack(0x18, idle);       // JR to itself
    std::copy(code.begin(), code.end(), rom.begin() + base);
    return rom;
}

TEST(RealGamesMeasure, CountsRst38AndLostVramWritesOnly) {
    RunOptions options;
    options.frames = 4;
    options.monochromeModel = true;
    const RunRecord run = RecordRun(CountingRom(), options);
    EXPECT_TRUE(run.stopped.empty()) << run.stopped;
    ASSERT_EQ(run.frames.size(), 4u);
    EXPECT_EQ(run.rst38, kRounds);  // the CALLs and the interrupts do not count
    EXPECT_EQ(run.droppedVramWrites, kRounds);
    EXPECT_EQ(run.firstRst38Frame, 0);
    EXPECT_EQ(run.frames[0].rst38, kRounds);
    EXPECT_EQ(run.frames[1].rst38, 0);
    EXPECT_EQ(run.frames[0].vram[0], 0x00) << "the lost store must not have reached VRAM";
}

// The routine at 0x0038 taken as either hook: entered ten times (five RST, five CALL); a call
// costs CALL 0xFF80 (6 cycles), the RET in high RAM (4) and its own RET (4). The DMA hook's
// time leaves the high-RAM routine out.
TEST(RealGamesMeasure, TimesHookCallsWithoutTheGamesRoutineOrInterrupts) {
    const struct Case {
        bool asDmaHook;
        double cycles;
    } cases[] = {{true, 10}, {false, 14}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asDmaHook ? "DMA hook" : "copy hook");
        RunOptions options;
        options.frames = 4;
        options.monochromeModel = true;
        (c.asDmaHook ? options.dmaHook : options.copyHook) = 0x0038;
        const RunRecord run = RecordRun(CountingRom(), options);
        std::vector<double> cycles;
        for (const DmaHookCall& call : run.dmaHookCalls) cycles.push_back(call.cycles);
        for (const CopyHookCall& call : run.copyHookCalls) cycles.push_back(call.cycles);
        EXPECT_EQ(cycles, std::vector<double>(2 * kRounds, c.cycles));
        EXPECT_EQ(c.asDmaHook ? run.copyHookCalls.size() : run.dmaHookCalls.size(), 0u);
    }
}

// --- The comparison on made-up frames --------------------------------------------------------

// Four quadrants of grey levels a, b, c, d.
std::vector<std::uint8_t> Quadrants(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    std::vector<std::uint8_t> grey(kScreenPixels);
    for (int y = 0; y < 144; ++y) {
        for (int x = 0; x < 160; ++x) grey[y * 160 + x] = y < 72 ? (x < 80 ? a : b) : (x < 80 ? c : d);
    }
    return grey;
}

TEST(RealGamesMeasure, PictureAgreementTakesTheBestMappingBothWays) {
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
    RunRecord mono, colour;
};

FrameRecord MadeUpFrame(int step) {
    FrameRecord frame;
    frame.grey.assign(kScreenPixels, 255);
    for (int y = 0; y < 144; ++y) frame.grey[y * 160 + step * 5 % 160] = 0;
    frame.pictureHash = PictureHash(frame.grey);
    frame.vram[0x100] = static_cast<std::uint8_t>(step);
    return frame;
}

MadeUpRuns DelayedRuns(int frames, int lag) {
    MadeUpRuns runs;
    for (int f = 0; f < frames; ++f) {
        runs.mono.frames.push_back(MadeUpFrame(f / 7));
        runs.colour.frames.push_back(MadeUpFrame(std::max(0, f - lag) / 7));
    }
    return runs;
}

TEST(RealGamesMeasure, FindsTheLagWherePicturesChange) {
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

TEST(RealGamesMeasure, CountsForeignBytesAndWrongPictures) {
    MadeUpRuns runs = DelayedRuns(200, 2);
    runs.colour.frames[100].vram[0x1800] = 0x77;            // never in the mono map
    runs.colour.frames[130].vram[0x100] = 10;               // mono had it in frames 70-76 only
    runs.colour.frames[150].grey = Quadrants(60, 255, 0, 60);  // a picture mono never showed
    runs.colour.frames[150].pictureHash = PictureHash(runs.colour.frames[150].grey);
    const PictureComparison p = ComparePictures(runs.mono, runs.colour);
    EXPECT_EQ(p.foreignFrames, 2);
    EXPECT_EQ(p.foreignMax, 1);
    EXPECT_EQ(p.firstForeignFrame, 100);
    EXPECT_EQ(p.pictureBelow, 1);
    EXPECT_EQ(p.firstPictureBelow, 150);
    EXPECT_LT(p.pictureMin, 0.99);
    EXPECT_EQ(p.frames[150].agreement.picture, p.pictureMin);
}

TEST(RealGamesMeasure, ReachTimesATileFromAppearingToItsPalette) {
    // A one-bank ROM whose tile 5 is the only tile that is not blank.
    std::vector<std::uint8_t> rom(0x4000, 0);
    for (int i = 0; i < 16; ++i) rom[5 * 16 + i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    const RomTiles tiles(rom);
    RunRecord colour;
    for (int f = 0; f < 100; ++f) {
        FrameRecord frame;
        frame.lcdc = 0x91;  // LCD and background on, tiles at 0x8000
        if (f >= 20) std::copy(rom.begin() + 5 * 16, rom.begin() + 6 * 16, frame.vram.begin() + 16);  // tile 1
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

// --- The games ------------------------------------------------------------------------------

std::vector<std::string> Games() {
    std::vector<std::string> games;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(DAPPLIX_REALGAMES_DIR, error)) {
        if (entry.path().extension() == ".gb") games.push_back(entry.path().string());
    }
    std::sort(games.begin(), games.end());
    return games;
}

TEST(RealGames, FolderHoldsGames) {
    if (!fs::is_directory(DAPPLIX_REALGAMES_DIR))
        GTEST_SKIP() << "no real games to test: " << DAPPLIX_REALGAMES_DIR << " is missing";
    EXPECT_FALSE(Games().empty()) << DAPPLIX_REALGAMES_DIR << " holds no .gb file";
}

class RealGame : public testing::TestWithParam<std::string> {};

TEST_P(RealGame, ColouredWithoutAProjectBehavesLikeTheOriginal) {
    GameOptions options;
    options.frames = kGameFrames;
    options.sideFileDir = DAPPLIX_SIDEFILE_DIR;
    const GameResult result = RunGame(GetParam(), GameProject::None, options);
    if (!result.game.placed) GTEST_SKIP() << "cannot be coloured: " << result.game.reason;
    ASSERT_TRUE(result.mono->stopped.empty()) << result.mono->stopped;
    ASSERT_TRUE(result.colour.stopped.empty()) << result.colour.stopped;
    ASSERT_EQ(result.colour.frames.size(), std::size_t(kGameFrames));
    const PictureComparison& p = result.pictures;
    EXPECT_EQ(p.foreignFrames, 0) << "first at frame " << p.firstForeignFrame << ", at most " << p.foreignMax << " bytes";
    EXPECT_EQ(result.colour.rst38, 0) << "first at frame " << result.colour.firstRst38Frame;
    EXPECT_LE(result.colour.droppedVramWrites, result.mono->droppedVramWrites)
        << result.colour.droppedByColourCode << " by the colour code, the first in frame " << result.colour.firstDropFrame;
}

std::string GameName(const testing::TestParamInfo<std::string>& info) {
    std::string name = fs::path(info.param).stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Folder, RealGame, testing::ValuesIn(Games()), GameName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealGame);

}  // namespace
