// The colour runtime on the mGBA core. Each test ROM is coloured through the engine with the
// test project and run in colour next to its monochrome original until both reach the same
// frame of the game, with the same keys held; then the colour run must show the project's
// colours where the tiles were given them and otherwise match the monochrome run.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "ColourRun.h"
#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

constexpr int kGameFrame = 300;  // the refresh has passed every map entry; the bee is on screen
const std::vector<KeyHold> kKeys = {{40, 100, kKeyRight}, {150, 160, kKeyA}};

// One run per ROM and process, shared by the checks below.
ColourRun& RunOf(const std::string& name) {
    static std::map<std::string, std::unique_ptr<ColourRun>> runs;
    auto& run = runs[name];
    if (!run) run = RunColourAndMono(name, kGameFrame, kKeys);
    return *run;
}

struct Cell {
    int x, y;
};

// Screen pixels a visible sprite covers (Y 1-159 and X 1-167 put some of it on screen).
std::set<std::pair<int, int>> SpritePixels(const Emulator& emulator) {
    std::set<std::pair<int, int>> covered;
    for (int i = 0; i < 40; ++i) {
        const int y = emulator.Oam(i * 4) - 16;
        const int x = emulator.Oam(i * 4 + 1) - 8;
        for (int dy = 0; dy < 8; ++dy) {
            for (int dx = 0; dx < 8; ++dx) covered.insert({x + dx, y + dy});
        }
    }
    return covered;
}

// Map number and pixel value (0-3) the background shows at a screen pixel (no scrolling).
struct BackgroundPixel {
    int mapNumber;
    int value;
};

BackgroundPixel BackgroundAt(const Emulator& emulator, int x, int y) {
    const int mapNumber = emulator.Read(static_cast<std::uint16_t>(0x9800 + (y / 8) * 32 + x / 8), 0);
    const bool tiles8000 = emulator.Read(0xFF40) & 0x10;
    const int tileAddress = (tiles8000 || mapNumber >= 128) ? 0x8000 + mapNumber * 16 : 0x9000 + mapNumber * 16;
    const int row = tileAddress + (y % 8) * 2;
    const int bit = 7 - x % 8;
    const int low = (emulator.Read(static_cast<std::uint16_t>(row), 0) >> bit) & 1;
    const int high = (emulator.Read(static_cast<std::uint16_t>(row + 1), 0) >> bit) & 1;
    return {mapNumber, low + 2 * high};
}

class ColourRuntime : public ::testing::TestWithParam<std::string> {};

TEST_P(ColourRuntime, HeaderChecksumsAreValid) {
    const auto& rom = RunOf(GetParam()).colourRom;
    ASSERT_EQ(rom.size(), kColorRomSize);
    std::uint8_t header = 0;
    for (int i = 0x134; i <= 0x14C; ++i) header = static_cast<std::uint8_t>(header - rom[i] - 1);
    EXPECT_EQ(rom[0x14D], header);
    std::uint16_t global = 0;
    for (std::size_t i = 0; i < rom.size(); ++i) {
        if (i != 0x14E && i != 0x14F) global = static_cast<std::uint16_t>(global + rom[i]);
    }
    EXPECT_EQ((rom[0x14E] << 8) | rom[0x14F], global);
    EXPECT_EQ(rom[0x143], 0xC0);
}

TEST_P(ColourRuntime, PaletteRamHoldsTheProjectColours) {
    const ColourRun& run = RunOf(GetParam());
    ASSERT_TRUE(run.colour->IsColourModel());
    for (int p = 0; p < kPalettes; ++p) {
        for (int c = 0; c < kColours; ++c) {
            EXPECT_EQ(run.colour->BackgroundColour(p, c), ModelColourWord(*run.model, kBackgroundSet, p, c))
                << "background palette " << p << " colour " << c;
            EXPECT_EQ(run.colour->SpriteColour(p, c), ModelColourWord(*run.model, kSpriteSet, p, c))
                << "sprite palette " << p << " colour " << c;
        }
    }
}

