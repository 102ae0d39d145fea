// Without the emulator: the side files as the build cuts them out of the linked code, the
// cutting tool's refusals, and what each mapper gets at load time and in the written header.
// The places in the side files are checked through the engine's own reader, so the assembly
// and the program agree on them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "Support.h"
#include "engine/CodeFiles.h"
#include "engine/Mapper.h"
#include "engine/Rom.h"
#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

constexpr std::uint32_t kRuntimeInWram = 0xD100;     // where exbnkcod.dat 0x100- runs
constexpr std::uint32_t kColourBankWindow = 0x4000;  // exbnkcod.dat 0x000- as bank 33 shows it

std::vector<std::uint8_t> SideFile(const char* name) { return ReadBinaryFile(std::string(DAPPLIX_SIDEFILE_DIR) + "/" + name); }

struct SideFiles : ::testing::Test {
    void SetUp() override {
        std::string fatal;
        ASSERT_TRUE(LoadCodeFiles(model, {DAPPLIX_SIDEFILE_DIR}, fatal)) << fatal;
    }
    const Symbols symbols = Symbols::Load(DAPPLIX_SIDEFILE_SYMBOLS);
    Model model;
};

// Each fragment is linked at its offset in bnk0cod.dat, so its symbol is that offset, and the
// engine's block is exactly the bytes there.
TEST_F(SideFiles, FragmentsSitWhereTheProgramReadsThem) {
    const auto bank0Code = SideFile(kBank0CodeFile);
    ASSERT_EQ(bank0Code.size(), 106u);
    EXPECT_EQ(SideFile(kExtraBankCodeFile).size(), 512u);
    const auto fragmentAt = [&](const char* symbol, std::uint32_t offset, const auto& block) {
        EXPECT_EQ(symbols[symbol], offset) << symbol;
        EXPECT_TRUE(std::equal(block.begin(), block.end(), bank0Code.begin() + offset)) << symbol;
    };
    fragmentAt("EntryHook", 1, model.EntryHookCode);
    fragmentAt("DmaHook", 20, model.DmaHookCode);
    fragmentAt("CopyHook", 35, model.CopyHookCode);
    fragmentAt("CopyTail", 68, model.CopyTailCode);
}

// The bytes the program writes are the operands of the instructions around them, and the
// fragments reach ColourInit in bank 33 and the runtime where it is copied, in WRAM bank 2.
TEST_F(SideFiles, PatchedPlacesAndCallsMeetTheirCode) {
    const auto inFile = [](std::uint32_t wramAddress) { return wramAddress - kRuntimeInWram + 0x100; };
    EXPECT_EQ(symbols["EntryHookJump"] - symbols["EntryHook"], 15u);  // JP, operand at 16-17
    EXPECT_EQ(model.EntryHookCode[15], 0xC3);
    EXPECT_EQ(symbols["CopyHookJump"] - symbols["CopyHook"], 25u);    // JP to CopyTail, operand at 26-27
    EXPECT_EQ(model.CopyHookCode[25], 0xC3);
    EXPECT_EQ(inFile(symbols["DmaPageLoad"]), 0x103u);                // LD A,page (or LD H,A / NOP)
    EXPECT_EQ(model.ExtraBankCode[0x103], 0x3E);
    EXPECT_EQ(inFile(symbols["DmaCallGame"]), 0x11Au);                // CALL $FFxx, xx at 0x11B
    EXPECT_EQ(model.ExtraBankCode[0x11A], 0xCD);
    EXPECT_EQ(model.ExtraBankCode[0x11C], 0xFF);
    EXPECT_EQ(model.EntryHookCode[11], 0xCD);
    EXPECT_EQ(model.EntryHookCode[12] | model.EntryHookCode[13] << 8, kColourBankWindow + 0x80);  // ColourInit, after the colours
    EXPECT_EQ(symbols["ColourInit"], kColourBankWindow + 0x80);
    EXPECT_EQ(model.DmaHookCode[6], 0xCD);
    EXPECT_EQ(model.DmaHookCode[7] | model.DmaHookCode[8] << 8, kRuntimeInWram);
    EXPECT_EQ(symbols["DmaRuntime"], kRuntimeInWram);
}

// --- The cutting tool refuses hex input that would give a wrong side file.
struct CutCase {
    const char* name;
    const char* hex;
    const char* mappings;  // file offset:address:length
    bool accepted;
};
void PrintTo(const CutCase& c, std::ostream* out) { *out << c.name; }

