// Real monochrome games (../shared/realgames beside the project) coloured without a project
// must behave like their originals: no VRAM byte the original never had, no runaway RST 38, no
// more VRAM writes lost to the PPU. The measurements behind those three are checked first, on
// a ROM built here whose behaviour is known to the instruction, and on made-up runs.
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

// --- Foreign bytes on made-up runs -----------------------------------------------------------

// A mono run whose VRAM byte 0x100 changes every seventh frame, and a colour run two frames behind.
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
    const ForeignBytes foreign = CountForeignBytes(mono, colour);
    EXPECT_EQ(foreign.frames, 3);
    EXPECT_EQ(foreign.max, 1);
    EXPECT_EQ(foreign.first, 100);
    EXPECT_EQ(CountForeignBytes(mono, colour, 40).frames, 2) << "a window of 40 frames reaches frame 140's byte";
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
    const ColouredGame game = ColourGame(GetParam(), GameProject::None, DAPPLIX_SIDEFILE_DIR);
    if (!game.placed) GTEST_SKIP() << "cannot be coloured: " << game.reason;
    RunOptions options;
    options.frames = kGameFrames;
    options.dmaHook = game.dmaHook;
    options.copyHook = game.copyHook;
    const RunRecord colour = RecordRun(game.colour, options);
    options.monochromeModel = true;
    options.dmaHook = options.copyHook = 0;
    const RunRecord mono = RecordRun(game.mono, options);
    ASSERT_TRUE(mono.stopped.empty()) << mono.stopped;
    ASSERT_TRUE(colour.stopped.empty()) << colour.stopped;
    ASSERT_EQ(colour.frames.size(), std::size_t(kGameFrames));
    const ForeignBytes foreign = CountForeignBytes(mono, colour);
    EXPECT_EQ(foreign.frames, 0) << "first at frame " << foreign.first << ", at most " << foreign.max << " bytes";
    EXPECT_EQ(colour.rst38, 0) << "first at frame " << colour.firstRst38Frame;
    EXPECT_LE(colour.droppedVramWrites, mono.droppedVramWrites)
        << colour.droppedByColourCode << " by the colour code, the first in frame " << colour.firstDropFrame;
}

std::string GameName(const testing::TestParamInfo<std::string>& info) {
    std::string name = fs::path(info.param).stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Folder, RealGame, testing::ValuesIn(Games()), GameName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealGame);

}  // namespace
