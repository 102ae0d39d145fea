// Preparing bank 0: room at its end only, the DMA values, the redirections and the entry.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestRoms.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/SideFileLayout.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

void Put(Bank& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

template <typename Bytes>
bool HasAt(const Bytes& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    return std::equal(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

TEST(ScanRom, TheFreeEndTakesTheFragmentsAndTheCallsLoopsAndEntryAreRedirected) {
    auto model = LoadedModel({.freeTail = 529});
    Bank& bank0 = model->RomBank[0];
    std::fill_n(bank0.begin() + 0x2800, 300, 0xFF);  // free bytes inside the bank are never taken
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});        // call before the DMA start
    Put(bank0, 0x1000, {0x3E, 0xC1, 0xE0, 0x46});  // LD A,$C1; LDH ($46),A
    Put(bank0, 0x2100, {0xCD, 0x81, 0xFF});        // another high-RAM routine
    Put(bank0, 0x0120, {0xCD, 0x80, 0xFF});        // inside the header: left alone
    for (std::size_t at : {0x0010, 0x2000}) Put(bank0, at, {0x2A, 0x12, 0x13, 0x0B, 0x78, 0xB1, 0x20, 0xF8});  // copy loops
    for (std::size_t at : {0x00FD, 0x0130}) Put(bank0, at, {0x2A, 0x12, 0x13});  // in the header: left alone
    Put(bank0, 0x3000, {0x2A, 0x12, 0x13, 0x2A, 0x12, 0x13, 0xC9});  // unrolled: left alone
    Put(bank0, 0x0400, {0xF0, 0x44, 0xFE, 0x90, 0x20, 0xFA});        // waits for line 144
    Put(bank0, 0x0500, {0x2A, 0x02, 0x03, 0x1B, 0x7A, 0xB3, 0x20, 0xF8});  // copy loops through BC ...
    Put(bank0, 0x0600, {0x1A, 0x22, 0x13, 0x05, 0xC2, 0x00, 0x06});        // ... and HL
    Put(bank0, 0x0700, {0x1A, 0x22, 0x13, 0xC9});                          // (not in a loop)
    Put(bank0, 0x0800, {0xFA, 0x41, 0xFF, 0xE6, 0x02, 0x20, 0xF9, 0x7E, 0x02, 0xC9});  // set_vram_byte
    Put(bank0, 0x0900, {0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA, 0x7E, 0x02, 0xC9});
    Put(bank0, 0x0A00, {0x7E, 0x02, 0xC9});                                // (no STAT wait)
    Put(bank0, 0x0B00, {0x76, 0x00, 0xFA, 0xF2, 0xC0, 0xA7, 0x28, 0xF8});  // waits: HALT, then the flag ...
    Put(bank0, 0x0C00, {0xFA, 0xF2, 0xC0, 0xFE, 0x01, 0x20, 0xF9});        // ... the same flag in a loop ...
    Put(bank0, 0x0D00, {0xFA, 0x00, 0xD0, 0xA7, 0x28, 0xFA});              // ... another byte: left alone
    Put(bank0, 0x0E00, {0xCD, 0x95, 0x2B, 0xA0, 0x28, 0xFA});              // a wait for a key ...
    Put(bank0, 0x0E10, {0xCD, 0x00, 0x30, 0xA0, 0x28, 0xFA});              // ... through another read: left alone
    Put(bank0, 0x0F00, {0x2A, 0x12, 0x13, 0x13, 0x05, 0x20, 0xF9});        // every other byte: left alone, named
    Put(bank0, 0x0F40, {0xF0, 0x44, 0xFE, 0x91, 0x38, 0xFA, 0xF0, 0x40, 0xE6, 0x7F, 0xE0, 0x40});  // the blank, then the LCD off
    Put(bank0, 0x0F60, {0xF0, 0x44, 0xFE, 0x91, 0x38, 0xFA, 0xC9});        // (a wait alone: left alone)
    Put(bank0, 0x0F80, {0x2A, 0x12, 0x13, 0x2A, 0x12, 0x13, 0x0D, 0x20, 0xF7, 0x05, 0x20, 0xF4, 0xC9});  // GBDK's memcpy loop
    const Bank before = bank0;
    std::vector<int> progress;
    const ScanResult scan = ScanRom(*model, [&](int value) { progress.push_back(value); });
    EXPECT_TRUE(scan.placed && !scan.notEnoughRoom && !scan.forced);
    EXPECT_EQ(std::tuple(scan.trailingFill, scan.copyLoops, scan.dmaCalls, scan.blankWaits, scan.otherStores, scan.idleWaits, scan.padWaits,
                         scan.everyOtherByteLoops, scan.lcdOffWaits),
              std::tuple(529, 4, 1, 1, 4, 2, 1, 1, 1));

    // Side by side below the last byte of the bank, which is never used, each after its marker.
    EXPECT_EQ((std::array{model->StoreHooksPos, model->CopyTailPos, model->CopyHookPos, model->EntryHookPos, model->DmaHookPos}),
              (std::array{15978, 15940, 15908, 15890, 15876}));
    for (const auto& [position, marker] : {std::pair{15978, 0x5E}, {15940, 0x71}, {15908, 0xC1}, {15890, 0xE1}, {15876, 0xD1}})
        EXPECT_EQ(bank0[position - 1], marker) << position;
    EXPECT_TRUE(HasAt(bank0, kColorFlag, {0xC0}) && HasAt(bank0, kRomSizeCode, {0x05}));
    EXPECT_TRUE(HasAt(bank0, 0x100, {0x00, 0xC3, 0x11, 0x3E}));  // NOP; JP EntryHook (address 15889)
    using namespace sidefile;
    EXPECT_TRUE(HasAt(bank0, 15890 - 1 + kEntryJumpOperand, {0x50, 0x01}));  // ... which goes on to $0150
    EXPECT_TRUE(HasAt(bank0, 15908 - 1 + kCopyTailOperand, {0x43, 0x3E}));   // the copy hook goes on to CopyTail ...
    EXPECT_TRUE(HasAt(bank0, 15908 - 1 + kMapBranchOffset, {83}));            // ... and its map entries to MapEntryFast
    EXPECT_TRUE(HasAt(bank0, 15876 - 1 + kDmaCallLow, {0x80}));               // the DMA hook calls the game's routine
    EXPECT_TRUE(HasAt(bank0, 15978 - 1 + kStoredCallOperand, {0x25, 0x3E}));  // the store hooks reach the copy hook's checks

    EXPECT_EQ(std::tuple(model->DmaSourceHigh, model->DmaCallLow, model->ExtraBankCode[kDmaRoutineLow]),
              std::tuple(0xC1, 0x80, 0x80));
    EXPECT_TRUE(HasAt(model->ExtraBankCode, kDmaPageInstruction, {0x3E, 0xC1}));  // LD A,$C1
    const int block = model->DmaHookPos - kDmaHookInBlock;
    const std::tuple<std::size_t, std::uint8_t, int> redirected[] = {  // where, CALL or JP, to which hook
        {0x0010, 0xCD, model->CopyHookPos},       {0x2000, 0xCD, model->CopyHookPos},
        {0x0200, 0xCD, model->DmaHookPos},        {0x0402, 0xCD, block + kIdlePollInBlock},
        {0x0500, 0xCD, block + kCopyHookBcInBlock}, {0x0600, 0xCD, block + kCopyHookHlInBlock},
        {0x0807, 0xC3, block + kVramByteHookInBlock}, {0x0906, 0xC3, block + kVramByteHookInBlock},
        {0x0B00, 0xCD, block + kIdleHaltInBlock}, {0x0C00, 0xCD, block + kIdleHookInBlock},
        {0x0E00, 0xCD, block + kPadHookInBlock}, {0x0F40, 0xCD, block + kLcdOffWaitInBlock},
        {0x0F80, 0xCD, block + kCopyHookPairInBlock}, {0x0F83, 0xCD, model->CopyHookPos}};
    for (const auto& [at, opcode, position] : redirected) {
        const auto address = PositionAddress(position);
        EXPECT_TRUE(HasAt(bank0, at, {opcode, address[0], address[1]})) << std::hex << at;
    }
    EXPECT_TRUE(HasAt(bank0, 0x0400, {0xF0, 0x44}) && HasAt(bank0, 0x0405, {0x00}) && HasAt(bank0, 0x0B03, {0x00, 0x00}) &&
                HasAt(bank0, 0x0F43, {0x00, 0x00, 0x00, 0xF0, 0x40}));  // the rest of the waits
    const auto stores = std::size_t(model->StoreHooksPos - 1);
    const auto work = PositionAddress(block + kIdleWorkInBlock);
    EXPECT_TRUE(HasAt(bank0, stores + kIdleLoadOperand, {0xF2, 0xC0}));  // the byte the waits read
    EXPECT_TRUE(HasAt(bank0, stores + kPadReadOperand, {0x95, 0x2B}));   // the keys' read the first wait for a key calls
    for (const std::size_t at : kIdleCallOperands) EXPECT_TRUE(HasAt(bank0, stores + at, {work[0], work[1]}));
    // Left alone: another routine, the header, an unrolled copy, a copy outside a loop, a store
    // without a STAT wait, a wait on another byte or through another read of the keys, free
    // bytes inside the bank.
    for (const auto& [at, length] : {std::pair{0x2100, 3}, {0x0120, 3}, {0x00FD, 3}, {0x0130, 3}, {0x3000, 7}, {0x0700, 4},
                                    {0x0A00, 3}, {0x0D00, 6}, {0x0E10, 6}, {0x0F00, 7}, {0x0F60, 7}, {0x2800, 300}, {kBankSize - 1, 1}})
        EXPECT_TRUE(std::equal(bank0.begin() + at, bank0.begin() + at + length, before.begin() + at)) << std::hex << at;
    EXPECT_EQ(std::pair(progress.front(), progress.back()), std::pair(kProgressStart, kProgressEnd));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    const auto lines = DescribeScan(*model, scan);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Color code: $3E03-$3FFE of bank 0, in its unused end (529 bytes)");
    EXPECT_EQ(lines[1], "Entry: NOP, JP at $0100 to $0150, reached after the color set-up");
    EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Copy loops that store every other byte: 1 "); }),
              lines.end());
}

