// Start-up's side files, the header checks and the load of the banks.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "engine/CodeFiles.h"
#include "engine/Rom.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

TEST(LoadCodeFiles, FillsTheFourFragmentsAndTheExtraBlock) {
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
}

TEST(LoadCodeFiles, NamesTheFirstMissingFileAndLooksInEachFolderInTurn) {
    ScratchDir first, second;
    Model model;
    std::string fatal;
    EXPECT_FALSE(LoadCodeFiles(model, {first.path().string(), second.path().string()}, fatal));
    EXPECT_EQ(fatal, "Required file bnk0cod.dat missing!");

    WriteFile(second / kBank0CodeFile, MakeBank0CodeFile());
    EXPECT_FALSE(LoadCodeFiles(model, {first.path().string(), second.path().string()}, fatal));
    EXPECT_EQ(fatal, "Required file exbnkcod.dat missing!");

    // A folder named like the file is not the file.
    std::filesystem::create_directory(first / kExtraBankCodeFile);
    WriteFile(second / kExtraBankCodeFile, MakeExtraBankCodeFile());
    fatal.clear();
    EXPECT_TRUE(LoadCodeFiles(model, {first.path().string(), second.path().string()}, fatal)) << fatal;
    EXPECT_EQ(model.DmaHookCode[0], 0xD1);
}

TEST(LoadCodeFiles, ShortFilesReadAsZerosPastTheirEnd) {
    ScratchDir dir;
    WriteFile(dir / kBank0CodeFile, {0x00, 0x55, 0x66});
    WriteFile(dir / kExtraBankCodeFile, {0x12});
    Model model;
    model.CopyTailCode.fill(0xEE);
    std::string fatal;
    ASSERT_TRUE(LoadCodeFiles(model, {dir.path().string()}, fatal));
    EXPECT_EQ(model.EntryHookCode[0], 0x55);
    EXPECT_EQ(model.EntryHookCode[1], 0x66);
    EXPECT_EQ(model.EntryHookCode[2], 0x00);
    EXPECT_EQ(model.CopyTailCode[37], 0x00);
    EXPECT_EQ(model.ExtraBankCode[0], 0x12);
    EXPECT_EQ(model.ExtraBankCode[1], 0x00);
}

TEST(CodeFileSearchDirs, StartsWithTheCurrentFolderThenTheProgramsOwn) {
    const auto dirs = CodeFileSearchDirs();
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0], ".");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dirs[1]) / "engine_tests"));
}

TEST(MapperClass, FollowsTheCartridgeTypeRanges) {
    for (int type = 0; type < 256; ++type) {
        int expected = 0;
        if (type >= 1 && type <= 3) expected = 1;
        if (type == 5 || type == 6) expected = 2;
        if (type >= 0x0F && type <= 0x13) expected = 3;
        EXPECT_EQ(MapperClass(static_cast<std::uint8_t>(type)), expected) << type;
    }
}

TEST(CheckRomHeader, ReportsEveryFailedCheckInOrder) {
    using Messages = std::vector<std::string>;
    struct Case {
        const char* name;
        RomSpec spec;
        Messages messages;
    } cases[] = {
        {"plain MBC1 64 KiB", {.banks = 4}, {}},
        {"no mapper", {.cartridgeType = 0x00}, {kMsgUnsupportedMapper}},
        {"MBC5 is not offered", {.cartridgeType = 0x19}, {kMsgUnsupportedMapper}},
        {"type 4 between the ranges", {.cartridgeType = 0x04}, {kMsgUnsupportedMapper}},
        {"type 0x14 after MBC3", {.cartridgeType = 0x14}, {kMsgUnsupportedMapper}},
        {"colour and no mapper", {.cartridgeType = 0x00, .colorFlag = 0x80}, {kMsgAlreadyColor, kMsgUnsupportedMapper}},
        {"colour-compatible flag C0", {.colorFlag = 0xC0}, {kMsgAlreadyColor}},
        {"flag 0x40 is not colour", {.colorFlag = 0x40}, {}},
        {"no jump", {.entryOpcode = 0x18}, {kMsgNoEntryJump}},
        {"MBC2 of 256 KiB", {.banks = 16, .cartridgeType = 0x05, .sizeCode = 3}, {kMsgCannotExpand}},
        {"MBC2 of 128 KiB", {.banks = 8, .cartridgeType = 0x05, .sizeCode = 2}, {}},
        {"MBC3 of 512 KiB", {.banks = 4, .cartridgeType = 0x13, .sizeCode = 4}, {}},
        {"size code 5", {.cartridgeType = 0x11, .sizeCode = 5}, {kMsgCannotExpand}},
        {"everything wrong",
         {.cartridgeType = 0x20, .sizeCode = 6, .colorFlag = 0x80, .entryOpcode = 0x00},
         {kMsgAlreadyColor, kMsgNoEntryJump, kMsgUnsupportedMapper, kMsgCannotExpand}},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckRomHeader(MakeRom(c.spec)), c.messages) << c.name;
}

