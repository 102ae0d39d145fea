// The side files as the build cuts them out of the linked code: lengths, where each fragment
// and each patched place sits, and the cutting tool's refusals. The places are checked through
// the engine's own reader, so the assembly and the program agree on them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

#include "Support.h"
#include "engine/CodeFiles.h"

namespace dapplix::e2e {
namespace {

constexpr std::uint32_t kRuntimeInWram = 0xD100;      // where exbnkcod.dat 0x100- runs
constexpr std::uint32_t kRuntimeFileOffset = 0x100;
constexpr std::uint32_t kColourBankWindow = 0x4000;  // exbnkcod.dat 0x000- as bank 33 shows it

std::vector<std::uint8_t> SideFile(const char* name) { return ReadBinaryFile(std::string(DAPPLIX_SIDEFILE_DIR) + "/" + name); }

std::unique_ptr<Model> LoadedCode() {
    auto model = std::make_unique<Model>();
    std::string fatal;
    EXPECT_TRUE(LoadCodeFiles(*model, {DAPPLIX_SIDEFILE_DIR}, fatal)) << fatal;
    return model;
}

std::uint16_t Word(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

TEST(SideFiles, HaveTheLengthsTheProgramReads) {
    EXPECT_EQ(SideFile(kBank0CodeFile).size(), 106u);
    EXPECT_EQ(SideFile(kExtraBankCodeFile).size(), 512u);
}

// Each fragment is linked at its offset in bnk0cod.dat, so its symbol is that offset, and the
// engine's block is exactly the bytes there.
TEST(SideFiles, FragmentsSitWhereTheProgramReadsThem) {
    const Symbols symbols = Symbols::Load(DAPPLIX_SIDEFILE_SYMBOLS);
    const auto file = SideFile(kBank0CodeFile);
    const auto model = LoadedCode();
    struct Fragment {
        const char* symbol;
        std::uint32_t offset;
        const std::uint8_t* block;
        std::size_t length;
    };
    const Fragment fragments[] = {
        {"EntryHook", 1, model->EntryHookCode.data(), model->EntryHookCode.size()},
        {"DmaHook", 20, model->DmaHookCode.data(), model->DmaHookCode.size()},
        {"CopyHook", 35, model->CopyHookCode.data(), model->CopyHookCode.size()},
        {"CopyTail", 68, model->CopyTailCode.data(), model->CopyTailCode.size()},
    };
    for (const Fragment& f : fragments) {
        EXPECT_EQ(symbols[f.symbol], f.offset) << f.symbol;
        EXPECT_TRUE(std::equal(f.block, f.block + f.length, file.begin() + f.offset)) << f.symbol;
    }
}

// The bytes the program writes are the operands of the instructions around them.
TEST(SideFiles, PatchedPlacesAreOperandsOfTheirInstructions) {
    const Symbols symbols = Symbols::Load(DAPPLIX_SIDEFILE_SYMBOLS);
    const auto model = LoadedCode();
    // EntryHookCode 16-17: the operand of JP at 15.
    EXPECT_EQ(symbols["EntryHookJump"] - symbols["EntryHook"], 15u);
    EXPECT_EQ(model->EntryHookCode[15], 0xC3);
    // CopyHookCode 26-27: the operand of JP at 25, the way to CopyTail.
    EXPECT_EQ(symbols["CopyHookJump"] - symbols["CopyHook"], 25u);
    EXPECT_EQ(model->CopyHookCode[25], 0xC3);
    // ExtraBankCode 0x104: the operand of LD A,n at 0x103 (or LD H,A / NOP over both).
    EXPECT_EQ(symbols["DmaPageLoad"] - kRuntimeInWram + kRuntimeFileOffset, 0x103u);
    EXPECT_EQ(model->ExtraBankCode[0x103], 0x3E);
    // ExtraBankCode 0x11B: the low byte of CALL $FFxx at 0x11A.
    EXPECT_EQ(symbols["DmaCallGame"] - kRuntimeInWram + kRuntimeFileOffset, 0x11Au);
    EXPECT_EQ(model->ExtraBankCode[0x11A], 0xCD);
    EXPECT_EQ(model->ExtraBankCode[0x11C], 0xFF);
}

// The fragments reach the runtime at the addresses it is linked for, and those addresses
// hold its code in exbnkcod.dat once mapped (bank 33) or copied (WRAM bank 2).
TEST(SideFiles, FragmentsCallTheRuntimeWhereItLies) {
    const Symbols symbols = Symbols::Load(DAPPLIX_SIDEFILE_SYMBOLS);
    const auto model = LoadedCode();
    const auto extra = SideFile(kExtraBankCodeFile);
    ASSERT_EQ(model->EntryHookCode[11], 0xCD);
    EXPECT_EQ(Word(&model->EntryHookCode[12]), symbols["ColourInit"]);
    EXPECT_EQ(symbols["ColourInit"] - kColourBankWindow, 0x80u);  // right after the 64 colours
    ASSERT_EQ(model->DmaHookCode[6], 0xCD);
    EXPECT_EQ(Word(&model->DmaHookCode[7]), symbols["DmaRuntime"]);
    EXPECT_EQ(symbols["DmaRuntime"], kRuntimeInWram);
    for (const char* entry : {"ColourMapEntry", "RecordTilePalette"}) {
        const std::uint32_t address = symbols[entry];
        ASSERT_GE(address, kRuntimeInWram);
        ASSERT_LT(address, kRuntimeInWram + 0x100);
        EXPECT_NE(extra[address - kRuntimeInWram + kRuntimeFileOffset], 0x00) << entry;
    }
    // The palette area is the program's: the file leaves it zero.
    EXPECT_TRUE(std::all_of(extra.begin(), extra.begin() + 128, [](std::uint8_t b) { return b == 0; }));
}

// --- The cutting tool refuses hex input that would give a wrong side file.
struct CutCase {
    const char* name;
    const char* hex;
    const char* mappings;
    bool accepted;
};

// Files named after the case and the process: ctest runs cases in parallel processes.
std::string ScratchPath(const std::string& caseName, const char* extension) {
    return (std::filesystem::temp_directory_path() /
            ("ihxcut_" + caseName + "_" + std::to_string(::getpid()) + extension))
        .string();
}

int RunCut(const std::string& caseName, const std::string& hex, const std::string& mappings, const std::string& out) {
    const std::string in = ScratchPath(caseName, ".ihx");
    std::ofstream(in) << hex;
    const std::string command = std::string(DAPPLIX_IHXCUT) + " " + in + " -o " + out + " 8 255 " + mappings +
                                " 2>/dev/null";
    const int status = std::system(command.c_str());
    std::filesystem::remove(in);
    return status;
}

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
    const std::string out = ScratchPath(c.name, ".bin");
    std::filesystem::remove(out);
    const int status = RunCut(c.name, c.hex, c.mappings, out);
    EXPECT_EQ(status == 0, c.accepted);
    EXPECT_EQ(std::filesystem::exists(out), c.accepted);  // a refusal leaves no file behind
    if (c.accepted) {
        const auto bytes = ReadBinaryFile(out);
        EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xFF, 0xFF, 0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}));
    }
    std::filesystem::remove(out);
}

INSTANTIATE_TEST_SUITE_P(HexFiles, CutTool, ::testing::ValuesIn(kCutCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dapplix::e2e
