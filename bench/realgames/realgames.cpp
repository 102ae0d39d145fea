// Runs real monochrome games beside their colour ROMs on the mGBA core and prints one Markdown
// table row per game and project (for docs/performance.md), a legend and notes on what the
// table leaves out. Progress goes to standard error.
// Usage: realgames [--frames N] [--project none|every|both] [--lag-window N] [--tsv DIR [--pictures F,...]]
//                  [--sidefiles DIR] GAME.gb|FOLDER...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "RealGamesReport.h"

using namespace dapplix::e2e;
namespace fs = std::filesystem;

namespace {

int Usage() {
    std::cerr << "usage: realgames [--frames N] [--project none|every|both] [--lag-window N] [--tsv DIR [--pictures F,...]]\n"
                 "                 [--sidefiles DIR] GAME.gb|FOLDER...\n"
                 "  Every .gb file of a folder is taken, in name order. --lag-window: how many frames a colour\n"
                 "  frame may trail the monochrome one (30). --tsv writes one file a game and project with a\n"
                 "  line a frame and the colour ROM it ran (.gbc), and --pictures the colour and monochrome\n"
                 "  pictures of those frames (PGM).\n"
                 "  --sidefiles names the folder of bnk0cod.dat and exbnkcod.dat (default: the build's).\n";
    return 2;
}

std::vector<std::string> GamesIn(const std::vector<std::string>& arguments) {
    std::vector<std::string> games;
    for (const std::string& argument : arguments) {
        if (!fs::is_directory(argument)) {
            games.push_back(argument);
            continue;
        }
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(argument)) {
            if (entry.is_regular_file() && entry.path().extension() == ".gb") found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        games.insert(games.end(), found.begin(), found.end());
    }
    return games;
}

}  // namespace

int main(int argc, char** argv) {
    GameOptions options;
    options.sideFileDir = DAPPLIX_SIDEFILE_DIR;
    std::vector<GameProject> projects = {GameProject::None, GameProject::EveryTile};
    std::string tsvDir;
    std::vector<int> pictures;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((arg == "--frames" || arg == "--lag-window") && hasValue) {
            const int value = std::atoi(argv[++i]);
            (arg == "--frames" ? options.frames : options.lagBehind) = value;
        } else if (arg == "--project" && hasValue) {
            const std::string which = argv[++i];
            if (which == "none") projects = {GameProject::None};
            else if (which == "every") projects = {GameProject::EveryTile};
            else if (which != "both") return Usage();
        } else if (arg == "--tsv" && hasValue) {
            tsvDir = argv[++i];
        } else if (arg == "--pictures" && hasValue) {
            std::istringstream list(argv[++i]);
            for (std::string frame; std::getline(list, frame, ',');) pictures.push_back(std::atoi(frame.c_str()));
        } else if (arg == "--sidefiles" && hasValue) {
            options.sideFileDir = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else {
            arguments.push_back(arg);
        }
    }
    if (options.frames <= kStartUpFrames || options.lagBehind < 0 || (!pictures.empty() && tsvDir.empty()))
        return Usage();
    for (const int frame : pictures) {
        if (frame < 0 || frame >= options.frames) return Usage();
    }
    const std::vector<std::string> games = GamesIn(arguments);
    if (games.empty()) return Usage();
    if (!tsvDir.empty()) fs::create_directories(tsvDir);

    std::string rows, notes;
    for (const std::string& path : games) {
        std::shared_ptr<const MeasuredRun> mono;  // one monochrome run serves every project
        for (const GameProject project : projects) {
            const auto start = std::chrono::steady_clock::now();
            try {
                const GameResult result = RunGame(path, project, options, mono);
                if (result.game.placed) mono = result.mono;
                rows += TableRow(result);
                notes += Notes(result);
                if (!tsvDir.empty() && result.game.placed) {
                    std::string stem = fs::path(path).stem().string() + "-" + ProjectName(project);
                    std::replace(stem.begin(), stem.end(), ' ', '-');
                    stem = (fs::path(tsvDir) / stem).string();
                    WriteFrameTsv(result, stem + ".tsv");
                    std::ofstream(stem + ".gbc", std::ios::binary)
                        .write(reinterpret_cast<const char*>(result.game.colour.data()),
                               static_cast<std::streamsize>(result.game.colour.size()));
                    for (const int frame : pictures) WritePictures(result, frame, stem);
                }
            } catch (const std::exception& error) {
                std::cerr << "realgames: " << path << ": " << error.what() << "\n";
                return 1;
            }
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::fprintf(stderr, "%s (%s): %.1f s\n", path.c_str(), ProjectName(project), took.count());
        }
    }
    std::cout << TableHeader() << rows << "\n" << TableLegend(options) << "\n" << notes;
    return std::cout.flush() ? 0 : 1;
}
