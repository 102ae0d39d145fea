// "Find this tile" on real games (../shared/realgames beside the project): every place the
// search names holds the tile's bytes, and tiles the games show are found where they exist
// verbatim. The games are test inputs only and stay where they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "emulator/Emulator.h"
#include "emulator/Screen.h"
#include "engine/TileSearch.h"

namespace dapplix {
namespace {

namespace fs = std::filesystem;

TEST(RealGames, FindThisTileNamesOnlyPlacesThatHoldTheTile) {
    const fs::path folder = fs::path(DAPPLIX_SOURCE_DIR) / ".." / "shared" / "realgames";
    if (!fs::is_directory(folder)) GTEST_SKIP() << "MISSING: " << folder << " is not there, so no real game was tried";
    int games = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".gb") continue;
        ++games;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> rom((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        Emulator game(rom);
        TileCoverage coverage;
        CoverageTracker tracker;
        for (int frame = 0; frame < 600; ++frame) {
            game.RunFrame(frame % 120 < 5 ? std::uint32_t(kKeyStart) : 0u);
            tracker.Note(game.Video(), coverage);
        }
        const std::string name = entry.path().filename().string();
        ASSERT_GT(coverage.Count(), 0u) << name << " showed no tile";
        int found = 0;
        for (const TileImage& image : coverage.Images()) {
            const std::vector<TileMatch> matches = FindTileInRom(rom.data(), rom.size(), image.data());
            found += !matches.empty();
            for (const TileMatch& match : matches) {
                const std::size_t at = std::size_t(match.bank) * kBankSize + std::size_t(match.tile) * kTileBytes + match.offset;
                ASSERT_LE(at + kTileBytes, std::size_t(match.bank + 1) * kBankSize) << name;
                ASSERT_EQ(std::memcmp(rom.data() + at, image.data(), kTileBytes), 0) << name;
            }
            // Every place, counted the slow way: no place is missed.
            std::size_t places = 0;
            for (std::size_t at = 0; at + kTileBytes <= rom.size(); ++at)
                places += at % kBankSize <= std::size_t(kBankSize - kTileBytes) &&
                          std::memcmp(rom.data() + at, image.data(), kTileBytes) == 0;
            ASSERT_EQ(matches.size(), places) << name;
        }
        EXPECT_GT(found, 0) << name;
    }
    EXPECT_GT(games, 0) << folder << " holds no game";
}

}  // namespace
}  // namespace dapplix
