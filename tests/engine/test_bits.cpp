// Bit strings, colour words and the 2bpp tile codec.
#include <gtest/gtest.h>

#include <random>

#include "engine/Bits.h"

namespace dapplix {
namespace {

// The digit-by-digit definition of GetBits: a weight starting at 512, halved (ties to
// even, so 1 halves to 0), bits above the field removed first.
std::string GetBitsByWeights(int value, int first, int count) {
    const auto halve = [](int w) { return (w == 1) ? 0 : w / 2; };
    const int top = first + count - 1;
    const int limit = 1 << top;
    int weight = 512;
    while (limit < weight) {
        if (value >= weight) value -= weight;
        weight = halve(weight);
    }
    std::string digits;
    for (int i = 0; i < count; ++i) {
        if (value < weight) {
            digits += '0';
        } else {
            value -= weight;
            digits += '1';
        }
        weight = halve(weight);
    }
    return digits;
}

TEST(GetBits, WorkedExamples) {
    struct Case {
        int value, first, count;
        const char* digits;
    } cases[] = {
        {0xB4, 0, 8, "10110100"}, {0x80, 7, 1, "1"},       {5, 0, 3, "101"},
        {700, 8, 2, "10"},        {255, 0, 8, "11111111"}, {1023, 0, 10, "1111111111"},
        {0, 0, 5, "00000"},       {0x1FF, 0, 8, "11111111"}, {-3, 0, 4, "0000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetBits(c.value, c.first, c.count), c.digits) << c.value << " " << c.first << " " << c.count;
}

TEST(GetBits, AgreesWithTheWeightDefinitionOnEveryValueAndField) {
    for (int value = 0; value <= 1023; ++value)
        for (int first = 0; first <= 9; ++first)
            for (int count = 1; first + count - 1 <= 9; ++count)
                ASSERT_EQ(GetBits(value, first, count), GetBitsByWeights(value, first, count))
                    << value << " " << first << " " << count;
}

TEST(BinToInt, DigitsAndOtherCharacters) {
    EXPECT_EQ(BinToInt(""), 0);
    EXPECT_EQ(BinToInt("0101"), 5);
    EXPECT_EQ(BinToInt("11111"), 31);
    EXPECT_EQ(BinToInt("1x1"), 5);
    for (int value = 0; value <= 1023; ++value) ASSERT_EQ(BinToInt(GetBits(value, 0, 10)), value);
}

TEST(IntToBytes, PadsButNeverCuts) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(IntToBytes(0, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(IntToBytes(0x123, 2), (Bytes{0x01, 0x23}));
    EXPECT_EQ(IntToBytes(0x3FA8, 2), (Bytes{0x3F, 0xA8}));
    EXPECT_EQ(IntToBytes(74565, 2), (Bytes{0x01, 0x23, 0x45}));
    EXPECT_EQ(IntToBytes(7, 0), (Bytes{0x07}));
    EXPECT_EQ(IntToBytes(-1, 2), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(PackColor, HighByteFirstAndFiveBitsPerComponent) {
    using Word = std::array<std::uint8_t, 2>;
    EXPECT_EQ(PackColor(31, 0, 0), (Word{0x00, 0x1F}));
    EXPECT_EQ(PackColor(0, 0, 31), (Word{0x7C, 0x00}));
    EXPECT_EQ(PackColor(31, 31, 31), (Word{0x7F, 0xFF}));
    EXPECT_EQ(PackColor(23, 23, 31), (Word{0x7E, 0xF7}));
    EXPECT_EQ(PackColor(32 + 1, 0, 0), (Word{0x00, 0x01}));  // bit 5 and up are lost
    for (int r = 0; r < 32; r += 5)
        for (int g = 0; g < 32; g += 3)
            for (int b = 0; b < 32; b += 7) {
                const auto word = PackColor(r, g, b);
                EXPECT_EQ(BinToInt("0" + GetBits(b, 0, 5) + GetBits(g, 0, 5) + GetBits(r, 0, 5)),
                          word[0] * 256 + word[1]);
            }
}

TEST(TileCodec, DecodesRowsFromBothPlanes) {
    TileImage tile{};
    tile[0] = 0x3C;
    tile[1] = 0x7E;
    const int expected[8] = {0, 2, 3, 3, 3, 3, 2, 0};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(TilePixel(tile, x, 0), expected[x]) << x;

    tile[2] = 0x80;  // row 1: colour 1 at the left, colour 2 at the right
    tile[3] = 0x01;
    EXPECT_EQ(TilePixel(tile, 0, 1), 1);
    EXPECT_EQ(TilePixel(tile, 7, 1), 2);
    for (int x = 1; x < 7; ++x) EXPECT_EQ(TilePixel(tile, x, 1), 0);
}

TEST(TileCodec, SettingAPixelTouchesOnlyItsTwoBits) {
    TileImage tile{};
    SetTilePixel(tile, 0, 0, 1);
    EXPECT_EQ(tile[0], 0x80);
    EXPECT_EQ(tile[1], 0x00);
    tile = {};
    SetTilePixel(tile, 0, 0, 2);
    EXPECT_EQ(tile[0], 0x00);
    EXPECT_EQ(tile[1], 0x80);

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        TileImage image;
        for (auto& b : image) b = static_cast<std::uint8_t>(random());
        const TileImage before = image;
        const int x = static_cast<int>(random() % 8), y = static_cast<int>(random() % 8);
        const int value = static_cast<int>(random() % 4);
        SetTilePixel(image, x, y, value);
        ASSERT_EQ(TilePixel(image, x, y), value);
        for (int yy = 0; yy < 8; ++yy)
            for (int xx = 0; xx < 8; ++xx) {
                if (xx == x && yy == y) continue;
                ASSERT_EQ(TilePixel(image, xx, yy), TilePixel(before, xx, yy));
            }
    }
}

TEST(TileCodec, DecodeThenEncodeGivesTheTileBack) {
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        TileImage image;
        for (auto& b : image) b = static_cast<std::uint8_t>(random());
        TileImage rebuilt{};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) SetTilePixel(rebuilt, x, y, TilePixel(image, x, y));
        ASSERT_EQ(rebuilt, image);
    }
}

TEST(TileCodec, SwitchExchangesTwoValuesAndIsItsOwnInverse) {
    std::mt19937 random(3);
    for (int round = 0; round < 50; ++round) {
        TileImage image;
        for (auto& b : image) b = static_cast<std::uint8_t>(random());
        const int a = static_cast<int>(random() % 4), b = static_cast<int>(random() % 4);
        TileImage switched = image;
        SwitchTilePixels(switched, a, b);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int before = TilePixel(image, x, y);
                const int want = before == a ? b : before == b ? a : before;
                ASSERT_EQ(TilePixel(switched, x, y), want);
            }
        SwitchTilePixels(switched, a, b);
        ASSERT_EQ(switched, image);
    }
}

}  // namespace
}  // namespace dapplix
