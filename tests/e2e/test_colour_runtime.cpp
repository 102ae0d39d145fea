// The colour runtime on the mGBA core: each build of the test game, coloured with the test
// project, runs beside its monochrome original to the same frame of the game with the same
// keys held; the colour run must show the project's palettes and otherwise match the original.
// (A screen pixel is palette RAM at its tile's attribute and value: the checks stop at those.)
#include <gtest/gtest.h>

#include "ColourRun.h"
#include "engine/RuntimeLayout.h"
#include "engine/TileDictionary.h"
#include "engine/Writer.h"

#include <mgba/core/core.h>
#include <mgba/internal/gb/gb.h>

#include <random>
#include <set>
#include <sstream>

namespace dapplix::e2e {
namespace {

constexpr int kGameFrame = 300;  // the refresh has passed every map entry on screen; the bee is on screen

class ColourRuntime : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        static std::map<std::string, std::unique_ptr<ColourRun>> runs;  // one run per ROM and process
        auto& shared = runs[GetParam()];
        if (!shared) {
            shared = StartColourAndMono(LoadTestRom(GetParam()));
            for (Emulator* e : {shared->mono.get(), shared->colour.get()})
                RunToGameFrame(*e, shared->rom, kGameFrame, {{40, 100, kKeyRight}, {150, 160, kKeyA}});
        }
        run = shared.get();
    }
    int Palette(int tileAddress) const { return ExpectedPalette(run->dictionary, *run->colour, static_cast<std::uint16_t>(tileAddress)); }
    const ColourRun* run = nullptr;
};

TEST_P(ColourRuntime, PaletteRamHoldsTheProjectColours) {
    ASSERT_TRUE(run->colour->IsColourModel());
    for (int i = 0; i < kPaletteSets * kPalettes * kColours; ++i)  // set i / 32, palette i / 4 % 8, colour i % 4
        EXPECT_EQ(run->colour->PaletteRam(i / 32, i / 4 % 8, i % 4), ModelColourWord(*run->model, i / 32, i / 4 % 8, i % 4)) << i;
}

// Every map entry on screen carries its tile's palette and nothing else: tiles copied by the
// loop (attributes from the copy hook) and the sun, whose entries the game writes directly
// (from the refresh). The star is left out: its entry changes every 128 frames. With all 40
// sprites on screen the refresh only moves on now and then: there a few entries (the sun's)
// may still carry what an earlier map number gave them, but nine tenths are right.
// Every sprite on screen carries its tile's palette in OAM. With all 40 on screen, those the
// blank leaves no time for keep palette 0: the first slots are coloured, never wrongly.
TEST_P(ColourRuntime, MapEntriesAndSpritesOnScreenCarryTheirTilesPalettes) {
    const Emulator& colour = *run->colour;
    const bool busy = run->rom.At("ALL_SPRITES"), tiles8000 = colour.Read(0xFF40) & 0x10;
    const int star = run->rom.At("STAR_Y") * 32 + run->rom.At("STAR_X");
    std::ostringstream wrong;
    int waiting = 0;
    for (int cell = 0; cell < 32 * kScreenHeight / 8; ++cell) {
        if (cell % 32 >= kScreenWidth / 8 || cell == star) continue;
        const int number = colour.Read(static_cast<std::uint16_t>(0x9800 + cell), 0);
        const int attribute = colour.Read(static_cast<std::uint16_t>(0x9800 + cell), 1);
        const int expected = Palette((tiles8000 || number >= 128) ? 0x8000 + number * 16 : 0x9000 + number * 16);
        if (busy && attribute != expected) ++waiting;
        else if (attribute != expected) wrong << " " << cell % 32 << "," << cell / 32 << " (tile " << number << ": " << attribute << " not " << expected << ")";
    }
    EXPECT_EQ(wrong.str().substr(0, 200), "");
    EXPECT_LT(waiting, 18 * 20 / 10);

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
}

// The colour set-up switches the LCD off and on again: the game must find it as the boot ROM
// left it at its first instruction.
TEST_P(ColourRuntime, GameStartsWithTheLcdAsTheBootRomLeftIt) {
    const auto fresh = StartColourAndMono(LoadTestRom(GetParam()));
    for (Emulator* e : {fresh->mono.get(), fresh->colour.get()}) {
        for (int i = 0; i < 1000000 && e->Pc() != fresh->rom.At("Start"); ++i) e->Step();
        ASSERT_EQ(e->Pc(), fresh->rom.At("Start"));
    }
    EXPECT_EQ(fresh->colour->Read(0xFF40), fresh->mono->Read(0xFF40));
}

