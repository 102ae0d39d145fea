// The user's flows as both front ends run them, and the tile rules under them.
#include <gtest/gtest.h>

#include <random>

#include "TestRoms.h"
#include "engine/Bits.h"
#include "engine/Flows.h"
#include "engine/Mapper.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
using Messages = std::vector<std::string>;

TEST(Flows, OpeningARomOrAProjectRefusesWithoutChangingTheWorkAndSaysWhy) {
    // A ROM without bank 2 is refused; one that loads is scanned after it is shown.
    ScratchDir dir;
    auto model = LoadedModel();
    model->TilePal[2][3] = 5;
    WriteFile(dir / "refused.gb", MakeRom({.banks = 2}));
    const RomOpenResult refused = OpenRomForColouring(*model, (dir / "refused.gb").string());
    EXPECT_EQ(std::tuple(refused.ok, refused.errors, refused.summary),
              std::tuple(false, Messages{kMsgRomTooSmall}, std::string(kMsgCouldNotLoadRom)));
    EXPECT_EQ(model->TilePal[2][3], 5);

    WriteFile(dir / "mbc3.gb", MakeRom({.banks = 3, .cartridgeType = 0x11}));
    std::vector<std::string> steps;
    const RomOpenResult opened = OpenRomForColouring(*model, (dir / "mbc3.gb").string(),
                                                     {.loaded = [&] { steps.push_back("loaded " + std::to_string(model->BankCount)); },
                                                      .progress = [&](int value) { steps.push_back(std::to_string(value)); },
                                                      .overwriteRomCode = {}});
    // No unused end of bank 0: nothing changes unless the front end's question allows it.
    EXPECT_TRUE(opened.ok && opened.summary.empty() && !opened.scan.placed);
    EXPECT_EQ(std::pair(opened.errors, opened.warnings), std::pair(Messages{kMsgNoSafeRoom}, Messages{}));
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(std::tuple(steps.front(), model->TilePal[2][3], model->RomBank[0][kColorFlag]), std::tuple("loaded 2", 0, 0x00));
    const RomOpenResult forced = OpenRomForColouring(*model, (dir / "mbc3.gb").string(),
                                                     {{}, [&](int value) { steps.push_back(std::to_string(value)); },
                                                      [] { return true; }});
    EXPECT_TRUE(forced.scan.placed && forced.scan.forced && forced.errors.empty());
    EXPECT_EQ(std::tuple(steps.back(), model->RomBank[0][kColorFlag]), std::tuple("100", 0xC0));  // scanned

    // A game that writes VRAM bank 1 itself: no question, since no placement would help it.
    Bytes ownBank1 = MakeRom({.freeTail = 400});
    const std::uint8_t selectAndWrite[] = {0x3E, 0x01, 0xE0, 0x4F, 0x22};  // LD A,1 / LDH ($4F),A / LD (HL+),A
    std::copy(std::begin(selectAndWrite), std::end(selectAndWrite), ownBank1.begin() + 0x2000);
    WriteFile(dir / "bank1.gb", ownBank1);
    bool asked = false;
    const RomOpenResult writesBank1 = OpenRomForColouring(*model, (dir / "bank1.gb").string(), {{}, {}, [&] { return asked = true; }});
    EXPECT_EQ(std::tuple(writesBank1.ok, writesBank1.scan.placed, asked, writesBank1.errors), std::tuple(true, false, false, Messages{kMsgOwnVramBank1}));

    // A project shows the header's messages or the reader's refusal, then the summary.
    model->TilePal[2][8] = 4;
    const std::pair<Bytes, Messages> cases[] = {  // a file and the messages before the summary
        {{'x', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 4, 0}, {kMsgNotGbp, kMsgGbpVersion}},
        {{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3}, {kMsgNotGbp}},
        {{'D', 'A', 'P', 'P', 'L', 'I', 'X', 'P', 'R', 'J', 3, 0}, {"The project file is damaged: it ends inside the records of bank 0."}},
    };
    for (const auto& [bytes, errors] : cases) {
        WriteFile(dir / "p.gbp", bytes);
        const FlowResult result = OpenProject(*model, (dir / "p.gbp").string());
        EXPECT_EQ(std::tuple(result.ok, result.errors, result.summary),
                  std::tuple(false, errors, std::string(kMsgCouldNotLoadGbp)));
    }
    EXPECT_EQ(model->TilePal[2][8], 4);
    EXPECT_EQ(OpenProject(*model, (dir / "gone.gbp").string()).errors, Messages{"Couldn't open " + (dir / "gone.gbp").string() + ": No such file or directory"});

    const FlowResult failed = SaveProject(*model, (dir / "missing" / "p.gbp").string());
    EXPECT_TRUE(!failed.ok && failed.errors.size() == 1 && failed.summary.empty());
}

