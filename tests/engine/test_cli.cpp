// dapplix-cli run as a user or a build script would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "engine/CodeFiles.h"
#include "engine/Rom.h"
#include "project/Palette.h"
#include "project/ProjectFile.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
namespace fs = std::filesystem;

struct CliRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs the program in folder with the given arguments (already quoted where needed).
CliRun RunCli(const fs::path& folder, const std::string& arguments, const std::string& program = DAPPLIX_CLI_PATH) {
    const fs::path out = folder / ".stdout", err = folder / ".stderr";
    const std::string command = "cd " + Quote(folder.string()) + " && " + Quote(program) + " " + arguments + " >" +
                                Quote(out.string()) + " 2>" + Quote(err.string());
    const int status = std::system(command.c_str());
    CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / kBank0CodeFile, MakeBank0CodeFile());
        WriteFile(dir / kExtraBankCodeFile, MakeExtraBankCodeFile());
        auto rom = MakeRom({.banks = 4, .title = "CLITEST"});
        std::fill(rom.begin() + kBankSize - 300, rom.begin() + kBankSize, 0xFF);
        WriteFile(dir / "game.gb", rom);
    }
    ScratchDir dir;
};

TEST_F(CliTest, HelpVersionAndBadUsage) {
    const CliRun help = RunCli(dir.path(), "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("dapplix-cli colorize ROM.gb -o OUT.gbc"), std::string::npos);
    const CliRun version = RunCli(dir.path(), "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("dapplix-cli ") + DAPPLIX_VERSION + "\n");

    for (const char* arguments : {"", "paint game.gb", "colorize game.gb", "check", "check a.gb b.gb",
                                  "colorize game.gb -o", "colorize game.gb -o x.gbc --frobnicate"}) {
        const CliRun run = RunCli(dir.path(), arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("dapplix-cli"), std::string::npos) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
    }
}

TEST_F(CliTest, CheckPrintsTheHeaderMessagesInOrder) {
    const CliRun good = RunCli(dir.path(), "check game.gb");
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_NE(good.out.find("CLITEST"), std::string::npos);

    WriteFile(dir / "colour.gb", MakeRom({.cartridgeType = 0x00, .colorFlag = 0x80}));
    const CliRun bad = RunCli(dir.path(), "check colour.gb");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "ROM already has color support!\nROM uses unsupported Memory Mapper!\n");

    // A ROM the colour code cannot fully serve passes with a warning.
    WriteFile(dir / "mbc3.gb", MakeRom({.cartridgeType = 0x13}));
    const CliRun mbc3 = RunCli(dir.path(), "check mbc3.gb");
    EXPECT_EQ(mbc3.exitCode, 0);
    EXPECT_NE(mbc3.out.find("Warning: This ROM uses the MBC3"), std::string::npos) << mbc3.out;

    const CliRun missing = RunCli(dir.path(), "check nowhere.gb");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("nowhere.gb"), std::string::npos);
}

TEST_F(CliTest, ColorizeWritesTheColourRomWithTheProject) {
    // A project made through the engine: tile 3 of bank 2 gets palette 5.
    auto model = MakeModel();
    model->BankCount = 3;
    model->TilePal[2][3] = 5;
    model->Pals[kBackgroundSet][5][1] = {31, 0, 0};
    std::string error;
    ASSERT_TRUE(SaveGbp(*model, (dir / "work.gbp").string(), error)) << error;

    const CliRun run = RunCli(dir.path(), "colorize game.gb -o out.gbc --project work.gbp");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "out.gbc written successfully!\n");
    EXPECT_EQ(run.err, "");
    const auto rom = ReadFile(dir / "out.gbc");
    ASSERT_EQ(rom.size(), 1048576u);
    EXPECT_EQ(rom[34 * 16384 + 3 * 16], 5);
    EXPECT_EQ(rom[33 * 16384 + 16 * 5 + 4 * 1], 0x1F);  // red, low byte first
    EXPECT_EQ(rom[0x143], 0xC0);
    EXPECT_EQ(rom[0x148], 0x05);
    unsigned headerSum = 0;
    for (std::size_t i = 0x134; i < 0x14D; ++i) headerSum += rom[i] + 1u;
    EXPECT_EQ((headerSum + rom[0x14D]) % 256, 0u);
}

TEST_F(CliTest, ColorizeFailuresGoToStandardErrorAndWriteNothing) {
    WriteFile(dir / "bad.gbp", {'N', 'O', 'P', 'E', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0});
    CliRun run = RunCli(dir.path(), "colorize game.gb -o out.gbc --project bad.gbp");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Not a valid Gbp file!\nCouldn't Load Gbp File!\n");
    EXPECT_FALSE(fs::exists(dir / "out.gbc"));

    WriteFile(dir / "colour.gb", MakeRom({.colorFlag = 0x80}));
    run = RunCli(dir.path(), "colorize colour.gb -o out.gbc");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ROM already has color support!\nCouldn't load ROM\n");
    EXPECT_FALSE(fs::exists(dir / "out.gbc"));

    run = RunCli(dir.path(), "colorize game.gb -o no-such-folder/out.gbc");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no-such-folder/out.gbc"), std::string::npos);
}

TEST_F(CliTest, ColorizeWarnsWhenTheCodeMustOverwriteTheRom) {
    WriteFile(dir / "full.gb", MakeRom({.banks = 4}));  // no free byte in bank 0
    const CliRun run = RunCli(dir.path(), "colorize full.gb -o out.gbc");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("Not enough room for color code: must overwrite ROM code\r\n"
                           "ROM may not function correctly when colorized!"),
              std::string::npos);
    EXPECT_EQ(ReadFile(dir / "out.gbc").size(), 1048576u);
}

TEST_F(CliTest, SideFilesAreFoundBesideTheProgramOrTheirAbsenceIsFatal) {
    // A copy of the program in a folder of its own, started from a folder without side files.
    ScratchDir programDir, elsewhere;
    const fs::path program = programDir / "dapplix-cli";
    fs::copy_file(DAPPLIX_CLI_PATH, program);
    fs::copy_file(dir / "game.gb", elsewhere / "game.gb");
    CliRun run = RunCli(elsewhere.path(), "colorize game.gb -o out.gbc", program.string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Required file bnk0cod.dat missing!\n");

    fs::copy_file(dir / kBank0CodeFile, programDir / kBank0CodeFile);
    run = RunCli(elsewhere.path(), "colorize game.gb -o out.gbc", program.string());
    EXPECT_EQ(run.err, "Required file exbnkcod.dat missing!\n");

    fs::copy_file(dir / kExtraBankCodeFile, programDir / kExtraBankCodeFile);
    run = RunCli(elsewhere.path(), "colorize game.gb -o out.gbc", program.string());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(elsewhere / "out.gbc"));
}

}  // namespace
}  // namespace dapplix