// The same variables (MBC2: with the count in cartridge RAM), LCD registers and VRAM bank 0, at normal speed
// (no write of the game lost), and the same sprites but for the palette bits. The game logs
// AF, BC, DE and HL after the copy sequence (all 16 flag combinations, towards WRAM, a tile's
// first and second byte and a map entry) and after one DMA call: the hooks leave what the
// original instructions leave. A fast timer interrupt ran through the start-up copies: its
// handler never found another WRAM bank at 0xD800, though the copy hook switches to bank 2.
TEST_P(ColourRuntime, GameReachesTheSameStateAsInMonochrome) {
    const Emulator &mono = *run->mono, &colour = *run->colour;
    ASSERT_FALSE(mono.IsColourModel());
    std::ostringstream wrong;
    for (int i = 0; i < run->rom.At("REGISTER_LOG_SIZE"); ++i) {
        const auto address = static_cast<std::uint16_t>(run->rom.At("wRegisterLog") + i);
        if (mono.Read(address) != colour.Read(address)) wrong << " case " << i / 8 << " byte " << i % 8;
    }
    EXPECT_EQ(wrong.str().substr(0, 200), "") << "registers after the copy sequence or the DMA call";
    for (const Emulator* emulator : {&mono, &colour}) {
        EXPECT_EQ(emulator->Read(run->rom.At("wBankError")), 0);
        EXPECT_GT(emulator->Read16(run->rom.At("wTimerTicks")), 200) << "the timer interrupt hardly ran";
    }
    const int state = run->rom.At("wFrame");
    for (int address = state; address < state + run->rom.At("GAME_STATE_SIZE"); ++address)
        EXPECT_EQ(mono.Read(std::uint16_t(address)), colour.Read(std::uint16_t(address))) << "variable at " << std::hex << address;
    for (std::uint16_t lcd : {0xFF40, 0xFF42, 0xFF43, 0xFF47, 0xFF48})  // LCDC, scroll, monochrome palettes
        EXPECT_EQ(mono.Read(lcd), colour.Read(lcd)) << "register " << std::hex << lcd;
    EXPECT_EQ(colour.Read(0xFF4D) & 0x80, 0) << "the game runs at double speed (the set-up copies at double speed)";
    int vramDifferences = 0;
    for (int address = 0x8000; address < 0xA000; ++address)
        vramDifferences += mono.Read(std::uint16_t(address), 0) != colour.Read(std::uint16_t(address), 0);
    EXPECT_EQ(vramDifferences, 0);
    for (int i = 0; i < 160; ++i)
        EXPECT_EQ(mono.Oam(i) & (i % 4 == 3 ? 0xF8 : 0xFF), colour.Oam(i) & (i % 4 == 3 ? 0xF8 : 0xFF)) << "OAM byte " << i;
}

// A lookup whose slots run past the end of the dictionary's part goes on at the part's first
// slot above the probe code, in ROM (MBC1) as in WRAM (MBC3). Images given palettes in bank 1
// (unused by the test game, so redrawing them there is harmless) take every slot from the
// home of one of the game's tiles to the end of the part, with larger tags (which a probe
// passes), so that tile lands past the end; then every tile the game loaded carries the
// record the program's own lookup gives it.
TEST(ColourRuntimeDictionary, FindsATileWhoseSlotsRunPastTheEndOfItsPart) {
    for (const char* name : {"demo", "mbc3_128k"}) {
        SCOPED_TRACE(name);
        TileImage pushed{};
        const auto key = [](const std::uint8_t* bytes) { return SlotKeyOf(HashTile(bytes), 1); };  // a one-part dictionary
        const auto home = [&](const std::uint8_t* bytes) { return key(bytes).home; };
        const auto tag = [&](const std::uint8_t* bytes) { return SlotTag(key(bytes).tagLow, key(bytes).tagHigh); };
        const auto run = StartColourAndMono(LoadTestRom(name), [&](Model& model, const TestRom& rom) {
            ApplyTestProject(model, rom);
            const int bank = rom.At("BANK_A");
            int highest = -1;
            for (int t = 0; t < rom.Tiles("TilesA"); ++t) {
                const std::uint8_t* bytes = model.RomBank[bank].data() + 16 * t;
                if (home(bytes) > highest && tag(bytes) < 0x8000) {  // (room for larger tags)
                    highest = home(bytes);
                    std::copy_n(bytes, kTileBytes, pushed.begin());
                }
            }
            std::mt19937 random(7);
            int filler = 0;
            for (int slot = highest; slot < kDictionarySlotsPerPart; ++slot) {
                TileImage image{};
                do {
                    for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
                } while (home(image.data()) != slot || tag(image.data()) <= tag(pushed.data()));
                model.TileEdited[1][std::size_t(filler)] = true;
                model.EditedTile[1][std::size_t(filler)] = image;
                model.TilePal[1][std::size_t(filler++)] = 1;
            }
        });
        ASSERT_EQ(run->dictionary.parts, 1);
        bool pastTheEnd = false;  // the pushed image sits in the slots above the probe code
        for (int slot = kDictionaryReservedSlots; slot < kDictionaryReservedSlots + 64; ++slot)
            pastTheEnd = pastTheEnd ||
                         SlotTag(run->dictionary.image[std::size_t(2 * slot)], run->dictionary.image[std::size_t(2 * slot + 1)]) == tag(pushed.data());
        ASSERT_TRUE(pastTheEnd) << "the test's own set-up";
        RunToGameFrame(*run->colour, run->rom, 60, {});
        std::ostringstream wrong;
        int found = 0;
        for (int tile = 0; tile < 256; ++tile) {  // the records by 0x8000 addressing
            const int expected = ExpectedPalette(run->dictionary, *run->colour, static_cast<std::uint16_t>(0x8000 + 16 * tile));
            const int record = run->colour->Read(static_cast<std::uint16_t>(runtime::kRecordsUnsigned + tile), 1);
            found += expected != 0;
            if (record != expected) wrong << " " << tile << " (" << record << " not " << expected << ")";
        }
        EXPECT_EQ(wrong.str().substr(0, 200), "");
        EXPECT_GT(found, 8);
        int at = -1;  // where the game put the pushed tile
        for (int tile = 0; tile < 256 && at < 0; ++tile) {
            bool same = true;
            for (int i = 0; i < kTileBytes; ++i) same = same && run->colour->Read(static_cast<std::uint16_t>(0x8000 + 16 * tile + i), 0) == pushed[std::size_t(i)];
            if (same) at = tile;
        }
        ASSERT_GE(at, 0) << "the pushed tile is not in VRAM";
        EXPECT_NE(LookUpTile(run->dictionary, pushed.data()), 0);
        EXPECT_EQ(run->colour->Read(static_cast<std::uint16_t>(runtime::kRecordsUnsigned + at), 1), LookUpTile(run->dictionary, pushed.data()));
    }
}

