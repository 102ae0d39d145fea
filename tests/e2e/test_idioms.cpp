// Habits of real games, each in a small program (gbcode/testroms/idioms.s), coloured with the
// test project and run beside the original one instruction at a time (RecordRun). The colour
// run must keep every VRAM write the original keeps, never run into RST 38, end in the same
// state, show the bee's palette and, at the end, every map entry's; some habits add checks.
#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <sstream>

#include "RealGames.h"
#include "engine/RuntimeLayout.h"
#include "engine/SideFileLayout.h"
#include "engine/Writer.h"

namespace dapplix::e2e {
namespace {

constexpr int kSpriteFrom = 2;       // game frames after which the bee must show its palette
constexpr int kObp1Found = 8;        // ... and the more until it is seen on OBP1 (four slots every eighth frame)
constexpr int kFramesAfterEnd = 60;  // both runs go on this long past the game's last frame
constexpr int kReachBound = 60;      // game frames within which a tile must get its palette
constexpr int kVariables = 16;       // the program's variables from wFrame on

// What can go wrong, apart, so that a known limit of the colour code skips its own kind only.
enum Area { kWrites, kGame, kSprite, kBackground, kAreas };
const char* const kAreaNames[kAreas] = {"the game's VRAM writes", "the game's state", "the bee's colours", "the background's colours"};
constexpr unsigned Bit(Area area) { return 1u << area; }

// One run: its frame records and the program's variables at the start of each frame.
struct GameRun {
    RunRecord record;
    std::vector<std::array<std::uint8_t, kVariables>> variables;
    std::vector<int> gameFrame;  // wFrame at each frame; -1 until the game has cleared it
    std::array<std::uint16_t, 32> spritePalettes{};  // palette RAM at the end (palette x 4 + colour)
    std::vector<std::array<std::uint16_t, 32>> backgroundPalettes;  // at each frame's end (colour model)
    int doubleSpeedShown = 0;  // frames that began with the LCD on and the CPU at double speed
    std::vector<int> spriteSlots;  // the slots the sprite pass takes, at each frame's end (colour)
};

class IdiomRun;
using Check = void (*)(IdiomRun& run);

struct Idiom {
    const char* name;                     // the program: roms/idiom_<name>.gb
    int workAtEnd;                        // wWork when the game is over
    Check check = nullptr;                // the habit's own checks
    unsigned knownAreas = 0;              // where the colour code fails today (Bit(area) ...) ...
    std::vector<const char*> known = {};  // ... and how: those checks skip with this while they fail
};

class IdiomRun {
public:
    explicit IdiomRun(const Idiom& idiom)
        : rom(LoadTestRom(std::string("idiom_") + idiom.name)), model(PrepareModel(rom.image, DAPPLIX_SIDEFILE_DIR)) {
        ApplyTestProject(*model, rom);
        if (rom.At("SPRITE_OBP1"))  // palettes 0-3 only: 4-7 are free to be twins for OBP1
            for (auto& bank : model->TilePal)
                for (auto& palette : bank) palette &= 3;
        dictionary = BuildTileDictionary(*model);
        const int frames = rom.At("END_FRAME") + kFramesAfterEnd;
        mono = Record(rom.image, frames, true);
        colour = Record(BuildColorRom(*model), frames, false);
    }

