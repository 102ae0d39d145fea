// dapplix-cli run as a user or a build script would run it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "engine/CodeFiles.h"
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

// Runs the program in folder; arguments are passed to the shell as they are. A run that
// has not ended after 20 seconds is stopped and exits 124. Standard output goes to
// stdoutTo instead of being kept when one is given.
CliRun RunCli(const fs::path& folder, const std::string& arguments, const std::string& program = DAPPLIX_CLI_PATH,
              const std::string& stdoutTo = "") {
    const fs::path out = folder / ".stdout", err = folder / ".stderr";
    const std::string command = "cd '" + folder.string() + "' && timeout 20 '" + program + "' " + arguments + " >'" +
                                (stdoutTo.empty() ? out.string() : stdoutTo) + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, stdoutTo.empty() ? Slurp(out) : "", Slurp(err)};
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

TEST_F(CliTest, CheckPrintsTheHeaderMessagesInOrderAndUsageErrorsExitTwo) {
    EXPECT_EQ(RunCli(dir.path(), "--version").out, std::string("dapplix-cli ") + DAPPLIX_VERSION + "\n");
    EXPECT_EQ(RunCli(dir.path(), "--help").exitCode, 0);
    const CliRun good = RunCli(dir.path(), "check game.gb");
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_NE(good.out.find("CLITEST"), std::string::npos);

    WriteFile(dir / "colour.gb", MakeRom({.cartridgeType = 0x00, .colorFlag = 0x80}));
    const CliRun bad = RunCli(dir.path(), "check colour.gb");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "ROM already has color support!\nROM uses unsupported Memory Mapper!\n");

    WriteFile(dir / "mbc3.gb", MakeRom({.cartridgeType = 0x13}));  // accepted, with a warning
    const CliRun mbc3 = RunCli(dir.path(), "check mbc3.gb");
    EXPECT_EQ(mbc3.exitCode, 0);
    EXPECT_NE(mbc3.out.find("Warning: This ROM uses the MBC3"), std::string::npos) << mbc3.out;

    for (const char* arguments : {"", "paint game.gb", "colorize game.gb", "check a.gb b.gb", "colorize game.gb -o",
                                  "colorize game.gb -o x.gbc --frobnicate"}) {
        const CliRun run = RunCli(dir.path(), arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("dapplix-cli"), std::string::npos) << arguments;
    }
}

TEST_F(CliTest, ColorizeWritesTheColourRomWithTheProject) {
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
    unsigned headerSum = rom[0x14D];
    for (std::size_t i = 0x134; i < 0x14D; ++i) headerSum += rom[i] + 1u;
    EXPECT_EQ(headerSum % 256, 0u);
}

