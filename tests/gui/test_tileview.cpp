// The tile view as the screen shows it: tile rows decoded into colours, the grid lines,
// dimmed and full colours, tile numbers and offsets, the absent last tile, the three
// sliders and their remembered values, and a slider moved while the page is redrawn.
#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include "MainWindowTestSupport.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

// The image the tile view should show in cell (column, row), given a tile image and the
// screen colours of its palette: 2 x 2 squares, no grid.
QRgb ExpectedPixel(const Model& model, const TileImage& tile, int palette, int x, int y) {
    return ScreenOf(model, TilePixel(tile, x / 2, y / 2), palette);
}

// Checks one screen pixel per tile pixel (the top-left of each 2 x 2 square, which no
// grid line or selection frame covers except in row and column 0 of a cell, so those
// use the square's inner pixel) of every cell of the view against the model.
void CheckPage(const Model& model, QWidget* picTiles, int bank, int page) {
    const QImage view = Grab(picTiles);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            const int tile = page * 256 + row * 16 + column;
            const TileImage image = DisplayTile(model, bank, tile);
            const int palette = model.TilePal[bank][tile];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const int sx = 2 * x + (x == 0 ? 1 : 0), sy = 2 * y + (y == 0 ? 1 : 0);
                    const QRgb want = ExpectedPixel(model, image, palette, sx, sy);
                    const QRgb got = Shown(view, column * 16 + sx, row * 16 + sy);
                    if (want != got)
                        QFAIL(qPrintable(QString("bank %1 page %2 cell (%3,%4) pixel (%5,%6): %7 instead of %8")
                                             .arg(bank).arg(page).arg(column).arg(row).arg(x).arg(y)
                                             .arg(got, 6, 16, QChar('0')).arg(want, 6, 16, QChar('0'))));
                }
        }
}

}  // namespace

class TestTileView : public QObject {
    Q_OBJECT

private slots:
    void tileRow_data();
    void tileRow();
    void gridLines();
    void gridSwitchRedrawsPage();
    void screenColours_data();
    void screenColours();
    void tileNumberAndOffset_data();
    void tileNumberAndOffset();
    void absentLastTile();
    void wholePageFromModel();
    void offsetRememberedPerBank();
    void offsetFollowsShownBank();
    void sliderKeysAndLabels();
    void samePositionDoesNothing();
    void pageMovedDuringRedraw();
    void redrawWithoutYield();
    void stateDuringRedraw();
};

void TestTileView::tileRow_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QList<int>>("values");  // pixel values x = 0..7
    QTest::newRow("zeros") << 0x00 << 0x00 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("low plane") << 0xFF << 0x00 << QList<int>{1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("high plane") << 0x00 << 0xFF << QList<int>{2, 2, 2, 2, 2, 2, 2, 2};
    QTest::newRow("both planes") << 0xFF << 0xFF << QList<int>{3, 3, 3, 3, 3, 3, 3, 3};
    QTest::newRow("ends") << 0x80 << 0x01 << QList<int>{1, 0, 0, 0, 0, 0, 0, 2};
    QTest::newRow("3C 7E") << 0x3C << 0x7E << QList<int>{0, 2, 3, 3, 3, 3, 2, 0};
}

void TestTileView::tileRow() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QList<int>, values);
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    for (int y = 0; y < 8; ++y) {
        TileImage tile{};
        tile[2 * y] = std::uint8_t(low);
        tile[2 * y + 1] = std::uint8_t(high);
        f.window->DrawTile(tile, 6, 9, 5);
        const QImage view = Grab(f.Find<QWidget>("picTiles"));
        for (int x = 0; x < 8; ++x) {
            // All four screen pixels of the square, except where the cell's grid lines lie.
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int px = 6 * 16 + 2 * x + dx, py = 9 * 16 + 2 * y + dy;
                    const QRgb want = (px % 16 == 15 || py % 16 == 15) ? 0x0A0A0Au : ScreenOf(*f.model, values[x], 5);
                    QCOMPARE(Shown(view, px, py), want);
                }
        }
    }
}

void TestTileView::gridLines() {
    Fixture f;
    QVERIFY(f.LoadRom());
    // Move the selection frame away from the corners looked at.
    DragCells(f.Find<QWidget>("picTiles"), {7, 7}, {7, 7});
    const QImage view = Grab(f.Find<QWidget>("picTiles"));
    QCOMPARE(Shown(view, 15, 0), 0x0A0A0Au);
    QCOMPARE(Shown(view, 0, 15), 0x0A0A0Au);
    QCOMPARE(Shown(view, 15, 15), 0x0A0A0Au);
    QCOMPARE(Shown(view, 239, 100), 0x0A0A0Au);
    // The last column and row get no lines: the lines only separate tiles.
    const TileImage first = DisplayTile(*f.model, 2, 15);
    QCOMPARE(Shown(view, 255, 0), ScreenOf(*f.model, TilePixel(first, 7, 0), 0));
    const TileImage bottom = DisplayTile(*f.model, 2, 240);
    QCOMPARE(Shown(view, 0, 255), ScreenOf(*f.model, TilePixel(bottom, 0, 7), 0));
}

