// The 64-bank colour ROM: layout, palette area, tables, redrawn tiles and checksums.
#include <gtest/gtest.h>

#include <random>

#include "TestRoms.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/SideFileLayout.h"
#include "engine/TileDictionary.h"
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
    CommitTileImage(*model, 3, 41, image);  // the image with palette 2 as well: a tie, 2 wins
    model->TilePal[3][41] = 2;
    const Bytes rom = BuildColorRom(*model);
    ASSERT_EQ(rom.size(), kColorRomSize);

    for (std::size_t i = 0; i < 3 * std::size_t(kBankSize); ++i) {
        if (i >= kHeaderChecksum && i <= kGlobalChecksum + 1) continue;  // the checksums are recomputed
        ASSERT_EQ(rom[i], model->RomBank[i / kBankSize][i % kBankSize]) << i;
    }
    EXPECT_TRUE(std::equal(image.begin(), image.end(), rom.begin() + 3 * kBankSize + 40 * 16 + 1));
    EXPECT_EQ(rom[4 * kBankSize - 1], model->RomBank[3][16383]);
    EXPECT_EQ(NonZero(rom, 4, std::size_t(28) * kBankSize), 0u);  // banks 4..31
    // Bank 32: the dictionary of the tiles with a palette (three images: two in bank 3 share theirs).
    const TileDictionary dictionary = BuildTileDictionary(*model);
    EXPECT_EQ(dictionary.entries, 2);
    EXPECT_TRUE(std::equal(dictionary.image.begin(), dictionary.image.end(), rom.begin() + 32 * kBankSize));
    EXPECT_EQ(NonZero(rom, 32, kBankSize), NonZero(dictionary.image, 0, dictionary.image.size()));
    // Bank 33: the colour code, its settings filled in, then zeros.
    EXPECT_TRUE(std::equal(model->ExtraBankCode.begin(), model->ExtraBankCode.end(), rom.begin() + 33 * kBankSize));
    const auto settings = model->ExtraBankCode.begin();  // palettes 0, 1, 2 and 6 (bank 5 is not loaded), one part
    EXPECT_EQ(std::tuple(settings[sidefile::kSettingPalettesUsed], settings[sidefile::kSettingDictionaryParts]),
              std::tuple(0b01000111, 1));
    EXPECT_EQ(NonZero(rom, 33, kBankSize) - NonZero(rom, 33, sidefile::kColourCodeLimit), 0u);
    // Palette area: background word then sprite word for each colour, low byte first.
    const auto area = rom.begin() + 33 * kBankSize;
    EXPECT_EQ(Bytes(area, area + 4), (Bytes{0xFF, 0x7F, 0xFF, 0x7F}));
    EXPECT_EQ(Bytes(area + 88, area + 92), (Bytes{0x1F, 0x00, 0x00, 0x7C}));
    // Tables, in bank b + 32: at every run of 16 bytes of a loaded bank, what the look-up of
    // those bytes finds (bit 7 set): the tile given 6 shows the tie's 2 as its look-up would,
    // and so do runs off the grid within the two tiles; nothing for a bank the ROM does not
    // have, nor for the last 15 bytes; the mark at every table's end.
    const auto entry = [&rom](int bank, int at) { return rom[std::size_t(bank + kPaletteTableBankBase) * kBankSize + std::size_t(at)]; };
    EXPECT_EQ((std::array{entry(2, 0), entry(3, 40 * 16 + 1), entry(3, 41 * 16 + 1), entry(3, 40 * 16 + 9), entry(5, 10 * 16 + 4)}),
              (std::array<std::uint8_t, 5>{kTableKnown | 1, kTableKnown | 2, kTableKnown | 2, kTableKnown | 2, 0}));
    for (int at = 0; at < kBankSize - 1; ++at) {
        const std::uint8_t* bytes = rom.data() + 2 * std::size_t(kBankSize) + std::size_t(at);
        const int expected = at + kTileBytes <= kBankSize ? kTableKnown | LookUpTile(dictionary, bytes) : 0;
        ASSERT_EQ(entry(2, at), expected) << at;
    }
    for (int table = 34; table < kColorRomBanks; ++table) EXPECT_EQ(rom[(table + 1) * kBankSize - 1], kPaletteTableMark);
    EXPECT_EQ(NonZero(rom, 34, std::size_t(30) * kBankSize), 2u * (kBankSize - kTileBytes + 1) + 30u);
    EXPECT_TRUE(ChecksumsHold(rom));
    EXPECT_EQ(BuildColorRom(*model), rom);  // writing twice gives the same file
}

