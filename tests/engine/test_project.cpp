// The project file: its bytes, the round trip, full banks and files that lie.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "project/Palette.h"
#include "project/ProjectFile.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const Model& model) {
    Bytes bytes;
    std::string error;
    if (!EncodeGbp(model, bytes, error)) throw std::runtime_error(error);
    return bytes;
}

// Tile attributes, offsets and colours: everything a project holds.
void ExpectSameWork(const Model& a, const Model& b, int lastBank) {
    for (int bank = 0; bank <= lastBank; ++bank) {
        ASSERT_EQ(a.TileOffset[bank], b.TileOffset[bank]) << bank;
        ASSERT_EQ(a.TilePal[bank], b.TilePal[bank]) << bank;
        ASSERT_EQ(a.TileEdited[bank], b.TileEdited[bank]) << bank;
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (!a.TileEdited[bank][tile]) continue;
            ASSERT_EQ(a.EditedTile[bank][tile], b.EditedTile[bank][tile]) << bank << ":" << tile;
        }
    }
    ASSERT_EQ(a.Pals, b.Pals);
}

TEST(SaveGbp, AnEmptyProjectIsHeaderBankHeadersAndColours) {
    auto model = MakeModel();
    model->BankCount = 1;
    model->TileOffset[1] = 5;
    const Bytes bytes = Encode(*model);
    ASSERT_EQ(bytes.size(), 144u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), (Bytes{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3, 1}));
    EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 16), (Bytes{0x00, 0x00, 0x14, 0x00}));
    const Bytes sprite{0x7E, 0xF7, 0x6F, 0x7B, 0x56, 0xB5, 0x00, 0x00};
    const Bytes background{0x7F, 0xFF, 0x52, 0x94, 0x25, 0x29, 0x00, 0x00};
    for (int palette = 0; palette < 8; ++palette) {
        const auto at = bytes.begin() + 16 + palette * 8;
        EXPECT_EQ(Bytes(at, at + 8), sprite) << palette;
        EXPECT_EQ(Bytes(at + 64, at + 72), background) << palette;
    }
}

TEST(SaveGbp, RecordsCarryPaletteEditFlagAndTileNumber) {
    auto model = MakeModel();
    model->BankCount = 2;
    model->TilePal[2][5] = 7;
    model->TilePal[2][513] = 3;
    model->TileEdited[2][513] = true;
    model->EditedTile[2][513].fill(0x3C);
    model->TileEdited[2][2] = true;
    model->EditedTile[2][2].fill(0x81);
    model->TilePal[2][9] = 0;  // palette 0 given on purpose: no record
    const Bytes bytes = Encode(*model);
    const std::size_t bank2 = 12 + 2 + 2;
    ASSERT_EQ(bytes.size(), 12u + 6 + (2 + 16) + 2 + (2 + 16) + 128);
    EXPECT_EQ(Bytes(bytes.begin() + bank2, bytes.begin() + bank2 + 2), (Bytes{0x00, 0x03}));
    EXPECT_EQ(Bytes(bytes.begin() + bank2 + 2, bytes.begin() + bank2 + 4), (Bytes{0xC0, 0x02}));
    EXPECT_EQ(bytes[bank2 + 4], 0x81);
    EXPECT_EQ(Bytes(bytes.begin() + bank2 + 20, bytes.begin() + bank2 + 22), (Bytes{0xB8, 0x05}));
    EXPECT_EQ(Bytes(bytes.begin() + bank2 + 22, bytes.begin() + bank2 + 24), (Bytes{0xDA, 0x01}));
    EXPECT_EQ(bytes[bank2 + 24], 0x3C);
}

TEST(SaveGbp, TheBankHeaderHoldsOffsetAndCount) {
    auto model = MakeModel();
    model->BankCount = 2;
    model->TileOffset[2] = 5;
    for (int tile = 0; tile < 300; ++tile) model->TilePal[2][tile] = 1;
    const Bytes bytes = Encode(*model);
    EXPECT_EQ(bytes[16], 0x15);
    EXPECT_EQ(bytes[17], 0x2C);
}