TEST(ScanRom, APagePassedInAAndTheNextRomOfTheRunGetsTheSideFilesInstructionBack) {
    auto model = LoadedModel({.freeTail = 260});
    Put(model->RomBank[0], 0x0300, {0xCD, 0x90, 0xFF});
    Put(model->RomBank[0], 0x0400, {0xE0, 0x46});  // no LD A,nn in front
    Put(model->RomBank[0], 0x0500, {0xCD, 0xA0, 0xFF});
    ScanRom(*model);
    EXPECT_EQ(model->DmaCallLow, 0x90);  // the last call before both sequences were seen
    EXPECT_TRUE(HasAt(model->ExtraBankCode, 0x103, {0x67, 0x00}));  // LD H,A

    ASSERT_TRUE(LoadRomBytes(*model, MakeRom({.freeTail = 260})).ok);
    Put(model->RomBank[0], 0x0800, {0x3E, 0xC3, 0xE0, 0x46});
    const ScanResult scan = ScanRom(*model);
    EXPECT_TRUE(HasAt(model->ExtraBankCode, 0x103, {0x3E, 0xC3}));
    // No CALL $FFxx: nothing redirected, CALL $FF00 least of all.
    EXPECT_EQ(std::pair(scan.dmaCalls, int(model->DmaCallLow)), std::pair(0, 0));
    // The vertical-blank vector jumping to the routine is named, and left alone.
    ASSERT_TRUE(LoadRomBytes(*model, MakeRom({.freeTail = 260})).ok);
    Put(model->RomBank[0], 0x0800, {0x3E, 0xC3, 0xE0, 0x46});
    Put(model->RomBank[0], 0x0040, {0xC3, 0x80, 0xFF});
    const ScanResult vector = ScanRom(*model);
    EXPECT_TRUE(HasAt(model->RomBank[0], 0x0040, {0xC3, 0x80, 0xFF}));
    EXPECT_EQ(DescribeScan(*model, vector)[2],
              "OAM DMA call: none in bank 0 (the vertical-blank interrupt jumps to the DMA routine at $FF80 itself, left as it "
              "is: the game's own writes need that blank): sprites keep palette 0, map attributes and fades are not followed; "
              "tiles copied with the LCD off still get their palettes");
}