// A program with no interrupt enabled that paces itself by polling LY for the blank (some
// games do; pollpace.s) goes on after its hooked poll on the cycle its own loop would. The
// loop reads LY every 8 cycles, so from its first read to the instruction after it takes
// the same number of cycles modulo 8 every time, and it goes on within the first 8 cycles
// it can after line 144 starts. A hook that returned a few cycles late, or always on the
// same cycle, breaks one or the other; in a game whose frame takes about a frame that is a
// frame lost or gained now and then.
struct PollTimes {
    std::set<int> sinceFirstRead;  // cycles from the poll's first read to its end, modulo 8
    int earliest = 1 << 30, latest = -1;  // cycles into line 144 at its end
};

PollTimes TimePolls(Emulator& emulator, std::uint16_t poll, int polls) {
    auto* gb = static_cast<GB*>(emulator.Core()->board);
    PollTimes times;
    double entered = -1;
    for (int done = 0; done < polls;) {
        const std::uint16_t pc = emulator.Pc();
        if (pc == poll && entered < 0) entered = emulator.Cycles();
        if (pc == poll + 6 && entered >= 0) {
            // (the line's end event counts 8 units a machine cycle; line 144 has 114 cycles)
            const int intoLine = (2 * 456 - mTimingUntil(&gb->timing, &gb->video.modeEvent)) / 8;
            if (++done > 20 && emulator.Cycles() - entered > 114) {  // polls that waited, once the shades are followed
                times.sinceFirstRead.insert(static_cast<int>(emulator.Cycles() - entered) % 8);
                times.earliest = std::min(times.earliest, intoLine);
                times.latest = std::max(times.latest, intoLine);
            }
            entered = -1;
        }
        emulator.Step();
    }
    return times;
}

TEST(ColourRuntimePolls, APollGoesOnWhenTheGamesOwnLoopWould) {
    const TestRom rom = LoadTestRom("pollpace");
    const auto model = PrepareModel(rom.image, DAPPLIX_SIDEFILE_DIR);  // no palettes
    ASSERT_NE(model->StoreHooksPos, 0) << "the poll is hooked only with the store hooks' fragment";
    Emulator mono(rom.image, true), colour(BuildColorRom(*model));
    const PollTimes original = TimePolls(mono, rom.At("Loop"), 200), coloured = TimePolls(colour, rom.At("Loop"), 200);
    ASSERT_EQ(original.sinceFirstRead.size(), 1u);
    EXPECT_EQ(original.latest - original.earliest, 7) << "the polls fall on each cycle of the loop";
    EXPECT_EQ(coloured.sinceFirstRead, original.sinceFirstRead);
    EXPECT_GE(coloured.earliest, original.earliest);
    EXPECT_LE(coloured.latest, original.latest);
}

INSTANTIATE_TEST_SUITE_P(TestRoms, ColourRuntime, ::testing::ValuesIn(kTestRomNames), [](const auto& info) { return info.param; });

}  // namespace
}  // namespace dapplix::e2e
