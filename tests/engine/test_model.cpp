// The data model's whole-table routines, the tile display rule and the commit rule.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/Binary.h"

namespace dapplix {
namespace {

using testing::MakeModel;

TEST(ClearTileAttrs, ClearsOnlyTheLoadedBanksAndLeavesImagesOffsetsAndColours) {
    auto model = MakeModel();
    model->BankCount = 3;
    for (int bank : {0, 3, 4}) {
        model->TilePal[bank][7] = 5;
        model->TileEdited[bank][7] = true;
        model->EditedTile[bank][7].fill(0xAA);
        model->TileOffset[bank] = 9;
    }
    const auto colours = model->Pals;
    ClearTileAttrs(*model);
    EXPECT_EQ(model->TilePal[3][7], 0);
    EXPECT_FALSE(model->TileEdited[0][7]);
    EXPECT_EQ(model->TilePal[4][7], 5);  // above BankCount
    EXPECT_TRUE(model->TileEdited[4][7]);
    EXPECT_EQ(model->EditedTile[3][7][0], 0xAA);
    EXPECT_EQ(model->TileOffset[3], 9);
    EXPECT_EQ(model->Pals, colours);
}

TEST(CountBankRecords, CountsPalettesAndEditsButNotStaleImages) {
    auto model = MakeModel();
    model->TileEdited[2][0] = true;   // edited, palette 0
    model->TilePal[2][1] = 5;         // palette, not edited
    model->TilePal[2][2] = 3;         // both
    model->TileEdited[2][2] = true;
    model->EditedTile[2][3].fill(1);  // an old image of a tile no longer edited
    EXPECT_EQ(CountBankRecords(*model, 2), 3);
    for (auto& pal : model->TilePal[5]) pal = 7;
    EXPECT_EQ(CountBankRecords(*model, 5), 1024);
}

TEST(TileBytes, OffsetShiftsTheGridAndTheLastTileOfAShiftedBankIsBlank) {
    auto model = MakeModel();
    for (int i = 0; i < kBankSize; ++i) model->RomBank[2][i] = static_cast<std::uint8_t>(i * 7 + 1);
    model->TileOffset[2] = 3;
    const TileImage tile = RomTileBytes(*model, 2, 293);  // page 1, column 5, row 2
    for (int i = 0; i < kTileBytes; ++i) EXPECT_EQ(tile[i], model->RomBank[2][4691 + i]);

    model->TileEdited[2][1023] = true;
    model->EditedTile[2][1023].fill(0xFF);
    EXPECT_TRUE(TileAbsent(*model, 2, 1023));
    EXPECT_EQ(DisplayTile(*model, 2, 1023), TileImage{});  // absent wins over edited
    model->TileOffset[2] = 0;
    EXPECT_EQ(DisplayTile(*model, 2, 1023), model->EditedTile[2][1023]);
    model->TileEdited[2][1023] = false;
    EXPECT_EQ(DisplayTile(*model, 2, 1023)[15], model->RomBank[2][16383]);
}

TEST(CommitTileImage, MarksOnlyImagesThatDifferFromTheRom) {
    auto model = MakeModel();
    model->RomBank[2].fill(0x42);
    TileImage image = RomTileBytes(*model, 2, 10);
    image[4] ^= 0x10;
    ASSERT_TRUE(CommitTileImage(*model, 2, 10, image));
    EXPECT_TRUE(model->TileEdited[2][10]);
    EXPECT_EQ(model->EditedTile[2][10], image);

    // Painted back to the ROM state: no longer edited; the stored image is left alone.
    ASSERT_TRUE(CommitTileImage(*model, 2, 10, RomTileBytes(*model, 2, 10)));
    EXPECT_FALSE(model->TileEdited[2][10]);
    EXPECT_EQ(model->EditedTile[2][10], image);

    model->TileOffset[2] = 4;
    EXPECT_FALSE(CommitTileImage(*model, 2, 1023, image));
    EXPECT_FALSE(model->TileEdited[2][1023]);
}

}  // namespace
}  // namespace dapplix