void TestTileView::gridSwitchRedrawsPage() {
    Fixture f;
    QVERIFY(f.LoadRom());
    DragCells(f.Find<QWidget>("picTiles"), {7, 7}, {7, 7});
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    auto* grid = f.Find<QAction>("mnuOptGrid");
    grid->trigger();
    QVERIFY(!grid->isChecked());
    QCOMPARE(redraws.count(), 1);
    const TileImage tile0 = DisplayTile(*f.model, 2, 0);
    QImage view = Grab(f.Find<QWidget>("picTiles"));
    QCOMPARE(Shown(view, 15, 0), ScreenOf(*f.model, TilePixel(tile0, 7, 0), 0));
    QCOMPARE(Shown(view, 0, 15), ScreenOf(*f.model, TilePixel(tile0, 0, 7), 0));
    grid->trigger();
    QVERIFY(grid->isChecked());
    QCOMPARE(redraws.count(), 2);
    view = Grab(f.Find<QWidget>("picTiles"));
    QCOMPARE(Shown(view, 15, 0), 0x0A0A0Au);
}

void TestTileView::screenColours_data() {
    QTest::addColumn<bool>("background");
    QTest::addColumn<bool>("dim");
    QTest::addColumn<QRgb>("colour0");
    QTest::newRow("sprite, dimmed") << false << true << QRgb(0x8A8ABA);  // (138, 138, 186)
    QTest::newRow("background, dimmed") << true << true << QRgb(0xBABABA);
    QTest::newRow("sprite, full") << false << false << QRgb(0xB8B8F8);  // (184, 184, 248)
    QTest::newRow("background, full") << true << false << QRgb(0xF8F8F8);
}

void TestTileView::screenColours() {
    QFETCH(bool, background);
    QFETCH(bool, dim);
    QFETCH(QRgb, colour0);
    Fixture f;
    // An all-zero bank shows colour 0 everywhere.
    RomSpec spec;
    std::vector<std::uint8_t> rom = MakeRom(spec);
    std::fill(rom.begin() + 2 * kBankSize, rom.begin() + 3 * kBankSize, 0);
    WriteBytes(f.Path("zero.gb"), rom);
    QVERIFY(f.window->LoadRomFile(f.Path("zero.gb")));
    if (background) QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
    if (!dim) f.Find<QAction>("mnuOptDim")->trigger();
    QCOMPARE(f.model->ColorScale, dim ? 6 : 8);
    QCOMPARE(f.model->CurPalSet, background ? 1 : 0);
    const QImage strip = Grab(f.Find<QWidget>("picPals"));
    const QImage view = Grab(f.Find<QWidget>("picTiles"));
    const QImage current = Grab(f.Find<QWidget>("picCurrent"));
    for (int p = 0; p < 8; ++p) QCOMPARE(Shown(strip, 5, 16 * p + 5), colour0);
    QCOMPARE(Shown(view, 40, 40), colour0);
    QCOMPARE(Shown(current, 30, 30), colour0);
    // Colour 3 is black either way; the strip's lines are (40, 15, 15).
    QCOMPARE(Shown(strip, 60, 5), 0x000000u);
    QCOMPARE(Shown(strip, 5, 16), 0x280F0Fu);
    QCOMPARE(Shown(strip, 32, 70), 0x280F0Fu);
}

void TestTileView::tileNumberAndOffset_data() {
    QTest::addColumn<int>("offset");
    QTest::newRow("offset 0") << 0;
    QTest::newRow("offset 3") << 3;
    QTest::newRow("offset 15") << 15;
}

void TestTileView::tileNumberAndOffset() {
    QFETCH(int, offset);
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    // Tile 293 (column 5, row 2 of page 1) starts at byte 293 * 16 + offset of the bank.
    f.model->TilePal[2][293] = 4;
    auto* sldPage = f.Find<QSlider>("sldPage");
    QTest::keyClick(sldPage, Qt::Key_Right);
    QCOMPARE(sldPage->value(), 1);
    auto* sldOffset = f.Find<QSlider>("sldTileOffset");
    for (int i = 0; i < offset; ++i) QTest::keyClick(sldOffset, Qt::Key_Right);
    QCOMPARE(f.model->TileOffset[2], offset);
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: %1").arg(offset));
    TileImage bytes{};
    std::copy_n(f.model->RomBank[2].begin() + 4688 + offset, 16, bytes.begin());
    const QImage view = Grab(f.Find<QWidget>("picTiles"));
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x) QCOMPARE(Shown(view, 5 * 16 + 2 * x, 2 * 16 + 2 * y), ScreenOf(*f.model, TilePixel(bytes, x, y), 4));
}

