// dapplix-cli: the engine of the window program for scripts and batch work.
//   dapplix-cli check ROM.gb
//   dapplix-cli colorize ROM.gb -o OUT.gbc [--project P.gbp]
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"
#include "engine/CodeFiles.h"
#include "engine/Files.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "engine/Writer.h"
#include "project/Palette.h"
#include "project/ProjectFile.h"

namespace {

using namespace dapplix;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "Usage:\n"
           "  dapplix-cli check ROM.gb\n"
           "      Prints why the ROM cannot be colorized, one message a line; exits 1 if it\n"
           "      cannot, 0 if it can.\n"
           "  dapplix-cli colorize ROM.gb -o OUT.gbc [--project PROJECT.gbp]\n"
           "      Prepares the ROM, applies the project's palettes and redrawn tiles if one is\n"
           "      given, and writes the 1 MiB Game Boy Color ROM.\n"
           "  dapplix-cli --help | --version\n"
           "\n"
           "-- ends the options: every argument after it is a file name.\n"
           "The Game Boy code files bnk0cod.dat and exbnkcod.dat are looked for in the\n"
           "current directory, then beside this program.\n";
}

int Check(const std::string& romPath) {
    auto model = std::make_unique<Model>();
    const RomLoadResult result = LoadRom(*model, romPath);
    for (const auto& message : result.errors) std::cout << message << '\n';
    if (!result.ok) return kExitFailed;
    std::cout << "\"" << PrintableTitle(model->RomBank[0]) << "\": " << (model->BankCount + 1)
              << " banks, can be colorized\n";
    for (const auto& warning : result.warnings) std::cout << "Warning: " << warning << '\n';
    return kExitOk;
}

int Colorize(const std::string& romPath, const std::string& outPath, const std::string& projectPath) {
    // Before any work: an output that would replace an input, a device or a file the
    // user may not write is refused at once.
    std::string refused;
    if (!CheckOutputTarget(outPath, {romPath, projectPath}, refused)) {
        std::cerr << refused << '\n';
        return kExitFailed;
    }
    Model& model = Binary();
    std::string fatal;
    if (!LoadCodeFiles(model, CodeFileSearchDirs(), fatal)) {
        std::cerr << fatal << '\n';
        return kExitFailed;
    }
    SetDefaultPals(model);

    const RomLoadResult loaded = LoadRom(model, romPath);
    if (!loaded.ok) {
        for (const auto& message : loaded.errors) std::cerr << message << '\n';
        std::cerr << kMsgCouldNotLoadRom << '\n';
        return kExitFailed;
    }
    for (const auto& warning : loaded.warnings) std::cerr << "Warning: " << warning << '\n';
    const ScanResult scan = ScanRom(model);
    if (scan.notEnoughRoom) std::cerr << kMsgNotEnoughRoom << '\n';

    if (!projectPath.empty()) {
        const auto headerErrors = CheckGbpHeader(projectPath);
        std::string error;
        if (!headerErrors.empty() || !LoadGbp(model, projectPath, error)) {
            for (const auto& message : headerErrors) std::cerr << message << '\n';
            if (headerErrors.empty()) std::cerr << error << '\n';
            std::cerr << kMsgCouldNotLoadGbp << '\n';
            return kExitFailed;
        }
    }

    std::string error;
    if (!WriteColorRom(model, outPath, error)) {
        std::cerr << error << '\n';
        return kExitFailed;
    }
    std::cout << outPath << kMsgWriteDoneSuffix << '\n';
    return kExitOk;
}

// What was printed is the result of the run: output that never arrived (standard output
// on a full disk, > /dev/full) fails the run.
int Finish(int exitCode) {
    // std::cout writes straight into stdout's buffer (synchronised with C stdio), so
    // flushing stdout first keeps the system's reason for a failure.
    std::string error;
    if (FlushOutput(stdout, error) && std::cout.flush()) return exitCode;
    std::cerr << "dapplix-cli: couldn't write to standard output: " << error << '\n';
    return exitCode == kExitOk ? kExitFailed : exitCode;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "dapplix-cli " << DAPPLIX_VERSION << '\n';
        return kExitOk;
    }

    const std::string command = args[0];
    std::vector<std::string> positional;
    std::string outPath;
    std::string projectPath;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const bool takesValue = arg == "-o" || arg == "--output" || arg == "--project";
        if (takesValue) {
            if (i + 1 >= args.size()) {
                std::cerr << "dapplix-cli: " << arg << " needs a file name\n";
                return kExitUsage;
            }
            (arg == "--project" ? projectPath : outPath) = args[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "dapplix-cli: unknown option " << arg << "\n\n";
            PrintUsage(std::cerr);
            return kExitUsage;
        } else {
            positional.push_back(arg);
        }
    }

    if (command == "check" && positional.size() == 1 && outPath.empty() && projectPath.empty())
        return Check(positional[0]);
    if (command == "colorize" && positional.size() == 1 && !outPath.empty())
        return Colorize(positional[0], outPath, projectPath);

    std::cerr << "dapplix-cli: ";
    if (command != "check" && command != "colorize") std::cerr << "unknown command " << command;
    else if (command == "colorize" && outPath.empty()) std::cerr << "colorize needs -o OUT.gbc";
    else std::cerr << "wrong arguments for " << command;
    std::cerr << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) { return Finish(Run(std::vector<std::string>(argv + 1, argv + argc))); }