TEST(CheckRomHeader, AFileWithoutACompleteHeaderGetsOneClearMessage) {
    for (std::size_t length : {std::size_t(0), std::size_t(0x100), kHeaderEnd - 1}) {
        auto rom = MakeRom();
        rom.resize(length);
        EXPECT_EQ(CheckRomHeader(rom), std::vector<std::string>{kMsgRomTooShort}) << length;
    }
    auto rom = MakeRom();
    rom.resize(kHeaderEnd);
    EXPECT_TRUE(CheckRomHeader(rom).empty());
}

TEST(BankCountForLength, RoundsHalvesToEven) {
    struct Case {
        std::size_t length;
        int bankCount;
    } cases[] = {{65536, 3}, {16384, 0}, {40960, 2}, {24576, 0}, {57344, 2}, {49152 + 8192, 2},
                 {49152 + 8193, 3}, {336, 0}, {0, 0}, {std::size_t(32) * 16384, 31}, {std::size_t(33) * 16384, 32}};
    for (const Case& c : cases) EXPECT_EQ(BankCountForLength(c.length), c.bankCount) << c.length;
}

TEST(LoadRom, LoadsEveryBankAndClearsTheAssignments) {
    ScratchDir dir;
    WriteFile(dir / "game.gb", MakeRom({.banks = 4, .title = "ELEVENCHARS"}));
    auto model = MakeModel();
    model->TilePal[2][5] = 4;
    model->TileEdited[3][6] = true;
    model->TileOffset[2] = 7;
    const RomLoadResult result = LoadRom(*model, (dir / "game.gb").string());
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(result.errors.empty());
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

    rom.resize(kHeaderEnd);  // only a header: bank 0 is padded the same way
    ASSERT_TRUE(LoadRomBytes(*model, rom).ok);
    EXPECT_EQ(model->BankCount, 0);
    EXPECT_EQ(model->RomBank[0][kGlobalChecksum + 1], 0xCD);
    EXPECT_EQ(model->RomBank[0][kHeaderEnd], 0xFF);
}

TEST(LoadRom, RefusedFilesLeaveThePreviousRomAndWorkAlone) {
    auto model = MakeModel();
    ASSERT_TRUE(LoadRomBytes(*model, MakeRom({.banks = 4, .title = "FIRST"})).ok);
    model->TilePal[2][9] = 6;
    model->TileEdited[2][9] = true;
    const auto before = std::make_unique<Model>(*model);

    ScratchDir dir;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        std::vector<std::string> errors;
    } cases[] = {
        {"already colour", MakeRom({.colorFlag = 0x80}), {kMsgAlreadyColor}},
        {"too short", std::vector<std::uint8_t>(0x120, 0xC3), {kMsgRomTooShort}},
        {"33 banks", MakeRom({.banks = 33, .sizeCode = 4}), {kMsgRomTooLarge}},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "bad.gb", c.file);
        const RomLoadResult result = LoadRom(*model, (dir / "bad.gb").string());
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
        EXPECT_EQ(model->BankCount, before->BankCount) << c.name;
        EXPECT_EQ(model->RomBank, before->RomBank) << c.name;
        EXPECT_EQ(model->TilePal, before->TilePal) << c.name;
        EXPECT_EQ(model->TileEdited, before->TileEdited) << c.name;
    }

    const RomLoadResult missing = LoadRom(*model, (dir / "nothing-here.gb").string());
    EXPECT_FALSE(missing.ok);
    ASSERT_EQ(missing.errors.size(), 1u);
    EXPECT_NE(missing.errors[0].find("nothing-here.gb"), std::string::npos);
    const RomLoadResult folder = LoadRom(*model, dir.path().string());
    EXPECT_FALSE(folder.ok);
    EXPECT_EQ(model->RomBank, before->RomBank);
}

}  // namespace
}  // namespace dapplix
