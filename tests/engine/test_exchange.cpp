// What the work is exchanged as and remembered by: patches, palette files, tile pictures,
// the undo history, and shared tiles given different palettes.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "PatchAppliers.h"
#include "TestRoms.h"
#include "engine/Bits.h"
#include "engine/Flows.h"
#include "engine/PaletteConflicts.h"
#include "engine/PaletteFiles.h"
#include "engine/TileSheet.h"
#include "engine/WorkHistory.h"
#include "engine/Writer.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

TEST(Patches, ApplyToTheOriginalAndGiveTheColourRomByteForByte) {
    ScratchDir dir;
    std::mt19937 random(3);
    // A ROM and its file's length (0: whole banks).
    const std::pair<RomShape, std::size_t> cases[] = {{{.banks = 4, .freeTail = 300}, 0}, {{.banks = 16, .freeTail = 900}, 0},
                                                      {{.banks = 3, .freeTail = 300}, 3 * kBankSize - 5000}};
    for (const auto& [shape, fileLength] : cases) {
        Bytes rom = MakeRom(shape);
        if (fileLength) rom.resize(fileLength);
        WriteFile(dir / "game.gb", rom);
        auto model = MakeModel();
        ASSERT_TRUE(OpenRomForColouring(*model, (dir / "game.gb").string()).ok);
        for (int k = 0; k < 200; ++k) model->TilePal[2 + int(random() % 2)][random() % kTilesPerBank] = std::int16_t(random() % 8);
        model->TileEdited[2][9] = true;
        model->EditedTile[2][9].fill(0x5A);
        for (PatchFormat format : {PatchFormat::Ips, PatchFormat::Bps}) {
            const std::string path = (dir / "out.patch").string();
            const FlowResult written = WriteColourPatch(*model, path, format);
            ASSERT_TRUE(written.ok) << written.errors.front();
            const Bytes patch = ReadFile(path), patched = format == PatchFormat::Ips ? ApplyIps(rom, patch) : ApplyBps(rom, patch);
            EXPECT_EQ(patched, BuildColorRom(*model)) << shape.banks << (format == PatchFormat::Ips ? " IPS" : " BPS");
            EXPECT_LT(patch.size(), kColorRomSize / 2);  // runs of one byte are not spelt out
        }
    }
    // A record longer than IPS holds, a run at the start, short equal stretches, a shorter target.
    Bytes source(300000), target(280000);
    for (auto& b : source) b = std::uint8_t(random());
    for (std::size_t i = 0; i < target.size(); ++i) target[i] = i < 70000 ? std::uint8_t(random()) : i < 90000 ? 7 : source[i];
    for (std::size_t i = 100000; i < 100400; i += 1 + i % 13) target[i] ^= 0xFF;
    EXPECT_EQ(ApplyIps(source, MakeIpsPatch(source, target)), target);
    EXPECT_EQ(ApplyBps(source, MakeBpsPatch(source, target)), target);

    auto unplaced = LoadedModel();
    const FlowResult refused = WriteColourPatch(*unplaced, (dir / "none.ips").string(), PatchFormat::Ips);
    EXPECT_EQ(refused.errors, std::vector<std::string>{kMsgCodeNotPlaced});
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ips"));
}

