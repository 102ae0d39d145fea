// Preparing bank 0: free space, the DMA values, the redirections and the entry jump.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "engine/Rom.h"
#include "engine/Scan.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

// A loaded 64 KiB ROM whose bank 0 is used throughout, except its last freeBytes bytes.
std::unique_ptr<Model> LoadedModel(int freeBytes = 0, std::uint8_t freeByte = 0xFF) {
    auto model = MakeModel();
    if (!LoadRomBytes(*model, MakeRom({.banks = 4})).ok) throw std::runtime_error("test ROM refused");
    std::fill(model->RomBank[0].end() - freeBytes, model->RomBank[0].end(), freeByte);
    return model;
}

void Put(Bank& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

bool HasAt(const Bank& bank, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    return std::equal(bytes.begin(), bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(at));
}

TEST(ScanRom, AFreeEndTakesTheFragmentsAndTheEntryJumpLeadsThroughTheEntryHook) {
    for (std::uint8_t freeByte : {0xFF, 0x00, 0xFE}) {
        auto model = LoadedModel(200, freeByte);
        Bank& bank0 = model->RomBank[0];
        bank0[kBankSize - 150] = 0xFE;  // a mix of free bytes is one run
        bank0[kBankSize - 151] = 0x00;
        EXPECT_FALSE(ScanRom(*model).notEnoughRoom);
        EXPECT_EQ(model->CopyTailPos, 16346);
        EXPECT_EQ(model->CopyHookPos, 16314);
        EXPECT_EQ(model->EntryHookPos, 16296);
        EXPECT_EQ(model->DmaHookPos, 16282);
        EXPECT_EQ(bank0[16346 - 1], 0x71);              // each fragment's marker at its place
        EXPECT_EQ(bank0[16314 - 1], 0xC1);
        EXPECT_EQ(bank0[16296 - 1], 0xE1);
        EXPECT_EQ(bank0[16282 - 1], 0xD1);
        EXPECT_EQ(bank0[kBankSize - 1], freeByte);      // the bank's last byte is never used
        EXPECT_EQ(bank0[16282 - 2], freeByte);          // below the fragments the run is untouched
        EXPECT_EQ(bank0[kColorFlag], 0xC0);
        EXPECT_EQ(bank0[kRomSizeCode], 0x05);
        EXPECT_TRUE(HasAt(bank0, 0x101, {0xC3, 0xA7, 0x3F}));     // JP EntryHook (address 16295)
        EXPECT_TRUE(HasAt(bank0, 16296 - 1 + 16, {0x50, 0x01}));  // ... which goes on to $0150
        EXPECT_TRUE(HasAt(bank0, 16314 - 1 + 26, {0xD9, 0x3F}));  // the copy hook knows its tail
    }
}

TEST(ScanRom, FindsTheDmaPageAndTheHighRamCallAndRedirectsTheCall) {
    auto model = LoadedModel(200);
    Bank& bank0 = model->RomBank[0];
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});        // call before the DMA start
    Put(bank0, 0x1000, {0x3E, 0xC1, 0xE0, 0x46});  // LD A,$C1; LDH ($46),A
    Put(bank0, 0x2000, {0xCD, 0x80, 0xFF});
    Put(bank0, 0x2100, {0xCD, 0x81, 0xFF});        // another high-RAM routine
    Put(bank0, 0x0120, {0xCD, 0x80, 0xFF});        // inside the header: left alone
    ScanRom(*model);
    EXPECT_EQ(model->DmaSourceHigh, 0xC1);
    EXPECT_EQ(model->DmaCallLow, 0x80);
    EXPECT_EQ(model->ExtraBankCode[0x103], 0x3E);  // LD A,$C1
    EXPECT_EQ(model->ExtraBankCode[0x104], 0xC1);
    EXPECT_EQ(model->ExtraBankCode[0x11B], 0x80);
    const auto hook = PositionAddress(model->DmaHookPos);
    EXPECT_TRUE(HasAt(bank0, 0x0200, {0xCD, hook[0], hook[1]}));
    EXPECT_TRUE(HasAt(bank0, 0x2000, {0xCD, hook[0], hook[1]}));
    EXPECT_TRUE(HasAt(bank0, 0x2100, {0xCD, 0x81, 0xFF}));
    EXPECT_TRUE(HasAt(bank0, 0x0120, {0xCD, 0x80, 0xFF}));
}

TEST(ScanRom, TakesTheLastMatchesBeforeBothSequencesWereSeenAndKeepsAPagePassedInA) {
    auto model = LoadedModel();
    Bank& bank0 = model->RomBank[0];
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});
    Put(bank0, 0x0300, {0xCD, 0x90, 0xFF});
    Put(bank0, 0x0400, {0xE0, 0x46});  // the page comes in A: no LD A,nn in front
    Put(bank0, 0x0500, {0xCD, 0xA0, 0xFF});
    ScanRom(*model);
    EXPECT_EQ(model->DmaCallLow, 0x90);
    EXPECT_EQ(model->DmaSourceHigh, 0x00);
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
        auto model = LoadedModel(200);
        Bank& bank0 = model->RomBank[0];
        for (std::size_t at : starts) Put(bank0, at, {0x2A, 0x12, 0x13});
        ScanRom(*model);
        const auto hook = PositionAddress(model->CopyHookPos);
        for (std::size_t at : starts) {
            const bool header = at >= 0xFE && at <= 0x14F;
            EXPECT_EQ(HasAt(bank0, at, {0x2A, 0x12, 0x13}), header) << std::hex << at;
            EXPECT_EQ(HasAt(bank0, at, {0xCD, hook[0], hook[1]}), !header) << std::hex << at;
        }
    }
}

TEST(ScanRom, WithoutRoomTheFragmentsGoNearTheEndAndNeverOverlap) {
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
        EXPECT_TRUE(ScanRom(*model).notEnoughRoom) << c.name;
        struct Range {
            int position, length;
            std::uint8_t marker;
        } ranges[] = {{model->CopyTailPos, 38, 0x71}, {model->CopyHookPos, 32, 0xC1},
                      {model->EntryHookPos, 18, 0xE1}, {model->DmaHookPos, 14, 0xD1}};
        for (const Range& a : ranges) {
            EXPECT_GE(a.position, kBankSize - 400) << c.name;
            EXPECT_LE(a.position + a.length - 1, kBankSize - 1) << c.name;  // the last byte stays
            EXPECT_EQ(bank0[a.position - 1], a.marker) << c.name;          // intact where placed
            for (const Range& b : ranges)
                EXPECT_TRUE(&a == &b || a.position + a.length <= b.position || b.position + b.length <= a.position)
                    << c.name << ": " << a.position << " and " << b.position;
        }
    }
}

TEST(ScanRom, ReportsProgressUpToOneHundredThroughEachStep) {
    for (int freeBytes : {200, 0}) {
        auto model = LoadedModel(freeBytes);
        std::vector<int> values;
        ScanRom(*model, [&](int value) { values.push_back(value); });
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.front(), 1);
        EXPECT_EQ(values.back(), 100);
        auto at = values.begin();
        for (int milestone : {14, 29, 43, 57, 71, 85, 100}) {
            at = std::find(at, values.end(), milestone);
            ASSERT_NE(at, values.end()) << milestone << " with " << freeBytes << " free bytes";
        }
        if (freeBytes) {
            EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
        }
    }
}

TEST(FindFreeSpace, TakesTheHighestRunAndMarksItUsed) {
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
}

}  // namespace
}  // namespace dapplix