// Without room at the end, bank 0 is left as it was; when asked, the fragments go over ROM
// code, side by side: into the top run of free bytes, else at the end of the bank.
TEST(ScanRom, WithoutRoomNothingChangesUnlessAskedThenTheFragmentsNeverOverlap) {
    constexpr int kEnough = 102 + kPlacementMargin + 1;
    for (int tail : {0, kEnough - 1}) {
        auto model = LoadedModel({.freeTail = tail});
        std::fill_n(model->RomBank[0].begin() + 0x1000, 500, 0xFF);  // room inside does not count
        const Bank before = model->RomBank[0];
        const ScanResult refused = ScanRom(*model);
        EXPECT_TRUE(refused.notEnoughRoom && !refused.placed && !model->ColourCodePlaced) << tail;
        EXPECT_TRUE(model->RomBank[0] == before) << tail;
        EXPECT_EQ(DescribeScan(*model, refused).front(),
                  "Color code: not placed. Bank 0 ends in " + std::to_string(tail) + " unused bytes; the color code needs " +
                      std::to_string(kEnough) + " there, or 102 unused $FF bytes below the header.");

        const ScanResult forced = ScanRom(*model, {}, true);
        EXPECT_TRUE(forced.placed && forced.forced) << tail;
        EXPECT_EQ(model->DmaHookPos, tail ? kBankSize - 102 : 0x1000 + 500 - 102 + 1) << tail;  // the top free run
        EXPECT_EQ((std::array{model->EntryHookPos, model->CopyHookPos, model->CopyTailPos}),
                  (std::array{model->DmaHookPos + 14, model->DmaHookPos + 32, model->DmaHookPos + 64}));
    }
    // A free run that reaches the entry's NOP: the block stays below the entry jump.
    auto low = LoadedModel();
    std::fill_n(low->RomBank[0].begin() + 0x80, 0x81, 0x00);
    EXPECT_TRUE(ScanRom(*low, {}, true).placed);
    EXPECT_EQ(low->DmaHookPos - 1, 0xFE - 102);
    auto full = LoadedModel();  // no free byte anywhere: the end of the bank, its last byte kept
    EXPECT_TRUE(ScanRom(*full, {}, true).placed && full->DmaHookPos == kBankSize - 102) << full->DmaHookPos;
    auto tight = LoadedModel({.freeTail = kEnough});  // room for the block without the store hooks
    EXPECT_TRUE(ScanRom(*tight).placed);
    EXPECT_EQ(std::pair(tight->StoreHooksPos, tight->DmaHookPos), std::pair(0, kBankSize - 102));
    // Room for the store hooks but not for their last piece: the wait before the LCD goes off
    // stays the game's, and the fragment ends where that piece would begin.
    auto middle = LoadedModel({.freeTail = 400});
    Put(middle->RomBank[0], 0x0F40, {0xF0, 0x44, 0xFE, 0x91, 0x38, 0xFA, 0xF0, 0x40, 0xE6, 0x7F, 0xE0, 0x40});
    const Bank before = middle->RomBank[0];
    EXPECT_EQ(ScanRom(*middle).lcdOffWaits, 0);
    EXPECT_EQ(std::tuple(middle->StoreHooksPos, middle->LcdOffWaitPos, middle->DmaHookPos), std::tuple(kBankSize - 264, 0, kBankSize - 366));
    EXPECT_TRUE(std::equal(before.begin() + 0x0F40, before.begin() + 0x0F4C, middle->RomBank[0].begin() + 0x0F40));
    EXPECT_EQ(middle->RomBank[0][kBankSize - 1], before[kBankSize - 1]);
}