TEST(PaletteFiles, BothFormatsGiveBackEveryColourAndDamagedFilesChangeNothing) {
    auto model = LoadedModel();
    for (int k = 0; k < kPalettes * kColours * kComponents; ++k)
        model->Pals[kBackgroundSet][k / 12][k / 3 % 4][k % 3] = std::int16_t(k % 32);
    for (int v = 0; v < 32; ++v) EXPECT_EQ(ComponentTo5Bit(ComponentTo8Bit(v)), v);
    EXPECT_EQ(ComponentTo8Bit(31), 255);
    for (PaletteFileFormat format : {PaletteFileFormat::Jasc, PaletteFileFormat::Gimp}) {
        const std::string text = EncodePaletteFile(*model, kBackgroundSet, format);
        EXPECT_EQ(text.rfind(format == PaletteFileFormat::Jasc ? "JASC-PAL\r\n0100\r\n32\r\n0 8 16\r\n" : "GIMP Palette\n", 0), 0u);
        std::vector<Rgb8> colours;
        std::string error;
        ASSERT_TRUE(DecodePaletteFile(text, colours, error)) << error;
        auto other = LoadedModel();
        EXPECT_EQ(ApplyPaletteColours(*other, kSpriteSet, colours), 32);
        EXPECT_EQ(other->Pals[kSpriteSet], model->Pals[kBackgroundSet]);
    }
    const std::pair<const char*, int> cases[] = {
        {"JASC-PAL\n0100\n2\n255 0 0\n0 0 255\n", 2}, {"JASC-PAL\n0100\n3\n255 0 0\n", -1},
        {"JASC-PAL\n0100\n1\n256 0 0\n", -1},         {"GIMP Palette\nName: x\n# c\n\n 1  2  3 red\n", 1},
        {"GIMP Palette\n1 2\n", -1},                  {"RIFF", -1}};
    for (const auto& [text, count] : cases) {  // count: the colours read, -1 when refused
        std::vector<Rgb8> colours;
        std::string error;
        EXPECT_EQ(DecodePaletteFile(text, colours, error) ? int(colours.size()) : -1, count) << text;
        EXPECT_EQ(error.empty(), count >= 0) << text;
    }
}

TEST(TileSheet, ExportThenImportChangesNothingAndEditsTakeTheNearestColour) {
    auto model = LoadedModel();
    model->TileOffset[3] = 5;  // tile 1023 of bank 3 is absent
    for (int tile = 0; tile < kTilesPerBank; tile += 3) model->TilePal[3][tile] = std::int16_t(tile % 8);
    model->Pals[kSpriteSet][2][1] = model->Pals[kSpriteSet][2][2];  // two equal colours in palette 2
    const Bytes before = ProjectBytes(*model);
    for (const SheetArea area : {SheetArea{3, 1}, SheetArea{3, -1}})
        for (bool grey : {false, true}) {
            const TileSheet sheet = ExportTileSheet(*model, area, kSpriteSet, grey);
            ASSERT_EQ(sheet.height, area.page < 0 ? 512 : 128);
            ASSERT_EQ(sheet.colours.size(), grey ? 4u : 32u);
            std::vector<std::uint32_t> pixels;
            for (std::uint8_t index : sheet.indices) pixels.push_back(sheet.colours[index]);
            const SheetImport read = ImportTileSheet(*model, area, kSpriteSet, sheet.width, sheet.height, pixels);
            EXPECT_TRUE(read.ok && read.grey == grey && read.changedTiles.empty() && read.inexactPixels == 0) << read.error;
            EXPECT_EQ(ProjectBytes(*model), before);
        }
    // Tile 3 of bank 3 (palette 3): pixel (0,0) near colour 2, pixel (1,0) exactly colour 3.
    const SheetArea page{3, 0};
    const TileSheet sheet = ExportTileSheet(*model, page, kSpriteSet, false);
    std::vector<std::uint32_t> pixels;
    for (std::uint8_t index : sheet.indices) pixels.push_back(sheet.colours[index]);
    pixels[3 * 8] = SheetColour(*model, kSpriteSet, 3, 2) ^ 0x010203;
    pixels[3 * 8 + 1] = SheetColour(*model, kSpriteSet, 3, 3);
    const SheetImport read = ImportTileSheet(*model, page, kSpriteSet, sheet.width, sheet.height, pixels);
    EXPECT_EQ(std::pair(read.changedTiles, read.inexactPixels), std::pair(std::vector<int>{3}, 1));
    EXPECT_EQ(std::pair(TilePixel(DisplayTile(*model, 3, 3), 0, 0), TilePixel(DisplayTile(*model, 3, 3), 1, 0)), std::pair(2, 3));
    EXPECT_TRUE(model->TileEdited[3][3]);
    const SheetImport wrong = ImportTileSheet(*model, SheetArea{3, -1}, kSpriteSet, 128, 128, pixels);
    EXPECT_EQ(wrong.error, "The picture is 128 x 128 pixels; a bank is 128 x 512.");
}

