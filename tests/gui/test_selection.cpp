// Selecting tiles with the mouse and giving them palettes: the yellow frame while and
// after a drag, the current tile, the option buttons following the selection, palette
// assignment redrawing exactly the selected cells, the palette strip's pick, the double
// click that opens the tile editor, and the Pixel Switch button.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include "MainWindowTestSupport.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "project/frmEditCol.h"
#include "view/ViewCanvas.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

constexpr QRgb kYellow = 0xFFFF00u;
constexpr QRgb kMarker = 0x123456u;  // a colour no palette here produces

// Puts a marker pixel in the middle of every cell, so that a later look tells which
// cells were drawn again and which were left alone.
void MarkCells(ViewCanvas* picTiles) {
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column)
            picTiles->image().setPixel(column * 16 + 8, row * 16 + 8, 0xFF000000u | kMarker);
    picTiles->update();
}

bool Marked(const QImage& view, int column, int row) { return Shown(view, column * 16 + 8, row * 16 + 8) == kMarker; }

int CheckedPalette(const Fixture& f) {
    int checked = -1;
    for (int n = 0; n < 8; ++n)
        if (f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(n)))->isChecked()) {
            if (checked >= 0) return -2;  // two at once would be a fault
            checked = n;
        }
    return checked;
}

void DoubleClickCell(QWidget* picTiles, QPoint cell) {
    const QPoint at(cell.x() * 16 + 6, cell.y() * 16 + 6);
    // What the window system delivers for a double click: press, release, double
    // click, release.
    Mouse(picTiles, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Mouse(picTiles, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

}  // namespace

class TestSelection : public QObject {
    Q_OBJECT

private slots:
    void clickSelectsOneTile();
    void reversedDrag();
    void dragHeldToGrid_data();
    void dragHeldToGrid();
    void optionButtonsFollowSelection_data();
    void optionButtonsFollowSelection();
    void assignPalette();
    void assignAfterMixedSelection();
    void assignSpecialTiles();
    void setSwitchKeepsNumbers();
    void framesDoNotRedrawPage();
    void paletteStripPick_data();
    void paletteStripPick();
    void paletteStripReleaseOutside();
    void doubleClick_data();
    void doubleClick();
    void tileEditorOkayRedrawsCell();
    void pixelSwitchButton();
};

void TestSelection::clickSelectsOneTile() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    f.model->TilePal[2][116] = 6;
    auto* picTiles = f.Find<QWidget>("picTiles");
    DragCells(picTiles, {4, 7}, {4, 7});
    QCOMPARE(f.model->SelX1, 4);
    QCOMPARE(f.model->SelY1, 7);
    QCOMPARE(f.model->SelX2, 4);
    QCOMPARE(f.model->SelY2, 7);
    QCOMPARE(f.window->CurTile, 116);
    QCOMPARE(f.window->CurPal, 6);
    QCOMPARE(CheckedPalette(f), 6);
    const QImage view = Grab(picTiles);
    for (QPoint p : {QPoint(64, 112), QPoint(79, 112), QPoint(64, 127), QPoint(79, 127), QPoint(70, 112), QPoint(64, 120)})
        QCOMPARE(Shown(view, p.x(), p.y()), kYellow);
    QVERIFY(Shown(view, 70, 120) != kYellow);
    QVERIFY(Shown(view, 63, 112) != kYellow);
    // The old frame around cell (0, 0) is gone.
    QCOMPARE(Shown(view, 0, 0), ScreenOf(*f.model, TilePixel(DisplayTile(*f.model, 2, 0), 0, 0), 0));
    // The current tile, eight times enlarged, in its palette.
    const QImage current = Grab(f.Find<QWidget>("picCurrent"));
    const TileImage tile = DisplayTile(*f.model, 2, 116);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) QCOMPARE(Shown(current, 8 * x + 3, 8 * y + 5), ScreenOf(*f.model, TilePixel(tile, x, y), 6));
}

