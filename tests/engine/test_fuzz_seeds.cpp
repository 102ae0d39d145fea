// Writes the seed corpus of the fuzz targets: inputs the readers accept, so that fuzzing
// starts from files that reach deep into them. Each seed is checked to be accepted.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "engine/Rom.h"
#include "project/ProjectFile.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
namespace fs = std::filesystem;

TEST(FuzzSeeds, ProjectsAndRomsTheReadersAccept) {
    const fs::path seeds = DAPPLIX_SEED_DIR;
    fs::create_directories(seeds / "project");
    fs::create_directories(seeds / "rom");
    fs::create_directories(seeds / "colour");
    std::vector<std::vector<std::uint8_t>> projects, roms;

    for (int variant = 0; variant < 4; ++variant) {
        auto model = MakeModel();
        model->BankCount = static_cast<std::int16_t>(1 + variant * 2);
        for (int bank = 0; bank <= model->BankCount; ++bank) {
            model->TileOffset[bank] = static_cast<std::int16_t>((bank * 3 + variant) % 16);
            for (int tile = variant; tile < kTilesPerBank; tile += 97 + variant * 50) model->TilePal[bank][tile] = static_cast<std::int16_t>(tile % 8);
            if (variant % 2) {
                model->TileEdited[bank][bank] = true;
                model->EditedTile[bank][bank].fill(static_cast<std::uint8_t>(bank));
            }
        }
        if (variant == 3)
            for (auto& pal : model->TilePal[2]) pal = 3;  // a full bank
        std::vector<std::uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(EncodeGbp(*model, bytes, error));
        auto check = MakeModel();
        check->BankCount = model->BankCount;
        ASSERT_TRUE(DecodeGbp(*check, bytes, error)) << error;
        WriteFile(seeds / "project" / ("seed-" + std::to_string(variant) + ".gbp"), bytes);
        projects.push_back(bytes);
    }

    // Small ROMs with DMA code, copy loops and a free end: the scan's paths.
    for (int variant = 0; variant < 3; ++variant) {
        auto rom = MakeRom({.banks = 3, .cartridgeType = static_cast<std::uint8_t>(variant == 2 ? 0x13 : 0x01), .sizeCode = 1});
        const std::uint8_t code[] = {0x3E, 0xC1, 0xE0, 0x46, 0xCD, 0x80, 0xFF, 0x2A, 0x12, 0x13};
        std::copy(std::begin(code), std::end(code), rom.begin() + 0x400 + variant * 64);
        if (variant != 1) std::fill(rom.begin() + kBankSize - 300 + variant * 100, rom.begin() + kBankSize, 0xFF);
        auto model = MakeModel();
        ASSERT_TRUE(LoadRomBytes(*model, rom).ok);
        WriteFile(seeds / "rom" / ("seed-" + std::to_string(variant) + ".gb"), rom);
        roms.push_back(rom);
    }

    // Both together, as the colour target takes them: the project's length (low byte
    // first), the project, the ROM. Each project goes with a ROM its banks fit or overrun.
    for (std::size_t i = 0; i < projects.size(); ++i) {
        const auto& project = projects[i];
        ASSERT_LT(project.size(), 0x10000u);
        std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(project.size() & 0xFF),
                                       static_cast<std::uint8_t>(project.size() >> 8)};
        seed.insert(seed.end(), project.begin(), project.end());
        seed.insert(seed.end(), roms[i % roms.size()].begin(), roms[i % roms.size()].end());
        WriteFile(seeds / "colour" / ("seed-" + std::to_string(i)), seed);
    }
}

}  // namespace
}  // namespace dapplix
