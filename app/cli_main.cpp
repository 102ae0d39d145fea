// dapplix-cli: the engine of the window program for scripts and batch work.
//   dapplix-cli check ROM.gb
//   dapplix-cli colorize ROM.gb -o OUT.gbc [--project P.gbp] [--force] [--patch ips|bps]
//   dapplix-cli palette|switch ROM.gb BANK PAGE X1 Y1 X2 Y2 ... -o OUT.gbp [--project P.gbp]
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/Binary.h"
#include "engine/CodeFiles.h"
#include "engine/Files.h"
#include "engine/Flows.h"
#include "engine/Palette.h"
#include "engine/Rom.h"
#include "engine/Writer.h"

namespace {

using namespace dapplix;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "Usage:\n"
           "  dapplix-cli check ROM.gb\n"
           "      Prints why the ROM cannot be colorized, or where the color code would go and\n"
           "      what the color ROM can follow (entry, OAM DMA call, copy loops); exits 1 if\n"
           "      it cannot be colorized, 0 if it can.\n"
           "  dapplix-cli colorize ROM.gb -o OUT.gbc [--project PROJECT.gbp] [--force] [--patch ips|bps]\n"
           "      Prepares the ROM, applies the project's palettes and redrawn tiles if one is\n"
           "      given, and writes the 1 MiB Game Boy Color ROM. When bank 0 has no room for\n"
           "      the color code (an unused end, or unused $FF bytes below the header) nothing\n"
           "      is written, unless --force puts the code over ROM code (the color ROM may then\n"
           "      crash). A ROM that writes to VRAM bank 1 itself is never colorized. With\n"
           "      --patch, OUT is an IPS or BPS patch that turns ROM.gb into the color ROM.\n"
           "  dapplix-cli palette ROM.gb BANK PAGE X1 Y1 X2 Y2 N -o OUT.gbp [--project PROJECT.gbp]\n"
           "  dapplix-cli switch ROM.gb BANK PAGE X1 Y1 X2 Y2 A B -o OUT.gbp [--project PROJECT.gbp]\n"
           "      Gives the tiles of grid cells X1,Y1 to X2,Y2 (0..15) of a page (0..3) of a bank\n"
           "      palette N, or swaps their pixel values A and B (0..3), as the window program\n"
           "      does with a selection, and saves the work as a project.\n"
           "  dapplix-cli --help | --version\n"
           "\n"
           "-- ends the options: every argument after it is a file name.\n"
           "The Game Boy code files bnk0cod.dat and exbnkcod.dat are looked for in the\n"
           "current directory, then beside this program.\n";
}

// Messages of a failed flow, one a line, then its summary.
int Failed(const FlowResult& result) {
    for (const auto& message : result.errors) std::cerr << message << '\n';
    if (!result.summary.empty()) std::cerr << result.summary << '\n';
    return kExitFailed;
}

// The side files into model; false (and the reason on standard error) when one is missing.
bool LoadSideFiles(Model& model) {
    std::string fatal;
    if (LoadCodeFiles(model, CodeFileSearchDirs(), fatal)) return true;
    std::cerr << fatal << '\n';
    return false;
}

// The header checks, then the scan on a copy: where the colour code would go and what the
// colour ROM could follow, or why the ROM cannot be colorized.
int Check(const std::string& romPath) {
    auto model = std::make_unique<Model>();
    if (!LoadSideFiles(*model)) return kExitFailed;
    const RomOpenResult result = OpenRomForColouring(*model, romPath);
    for (const auto& message : result.errors) std::cout << message << '\n';
    if (!result.ok) return kExitFailed;
    for (const auto& line : result.findings) std::cout << line << '\n';
    std::cout << QuotedTitle(model->RomBank[0]) << ": " << (model->BankCount + 1) << " banks, "
              << (result.scan.placed ? "can be colorized" : "cannot be colorized") << '\n';
    for (const auto& warning : result.warnings) std::cout << "Warning: " << warning << '\n';
    return result.scan.placed ? kExitOk : kExitFailed;
}

// The side files, the ROM opened for colouring and, when one is named, the project: what
// every command that works on a ROM starts from.
int OpenWork(Model& model, const std::string& romPath, const std::string& projectPath, bool force) {
    if (!LoadSideFiles(model)) return kExitFailed;
    SetDefaultPals(model);
    RomOpenSteps steps;
    steps.overwriteRomCode = [force] { return force; };
    const RomOpenResult opened = OpenRomForColouring(model, romPath, steps);
    if (!opened.ok) return Failed(opened);
    for (const auto& message : opened.errors) std::cerr << message << '\n';
    if (opened.scan.forced) std::cerr << kMsgNotEnoughRoom << '\n';
    for (const auto& warning : opened.warnings) std::cerr << "Warning: " << warning << '\n';
    if (!projectPath.empty()) {
        const FlowResult project = OpenProject(model, projectPath);
        if (!project.ok) return Failed(project);
    }
    return kExitOk;
}