TEST(Selection, PaletteAndPixelSwitchVisitTheRectangleRowByRowAndKeepTheTileRules) {
    EXPECT_EQ(PageTile(3, 15, 15), 1023);
    const TileRect rect = SelectionRect(2, 1, 5, 9, -3, 20);  // corners in any order, held to the grid
    EXPECT_EQ((std::array{rect.bank, rect.page, rect.left, rect.top, rect.right, rect.bottom}), (std::array{2, 1, 0, 9, 5, 15}));

    auto model = LoadedModel();
    std::vector<std::pair<int, int>> visited;
    int yields = 0;
    CellSteps steps{[&] { ++yields; }, [&](int column, int row, const TileImage& shown, int palette) {
                        visited.emplace_back(column, row);
                        EXPECT_EQ(shown, DisplayTile(*model, 2, PageTile(1, column, row)));
                        EXPECT_EQ(palette, 6);
                    }};
    AssignPalette(*model, SelectionRect(2, 1, 2, 1, 0, 0), 6, steps);
    EXPECT_EQ(visited, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(yields, 6);
    EXPECT_EQ(std::count(model->TilePal[2].begin(), model->TilePal[2].end(), 6), 6);

    // Switching 0 and 3: every pixel of value 0 or 3 changes, 1 and 2 stay; twice is the ROM again.
    model->TileOffset[3] = 4;
    const int first = PageTile(3, 0, 0);
    const TileImage rom = RomTileBytes(*model, 3, first);
    SwitchPixels(*model, SelectionRect(3, 3, 0, 0, 15, 15), 0, 3);
    const TileImage switched = DisplayTile(*model, 3, first);
    for (int pixel = 0; pixel < 64; ++pixel) {
        const int before = TilePixel(rom, pixel % 8, pixel / 8);
        EXPECT_EQ(TilePixel(switched, pixel % 8, pixel / 8), before == 0 ? 3 : before == 3 ? 0 : before);
    }
    EXPECT_TRUE(model->TileEdited[3][first]);
    EXPECT_FALSE(model->TileEdited[3][1023]);  // absent with the offset: left alone, shown blank
    EXPECT_EQ(DisplayTile(*model, 3, 1023), TileImage{});
    SwitchPixels(*model, SelectionRect(3, 3, 0, 0, 15, 15), 3, 0);
    EXPECT_FALSE(model->TileEdited[3][first]);  // the ROM's bytes again: no longer edited
    EXPECT_EQ(CountBankRecords(*model, 3), 0);
}

TEST(TileCodec, PixelsReadAndWriteOnlyTheirOwnBits) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        TileImage tile;
        for (auto& b : tile) b = std::uint8_t(random());
        const int x = int(random() % 8), y = int(random() % 8), value = int(random() % 4);
        const int expected = ((tile[2 * y] >> (7 - x)) & 1) | (((tile[2 * y + 1] >> (7 - x)) & 1) << 1);
        ASSERT_EQ(TilePixel(tile, x, y), expected);
        TileImage changed = tile;
        SetTilePixel(changed, x, y, value);
        for (int j = 0; j < 64; ++j)
            ASSERT_EQ(TilePixel(changed, j % 8, j / 8), j == y * 8 + x ? value : TilePixel(tile, j % 8, j / 8));
    }
    EXPECT_EQ(PackColor(31, 0, 0), (std::array<std::uint8_t, 2>{0x00, 0x1F}));
    EXPECT_EQ(ColorWord(1, 2, 3), 3 * 1024 + 2 * 32 + 1);
}

}  // namespace
}  // namespace dapplix