// Without room at the end, a long run of 0xFF below the header takes the block when 0x0038
// holds 0xFF too (running any of them would be RST $38 into itself), never RST $38's own
// bytes nor the two after a used byte.
TEST(ScanRom, BelowTheHeaderOnlyRunsTheGameCannotRun) {
    const struct {
        const char* name;
        std::uint8_t rst38;
        int runFirst, runEnd;  // 0xFF bytes runFirst..runEnd-1
        int placedAt;          // 0-based address of the block, or 0: refused
    } cases[] = {
        {"RunUpToTheHeader", 0xFF, 0x80, 0x100, 0x100 - 102},
        {"Rst38HoldsCode", 0xC9, 0x80, 0x100, 0},
        {"TwoBytesAfterCodeLeft", 0xFF, 0x100 - 104, 0x100, 0x100 - 102},
        {"ShortByOneAfterThem", 0xFF, 0x100 - 103, 0x100, 0},
        {"Rst38sBytesNeverTaken", 0xFF, 0x00, 0x80, 0},
    };
    for (const auto& c : cases) {
        auto model = LoadedModel();
        Bank& bank0 = model->RomBank[0];
        std::fill(bank0.begin() + c.runFirst, bank0.begin() + c.runEnd, 0xFF);
        bank0[0x38] = c.rst38;
        const Bank before = bank0;
        const ScanResult scan = ScanRom(*model);
        EXPECT_EQ(scan.placed ? model->DmaHookPos - 1 : 0, c.placedAt) << c.name;
        if (!scan.placed) {
            EXPECT_TRUE(bank0 == before) << c.name;
            continue;
        }
        EXPECT_TRUE(!scan.forced && model->StoreHooksPos == 0 && bank0[0x101] == 0xC3) << c.name;
        EXPECT_EQ(DescribeScan(*model, scan).front(), "Color code: $009A-$00FF of bank 0, in $FF bytes below the header that the game cannot run");
    }
}

