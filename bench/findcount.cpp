// How many of the tiles a game shows on screen "find this tile" finds in its ROM: runs each
// monochrome ROM for a while with scripted keys, notes every tile image shown (as the Play
// window does), and searches the ROM for each. Prints a Markdown table.
//   findcount [--frames N] ROM.gb ...
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/Emulator.h"
#include "emulator/Screen.h"
#include "engine/TileSearch.h"

namespace {

using namespace dapplix;

// Keys that get most games past their title screens and moving: Start now and then, A and B
// in turn, and the four directions in turn.
std::uint32_t ScriptedKeys(std::uint64_t frame) {
    std::uint32_t keys = 0;
    if (frame % 180 < 6) keys |= kKeyStart;
    if (frame % 60 >= 30 && frame % 60 < 36) keys |= (frame / 60) % 2 ? kKeyA : kKeyB;
    static const std::uint32_t directions[] = {kKeyRight, 0, kKeyLeft, kKeyUp, kKeyRight, kKeyDown};
    keys |= directions[(frame / 45) % 6];
    return keys;
}

// A tile whose 16 bytes are all one value (blank, solid) is found in almost any ROM.
bool Uniform(const TileImage& image) {
    return std::all_of(image.begin(), image.end(), [&](std::uint8_t b) { return b == image[0]; });
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 3600;
    std::vector<std::string> roms;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else {
            roms.emplace_back(argv[i]);
        }
    }
    if (roms.empty()) {
        std::fprintf(stderr, "usage: findcount [--frames N] ROM.gb ...\n");
        return 2;
    }
    std::printf("| ROM | tiles seen | found in the ROM | found in banks 2+ | not blank: seen | not blank: found |\n");
    std::printf("|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const std::string& path : roms) {
        std::ifstream file(path, std::ios::binary);
        std::vector<std::uint8_t> rom((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (rom.empty()) {
            std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
            ++failures;
            continue;
        }
        TileCoverage coverage;
        CoverageTracker tracker;
        try {
            Emulator game(rom);
            for (int frame = 0; frame < frames; ++frame) {
                game.RunFrame(ScriptedKeys(std::uint64_t(frame)));
                tracker.Note(game.Video(), coverage);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
            ++failures;
            continue;
        }
        int found = 0, foundShown = 0, plain = 0, plainFound = 0;
        for (const TileImage& image : coverage.Images()) {
            const std::vector<TileMatch> matches = FindTileInRom(rom.data(), rom.size(), image.data());
            const bool any = !matches.empty();
            found += any;
            foundShown += FirstShownMatch(matches, 2, 1 << 16) >= 0;
            if (!Uniform(image)) {
                ++plain;
                plainFound += any;
            }
        }
        const int total = static_cast<int>(coverage.Count());
        auto percent = [](int part, int whole) { return whole ? 100.0 * part / whole : 0.0; };
        std::printf("| %s | %d | %d (%.0f %%) | %d (%.0f %%) | %d | %d (%.0f %%) |\n",
                    std::filesystem::path(path).filename().c_str(), total, found, percent(found, total), foundShown,
                    percent(foundShown, total), plain, plainFound, percent(plainFound, plain));
    }
    return failures ? 1 : 0;
}
