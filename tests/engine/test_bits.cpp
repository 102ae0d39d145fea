// Bit strings, colour words and the 2bpp tile codec.
#include <gtest/gtest.h>

#include <random>

#include "engine/Bits.h"

namespace dapplix {
namespace {

// GetBits as first described, digit by digit: a weight starting at 512 and halved (1
// halves to 0), bits above the field removed first. The shift-and-mask version must agree.
std::string GetBitsByWeights(int value, int first, int count) {
    const int limit = 1 << (first + count - 1);
    int weight = 512;
    for (; limit < weight; weight = weight == 1 ? 0 : weight / 2)
        if (value >= weight) value -= weight;
    std::string digits;
    for (int i = 0; i < count; ++i, weight = weight == 1 ? 0 : weight / 2) {
        const bool one = value >= weight;
        if (one) value -= weight;
        digits += one ? '1' : '0';
    }
    return digits;
}

TileImage RandomTile(std::mt19937& random) {
    TileImage tile;
    for (auto& b : tile) b = static_cast<std::uint8_t>(random());
    return tile;
}

TEST(BitStrings, WorkedExamples) {
    struct Case {
        int value, first, count;
        const char* digits;
    } cases[] = {{0xB4, 0, 8, "10110100"}, {0x80, 7, 1, "1"},         {5, 0, 3, "101"},   {700, 8, 2, "10"},
                 {1023, 0, 10, "1111111111"}, {0x1FF, 0, 8, "11111111"}, {0, 0, 5, "00000"}, {-3, 0, 4, "0000"}};
    for (const Case& c : cases) EXPECT_EQ(GetBits(c.value, c.first, c.count), c.digits) << c.value;

    EXPECT_EQ(BinToInt(""), 0);
    EXPECT_EQ(BinToInt("0101"), 5);
    EXPECT_EQ(BinToInt("1x1"), 5);

    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(IntToBytes(0, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(IntToBytes(0x3FA8, 2), (Bytes{0x3F, 0xA8}));
    EXPECT_EQ(IntToBytes(74565, 2), (Bytes{0x01, 0x23, 0x45}));  // never cut
    EXPECT_EQ(IntToBytes(-1, 2), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));

    using Word = std::array<std::uint8_t, 2>;
    EXPECT_EQ(PackColor(31, 0, 0), (Word{0x00, 0x1F}));
    EXPECT_EQ(PackColor(0, 0, 31), (Word{0x7C, 0x00}));
    EXPECT_EQ(PackColor(23, 23, 31), (Word{0x7E, 0xF7}));
    EXPECT_EQ(PackColor(33, 0, 0), (Word{0x00, 0x01}));  // bits 5 and up are lost
}

TEST(BitStrings, MasksAgreeWithTheDigitDefinitionOnEveryValueAndField) {
    for (int value = 0; value <= 1023; ++value) {
        ASSERT_EQ(BinToInt(GetBits(value, 0, 10)), value);
        for (int first = 0; first <= 9; ++first)
            for (int count = 1; first + count <= 10; ++count)
                ASSERT_EQ(GetBits(value, first, count), GetBitsByWeights(value, first, count)) << value;
    }
}

TEST(TileCodec, DecodesBothPlanesMostSignificantBitFirst) {
    TileImage tile{};
    tile[0] = 0x3C;  // row 0: 0 2 3 3 3 3 2 0
    tile[1] = 0x7E;
    tile[2] = 0x80;  // row 1: colour 1 at the left, colour 2 at the right
    tile[3] = 0x01;
    const int row0[8] = {0, 2, 3, 3, 3, 3, 2, 0};
    const int row1[8] = {1, 0, 0, 0, 0, 0, 0, 2};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(TilePixel(tile, x, 0), row0[x]) << x;
        EXPECT_EQ(TilePixel(tile, x, 1), row1[x]) << x;
    }
    TileImage one{}, two{};
    SetTilePixel(one, 0, 0, 1);
    SetTilePixel(two, 0, 0, 2);
    EXPECT_EQ(one[0], 0x80);
    EXPECT_EQ(one[1], 0x00);
    EXPECT_EQ(two[0], 0x00);
    EXPECT_EQ(two[1], 0x80);
}

TEST(TileCodec, SetAndSwitchChangeOnlyThePixelsTheyName) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const TileImage before = RandomTile(random);
        const int x = static_cast<int>(random() % 8), y = static_cast<int>(random() % 8);
        const int value = static_cast<int>(random() % 4);
        const int a = static_cast<int>(random() % 4), b = static_cast<int>(random() % 4);
        TileImage set = before, switched = before;
        SetTilePixel(set, x, y, value);
        SwitchTilePixels(switched, a, b);
        for (int yy = 0; yy < 8; ++yy) {
            for (int xx = 0; xx < 8; ++xx) {
                const int old = TilePixel(before, xx, yy);
                ASSERT_EQ(TilePixel(set, xx, yy), (xx == x && yy == y) ? value : old);
                ASSERT_EQ(TilePixel(switched, xx, yy), old == a ? b : old == b ? a : old);
            }
        }
        SwitchTilePixels(switched, a, b);
        ASSERT_EQ(switched, before);  // the switch is its own inverse
    }
}

}  // namespace
}  // namespace dapplix