    int Variable(const GameRun& run, int frame, const char* name, int bytes = 1) const {
        const auto& v = run.variables[std::size_t(frame)];
        const auto at = std::size_t(rom.At(name) - rom.At("wFrame"));
        return bytes == 1 ? v[at] : v[at] | v[at + 1] << 8;
    }
    static int LastFrame(const GameRun& run) { return static_cast<int>(run.record.frames.size()) - 1; }
    // The palette of the tile a map entry or sprite names (0x8000 addressing), by its bytes then.
    int Palette(const FrameRecord& frame, int number) const { return LookUpTile(dictionary, &frame.vram[std::size_t(number) * 16]); }
    // A map entry's, under the tile addressing LCDC picks.
    int MapPalette(const FrameRecord& frame, int number) const {
        return Palette(frame, frame.lcdc & 0x10 || number >= 128 ? number : number + 256);
    }
    // A sprite's: its tile's, or that one's twin when it takes its shades from OBP1.
    int SpritePalette(const FrameRecord& frame, int slot) const {
        const int palette = Palette(frame, frame.oam[std::size_t(slot * 4 + 2)]);
        return frame.oam[std::size_t(slot * 4 + 3)] & 0x10 ? Twin(palette) : palette;
    }
    int Twin(int palette) const { return model->ExtraBankCode[sidefile::kSettingTwins + std::size_t(palette)]; }
    // Whether the colour run's background palettes the project uses (0-3: 4-7 are the twins)
    // hold, at the end of frame f, their colours under the shades bgp gives.
    bool BackgroundShows(int f, std::uint8_t bgp) const {
        for (int p = 0; p < 4; ++p)
            for (int v = 0; v < kColours; ++v)
                if (colour.backgroundPalettes[std::size_t(f)][std::size_t(p * 4 + v)] != ModelColourWord(*model, kBackgroundSet, p, bgp >> (2 * v) & 3))
                    return false;
        return true;
    }
    // Map entries on screen without their tile's palette (x, y: the cell on screen).
    std::string WrongCells(const FrameRecord& frame) const {
        std::ostringstream wrong;
        const int map = frame.lcdc & 0x08 ? 0x400 : 0;
        const int rows = frame.scy % 8 ? 19 : 18, columns = frame.scx % 8 ? 21 : 20;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                const auto cell = std::size_t(map + ((frame.scy / 8 + y) & 31) * 32 + ((frame.scx / 8 + x) & 31));
                const int number = frame.vram[0x1800 + cell], expected = MapPalette(frame, number);
                if (frame.attributes[cell] != expected)
                    wrong << " " << x << "," << y << " (tile " << number << ": " << int(frame.attributes[cell]) << " not " << expected << ")";
            }
        return wrong.str();
    }

