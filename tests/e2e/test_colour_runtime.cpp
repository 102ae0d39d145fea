// The colour runtime on the mGBA core. Each test ROM is coloured through the engine with the
// test project and run in colour next to its monochrome original until both reach the same
// frame of the game, with the same keys held; then the colour run must show the project's
// colours where the tiles were given them and otherwise match the monochrome run.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "ColourRun.h"
#include "engine/Rom.h"
#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

constexpr int kGameFrame = 300;  // the refresh has passed every map entry on screen; the bee is on screen

class ColourRuntime : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        static std::map<std::string, std::unique_ptr<ColourRun>> runs;  // one run per ROM and process
        auto& shared = runs[GetParam()];
        if (!shared) {
            auto started = StartColourAndMono(LoadTestRom(GetParam()));
            for (Emulator* e : {started->mono.get(), started->colour.get()}) {
                RunToGameFrame(*e, started->rom, kGameFrame, {{40, 100, kKeyRight}, {150, 160, kKeyA}});
            }
            shared = std::move(started);
        }
        run = shared.get();
    }
    // Value 0-3 of pixel (x, y) of the tile at a VRAM address (bank 0).
    int TilePixel(int tileAddress, int x, int y) const {
        const auto row = static_cast<std::uint16_t>(tileAddress + y * 2);
        return ((run->colour->Read(row, 0) >> (7 - x)) & 1) | (((run->colour->Read(row + 1, 0) >> (7 - x)) & 1) << 1);
    }
    std::uint32_t ScreenColourOf(int set, int palette, int value) const {
        return ScreenColour(ModelColourWord(*run->model, set, palette, value));
    }
    // The palette the tile at a VRAM address gets: its bytes' entry in the dictionary.
    int Palette(int tileAddress) const { return ExpectedPalette(run->dictionary, *run->colour, static_cast<std::uint16_t>(tileAddress)); }
    const ColourRun* run = nullptr;
};

TEST_P(ColourRuntime, WrittenHeaderIsValid) {
    ASSERT_EQ(run->colourRom.size(), kColorRomSize);
    EXPECT_EQ(run->colourRom[kColorFlag], 0xC0);
    EXPECT_TRUE(ChecksumsValid(run->colourRom));
}

TEST_P(ColourRuntime, PaletteRamHoldsTheProjectColours) {
    ASSERT_TRUE(run->colour->IsColourModel());
    for (int set = 0; set < kPaletteSets; ++set) {
        for (int i = 0; i < kPalettes * kColours; ++i) {
            EXPECT_EQ(run->colour->PaletteRam(set, i / 4, i % 4), ModelColourWord(*run->model, set, i / 4, i % 4))
                << "set " << set << " palette " << i / 4 << " colour " << i % 4;
        }
    }
}

