// The 64-bank colour ROM: layout, palette area, tables, redrawn tiles, checksums, writing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/Writer.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

std::unique_ptr<Model> ScannedModel(int banks = 4) {
    auto model = MakeModel();
    auto rom = MakeRom({.banks = banks});
    std::fill(rom.begin() + kBankSize - 200, rom.begin() + kBankSize, 0xFF);
    if (!LoadRomBytes(*model, rom).ok) throw std::runtime_error("test ROM refused");
    ScanRom(*model);
    return model;
}

const std::uint8_t* BankOf(const std::vector<std::uint8_t>& rom, int bank) {
    return rom.data() + std::size_t(bank) * kBankSize;
}

bool AllZero(const std::uint8_t* from, std::size_t length) {
    return std::all_of(from, from + length, [](std::uint8_t b) { return b == 0; });
}

TEST(BuildColorRom, LaysOutSixtyFourBanks) {
    auto model = ScannedModel(4);
    model->TilePal[2][0] = 1;
    model->TilePal[3][1023] = 7;
    model->TilePal[5][10] = 3;  // a bank the ROM does not have still gets its table
    model->TileOffset[5] = 4;
    const auto rom = BuildColorRom(*model);
    ASSERT_EQ(rom.size(), 1048576u);

    for (int bank = 0; bank <= 3; ++bank) {
        for (int i = 0; i < kBankSize; ++i) {
            if (bank == 0 && i >= 0x14D && i <= 0x14F) continue;  // checksums are recomputed
            ASSERT_EQ(BankOf(rom, bank)[i], model->RomBank[bank][i]) << bank << ":" << i;
        }
    }
    for (int bank = 4; bank <= 32; ++bank) EXPECT_TRUE(AllZero(BankOf(rom, bank), kBankSize)) << bank;
    EXPECT_TRUE(std::equal(model->ExtraBankCode.begin(), model->ExtraBankCode.end(), BankOf(rom, 33)));
    EXPECT_TRUE(AllZero(BankOf(rom, 33) + 512, kBankSize - 512));

    EXPECT_EQ(BankOf(rom, 34)[0], 1);
    EXPECT_EQ(BankOf(rom, 35)[16368], 7);
    EXPECT_EQ(rom[(5 + 32) * 16384 + 10 * 16 + 4], 3);
    std::size_t nonZero = 0;
    for (int bank = 34; bank <= 63; ++bank)
        nonZero += static_cast<std::size_t>(std::count_if(BankOf(rom, bank), BankOf(rom, bank) + kBankSize,
                                                          [](std::uint8_t b) { return b != 0; }));
    EXPECT_EQ(nonZero, 3u);
}

TEST(BuildColorRom, ThePaletteAreaInterleavesBackgroundAndSpriteWords) {
    auto model = ScannedModel();
    auto rom = BuildColorRom(*model);
    const std::uint8_t* area = BankOf(rom, 33);
    // Defaults: background white (31,31,31), then sprite colour 0 (23,23,31), low byte first.
    EXPECT_EQ(area[0], 0xFF);
    EXPECT_EQ(area[1], 0x7F);
    EXPECT_EQ(area[2], 0xF7);
    EXPECT_EQ(area[3], 0x7E);

    model->Pals[kBackgroundSet][5][2] = {31, 0, 0};  // red
    model->Pals[kSpriteSet][5][2] = {0, 0, 31};      // blue
    model->Pals[kSpriteSet][7][3] = {1, 2, 3};
    rom = BuildColorRom(*model);
    area = BankOf(rom, 33);
    EXPECT_EQ(area[16 * 5 + 4 * 2 + 0], 0x1F);
    EXPECT_EQ(area[16 * 5 + 4 * 2 + 1], 0x00);
    EXPECT_EQ(area[16 * 5 + 4 * 2 + 2], 0x00);
    EXPECT_EQ(area[16 * 5 + 4 * 2 + 3], 0x7C);
    EXPECT_EQ(area[16 * 7 + 4 * 3 + 2], 0x41);  // 3*1024 + 2*32 + 1 = 0x0C41
    EXPECT_EQ(area[16 * 7 + 4 * 3 + 3], 0x0C);
    // The scan's places are left as the scan wrote them.
    EXPECT_EQ(area[0x103], model->ExtraBankCode[0x103]);
    EXPECT_EQ(area[0x11B], model->DmaCallLow);
}

