// Without the emulator: the side files as the build cuts them out of the linked code (read
// through the engine's own reader), the cutting tool's refusals, and each mapper's load-time
// note and written header.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "Support.h"
#include "TestRoms.h"
#include "engine/CodeFiles.h"
#include "engine/Mapper.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/SideFileLayout.h"
#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

constexpr std::uint32_t kColourBankWindow = 0x4000;  // exbnkcod.dat as bank 33 shows it

std::vector<std::uint8_t> SideFile(const char* name) { return ReadBinaryFile(std::string(DAPPLIX_SIDEFILE_DIR) + "/" + name); }

struct SideFiles : ::testing::Test {
    void SetUp() override {
        std::string fatal;
        ASSERT_TRUE(LoadCodeFiles(model, {DAPPLIX_SIDEFILE_DIR}, fatal)) << fatal;
    }
    const Symbols symbols = Symbols::Load(DAPPLIX_SIDEFILE_SYMBOLS);
    Model model;
};

// Each fragment sits at the offset the engine reads it from; exbnkcod.dat comes whole.
TEST_F(SideFiles, FragmentsSitWhereTheProgramReadsThem) {
    const auto bank0Code = SideFile(kBank0CodeFile);
    ASSERT_EQ(bank0Code.size(), 513u);
    const auto colourCode = SideFile(kExtraBankCodeFile);
    ASSERT_LE(colourCode.size(), sidefile::kColourCodeLimit);
    EXPECT_EQ(model.ExtraBankCode.size() + model.ExtraBankCodeRest.size(), colourCode.size());
    EXPECT_TRUE(std::equal(model.ExtraBankCodeRest.begin(), model.ExtraBankCodeRest.end(),
                           colourCode.begin() + kExtraBankCodeLength));
    const auto fragmentAt = [&](const char* symbol, int inBlock, std::uint32_t offset, const auto& block) {
        EXPECT_EQ(symbols[symbol], std::uint32_t(inBlock)) << symbol;
        EXPECT_TRUE(std::equal(block.begin(), block.end(), bank0Code.begin() + offset)) << symbol;
    };
    fragmentAt("EntryHook", sidefile::kEntryHookInBlock, 1, model.EntryHookCode);
    fragmentAt("DmaHook", sidefile::kDmaHookInBlock, 20, model.DmaHookCode);
    fragmentAt("CopyHook", sidefile::kCopyHookInBlock, 35, model.CopyHookCode);
    fragmentAt("CopyTail", sidefile::kCopyTailInBlock, 68, model.CopyTailCode);
    fragmentAt("StoreHooks", sidefile::kStoreHooksInBlock, 107, model.StoreHooksCode);
    for (auto [symbol, inBlock] : {std::pair{"VramByteHook", sidefile::kVramByteHookInBlock}, {"CopyHookBc", sidefile::kCopyHookBcInBlock},
                                   {"CopyHookHl", sidefile::kCopyHookHlInBlock}, {"CopyHookStored", sidefile::kCopyHookStoredInBlock}, {"CopyHookBelowRam", sidefile::kCopyHookBelowRamInBlock},
                                   {"MapEntryFast", sidefile::kMapEntryFastInBlock}, {"IdleHalt", sidefile::kIdleHaltInBlock},
                                   {"IdleHook", sidefile::kIdleHookInBlock}, {"IdleWork", sidefile::kIdleWorkInBlock},
                                   {"IdleLoad", sidefile::kIdleLoadInBlock}, {"IdlePoll", sidefile::kIdlePollInBlock},
                                   {"PadHook", sidefile::kPadHookInBlock},
                                   {"LcdOffWait", sidefile::kLcdOffWaitInBlock}, {"CopyHookPair", sidefile::kCopyHookPairInBlock}})
        EXPECT_EQ(symbols[symbol], std::uint32_t(inBlock)) << symbol;
    EXPECT_EQ(sidefile::kStoreHooksInBlock + kStoreHooksLength, sidefile::kBank0CodeWithLcdOffWait);
    EXPECT_EQ(sidefile::kLcdOffWaitInBlock, sidefile::kBank0CodeWithStoreHooks);  // the store hooks' last piece
}