TEST(WorkHistory, UndoAndRedoOfEveryKindOfChangeGiveTheSameProjectBytes) {
    auto model = LoadedModel();
    model->TilePal[2][4] = 3;
    const struct Case {
        const char* name;
        std::function<void(Model&)> change;
        std::size_t tiles, offsets, colours;
    } cases[] = {
        {"palette", [](Model& m) { AssignPalette(m, SelectionRect(2, 0, 0, 0, 3, 1), 5); }, 8, 0, 0},
        {"pixel switch", [](Model& m) { SwitchPixels(m, SelectionRect(3, 3, 14, 14, 15, 15), 0, 3); }, 4, 0, 0},
        {"tile edit", [](Model& m) { CommitTileImage(m, 0, 1, TileImage{1, 2, 3}); }, 1, 0, 0},
        {"offset", [](Model& m) { m.TileOffset[2] = 7; }, 0, 1, 0},
        {"colour", [](Model& m) { m.Pals[kBackgroundSet][6][1] = {1, 2, 3}; }, 0, 0, 1},
        {"reset", [](Model& m) { ClearTileAttrs(m); }, 14, 0, 0},
    };
    for (const Case& c : cases) {
        const Bytes before = ProjectBytes(*model);
        const auto work = CaptureWork(*model);
        c.change(*model);
        const Bytes after = ProjectBytes(*model);
        const WorkChange change = DiffWork(*work, *model);
        EXPECT_EQ(std::tuple(change.tiles.size(), change.offsets.size(), change.colours.size()),
                  std::tuple(c.tiles, c.offsets, c.colours)) << c.name;
        ApplyWorkChange(*model, change, true);
        EXPECT_EQ(ProjectBytes(*model), before) << c.name;
        ApplyWorkChange(*model, change, false);
        EXPECT_EQ(ProjectBytes(*model), after) << c.name;
    }
    WorkChange first{{}, {{2, 0, 1}}, {}}, second{{}, {{2, 1, 4}}, {}}, elsewhere{{}, {{3, 0, 1}}, {}};
    EXPECT_TRUE(MergeOffsetChanges(first, second));
    EXPECT_EQ((std::pair<int, int>(first.offsets[0].before, first.offsets[0].after)), std::pair(0, 4));
    EXPECT_FALSE(MergeOffsetChanges(first, elsewhere));
    EXPECT_FALSE(MergeOffsetChanges(first, WorkChange{{TileChange{}}, {{2, 4, 5}}, {}}));
}

TEST(PaletteConflicts, TilesOfOneImageWithDifferentPalettesAreListedWithTheWinner) {
    auto model = LoadedModel();
    const TileImage image{9, 9, 9};
    for (auto [bank, tile, palette] : {std::tuple{0, 5, 4}, {2, 1, 6}, {2, 2, 4}, {3, 0, 6}, {3, 1, 0}}) {
        CommitTileImage(*model, bank, tile, image);
        model->TilePal[bank][tile] = std::int16_t(palette);
    }
    CommitTileImage(*model, 3, 2, TileImage{1});  // another image, one palette: no conflict
    model->TilePal[3][2] = 2;
    const auto rows = FindPaletteConflicts(*model);
    ASSERT_EQ(rows.size(), 4u);  // the tile without a palette has no say and is not listed
    const std::array<int, kPalettes> given{0, 0, 0, 0, 2, 0, 2, 0};  // a tie, which goes to the lower number
    for (const PaletteConflict& row : rows) EXPECT_EQ(std::pair(row.given, row.wins), std::pair(given, 4));
    EXPECT_EQ(std::pair(rows[0].bank, rows[3].bank * 1024 + rows[3].tile), std::pair(0, 3 * 1024));
    EXPECT_EQ(CountPaletteConflicts(*model), 1);
    model->TilePal[2][1] = 4;
    EXPECT_EQ(CountPaletteConflicts(*model), 1);  // 4, 4, 4 and 6
    model->TilePal[3][0] = 4;
    EXPECT_TRUE(CountPaletteConflicts(*model) == 0 && FindPaletteConflicts(*model).empty());
}

}  // namespace
}  // namespace dapplix