TEST(BuildColorRom, RedrawnTilesGoOverTheirBytesExceptTheTileThatRunsPastTheBank) {
    auto model = ScannedModel(4);
    TileImage image;
    image.fill(0xA5);
    for (int bank : {0, 2, 3}) {
        model->TileEdited[bank][1023] = true;
        model->EditedTile[bank][1023] = image;
        model->TilePal[bank][1023] = 6;
        model->TileEdited[bank][40] = true;
        model->EditedTile[bank][40] = image;
    }
    model->TileOffset[3] = 1;
    model->TileOffset[2] = 0;
    model->TileOffset[0] = 2;
    const auto rom = BuildColorRom(*model);

    EXPECT_TRUE(std::all_of(BankOf(rom, 2) + 16368, BankOf(rom, 2) + 16384, [](auto b) { return b == 0xA5; }));
    EXPECT_EQ(BankOf(rom, 34)[16368], 6);
    EXPECT_TRUE(std::all_of(BankOf(rom, 0) + 40 * 16 + 2, BankOf(rom, 0) + 40 * 16 + 18, [](auto b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(BankOf(rom, 3) + 40 * 16 + 1, BankOf(rom, 3) + 40 * 16 + 17, [](auto b) { return b == 0xA5; }));
    // Offset 1: tile 1023 would need byte 16384, so neither its image nor its palette is written.
    EXPECT_EQ(BankOf(rom, 3)[16383], model->RomBank[3][16383]);
    EXPECT_TRUE(AllZero(BankOf(rom, 35), kBankSize));
    // Redrawn tiles change the output only, never the loaded banks.
    EXPECT_EQ(model->RomBank[2][16368], 0x11);
}

TEST(BuildColorRom, BothChecksumsAreValidForTheNewHeader) {
    auto model = ScannedModel();
    const auto rom = BuildColorRom(*model);
    // The boot ROM's rule: the header bytes, one more for each of them, and the sum byte add to 0.
    unsigned headerSum = 0;
    for (std::size_t i = 0x134; i <= 0x14D; ++i) headerSum += rom[i] + (i < 0x14D ? 1u : 0u);
    EXPECT_EQ(headerSum % 256, 0u);
    EXPECT_NE(rom[0x14D], 0x5A);  // the loaded ROM's own value no longer fits

    std::uint32_t total = 0;
    for (std::size_t i = 0; i < rom.size(); ++i)
        if (i != 0x14E && i != 0x14F) total += rom[i];
    EXPECT_EQ(rom[0x14E] * 256 + rom[0x14F], total & 0xFFFF);
    EXPECT_EQ(rom[0x143], 0xC0);
    EXPECT_EQ(rom[0x148], 0x05);
    EXPECT_EQ(model->RomBank[0][0x14D], 0x5A);  // the model keeps the bytes it loaded
}

TEST(BuildColorRom, WritingTwiceGivesTheSameFile) {
    auto model = ScannedModel();
    model->TilePal[2][77] = 4;
    EXPECT_EQ(BuildColorRom(*model), BuildColorRom(*model));
}

TEST(WriteColorRom, ReplacesAnOldFileWholeAndLeavesNoTemporaryFile) {
    auto model = ScannedModel();
    ScratchDir dir;
    const auto target = dir / "out.gbc";
    WriteFile(target, std::vector<std::uint8_t>(3 * 1048576, 0xEE));  // longer than the new file
    std::string error;
    ASSERT_TRUE(WriteColorRom(*model, target.string(), error)) << error;
    const auto written = ReadFile(target);
    EXPECT_EQ(written, BuildColorRom(*model));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteColorRom, AFailedWriteSaysWhyAndLeavesNothingBehind) {
    auto model = ScannedModel();
    ScratchDir dir;
    WriteFile(dir / "plain-file", {1, 2, 3});
    std::filesystem::create_directory(dir / "folder.gbc");
    struct Case {
        const char* name;
        std::filesystem::path path;
    } cases[] = {
        {"missing folder", dir / "no-such-folder" / "out.gbc"},
        {"a folder in the way", dir / "folder.gbc"},
        {"a file used as folder", dir / "plain-file" / "out.gbc"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteColorRom(*model, c.path.string(), error)) << c.name;
        EXPECT_NE(error.find(c.path.string()), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_EQ(ReadFile(dir / "plain-file"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.gbc"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

    if (::geteuid() != 0) {  // permissions do not stop the superuser
        WriteFile(dir / "locked" / "old.gbc", {9, 9});
        std::filesystem::permissions(dir / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        std::string error;
        EXPECT_FALSE(WriteColorRom(*model, (dir / "locked" / "old.gbc").string(), error));
        EXPECT_EQ(ReadFile(dir / "locked" / "old.gbc"), (std::vector<std::uint8_t>{9, 9}));
    }
}

}  // namespace
}  // namespace dapplix