// OBP1's twin palettes take those no tile uses; without palettes the copy loops are left alone.
TEST(BuildColorRom, TwinsTakeFreePalettesAndCopyLoopsWithoutPalettesAreLeftAlone) {
    auto model = LoadedModel({.freeTail = 529});
    const Bytes loop = {0x2A, 0x12, 0x13, 0x05, 0x20, 0xFA};  // a copy loop
    const Bytes store = {0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA, 0x7E, 0x02, 0xC9};  // a STAT-waited store
    const Bytes wait = {0x76, 0x00, 0xFA, 0xF2, 0xC0, 0xA7, 0x28, 0xF8};  // a wait for the blank's flag
    const Bytes pairs = {0x2A, 0x12, 0x13, 0x2A, 0x12, 0x13, 0x0D, 0x20, 0xF7, 0x05, 0x20, 0xF4, 0xC9};  // GBDK's memcpy loop
    const std::pair<Bytes, int> pieces[] = {{loop, 0x2000}, {store, 0x2100}, {wait, 0x2200}, {pairs, 0x2300}};
    for (const auto& [bytes, at] : pieces) std::copy(bytes.begin(), bytes.end(), model->RomBank[0].begin() + at);
    ScanRom(*model);
    const auto hook = PositionAddress(model->CopyHookPos);
    const Bytes plain = BuildColorRom(*model);
    for (const auto& [bytes, at] : pieces)
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), plain.begin() + at)) << std::hex << at;
    EXPECT_EQ(model->ExtraBankCode[sidefile::kSettingTwins + 0], 1);  // only palette 0 is in use

    model->TilePal[2][0] = 2;
    model->TilePal[2][1] = 3;
    const Bytes coloured = BuildColorRom(*model);
    EXPECT_TRUE(std::equal(coloured.begin() + 0x2000, coloured.begin() + 0x2003, Bytes{0xCD, hook[0], hook[1]}.begin()));
    EXPECT_EQ(coloured[0x2106] << 8 | coloured[0x2200], 0xC3CD);  // JP to the store hook, CALL IdleHalt
    const auto pairHook = PositionAddress(model->DmaHookPos - sidefile::kDmaHookInBlock + sidefile::kCopyHookPairInBlock);
    EXPECT_TRUE(std::equal(coloured.begin() + 0x2300, coloured.begin() + 0x2306, Bytes{0xCD, pairHook[0], pairHook[1], 0xCD, hook[0], hook[1]}.begin()));
    const Bytes twins(model->ExtraBankCode.begin() + sidefile::kSettingTwins, model->ExtraBankCode.begin() + sidefile::kSettingTwins + 8);
    EXPECT_EQ(twins, (Bytes{1, 1, 4, 5, 4, 5, 6, 7}));  // 0, 2, 3 in use take 1, 4, 5; the rest stay themselves
}

// Equal tile bytes with several palettes: the majority, a tie to the lower number; tiles
// without a palette do not vote.
TEST(TileDictionary, RecordsEachImageOnceWithTheMajorityPalette) {
    auto model = LoadedModel({.freeTail = 200});
    TileImage blank{}, border{}, other{};
    border.fill(0x81);
    other.fill(0x3C);
    const struct Placed {
        int bank, tile, palette;
        const TileImage* image;
    } placed[] = {{0, 1, 2, &blank}, {2, 7, 2, &blank}, {3, 9, 5, &blank}, {1, 4, 0, &blank},  // 2 wins 2:1
                  {2, 20, 6, &border}, {3, 30, 4, &border},                                   // a tie: 4
                  {3, 40, 7, &other}};
    for (const Placed& p : placed) {
        CommitTileImage(*model, p.bank, p.tile, *p.image);
        model->TilePal[p.bank][p.tile] = static_cast<std::int16_t>(p.palette);
    }
    const auto tiles = CollectDictionaryTiles(*model);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_TRUE(tiles[0].ambiguous && tiles[1].ambiguous && !tiles[2].ambiguous);
    EXPECT_EQ(std::pair(tiles[0].firstBank, tiles[0].tiles), std::pair(0, 3));
    const TileDictionary dictionary = BuildTileDictionary(*model);
    EXPECT_EQ(std::tuple(dictionary.parts, dictionary.entries, dictionary.ambiguous), std::tuple(1, 3, 2));
    const std::pair<const TileImage*, int> expected[] = {{&blank, 2}, {&border, 4}, {&other, 7}};
    for (const auto& [image, palette] : expected) EXPECT_EQ(LookUpTile(dictionary, image->data()), palette);
    TileImage unknown{};
    unknown[15] = 1;
    EXPECT_EQ(LookUpTile(dictionary, unknown.data()), 0);
    EXPECT_EQ(BuildTileDictionary(*LoadedModel()).parts, 0);  // no palettes, no dictionary
}