// Every background pixel not under a sprite shows the colour its tile's palette gives its
// value. This covers tiles copied by the loop (attributes written by the copy hook) and the
// sun, whose map entries the game writes directly (attributes from the refresh). The star is
// left out: its map entry changes every 128 frames and the refresh may not have passed yet.
TEST_P(ColourRuntime, BackgroundShowsEachTilesPalette) {
    const ColourRun& run = RunOf(GetParam());
    const Emulator& colour = *run.colour;
    const auto covered = SpritePixels(colour);
    int wrongPixels = 0, wrongAttributes = 0;
    std::ostringstream firstErrors;
    for (int cy = 0; cy < 18; ++cy) {
        for (int cx = 0; cx < 20; ++cx) {
            if (cx == run.layout.starX && cy == run.layout.starY) continue;
            const int entry = 0x9800 + cy * 32 + cx;
            const int mapNumber = colour.Read(static_cast<std::uint16_t>(entry), 0);
            const int palette = ExpectedPalette(*run.model, run.layout, mapNumber);
            if (colour.Read(static_cast<std::uint16_t>(entry), 1) != palette) {
                if (wrongAttributes++ < 5) firstErrors << " attribute of cell " << cx << "," << cy;
            }
            for (int y = cy * 8; y < cy * 8 + 8; ++y) {
                for (int x = cx * 8; x < cx * 8 + 8; ++x) {
                    if (covered.count({x, y})) continue;
                    const BackgroundPixel bg = BackgroundAt(colour, x, y);
                    const auto expected = ScreenColour(ModelColourWord(*run.model, kBackgroundSet, palette, bg.value));
                    if (colour.Pixel(x, y) != expected && wrongPixels++ < 5) {
                        firstErrors << " pixel " << x << "," << y;
                    }
                }
            }
        }
    }
    EXPECT_EQ(wrongAttributes, 0) << firstErrors.str();
    EXPECT_EQ(wrongPixels, 0) << firstErrors.str();
}

// Every sprite on screen carries its tile's palette in OAM, and the bee's drawn pixels are
// that sprite palette's colours.
TEST_P(ColourRuntime, SpritesShowTheirTilesPalettes) {
    const ColourRun& run = RunOf(GetParam());
    const Emulator& colour = *run.colour;
    int shown = 0;
    for (int i = 0; i < 40; ++i) {
        const int y = colour.Oam(i * 4);
        if (y == 0 || y >= 160) continue;
        ++shown;
        const int tile = colour.Oam(i * 4 + 2);
        EXPECT_EQ(colour.Oam(i * 4 + 3) & 0x0F, ExpectedPalette(*run.model, run.layout, tile)) << "sprite " << i;
    }
    EXPECT_EQ(shown, run.layout.allSprites ? 40 : 1);

    const int beeY = colour.Oam(0) - 16, beeX = colour.Oam(1) - 8, tile = colour.Oam(2);
    const int palette = ExpectedPalette(*run.model, run.layout, tile);
    int drawn = 0;
    for (int dy = 0; dy < 8; ++dy) {
        const int low = colour.Read(static_cast<std::uint16_t>(0x8000 + tile * 16 + dy * 2), 0);
        const int high = colour.Read(static_cast<std::uint16_t>(0x8000 + tile * 16 + dy * 2 + 1), 0);
        for (int dx = 0; dx < 8; ++dx) {
            const int value = ((low >> (7 - dx)) & 1) + 2 * ((high >> (7 - dx)) & 1);
            const int x = beeX + dx, y = beeY + dy;
            if (value == 0 || x < 0 || x >= kScreenWidth || y < 0 || y >= kScreenHeight) continue;
            ++drawn;
            EXPECT_EQ(colour.Pixel(x, y), ScreenColour(ModelColourWord(*run.model, kSpriteSet, palette, value)))
                << "bee pixel " << dx << "," << dy;
        }
    }
    EXPECT_GT(drawn, 10);
}

// The replaced copy sequence and the hooked DMA call leave the same registers and flags as
// the original code: the game's own log of them is the same in both runs.
TEST_P(ColourRuntime, CopySequenceAndDmaCallLeaveTheSameRegisters) {
    const ColourRun& run = RunOf(GetParam());
    int differences = 0;
    std::ostringstream where;
    for (int i = 0; i < run.layout.registerLogSize; ++i) {
        const auto address = static_cast<std::uint16_t>(run.layout.registerLog + i);
        if (run.mono->Read(address) != run.colour->Read(address) && differences++ < 5) {
            where << " case " << i / 8 << " byte " << i % 8;
        }
    }
    EXPECT_EQ(differences, 0) << where.str();
}

