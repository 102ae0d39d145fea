// Real monochrome games (../shared/realgames) coloured without a project behave like their
// originals: no VRAM byte the original never had, no RST 38, no more VRAM writes lost. The
// measures are checked first, on a ROM whose events are known and on made-up runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "RealGames.h"

using namespace dapplix::e2e;
namespace fs = std::filesystem;

namespace {

constexpr int kGameFrames = 600;
constexpr int kRounds = 5;

TEST(RealGamesMeasure, CountsRst38AndLostVramWritesOnly) {
    const RunRecord run = RecordRun(CountingRom(kRounds), {.frames = 4, .monochromeModel = true});
    EXPECT_TRUE(run.stopped.empty()) << run.stopped;
    ASSERT_EQ(run.frames.size(), 4u);
    // The CALLs and the interrupts do not count.
    EXPECT_EQ(std::tuple(run.rst38, run.droppedVramWrites, run.firstRst38Frame), std::tuple(kRounds, kRounds, 0));
    EXPECT_EQ(std::pair(run.frames[0].rst38, run.frames[1].rst38), std::pair(kRounds, 0));
    EXPECT_EQ(run.frames[0].vram[0], 0x00) << "the lost store must not have reached VRAM";
}

// A mono run whose VRAM byte 0x100 changes every seventh frame, and a colour run two frames behind;
// a value the mono run stored and overwrote within a frame was there too.
TEST(RealGamesMeasure, CountsForeignBytesWithinTheLagWindow) {
    RunRecord mono, colour;
    for (int f = 0; f < 200; ++f) {
        mono.frames.emplace_back().vram[0x100] = static_cast<std::uint8_t>(f / 7);
        colour.frames.emplace_back().vram[0x100] = static_cast<std::uint8_t>(std::max(0, f - 2) / 7);
    }
    EXPECT_EQ(CountForeignBytes(mono, colour).frames, 0);
    colour.frames[30].vram[0x1800] = 0x77;  // before the start-up is over: not counted
    colour.frames[100].vram[0x1800] = 0x77;  // never in the mono map
    colour.frames[130].vram[0x100] = 10;     // mono had it in frames 70-76 only, out of the window
    colour.frames[140].vram[0x100] = 14;     // mono had it in frames 98-104, 36 frames back
    colour.frames[106].vram[0x100] = 10;     // mono has it in frame 76, the window's first ...
    colour.frames[68].vram[0x100] = 10;      // ... and in frame 70, its last: neither counts
    colour.frames[150].vram[0x1900] = 0x36;  // mono stored it in frame 145 and overwrote it there
    mono.frames[145].vramStores = {{0x1900, 0x36}, {0x1900, 0xD5}};
    colour.frames[160].vram[0x1901] = 0x36;  // (another address)
    const ForeignBytes foreign = CountForeignBytes(mono, colour);
    EXPECT_EQ(std::tuple(foreign.frames, foreign.max, foreign.first), std::tuple(4, 1, 100));
    EXPECT_EQ(CountForeignBytes(mono, colour, 40).frames, 3) << "a window of 40 frames reaches frame 140's byte";
}

std::vector<std::string> Games() {
    std::vector<std::string> games;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(DAPPLIX_REALGAMES_DIR, error))
        if (entry.path().extension() == ".gb") games.push_back(entry.path().string());
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
    const ColouredGame game = ColourGame(GetParam(), DAPPLIX_SIDEFILE_DIR);
    if (!game.placed) GTEST_SKIP() << "cannot be coloured: " << game.reason;
    const RunRecord colour = RecordRun(game.colour, {.frames = kGameFrames});
    const RunRecord mono = RecordRun(game.mono, {.frames = kGameFrames, .monochromeModel = true});
    ASSERT_TRUE(mono.stopped.empty() && colour.stopped.empty()) << mono.stopped << colour.stopped;
    ASSERT_EQ(colour.frames.size(), std::size_t(kGameFrames));
    const ForeignBytes foreign = CountForeignBytes(mono, colour);
    EXPECT_EQ(foreign.frames, 0) << "first at frame " << foreign.first << ", at most " << foreign.max << " bytes";
    EXPECT_EQ(colour.rst38, 0) << "first at frame " << colour.firstRst38Frame;
    EXPECT_LE(colour.droppedVramWrites, mono.droppedVramWrites) << "the first in frame " << colour.firstDropFrame;
}

std::string GameName(const testing::TestParamInfo<std::string>& info) {
    std::string name = fs::path(info.param).stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Folder, RealGame, testing::ValuesIn(Games()), GameName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealGame);

}  // namespace
