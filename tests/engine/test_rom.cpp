// Start-up's side files, the header checks and the load of the banks.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "engine/CodeFiles.h"
#include "engine/Rom.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

TEST(LoadCodeFiles, FillsTheBlocksFromTheirOffsetsAndRefusesAShortFile) {
    ScratchDir dir;
    auto bank0 = MakeBank0CodeFile();
    bank0.resize(200, 0x99);  // bytes after the fourth fragment are not used
    WriteFile(dir / kBank0CodeFile, bank0);
    WriteFile(dir / kExtraBankCodeFile, MakeExtraBankCodeFile());
    Model model;
    std::string fatal;
    ASSERT_TRUE(LoadCodeFiles(model, {dir.path().string()}, fatal)) << fatal;
    EXPECT_EQ(model.EntryHookCode[0], 0xE1);
    EXPECT_EQ(model.EntryHookCode[17], bank0[18]);
    EXPECT_EQ(model.DmaHookCode[0], 0xD1);
    EXPECT_EQ(model.DmaHookCode[13], bank0[33]);
    EXPECT_EQ(model.CopyHookCode[0], 0xC1);
    EXPECT_EQ(model.CopyHookCode[31], bank0[66]);
    EXPECT_EQ(model.CopyTailCode[0], 0x71);
    EXPECT_EQ(model.CopyTailCode[37], bank0[105]);
    EXPECT_EQ(model.ExtraBankCode[0x1FF], 0xFF);
    EXPECT_EQ(model.ExtraBankCodeAsRead, model.ExtraBankCode);

    // A side file shorter than the bytes taken from it would put stray bytes into the
    // colour ROM: refused, naming the file, and nothing of it is used.
    const Model before = model;
    struct Case {
        std::size_t bank0, extra;
        const char* fatal;
    } cases[] = {
        {0, 512, "Required file bnk0cod.dat is too short: it holds 0 bytes, the color code needs 106."},
        {105, 512, "Required file bnk0cod.dat is too short: it holds 105 bytes, the color code needs 106."},
        {106, 511, "Required file exbnkcod.dat is too short: it holds 511 bytes, the color code needs 512."},
    };
    for (const Case& c : cases) {
        WriteFile(dir / kBank0CodeFile, std::vector<std::uint8_t>(c.bank0, 0x55));
        WriteFile(dir / kExtraBankCodeFile, std::vector<std::uint8_t>(c.extra, 0x66));
        EXPECT_FALSE(LoadCodeFiles(model, {dir.path().string()}, fatal));
        EXPECT_EQ(fatal, c.fatal);
        EXPECT_EQ(model.EntryHookCode, before.EntryHookCode);
        EXPECT_EQ(model.ExtraBankCode, before.ExtraBankCode);
    }
}

TEST(LoadCodeFiles, NamesTheFirstMissingFileAndLooksInEachFolderInTurn) {
    ScratchDir first, second;
    const std::vector<std::string> dirs{first.path().string(), second.path().string()};
    Model model;
    std::string fatal;
    EXPECT_FALSE(LoadCodeFiles(model, dirs, fatal));
    EXPECT_EQ(fatal, "Required file bnk0cod.dat missing!");
    WriteFile(second / kBank0CodeFile, MakeBank0CodeFile());
    EXPECT_FALSE(LoadCodeFiles(model, dirs, fatal));
    EXPECT_EQ(fatal, "Required file exbnkcod.dat missing!");
    std::filesystem::create_directory(first / kExtraBankCodeFile);  // a folder is not the file
    WriteFile(second / kExtraBankCodeFile, MakeExtraBankCodeFile());
    EXPECT_TRUE(LoadCodeFiles(model, dirs, fatal)) << fatal;

    const auto searched = CodeFileSearchDirs();  // here first, then beside the program
    ASSERT_EQ(searched.size(), 2u);
    EXPECT_EQ(searched[0], ".");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(searched[1]) / "engine_tests"));
}

TEST(CheckRomHeader, ReportsEveryFailedCheckInOrder) {
    using Messages = std::vector<std::string>;
    struct Case {
        const char* name;
        RomShape shape;
        Messages messages;
    } cases[] = {
        {"plain MBC1 64 KiB", {.banks = 4}, {}},
        {"colour and no mapper", {.cartridgeType = 0x00, .colorFlag = 0x80}, {kMsgAlreadyColor, kMsgUnsupportedMapper}},
        {"flag 0x40 is not colour", {.colorFlag = 0x40}, {}},
        {"no jump", {.entryOpcode = 0x18}, {kMsgNoEntryJump}},
        {"MBC2 of 256 KiB", {.banks = 16, .cartridgeType = 0x05, .sizeCode = 3}, {kMsgCannotExpand}},
        {"MBC2 of 128 KiB", {.banks = 8, .cartridgeType = 0x06, .sizeCode = 2}, {}},
        {"MBC3 of 512 KiB", {.cartridgeType = 0x13, .sizeCode = 4}, {}},
        {"size code 5", {.cartridgeType = 0x11, .sizeCode = 5}, {kMsgCannotExpand}},
        {"everything wrong",
         {.cartridgeType = 0x20, .sizeCode = 6, .colorFlag = 0x80, .entryOpcode = 0x00},
         {kMsgAlreadyColor, kMsgNoEntryJump, kMsgUnsupportedMapper, kMsgCannotExpand}},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckRomHeader(MakeRom(c.shape)), c.messages) << c.name;

    // The edges of the three mapper ranges.
    for (int type : {0x00, 0x04, 0x07, 0x0E, 0x14, 0x19, 0xFF})
        EXPECT_EQ(CheckRomHeader(MakeRom({.cartridgeType = static_cast<std::uint8_t>(type)})), Messages{kMsgUnsupportedMapper}) << type;
    for (int type : {0x01, 0x03, 0x05, 0x0F, 0x13})
        EXPECT_TRUE(CheckRomHeader(MakeRom({.cartridgeType = static_cast<std::uint8_t>(type)})).empty()) << type;

    for (std::size_t length : {std::size_t(0), kHeaderEnd - 1}) {  // no complete header: one message
        auto rom = MakeRom();
        rom.resize(length);
        EXPECT_EQ(CheckRomHeader(rom), Messages{kMsgRomTooShort}) << length;
    }
}

