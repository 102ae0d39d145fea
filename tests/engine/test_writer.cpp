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

std::unique_ptr<Model> ScannedModel() {
    auto model = MakeModel();
    auto rom = MakeRom({.banks = 4});
    std::fill(rom.begin() + kBankSize - 200, rom.begin() + kBankSize, 0xFF);
    if (!LoadRomBytes(*model, rom).ok) throw std::runtime_error("test ROM refused");
    ScanRom(*model);
    return model;
}

const std::uint8_t* BankOf(const std::vector<std::uint8_t>& rom, int bank) { return rom.data() + std::size_t(bank) * kBankSize; }

std::size_t NonZero(const std::uint8_t* from, std::size_t length) {
    return static_cast<std::size_t>(std::count_if(from, from + length, [](std::uint8_t b) { return b != 0; }));
}

TEST(BuildColorRom, LaysOutSixtyFourBanksWithPalettesAndTables) {
    auto model = ScannedModel();
    model->TilePal[2][0] = 1;
    model->TilePal[3][1023] = 7;
    model->TilePal[5][10] = 3;  // a bank the ROM does not have still gets its table
    model->TileOffset[5] = 4;
    model->Pals[kBackgroundSet][5][2] = {31, 0, 0};
    model->Pals[kSpriteSet][5][2] = {0, 0, 31};
    const auto rom = BuildColorRom(*model);
    ASSERT_EQ(rom.size(), 1048576u);

    for (int bank = 0; bank <= 3; ++bank) {
        for (int i = 0; i < kBankSize; ++i) {
            if (bank == 0 && i >= 0x14D && i <= 0x14F) continue;  // the checksums are recomputed
            ASSERT_EQ(BankOf(rom, bank)[i], model->RomBank[bank][i]) << bank << ":" << i;
        }
    }
    EXPECT_EQ(NonZero(BankOf(rom, 4), std::size_t(29) * kBankSize), 0u);  // banks 4..32
    EXPECT_TRUE(std::equal(model->ExtraBankCode.begin(), model->ExtraBankCode.end(), BankOf(rom, 33)));
    EXPECT_EQ(NonZero(BankOf(rom, 33) + 512, kBankSize - 512), 0u);

    // Palette area: background word then sprite word for each colour, low byte first.
    const std::uint8_t* area = BankOf(rom, 33);
    EXPECT_EQ(std::vector<std::uint8_t>(area, area + 4), (std::vector<std::uint8_t>{0xFF, 0x7F, 0xF7, 0x7E}));
    EXPECT_EQ(std::vector<std::uint8_t>(area + 88, area + 92), (std::vector<std::uint8_t>{0x1F, 0x00, 0x00, 0x7C}));
    EXPECT_EQ(area[0x11B], model->DmaCallLow);  // the scan's places as the scan left them

    // Tables: a tile's palette at the offset of its first byte, in bank b + 32.
    EXPECT_EQ(BankOf(rom, 34)[0], 1);
    EXPECT_EQ(BankOf(rom, 35)[16368], 7);
    EXPECT_EQ(rom[(5 + 32) * 16384 + 10 * 16 + 4], 3);
    EXPECT_EQ(NonZero(BankOf(rom, 34), std::size_t(30) * kBankSize), 3u);
    EXPECT_EQ(BuildColorRom(*model), rom);  // writing twice gives the same file
}

TEST(BuildColorRom, RedrawnTilesGoOverTheirBytesExceptTheTileThatRunsPastTheBank) {
    auto model = ScannedModel();
    TileImage image;
    image.fill(0xA5);
    for (int bank : {0, 2, 3}) {
        for (int tile : {40, 1023}) {
            model->TileEdited[bank][tile] = true;
            model->EditedTile[bank][tile] = image;
            model->TilePal[bank][tile] = 6;
        }
    }
    model->TileOffset[0] = 2;
    model->TileOffset[3] = 1;
    const auto rom = BuildColorRom(*model);
    const auto isImage = [](const std::uint8_t* at) { return std::all_of(at, at + 16, [](auto b) { return b == 0xA5; }); };
    EXPECT_TRUE(isImage(BankOf(rom, 0) + 40 * 16 + 2));  // bank 0 too, at its offset
    EXPECT_TRUE(isImage(BankOf(rom, 2) + 16368));        // offset 0: tile 1023 fits
    EXPECT_EQ(BankOf(rom, 34)[16368], 6);
    EXPECT_TRUE(isImage(BankOf(rom, 3) + 40 * 16 + 1));
    // Offset 1: tile 1023 would need byte 16384, so neither its image nor its palette is written.
    EXPECT_EQ(BankOf(rom, 3)[16383], model->RomBank[3][16383]);
    EXPECT_EQ(NonZero(BankOf(rom, 35), kBankSize), 1u);  // tile 40 only
    EXPECT_EQ(model->RomBank[2][16368], 0x11);           // the loaded banks stay as loaded
}

TEST(BuildColorRom, BothChecksumsAreValidForTheNewHeader) {
    auto model = ScannedModel();
    const auto rom = BuildColorRom(*model);
    // The boot ROM's rule: the header bytes, one more for each, and the checksum add up to 0.
    unsigned headerSum = rom[0x14D];
    for (std::size_t i = 0x134; i < 0x14D; ++i) headerSum += rom[i] + 1u;
    EXPECT_EQ(headerSum % 256, 0u);
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < rom.size(); ++i) total += (i == 0x14E || i == 0x14F) ? 0 : rom[i];
    EXPECT_EQ(rom[0x14E] * 256 + rom[0x14F], total & 0xFFFF);
    EXPECT_EQ(model->RomBank[0][0x14D], 0x5A);  // the model keeps the bytes it loaded
}

TEST(WriteColorRom, ReplacesAnOldFileWholeOrLeavesEverythingAsItWas) {
    auto model = ScannedModel();
    ScratchDir dir;
    WriteFile(dir / "out.gbc", std::vector<std::uint8_t>(3 * 1048576, 0xEE));  // longer than the new file
    std::string error;
    ASSERT_TRUE(WriteColorRom(*model, (dir / "out.gbc").string(), error)) << error;
    EXPECT_EQ(ReadFile(dir / "out.gbc"), BuildColorRom(*model));

    WriteFile(dir / "plain-file", {1, 2, 3});
    std::filesystem::create_directory(dir / "folder.gbc");
    for (const auto& path : {dir / "no-such-folder" / "out.gbc", dir / "folder.gbc", dir / "plain-file" / "out.gbc"}) {
        EXPECT_FALSE(WriteColorRom(*model, path.string(), error)) << path;
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    }
    EXPECT_EQ(ReadFile(dir / "plain-file"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no temporary file left

    if (::geteuid() != 0) {  // permissions do not stop the superuser
        WriteFile(dir / "locked" / "old.gbc", {9, 9});
        std::filesystem::permissions(dir / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_FALSE(WriteColorRom(*model, (dir / "locked" / "old.gbc").string(), error));
        EXPECT_EQ(ReadFile(dir / "locked" / "old.gbc"), (std::vector<std::uint8_t>{9, 9}));
    }
}

}  // namespace
}  // namespace dapplix
