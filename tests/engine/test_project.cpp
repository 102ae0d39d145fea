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

const Bytes kHeader{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3};

Bytes Encode(const Model& model) {
    Bytes bytes;
    std::string error;
    if (!EncodeGbp(model, bytes, error)) throw std::runtime_error(error);
    return bytes;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
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

TEST(SaveGbp, WritesHeaderBankHeadersRecordsAndColours) {
    auto model = MakeModel();
    model->BankCount = 1;
    model->TileOffset[1] = 5;
    Bytes bytes = Encode(*model);
    ASSERT_EQ(bytes.size(), 144u);  // two empty banks
    EXPECT_EQ(Slice(bytes, 0, 16), (Bytes{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3, 1, 0x00, 0x00, 0x14, 0x00}));
    for (int palette = 0; palette < 8; ++palette) {
        EXPECT_EQ(Slice(bytes, 16 + palette * 8, 8), (Bytes{0x7E, 0xF7, 0x6F, 0x7B, 0x56, 0xB5, 0x00, 0x00})) << palette;
        EXPECT_EQ(Slice(bytes, 80 + palette * 8, 8), (Bytes{0x7F, 0xFF, 0x52, 0x94, 0x25, 0x29, 0x00, 0x00})) << palette;
    }

    model->BankCount = 2;
    model->TileOffset[2] = 5;
    for (int tile = 100; tile < 397; ++tile) model->TilePal[2][tile] = 1;
    model->TilePal[2][5] = 7;
    model->TilePal[2][513] = 3;
    model->TileEdited[2][513] = true;
    model->EditedTile[2][513].fill(0x3C);
    model->TileEdited[2][2] = true;
    model->EditedTile[2][2].fill(0x81);
    model->TilePal[2][9] = 0;  // palette 0 given on purpose: no record
    bytes = Encode(*model);
    const std::size_t bank2 = 12 + 2 + 2;
    EXPECT_EQ(Slice(bytes, bank2, 2), (Bytes{0x15, 0x2C}));  // offset 5, 300 records
    EXPECT_EQ(Slice(bytes, bank2 + 2, 3), (Bytes{0xC0, 0x02, 0x81}));  // edited, palette 0
    EXPECT_EQ(Slice(bytes, bank2 + 20, 2), (Bytes{0xB8, 0x05}));       // palette 7
    const std::size_t tile513 = bytes.size() - 128 - 18;
    EXPECT_EQ(Slice(bytes, tile513, 3), (Bytes{0xDA, 0x01, 0x3C}));    // edited, palette 3
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
    EXPECT_EQ(Slice(bytes, 16, 2), (Bytes{0x40 | (6 << 2), 0x00}));  // the full-bank flag, count bits 0
    EXPECT_EQ(bytes.size(), 12u + 2 + 2 + (2 + 1024 * 2 + 16) + (2 + 2) + 128);

    auto loaded = MakeModel();
    loaded->BankCount = 3;
    std::string error;
    ASSERT_TRUE(DecodeGbp(*loaded, bytes, error)) << error;
    ExpectSameWork(*saved, *loaded, 3);

    saved->TilePal[2][500] = 0;  // one record fewer is an ordinary bank again
    EXPECT_EQ(Encode(*saved)[16], 6 << 2 | 3);
}

TEST(LoadGbp, TakesTheFilesBanksAndRecordsAsTheyCome) {
    auto saved = MakeModel();
    saved->BankCount = 7;
    saved->TilePal[7][3] = 5;
    auto loaded = MakeModel();
    loaded->BankCount = 3;  // the loaded ROM is smaller than the project's
    std::string error;
    ASSERT_TRUE(DecodeGbp(*loaded, Encode(*saved), error)) << error;
    EXPECT_EQ(loaded->TilePal[7][3], 5);

    // A smaller project leaves the ROM's other banks cleared; a record may carry only an
    // image, or neither flag.
    Bytes file = kHeader;
    file.insert(file.end(), {0, 0x00, 0x02, 0x41, 0x10});  // one bank, two records; tile 272 image only
    file.insert(file.end(), 16, 0x66);
    file.insert(file.end(), {0x38, 0x11});  // palette bits without the palette flag: nothing
    file.insert(file.end(), 128, 0x00);
    loaded->TilePal[0][272] = 3;
    loaded->TilePal[3][8] = 6;
    ASSERT_TRUE(DecodeGbp(*loaded, file, error)) << error;
    EXPECT_TRUE(loaded->TileEdited[0][272]);
    EXPECT_EQ(loaded->EditedTile[0][272][0], 0x66);
    EXPECT_EQ(loaded->TilePal[0][272], 0);
    EXPECT_EQ(loaded->TilePal[0][17], 0);
    EXPECT_EQ(loaded->TilePal[3][8], 0);
}

TEST(LoadGbp, FilesThatLieAreRefusedAndChangeNothing) {
    auto saved = MakeModel();
    saved->BankCount = 2;
    saved->TilePal[2][1] = 3;
    saved->TileEdited[2][2] = true;
    const Bytes good = Encode(*saved);

    std::vector<std::pair<std::string, Bytes>> cases;
    for (std::size_t length = 12; length < good.size(); ++length) cases.emplace_back("cut at " + std::to_string(length), Slice(good, 0, length));
    const auto altered = [&](const char* name, auto change) {
        Bytes bytes = good;
        change(bytes);
        cases.emplace_back(name, bytes);
    };
    altered("a byte after the colours", [](Bytes& b) { b.push_back(0); });
    altered("33 banks", [](Bytes& b) { b[11] = 32; });
    // Consistent in every other way: 33 empty banks and the colours. Only the bank bound
    // keeps it from the 32-entry tables.
    Bytes banks33 = Slice(good, 0, kGbpHeaderSize);
    banks33[11] = 32;
    banks33.resize(kGbpHeaderSize + 33 * 2, 0);
    banks33.insert(banks33.end(), good.end() - kGbpPaletteBlockSize, good.end());
    cases.emplace_back("33 banks, consistent", banks33);
    altered("more records than tiles", [](Bytes& b) { b[16] |= 0x41; });
    altered("one record fewer than written", [](Bytes& b) { b[17] = 1; });

    for (const auto& [name, file] : cases) {
        auto model = MakeModel();
        model->BankCount = 2;
        model->TilePal[2][100] = 6;
        model->TileOffset[2] = 1;
        const auto before = std::make_unique<Model>(*model);
        std::string error;
        EXPECT_FALSE(DecodeGbp(*model, file, error)) << name;
        EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
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
        {"too short", kHeader, {kMsgNotGbp}},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "p.gbp", c.file);
        EXPECT_EQ(CheckGbpHeader((dir / "p.gbp").string()), c.messages) << c.name;
    }
    const auto missing = CheckGbpHeader((dir / "gone.gbp").string());
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_NE(missing[0].find("gone.gbp"), std::string::npos);

    auto model = MakeModel();
    std::string error;
    EXPECT_FALSE(SaveGbp(*model, (dir / "missing" / "p.gbp").string(), error));
    EXPECT_NE(error.find("p.gbp"), std::string::npos);
}

}  // namespace
}  // namespace dapplix