TEST(BankCountForLength, RoundsHalvesToEven) {
    struct Case {
        std::size_t length;
        int bankCount;
    } cases[] = {{65536, 3}, {16384, 0}, {40960, 2}, {24576, 0}, {57344, 2}, {57345, 3}, {336, 0}, {33 * 16384, 32}};
    for (const Case& c : cases) EXPECT_EQ(BankCountForLength(c.length), c.bankCount) << c.length;
}

TEST(LoadRom, LoadsEveryBankAndClearsTheAssignments) {
    ScratchDir dir;
    WriteFile(dir / "game.gb", MakeRom({.banks = 4, .title = "ELEVENCHARS"}));
    auto model = MakeModel();
    model->TilePal[2][5] = 4;
    model->TileEdited[3][6] = true;
    model->TileOffset[2] = 7;
    ASSERT_TRUE(LoadRom(*model, (dir / "game.gb").string()).ok);
    EXPECT_EQ(model->BankCount, 3);
    for (int bank = 0; bank <= 3; ++bank) EXPECT_EQ(model->RomBank[bank][0], bank);
    EXPECT_EQ(RomTitle(model->RomBank[0]), "ELEVENCHARS");
    EXPECT_EQ(model->TilePal[2][5], 0);
    EXPECT_FALSE(model->TileEdited[3][6]);
    EXPECT_EQ(model->TileOffset[2], 7);  // offsets carry over to the next ROM
}

TEST(LoadRom, TheLastBankOfAnUnevenFileIsFilledWithFF) {
    auto rom = MakeRom({.banks = 3});
    rom.resize(40960);  // two and a half banks: the view still gets bank 2
    auto model = MakeModel();
    ASSERT_TRUE(LoadRomBytes(*model, rom).ok);
    EXPECT_EQ(model->BankCount, 2);
    EXPECT_EQ(model->RomBank[2][8191], 0x11);
    EXPECT_EQ(model->RomBank[2][8192], 0xFF);
    EXPECT_EQ(model->RomBank[2][16383], 0xFF);
}

TEST(LoadRom, RefusedFilesLeaveThePreviousRomAndWorkAlone) {
    auto model = MakeModel();
    ASSERT_TRUE(LoadRomBytes(*model, MakeRom({.banks = 4, .title = "FIRST"})).ok);
    model->TilePal[2][9] = 6;
    model->TileEdited[2][9] = true;
    const auto before = std::make_unique<Model>(*model);

    ScratchDir dir;
    std::filesystem::create_directory(dir / "folder.gb");
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;  // empty: the path is not written
        std::vector<std::string> errors;
        const char* path = "bad.gb";
    } cases[] = {
        {"already colour", MakeRom({.colorFlag = 0x80}), {kMsgAlreadyColor}},
        {"too short", std::vector<std::uint8_t>(0x120, 0xC3), {kMsgRomTooShort}},
        {"33 banks", MakeRom({.banks = 33, .sizeCode = 4}), {kMsgRomTooLarge}},
        {"one bank", MakeRom({.banks = 1}), {kMsgRomTooSmall}},  // no bank 2 to colour
        {"two banks", MakeRom({.banks = 2}), {kMsgRomTooSmall}},
        {"missing", {}, {}, "nothing-here.gb"},
        {"a folder", {}, {}, "folder.gb"},
    };
    for (const Case& c : cases) {
        if (!c.file.empty()) WriteFile(dir / c.path, c.file);
        const RomLoadResult result = LoadRom(*model, (dir / c.path).string());
        EXPECT_FALSE(result.ok) << c.name;
        if (c.file.empty()) {  // one message naming the file
            ASSERT_EQ(result.errors.size(), 1u) << c.name;
            EXPECT_NE(result.errors[0].find(c.path), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(result.errors, c.errors) << c.name;
        }
        EXPECT_EQ(model->BankCount, before->BankCount) << c.name;
        EXPECT_EQ(model->RomBank, before->RomBank) << c.name;
        EXPECT_EQ(model->TilePal, before->TilePal) << c.name;
        EXPECT_EQ(model->TileEdited, before->TileEdited) << c.name;
    }
}

}  // namespace
}  // namespace dapplix
