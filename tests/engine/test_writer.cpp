// The 64-bank colour ROM: layout, palette area, tables, redrawn tiles and checksums.
#include <gtest/gtest.h>

#include "TestRoms.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/Writer.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

std::size_t NonZero(const Bytes& rom, int firstBank, std::size_t length) {
    const auto from = rom.begin() + std::ptrdiff_t(firstBank) * kBankSize;
    return std::size_t(std::count_if(from, from + std::ptrdiff_t(length), [](std::uint8_t b) { return b != 0; }));
}

TEST(BuildColorRom, LaysOutBanksPalettesTablesRedrawnTilesAndChecksums) {
    auto model = LoadedModel({.freeTail = 200});
    ScanRom(*model);
    model->TilePal[2][0] = 1;
    model->TilePal[5][10] = 3;  // a bank the ROM does not have still gets its table
    model->TileOffset[5] = 4;
    model->Pals[kBackgroundSet][5][2] = {31, 0, 0};
    model->Pals[kSpriteSet][5][2] = {0, 0, 31};
    TileImage image;
    image.fill(0xA5);
    for (int tile : {40, 1023}) {
        CommitTileImage(*model, 3, tile, image);
        model->TilePal[3][tile] = 6;
    }
    model->TileOffset[3] = 1;  // tile 1023 would need byte 16384: neither image nor palette goes out
    const Bytes rom = BuildColorRom(*model);
    ASSERT_EQ(rom.size(), kColorRomSize);

    for (std::size_t i = 0; i < 3 * std::size_t(kBankSize); ++i) {
        if (i >= kHeaderChecksum && i <= kGlobalChecksum + 1) continue;  // the checksums are recomputed
        ASSERT_EQ(rom[i], model->RomBank[i / kBankSize][i % kBankSize]) << i;
    }
    EXPECT_TRUE(std::equal(image.begin(), image.end(), rom.begin() + 3 * kBankSize + 40 * 16 + 1));
    EXPECT_EQ(rom[4 * kBankSize - 1], model->RomBank[3][16383]);
    EXPECT_EQ(NonZero(rom, 4, std::size_t(29) * kBankSize), 0u);  // banks 4..32
    EXPECT_TRUE(std::equal(model->ExtraBankCode.begin(), model->ExtraBankCode.end(), rom.begin() + 33 * kBankSize));
    // Palette area: background word then sprite word for each colour, low byte first.
    const auto area = rom.begin() + 33 * kBankSize;
    EXPECT_EQ(Bytes(area, area + 4), (Bytes{0xFF, 0x7F, 0xF7, 0x7E}));
    EXPECT_EQ(Bytes(area + 88, area + 92), (Bytes{0x1F, 0x00, 0x00, 0x7C}));
    // Tables: a tile's palette at the offset of its first byte, in bank b + 32.
    EXPECT_EQ(rom[34 * kBankSize], 1);
    EXPECT_EQ(rom[35 * kBankSize + 40 * 16 + 1], 6);
    EXPECT_EQ(rom[37 * kBankSize + 10 * 16 + 4], 3);
    EXPECT_EQ(NonZero(rom, 34, std::size_t(30) * kBankSize), 3u);

    unsigned headerSum = rom[kHeaderChecksum];  // the boot ROM's rule: all adds up to 0
    for (std::size_t i = kTitle; i < kHeaderChecksum; ++i) headerSum += rom[i] + 1u;
    EXPECT_EQ(headerSum % 256, 0u);
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < rom.size(); ++i) total += (i == kGlobalChecksum || i == kGlobalChecksum + 1) ? 0 : rom[i];
    EXPECT_EQ(rom[kGlobalChecksum] * 256 + rom[kGlobalChecksum + 1], total & 0xFFFF);
    EXPECT_EQ(BuildColorRom(*model), rom);  // writing twice gives the same file
}

}  // namespace
}  // namespace dapplix