void TestSelection::reversedDrag() {
    Fixture f;
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<QWidget>("picTiles");
    Mouse(picTiles, QEvent::MouseButtonPress, {5 * 16 + 4, 5 * 16 + 4}, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseMove, {3 * 16 + 4, 4 * 16 + 4}, Qt::NoButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseMove, {2 * 16 + 4, 3 * 16 + 4}, Qt::NoButton, Qt::LeftButton);
    // While the button is held the corners stay as dragged, and the frame spans both.
    QCOMPARE(f.model->SelX1, 5);
    QCOMPARE(f.model->SelX2, 2);
    QCOMPARE(f.window->SelDirX, -1);
    QCOMPARE(f.window->SelDirY, -1);
    QImage view = Grab(picTiles);
    for (QPoint p : {QPoint(32, 48), QPoint(95, 48), QPoint(32, 95), QPoint(95, 95), QPoint(60, 48), QPoint(95, 70)})
        QCOMPARE(Shown(view, p.x(), p.y()), kYellow);
    // The frame of the intermediate rectangle (3..5, 4..5) was erased on the way.
    QVERIFY(Shown(view, 48, 64) != kYellow);
    Mouse(picTiles, QEvent::MouseButtonRelease, {2 * 16 + 4, 3 * 16 + 4}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(f.model->SelX1, 2);
    QCOMPARE(f.model->SelY1, 3);
    QCOMPARE(f.model->SelX2, 5);
    QCOMPARE(f.model->SelY2, 5);
    QCOMPARE(f.window->SelDirX, 1);
    QCOMPARE(f.window->CurTile, 3 * 16 + 2);
    view = Grab(picTiles);
    QCOMPARE(Shown(view, 32, 48), kYellow);
    QCOMPARE(Shown(view, 95, 95), kYellow);
}

void TestSelection::dragHeldToGrid_data() {
    QTest::addColumn<QPoint>("to");  // view pixels, outside the view
    QTest::addColumn<QRect>("selection");
    QTest::newRow("past the right edge") << QPoint(300, 60) << QRect(QPoint(6, 3), QPoint(15, 6));
    QTest::newRow("past the bottom edge") << QPoint(60, 400) << QRect(QPoint(3, 6), QPoint(6, 15));
    QTest::newRow("past the left edge") << QPoint(-30, 60) << QRect(QPoint(0, 3), QPoint(6, 6));
    QTest::newRow("past the top edge") << QPoint(60, -1) << QRect(QPoint(3, 0), QPoint(6, 6));
}

void TestSelection::dragHeldToGrid() {
    QFETCH(QPoint, to);
    QFETCH(QRect, selection);
    Fixture f;
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<QWidget>("picTiles");
    Mouse(picTiles, QEvent::MouseButtonPress, {6 * 16 + 1, 6 * 16 + 1}, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(QRect(QPoint(f.model->SelX1, f.model->SelY1), QPoint(f.model->SelX2, f.model->SelY2)), selection);
}

void TestSelection::optionButtonsFollowSelection_data() {
    QTest::addColumn<QRect>("cells");
    QTest::addColumn<int>("common");   // palette of every tile of the rectangle
    QTest::addColumn<int>("odd");      // palette of its bottom-right tile (-1: same)
    QTest::addColumn<int>("checked");  // option button selected afterwards (-1: none)
    QTest::newRow("all 2") << QRect(QPoint(1, 1), QPoint(4, 3)) << 2 << -1 << 2;
    QTest::newRow("one tile differs") << QRect(QPoint(1, 1), QPoint(4, 3)) << 2 << 5 << -1;
    QTest::newRow("single tile") << QRect(QPoint(9, 9), QPoint(9, 9)) << 6 << -1 << 6;
    QTest::newRow("nothing assigned") << QRect(QPoint(0, 10), QPoint(15, 15)) << 0 << -1 << 0;
    QTest::newRow("whole page, top-left differs") << QRect(QPoint(0, 0), QPoint(15, 15)) << 7 << 1 << -1;
}

void TestSelection::optionButtonsFollowSelection() {
    QFETCH(QRect, cells);
    QFETCH(int, common);
    QFETCH(int, odd);
    QFETCH(int, checked);
    Fixture f;
    QVERIFY(f.LoadRom());
    for (int r = cells.top(); r <= cells.bottom(); ++r)
        for (int c = cells.left(); c <= cells.right(); ++c) f.model->TilePal[2][r * 16 + c] = std::int16_t(common);
    if (odd >= 0) f.model->TilePal[2][cells.bottom() * 16 + cells.right()] = std::int16_t(odd);
    QTest::mouseClick(f.Find<QRadioButton>("optPal4"), Qt::LeftButton);  // some button selected beforehand
    const auto before = f.model->TilePal;
    DragCells(f.Find<QWidget>("picTiles"), cells.topLeft(), cells.bottomRight());
    QCOMPARE(CheckedPalette(f), checked);
    // Showing the selection's palette never assigns one.
    QVERIFY(f.model->TilePal == before);
    QVERIFY(f.window->AllowPalChange);
}

void TestSelection::assignPalette() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<ViewCanvas>("picTiles");
    DragCells(picTiles, {4, 6}, {5, 8});  // 2 x 3 tiles
    MarkCells(picTiles);
    const auto before = f.model->TilePal;

    // What the window looks like while the tiles are assigned, sampled at each tile.
    QStringList statusTexts;
    QList<QColor> statusColours;
    int unlockedSamples = 0;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] {
        auto* status = f.Find<QLabel>("lblStatus");
        statusTexts << status->text();
        statusColours << status->palette().color(QPalette::WindowText);
        for (QAction* action : f.Find<QMenu>("mnuFile")->actions() + f.Find<QMenu>("mnuOpt")->actions())
            if (!action->isSeparator() && action->isEnabled()) ++unlockedSamples;
        for (const char* name : {"picTiles", "fraPals", "fraPalSet", "sldBank", "sldPage", "sldTileOffset", "cmdPixelSwitch"})
            if (f.Find<QWidget>(name)->isEnabled()) ++unlockedSamples;
    });
    sampler.start();
    QTest::mouseClick(f.Find<QRadioButton>("optPal3"), Qt::LeftButton);
    sampler.stop();

    QVERIFY(statusTexts.size() >= 6);
    QCOMPARE(statusTexts, QStringList(statusTexts.size(), "Refreshing..."));
    QCOMPARE(statusColours.front(), QColor(192, 0, 0));
    QCOMPARE(unlockedSamples, 0);
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
    QVERIFY(f.Find<QAction>("mnuFileWriterom")->isEnabled());
    QVERIFY(f.Find<QWidget>("fraPals")->isEnabled());

    // Exactly the six tiles carry palette 3, and exactly their cells were drawn again.
    const QImage view = Grab(picTiles);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            const int tile = row * 16 + column;
            const bool inside = column >= 4 && column <= 5 && row >= 6 && row <= 8;
            QCOMPARE(f.model->TilePal[2][tile], inside ? 3 : before[2][tile]);
            QCOMPARE(Marked(view, column, row), !inside);
            if (inside) {
                const TileImage image = DisplayTile(*f.model, 2, tile);
                QCOMPARE(Shown(view, column * 16 + 6, row * 16 + 6), ScreenOf(*f.model, TilePixel(image, 3, 3), 3));
            }
        }
    // The frame is back and the current tile is the top-left one.
    QCOMPARE(Shown(view, 64, 96), kYellow);
    QCOMPARE(Shown(view, 95, 143), kYellow);
    QCOMPARE(f.window->CurTile, 6 * 16 + 4);
    QCOMPARE(CheckedPalette(f), 3);
}

