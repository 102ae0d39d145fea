// The header checks, the bank count and the load of the banks.
#include <gtest/gtest.h>

#include "TestRoms.h"
#include "engine/Scan.h"
#include "engine/SideFileLayout.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
using Messages = std::vector<std::string>;

TEST(CheckRomHeader, ReportsEveryFailedCheckInOrder) {
    const std::pair<RomShape, Messages> cases[] = {  // a header and its errors
        {{}, {}}, {{.cartridgeType = 0x06, .sizeCode = 2}, {}},  // MBC2 leaves room for 64 banks up to 128 KiB
        {{.cartridgeType = 0x05, .sizeCode = 3}, {kMsgCannotExpand}},
        {{.cartridgeType = 0x0F, .sizeCode = 4}, {}}, {{.cartridgeType = 0x13, .sizeCode = 4}, {}},  // MBC3 from 0x0F to 0x13
        {{.cartridgeType = 0x14}, {kMsgUnsupportedMapper}},
        {{.sizeCode = 5}, {kMsgCannotExpand}},
        {{.cartridgeType = 0x00, .colorFlag = 0x80}, {kMsgAlreadyColor, kMsgUnsupportedMapper}},
        {{.cartridgeType = 0x04, .sizeCode = 5, .colorFlag = 0xC0, .entry = {0xF3, 0xC3, 0x50, 0x01}},
         {kMsgAlreadyColor, kMsgNoEntryJump, kMsgUnsupportedMapper, kMsgCannotExpand}},
    };
    for (const auto& [shape, errors] : cases) EXPECT_EQ(CheckRomHeader(MakeRom(shape)), errors) << int(shape.cartridgeType);
    EXPECT_EQ(CheckRomHeader(std::vector<std::uint8_t>(kHeaderEnd - 1, 0xC3)), Messages{kMsgRomTooShort});
}

// Whatever jump the cartridge starts with, the scan makes it NOP; JP to the entry hook, which
// goes on where the game's jump went.
TEST(FindEntryPoint, TakesJumpsAndRelativeJumpsWithOrWithoutANopAndTheScanKeepsTheirTarget) {
    const std::tuple<std::array<std::uint8_t, 4>, EntryForm, std::uint16_t> cases[] = {  // bytes at 0x100, form, target
        {{0x00, 0xC3, 0x50, 0x01}, EntryForm::NopJump, 0x0150},
        {{0xC3, 0x53, 0x01, 0xCE}, EntryForm::Jump, 0x0153},
        {{0x18, 0x55, 0xFF, 0xFF}, EntryForm::RelativeJump, 0x0157},
        {{0x18, 0xFE, 0x00, 0x00}, EntryForm::RelativeJump, 0x0100},  // backwards
        {{0x00, 0x18, 0x4D, 0x00}, EntryForm::NopRelativeJump, 0x0150},
        {{0xF3, 0xC3, 0x50, 0x01}, EntryForm::None, 0},  // DI first: not a form the colour ROM knows
        {{0x00, 0x00, 0xC3, 0x50}, EntryForm::None, 0},
    };
    for (const auto& [bytes, form, target] : cases) {
        const Bytes rom = MakeRom({.entry = bytes});
        const EntryPoint entry = FindEntryPoint(rom.data());
        EXPECT_EQ(std::pair(entry.form, entry.target), std::pair(form, target)) << int(bytes[0]) << " " << int(bytes[1]);
        EXPECT_EQ(CheckRomHeader(rom).empty(), form != EntryForm::None);
        if (form == EntryForm::None) continue;
        auto model = LoadedModel({.entry = bytes, .freeTail = 200});
        ASSERT_TRUE(ScanRom(*model).placed);
        const auto& bank0 = model->RomBank[0];
        const std::size_t jump = std::size_t(model->EntryHookPos) - 1 + sidefile::kEntryJumpOperand;
        EXPECT_EQ(std::tuple(bank0[0x100], bank0[0x101], bank0[0x102] | bank0[0x103] << 8, bank0[jump] | bank0[jump + 1] << 8),
                  std::tuple(0x00, 0xC3, model->EntryHookPos - 1, int(target))) << target;
    }
}

