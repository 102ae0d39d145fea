// dapplix-cli run as a user or a build script would run it: the same flows as the window.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "PatchAppliers.h"
#include "TestRoms.h"
#include "engine/Flows.h"
#include "engine/Writer.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
namespace fs = std::filesystem;

struct CliRun {
    int exitCode;
    std::string out, err;
};

// Runs the program in folder through the shell, stopped after 20 s; standard output goes to
// stdoutTo instead of being kept when one is given.
CliRun RunCli(const fs::path& folder, const std::string& arguments, const std::string& program = DAPPLIX_CLI_PATH,
              const std::string& stdoutTo = "") {
    const std::string command = "cd '" + folder.string() + "' && timeout 20 '" + program + "' " + arguments + " >" +
                                (stdoutTo.empty() ? ".out" : "'" + stdoutTo + "'") + " 2>.err";
    const int status = std::system(command.c_str());
    auto text = [&](const char* name) {
        const Bytes bytes = ReadFile(folder / name);
        return std::string(bytes.begin(), bytes.end());
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, stdoutTo.empty() ? text(".out") : "", text(".err")};
}

struct CliTest : ::testing::Test {
    void SetUp() override {
        WriteSideFiles(dir.path());
        WriteFile(dir / "game.gb", MakeRom({.title = "CLITEST", .freeTail = 529}));
        WriteFile(dir / "small.gb", MakeRom({.banks = 2}));
    }
    // What the engine's flows make of game.gb and a project, in this process.
    std::unique_ptr<Model> Opened(const char* project) const {
        auto model = MakeModel();
        EXPECT_TRUE(OpenRomForColouring(*model, (dir / "game.gb").string()).ok);
        EXPECT_TRUE(!project || OpenProject(*model, (dir / project).string()).ok);
        return model;
    }
    ScratchDir dir;
};