void TestSelection::assignAfterMixedSelection() {
    Fixture f;
    QVERIFY(f.LoadRom());
    f.model->TilePal[2][2 * 16 + 2] = 5;
    DragCells(f.Find<QWidget>("picTiles"), {1, 1}, {3, 3});
    QCOMPARE(CheckedPalette(f), -1);
    QTest::mouseClick(f.Find<QRadioButton>("optPal5"), Qt::LeftButton);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) QCOMPARE(f.model->TilePal[2][r * 16 + c], 5);
    QCOMPARE(CheckedPalette(f), 5);
}

void TestSelection::assignSpecialTiles() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<QWidget>("picTiles");
    // An edited tile keeps its image and is drawn with it.
    TileImage edited{};
    edited.fill(0xFF);  // colour 3 throughout
    QVERIFY(CommitTileImage(*f.model, 2, 33, edited));
    DragCells(picTiles, {1, 2}, {1, 2});
    QTest::mouseClick(f.Find<QRadioButton>("optPal1"), Qt::LeftButton);
    QVERIFY(f.model->TileEdited[2][33]);
    QVERIFY(f.model->EditedTile[2][33] == edited);
    QCOMPARE(Shown(Grab(picTiles), 16 + 6, 32 + 6), ScreenOf(*f.model, 3, 1));

    // Tile 1023 of a bank whose grid is shifted stores the palette and shows colour 0.
    f.Find<QSlider>("sldPage")->setValue(3);
    f.Find<QSlider>("sldTileOffset")->setValue(4);
    DragCells(picTiles, {15, 15}, {15, 15});
    QTest::mouseClick(f.Find<QRadioButton>("optPal2"), Qt::LeftButton);
    QCOMPARE(f.model->TilePal[2][1023], 2);
    const QImage view = Grab(picTiles);
    for (int y = 1; y < 15; ++y)
        for (int x = 1; x < 15; ++x) QCOMPARE(Shown(view, 240 + x, 240 + y), ScreenOf(*f.model, 0, 2));
}

