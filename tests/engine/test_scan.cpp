// Preparing bank 0: free space, the DMA values, the redirections and the entry jump.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "engine/Rom.h"
#include "engine/Scan.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

// A loaded 64 KiB ROM whose bank 0 is used throughout (no free byte) unless a test frees some.
std::unique_ptr<Model> LoadedModel() {
    auto model = MakeModel();
    if (!LoadRomBytes(*model, MakeRom({.banks = 4})).ok) throw std::runtime_error("test ROM refused");
    return model;
}

void Put(Bank& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

bool HasAt(const Bank& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    return std::equal(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

TEST(ScanRom, AFreeEndTakesTheFourFragmentsSideBySide) {
    for (std::uint8_t freeByte : {std::uint8_t(0xFF), std::uint8_t(0x00), std::uint8_t(0xFE)}) {
        auto model = LoadedModel();
        Bank& bank0 = model->RomBank[0];
        std::fill(bank0.end() - 200, bank0.end(), freeByte);
        bank0[kBankSize - 150] = 0xFE;  // a mix of free bytes is one run
        bank0[kBankSize - 151] = 0x00;
        const ScanResult result = ScanRom(*model);
        EXPECT_FALSE(result.notEnoughRoom);
        EXPECT_EQ(model->CopyTailPos, 16346);
        EXPECT_EQ(model->CopyHookPos, 16314);
        EXPECT_EQ(model->EntryHookPos, 16296);
        EXPECT_EQ(model->DmaHookPos, 16282);
        EXPECT_EQ(bank0[kBankSize - 1], freeByte);  // the bank's last byte is never used
        EXPECT_EQ(bank0[16346 - 1], 0x71);
        EXPECT_EQ(bank0[16314 - 1], 0xC1);
        EXPECT_EQ(bank0[16296 - 1], 0xE1);
        EXPECT_EQ(bank0[16282 - 1], 0xD1);
        EXPECT_EQ(bank0[16282 - 2], freeByte);  // below the fragments the run is untouched
        EXPECT_EQ(bank0[kColorFlag], 0xC0);
        EXPECT_EQ(bank0[kRomSizeCode], 0x05);
    }
}

TEST(ScanRom, RedirectsTheEntryJumpThroughTheEntryHook) {
    auto model = LoadedModel();
    Bank& bank0 = model->RomBank[0];
    std::fill(bank0.end() - 200, bank0.end(), 0xFF);
    ScanRom(*model);
    ASSERT_EQ(model->EntryHookPos, 16296);
    EXPECT_TRUE(HasAt(bank0, 0x101, {0xC3, 0xA7, 0x3F}));
    EXPECT_TRUE(HasAt(bank0, 16296 - 1 + 16, {0x50, 0x01}));  // the old target, low byte first
    // The copy hook learns where its tail is; the block keeps it for the writer.
    EXPECT_TRUE(HasAt(bank0, 16314 - 1 + 26, {0xD9, 0x3F}));
    EXPECT_EQ(model->CopyHookCode[26], 0xD9);
    EXPECT_EQ(model->CopyHookCode[27], 0x3F);
}

TEST(ScanRom, FindsTheDmaPageAndTheHighRamCallAndRedirectsTheCall) {
    auto model = LoadedModel();
    Bank& bank0 = model->RomBank[0];
    std::fill(bank0.end() - 200, bank0.end(), 0xFF);
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});        // call before the DMA start
    Put(bank0, 0x1000, {0x3E, 0xC1, 0xE0, 0x46});  // LD A,$C1; LDH ($46),A
    Put(bank0, 0x2000, {0xCD, 0x80, 0xFF});
    Put(bank0, 0x2100, {0xCD, 0x81, 0xFF});        // another high-RAM routine
    Put(bank0, 0x0120, {0xCD, 0x80, 0xFF});        // inside the header: left alone
    ScanRom(*model);
    EXPECT_EQ(model->DmaSourceHigh, 0xC1);
    EXPECT_EQ(model->DmaCallLow, 0x80);
    EXPECT_EQ(model->ExtraBankCode[0x103], 0x3E);
    EXPECT_EQ(model->ExtraBankCode[0x104], 0xC1);
    EXPECT_EQ(model->ExtraBankCode[0x11B], 0x80);
    const auto hook = PositionAddress(model->DmaHookPos);
    EXPECT_TRUE(HasAt(bank0, 0x0200, {0xCD, hook[0], hook[1]}));
    EXPECT_TRUE(HasAt(bank0, 0x2000, {0xCD, hook[0], hook[1]}));
    EXPECT_TRUE(HasAt(bank0, 0x2100, {0xCD, 0x81, 0xFF}));
    EXPECT_TRUE(HasAt(bank0, 0x0120, {0xCD, 0x80, 0xFF}));
}

TEST(ScanRom, TakesTheLastCallSeenBeforeBothSequencesWereFound) {
    auto model = LoadedModel();
    Bank& bank0 = model->RomBank[0];
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});
    Put(bank0, 0x0300, {0xCD, 0x90, 0xFF});
    Put(bank0, 0x0400, {0xE0, 0x46});  // page passed in A: no LD A,nn in front
    Put(bank0, 0x0500, {0xCD, 0xA0, 0xFF});
    ScanProgress progress;
    FindDmaCall(*model, progress);
    EXPECT_EQ(model->DmaCallLow, 0x90);
    EXPECT_EQ(model->DmaSourceHigh, 0x00);
}