    TestRom rom;
    std::unique_ptr<Model> model;  // scanned, with the project
    TileDictionary dictionary;
    GameRun mono, colour;
    std::ostringstream found[kAreas];  // what went wrong, by area
    std::ostringstream setUp;          // what the checks rely on and did not find

private:
    GameRun Record(const std::vector<std::uint8_t>& image, int frames, bool monochrome) const {
        GameRun run;
        const auto atFrame = [&](const Emulator& emulator, int) {
            std::array<std::uint8_t, kVariables> v{};
            for (int i = 0; i < kVariables; ++i) v[std::size_t(i)] = emulator.Read(static_cast<std::uint16_t>(rom.At("wFrame") + i));
            run.variables.push_back(v);
            for (int i = 0; i < 32 && !monochrome; ++i) run.spritePalettes[std::size_t(i)] = emulator.PaletteRam(kSpriteSet, i / 4, i % 4);
            auto& background = run.backgroundPalettes.emplace_back();
            for (int i = 0; i < 32 && !monochrome; ++i) background[std::size_t(i)] = emulator.PaletteRam(kBackgroundSet, i / 4, i % 4);
            run.doubleSpeedShown += !monochrome && emulator.Read(0xFF40) & 0x80 && emulator.Read(0xFF4D) & 0x80;
            if (!monochrome) run.spriteSlots.push_back(emulator.Read(runtime::kSpriteSlots, runtime::kRuntimeWramBank));
        };
        run.record = RecordRun(image, {.frames = frames, .monochromeModel = monochrome, .atFrame = atFrame});
        bool cleared = false;  // (the counter holds what power-on left until the game clears it)
        for (const auto& v : run.variables) {
            cleared = cleared || (v[0] == 0 && v[1] == 0);
            run.gameFrame.push_back(cleared ? v[0] | v[1] << 8 : -1);
        }
        return run;
    }
};

// --- The habits' own checks

// The timer handler, running all through the DMA call and the colour work after it, must find
// the game's WRAM bank and VRAM bank 0 every time. (On a monochrome Game Boy both registers
// read 0xFF: there every interrupt counts as foreign, which shows the count works.)
void TimerSeesTheGamesBanks(IdiomRun& run) {
    const auto atEnd = [&run](const GameRun& r, const char* name, int bytes = 1) { return run.Variable(r, IdiomRun::LastFrame(r), name, bytes); };
    const int svbk = atEnd(run.colour, "wForeignSvbk"), vbk = atEnd(run.colour, "wForeignVbk"), ticks = atEnd(run.colour, "wTicksInDma", 2);
    if (svbk || vbk) run.found[kGame] << " the timer handler found another bank (SVBK bits " << svbk << ", VBK bit " << vbk << ");";
    if (ticks < int(run.rom.At("END_FRAME"))) run.setUp << " only " << ticks << " timer interrupts around the DMA calls;";
    if (!atEnd(run.mono, "wForeignSvbk") || !atEnd(run.mono, "wForeignVbk")) run.setUp << " the monochrome run's timer handler never saw the registers read 0xFF;";
}

// The twin a sprite on OBP1 shows holds its palette's colours under OBP1's shades: pixel value
// v in the colour for shade (OBP1 >> 2v) & 3.
void TwinShowsObp1Shades(IdiomRun& run) {
    const FrameRecord& frame = run.colour.record.frames.back();
    const int palette = run.Palette(frame, frame.oam[2]), twin = run.Twin(palette);
    if (!(frame.oam[3] & 0x10) || twin == palette) {
        run.setUp << " the bee is not on OBP1 or its palette " << palette << " has no twin;";
        return;
    }
    const int obp1 = run.rom.At("OBP1_SHADES");
    for (int v = 0; v < kColours; ++v) {
        const std::uint16_t shown = run.colour.spritePalettes[std::size_t(twin * 4 + v)];
        const std::uint16_t wanted = ModelColourWord(*run.model, kSpriteSet, palette, obp1 >> (2 * v) & 3);
        if (shown != wanted)
            run.found[kSprite] << " twin " << twin << " of palette " << palette << " shows " << shown << " for value " << v << ", not " << wanted << ";";
    }
}

// A DMA call on line 146 leaves the frame's work too little of the blank for the pieces that
// keep the sprite pass's slot count before the pass, and the game waits where the colour code
// gets no time: the count must still come down from the 40 it starts at to the slots the game
// uses, or every pass spends its lines on slots no sprite is in.
void SlotCountComesDown(IdiomRun& run) {
    const FrameRecord& end = run.colour.record.frames.back();
    int used = 0;  // up to the last slot whose sprite is on screen
    for (int slot = 0; slot < 40; ++slot)
        if (end.oam[std::size_t(4 * slot)] - 1u < 159u) used = slot + 1;
    if (run.colour.spriteSlots.front() != 40) run.setUp << " the count starts at " << run.colour.spriteSlots.front() << ";";
    EXPECT_EQ(run.colour.spriteSlots.back(), used) << "the slots the sprite pass takes at the end";
}

// A fade's steps reach palette RAM although forty sprites take the blank after the DMA call:
// from the sixth frame of a step on (its first frame, two blanks that find no time, the one
// that writes the background first, and the picture drawn after it) the background palettes
// show their colours under its BGP. The shades are followed from the 16th frame's work on
// (the game's frame 35 here). With LCDC bit 0 clear the background shows as under a BGP of 0,
// white on a monochrome Game Boy.
void BackgroundFollowsTheFade(IdiomRun& run) {
    const auto& frames = run.colour.record.frames;
    constexpr int kSteady = 5, kFollowedFrom = 40;
    int checked = 0, behind = 0, firstBehind = -1;
    std::set<std::uint8_t> shades;
    for (int f = kSteady; f <= IdiomRun::LastFrame(run.colour); ++f) {
        const auto shownBgp = [&frames](int g) { return frames[std::size_t(g)].lcdc & 0x01 ? frames[std::size_t(g)].bgp : 0; };
        const std::uint8_t bgp = shownBgp(f);
        bool steady = true;
        for (int g = f - kSteady; g <= f; ++g) steady = steady && shownBgp(g) == bgp && frames[std::size_t(g)].lcdc & 0x80;
        if (!steady || run.colour.gameFrame[std::size_t(f)] < kFollowedFrom) continue;
        ++checked;
        shades.insert(bgp);
        if (!run.BackgroundShows(f, bgp)) firstBehind = behind++ ? firstBehind : f;
    }
    if (shades.size() < (run.rom.At("FADE_STEPS") ? 4u : 2u)) run.setUp << " only " << shades.size() << " steps of the fade held for " << kSteady << " frames;";
    if (behind) run.found[kBackground] << " palette RAM behind BGP in " << behind << " of " << checked << " frames, the first " << firstBehind << ";";
}

// A fade's step taken just before the game switches the LCD off (the blank before it left to
// the game, and the one before that to the forty sprites) shows on the first frame the LCD is
// on again (the round counted): the background palettes hold the shades BGP gives, not the
// step before.
void FadeShownAsTheLcdComesOn(IdiomRun& run) {
    const auto& frames = run.colour.record.frames;
    int stepped = 0;
    for (int f = 3; f <= IdiomRun::LastFrame(run.colour); ++f) {
        const FrameRecord& frame = frames[std::size_t(f)];
        if (run.Variable(run.colour, f, "wWork") == run.Variable(run.colour, f - 1, "wWork") || run.colour.gameFrame[std::size_t(f)] < 40) continue;
        stepped += frame.bgp != frames[std::size_t(f - 3)].bgp;
        if (!run.BackgroundShows(f, frame.bgp)) run.found[kBackground] << " frame " << f << " (BGP " << int(frame.bgp) << ") shows other shades;";
    }
    if (stepped < 4) run.setUp << " only " << stepped << " steps just before the LCD went off;";
}

// Each scene loaded with the LCD off is right on the first frame the LCD is on again: the
// copy hook gave the map entries their palettes as the loop stored them. (Stored while LCDC
// is 0, they take the tile addressing last shown: the first scene, loaded before the LCD
// ever showed the game's, takes the boot ROM's.)
void ScenesRightOnTheirFirstFrame(IdiomRun& run) {
    int scene = 1;
    for (int f = 0; f <= IdiomRun::LastFrame(run.colour); ++f) {
        const FrameRecord& frame = run.colour.record.frames[std::size_t(f)];
        if (run.colour.gameFrame[std::size_t(f)] < 0 || !(frame.lcdc & 0x80) || run.Variable(run.colour, f, "wWork") != scene) continue;
        const bool guessed = scene == 1 && run.rom.At("ZERO_LCDC") && !(frame.lcdc & 0x10);
        const std::string wrong = guessed ? "" : run.WrongCells(frame);
        if (!wrong.empty()) run.found[kBackground] << " scene " << scene << " (frame " << f << "):" << wrong.substr(0, 160) << ";";
        ++scene;
    }
    if (scene != int(run.rom.At("SCENES")) + 2) run.setUp << " saw " << scene - 1 << " scenes come on;";
}

// A round of the main loop that waits for the blank to switch the LCD off ends in the same
// game frame as in the original: the frame's work in that blank does not bring the game back
// to its poll after the blank, which would keep it waiting a frame more.
void SwitchedOffInTheBlankItWaitedFor(IdiomRun& run) {
    const auto roundEnds = [&run](const GameRun& r) {
        std::vector<int> ends;
        for (int f = 0; f <= IdiomRun::LastFrame(r); ++f)
            if (r.gameFrame[std::size_t(f)] >= 0 && run.Variable(r, f, "wWork") > int(ends.size())) ends.push_back(r.gameFrame[std::size_t(f)]);
        return ends;
    };
    const std::vector<int> mono = roundEnds(run.mono), colour = roundEnds(run.colour);
    if (mono.empty()) run.setUp << " no round ended;";
    if (colour != mono) {
        run.found[kGame] << " rounds ended in game frames";
        for (const int g : colour) run.found[kGame] << " " << g;
        run.found[kGame] << " (the original:";
        for (const int g : mono) run.found[kGame] << " " << g;
        run.found[kGame] << ");";
    }
}

// Loads with the timer's interrupt on: scenes right as ever, and the handler, taken in the
// middle of loads that the colour code finishes at once, never in the runtime's banks.
void ScenesRightWithTheTimerOn(IdiomRun& run) {
    ScenesRightOnTheirFirstFrame(run);
    const auto atEnd = [&run](const char* name, int bytes = 1) { return run.Variable(run.colour, IdiomRun::LastFrame(run.colour), name, bytes); };
    if (atEnd("wForeignSvbk") || atEnd("wForeignVbk")) run.found[kGame] << " the timer handler found another bank;";
    // (a tick every 512 cycles: some 350 in the loads as the colour code copies them now)
    if (atEnd("wTicksInDma", 2) < 4 * 64) run.setUp << " only " << atEnd("wTicksInDma", 2) << " timer interrupts in the loads;";
}

// A tile that never passes the copy loop, in a map entry written directly, gets its palette
// within kReachBound game frames of the LCD coming on, for good (the time is printed).
void TilesReachedOtherwiseGetTheirPalettes(IdiomRun& run) {
    const GameRun& colour = run.colour;
    const FrameRecord& last = colour.record.frames.back();
    const auto cell = std::size_t(run.rom.At("REACH_CELL") - 0x9800);
    const int expected = run.MapPalette(last, last.vram[0x1800 + cell]);
    int first = -1, coloured = -1;  // the frame the LCD came on, the game frame of the palette
    for (int f = 0; f < int(colour.record.frames.size()) && coloured < 0; ++f) {
        const FrameRecord& frame = colour.record.frames[std::size_t(f)];
        if (colour.gameFrame[std::size_t(f)] < 0 || !(frame.lcdc & 0x80)) continue;
        first = first < 0 ? f : first;
        if (frame.attributes[cell] == expected) coloured = colour.gameFrame[std::size_t(f)];
    }
    if (expected == 0 || first < 0 || colour.record.frames[std::size_t(first)].attributes[cell] == expected)
        run.setUp << " the letter has palette " << expected << " from the start;";
    std::cout << "[ reach    ] palette " << expected << " after " << (coloured < 0 ? "no" : std::to_string(coloured)) << " frames\n";
    if (coloured < 0 || coloured > kReachBound) run.found[kBackground] << " the letter got no palette within " << kReachBound << " frames;";
    else if (last.attributes[cell] != expected) run.found[kBackground] << " the letter lost its palette again;";
}

// A game that waits for a key in a loop of its own (and nowhere else before it) gives the
// runtime that time for the letter, and still sees the key on the same frame as the original.
void TilesColouredWhileTheGameWaitsForAKey(IdiomRun& run) {
    TilesReachedOtherwiseGetTheirPalettes(run);
    const auto cell = std::size_t(run.rom.At("REACH_CELL") - 0x9800);
    const FrameRecord& last = run.colour.record.frames.back();
    const int expected = run.MapPalette(last, last.vram[0x1800 + cell]);
    const auto firstFrame = [&run](const GameRun& game, const auto& holds) {
        for (int f = 0; f <= IdiomRun::LastFrame(game); ++f)
            if (holds(f)) return f;
        return -1;
    };
    const auto keySeen = [&run](const GameRun& game) {
        return [&run, &game](int f) { return run.Variable(game, f, "wKeySeen") != 0; };
    };
    const int monoKey = firstFrame(run.mono, keySeen(run.mono)), colourKey = firstFrame(run.colour, keySeen(run.colour));
    const int coloured = firstFrame(run.colour, [&](int f) { return run.colour.record.frames[std::size_t(f)].attributes[cell] == expected; });
    if (monoKey < 0) run.setUp << " the original never saw the key;";
    if (colourKey != monoKey) run.found[kGame] << " the key seen on frame " << colourKey << ", the original's " << monoKey << ";";
    if (coloured < 0 || coloured > colourKey) run.found[kBackground] << " the letter not coloured while the game waited (" << coloured << ");";
}

// Limits of the colour code today, as these programs show them.
const char* const kFadeTakesTheBlank =
    "a fade's step that found no time after the sprites twice takes the next frame's work, the background's palettes "
    "and then the sprites', in place of the sprite pass: the bee keeps palette 0 on those frames";
const char* const kLateDmaCall =
    "after a DMA call at line 150 the colour work returns at once (a sprite pass could not end in the blank): "
    "the bee keeps palette 0";

const char* const kDmaLine146Sprite =
    "with the DMA call on line 146 the frame's work starts on line 148: on some frames that also look after the "
    "slot count, the checks before the pass take the line it needed, and the bee shows palette 0 for that frame";
const char* const kDmaLine146Background =
    "with the DMA call on line 146 and a wait the colour code cannot use, the refresh has a chunk every eighth "
    "frame: the eight entries the game rewrites after the call every frame keep older attributes";

const Idiom kIdioms[] = {
    {"late_dma", 0, nullptr, Bit(kSprite), {kLateDmaCall}},
    {"dma_line_146", 0, SlotCountComesDown, Bit(kSprite) | Bit(kBackground), {kDmaLine146Sprite, kDmaLine146Background}},
    {"rows_after_dma", 0},  // 96 map writes after the DMA call: the game's whole blank from its first frame on
    {"stat_copy", 12},
    {"timer_in_dma", 0, TimerSeesTheGamesBanks},
    {"lcd_off_loads", 4, ScenesRightOnTheirFirstFrame},
    {"lcd_off_loads_keep", 4, ScenesRightOnTheirFirstFrame},
    {"lcd_off_loads_timer", 4, ScenesRightWithTheTimerOn},
    {"lcd_off_rows_timer", 4, ScenesRightWithTheTimerOn},  // block B by GBDK's row loop, through 0x9800 on to 0x8800
    {"lcd_off_loads_wram1", 4, ScenesRightOnTheirFirstFrame},  // block A copied to VRAM from WRAM bank 1
    {"lcd_off_loads_memcpy", 4, ScenesRightOnTheirFirstFrame},  // ... both copies by GBDK's memcpy (to WRAM: its rest copied at once)
    {"lcd_off_loads_tail", 4, ScenesRightOnTheirFirstFrame},  // block A's copy ends 7 bytes into a tile
    {"lcd_off_loads_8800", 4, ScenesRightOnTheirFirstFrame},  // LCDC 0 while loading: the addressing last shown
    {"lcd_off_stores", 4, ScenesRightOnTheirFirstFrame},  // block A from bank 1 through BC, the map through HL and set_vram_byte
    {"lcd_off_stores_8800", 4, ScenesRightOnTheirFirstFrame},  // the same under 0x8800 addressing (set_vram_byte's own record table)
    {"reach", 0, TilesReachedOtherwiseGetTheirPalettes},
    {"reach_busy", 0, TilesReachedOtherwiseGetTheirPalettes},  // the main loop waits on the flag without a HALT
    {"reach_poll", 0, TilesReachedOtherwiseGetTheirPalettes},  // ... after polling LY, then the DMA call from the handler
    {"reach_pad", 0, TilesColouredWhileTheGameWaitsForAKey},
    {"scroll", 0},  // map columns the game never wrote come into view: only the refresh colours them
    {"obp1", 0, TwinShowsObp1Shades},
    {"line_wait", 7, SwitchedOffInTheBlankItWaitedFor},  // a blank handler with more to do after its DMA call, a main loop waiting for line 145
    {"line_wait_1", 8, SwitchedOffInTheBlankItWaitedFor},  // ... in the frame after the one with little to do
    {"line_wait_long", 7, SwitchedOffInTheBlankItWaitedFor},  // ... whose handler ends in line 151 of the original
    {"fade_busy", 12, BackgroundFollowsTheFade, Bit(kSprite), {kFadeTakesTheBlank}},  // ... stepping through a fade
    {"fade_off", 12, FadeShownAsTheLcdComesOn, Bit(kSprite), {kFadeTakesTheBlank}},  // ... the LCD switched off right after a step
    {"bg_off", 0, BackgroundFollowsTheFade},  // the background off (LCDC bit 0) and on again: white while off
};

void PrintTo(const Idiom& idiom, std::ostream* out) { *out << idiom.name; }

class Idioms : public ::testing::TestWithParam<Idiom> {};

TEST_P(Idioms, ColourRunKeepsTheGameAndShowsItsColours) {
    const Idiom& idiom = GetParam();
    IdiomRun run(idiom);
    const GameRun &mono = run.mono, &colour = run.colour;
    ASSERT_TRUE(mono.record.stopped.empty() && colour.record.stopped.empty()) << mono.record.stopped << colour.record.stopped;

    // Both games are over, with the same work done; the original loses no write.
    for (const GameRun* r : {&mono, &colour}) {
        SCOPED_TRACE(r == &mono ? "monochrome" : "colour");
        ASSERT_EQ(r->gameFrame.back(), int(run.rom.At("END_FRAME")));
        ASSERT_EQ(run.Variable(*r, IdiomRun::LastFrame(*r), "wWork"), idiom.workAtEnd);
    }
    ASSERT_EQ(mono.record.droppedVramWrites, 0) << "first in frame " << mono.record.firstDropFrame;

    if (colour.record.droppedVramWrites != 0) run.found[kWrites] << " " << colour.record.droppedVramWrites << " lost, the first:";
    for (const DroppedWrite& d : colour.record.firstDrops)
        run.found[kWrites] << " frame " << d.frame << " line " << d.line << " at " << std::hex << d.address << " pc " << d.pc << std::dec << ";";
    // (A long load with the LCD off may run at double speed, never the game's own frames.)
    if (colour.doubleSpeedShown) run.found[kGame] << " " << colour.doubleSpeedShown << " frames began at double speed;";
    if (mono.record.rst38 + colour.record.rst38 != 0)
        run.found[kGame] << " RST 38 " << colour.record.rst38 << " times, the first in frame " << colour.record.firstRst38Frame << ";";

    // The same state at the end: the program's variables, VRAM bank 0, OAM but for the palette bits.
    const int c = IdiomRun::LastFrame(colour);
    for (int i = 0; i < int(run.rom.At("GAME_STATE_SIZE")); ++i)
        if (mono.variables.back()[std::size_t(i)] != colour.variables.back()[std::size_t(i)]) run.found[kGame] << " variable " << i << ";";
    const FrameRecord &monoEnd = mono.record.frames.back(), &colourEnd = colour.record.frames.back();
    for (std::size_t i = 0; i < monoEnd.vram.size(); ++i)
        if (monoEnd.vram[i] != colourEnd.vram[i]) run.found[kWrites] << " VRAM " << std::hex << 0x8000 + i << std::dec << " differs at the end;";
    for (std::size_t i = 0; i < 160; ++i)
        if ((monoEnd.oam[i] ^ colourEnd.oam[i]) & (i % 4 == 3 ? 0xF8 : 0xFF)) run.found[kGame] << " OAM byte " << i << ";";

    // In every frame the bee's palette and no attribute bit beyond the palette's (a monochrome
    // game has no bank, flips or priority); at the end every map entry's palette.
    ASSERT_NE(run.Palette(colourEnd, colourEnd.oam[2]), 0) << "the project gives the bee no palette";
    int spriteWrong = 0, spriteFirst = -1, oddAttributes = 0, oddFirst = -1;
    for (int f = 0; f <= c; ++f) {
        const FrameRecord& frame = colour.record.frames[std::size_t(f)];
        if (colour.gameFrame[std::size_t(f)] < 0 || !(frame.lcdc & 0x80)) continue;
        const int from = kSpriteFrom + (frame.oam[3] & 0x10 ? kObp1Found : 0);
        if (colour.gameFrame[std::size_t(f)] >= from && (frame.oam[3] & 7) != run.SpritePalette(frame, 0))
            spriteFirst = spriteWrong++ ? spriteFirst : f;
        for (const std::uint8_t attribute : frame.attributes)
            if (attribute & 0xF8) oddFirst = oddAttributes++ ? oddFirst : f;
    }
    if (spriteWrong) run.found[kSprite] << " palette 0 or another in " << spriteWrong << " frames, the first " << spriteFirst << ";";
    if (oddAttributes) run.found[kBackground] << " " << oddAttributes << " attributes with bits 3-7 set, the first in frame " << oddFirst << ";";
    const std::string wrongAtEnd = run.WrongCells(colourEnd);
    if (!wrongAtEnd.empty()) run.found[kBackground] << " at the end:" << wrongAtEnd.substr(0, 200) << ";";

    if (idiom.check) idiom.check(run);
    EXPECT_EQ(run.setUp.str(), "") << "the program or the project is not what the checks rely on";

    std::string unexpected, known;
    for (int a = 0; a < kAreas; ++a) {
        const std::string text = run.found[a].str(), line = std::string("\n") + kAreaNames[a] + ":" + text.substr(0, 600);
        if (!(idiom.knownAreas & Bit(Area(a)))) unexpected += text.empty() ? "" : line;
        else if (text.empty()) std::cout << "[ known    ] no longer seen: " << kAreaNames[a] << "\n";
        else known += line;
    }
    if (!unexpected.empty()) ADD_FAILURE() << unexpected;
    if (known.empty()) return;
    std::string why;
    for (const char* k : idiom.known) why += std::string(why.empty() ? "" : "; ") + k;
    if (HasFailure()) std::cout << "known: " << why << known << "\n";
    else GTEST_SKIP() << "known: " << why << known;
}

INSTANTIATE_TEST_SUITE_P(Programs, Idioms, ::testing::ValuesIn(kIdioms), [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dapplix::e2e