TEST_F(CliTest, ColorizeFailuresGoToStandardErrorAndWriteNothing) {
    WriteFile(dir / "bad.gbp", {'N', 'O', 'P', 'E', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0});
    WriteFile(dir / "colour.gb", MakeRom({.colorFlag = 0x80}));
    struct Case {
        const char* arguments;
        const char* err;
    } cases[] = {
        {"colorize game.gb -o out.gbc --project bad.gbp", "Not a valid Gbp file!\nCouldn't Load Gbp File!\n"},
        {"colorize colour.gb -o out.gbc", "ROM already has color support!\nCouldn't load ROM\n"},
        {"colorize game.gb -o no-such-folder/out.gbc", "Couldn't write no-such-folder/out.gbc"},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(dir.path(), c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.gbc")) << c.arguments;
    }

    WriteFile(dir / "full.gb", MakeRom({.banks = 4}));  // no free byte in bank 0: a warning, not a failure
    const CliRun full = RunCli(dir.path(), "colorize full.gb -o out.gbc");
    EXPECT_EQ(full.exitCode, 0);
    EXPECT_NE(full.err.find("Not enough room for color code: must overwrite ROM code\r\nROM may not function correctly when colorized!"),
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
    fs::copy_file(dir / kExtraBankCodeFile, programDir / kExtraBankCodeFile);
    run = RunCli(elsewhere.path(), "colorize game.gb -o out.gbc", program.string());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(elsewhere / "out.gbc"));
}

// Outputs that would lose an input or a device are refused before any work (the engine's
// output check, with the ROM and the project as inputs); readers never wait and always
// say why; one rule for which ROMs are taken; the title printed safely; "--" ending the
// options; short side files; output that never arrived.
TEST_F(CliTest, EveryFailureIsReportedAndNothingHangs) {
    auto model = MakeModel();
    model->BankCount = 3;
    std::string error;
    ASSERT_TRUE(SaveGbp(*model, (dir / "work.gbp").string(), error)) << error;
    const auto rom = ReadFile(dir / "game.gb"), project = ReadFile(dir / "work.gbp");
    ASSERT_EQ(::mkfifo((dir / "pipe.gbc").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.gb").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.gbp").c_str(), 0644), 0);
    WriteFile(dir / "two.gb", MakeRom({.banks = 2}));
    WriteFile(dir / "-dash.gb", MakeRom({.title = "DASH"}));
    WriteFile(dir / "ctrl.gb", MakeRom({.title = "A\x1b[2J\\\x07"}));
    const fs::path shortSide = dir / "short";
    WriteFile(shortSide / kBank0CodeFile, std::vector<std::uint8_t>(50, 0));
    WriteFile(shortSide / kExtraBankCodeFile, MakeExtraBankCodeFile());
    fs::copy_file(dir / "game.gb", shortSide / "game.gb");
    struct Case {
        const char* arguments;
        int exitCode;
        const char* out;  // the start of standard output, or of standard error when err is set
        bool err = false;
        const char* folder = "";
        const char* stdoutTo = "";
    } cases[] = {
        {"colorize game.gb -o ./game.gb", 1,
         "Couldn't write ./game.gb: it is the same file as the input game.gb, which would be lost.\n", true},
        {"colorize game.gb --project work.gbp -o work.gbp", 1,
         "Couldn't write work.gbp: it is the same file as the input work.gbp, which would be lost.\n", true},
        {"colorize game.gb -o pipe.gbc", 1, "Couldn't write pipe.gbc: it is a FIFO, not a regular file.\n", true},
        {"check pipe.gb", 1, "Couldn't open pipe.gb: it is a FIFO, not a regular file.\n"},
        {"colorize game.gb -o out.gbc --project pipe.gbp", 1,
         "Couldn't open pipe.gbp: it is a FIFO, not a regular file.\nCouldn't Load Gbp File!\n", true},
        {"colorize game.gb -o out.gbc --project /dev/zero", 1,
         "Couldn't open /dev/zero: it is a character device, not a regular file.\nCouldn't Load Gbp File!\n", true},
        {"colorize game.gb -o out.gbc --project gone.gbp", 1,
         "Couldn't open gone.gbp: No such file or directory\nCouldn't Load Gbp File!\n", true},
        {"check two.gb", 1, "ROM has no bank 2 or above: only the tiles of banks 2 and up can be colored!\n"},
        {"colorize two.gb -o out.gbc", 1, "ROM has no bank 2 or above", true},
        {"check -- -dash.gb", 0, "\"DASH\": 4 banks, can be colorized\n"},
        {"check ctrl.gb", 0, "\"A\\x1B[2J\\x5C\\x07\": 4 banks, can be colorized\n"},
        {"colorize game.gb -o out.gbc", 1,
         "Required file bnk0cod.dat is too short: it holds 50 bytes, the color code needs 106.\n", true, "short"},
        {"check game.gb", 1, "dapplix-cli: couldn't write to standard output: No space left on device\n", true, "",
         "/dev/full"},
        {"--version", 1, "dapplix-cli: couldn't write to standard output", true, "", "/dev/full"},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(dir / c.folder, c.arguments, DAPPLIX_CLI_PATH, c.stdoutTo);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.out << run.err;
        EXPECT_EQ((c.err ? run.err : run.out).rfind(c.out, 0), 0u) << c.arguments << "\n" << run.out << run.err;
        EXPECT_FALSE(fs::exists(dir / c.folder / "out.gbc")) << c.arguments;
        EXPECT_EQ(ReadFile(dir / "game.gb"), rom) << c.arguments;
        WriteFile(dir / "game.gb", rom);  // so that a fault in one case does not spill into the next
    }
    EXPECT_EQ(ReadFile(dir / "work.gbp"), project);
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.gbc"));
    // The colour ROM is written, but the run fails: its report never arrived.
    const CliRun written = RunCli(dir.path(), "colorize game.gb -o out.gbc", DAPPLIX_CLI_PATH, "/dev/full");
    EXPECT_EQ(written.exitCode, 1);
    EXPECT_EQ(written.err, "dapplix-cli: couldn't write to standard output: No space left on device\n");
}

}  // namespace
}  // namespace dapplix