void TestSelection::setSwitchKeepsNumbers() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<QWidget>("picTiles");
    QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
    DragCells(picTiles, {8, 8}, {9, 9});
    QTest::mouseClick(f.Find<QRadioButton>("optPal6"), Qt::LeftButton);
    const TileImage tile = DisplayTile(*f.model, 2, 8 * 16 + 8);
    QCOMPARE(Shown(Grab(picTiles), 128 + 6, 128 + 6), ScreenOf(*f.model, TilePixel(tile, 3, 3), 6));
    QTest::mouseClick(f.Find<QRadioButton>("optSprite"), Qt::LeftButton);
    QCOMPARE(f.model->CurPalSet, 0);
    QCOMPARE(f.model->TilePal[2][8 * 16 + 8], 6);
    QCOMPARE(Shown(Grab(picTiles), 128 + 6, 128 + 6), ScreenOf(*f.model, TilePixel(tile, 3, 3), 6));
    // The strip shows the sprite set again.
    QCOMPARE(Shown(Grab(f.Find<QWidget>("picPals")), 5, 6 * 16 + 5), ScreenOf(*f.model, 0, 6));
}

void TestSelection::framesDoNotRedrawPage() {
    Fixture f;
    QVERIFY(f.LoadRom());
    auto* picTiles = f.Find<ViewCanvas>("picTiles");
    MarkCells(picTiles);
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    DragCells(picTiles, {2, 2}, {6, 5});
    QCOMPARE(redraws.count(), 0);
    // Only cells on the borders of the frames that were erased (the first at (0, 0), the
    // one-tile frame at the press, the rectangle (2, 2)-(4, 3) on the way) were drawn
    // again; a cell inside the final rectangle and one outside kept their markers.
    const QImage view = Grab(picTiles);
    QVERIFY(Marked(view, 5, 4));
    QVERIFY(!Marked(view, 4, 3));
    QVERIFY(Marked(view, 10, 10));
    QVERIFY(!Marked(view, 0, 0));
}