// The places the scan and the writer fill in are the operands of the assembly's instructions,
// and the fragments reach ColourInit in bank 33 and the runtime in WRAM bank 2.
TEST_F(SideFiles, PatchedPlacesAndCallsMeetTheirCode) {
    using namespace sidefile;
    const auto operand = [](const auto& block, std::size_t at) { return block[at] | block[at + 1] << 8; };
    const auto bank33 = [](const char* name, const Symbols& s) { return s[name] - kColourBankWindow; };
    EXPECT_EQ(symbols["EntryHookJump"] - symbols["EntryHook"] + 1, kEntryJumpOperand);
    EXPECT_EQ(model.EntryHookCode[kEntryJumpOperand - 1], 0xC3);  // JP
    EXPECT_EQ(symbols["DmaHookCall"] - symbols["DmaHook"] + 1, kDmaCallLow);
    EXPECT_EQ(model.DmaHookCode[kDmaCallLow - 1], 0xCD);  // CALL $FFxx
    EXPECT_EQ(model.DmaHookCode[kDmaCallLow + 1], 0xFF);
    EXPECT_EQ(symbols["CopyHookJump"] - symbols["CopyHook"] + 1, kCopyTailOperand);
    EXPECT_EQ(symbols["CopyHookMapBranch"] - symbols["CopyHook"] + 1, kMapBranchOffset);
    EXPECT_EQ(model.CopyHookCode[kMapBranchOffset - 1], 0x30);  // JR NC
    EXPECT_EQ(symbols["CopyHookVram"], std::uint32_t(kCopyHookVramInBlock));
    EXPECT_EQ(model.CopyHookCode[kCopyTailOperand - 1], 0xC3);
    EXPECT_EQ(symbols["StoreHooksCall"] - symbols["StoreHooks"] + 1, kStoredCallOperand);
    EXPECT_EQ(model.StoreHooksCode[kStoredCallOperand - 1], 0xCD);
    EXPECT_EQ(symbols["IdleLoad"] - symbols["StoreHooks"] + 1, kIdleLoadOperand);
    EXPECT_EQ(model.StoreHooksCode[kIdleLoadOperand - 1], 0xFA);  // LD A,(nnnn)
    for (int i = 0; const char* call : {"IdlePollCall", "IdleHaltCall", "IdleHookCall", "PadHookCall"})
        EXPECT_EQ(symbols[call] - symbols["StoreHooks"] + 1, kIdleCallOperands[i++]) << call;
    EXPECT_EQ(symbols["IdleWorkCall"] - symbols["StoreHooks"] + 1, kIdleLoadCallOperand);
    EXPECT_EQ(symbols["PadRead"] - symbols["StoreHooks"] + 1, kPadReadOperand);
    EXPECT_EQ(model.StoreHooksCode[kPadReadOperand - 1], 0xC3);  // JP
    EXPECT_EQ(symbols["VramByteOtherJump"] - symbols["StoreHooks"] + 1, kVramByteOtherOperand);
    EXPECT_EQ(symbols["CopyHookPairBack"] - symbols["StoreHooks"] + 1, kCopyHookPairOperand);
    EXPECT_EQ(bank33("ScanDmaPage", symbols) + 1, kDmaPageOperand);
    EXPECT_EQ(model.ExtraBankCode[kDmaPageInstruction], 0x3E);  // LD A,page
    EXPECT_EQ(bank33("ScanDmaCall", symbols) + 1, kDmaRoutineLow);
    EXPECT_EQ(bank33("ColourSettings", symbols), kSettings);
    EXPECT_EQ(operand(model.EntryHookCode, 9), symbols["ColourInit"]);  // CALL ColourInit in bank 33
    EXPECT_EQ(operand(model.CopyTailCode, symbols["SharedCall"] - symbols["CopyTail"] + 1), symbols["RuntimeEntry"]);  // CALL into WRAM bank 2
    EXPECT_EQ(symbols["RuntimeEntry"], 0xD100u);
}

// The block is placed anywhere in bank 0, so a jump, call or load from it that names a place
// in it must go through an operand the program writes: one the assembly filled in would name the place's
// offset in the block, which is the game's own code in the colour ROM. Each fragment is code
// from its first byte to its last, so it is walked instruction by instruction.
TEST_F(SideFiles, PlacesInTheBlockAreNamedThroughOperandsTheProgramWrites) {
    using namespace sidefile;
    const auto namesAPlace = [](std::uint8_t op) {  // JP, CALL (also on a condition), LD A,(nnnn), LD (nnnn),A
        return op == 0xC3 || op == 0xCD || op == 0xFA || op == 0xEA || (op >= 0xC0 && op < 0xE0 && ((op & 7) == 2 || (op & 7) == 4));
    };
    const std::vector<std::size_t> storeHooksWritten = {kStoredCallOperand, kIdleLoadOperand, kIdleCallOperands[0], kIdleCallOperands[1], kIdleCallOperands[2],
                                                        kIdleCallOperands[3], kIdleLoadCallOperand, kPadReadOperand, kVramByteOtherOperand,
                                                        kCopyHookPairOperand};
    const struct {
        const char* name;
        const std::uint8_t* code;
        std::size_t size;
        std::vector<std::size_t> written;
    } fragments[] = {
        {"EntryHook", model.EntryHookCode.data(), model.EntryHookCode.size(), {kEntryJumpOperand}},
        {"DmaHook", model.DmaHookCode.data(), model.DmaHookCode.size(), {}},
        {"CopyHook", model.CopyHookCode.data(), model.CopyHookCode.size(), {kCopyTailOperand}},
        {"CopyTail", model.CopyTailCode.data(), model.CopyTailCode.size(), {}},
        {"StoreHooks", model.StoreHooksCode.data(), model.StoreHooksCode.size(), storeHooksWritten},
    };
    int jumps = 0;
    for (const auto& f : fragments) {
        std::size_t at = 0;
        for (; at < f.size; at += std::size_t(InstructionLength(f.code[at]))) {
            if (!namesAPlace(f.code[at])) continue;
            ++jumps;
            const int target = f.code[at + 1] | f.code[at + 2] << 8;
            const bool written = std::find(f.written.begin(), f.written.end(), at + 1) != f.written.end();
            EXPECT_TRUE(written || target >= kBank0CodeWithLcdOffWait) << f.name << " + " << at << " names " << target;
        }
        EXPECT_EQ(at, f.size) << f.name << ": the last instruction runs past the fragment's end";
    }
    EXPECT_GT(jumps, 10);
}