TEST(LoadGbp, SaveThenLoadGivesTheSameWork) {
    std::mt19937 random(2024);
    auto saved = MakeModel();
    saved->BankCount = 31;
    for (int bank = 0; bank < kMaxBanks; ++bank) {
        saved->TileOffset[bank] = static_cast<std::int16_t>(random() % 16);
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            if (random() % 3 == 0) saved->TilePal[bank][tile] = static_cast<std::int16_t>(random() % 8);
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
    ASSERT_TRUE(CheckGbpHeader((dir / "work.gbp").string()).empty());
    ASSERT_TRUE(LoadGbp(*loaded, (dir / "work.gbp").string(), error)) << error;
    ExpectSameWork(*saved, *loaded, 31);
}

TEST(LoadGbp, AFullBankKeepsAllItsRecords) {
    auto saved = MakeModel();
    saved->BankCount = 3;
    saved->TileOffset[2] = 6;
    for (int tile = 0; tile < kTilesPerBank; ++tile) saved->TilePal[2][tile] = static_cast<std::int16_t>(1 + tile % 7);
    saved->TileEdited[2][1023] = true;
    saved->EditedTile[2][1023].fill(0x77);
    saved->TilePal[3][0] = 2;
    const Bytes bytes = Encode(*saved);
    EXPECT_EQ(bytes[16], 0x40 | (6 << 2));  // 1024 records: the full-bank flag, count bits 0
    EXPECT_EQ(bytes[17], 0x00);
    EXPECT_EQ(bytes.size(), 12u + 2 + 2 + (2 + 1024 * 2 + 16) + (2 + 2) + 128);

    auto loaded = MakeModel();
    loaded->BankCount = 3;
    std::string error;
    ASSERT_TRUE(DecodeGbp(*loaded, bytes, error)) << error;
    ExpectSameWork(*saved, *loaded, 3);

    // One record fewer is an ordinary bank again.
    saved->TilePal[2][500] = 0;
    EXPECT_EQ(Encode(*saved)[16], 6 << 2 | 3);
}

TEST(LoadGbp, ExtraBanksAreFilledAndMissingOnesLeftCleared) {
    auto saved = MakeModel();
    saved->BankCount = 7;
    saved->TilePal[7][3] = 5;
    saved->TilePal[2][3] = 4;
    const Bytes bigger = Encode(*saved);

    auto loaded = MakeModel();
    loaded->BankCount = 3;  // the loaded ROM is smaller than the project's
    std::string error;
    ASSERT_TRUE(DecodeGbp(*loaded, bigger, error)) << error;
    EXPECT_EQ(loaded->TilePal[7][3], 5);
    EXPECT_EQ(loaded->TilePal[2][3], 4);

    saved->BankCount = 2;
    const Bytes smaller = Encode(*saved);
    loaded->TilePal[3][8] = 6;
    ASSERT_TRUE(DecodeGbp(*loaded, smaller, error)) << error;
    EXPECT_EQ(loaded->TilePal[3][8], 0);  // bank 3 of the ROM is cleared, the file has no block for it
}

TEST(LoadGbp, ReadersAcceptRecordsWithOnlyAnImageOrNeitherFlag) {
    auto model = MakeModel();
    model->BankCount = 0;
    Bytes file{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0, 0x00, 0x02};
    file.insert(file.end(), {0x40 | 0x01, 0x10});  // image only, tile 272
    file.insert(file.end(), 16, 0x66);
    file.insert(file.end(), {0x38, 0x11});  // palette bits without the palette flag: nothing
    file.insert(file.end(), 128, 0x00);
    model->TilePal[0][272] = 3;
    std::string error;
    ASSERT_TRUE(DecodeGbp(*model, file, error)) << error;
    EXPECT_TRUE(model->TileEdited[0][272]);
    EXPECT_EQ(model->EditedTile[0][272][0], 0x66);
    EXPECT_EQ(model->TilePal[0][272], 0);  // cleared by the load, and no palette in the record
    EXPECT_EQ(model->TilePal[0][17], 0);
}

TEST(LoadGbp, FilesThatLieAreRefusedAndChangeNothing) {
    auto saved = MakeModel();
    saved->BankCount = 2;
    saved->TilePal[2][1] = 3;
    saved->TileEdited[2][2] = true;
    saved->TileOffset[2] = 9;
    const Bytes good = Encode(*saved);

    std::vector<std::pair<std::string, Bytes>> cases;
    for (std::size_t length = 12; length < good.size(); ++length)
        cases.emplace_back("cut at " + std::to_string(length), Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    Bytes trailing = good;
    trailing.push_back(0);
    cases.emplace_back("a byte after the colours", trailing);
    Bytes manyBanks = good;
    manyBanks[11] = 32;
    cases.emplace_back("33 banks", manyBanks);
    Bytes countTooBig = good;
    countTooBig[16] |= 0x41;  // the full-bank flag with more records on top
    cases.emplace_back("more records than tiles", countTooBig);
    Bytes countTooSmall = good;
    countTooSmall[17] = 1;
    cases.emplace_back("one record fewer than written", countTooSmall);

    for (const auto& [name, file] : cases) {
        auto model = MakeModel();
        model->BankCount = 2;
        model->TilePal[2][100] = 6;
        model->TileOffset[2] = 1;
        model->Pals[0][0][0] = {1, 2, 3};
        const auto before = std::make_unique<Model>(*model);
        std::string error;
        EXPECT_FALSE(DecodeGbp(*model, file, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        ExpectSameWork(*before, *model, 31);
    }
}

TEST(CheckGbpHeader, ReportsMagicAndVersionSeparately) {
    ScratchDir dir;
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> messages;
    } cases[] = {
        {"valid", {'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0}, {}},
        {"wrong magic", {'D', 'A', 'P', 'P', 'L', 'E', 'X', 'P', 'R', 'J', 3, 0}, {kMsgNotGbp}},
        {"version 2", {'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 2, 0}, {kMsgGbpVersion}},
        {"both", {'x', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 4, 0}, {kMsgNotGbp, kMsgGbpVersion}},
        {"too short", {'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3}, {kMsgNotGbp}},
        {"empty", {}, {kMsgNotGbp}},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "p.gbp", c.file);
        EXPECT_EQ(CheckGbpHeader((dir / "p.gbp").string()), c.messages) << c.name;
    }
    const auto missing = CheckGbpHeader((dir / "gone.gbp").string());
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_NE(missing[0].find("gone.gbp"), std::string::npos);
}

TEST(SaveGbp, AFailedSaveKeepsTheOldFile) {
    auto model = MakeModel();
    ScratchDir dir;
    std::string error;
    EXPECT_FALSE(SaveGbp(*model, (dir / "missing" / "p.gbp").string(), error));
    EXPECT_FALSE(error.empty());
    WriteFile(dir / "old.gbp", {1, 2, 3});
    model->BankCount = 40;  // nothing loaded that could be saved
    EXPECT_FALSE(SaveGbp(*model, (dir / "old.gbp").string(), error));
    EXPECT_EQ(ReadFile(dir / "old.gbp"), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace dapplix