// Every background pixel not under a sprite shows the colour its tile's palette gives its
// value. This covers tiles copied by the loop (attributes from the copy hook) and the sun,
// whose map entries the game writes directly (attributes from the refresh). The star is left
// out: its map entry changes every 128 frames and the refresh may not have passed it yet.
// With all 40 sprites on screen the sprites take the blank's time and the refresh only moves
// on now and then: there a few cells (the sun's, written after the copy loop) may still show
// what an earlier map number gave them, but nine tenths of the screen is right.
TEST_P(ColourRuntime, BackgroundShowsEachTilesPalette) {
    const bool busy = run->rom.At("ALL_SPRITES");
    const Emulator& colour = *run->colour;
    std::vector<bool> underSprite(kScreenWidth * kScreenHeight);
    for (int i = 0; i < 40; ++i) {
        const int top = colour.Oam(i * 4) - 16, left = colour.Oam(i * 4 + 1) - 8;
        for (int y = std::max(top, 0); y < std::min(top + 8, kScreenHeight); ++y) {
            for (int x = std::max(left, 0); x < std::min(left + 8, kScreenWidth); ++x) underSprite[y * kScreenWidth + x] = true;
        }
    }
    const bool tiles8000 = colour.Read(0xFF40) & 0x10;
    const int star = run->rom.At("STAR_Y") * 32 + run->rom.At("STAR_X");
    std::ostringstream wrong;
    int waiting = 0;  // pixels of cells the refresh has not reached yet (busy frames only)
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const int cell = (y / 8) * 32 + x / 8;
            if (cell == star) continue;
            const int number = colour.Read(static_cast<std::uint16_t>(0x9800 + cell), 0);
            const int tile = (tiles8000 || number >= 128) ? 0x8000 + number * 16 : 0x9000 + number * 16;
            const int attribute = colour.Read(static_cast<std::uint16_t>(0x9800 + cell), 1);
            if (busy && attribute != Palette(tile)) {
                ++waiting;
                continue;
            }
            if (x % 8 == 0 && y % 8 == 0 && attribute != Palette(tile)) {
                wrong << " attribute of cell " << x / 8 << "," << y / 8 << " (tile " << number << ": "
                      << int(colour.Read(static_cast<std::uint16_t>(0x9800 + cell), 1)) << " not " << Palette(tile) << ")";
            }
            if (!underSprite[y * kScreenWidth + x] && colour.Pixel(x, y) != ScreenColourOf(kBackgroundSet, Palette(tile), TilePixel(tile, x % 8, y % 8))) {
                wrong << " pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(wrong.str().substr(0, 200), "");
    EXPECT_LT(waiting, kScreenWidth * kScreenHeight / 10);  // most of the screen is coloured
}

// Every sprite on screen carries its tile's palette in OAM, and the bee's drawn pixels are
// that sprite palette's colours. With all 40 on screen, those the blank leaves no time for
// keep palette 0: the first slots are coloured, never with another tile's palette.
TEST_P(ColourRuntime, SpritesShowTheirTilesPalettes) {
    const Emulator& colour = *run->colour;
    const bool busy = run->rom.At("ALL_SPRITES");
    int shown = 0, coloured = 0;
    for (int i = 0; i < 40; ++i) {
        if (colour.Oam(i * 4) == 0 || colour.Oam(i * 4) >= 160) continue;
        ++shown;
        const int palette = colour.Oam(i * 4 + 3) & 0x0F;
        if (busy && palette == 0 && i >= 16) continue;
        ++coloured;
        EXPECT_EQ(palette, Palette(0x8000 + colour.Oam(i * 4 + 2) * 16)) << "sprite " << i;
    }
    EXPECT_EQ(shown, busy ? 40 : 1);
    EXPECT_GE(coloured, busy ? 16 : 1);
    const int top = colour.Oam(0) - 16, left = colour.Oam(1) - 8, tile = colour.Oam(2);
    int drawn = 0;
    for (int y = std::max(-top, 0); y < 8 && top + y < kScreenHeight; ++y) {
        for (int x = std::max(-left, 0); x < 8 && left + x < kScreenWidth; ++x) {
            const int value = TilePixel(0x8000 + tile * 16, x, y);
            if (value == 0) continue;  // transparent
            ++drawn;
            EXPECT_EQ(colour.Pixel(left + x, top + y), ScreenColourOf(kSpriteSet, Palette(0x8000 + tile * 16), value))
                << "bee pixel " << x << "," << y;
        }
    }
    EXPECT_GT(drawn, 10);
}

// The colour set-up switches the LCD off and on again: the game must find it as the boot ROM
// left it (checked from a fresh power-on, at the game's first instruction).
TEST_P(ColourRuntime, GameStartsWithTheLcdAsTheBootRomLeftIt) {
    const auto fresh = StartColourAndMono(LoadTestRom(GetParam()));
    for (Emulator* e : {fresh->mono.get(), fresh->colour.get()}) {
        for (int i = 0; i < 1000000 && e->Pc() != fresh->rom.At("Start"); ++i) e->Step();
        ASSERT_EQ(e->Pc(), fresh->rom.At("Start"));
    }
    EXPECT_EQ(fresh->colour->Read(0xFF40), fresh->mono->Read(0xFF40));
}

// The game logs AF, BC, DE and HL after the copy sequence, run with all 16 flag combinations
// towards WRAM, a tile's first and second byte and a map entry, and after one DMA call: the
// hooks must leave what the original instructions leave.
TEST_P(ColourRuntime, CopySequenceAndDmaCallLeaveTheSameRegisters) {
    std::ostringstream wrong;
    for (int i = 0; i < run->rom.At("REGISTER_LOG_SIZE"); ++i) {
        const auto address = static_cast<std::uint16_t>(run->rom.At("wRegisterLog") + i);
        if (run->mono->Read(address) != run->colour->Read(address)) wrong << " case " << i / 8 << " byte " << i % 8;
    }
    EXPECT_EQ(wrong.str().substr(0, 200), "");
}

// A fast timer interrupt runs through the game's start-up copies; its handler checks a marker
// the game keeps at 0xD800: it must never find another WRAM bank there, though the copy hook
// switches to bank 2 for every map byte and tile start.
TEST_P(ColourRuntime, InterruptHandlersOnlySeeTheGamesWramBank) {
    for (const Emulator* emulator : {run->mono.get(), run->colour.get()}) {
        EXPECT_EQ(emulator->Read(run->rom.At("wBankError")), 0);
        EXPECT_GT(emulator->Read16(run->rom.At("wTimerTicks")), 200) << "the timer interrupt hardly ran";
    }
}

// At the same frame of the game, with the same keys: the same variables (MBC2: with the count
// kept in cartridge RAM), the same LCD registers and VRAM bank 0 (no write of the game lost),
// and the same sprites apart from the palette bits.
TEST_P(ColourRuntime, GameReachesTheSameStateAsInMonochrome) {
    const Emulator &mono = *run->mono, &colour = *run->colour;
    ASSERT_FALSE(mono.IsColourModel());
    const int state = run->rom.At("wFrame");
    for (int address = state; address < state + run->rom.At("GAME_STATE_SIZE"); ++address) {
        const auto at = static_cast<std::uint16_t>(address);
        EXPECT_EQ(mono.Read(at), colour.Read(at)) << "variable at " << std::hex << address;
    }
    for (std::uint16_t lcd : {0xFF40, 0xFF42, 0xFF43, 0xFF47, 0xFF48}) {  // LCDC, scroll, monochrome palettes
        EXPECT_EQ(mono.Read(lcd), colour.Read(lcd)) << "register " << std::hex << lcd;
    }
    int vramDifferences = 0;
    for (int address = 0x8000; address < 0xA000; ++address) {
        vramDifferences += mono.Read(static_cast<std::uint16_t>(address), 0) != colour.Read(static_cast<std::uint16_t>(address), 0);
    }
    EXPECT_EQ(vramDifferences, 0);
    for (int i = 0; i < 160; ++i) {
        const int mask = i % 4 == 3 ? 0xF8 : 0xFF;  // palette bits come from the runtime
        EXPECT_EQ(mono.Oam(i) & mask, colour.Oam(i) & mask) << "OAM byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(TestRoms, ColourRuntime, ::testing::ValuesIn(kTestRomNames), [](const auto& info) { return info.param; });

}  // namespace
}  // namespace dapplix::e2e