// The cutting tool refuses hex input that would give a wrong side file.
TEST(CutTool, AcceptsOnlyAnUnambiguousLayout) {
    const struct {
        const char *name, *hex, *mappings;  // mappings: file offset:address:length
        bool accepted;
    } cases[] = {
        {"Accepted", ":040002001122334450\n:00000001FF\n", "0:0:8", true},
        {"ByteOutsideEveryMapping", ":040002001122334450\n:00000001FF\n", "0:0:4", false},
        {"TwoBytesForOneOffset", ":040002001122334450\n:02004000556603\n:00000001FF\n", "0:0:8 2:0x40:2", false},
        {"BadChecksum", ":040002001122334451\n:00000001FF\n", "0:0:8", false},
        {"NoEndRecord", ":040002001122334450\n", "0:0:8", false},
        {"MappingPastTheEnd", ":040002001122334450\n:00000001FF\n", "4:0:8", false},
    };
    const std::string scratch = (std::filesystem::temp_directory_path() / "ihxcut_").string() + std::to_string(::getpid());
    for (const auto& c : cases) {
        std::ofstream(scratch + ".ihx") << c.hex;
        const std::string command =
            DAPPLIX_IHXCUT " " + scratch + ".ihx -o " + scratch + ".bin 8 255 " + c.mappings + " 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()) == 0, c.accepted) << c.name;
        EXPECT_EQ(std::filesystem::exists(scratch + ".bin"), c.accepted) << c.name;  // a refusal leaves no file behind
        if (c.accepted) {
            EXPECT_EQ(ReadBinaryFile(scratch + ".bin"),
                      (std::vector<std::uint8_t>{0xFF, 0xFF, 0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}));
        }
        std::filesystem::remove(scratch + ".ihx");
        std::filesystem::remove(scratch + ".bin");
    }
}

// Mappers: the note a user gets at load time, and the header the colour ROM declares.
TEST(Mapper, NoteAtLoadAndHeaderOfTheColourRom) {
    const struct {
        std::uint8_t type, ramSize;
        const char* warning;  // nullptr: none
        std::uint8_t writtenType, writtenRamSize;
    } cases[] = {
        {0x01, 0x00, nullptr, 0x01, 0x00},           // MBC1
        {0x03, 0x02, nullptr, 0x03, 0x02},           // MBC1 with 8 KiB RAM
        {0x02, 0x03, kMsgMbc1RamBanks, 0x02, 0x03},  // MBC1 with 32 KiB RAM
        {0x05, 0x00, nullptr, 0x02, 0x02},           // MBC2: MBC1 + 8 KiB RAM, for MBC2 cannot reach bank 33
        {0x06, 0x00, kMsgMbc2Saves, 0x03, 0x02},     // MBC2 with a battery
        {0x11, 0x00, nullptr, 0x11, 0x00},           // MBC3: tiles are told by their bytes, so it colours as MBC1 does
        {0x10, 0x03, nullptr, 0x10, 0x03},           // MBC3 with a clock and RAM
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        std::vector<std::string> warnings;
        auto rom = testing::MakeRom({.banks = 4, .cartridgeType = c.type, .freeTail = 200});  // within MBC2's reach
        rom[kRamSizeCode] = c.ramSize;
        const auto model = PrepareModel(rom, DAPPLIX_SIDEFILE_DIR, &warnings);
        EXPECT_EQ(warnings, c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
        const Bank scanned = model->RomBank[0];
        const auto written = BuildColorRom(*model);
        EXPECT_EQ(std::pair(written[kCartridgeType], written[kRamSizeCode]), std::pair(c.writtenType, c.writtenRamSize));
        EXPECT_TRUE(testing::ChecksumsHold(written));
        EXPECT_TRUE(model->RomBank[0] == scanned) << "the loaded bank 0 stays as loaded";
        for (std::size_t i = 0; i < kHeaderChecksum; ++i)
            EXPECT_TRUE(i == kCartridgeType || i == kRamSizeCode || written[i] == scanned[i]) << "bank 0 byte " << i;
    }
}

}  // namespace
}  // namespace dapplix::e2e