TEST(ScanRom, WithoutADmaPageTheCodeKeepsThePageFromA) {
    auto model = LoadedModel();
    ScanRom(*model);
    EXPECT_EQ(model->ExtraBankCode[0x103], 0x67);  // LD H,A
    EXPECT_EQ(model->ExtraBankCode[0x104], 0x00);

    // The next ROM of the run that has a page gets the side file's instruction back.
    ASSERT_TRUE(LoadRomBytes(*model, MakeRom({.banks = 4})).ok);
    Put(model->RomBank[0], 0x0800, {0x3E, 0xC3, 0xE0, 0x46});
    ScanRom(*model);
    EXPECT_EQ(model->ExtraBankCode[0x103], 0x3E);
    EXPECT_EQ(model->ExtraBankCode[0x104], 0xC3);
}

TEST(ScanRom, ReplacesCopyLoopsEverywhereButInTheHeader) {
    // Two ROMs, because copy sequences at neighbouring starts would overlap.
    const std::vector<std::size_t> startSets[] = {{0x0010, 0x00FD, 0x014F, 0x3000}, {0x00FE, 0x0130, 0x0150}};
    for (const auto& starts : startSets) {
        auto model = LoadedModel();
        Bank& bank0 = model->RomBank[0];
        std::fill(bank0.end() - 200, bank0.end(), 0xFF);
        for (std::size_t at : starts) Put(bank0, at, {0x2A, 0x12, 0x13});
        ScanRom(*model);
        const auto hook = PositionAddress(model->CopyHookPos);
        for (std::size_t at : starts) {
            const bool header = at >= 0xFE && at <= 0x14F;
            const bool kept = HasAt(bank0, at, {0x2A, 0x12, 0x13});
            const bool redirected = HasAt(bank0, at, {0xCD, hook[0], hook[1]});
            EXPECT_EQ(kept, header) << std::hex << at;
            EXPECT_EQ(redirected, !header) << std::hex << at;
        }
    }
}

TEST(ScanRom, WithoutRoomTheFragmentsStillNeverOverlap) {
    struct Case {
        const char* name;
        int freeFrom, freeTo;  // 0-based byte range made free, [from, to)
    } cases[] = {
        {"no free byte at all", 0, 0},
        {"only the copy tail fits, below the end", 16320, 16358},
        {"a run just too short for every fragment", 16000, 16013},
    };
    for (const Case& c : cases) {
        auto model = LoadedModel();
        Bank& bank0 = model->RomBank[0];
        std::fill(bank0.begin() + c.freeFrom, bank0.begin() + c.freeTo, 0xFF);
        const ScanResult result = ScanRom(*model);
        EXPECT_TRUE(result.notEnoughRoom) << c.name;
        struct Range {
            int position, length;
        } ranges[] = {{model->CopyTailPos, 38}, {model->CopyHookPos, 32}, {model->EntryHookPos, 18}, {model->DmaHookPos, 14}};
        for (const Range& a : ranges) {
            EXPECT_GT(a.position, 0x150) << c.name;                // clear of the header
            EXPECT_LE(a.position + a.length - 1, kBankSize - 1) << c.name;  // the last byte stays
            EXPECT_GE(a.position, kBankSize - 400) << c.name;      // near the end of the bank
            for (const Range& b : ranges) {
                if (&a == &b) continue;
                EXPECT_TRUE(a.position + a.length <= b.position || b.position + b.length <= a.position)
                    << c.name << ": " << a.position << " and " << b.position;
            }
        }
        // Each fragment is intact where it was placed.
        EXPECT_EQ(bank0[model->CopyTailPos - 1], 0x71) << c.name;
        EXPECT_EQ(bank0[model->CopyHookPos - 1], 0xC1) << c.name;
        EXPECT_EQ(bank0[model->EntryHookPos - 1], 0xE1) << c.name;
        EXPECT_EQ(bank0[model->DmaHookPos - 1], 0xD1) << c.name;
    }
}

TEST(ScanRom, ReportsProgressUpToOneHundred) {
    for (bool freeEnd : {true, false}) {
        auto model = LoadedModel();
        if (freeEnd) std::fill(model->RomBank[0].end() - 200, model->RomBank[0].end(), 0xFF);
        std::vector<int> values;
        ScanRom(*model, [&](int value) { values.push_back(value); });
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.front(), 1);
        EXPECT_EQ(values.back(), 100);
        for (int value : values) {
            EXPECT_GE(value, 1);
            EXPECT_LE(value, 100);
        }
        // The steps' own values come in order.
        std::size_t at = 0;
        for (int milestone : {14, 29, 43, 57, 71, 85, 100}) {
            const auto found = std::find(values.begin() + static_cast<std::ptrdiff_t>(at), values.end(), milestone);
            ASSERT_NE(found, values.end()) << milestone << (freeEnd ? " free end" : " no room");
            at = static_cast<std::size_t>(found - values.begin());
        }
        if (freeEnd) {
            EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
        }
    }
}

TEST(FindFreeSpace, TakesTheHighestRunAndMarksIt) {
    auto model = LoadedModel();
    Bank& bank0 = model->RomBank[0];
    std::fill(bank0.begin() + 5000, bank0.begin() + 5040, 0x00);
    std::fill(bank0.begin() + 9000, bank0.begin() + 9020, 0xFF);
    ScanProgress progress;
    EXPECT_EQ(FindFreeSpace(*model, 20, progress), 9001);
    EXPECT_EQ(bank0[9000], 0x01);
    EXPECT_EQ(FindFreeSpace(*model, 20, progress), 5021);  // the top of the lower run
    EXPECT_EQ(FindFreeSpace(*model, 20, progress), 5001);
    EXPECT_EQ(FindFreeSpace(*model, 20, progress), 0);
    EXPECT_TRUE(IsFreeBlock(nullptr, 0));
}

}  // namespace
}  // namespace dapplix