const CutCase kCutCases[] = {
    {"Accepted", ":040002001122334450\n:00000001FF\n", "0:0:8", true},
    {"ByteOutsideEveryMapping", ":040002001122334450\n:00000001FF\n", "0:0:4", false},
    {"TwoBytesForOneOffset", ":040002001122334450\n:02004000556603\n:00000001FF\n", "0:0:8 2:0x40:2", false},
    {"BadChecksum", ":040002001122334451\n:00000001FF\n", "0:0:8", false},
    {"NoEndRecord", ":040002001122334450\n", "0:0:8", false},
    {"MappingPastTheEnd", ":040002001122334450\n:00000001FF\n", "4:0:8", false},
};

class CutTool : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutTool, AcceptsOnlyAnUnambiguousLayout) {
    const CutCase& c = GetParam();
    // Files named after the case and the process: ctest runs cases in parallel processes.
    const std::string scratch = (std::filesystem::temp_directory_path() / "ihxcut_").string() + c.name + std::to_string(::getpid());
    std::ofstream(scratch + ".ihx") << c.hex;
    const std::string command = DAPPLIX_IHXCUT " " + scratch + ".ihx -o " + scratch + ".bin 8 255 " + c.mappings + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()) == 0, c.accepted);
    EXPECT_EQ(std::filesystem::exists(scratch + ".bin"), c.accepted);  // a refusal leaves no file behind
    if (c.accepted) {
        EXPECT_EQ(ReadBinaryFile(scratch + ".bin"), (std::vector<std::uint8_t>{0xFF, 0xFF, 0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}));
    }
    std::filesystem::remove(scratch + ".ihx");
    std::filesystem::remove(scratch + ".bin");
}

INSTANTIATE_TEST_SUITE_P(HexFiles, CutTool, ::testing::ValuesIn(kCutCases), ::testing::PrintToStringParamName());

// --- Mappers: the note a user gets at load time, and the header the colour ROM declares.
struct MapperCase {
    const char* name;
    std::uint8_t type, ramSize;
    const char* warning;  // nullptr: none
    std::uint8_t writtenType, writtenRamSize;
};
void PrintTo(const MapperCase& c, std::ostream* out) { *out << c.name; }

const MapperCase kMapperCases[] = {
    {"Mbc1", 0x01, 0x00, nullptr, 0x01, 0x00},
    {"Mbc1With8KiBRam", 0x03, 0x02, nullptr, 0x03, 0x02},
    {"Mbc1With32KiBRam", 0x02, 0x03, kMsgMbc1RamBanks, 0x02, 0x03},
    {"Mbc2", 0x05, 0x00, nullptr, 0x02, 0x02},  // MBC1 + 8 KiB RAM: MBC2 cannot reach bank 33
    {"Mbc2WithBattery", 0x06, 0x00, kMsgMbc2Saves, 0x03, 0x02},
    {"Mbc3", 0x11, 0x00, kMsgMbc3PaletteZero, 0x11, 0x00},
    {"Mbc3WithClockAndRam", 0x10, 0x03, kMsgMbc3PaletteZero, 0x10, 0x03},
};

std::vector<std::uint8_t> MapperRom(std::uint8_t type, std::uint8_t ramSize, std::uint8_t sizeCode = 0x01) {
    std::vector<std::uint8_t> rom(4 * kBankSize, 0xFF);  // 64 KiB: within MBC2's reach as well
    rom[kColorFlag] = 0x00;
    rom[kEntryOpcode] = 0xC3;
    rom[kCartridgeType] = type;
    rom[kRomSizeCode] = sizeCode;
    rom[kRamSizeCode] = ramSize;
    return rom;
}

class Mapper : public ::testing::TestWithParam<MapperCase> {};

TEST_P(Mapper, NoteAtLoadAndHeaderOfTheColourRom) {
    const MapperCase& c = GetParam();
    std::vector<std::string> warnings;
    const auto model = PrepareModel(MapperRom(c.type, c.ramSize), DAPPLIX_SIDEFILE_DIR, &warnings);
    EXPECT_EQ(warnings, c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    const Bank scanned = model->RomBank[0];
    const auto written = BuildColorRom(*model);
    EXPECT_EQ(written[kCartridgeType], c.writtenType);
    EXPECT_EQ(written[kRamSizeCode], c.writtenRamSize);
    EXPECT_TRUE(ChecksumsValid(written));
    EXPECT_TRUE(model->RomBank[0] == scanned) << "the loaded bank 0 stays as loaded";
    for (std::size_t i = 0; i < kHeaderChecksum; ++i) {
        EXPECT_TRUE(i == kCartridgeType || i == kRamSizeCode || written[i] == scanned[i]) << "bank 0 byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Cartridges, Mapper, ::testing::ValuesIn(kMapperCases), ::testing::PrintToStringParamName());

}  // namespace
}  // namespace dapplix::e2e