TEST_F(CliTest, CommandsRunTheEnginesFlowsAndWriteWhatTheyWrite) {
    const std::string checked = RunCli(dir.path(), "check game.gb").out;
    EXPECT_EQ(checked.rfind("Color code: $3E03-$3FFE of bank 0", 0), 0u) << checked;
    EXPECT_NE(checked.find("\n\"CLITEST\": 4 banks, can be colorized\n"), std::string::npos) << checked;
    ASSERT_EQ(RunCli(dir.path(), "palette game.gb 0 0 3 1 0 0 5 -o p.gbp").exitCode, 0);  // banks 0 and 1 too
    ASSERT_EQ(RunCli(dir.path(), "switch game.gb 3 1 0 0 15 2 0 3 -o q.gbp --project p.gbp").exitCode, 0);
    WriteFile(dir / "out.gbc", Bytes(3 * kColorRomSize, 0xEE));  // replaced whole, not written over
    ASSERT_EQ(RunCli(dir.path(), "colorize game.gb -o out.gbc --project q.gbp").out, "out.gbc written successfully!\n");

    auto model = Opened(nullptr);
    AssignPalette(*model, SelectionRect(0, 0, 0, 0, 3, 1), 5);
    SwitchPixels(*model, SelectionRect(3, 1, 0, 0, 15, 2), 0, 3);
    EXPECT_EQ(ReadFile(dir / "q.gbp"), ProjectBytes(*model));
    EXPECT_EQ(ReadFile(dir / "out.gbc"), BuildColorRom(*Opened("q.gbp")));
    // The same colour ROM as patches of the original, applied as a standard patcher would.
    for (const char* format : {"ips", "bps"}) {
        const std::string name = std::string("out.") + format;
        ASSERT_EQ(RunCli(dir.path(), "colorize game.gb -o " + name + " --project q.gbp --patch " + format).out,
                  name + " written successfully!\n");
        const Bytes patch = ReadFile(dir / name), original = ReadFile(dir / "game.gb");
        EXPECT_EQ(format[0] == 'i' ? ApplyIps(original, patch) : ApplyBps(original, patch), ReadFile(dir / "out.gbc"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 11);  // no temporary file left behind
}

// Refusals go to their stream in order, with their exit code, and write nothing; no input is
// lost to an output naming it; the title is printed safely; "--" ends the options.
TEST_F(CliTest, RefusalsGoToTheirStreamAndNoInputIsLost) {
    WriteFile(dir / "bad.gbp", {'N', 'O', 'P', 'E', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0});
    auto model = MakeModel();
    model->BankCount = 3;
    WriteFile(dir / "work.gbp", ProjectBytes(*model));
    const auto rom = ReadFile(dir / "game.gb"), project = ReadFile(dir / "work.gbp");
    WriteFile(dir / "-dash.gb", MakeRom({.title = "DASH", .freeTail = 300}));
    WriteFile(dir / "ctrl.gb", MakeRom({.title = "A\x1b[2J\\\x07", .freeTail = 300}));
    WriteFile(dir / "untitled.gb", MakeRom({.title = "", .freeTail = 300}));
    const std::string full = "dapplix-cli: couldn't write to standard output: No space left on device\n";
    const struct Case {
        const char* arguments;
        int exitCode;
        std::string out, err;  // out: all of standard output, or a line of it when it starts with one; err: its start
        const char* stdoutTo = "";
    } cases[] = {
        {"check small.gb", 1, std::string(kMsgRomTooSmall) + "\n", ""},
        {"colorize small.gb -o out.gbc", 1, "", std::string(kMsgRomTooSmall) + "\nCouldn't load ROM\n"},
        {"colorize game.gb -o out.gbc --project bad.gbp", 1, "", "Not a valid Gbp file!\nCouldn't Load Gbp File!\n"},
        {"colorize game.gb -o no-such-folder/out.gbc", 1, "", "Couldn't write no-such-folder/out.gbc"},
        {"palette game.gb 32 0 0 0 0 0 5 -o out.gbc", 2, "", "dapplix-cli: 32 is not a number from 0 to 31"},
        {"colorize game.gb -o out.gbc --patch ups", 2, "", "dapplix-cli: --patch needs ips or bps"},
        {"palette game.gb 9 0 0 0 0 0 5 -o out.gbc", 1, "", "dapplix-cli: the ROM has no bank 9"},
        {"switch game.gb 2 0 0 0 0 0 5 0 -o out.gbc", 2, "", "dapplix-cli: 5 is not a number from 0 to 3"},
        {"", 2, "", "Usage"},
        {"colorize game.gb", 2, "", "dapplix-cli: colorize needs -o OUT"},
        {"colorize game.gb -o x.gbc --frobnicate", 2, "", "dapplix-cli: unknown option --frobnicate"},
        {"colorize game.gb -o ./game.gb", 1, "",
         "Couldn't write ./game.gb: it is the same file as the input game.gb, which would be lost.\n"},
        {"colorize game.gb --project work.gbp -o work.gbp", 1, "",
         "Couldn't write work.gbp: it is the same file as the input work.gbp, which would be lost.\n"},
        {"check -- -dash.gb", 0, "\n\"DASH\": 4 banks, can be colorized\n", ""},
        {"check ctrl.gb", 0, "\n\"A\\x1B[2J\\x5C\\x07\": 4 banks, can be colorized\n", ""},
        {"check untitled.gb", 0, "\n(no title): 4 banks, can be colorized\n", ""},
        {"check game.gb", 1, "", full, "/dev/full"},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(dir.path(), c.arguments, DAPPLIX_CLI_PATH, c.stdoutTo);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        if (c.out.starts_with('\n')) EXPECT_NE(run.out.find(c.out), std::string::npos) << c.arguments << "\n" << run.out;
        else EXPECT_EQ(run.out, c.out) << c.arguments;
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << c.arguments << ": " << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.gbc")) << c.arguments;
        EXPECT_EQ(ReadFile(dir / "game.gb"), rom) << c.arguments;
        WriteFile(dir / "game.gb", rom);  // a fault in one case does not spill into the next
    }
    EXPECT_EQ(ReadFile(dir / "work.gbp"), project);
    // A ROM with no room says why once, and nothing is written.
    WriteFile(dir / "full.gb", MakeRom({.title = "FULL", .freeTail = 20}));
    const CliRun noRoom = RunCli(dir.path(), "colorize full.gb -o out.gbc");
    EXPECT_EQ(std::pair(noRoom.exitCode, noRoom.err), std::pair(1, std::string(kMsgNoSafeRoom) + "\n"));
    EXPECT_FALSE(fs::exists(dir / "out.gbc"));
    // The colour ROM is written, but the run fails: its report never arrived.
    const CliRun written = RunCli(dir.path(), "colorize game.gb -o out.gbc", DAPPLIX_CLI_PATH, "/dev/full");
    EXPECT_EQ(std::pair(written.exitCode, written.err), std::pair(1, full));
    // The side files are looked for here, then beside the program; without them nothing runs.
    ScratchDir programDir, elsewhere;
    fs::copy_file(DAPPLIX_CLI_PATH, programDir / "dapplix-cli");
    EXPECT_EQ(RunCli(elsewhere.path(), "colorize x.gb -o out.gbc", (programDir / "dapplix-cli").string()).err,
              "Required file bnk0cod.dat missing!\n");
}

}  // namespace
}  // namespace dapplix
