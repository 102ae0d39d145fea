// The editing dialogs inside the real main window: what a redrawn tile looks like in the
// tile view and the current-tile view, and the road of edited tiles through a saved
// project, a fresh program that loads it, and the written colour ROM.
#pragma once

#include <QAction>
#include <QSlider>

#include "MainWindowTestSupport.h"
#include "view/ViewCanvas.h"

namespace dapplix::guitest {

constexpr QRgb kFrameYellow = 0xFFFF00u;

// Cell (column, row) of the tile view shows image in palette: every tile pixel is a
// 2 x 2 square, read at its top-left screen pixel (grid lines only ever take the last
// screen column and row of a cell).
inline void CheckCellShows(frmMain& window, const Model& model, int column, int row, const TileImage& image,
                           int palette) {
    const QImage view = Grab(window.findChild<ViewCanvas*>("picTiles"));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            // The selection frame may cover the cell's outermost screen pixels; read the
            // square's bottom-right pixel where it lies on the frame's row or column.
            const int sx = 16 * column + 2 * x + (x == 0 ? 1 : 0);
            const int sy = 16 * row + 2 * y + (y == 0 ? 1 : 0);
            if (Shown(view, sx, sy) != ScreenOf(model, TilePixel(image, x, y), palette))
                QFAIL(qPrintable(QString("cell (%1, %2), tile pixel (%3, %4) shows %5, expected %6")
                                     .arg(column).arg(row).arg(x).arg(y)
                                     .arg(Shown(view, sx, sy), 6, 16)
                                     .arg(ScreenOf(model, TilePixel(image, x, y), palette), 6, 16)));
        }
}

// The current-tile view shows image in palette, eight screen pixels per tile pixel.
inline void CheckCurrentShows(frmMain& window, const Model& model, const TileImage& image, int palette) {
    const QImage current = Grab(window.findChild<ViewCanvas*>("picCurrent"));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(Shown(current, 8 * x + 4, 8 * y + 4), ScreenOf(model, TilePixel(image, x, y), palette));
}

// What the window system delivers for a double click on a cell of the tile view: press,
// release, double click, release.
inline void DoubleClickTile(Fixture& f, int column, int row) {
    auto* picTiles = f.Find<QWidget>("picTiles");
    const QPoint at(column * 16 + 6, row * 16 + 6);
    Mouse(picTiles, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Mouse(picTiles, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

inline void ShowBankPage(Fixture& f, int bank, int page) {
    f.Find<QSlider>("sldBank")->setValue(bank);
    f.Find<QSlider>("sldPage")->setValue(page);
}

inline void RunMenu(Fixture& f, const char* action, const QString& dir, const QString& name) {
    ChooseInChooser chooser(dir, name);
    f.Find<QAction>(action)->trigger();
    QVERIFY2(chooser.ran(), action);
}

// Saves the project and writes the colour ROM through the menus, checks that every given
// tile of bank lies in the colour ROM at its byte place (tile * 16 + the bank's offset)
// with its display image, then starts a fresh program, loads the same ROM and the project
// and checks that the tiles come back with their marks and images, also on screen.
inline void CheckEditsSurvive(Fixture& f, int bank, int page, const std::vector<int>& tiles) {
    RunMenu(f, "mnuFileSavegbp", f.dir.path(), "work.gbp");
    if (QTest::currentTestFailed()) return;
    RunMenu(f, "mnuFileWriterom", f.dir.path(), "work.gbc");
    if (QTest::currentTestFailed()) return;
    const QByteArray colourRom = ReadBytes(f.Path("work.gbc"));
    QCOMPARE(colourRom.size(), qsizetype(1048576));
    for (int tile : tiles) {
        const TileImage shown = DisplayTile(*f.model, bank, tile);
        const qsizetype place = qsizetype(bank) * kBankSize + tile * kTileBytes + f.model->TileOffset[bank];
        for (int i = 0; i < kTileBytes; ++i)
            QCOMPARE(std::uint8_t(colourRom[place + i]), shown[i]);
    }

    Fixture fresh;
    QVERIFY(fresh.window->LoadRomFile(f.Path("game.gb")));
    RunMenu(fresh, "mnuFileLoadgbp", f.dir.path(), "work.gbp");
    if (QTest::currentTestFailed()) return;
    QCOMPARE(fresh.model->TileOffset[bank], f.model->TileOffset[bank]);
    QVERIFY(fresh.model->TileEdited[bank] == f.model->TileEdited[bank]);
    for (int tile = 0; tile < kTilesPerBank; ++tile)
        if (f.model->TileEdited[bank][tile])
            QCOMPARE(fresh.model->EditedTile[bank][tile], f.model->EditedTile[bank][tile]);
    fresh.model->Pals = f.model->Pals;
    fresh.model->CurPalSet = f.model->CurPalSet;
    ShowBankPage(fresh, bank, page);
    fresh.window->DoRefresh();
    for (int tile : tiles) {
        if (tile / kTilesPerPage != page) continue;
        CheckCellShows(*fresh.window, *fresh.model, tile % 16, (tile / 16) % 16, DisplayTile(*f.model, bank, tile),
                       fresh.model->TilePal[bank][tile]);
    }
}

}  // namespace dapplix::guitest
