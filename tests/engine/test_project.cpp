// The project file: its bytes, the round trip, full banks and files that lie.
#include <gtest/gtest.h>

#include <random>

#include "TestRoms.h"
#include "engine/ProjectFile.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
using Bytes = std::vector<std::uint8_t>;

const Bytes kHeader{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3};

Bytes Encode(const Model& model) {
    Bytes bytes;
    std::string error;
    if (!EncodeGbp(model, bytes, error)) throw std::runtime_error(error);
    return bytes;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
    return Bytes(bytes.begin() + std::ptrdiff_t(from), bytes.begin() + std::ptrdiff_t(from + length));
}

// Everything a project holds (edited images only where they count).
void ExpectSameWork(const Model& a, const Model& b) {
    for (int bank = 0; bank < kMaxBanks; ++bank) {
        ASSERT_EQ(a.TileOffset[bank], b.TileOffset[bank]) << bank;
        ASSERT_EQ(a.TilePal[bank], b.TilePal[bank]) << bank;
        ASSERT_EQ(a.TileEdited[bank], b.TileEdited[bank]) << bank;
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (!a.TileEdited[bank][tile]) continue;
            ASSERT_EQ(a.EditedTile[bank][tile], b.EditedTile[bank][tile]) << tile;
        }
    }
    ASSERT_EQ(a.Pals, b.Pals);
}

TEST(EncodeGbp, WritesHeaderBankHeadersRecordsAndColours) {
    auto model = MakeModel();
    model->BankCount = 2;
    model->TileOffset[1] = 5;
    model->TileOffset[2] = 5;
    for (int tile = 100; tile < 397; ++tile) model->TilePal[2][tile] = 1;
    model->TilePal[2][5] = 7;
    model->TilePal[2][513] = 3;
    model->TileEdited[2][513] = true;
    model->EditedTile[2][513].fill(0x3C);
    model->TileEdited[2][2] = true;
    model->EditedTile[2][2].fill(0x81);
    const Bytes bytes = Encode(*model);
    Bytes start = kHeader;
    start.insert(start.end(), {2, 0x00, 0x00, 0x14, 0x00, 0x15, 0x2C, 0xC0, 0x02, 0x81});  // offset 5, 300 records
    EXPECT_EQ(Slice(bytes, 0, start.size()), start);
    EXPECT_EQ(Slice(bytes, 36, 2), (Bytes{0xB8, 0x05}));                               // palette 7
    EXPECT_EQ(Slice(bytes, bytes.size() - 128 - 18, 3), (Bytes{0xDA, 0x01, 0x3C}));     // edited, palette 3
    EXPECT_EQ(Slice(bytes, bytes.size() - 128, 8), (Bytes{0x7E, 0xF7, 0x6F, 0x7B, 0x56, 0xB5, 0x00, 0x00}));
    EXPECT_EQ(Slice(bytes, bytes.size() - 64, 8), (Bytes{0x7F, 0xFF, 0x52, 0x94, 0x25, 0x29, 0x00, 0x00}));
}

TEST(LoadGbp, SaveThenLoadGivesTheSameWorkWithFullBanksToo) {
    std::mt19937 random(2024);
    auto saved = MakeModel();
    saved->BankCount = 31;
    for (int bank = 0; bank < kMaxBanks; ++bank) {
        saved->TileOffset[bank] = static_cast<std::int16_t>(random() % 16);
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            // Bank 2 needs a record for every tile: the count's full-bank flag.
            if (bank == 2 || random() % 3 == 0) saved->TilePal[bank][tile] = static_cast<std::int16_t>(1 + random() % 7);
            if (random() % 7 == 0) {
                saved->TileEdited[bank][tile] = true;
                for (auto& b : saved->EditedTile[bank][tile]) b = static_cast<std::uint8_t>(random());
            }
        }
    }
    for (auto& set : saved->Pals)
        for (auto& palette : set)
            for (auto& colour : palette)
                for (auto& component : colour) component = static_cast<std::int16_t>(random() % 32);
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(SaveGbp(*saved, (dir / "work.gbp").string(), error)) << error;
    auto loaded = MakeModel();
    loaded->BankCount = 31;
    loaded->TilePal[4][4] = 4;  // old work is replaced, not merged
    ASSERT_TRUE(LoadGbp(*loaded, (dir / "work.gbp").string(), error)) << error;
    ExpectSameWork(*saved, *loaded);
    saved->BankCount = 0;
    saved->TileOffset[0] = 6;
    saved->TilePal[0].fill(2);  // 1024 records: the full-bank flag, count bits 0
    EXPECT_EQ(Slice(Encode(*saved), 12, 2), (Bytes{0x40 | 6 << 2, 0}));
}

TEST(LoadGbp, FilesThatLieAreRefusedAndChangeNothing) {
    auto saved = MakeModel();
    saved->BankCount = 2;
    saved->TilePal[2][1] = 3;
    saved->TileEdited[2][2] = true;
    const Bytes good = Encode(*saved);
    std::vector<std::pair<std::string, Bytes>> cases;
    for (std::size_t length = 12; length < good.size(); ++length) cases.emplace_back("cut", Slice(good, 0, length));
    const auto altered = [&](const char* name, auto change) {
        Bytes bytes = good;
        change(bytes);
        cases.emplace_back(name, bytes);
    };
    altered("a byte after the colours", [](Bytes& b) { b.push_back(0); });
    altered("more records than tiles", [](Bytes& b) { b[16] |= 0x41; });
    altered("one record fewer than written", [](Bytes& b) { b[17] = 1; });
    // Consistent in itself, but a ROM has at most 32 banks.
    Bytes banks33 = kHeader;
    banks33.push_back(32);
    banks33.insert(banks33.end(), 33 * 2 + 128, 0);
    cases.emplace_back("33 banks", banks33);
    for (const auto& [name, file] : cases) {
        auto model = MakeModel();
        model->BankCount = 2;
        model->TilePal[2][100] = 6;
        model->TileOffset[2] = 1;
        const auto before = std::make_unique<Model>(*model);
        std::string error;
        EXPECT_FALSE(DecodeGbp(*model, file, error)) << name << " of " << file.size();
        EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
        ExpectSameWork(*before, *model);
    }
}

}  // namespace
}  // namespace dapplix