void TestTileView::absentLastTile() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    f.model->TilePal[2][1023] = 2;
    f.model->TileEdited[2][1023] = true;
    f.model->EditedTile[2][1023].fill(0xFF);
    f.Find<QSlider>("sldPage")->setValue(3);
    f.Find<QSlider>("sldTileOffset")->setValue(15);
    QImage view = Grab(f.Find<QWidget>("picTiles"));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x) QCOMPARE(Shown(view, 240 + x, 240 + y), ScreenOf(*f.model, 0, 2));
    // With offset 0 the same tile is there, and shows its edited image.
    f.Find<QSlider>("sldTileOffset")->setValue(0);
    view = Grab(f.Find<QWidget>("picTiles"));
    QCOMPARE(Shown(view, 245, 245), ScreenOf(*f.model, 3, 2));
}

void TestTileView::wholePageFromModel() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom({.banks = 6, .sizeCode = 2}));
    // Palettes, edits and an offset on bank 4, page 2; then the user goes there.
    std::mt19937 random(11);
    for (int tile = 512; tile < 768; ++tile) f.model->TilePal[4][tile] = std::int16_t(random() % 8);
    for (int tile = 520; tile < 540; ++tile) {
        f.model->TileEdited[4][tile] = true;
        for (auto& byte : f.model->EditedTile[4][tile]) byte = std::uint8_t(random());
    }
    f.model->TileOffset[4] = 6;
    for (int i = 0; i < 2; ++i) QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);
    for (int i = 0; i < 2; ++i) QTest::keyClick(f.Find<QSlider>("sldPage"), Qt::Key_Right);
    QCOMPARE(f.Find<QLabel>("lblBank")->text(), QString("Bank: 4"));
    QCOMPARE(f.Find<QLabel>("lblPage")->text(), QString("Page: 2"));
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 6"));
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->value(), 6);
    CheckPage(*f.model, f.Find<QWidget>("picTiles"), 4, 2);
    // The palette numbers show in the other set once it is chosen.
    QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
    CheckPage(*f.model, f.Find<QWidget>("picTiles"), 4, 2);
}

void TestTileView::offsetRememberedPerBank() {
    Fixture f;
    QVERIFY(f.LoadRom({.banks = 6, .sizeCode = 2}));
    auto* sldBank = f.Find<QSlider>("sldBank");
    auto* sldOffset = f.Find<QSlider>("sldTileOffset");
    QTest::keyClick(sldBank, Qt::Key_Right);  // bank 3
    sldOffset->setValue(7);
    QTest::keyClick(sldBank, Qt::Key_Right);  // bank 4, offset 0
    QCOMPARE(sldOffset->value(), 0);
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 0"));
    QTest::keyClick(sldBank, Qt::Key_Left);  // back to bank 3
    QCOMPARE(sldOffset->value(), 7);
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 7"));
    QCOMPARE(f.model->TileOffset[3], 7);
    QCOMPARE(f.model->TileOffset[4], 0);
    CheckPage(*f.model, f.Find<QWidget>("picTiles"), 3, 0);
}

void TestTileView::offsetFollowsShownBank() {
    // After a bank with offset 5, a bank with offset 0: moving the slider to 5 must take
    // effect, because the remembered value follows what the slider shows.
    Fixture f;
    QVERIFY(f.LoadRom({.banks = 6, .sizeCode = 2}));
    f.model->TileOffset[2] = 5;
    f.window->DoRefresh();
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->value(), 5);
    QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->value(), 0);
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    f.Find<QSlider>("sldTileOffset")->setValue(5);
    QCOMPARE(redraws.count(), 1);
    QCOMPARE(f.model->TileOffset[3], 5);
    QCOMPARE(f.model->TileOffset[2], 5);
}

void TestTileView::sliderKeysAndLabels() {
    Fixture f;
    QVERIFY(f.LoadRom({.banks = 6, .sizeCode = 2}));
    auto* sldBank = f.Find<QSlider>("sldBank");
    auto* sldPage = f.Find<QSlider>("sldPage");
    auto* sldOffset = f.Find<QSlider>("sldTileOffset");
    QCOMPARE(sldBank->maximum(), 5);
    QTest::keyClick(sldBank, Qt::Key_End);
    QCOMPARE(f.Find<QLabel>("lblBank")->text(), QString("Bank: 5"));
    QTest::keyClick(sldBank, Qt::Key_Home);
    QCOMPARE(sldBank->value(), 2);  // banks 0 and 1 are never shown
    QTest::keyClick(sldPage, Qt::Key_PageUp);
    QCOMPARE(sldPage->value(), 1);  // a large step of the page slider is one page
    QTest::keyClick(sldOffset, Qt::Key_PageUp);
    QCOMPARE(sldOffset->value(), 5);  // and of the offset slider five bytes
    QCOMPARE(f.model->TileOffset[2], 5);
    QTest::keyClick(sldPage, Qt::Key_End);
    QCOMPARE(f.Find<QLabel>("lblPage")->text(), QString("Page: 3"));
}

