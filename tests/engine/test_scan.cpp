// Preparing bank 0: free space, the DMA values, the redirections and the entry jump.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestRoms.h"
#include "engine/Rom.h"
#include "engine/Scan.h"

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

TEST(ScanRom, AFreeEndTakesTheFragmentsAndTheCallsLoopsAndEntryAreRedirected) {
    auto model = LoadedModel({.freeTail = 200});
    Bank& bank0 = model->RomBank[0];
    bank0[kBankSize - 150] = 0xFE;  // a mix of free bytes is one run
    bank0[kBankSize - 151] = 0x00;
    Put(bank0, 0x0200, {0xCD, 0x80, 0xFF});        // call before the DMA start
    Put(bank0, 0x1000, {0x3E, 0xC1, 0xE0, 0x46});  // LD A,$C1; LDH ($46),A
    Put(bank0, 0x2100, {0xCD, 0x81, 0xFF});        // another high-RAM routine
    Put(bank0, 0x0120, {0xCD, 0x80, 0xFF});        // inside the header: left alone
    for (std::size_t at : {0x0010, 0x00FD, 0x0130, 0x3000}) Put(bank0, at, {0x2A, 0x12, 0x13});
    std::vector<int> progress;
    EXPECT_FALSE(ScanRom(*model, [&](int value) { progress.push_back(value); }).notEnoughRoom);

    const std::pair<int, std::uint8_t> placed[] = {{16346, 0x71}, {16314, 0xC1}, {16296, 0xE1}, {16282, 0xD1}};
    EXPECT_EQ(model->CopyTailPos, placed[0].first);
    EXPECT_EQ(model->CopyHookPos, placed[1].first);
    EXPECT_EQ(model->EntryHookPos, placed[2].first);
    EXPECT_EQ(model->DmaHookPos, placed[3].first);
    for (const auto& [position, marker] : placed) EXPECT_EQ(bank0[position - 1], marker) << position;
    EXPECT_TRUE(HasAt(bank0, kBankSize - 1, {0xFF}));  // the bank's last byte is never used
    EXPECT_TRUE(HasAt(bank0, kColorFlag, {0xC0}) && HasAt(bank0, kRomSizeCode, {0x05}));
    EXPECT_TRUE(HasAt(bank0, 0x101, {0xC3, 0xA7, 0x3F}));     // JP EntryHook (address 16295)
    EXPECT_TRUE(HasAt(bank0, 16296 - 1 + 16, {0x50, 0x01}));  // ... which goes on to $0150
    EXPECT_TRUE(HasAt(bank0, 16314 - 1 + 26, {0xD9, 0x3F}));  // the copy hook knows its tail

    EXPECT_EQ(model->DmaSourceHigh, 0xC1);
    EXPECT_EQ(model->DmaCallLow, 0x80);
    EXPECT_TRUE(HasAt(model->ExtraBankCode, 0x103, {0x3E, 0xC1}));  // LD A,$C1
    EXPECT_EQ(model->ExtraBankCode[0x11B], 0x80);
    const auto dma = PositionAddress(model->DmaHookPos), copy = PositionAddress(model->CopyHookPos);
    EXPECT_TRUE(HasAt(bank0, 0x0200, {0xCD, dma[0], dma[1]}));
    EXPECT_TRUE(HasAt(bank0, 0x2100, {0xCD, 0x81, 0xFF}));
    EXPECT_TRUE(HasAt(bank0, 0x0120, {0xCD, 0x80, 0xFF}));
    for (std::size_t at : {0x0010, 0x00FD, 0x0130, 0x3000}) {
        const bool header = at >= 0xFE && at <= 0x14F;
        EXPECT_EQ(HasAt(bank0, at, {0xCD, copy[0], copy[1]}), !header) << std::hex << at;
    }
    EXPECT_EQ(progress.front(), kProgressStart);
    EXPECT_EQ(progress.back(), kProgressEnd);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(ScanRom, APagePassedInAAndTheNextRomOfTheRunGetsTheSideFilesInstructionBack) {
    auto model = LoadedModel();
    Put(model->RomBank[0], 0x0300, {0xCD, 0x90, 0xFF});
    Put(model->RomBank[0], 0x0400, {0xE0, 0x46});  // no LD A,nn in front
    Put(model->RomBank[0], 0x0500, {0xCD, 0xA0, 0xFF});
    ScanRom(*model);
    EXPECT_EQ(model->DmaCallLow, 0x90);  // the last call before both sequences were seen
    EXPECT_TRUE(HasAt(model->ExtraBankCode, 0x103, {0x67, 0x00}));  // LD H,A

    ASSERT_TRUE(LoadRomBytes(*model, MakeRom()).ok);
    Put(model->RomBank[0], 0x0800, {0x3E, 0xC3, 0xE0, 0x46});
    ScanRom(*model);
    EXPECT_TRUE(HasAt(model->ExtraBankCode, 0x103, {0x3E, 0xC3}));
}

TEST(ScanRom, WithoutRoomTheFragmentsGoNearTheEndAndNeverOverlap) {
    for (const auto& [from, to] : {std::pair{0, 0}, {16320, 16358}, {16000, 16013}}) {
        auto model = LoadedModel();
        std::fill(model->RomBank[0].begin() + from, model->RomBank[0].begin() + to, 0xFF);
        EXPECT_TRUE(ScanRom(*model).notEnoughRoom) << from;
        const std::pair<int, int> ranges[] = {{model->CopyTailPos, 38}, {model->CopyHookPos, 32},
                                              {model->EntryHookPos, 18}, {model->DmaHookPos, 14}};
        for (const auto& a : ranges) {
            EXPECT_GE(a.first, kBankSize - 400) << from;
            EXPECT_LE(a.first + a.second, kBankSize) << from;  // the last byte stays
            for (const auto& b : ranges)
                EXPECT_TRUE(&a == &b || a.first + a.second <= b.first || b.first + b.second <= a.first) << from;
        }
    }
}

}  // namespace
}  // namespace dapplix