TEST(LoadRom, LoadsTheBanksPadsTheLastWithFFAndRefusesWithoutChangingAnything) {
    const std::pair<std::size_t, int> lengths[] = {{100, 0}, {16384, 0}, {3 * 8192, 0}, {32768, 1},
                                                   {5 * 8192, 2}, {7 * 8192, 2}, {9 * 8192, 4}};
    for (const auto& [length, last] : lengths) EXPECT_EQ(BankCountForLength(length), last) << length;  // halves to even
    auto model = MakeModel();
    auto rom = MakeRom({.banks = 4});
    model->TilePal[1][5] = 3;
    model->TileEdited[2][7] = true;
    rom.resize(3 * kBankSize + 9000);  // four banks, the last one short
    ASSERT_TRUE(LoadRomBytes(*model, rom).ok);
    EXPECT_EQ(std::tuple(model->TilePal[1][5], model->TileEdited[2][7]), std::tuple(0, false));
    EXPECT_EQ(std::tuple(model->BankCount, model->RomBank[3][8999], model->RomBank[3][9000]),
              std::tuple(3, rom[3 * kBankSize + 8999], 0xFF));

    model->TilePal[2][1] = 4;
    const auto before = model->RomBank;
    const std::pair<std::vector<std::uint8_t>, Messages> refused[] = {
        {MakeRom({.banks = 33, .sizeCode = 4}), {kMsgRomTooLarge}},
        {MakeRom({.banks = 2, .colorFlag = 0x80}), {kMsgAlreadyColor}},
        {MakeRom({.banks = 2}), {kMsgRomTooSmall}},
        {MakeRom({.banks = 1}), {kMsgRomTooSmall}},
    };
    for (const auto& [file, errors] : refused) {
        const RomLoadResult result = LoadRomBytes(*model, file);
        EXPECT_EQ(std::pair(result.ok, result.errors), std::pair(false, errors));
    }
    EXPECT_EQ(std::tuple(model->BankCount, model->TilePal[2][1]), std::tuple(3, 4));
    EXPECT_TRUE(model->RomBank == before);
}

// A side file shorter than its code would put stray bytes into the colour ROM; exbnkcod.dat
// says itself how long its code is.
TEST(LoadCodeFiles, RefusesASideFileShorterThanItsCode) {
    ScratchDir dir;
    WriteSideFiles(dir.path());
    const auto model = SideFilesModel(dir.path().string()), before = std::make_unique<Model>(*model);
    Bytes declared = MakeExtraBankCodeFile();
    declared[0x12E] = 0x00;
    declared[0x12F] = 0x03;  // 768 bytes of code in a 512-byte file
    const std::tuple<Bytes, Bytes, const char*> cases[] = {  // the two side files, why they are refused
        {{}, MakeExtraBankCodeFile(), "Required file bnk0cod.dat is too short: it holds 0 bytes, the color code needs 513."},
        {Bytes(512, 0x55), MakeExtraBankCodeFile(),
         "Required file bnk0cod.dat is too short: it holds 512 bytes, the color code needs 513."},
        {MakeBank0CodeFile(), Bytes(511, 0x66),
         "Required file exbnkcod.dat is too short: it holds 511 bytes, the color code needs 512."},
        {MakeBank0CodeFile(), declared, "Required file exbnkcod.dat is too short: it holds 512 bytes, the color code needs 768."},
    };
    for (const auto& [bank0, extra, why] : cases) {
        WriteFile(dir / kBank0CodeFile, bank0);
        WriteFile(dir / kExtraBankCodeFile, extra);
        std::string fatal;
        EXPECT_FALSE(LoadCodeFiles(*model, {dir.path().string()}, fatal));
        EXPECT_EQ(fatal, why);
        EXPECT_EQ(std::pair(model->EntryHookCode, model->ExtraBankCode), std::pair(before->EntryHookCode, before->ExtraBankCode));
    }
}

}  // namespace
}  // namespace dapplix