void TestTileView::samePositionDoesNothing() {
    Fixture f;
    QVERIFY(f.LoadRom());
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    auto* sldPage = f.Find<QSlider>("sldPage");
    QTest::keyClick(sldPage, Qt::Key_Left);  // already at 0
    QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Home);
    QTest::keyClick(f.Find<QSlider>("sldTileOffset"), Qt::Key_Home);
    QCOMPARE(redraws.count(), 0);
    // A value the slider returns to before its handler could act is no move either.
    f.window->LastPage = 2;
    sldPage->setValue(2);
    QCOMPARE(redraws.count(), 0);
}

void TestTileView::pageMovedDuringRedraw() {
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    for (int tile = 768; tile < 1024; ++tile) f.model->TilePal[2][tile] = std::int16_t(tile % 8);
    auto* sldPage = f.Find<QSlider>("sldPage");
    int movedAtRow = -1;
    // Runs at each tile's event processing: when the redraw reaches its tenth row, the
    // user drags the page slider from 0 to 3.
    QTimer mover;
    mover.setInterval(0);
    connect(&mover, &QTimer::timeout, [&] {
        if (movedAtRow < 0 && f.window->Refreshing && f.window->DrawRow >= 9) {
            movedAtRow = f.window->DrawRow;
            for (int i = 0; i < 3; ++i) QTest::keyClick(sldPage, Qt::Key_Right);
        }
    });
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    mover.start();
    f.Find<QAction>("mnuOptGrid")->trigger();  // the grid off: a full redraw of page 0 starts
    mover.stop();
    QVERIFY2(movedAtRow >= 9 && movedAtRow < 16, qPrintable(QString::number(movedAtRow)));
    QCOMPARE(redraws.count(), 1);
    QCOMPARE(sldPage->value(), 3);
    QCOMPARE(f.Find<QLabel>("lblPage")->text(), QString("Page: 3"));
    CheckPage(*f.model, f.Find<QWidget>("picTiles"), 2, 3);
    QVERIFY(!f.window->Refreshing);
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
    QVERIFY(f.Find<QWidget>("picTiles")->isEnabled());
}

void TestTileView::redrawWithoutYield() {
    // The measured form of the redraw draws the same page as the one the user sees.
    Fixture f;
    SetDistinctPalettes(*f.model);
    QVERIFY(f.LoadRom());
    std::mt19937 random(3);
    for (int tile = 0; tile < 256; ++tile) f.model->TilePal[2][tile] = std::int16_t(random() % 8);
    f.model->TileEdited[2][77] = true;
    f.model->EditedTile[2][77].fill(0xF0);
    f.window->YieldPerTile = false;
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    f.window->RefreshTiles();
    QCOMPARE(redraws.count(), 1);
    CheckPage(*f.model, f.Find<QWidget>("picTiles"), 2, 0);
    QVERIFY(f.Find<QWidget>("picTiles")->isEnabled());
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
}

void TestTileView::stateDuringRedraw() {
    // While the page is drawn only the tile view and Pixel Switch are out of use; the
    // status reads "Refreshing..." in black.
    Fixture f;
    QVERIFY(f.LoadRom());
    int samples = 0, wrong = 0;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] {
        if (!f.window->Refreshing) return;
        ++samples;
        auto* status = f.Find<QLabel>("lblStatus");
        if (status->text() != "Refreshing..." || status->palette().color(QPalette::WindowText) != QColor(0, 0, 0)) ++wrong;
        if (f.Find<QWidget>("picTiles")->isEnabled() || f.Find<QWidget>("cmdPixelSwitch")->isEnabled()) ++wrong;
        for (const char* name : {"sldBank", "sldPage", "sldTileOffset", "fraPals", "fraPalSet"})
            if (!f.Find<QWidget>(name)->isEnabled()) ++wrong;
        for (const char* name : {"mnuFileLoadrom", "mnuFileSavegbp", "mnuOptGrid", "mnuOptReset"})
            if (!f.Find<QAction>(name)->isEnabled()) ++wrong;
    });
    sampler.start();
    f.Find<QAction>("mnuOptDim")->trigger();
    sampler.stop();
    QVERIFY(samples >= 200);
    QCOMPARE(wrong, 0);
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
    QVERIFY(f.Find<QWidget>("picTiles")->isEnabled());
    QVERIFY(f.Find<QWidget>("cmdPixelSwitch")->isEnabled());
}

QTEST_MAIN(TestTileView)
#include "test_tileview.moc"