// The colour code the scan puts at the end of bank 0 is not a picture the game shows: a tile
// over it goes into the dictionary as the ROM file has it (so that the dictionary does not
// change with the code either).
TEST(TileDictionary, TakesTheRomFilesBytesWhereTheScanPlacedCode) {
    auto model = LoadedModel({.freeTail = 529});
    ScanRom(*model);
    const int last = kTilesPerBank - 1;
    TileImage free{};
    free.fill(0xFF);
    ASSERT_NE(RomTileBytes(*model, 0, last), free) << "the code is not over the last tile";
    model->TilePal[0][last] = 3;
    const auto tiles = CollectDictionaryTiles(*model);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].image, free);
}

// A bigger project takes more parts; past four parts the rest is left out and counted.
TEST(TileDictionary, GrowsByPartsAndFindsEveryImageItHolds) {
    auto model = LoadedModel({.banks = 16, .freeTail = 200});
    for (int tile = 0; tile < 2000; ++tile) model->TilePal[2 + tile / kTilesPerBank][tile % kTilesPerBank] = std::int16_t(1 + tile % 7);
    const TileDictionary two = BuildTileDictionary(*model);
    EXPECT_EQ(std::pair(two.parts, two.entries + two.leftOut), std::pair(2, 2000));
    EXPECT_LE(two.leftOut, 2);  // images whose 25 bits of hash another image already took
    int wrong = 0;
    for (const DictionaryTile& tile : CollectDictionaryTiles(*model)) wrong += LookUpTile(two, tile.image.data()) != tile.palette;
    EXPECT_LE(wrong, two.leftOut);

    for (int bank = 2; bank < 16; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile) model->TilePal[bank][tile] = std::int16_t(1 + (bank + tile) % 7);
    const TileDictionary full = BuildTileDictionary(*model);
    EXPECT_EQ(std::pair(full.parts, full.entries + full.leftOut), std::pair(kDictionaryMaxParts, 14 * kTilesPerBank));
    EXPECT_LE(full.entries, kDictionaryMaxParts * kDictionaryEntriesPerPart);
}

// The runtime pays for every slot a lookup reads, and most of its lookups are of tiles the
// dictionary does not hold (built by the game, or never given a palette) or of the blank
// tile. In a dictionary filled to its limit, an absent image is turned away within a few
// slots on average, not at the end of its run of full slots, and the blank tile is found
// at once.
TEST(TileDictionary, TurnsAbsentImagesAwaySoonAndFindsTheBlankTileFirst) {
    auto model = LoadedModel({.banks = 16, .freeTail = 200});
    for (int bank = 2; bank < 16; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile) model->TilePal[bank][tile] = std::int16_t(1 + (bank + tile) % 7);
    CommitTileImage(*model, 2, 0, TileImage{});
    const TileDictionary full = BuildTileDictionary(*model);
    ASSERT_EQ(full.parts, kDictionaryMaxParts);
    std::mt19937 random(11);
    double absent = 0, held = 0;
    constexpr int kTries = 2000;
    for (int i = 0; i < kTries; ++i) {
        TileImage image{};
        for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
        absent += LookUpSlots(full, image.data());
    }
    const auto tiles = CollectDictionaryTiles(*model);
    for (const DictionaryTile& tile : tiles) held += LookUpSlots(full, tile.image.data());
    EXPECT_LT(absent / kTries, 4.0);
    EXPECT_LT(held / double(tiles.size()), 4.0);
    EXPECT_EQ(std::pair(LookUpTile(full, TileImage{}.data()), LookUpSlots(full, TileImage{}.data())), std::pair(1 + 2 % 7, 1));
}

}  // namespace
}  // namespace dapplix