// A fast timer interrupt runs through the game's start-up copies. Its handler checks a
// marker the game keeps at 0xD800: it must never find another WRAM bank there, though the
// copy hook switches to bank 2 for every map byte and tile start.
TEST_P(ColourRuntime, InterruptHandlersOnlySeeTheGamesWramBank) {
    const ColourRun& run = RunOf(GetParam());
    for (const Emulator* emulator : {run.mono.get(), run.colour.get()}) {
        EXPECT_EQ(emulator->Read(run.layout.bankError), 0);
        EXPECT_GT(emulator->Read16(run.layout.timerTicks), 200) << "the timer interrupt hardly ran";
    }
}

// At the same frame of the game, with the same keys: the same VRAM bank 0 (no write of the
// game lost), the same sprites apart from the palette bits, the same variables, and every
// pixel drawn with the same shade index.
TEST_P(ColourRuntime, GameReachesTheSameStateAsInMonochrome) {
    const ColourRun& run = RunOf(GetParam());
    const Emulator& mono = *run.mono;
    const Emulator& colour = *run.colour;
    ASSERT_FALSE(mono.IsColourModel());
    EXPECT_EQ(mono.Read16(run.layout.frameCounter), colour.Read16(run.layout.frameCounter));

    int vramDifferences = 0;
    for (int address = 0x8000; address < 0xA000; ++address) {
        if (mono.Read(static_cast<std::uint16_t>(address), 0) != colour.Read(static_cast<std::uint16_t>(address), 0)) {
            ++vramDifferences;
        }
    }
    EXPECT_EQ(vramDifferences, 0);

    for (int i = 0; i < 160; ++i) {
        const int mask = i % 4 == 3 ? 0xF8 : 0xFF;  // palette bits come from the runtime
        EXPECT_EQ(mono.Oam(i) & mask, colour.Oam(i) & mask) << "OAM byte " << i;
    }
    for (int address = run.layout.frameCounter; address < run.layout.frameCounter + 7; ++address) {
        EXPECT_EQ(mono.Read(static_cast<std::uint16_t>(address)), colour.Read(static_cast<std::uint16_t>(address)))
            << "variable at " << std::hex << address;
    }

    // Shade index per pixel: the monochrome screen has four grey levels (light to dark =
    // value 0-3 under the identity palettes the game sets); a colour-run pixel names its
    // palette entry, whose colour number is the value.
    std::vector<std::uint32_t> greys;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            if (std::find(greys.begin(), greys.end(), mono.Pixel(x, y)) == greys.end()) greys.push_back(mono.Pixel(x, y));
        }
    }
    ASSERT_EQ(greys.size(), 4u);
    std::sort(greys.begin(), greys.end(), [](std::uint32_t a, std::uint32_t b) { return (a & 0xFF) > (b & 0xFF); });
    std::map<std::uint32_t, int> colourNumber;
    for (int set = 0; set < kPaletteSets; ++set) {
        for (int p = 0; p < kPalettes; ++p) {
            for (int c = 0; c < kColours; ++c) colourNumber[ScreenColour(ModelColourWord(*run.model, set, p, c))] = c;
        }
    }
    ASSERT_EQ(colourNumber.size(), 64u);
    int shadeDifferences = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const int shade = static_cast<int>(std::find(greys.begin(), greys.end(), mono.Pixel(x, y)) - greys.begin());
            const auto found = colourNumber.find(colour.Pixel(x, y));
            if (found == colourNumber.end() || found->second != shade) ++shadeDifferences;
        }
    }
    EXPECT_EQ(shadeDifferences, 0);
}

INSTANTIATE_TEST_SUITE_P(TestRoms, ColourRuntime,
                         ::testing::Values("demo", "mbc1_256k", "mbc1_full_bank0", "mbc3_128k", "mbc2_128k"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace dapplix::e2e
