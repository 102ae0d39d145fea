// The search behind "find this tile" and the coverage of tiles seen in play.
#include <gtest/gtest.h>

#include <memory>

#include "engine/TileSearch.h"

namespace dapplix {
namespace {

TileImage Pattern(int seed) {
    TileImage image{};
    for (int i = 0; i < kTileBytes; ++i) image[i] = static_cast<std::uint8_t>(seed * 37 + i * 11 + 1);
    return image;
}

TEST(FindTileInRom, FindsEveryPlaceAtEveryOffsetWithinOneBankOverlapsToo) {
    std::vector<std::uint8_t> rom(5 * kBankSize, 0);
    const TileImage tile = Pattern(1);
    // The fourth runs into the next bank.
    for (std::size_t at : {0ul, kBankSize + 3ul, 2 * kBankSize + 16 * 300 + 15ul, 3 * kBankSize - 8ul, 4 * kBankSize - 16ul})
        std::copy(tile.begin(), tile.end(), rom.begin() + std::ptrdiff_t(at));
    const std::vector<TileMatch> expected{{0, 0, 0}, {1, 3, 0}, {2, 15, 300}, {3, 0, 1023}};
    EXPECT_EQ(FindTileInRom(rom.data(), rom.size(), tile.data()), expected);
    EXPECT_EQ(expected[2].Page(), 1);
    EXPECT_TRUE(FindTileInRom(rom.data(), rom.size(), Pattern(2).data()).empty());
    // Sixteen equal bytes in a run of twenty start a match at five places.
    std::fill(rom.begin() + 4 * kBankSize + 100, rom.begin() + 4 * kBankSize + 120, 0x42);
    TileImage flat;
    flat.fill(0x42);
    EXPECT_EQ(FindTileInRom(rom.data(), rom.size(), flat.data()),
              (std::vector<TileMatch>{{4, 4, 6}, {4, 5, 6}, {4, 6, 6}, {4, 7, 6}, {4, 8, 6}}));
}

TEST(FindTileInModel, RedrawnTilesMatchByTheirImageAndNoLongerByTheirRomBytes) {
    auto model = std::make_unique<Model>();
    model->BankCount = 3;
    model->TileOffset[2] = 4;
    const TileImage rom = Pattern(3), redrawn = Pattern(4);
    std::copy(rom.begin(), rom.end(), model->RomBank[2].begin() + 4 + 16 * 10);  // tile 10 at offset 4
    std::copy(rom.begin(), rom.end(), model->RomBank[3].begin() + 16 * 7);      // tile 7 at offset 0
    EXPECT_EQ(FindTileInModel(*model, rom.data()), (std::vector<TileMatch>{{2, 4, 10}, {3, 0, 7}}));

    model->TileEdited[2][10] = true;
    model->EditedTile[2][10] = redrawn;
    EXPECT_EQ(FindTileInModel(*model, rom.data()), (std::vector<TileMatch>{{3, 0, 7}}));
    EXPECT_EQ(FindTileInModel(*model, redrawn.data()), (std::vector<TileMatch>{{2, 4, 10, true}}));

    // The last tile of a shifted bank is no tile: its redrawn image is never offered.
    model->TileEdited[2][kLastTile] = true;
    model->EditedTile[2][kLastTile] = Pattern(5);
    EXPECT_TRUE(FindTileInModel(*model, Pattern(5).data()).empty());
    // Banks past the loaded ones are not searched.
    std::copy(rom.begin(), rom.end(), model->RomBank[4].begin());
    EXPECT_EQ(FindTileInModel(*model, rom.data()).size(), 1u);
    // The first match the tile view shows skips the banks it does not show.
    const std::vector<TileMatch> matches = {{0, 0, 1}, {1, 2, 3}, {5, 0, 9}, {6, 1, 2}};
    EXPECT_EQ((std::array{FirstShownMatch(matches, 2, 31), FirstShownMatch(matches, 0, 31), FirstShownMatch(matches, 7, 31),
                           FirstShownMatch({}, 2, 31)}), (std::array{2, 0, -1, -1}));
}

TEST(TileCoverage, RecordsEachImageOnceGivesThemBackAndMarksTilesThatStillNeedAPalette) {
    TileCoverage coverage;
    std::vector<TileImage> images;
    for (int seed = 10; seed < 60; ++seed) images.push_back(Pattern(seed));
    for (const auto& image : images) EXPECT_TRUE(coverage.Add(image.data()));
    for (const auto& image : images) EXPECT_FALSE(coverage.Add(image.data()));
    EXPECT_EQ(coverage.Count(), images.size());
    TileImage other = images[0];
    other[15] ^= 1;  // one bit in the last byte makes another tile
    EXPECT_FALSE(coverage.Seen(other));
    auto back = coverage.Images();
    std::sort(back.begin(), back.end());
    std::sort(images.begin(), images.end());
    EXPECT_EQ(back, images);
    coverage.Clear();
    EXPECT_FALSE(coverage.Seen(images[0]));
    // Seen tiles that still need a palette are marked.
    auto model = std::make_unique<Model>();
    model->BankCount = 2;
    const TileImage a = Pattern(6), b = Pattern(7);
    std::copy(a.begin(), a.end(), model->RomBank[2].begin());           // tile 0
    std::copy(a.begin(), a.end(), model->RomBank[2].begin() + 16);      // tile 1, same bytes
    std::copy(b.begin(), b.end(), model->RomBank[2].begin() + 32);      // tile 2
    coverage.Add(a.data());
    model->TilePal[2][1] = 3;
    EXPECT_TRUE(SeenWithoutPalette(*model, coverage, 2, 0));
    EXPECT_FALSE(SeenWithoutPalette(*model, coverage, 2, 1));  // coloured already
    EXPECT_FALSE(SeenWithoutPalette(*model, coverage, 2, 2));  // never on screen
    model->TileEdited[2][2] = true;  // a redrawn tile is seen as it is drawn now
    model->EditedTile[2][2] = a;
    EXPECT_TRUE(SeenWithoutPalette(*model, coverage, 2, 2));
    EXPECT_FALSE(SeenWithoutPalette(*model, coverage, 3, 0));  // no such bank
}

}  // namespace
}  // namespace dapplix