void TestSelection::paletteStripPick_data() {
    QTest::addColumn<bool>("okay");
    QTest::addColumn<int>("redSteps");  // key presses on the red slider
    QTest::addColumn<bool>("redrawn");
    QTest::newRow("changed and confirmed") << true << 1 << true;
    QTest::newRow("confirmed unchanged") << true << 0 << false;
    QTest::newRow("changed and cancelled") << false << 2 << false;
}

void TestSelection::paletteStripPick() {
    QFETCH(bool, okay);
    QFETCH(int, redSteps);
    QFETCH(bool, redrawn);
    Fixture f;
    QVERIFY(f.LoadRom());
    QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
    for (int tile = 0; tile < 256; ++tile) f.model->TilePal[2][tile] = std::int16_t(tile % 3 == 0 ? 5 : 2);
    f.window->DoRefresh();
    auto* picTiles = f.Find<ViewCanvas>("picTiles");
    MarkCells(picTiles);
    const auto palsBefore = f.model->Pals;

    QString label;
    WhenShown<frmEditCol> editor([&](frmEditCol* dialog) {
        label = dialog->findChild<QLabel*>("lblCol")->text();
        auto* red = dialog->findChild<QSlider*>("sldRed");
        for (int i = 0; i < redSteps; ++i) QTest::keyClick(red, Qt::Key_Left);
        ClickButton(dialog, okay ? "cmdOkay" : "cmdCancel");
    });
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    // Colour 2 of background palette 5: column 2, row 5 of the strip.
    const QPoint at(2 * 16 + 7, 5 * 16 + 9);
    auto* picPals = f.Find<QWidget>("picPals");
    Mouse(picPals, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picPals, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QVERIFY(editor.ran());
    QCOMPARE(f.model->EditPal, 5);
    QCOMPARE(f.model->EditCol, 2);
    QCOMPARE(label, QString("Background Palette 5, Color 2"));
    QCOMPARE(f.model->Pals[1][5][2][0], okay ? palsBefore[1][5][2][0] - redSteps : palsBefore[1][5][2][0]);
    QCOMPARE(redraws.count(), redrawn ? 1 : 0);
    QCOMPARE(f.window->RedrawPal, 8);

    const QImage view = Grab(picTiles);
    for (int tile = 0; tile < 256; ++tile) {
        const bool palette5 = tile % 3 == 0;
        QCOMPARE(Marked(view, tile % 16, tile / 16), !(redrawn && palette5));
    }
    QCOMPARE(Shown(Grab(picPals), 2 * 16 + 8, 5 * 16 + 8), ScreenOf(*f.model, 2, 5));
}

void TestSelection::paletteStripReleaseOutside() {
    Fixture f;
    QVERIFY(f.LoadRom());
    WhenShown<frmEditCol> editor([](frmEditCol* dialog) { ClickButton(dialog, "cmdCancel"); }, 300);
    auto* picPals = f.Find<QWidget>("picPals");
    Mouse(picPals, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    Mouse(picPals, QEvent::MouseButtonRelease, {64, 10}, Qt::LeftButton, Qt::NoButton);
    Mouse(picPals, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    Mouse(picPals, QEvent::MouseButtonRelease, {10, 128}, Qt::RightButton, Qt::NoButton);
    QTest::qWait(350);
    QVERIFY(!editor.ran());
}

void TestSelection::doubleClick_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QPoint>("cell");
    QTest::addColumn<bool>("opens");
    QTest::newRow("an ordinary tile") << 1 << 0 << QPoint(3, 4) << true;
    QTest::newRow("last tile, offset 0") << 3 << 0 << QPoint(15, 15) << true;
    QTest::newRow("last tile, offset 4") << 3 << 4 << QPoint(15, 15) << false;
    QTest::newRow("last cell of page 2, offset 4") << 2 << 4 << QPoint(15, 15) << true;
}

void TestSelection::doubleClick() {
    QFETCH(int, page);
    QFETCH(int, offset);
    QFETCH(QPoint, cell);
    QFETCH(bool, opens);
    Fixture f;
    QVERIFY(f.LoadRom());
    f.Find<QSlider>("sldPage")->setValue(page);
    f.Find<QSlider>("sldTileOffset")->setValue(offset);
    const int tile = page * 256 + cell.y() * 16 + cell.x();
    f.model->TilePal[2][tile] = 4;
    TileImage edited{};
    edited[0] = 0x5A;
    f.model->TileEdited[2][tile] = tile != 1023 || offset == 0;
    f.model->EditedTile[2][tile] = edited;

    QElapsedTimer clock;
    qint64 openedAfter = -1;
    int editNum = -1, editPal = -1;
    TileImage editData{};
    WhenShown<frmTileEdit> editor(
        [&](frmTileEdit* dialog) {
            openedAfter = clock.elapsed();
            editNum = f.model->EditTileNum;
            editPal = f.model->EditTilePal;
            editData = f.model->EditTileData;
            ClickButton(dialog, "cmdCancel");
        },
        opens ? 5000 : 700);
    clock.start();
    DoubleClickCell(f.Find<QWidget>("picTiles"), cell);
    if (!opens) QTest::qWait(750);
    QCOMPARE(editor.ran(), opens);
    if (opens) {
        QVERIFY2(openedAfter >= 390, qPrintable(QString::number(openedAfter)));  // the pause before the editor
        QCOMPARE(editNum, tile);
        QCOMPARE(editPal, 4);
        QVERIFY(editData == edited);
        // The frame is drawn again around the tile afterwards.
        QCOMPARE(Shown(Grab(f.Find<QWidget>("picTiles")), cell.x() * 16, cell.y() * 16), kYellow);
    }
}

void TestSelection::tileEditorOkayRedrawsCell() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    f.model->TilePal[2][5 * 16 + 6] = 7;
    WhenShown<frmTileEdit> editor([](frmTileEdit* dialog) {
        // Right-click paints colour 1 everywhere the mouse passes: the top row.
        auto* area = dialog->findChild<QWidget*>("picTileEdit");
        Mouse(area, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
        for (int x = 1; x < 8; ++x) Mouse(area, QEvent::MouseMove, {24 * x + 5, 5}, Qt::NoButton, Qt::RightButton);
        Mouse(area, QEvent::MouseButtonRelease, {24 * 7 + 5, 5}, Qt::RightButton, Qt::NoButton);
        ClickButton(dialog, "cmdOkay");
    });
    DoubleClickCell(f.Find<QWidget>("picTiles"), {6, 5});
    QVERIFY(editor.ran());
    const int tile = 5 * 16 + 6;
    const TileImage shown = DisplayTile(*f.model, 2, tile);
    for (int x = 0; x < 8; ++x) QCOMPARE(TilePixel(shown, x, 0), 1);
    QCOMPARE(f.model->TileEdited[2][tile], shown != RomTileBytes(*f.model, 2, tile));
    const QImage view = Grab(f.Find<QWidget>("picTiles"));
    for (int x = 1; x < 7; ++x) QCOMPARE(Shown(view, 96 + 2 * x, 80 + 1), ScreenOf(*f.model, 1, 7));
    QCOMPARE(f.window->CurTile, tile);
}

void TestSelection::pixelSwitchButton() {
    Fixture f;
    QVERIFY(f.LoadRom());
    f.Find<QSlider>("sldPage")->setValue(2);
    f.model->TilePal[2][512 + 3 * 16 + 2] = 3;
    f.model->TilePal[2][512 + 3 * 16 + 3] = 6;
    DragCells(f.Find<QWidget>("picTiles"), {2, 3}, {3, 4});
    int switchPal = -1;
    WhenShown<frmPixelSwitch> dialog([&](frmPixelSwitch* shown) {
        switchPal = f.model->SwitchPal;
        ClickButton(shown, "cmdCancel");
    });
    QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
    QVERIFY(dialog.ran());
    QCOMPARE(switchPal, 3);
    QCOMPARE(f.window->CurTile, 512 + 3 * 16 + 2);
}

QTEST_MAIN(TestSelection)
#include "test_selection.moc"