// Before any work: an output that would replace an input, a device or a file the user may
// not write is refused at once.
bool OutputAllowed(const std::string& outPath, const std::vector<std::string>& inputs) {
    std::string refused;
    if (CheckOutputTarget(outPath, inputs, refused)) return true;
    std::cerr << refused << '\n';
    return false;
}

int Colorize(const std::string& romPath, const std::string& outPath, const std::string& projectPath, bool force,
             const PatchFormat* patch) {
    if (!OutputAllowed(outPath, {romPath, projectPath})) return kExitFailed;
    Model& model = Binary();
    if (const int status = OpenWork(model, romPath, projectPath, force); status != kExitOk) return status;
    if (!model.ColourCodePlaced) return kExitFailed;  // (why was said as the ROM was opened)
    if (patch) {
        const FlowResult written = WriteColourPatch(model, outPath, *patch);
        if (!written.ok) return Failed(written);
        std::cout << outPath << kMsgWriteDoneSuffix << '\n';
        return kExitOk;
    }
    std::string error;
    if (!WriteColorRom(model, outPath, error)) {
        std::cerr << error << '\n';
        return kExitFailed;
    }
    std::cout << outPath << kMsgWriteDoneSuffix << '\n';
    return kExitOk;
}

// A whole number from its text, or false.
bool ParseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

// palette ROM BANK PAGE X1 Y1 X2 Y2 N, or switch ROM BANK PAGE X1 Y1 X2 Y2 A B: the
// rectangle as the window selects it, the work saved as a project.
int EditTiles(const std::string& command, const std::vector<std::string>& args, const std::string& outPath,
              const std::string& projectPath) {
    const bool isSwitch = command == "switch";
    const int last = kGridCells - 1;
    struct Field { int low, high; } fields[] = {{kFirstBrowsedBank, kMaxBanks - 1}, {0, 3}, {0, last}, {0, last},
                                                 {0, last}, {0, last}, {0, isSwitch ? kColours - 1 : kPalettes - 1},
                                                 {0, kColours - 1}};
    std::vector<int> n(args.size() - 1);
    for (std::size_t i = 0; i < n.size(); ++i) {
        if (!ParseNumber(args[i + 1], fields[i].low, fields[i].high, n[i])) {
            std::cerr << "dapplix-cli: " << args[i + 1] << " is not a number from " << fields[i].low << " to "
                      << fields[i].high << "\n";
            return kExitUsage;
        }
    }
    if (!OutputAllowed(outPath, {args[0], projectPath})) return kExitFailed;
    Model& model = Binary();
    if (const int status = OpenWork(model, args[0], projectPath, false); status != kExitOk) return status;
    if (n[0] > model.BankCount) {
        std::cerr << "dapplix-cli: the ROM has no bank " << n[0] << "\n";
        return kExitFailed;
    }
    const TileRect rect = SelectionRect(n[0], n[1], n[2], n[3], n[4], n[5]);
    if (isSwitch) SwitchPixels(model, rect, n[6], n[7]);
    else AssignPalette(model, rect, n[6]);
    const FlowResult saved = SaveProject(model, outPath);
    if (!saved.ok) return Failed(saved);
    std::cout << outPath << " saved\n";
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
    bool force = false;
    bool patchGiven = false;
    PatchFormat patch = PatchFormat::Ips;
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
        if (arg == "--force" && command == "colorize") {
            force = true;
            continue;
        }
        if (arg == "--patch" && command == "colorize") {
            if (i + 1 >= args.size() || !ParsePatchFormat(args[i + 1], patch)) {
                std::cerr << "dapplix-cli: --patch needs ips or bps\n";
                return kExitUsage;
            }
            patchGiven = true;
            ++i;
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
        return Colorize(positional[0], outPath, projectPath, force, patchGiven ? &patch : nullptr);
    if ((command == "palette" && positional.size() == 8) || (command == "switch" && positional.size() == 9))
        if (!outPath.empty()) return EditTiles(command, positional, outPath, projectPath);

    std::cerr << "dapplix-cli: ";
    if (command != "check" && command != "colorize" && command != "palette" && command != "switch")
        std::cerr << "unknown command " << command;
    else if (command != "check" && outPath.empty()) std::cerr << command << " needs -o OUT";
    else std::cerr << "wrong arguments for " << command;
    std::cerr << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) { return Finish(Run(std::vector<std::string>(argv + 1, argv + argc))); }