// A game that selects VRAM bank 1 and writes on is refused whatever the room; a selection
// undone at once, or followed by a jump, is not a write.
TEST(ScanRom, AGameThatWritesVramBank1ItselfIsNotColoured) {
    const struct {
        const char* name;
        int bank;
        std::vector<std::uint8_t> code;
        bool refused;
    } cases[] = {
        {"ThroughDeThenACall", 0, {0x11, 0x4F, 0xFF, 0x3E, 0x01, 0x12, 0x21, 0x04, 0x40, 0xE5, 0xCD, 0x37, 0x34}, true},
        {"LdhThenAStore", 2, {0x3E, 0x01, 0xE0, 0x4F, 0x21, 0x00, 0x98, 0x36, 0x07}, true},
        {"LdNnThenAStore", 1, {0x3E, 0x01, 0xEA, 0x4F, 0xFF, 0x22}, true},
        {"UndoneAtOnce", 0, {0x01, 0x4F, 0xFF, 0x3E, 0x01, 0x02, 0x01, 0x4F, 0xFF, 0x3E, 0x00, 0x02, 0xCD, 0x00, 0x02}, false},
        {"ThenAJump", 0, {0x3E, 0x01, 0xE0, 0x4F, 0xC3, 0x00, 0x20, 0xCD, 0x00, 0x02}, false},
    };
    for (const auto& c : cases) {
        auto model = LoadedModel({.banks = 4, .freeTail = 400});
        Bank& bank = model->RomBank[std::size_t(c.bank)];
        std::fill_n(bank.begin() + 0x2000, 64, 0x00);  // (NOPs around the code)
        std::copy(c.code.begin(), c.code.end(), bank.begin() + 0x2000);
        const ScanResult scan = ScanRom(*model, {}, true);
        EXPECT_EQ(scan.ownVramBank1, c.refused ? c.bank * kBankSize + 0x2000 : -1) << c.name;
        EXPECT_EQ(scan.placed, !c.refused) << c.name;
    }
}

}  // namespace
// Only copies in a tight loop are redirected: a jump soon after, back to the copy or a wait;
// and not a loop that stores every other byte (one bit plane of each tile).
TEST(ScanRom, CopiesAreRedirectedOnlyInTightLoopsOfEveryByte) {
    const struct { std::vector<std::uint8_t> code; bool tight; } cases[] = {
        {{0x2A, 0x12, 0x13, 0x05, 0x20, 0xFA}, true},                                // DEC B / JR NZ
        {{0x2A, 0x12, 0x13, 0x0B, 0x78, 0xB1, 0xC2, 0x00, 0x10}, true},              // JP NZ to the copy
        {{0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA, 0x2A, 0x12, 0x13, 0x0D, 0x20, 0xF4}, true},  // STAT wait first
        {{0x2A, 0x12, 0x13, 0x7B, 0xE6, 0x1F, 0xC2, 0x20, 0x10, 0x00, 0x00, 0x18, 0xF2}, false},  // jump too far on
        {{0x2A, 0x12, 0x13, 0x20, 0x02, 0x00, 0x00}, false},                          // forward only
        {{0x2A, 0x12, 0x13, 0x13, 0x05, 0x20, 0xF9}, false},                          // every other byte
        {{0x2A, 0x02, 0x03, 0x03, 0x05, 0x20, 0xF9}, false},                          // the same through BC
        {{0x2A, 0x02, 0x03, 0x13, 0x1D, 0x20, 0xF9}, true},                           // BC form, DE the count
    };
    for (const auto& c : cases) {
        Bank bank{};
        std::copy(c.code.begin(), c.code.end(), bank.begin() + 0x1000);
        // (the copy starts at its LD A,(HL+))
        const int copyAt = 0x1000 + static_cast<int>(std::find(c.code.begin(), c.code.end(), 0x2A) - c.code.begin());
        EXPECT_EQ(CopyLoopWorthHooking(bank, copyAt), c.tight) << c.code.size();
    }
}

}  // namespace dapplix
