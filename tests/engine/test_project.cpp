// The project file: its bytes, the round trip, full banks and files that lie.
#include <gtest/gtest.h>

#include "TestRoms.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

const Bytes kHeader{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3};

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
    return Bytes(bytes.begin() + std::ptrdiff_t(from), bytes.begin() + std::ptrdiff_t(from + length));
}

TEST(EncodeGbp, WritesHeaderBankHeadersRecordsAndColours) {
    auto model = MakeModel();
    model->BankCount = 2;
    model->TileOffset[1] = model->TileOffset[2] = 5;
    for (int tile = 100; tile < 397; ++tile) model->TilePal[2][tile] = 1;
    model->TilePal[2][5] = 7;
    model->TilePal[2][513] = 3;
    model->TileEdited[2][513] = model->TileEdited[2][2] = true;
    model->EditedTile[2][513].fill(0x3C);
    model->EditedTile[2][2].fill(0x81);
    const Bytes bytes = ProjectBytes(*model);
    Bytes start = kHeader;
    start.insert(start.end(), {2, 0x00, 0x00, 0x14, 0x00, 0x15, 0x2C, 0xC0, 0x02, 0x81});  // offset 5, 300 records
    EXPECT_EQ(Slice(bytes, 0, start.size()), start);
    EXPECT_EQ(Slice(bytes, 36, 2), (Bytes{0xB8, 0x05}));                            // palette 7
    EXPECT_EQ(Slice(bytes, bytes.size() - 128 - 18, 3), (Bytes{0xDA, 0x01, 0x3C}));  // edited, palette 3
    for (std::size_t set : {128, 64})  // both sets of the default palettes
        EXPECT_EQ(Slice(bytes, bytes.size() - set, 8), (Bytes{0x7F, 0xFF, 0x52, 0x94, 0x25, 0x29, 0x00, 0x00})) << set;
    model->BankCount = 0;
    model->TileOffset[0] = 6;
    model->TilePal[0].fill(2);  // 1024 records: the full-bank flag, count bits 0
    EXPECT_EQ(Slice(ProjectBytes(*model), 12, 2), (Bytes{0x40 | 6 << 2, 0}));
}

TEST(LoadGbp, SaveThenLoadGivesTheSameWorkAndFilesThatLieChangeNothing) {
    std::mt19937 random(2024);
    auto saved = MakeModel();
    saved->BankCount = 31;
    for (int bank = 0; bank < kMaxBanks; ++bank) {
        saved->TileOffset[bank] = std::int16_t(random() % 16);
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (bank == 2 || random() % 3 == 0) saved->TilePal[bank][tile] = std::int16_t(1 + random() % 7);  // bank 2 full
            if (random() % 7) continue;
            saved->TileEdited[bank][tile] = true;
            for (auto& b : saved->EditedTile[bank][tile]) b = std::uint8_t(random());
        }
    }
    for (int k = 0; k < kPaletteSets * kPalettes * kColours * kComponents; ++k)
        saved->Pals[k / 96][k / 12 % 8][k / 3 % 4][k % 3] = std::int16_t(random() % 32);
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(SaveGbp(*saved, (dir / "work.gbp").string(), error)) << error;
    auto loaded = MakeModel();
    loaded->BankCount = 31;
    loaded->TilePal[4][4] = 4;  // old work is replaced, not merged
    ASSERT_TRUE(LoadGbp(*loaded, (dir / "work.gbp").string(), error)) << error;
    const Bytes good = ProjectBytes(*saved);
    EXPECT_EQ(ProjectBytes(*loaded), good);

    std::vector<std::pair<std::string, Bytes>> lies;
    for (std::size_t length : {std::size_t(12), std::size_t(15), good.size() / 2, good.size() - 1})
        lies.emplace_back("cut", Slice(good, 0, length));
    lies.emplace_back("a byte after the colours", good);
    lies.back().second.push_back(0);
    lies.emplace_back("more records than tiles", good);
    lies.back().second[12] |= 0x41;
    Bytes banks33 = kHeader;  // consistent in itself, but a ROM has at most 32 banks
    banks33.push_back(32);
    banks33.insert(banks33.end(), 33 * 2 + 128, 0);
    lies.emplace_back("33 banks", banks33);
    for (const auto& [name, file] : lies) {
        EXPECT_FALSE(DecodeGbp(*loaded, file, error)) << name << " of " << file.size();
        EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
        EXPECT_EQ(ProjectBytes(*loaded), good) << name;
    }
}

}  // namespace
}  // namespace dapplix
