// A project changed while its colour ROM runs shows in the next frame: colours through
// palette RAM and the runtime's copy, assignments through the dictionary, the records and
// the attribute maps. Run on the test ROMs in the mGBA core.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "ColourRun.h"
#include "emulator/Emulator.h"
#include "emulator/LiveProject.h"
#include "emulator/Screen.h"
#include "engine/RuntimeLayout.h"
#include "engine/TileSearch.h"
#include "engine/Writer.h"

namespace dapplix {
namespace {

using e2e::ApplyTestProject;
using e2e::LoadTestRom;
using e2e::TestRom;

constexpr int kSettleFrames = 90;  // past start-up, the sun drawn and the refresh round

struct LiveRun {
    TestRom rom;
    std::unique_ptr<Model> model;
    std::unique_ptr<Emulator> emulator;
};

LiveRun Start(const std::string& name, bool withProject) {
    LiveRun run{LoadTestRom(name), nullptr, nullptr};
    run.model = e2e::PrepareModel(run.rom.image, DAPPLIX_SIDEFILE_DIR);
    // Without a project its colours still go in, so that a screen colour names its palette.
    ApplyTestProject(*run.model, run.rom);
    if (!withProject)
        for (auto& bank : run.model->TilePal) bank.fill(0);
    run.emulator = std::make_unique<Emulator>(BuildColorRom(*run.model));
    for (int i = 0; i < kSettleFrames; ++i) run.emulator->RunFrame();
    return run;
}

// The palette RAM entry (0-63) whose colour a screen pixel shows; -1 when none does.
int PaletteEntryAt(const Emulator& emulator, int x, int y) {
    for (int entry = 0; entry < 64; ++entry)
        if (ScreenColourOfWord(emulator.PaletteRam(entry)) == emulator.Pixel(x, y)) return entry;
    return -1;
}

// The first background pixel showing a non-zero pixel value of a tile found in the ROM.
bool FindBackgroundPixel(const LiveRun& run, int& x, int& y) {
    const VideoState video = run.emulator->Video();
    for (y = 0; y < kScreenHeight; ++y)
        for (x = 0; x < kScreenWidth; ++x) {
            const ScreenTile tile = TileAtPixel(video, x, y);
            const int entry = PaletteEntryAt(*run.emulator, x, y);
            if (tile.layer == ScreenLayer::Background && entry >= 0 && entry % 4 != 0 && entry < 32 &&
                !FindTileInModel(*run.model, tile.Bytes(video)).empty())
                return true;
        }
    return false;
}

// Gives every tile of the ROM with these bytes, at its bank's offset, a palette.
void AssignTile(LiveRun& run, const std::uint8_t* bytes, int palette) {
    for (const TileMatch& match : FindTileInModel(*run.model, bytes))
        if (match.offset == run.model->TileOffset[match.bank]) run.model->TilePal[match.bank][match.tile] = std::int16_t(palette);
}

// A colour edit, then a new palette for the pixel's tile: each shows in the next frame and
// stays, also in a ROM that had no palettes.
TEST(LiveProject, AColourEditAndANewPaletteShowInTheNextFrame) {
    for (const auto& [name, withProject] : {std::pair{"demo", true}, {"mbc1_256k", true}, {"demo", false}}) {
        SCOPED_TRACE(std::string(name) + (withProject ? " with the project" : " without palettes"));
        LiveRun run = Start(name, withProject);
        int x = 0, y = 0;
        ASSERT_TRUE(FindBackgroundPixel(run, x, y));
        const int entry = PaletteEntryAt(*run.emulator, x, y), palette = entry / 4;
        const int colour = ShadeOf(run.emulator->IoRegister(0xFF47), entry % 4);
        run.model->Pals[kBackgroundSet][palette][colour] = {31, 0, 31};
        const std::uint16_t word = ColourWord(*run.model, kBackgroundSet, palette, colour);
        PushColours(*run.emulator, *run.model);
        run.emulator->RunFrame();
        EXPECT_EQ(run.emulator->Pixel(x, y), ScreenColourOfWord(word));
        EXPECT_EQ(run.emulator->Read(runtime::kUserColours + 8 * palette + 2 * colour, runtime::kRuntimeWramBank), word & 0xFF)
            << "the runtime's copy has the new colour too";
        for (int i = 0; i < 5; ++i) run.emulator->RunFrame();  // the runtime rewrites from its copy
        EXPECT_EQ(run.emulator->Pixel(x, y), ScreenColourOfWord(word));

        const int newPalette = palette == 6 ? 5 : 6;
        const VideoState video = run.emulator->Video();
        AssignTile(run, TileAtPixel(video, x, y).Bytes(video), newPalette);
        EXPECT_GT(PushAssignments(*run.emulator, *run.model).dictionaryEntries, 0);
        run.emulator->RunFrame();
        EXPECT_EQ(PaletteEntryAt(*run.emulator, x, y) / 4, newPalette);
        for (int i = 0; i < 120; ++i) run.emulator->RunFrame();  // the refresh and the sweep keep it
        EXPECT_EQ(PaletteEntryAt(*run.emulator, x, y) / 4, newPalette);

        // A change of BGP has the runtime rewrite the palettes in use, as pushed: the new one
        // too. (The runtime is made to think BGP changed, its palette emptied first.)
        for (int v = 0; v < 4; ++v) run.emulator->SetPaletteRam(4 * newPalette + v, 0);
        run.emulator->Write(runtime::kBgpApplied, runtime::kRuntimeWramBank, 0);
        for (int i = 0; i < 5; ++i) run.emulator->RunFrame();
        const std::uint8_t bgp = run.emulator->IoRegister(0xFF47);
        for (int v = 0; v < 4; ++v)
            EXPECT_EQ(run.emulator->PaletteRam(4 * newPalette + v), ColourWord(*run.model, kBackgroundSet, newPalette, ShadeOf(bgp, v)))
                << "pixel value " << v;

        // The palette taken off again: the list of palettes in use that the runtime walks
        // ends where its count does (at its first byte under 0x80), also where it got shorter.
        AssignTile(run, TileAtPixel(video, x, y).Bytes(video), 0);
        PushAssignments(*run.emulator, *run.model);
        const int used = run.emulator->Read(runtime::kUsedCount, runtime::kRuntimeWramBank);
        EXPECT_LT(run.emulator->Read(static_cast<std::uint16_t>(runtime::kUsedList + used), runtime::kRuntimeWramBank), runtime::kUsedListIndex);
    }
}

TEST(LiveProject, TheBeeTakesItsNewPaletteInTheNextFrame) {
    LiveRun run = Start("demo", false);
    const int bee = 0;
    const VideoState video = run.emulator->Video();
    // The wings flap every 16 frames between tiles 1 and 2, so both get the palette.
    for (const int tile : {1, 2}) AssignTile(run, video.vram + 16 * tile, 4);
    PushAssignments(*run.emulator, *run.model);
    EXPECT_EQ(run.emulator->Video().oam[4 * bee + 3] & 7, 4) << "in OAM at once";
    run.emulator->RunFrame();
    EXPECT_EQ(run.emulator->Video().oam[4 * bee + 3] & 7, 4) << "and after the next transfer, from the runtime";
    EXPECT_GE(run.emulator->Read(runtime::kSpriteRecordCount, runtime::kRuntimeWramBank), 1);
}

// The runtime keeps the blank tile's palette once it looked it up; a new palette for it must
// reach the tiles a later load stores, not only those in VRAM when it was pushed. The idiom
// ROM loads its last scene, blank tiles among them, with the LCD off a few frames after Start.
TEST(LiveProject, ABlankTilesNewPaletteReachesTheNextLoad) {
    LiveRun run = Start("idiom_lcd_off_loads", true);
    const std::uint8_t blank[16] = {};
    const int before = LookUpTile(BuildTileDictionary(*run.model), blank), after = before == 5 ? 6 : 5;
    ASSERT_NE(before, 0) << "the test project gives the blank tile a palette";
    AssignTile(run, blank, after);
    PushAssignments(*run.emulator, *run.model);
    const int sceneAt = run.emulator->Read(run.rom.At("wFrame"));  // the game's frame: its last scene comes at 90
    ASSERT_LT(sceneAt, 90);
    for (int i = sceneAt; i < 100; ++i) run.emulator->RunFrame();
    const VideoState video = run.emulator->Video();
    int blanks = 0;
    for (int tile = 0; tile < 256; ++tile)
        if (std::all_of(video.vram + 16 * tile, video.vram + 16 * tile + 16, [](std::uint8_t b) { return b == 0; })) {
            ++blanks;
            EXPECT_EQ(run.emulator->Read(static_cast<std::uint16_t>(runtime::kRecordsUnsigned + tile), 1), after) << "tile " << tile;
        }
    EXPECT_GT(blanks, 0);
}

// A colour pushed while the game has its background off (LCDC bit 0) shows as the runtime
// shows it then: every pixel value in the palette's colour 0, white on a monochrome Game Boy.
TEST(LiveProject, ColoursPushedWithTheBackgroundOffShowItsColourZero) {
    LiveRun run = Start("idiom_bg_off", true);
    for (int i = 0; i < 16 && (run.emulator->IoRegister(0xFF40) & 0x01); ++i) run.emulator->RunFrame();
    ASSERT_FALSE(run.emulator->IoRegister(0xFF40) & 0x01) << "the game turns its background off every eight frames";
    run.model->Pals[kBackgroundSet][1][0] = {31, 0, 31};
    PushColours(*run.emulator, *run.model);
    for (int v = 0; v < kColours; ++v)
        EXPECT_EQ(run.emulator->PaletteRam(4 + v), ColourWord(*run.model, kBackgroundSet, 1, 0)) << "pixel value " << v;
}

TEST(Emulator, SoundComesAtTheRateAskedForThroughAReset) {
    LiveRun run = Start("demo", true);
    std::vector<std::int16_t> samples(2 * 4096);
    EXPECT_EQ(run.emulator->ReadAudio(samples.data(), 4096), 0) << "no sound until it is asked for";
    for (const int rate : {48000, 22050}) {
        run.emulator->EnableAudio(rate);
        run.emulator->Reset();  // the rate stays
        // Past the start-up, whose frames with the LCD off last longer than a frame.
        for (int i = 0; i < 60; ++i) run.emulator->RunFrame();
        while (run.emulator->ReadAudio(samples.data(), 4096) > 0) {}
        long frames = 0;
        for (int i = 0; i < 600; ++i) {
            run.emulator->RunFrame();
            frames += run.emulator->ReadAudio(samples.data(), 4096);
        }
        // Ten seconds of game time, at 59.73 frames a second.
        EXPECT_NEAR(double(frames), 600 / kGameBoyFramesPerSecond * rate, rate * 0.01) << rate;
    }
}

// The runtime's places this program writes into are the assembly's own.
TEST(RuntimeLayout, MatchesTheAssembly) {
    std::ifstream text(DAPPLIX_LAYOUT_INC);
    ASSERT_TRUE(text) << DAPPLIX_LAYOUT_INC;
    std::map<std::string, long> values;
    const std::regex line(R"(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*=\s*([A-Za-z_0-9x]+)(?:\s*([+-])\s*(0x[0-9A-Fa-f]+|\d+))?)");
    for (std::string row; std::getline(text, row);) {
        std::smatch m;
        if (!std::regex_search(row, m, line)) continue;
        const std::string base = m[2];  // a number or a name defined above, plus or minus an offset
        const long offset = m[4].matched ? std::stol(m[4], nullptr, 0) : 0;
        values[m[1]] = (std::isdigit(static_cast<unsigned char>(base[0])) ? std::stol(base, nullptr, 0) : values.at(base)) +
                       (m[3] == "-" ? -offset : offset);
    }
    using namespace runtime;
    const std::pair<const char*, long> cases[] = {
        {"RUNTIME_VARS", kVars},          {"vBgp", kBgpApplied},           {"vObp0", kObp0Applied},
        {"vPalettesUsed", kPalettesUsed}, {"vDictBanks", kDictionaryBanks}, {"vSpriteRecords", kSpriteRecordCount},
        {"vUsedList", kUsedList},         {"vUsedCount", kUsedCount},      {"vRefreshPos", kRefreshPos},
        {"USER_COLOURS", kUserColours},   {"REC_U", kRecordsUnsigned},     {"REC_S", kRecordsSigned},
        {"DICT_FIRST_BANK", kDictionaryFirstWramBank}, {"vDictInRom", kDictionaryInRom}, {"PROBE_STUB", kProbeCode}, {"BLANK_PALETTE", kBlankPalette},
        {"vSpriteSlots", kSpriteSlots},   {"PALETTE_TABLE_MARK", kPaletteTableMark},
    };
    for (const auto& [name, expected] : cases) {
        ASSERT_TRUE(values.count(name)) << name << " is no longer in layout.inc";
        EXPECT_EQ(values[name], expected) << name;
    }
}

}  // namespace
}  // namespace dapplix
