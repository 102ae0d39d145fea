// The three editing dialogs as the user drives them: the colour editor's sliders and
// swatch, painting and dragging in the tile editor and its commit rule, the pixel switch
// over a selection of the tile view, Okay and Cancel on each, the edited tiles' road
// through a saved project into the written colour ROM; and a whole session on the demo
// ROM, which also takes the screenshots of docs/screenshots/.
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "GuiTestSupport.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "project/frmEditCol.h"
#include "view/AppFont.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

// Centre of tile pixel (x, y) in the tile editor's enlarged picture.
QPoint Centre(int x, int y) { return QPoint(24 * x + 12, 24 * y + 12); }

// A tile drawn as eight rows of pixel values, '.' for 0.
TileImage Picture(const char* const rows[8]) {
    TileImage tile{};
    for (int i = 0; i < 64; ++i)
        SetTilePixel(tile, i % 8, i / 8, rows[i / 8][i % 8] == '.' ? 0 : rows[i / 8][i % 8] - '0');
    return tile;
}
TileImage Filled(int value) {
    TileImage tile{};
    for (int i = 0; i < 64; ++i) SetTilePixel(tile, i % 8, i / 8, value);
    return tile;
}

// Every pixel of value a made b and of value b made a.
TileImage Exchanged(const TileImage& image, int a, int b) {
    TileImage result = image;
    for (int i = 0; i < 64; ++i) {
        const int v = TilePixel(image, i % 8, i / 8);
        SetTilePixel(result, i % 8, i / 8, v == a ? b : v == b ? a : v);
    }
    return result;
}

// The enlarged tile shows each pixel of image in its colour, with the grid between them.
void CheckEnlarged(QWidget* picTileEdit, const Model& model, const TileImage& image, int palette) {
    const QImage shown = Grab(picTileEdit);
    for (int i = 0; i < 64; ++i)
        QCOMPARE(Shown(shown, 24 * (i % 8) + 5, 24 * (i / 8) + 20),
                 ScreenOf(model, TilePixel(image, i % 8, i / 8), palette));
    for (int k = 1; k < 8; ++k)
        QCOMPARE(QList<QRgb>({Shown(shown, 24 * k, 7), Shown(shown, 150, 24 * k)}), QList<QRgb>(2, 0x280A0A));
}

// Saves the project and writes the colour ROM through the menus and checks that each
// tile lies in the colour ROM at its byte place with its display image; then a fresh
// program loads the same ROM and the project and shows the tiles with their marks.
void CheckEditsSurvive(Fixture& f, int bank, int page, const std::vector<int>& tiles) {
    QVERIFY(!f.Menu("mnuFileSavegbp", "work.gbp").isEmpty() && !f.Menu("mnuFileWriterom", "work.gbc").isEmpty());
    const QByteArray colourRom = ReadBytes(f.Path("work.gbc"));
    QCOMPARE(colourRom.size(), qsizetype(1048576));
    Fixture fresh;
    QVERIFY(fresh.window->LoadRomFile(f.Path("game.gb")));
    QVERIFY(!fresh.Menu("mnuFileLoadgbp", "work.gbp", f.dir.path()).isEmpty());
    fresh.model->Pals = f.model->Pals;
    fresh.model->CurPalSet = f.model->CurPalSet;
    fresh.ShowBankPage(bank, page);
    fresh.window->DoRefresh();
    const QImage view = Grab(fresh.View());
    for (int tile : tiles) {
        const TileImage shown = DisplayTile(*f.model, bank, tile);
        const qsizetype place = qsizetype(bank) * kBankSize + tile * kTileBytes + f.model->TileOffset[bank];
        QCOMPARE(colourRom.mid(place, kTileBytes), QByteArray(reinterpret_cast<const char*>(shown.data()), kTileBytes));
        QCOMPARE(fresh.model->TileEdited[bank][tile], f.model->TileEdited[bank][tile]);
        CheckCell(view, *fresh.model, tile % 16, tile / 16 % 16, shown, f.model->TilePal[bank][tile]);
    }
}

// Photographs the screen, cut to the program's visible windows, when asked to.
void Capture(const char* name) {
    const QString dir = qEnvironmentVariable("DAPPLIX_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(300);  // let every window finish painting
    QRect area;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) area |= window->frameGeometry();
    area = area.adjusted(-8, -8, 8, 8) & QRect(QPoint(0, 0), QApplication::primaryScreen()->size());
    const QString crop = QString("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    QVERIFY2(QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", dir + "/" + name}) == 0, name);
}

// Colours a user might give the palettes: warm and cool ones besides the greys; the
// background set is the sprite set turned around.
void SetShowPalettes(Model& model) {
    const int sprite[8][4][3] = {
        {{31, 31, 31}, {20, 20, 20}, {10, 10, 10}, {0, 0, 0}}, {{31, 28, 20}, {31, 18, 6}, {20, 6, 2}, {6, 0, 0}},
        {{24, 31, 24}, {8, 26, 8}, {2, 14, 4}, {0, 4, 0}},     {{24, 28, 31}, {8, 16, 31}, {2, 6, 20}, {0, 0, 6}},
        {{31, 31, 16}, {31, 24, 0}, {20, 12, 0}, {6, 2, 0}},   {{31, 24, 31}, {26, 10, 26}, {14, 2, 16}, {4, 0, 6}},
        {{20, 31, 31}, {4, 24, 26}, {0, 12, 16}, {0, 2, 6}},   {{31, 20, 20}, {28, 6, 8}, {16, 0, 4}, {4, 0, 0}}};
    for (int i = 0; i < kPaletteSets * kPalettes * kColours * kComponents; ++i) {
        const int set = i / 96, p = i / 12 % 8, c = i / 3 % 4, k = i % 3;
        model.Pals[set][p][c][k] = std::int16_t(set == 0 ? sprite[p][c][k] : sprite[(p + 3) % 8][c][(k + 1) % 3]);
    }
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseCompactFont(); }  // the program's own font, which the layout is for

    // Label, sliders and swatch on opening, with "Dim Colors" on (6) and off (8); every
    // slider change repaints the swatch, and Pals changes only on Okay. A reused dialog
    // starts from the colour then picked.
    void editColour() {
        const struct {
            int set, pal, col, scale;
            const char* label;
            int rgb[3];
            QRgb swatch;
            bool okay;  // else Enter
        } cases[] = {{0, 0, 0, 6, "Sprite Palette 0, Color 0", {23, 23, 31}, 0x8A8ABA, true},
                     {0, 0, 0, 8, "Sprite Palette 0, Color 0", {23, 23, 31}, 0xB8B8F8, false},
                     {1, 3, 2, 6, "Background Palette 3, Color 2", {9, 9, 9}, 0x363636, true},
                     {1, 7, 0, 8, "Background Palette 7, Color 0", {31, 31, 31}, 0xF8F8F8, false}};
        for (const auto& [set, pal, col, scale, label, rgb, swatch, okay] : cases) {
            Model model;
            SetDefaultPals(model);
            model.ColorScale = std::int16_t(scale);
            model.CurPalSet = std::int16_t(set);
            model.EditPal = std::int16_t(pal);
            model.EditCol = std::int16_t(col);
            frmEditCol dialog(model);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* red = dialog.findChild<QSlider*>("sldRed");
            auto* blue = dialog.findChild<QSlider*>("sldBlue");
            auto checkSwatch = [&](QRgb colour) {
                const QImage shown = Grab(dialog.findChild<QWidget*>("picEditCol"));
                for (int i = 0; i < 29 * 21; ++i) QCOMPARE(Shown(shown, i % 29, i / 29), colour);
            };
            QCOMPARE(dialog.findChild<QLabel*>("lblCol")->text(), QString(label));
            QCOMPARE(QList<int>({red->value(), dialog.findChild<QSlider*>("sldGreen")->value(), blue->value()}),
                     QList<int>(rgb, rgb + 3));
            checkSwatch(swatch);
            const PaletteTable before = model.Pals;
            QCOMPARE(dialog.focusWidget(), red);  // the keys work at once
            QTest::keyClick(red, Qt::Key_Left);   // a small step
            blue->setFocus();
            QTest::keyClick(blue, Qt::Key_PageUp);  // a large step, held at 31
            const std::array<std::int16_t, 3> edited{std::int16_t(rgb[0] - 1), std::int16_t(rgb[1]),
                                                     std::int16_t(std::min(rgb[2] + 8, 31))};
            checkSwatch(qRgb(edited[0] * scale, edited[1] * scale, edited[2] * scale) & 0xFFFFFFu);
            QVERIFY(model.Pals == before);
            if (okay)
                ClickButton(&dialog, "cmdOkay");
            else
                QTest::keyClick(&dialog, Qt::Key_Return);
            QVERIFY(!dialog.isVisible());
            PaletteTable expected = before;
            expected[set][pal][col] = edited;
            QVERIFY(model.Pals == expected);
            model.EditCol = std::int16_t((col + 1) % 4);
            dialog.show();
            QCOMPARE(red->value(), int(model.Pals[set][pal][(col + 1) % 4][0]));
        }
    }

    // Opening shows the tile in its palette of the shown set, the palette's colours and 0 and
    // 1 on the buttons. Clicks and drags paint: the left button alone its colour, any other
    // set of buttons the other; each pixel entered, the edge one when the pointer is outside;
    // a quick stroke leaves no gaps; moves inside one pixel or with no button paint nothing;
    // a quick second click paints. The editor's own switch exchanges the two colours in the
    // working copy. Cancel leaves the model and the tile view alone; the next opening starts
    // with 0 and 1 again.
    void tileEditorPainting() {
        Fixture f(true);
        QVERIFY(f.LoadRom());
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        const int tile = 4 * 16 + 3;
        f.model->TilePal[2][tile] = 5;
        f.model->SelX1 = f.model->SelX2 = 3;  // the opener's part, as the double click does it
        f.model->SelY1 = f.model->SelY2 = 4;
        f.model->EditTileNum = tile;
        f.model->EditTileData = DisplayTile(*f.model, 2, tile);
        f.model->EditTilePal = 5;
        const QImage viewBefore = Grab(f.View());
        frmTileEdit dialog(*f.model, *f.window);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* area = dialog.findChild<QWidget*>("picTileEdit");
        auto* cols = dialog.findChild<QWidget*>("picCols");
        auto onButtons = [&] {
            auto* current = dialog.findChild<QWidget*>("picCurCols");
            return QList<QRgb>({Shown(current, 16, 16), Shown(current, 48, 16)});
        };
        auto colours = [&](int left, int right) {
            return QList<QRgb>({ScreenOf(*f.model, left, 5), ScreenOf(*f.model, right, 5)});
        };
        CheckEnlarged(area, *f.model, f.model->EditTileData, 5);
        for (int i = 0; i < 4; ++i) QCOMPARE(Shown(cols, 16, 32 * i + 16), ScreenOf(*f.model, i, 5));
        QCOMPARE(onButtons(), colours(0, 1));
        Drag(cols, {{10, 10}, {10, 67}});  // colours picked on release; beyond the strip the nearest end
        Drag(cols, {{10, 10}, {10, 400}}, Qt::RightButton);
        QCOMPARE(onButtons(), colours(2, 3));

        f.model->EditTileData = Filled(0);
        dialog.UpdateEditTile();
        Click(area, Centre(5, 6));
        Click(area, {0, 191}, Qt::MiddleButton);
        std::vector<QPoint> alongRow3;
        for (int x = 60; x < 300; x += 6) alongRow3.push_back({x, 84});
        alongRow3.push_back({400, -30});  // out of the area, up and right
        Drag(area, alongRow3);
        Drag(area, {Centre(0, 0), Centre(4, 4)}, Qt::RightButton);  // one jump along the diagonal
        Mouse(area, QEvent::MouseMove, Centre(6, 6), Qt::NoButton, Qt::NoButton);
        Mouse(area, QEvent::MouseButtonPress, Centre(1, 5), Qt::LeftButton, Qt::LeftButton);
        Mouse(area, QEvent::MouseButtonPress, Centre(1, 5), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        Mouse(area, QEvent::MouseMove, Centre(1, 5) + QPoint(8, 8), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        Mouse(area, QEvent::MouseMove, Centre(2, 5), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        Mouse(area, QEvent::MouseButtonRelease, Centre(2, 5), Qt::RightButton, Qt::LeftButton);
        Mouse(area, QEvent::MouseMove, Centre(3, 5), Qt::NoButton, Qt::LeftButton);
        Mouse(area, QEvent::MouseButtonRelease, Centre(3, 5), Qt::LeftButton, Qt::NoButton);
        Click(area, {23, 100});  // two quick clicks either side of a border: the second a double click
        Mouse(area, QEvent::MouseButtonDblClick, {25, 100}, Qt::LeftButton, Qt::LeftButton);
        Mouse(area, QEvent::MouseButtonRelease, {25, 100}, Qt::LeftButton, Qt::NoButton);
        const char* const painted[8] = {"3......2", ".3.....2", "..3....2", "..232222",
                                        "22..3...", ".332....", ".....2..", "3......."};
        const TileImage expected = Picture(painted);
        QCOMPARE(f.model->EditTileData, expected);
        CheckEnlarged(area, *f.model, expected, 5);

        ClickButton(&dialog, "cmdPixSw");
        QCOMPARE(f.model->EditTileData, Exchanged(expected, 2, 3));
        CheckEnlarged(area, *f.model, Exchanged(expected, 2, 3), 5);
        ClickButton(&dialog, "cmdPixSw");
        QCOMPARE(f.model->EditTileData, expected);
        ClickButton(&dialog, "cmdCancel");
        QVERIFY(!f.model->TileEdited[2][tile]);
        QCOMPARE(Grab(f.View()), viewBefore);
        dialog.show();
        QCOMPARE(onButtons(), colours(0, 1));
    }

    // A double click opens the editor on the tile after a pause of 0.4 s. Okay compares the
    // result with the ROM bytes, not with the tile as opened, stores it and redraws its cell
    // and the current tile; the tile reaches the project and the colour ROM as stored. On a
    // bank whose grid is shifted.
    void tileEditorCommit_data() {
        QTest::addColumn<bool>("editedBefore");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("editedAfter");
        QTest::newRow("plain tile, no change") << false << "none" << false;
        QTest::newRow("plain tile, diagonal drawn") << false << "diagonal" << true;
        QTest::newRow("plain tile, pixel painted back") << false << "change and back" << false;
        QTest::newRow("edited tile, no change") << true << "none" << true;
        QTest::newRow("edited tile, painted back to ROM") << true << "restore rom" << false;
        QTest::newRow("edited tile, diagonal drawn") << true << "diagonal" << true;
    }

    void tileEditorCommit() {
        QFETCH(bool, editedBefore);
        QFETCH(QString, action);
        QFETCH(bool, editedAfter);
        Fixture f(true);
        QVERIFY(f.LoadRom());
        f.ShowBankPage(3, 1);
        f.Find<QSlider>("sldTileOffset")->setValue(5);
        const int column = 4, row = 9, tile = 256 + row * 16 + column;
        f.model->TilePal[3][tile] = 6;
        TileImage rom{};
        std::copy_n(f.model->RomBank[3].begin() + tile * 16 + 5, 16, rom.begin());
        TileImage oldEdit = rom;
        SetTilePixel(oldEdit, 0, 0, (TilePixel(rom, 0, 0) + 1) % 4);
        SetTilePixel(oldEdit, 7, 7, (TilePixel(rom, 7, 7) + 2) % 4);
        f.model->TileEdited[3][tile] = editedBefore;
        f.model->EditedTile[3][tile] = oldEdit;
        const TileImage opened = editedBefore ? oldEdit : rom;
        std::vector<std::array<int, 3>> strokes;  // pixel x, y painted value, each by a click
        if (action == "diagonal")
            for (int i = 0; i < 8; ++i) strokes.push_back({i, i, (TilePixel(opened, i, i) + 1) % 4});
        if (action == "change and back")
            strokes = {{3, 3, (TilePixel(opened, 3, 3) + 3) % 4}, {3, 3, TilePixel(opened, 3, 3)}};
        if (action == "restore rom") strokes = {{0, 0, TilePixel(rom, 0, 0)}, {7, 7, TilePixel(rom, 7, 7)}};
        TileImage result = opened;
        for (const auto& s : strokes) SetTilePixel(result, s[0], s[1], s[2]);

        QElapsedTimer clock;
        qint64 openedAfter = -1;
        TileImage handedOver{};
        WhenShown<frmTileEdit> editor([&](frmTileEdit* shown) {
            openedAfter = clock.elapsed();
            handedOver = f.model->EditTileData;
            for (const auto& s : strokes) {
                Click(shown->findChild<QWidget*>("picCols"), {16, 32 * s[2] + 16});
                Click(shown->findChild<QWidget*>("picTileEdit"), Centre(s[0], s[1]));
            }
            ClickButton(shown, "cmdOkay");
        });
        clock.start();
        DoubleClickCell(f.View(), {column, row});
        QVERIFY(editor.ran());
        QVERIFY2(openedAfter >= 390, qPrintable(QString::number(openedAfter)));
        QCOMPARE(handedOver, opened);
        QCOMPARE(QList<int>({f.model->EditTileNum, f.model->EditTilePal}), QList<int>({tile, 6}));
        QCOMPARE(f.model->TileEdited[3][tile], editedAfter);
        QCOMPARE(f.model->EditedTile[3][tile], editedAfter ? result : oldEdit);  // a cleared mark leaves the image
        QCOMPARE(DisplayTile(*f.model, 3, tile), result);
        const QImage view = Grab(f.View());
        CheckCell(view, *f.model, column, row, result, 6);
        QCOMPARE(Shown(view, 16 * column, 16 * row), kYellow);
        const QImage current = Grab(f.Find("picCurrent"));
        for (int i = 0; i < 64; ++i)
            QCOMPARE(Shown(current, 8 * (i % 8) + 4, 8 * (i / 8) + 4),
                     ScreenOf(*f.model, TilePixel(result, i % 8, i / 8), 6));
        CheckEditsSurvive(f, 3, 1, {tile});
    }

    // The last tile of a bank whose grid is shifted runs past the bank's end: a double click
    // on it opens nothing, and the editor itself refuses it without showing. Unshifted it
    // opens as any other.
    void tileEditorRefusesAbsentTile() {
        for (int offset : {0, 1, 15}) {
            const bool opens = offset == 0;
            Fixture f;
            QVERIFY(f.LoadRom());
            f.model->TileOffset[2] = std::int16_t(offset);
            f.ShowBankPage(2, 3);
            WhenShown<frmTileEdit> opened([](frmTileEdit* shown) { ClickButton(shown, "cmdCancel"); }, 700);
            DoubleClickCell(f.View(), {15, 15});
            QTest::qWait(opens ? 0 : 750);
            QCOMPARE(opened.ran(), opens);
            f.model->EditTileNum = kLastTile;
            f.model->EditTileData = Filled(3);
            frmTileEdit dialog(*f.model, *f.window);
            bool shown = false;
            QTimer::singleShot(0, &dialog, [&] {
                shown = dialog.isVisible();
                ClickButton(&dialog, "cmdOkay");
            });
            QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });  // a fault fails instead of hanging
            QCOMPARE(dialog.exec(), int(opens ? QDialog::Accepted : QDialog::Rejected));
            QCoreApplication::processEvents();  // a refused tile: the click comes now, on a hidden dialog
            QCOMPARE(shown, opens);
            QCOMPARE(f.model->TileEdited[2][kLastTile], opens);
            CheckCell(Grab(f.View()), *f.model, 15, 15, opens ? Filled(3) : TileImage{}, 0);
        }
    }

    // "Pixel Switch" over a 3 x 2 selection whose tiles carry two palettes: one edited, one
    // marked edited with its ROM bytes (as an old project may hold), one without either
    // value. The dialog shows the top-left tile's palette, and 0 and 1 on each opening.
    // While it works the window is locked, the status reads "Refreshing..." in dark red and
    // the cells change one after the other; each tile is stored by the commit rule and
    // shown; the tiles survive a saved project and lie at their place in the colour ROM.
    // The same switch again restores every tile, the view, and the marks as the restored
    // pixels call for.
    void pixelSwitch_data() {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("0 and 3") << 0 << 3;
        QTest::newRow("2 and 1") << 2 << 1;
        QTest::newRow("2 and 2") << 2 << 2;
    }

    void pixelSwitch() {
        QFETCH(int, left);
        QFETCH(int, right);
        Fixture f(true);
        std::vector<int> tiles;
        for (int cell : {6 * 16 + 5, 6 * 16 + 6, 6 * 16 + 7, 7 * 16 + 5, 7 * 16 + 6, 7 * 16 + 7})
            tiles.push_back(512 + cell);
        QByteArray rom = MakeRom();
        const TileImage neither = Filled(left == 0 || left == 3 ? 1 : 3);
        rom.replace(2 * kBankSize + tiles[2] * 16, 16, reinterpret_cast<const char*>(neither.data()), 16);
        WriteBytes(f.Path("game.gb"), rom);
        QVERIFY(f.window->LoadRomFile(f.Path("game.gb")));
        f.ShowBankPage(2, 2);
        DragCells(f.View(), {5, 6}, {7, 7});
        QTest::mouseClick(f.Find<QRadioButton>("optPal3"), Qt::LeftButton);
        f.model->TilePal[2][tiles[5]] = 5;
        TileImage edited = RomTileBytes(*f.model, 2, tiles[1]);
        edited[0] ^= 0xFF;
        QVERIFY(CommitTileImage(*f.model, 2, tiles[1], edited));
        f.model->TileEdited[2][tiles[4]] = true;  // marked, but its image is the ROM's
        f.model->EditedTile[2][tiles[4]] = RomTileBytes(*f.model, 2, tiles[4]);
        f.window->DoRefresh();
        const QImage viewBefore = Grab(f.View());
        std::vector<TileImage> before;
        for (int tile : tiles) before.push_back(DisplayTile(*f.model, 2, tile));

        QStringList states;
        int partly = 0;
        auto runSwitch = [&] {
            QList<QRgb> opened;  // the four colours, then the choice: 0 and 1 on every opening
            WhenShown<frmPixelSwitch> dialog([&](frmPixelSwitch* shown) {
                for (int i = 0; i < 4; ++i) opened << Shown(shown->findChild<QWidget*>("picCols"), 24 * i + 12, 12);
                opened << Shown(shown->findChild<QWidget*>("picLeft"), 8, 8)
                       << Shown(shown->findChild<QWidget*>("picRight"), 8, 8);
                Click(shown->findChild<QWidget*>("picCols"), {24 * left + 12, 12});
                Click(shown->findChild<QWidget*>("picCols"), {24 * right + 12, 12}, Qt::RightButton);
                const auto turns = EveryTurn([&] {
                    states << f.Status() + QString(" %1").arg(f.LockSetEnabled());
                    int done = 0;
                    for (std::size_t i = 0; i < tiles.size(); ++i)
                        done += DisplayTile(*f.model, 2, tiles[i]) != before[i];
                    partly += done > 0 && done < 5;
                });
                ClickButton(shown, "cmdOkay");
            });
            QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
            QVERIFY(dialog.ran());
            QCOMPARE(opened,
                     QList<QRgb>({ScreenOf(*f.model, 0, 3), ScreenOf(*f.model, 1, 3), ScreenOf(*f.model, 2, 3),
                                  ScreenOf(*f.model, 3, 3), ScreenOf(*f.model, 0, 3), ScreenOf(*f.model, 1, 3)}));
        };
        runSwitch();
        QVERIFY(!states.isEmpty());
        QCOMPARE(states, QStringList(states.size(), "Refreshing... #c00000 0"));
        if (left != right) QVERIFY(partly > 0);
        QCOMPARE(f.Status(), QString(" #c00000"));
        QCOMPARE(f.LockSetEnabled(), 15);
        const QImage view = Grab(f.View());
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const TileImage expected = Exchanged(before[i], left, right);
            QCOMPARE(DisplayTile(*f.model, 2, tiles[i]), expected);
            QCOMPARE(f.model->TileEdited[2][tiles[i]], expected != RomTileBytes(*f.model, 2, tiles[i]));
            CheckCell(view, *f.model, tiles[i] % 16, tiles[i] / 16 % 16, expected, i == 5 ? 5 : 3);
        }
        QVERIFY(!f.model->TileEdited[2][tiles[2]]);
        QCOMPARE(QList<QRgb>({Shown(view, 16 * 5, 16 * 6), Shown(view, 16 * 7 + 15, 16 * 7 + 15)}),
                 QList<QRgb>(2, kYellow));
        QCOMPARE(Shown(f.Find("picCurrent"), 4, 4),
                 ScreenOf(*f.model, TilePixel(DisplayTile(*f.model, 2, tiles[0]), 0, 0), 3));
        CheckEditsSurvive(f, 2, 2, tiles);
        if (QTest::currentTestFailed()) return;

        runSwitch();
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            QCOMPARE(DisplayTile(*f.model, 2, tiles[i]), before[i]);
            QCOMPARE(f.model->TileEdited[2][tiles[i]], i == 1);
        }
        QCOMPARE(Grab(f.View()), viewBefore);
    }

    // The last tile of page 3 runs past the bank's end when the grid is shifted: the switch
    // leaves its data and its mark alone and draws it blank, as the tile view shows it.
    // Unshifted it is a tile like any.
    void pixelSwitchLastTile() {
        for (const auto& [offset, markedBefore] : {std::pair{0, false}, {4, false}, {15, true}}) {
            Fixture f(true);
            QVERIFY(f.LoadRom());
            f.ShowBankPage(2, 3);
            f.Find<QSlider>("sldTileOffset")->setValue(offset);
            f.model->TilePal[2][kLastTile] = 2;
            f.model->TileEdited[2][kLastTile] = markedBefore;  // by an old project
            f.model->EditedTile[2][kLastTile] = Filled(3);
            DragCells(f.View(), {14, 15}, {15, 15});
            const TileImage neighbour = DisplayTile(*f.model, 2, kLastTile - 1),
                            last = DisplayTile(*f.model, 2, kLastTile);
            WhenShown<frmPixelSwitch> dialog([](frmPixelSwitch* shown) {
                Click(shown->findChild<QWidget*>("picCols"), {2 * 24 + 12, 12}, Qt::RightButton);
                ClickButton(shown, "cmdOkay");
            });
            QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
            QVERIFY(dialog.ran());
            QCOMPARE(DisplayTile(*f.model, 2, kLastTile - 1), Exchanged(neighbour, 0, 2));
            QCOMPARE(f.model->TileEdited[2][kLastTile], offset == 0 || markedBefore);
            QCOMPARE(f.model->EditedTile[2][kLastTile], offset ? Filled(3) : Exchanged(last, 0, 2));
            CheckCell(Grab(f.View()), *f.model, 15, 15, offset ? TileImage{} : Exchanged(last, 0, 2), 2);
        }
    }

    // Cancel, Escape and closing the window leave the model, the tile view and the status
    // alone, on each dialog, after something was changed in it.
    void leavingWithoutOkay_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");
        for (const char* dialog : {"frmEditCol", "frmTileEdit", "frmPixelSwitch"})
            for (const char* how : {"cancel", "escape", "close"})
                QTest::newRow(qPrintable(QString("%1, %2").arg(dialog, how))) << QString(dialog) << QString(how);
    }

    void leavingWithoutOkay() {
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        Fixture f;
        QVERIFY(f.LoadRom());
        QVERIFY(CommitTileImage(*f.model, 2, 1, Filled(1)));
        f.window->DoRefresh();
        DragCells(f.View(), {1, 0}, {1, 0});
        const Model before = *f.model;
        const QImage viewBefore = Grab(f.View());
        const QString statusBefore = f.Status();
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        QString seen;
        WhenShown<QDialog> leave([&](QDialog* shown) {
            seen = shown->objectName();
            if (auto* red = shown->findChild<QSlider*>("sldRed")) red->setValue(red->value() / 2);
            if (auto* area = shown->findChild<QWidget*>("picTileEdit")) Click(area, Centre(2, 2), Qt::RightButton);
            if (auto* pixSw = shown->findChild<QPushButton*>("cmdPixSw")) QTest::mouseClick(pixSw, Qt::LeftButton);
            if (auto* cols = shown->findChild<QWidget*>("picCols")) Click(cols, {60, 10}, Qt::RightButton);
            if (how == "cancel") ClickButton(shown, "cmdCancel");
            if (how == "escape") QTest::keyClick(shown, Qt::Key_Escape);
            if (how == "close") shown->close();
        });
        if (dialog == "frmEditCol") Click(f.Find("picPals"), {20, 20});
        if (dialog == "frmTileEdit") DoubleClickCell(f.View(), {1, 0});
        if (dialog == "frmPixelSwitch") QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
        QVERIFY(leave.ran());
        QCOMPARE(seen, dialog);
        QVERIFY(f.model->Pals == before.Pals && f.model->TileEdited == before.TileEdited &&
                f.model->EditedTile == before.EditedTile);
        QCOMPARE(redraws.count(), 0);
        QCOMPARE(Grab(f.View()), viewBefore);
        QCOMPARE(f.Status(), statusBefore);
    }

    // One session with the real program, as a user goes through it, on the demo ROM that
    // the Game Boy code build makes: the empty window, the Load ROM chooser, the ROM on
    // bank 2, blocks of tiles given palettes, the other palette set, a colour changed from
    // the strip, a tile redrawn, a pixel switch, and the colour ROM written. Run on a real
    // display with DAPPLIX_SCREENSHOT_DIR set, it photographs the windows at each step
    // (ImageMagick's `import` of the screen, cut to the program's windows); docs/screenshots/
    // holds the pictures taken this way, with
    //   DAPPLIX_SCREENSHOT_DIR=$PWD/docs/screenshots QT_QPA_PLATFORM=xcb
    //   xvfb-run -s "-screen 0 1024x768x24" build/bin/gui_test_dialogs tour
    // (the first line is the environment of the second).
    void tour() {
        Fixture f;
        f.window->move(40, 40);
        Capture("main-before-rom.png");

#ifdef DAPPLIX_DEMO_ROM
        const QString romPath = DAPPLIX_DEMO_ROM;
#else
        QSKIP("the demo ROM is built with the Game Boy code");
        const QString romPath;
#endif
        WhenShown<frmFile> chooser([&](frmFile* shown) {
            shown->OpenDirectory(QFileInfo(romPath).absolutePath());
            QTest::keyClicks(shown->findChild<QLineEdit*>("txtFileName"), QFileInfo(romPath).fileName());
            Capture("file-chooser.png");
            ClickButton(shown, "cmdOkay");
        });
        f.Find<QAction>("mnuFileLoadrom")->trigger();
        QVERIFY(chooser.ran());
        QCOMPARE(f.messages.log, QStringList());  // the demo loads without a word
        QVERIFY(f.window->windowTitle().startsWith("Dapplix - "));
        Capture("main-after-load.png");

        // Blocks of tiles given palettes: the title on bank 2, sprites and scenery on bank 3.
        SetShowPalettes(*f.model);
        f.window->DoRefresh();
        const struct {
            QPoint from, to;
            int palette;
        } blocks[] = {{{0, 0}, {15, 0}, 1}, {{0, 0}, {3, 0}, 4},   {{4, 0}, {7, 0}, 2},
                      {{8, 0}, {11, 0}, 3}, {{12, 0}, {15, 0}, 7}, {{0, 1}, {7, 1}, 5},
                      {{8, 1}, {15, 1}, 6}, {{0, 2}, {15, 2}, 3},  {{0, 4}, {5, 9}, 2}};
        for (const auto& b : blocks) {
            if (b.palette == 4) QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);  // on to bank 3
            DragCells(f.View(), b.from, b.to);
            QTest::mouseClick(f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(b.palette))), Qt::LeftButton);
            QCOMPARE(f.model->TilePal[f.window->CurrentBank()][b.to.y() * 16 + b.to.x()], b.palette);
        }
        DragCells(f.View(), {6, 0}, {9, 1});  // a selection across four palettes
        Capture("main-selection-palettes.png");
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        Capture("main-background-set.png");

        // Colour 2 of background palette 5 made red from the strip.
        WhenShown<frmEditCol> editor([](frmEditCol* shown) {
            auto* red = shown->findChild<QSlider*>("sldRed");
            auto* green = shown->findChild<QSlider*>("sldGreen");
            for (int i = 0; i < 3; ++i) QTest::keyClick(red, Qt::Key_PageUp);
            green->setFocus();
            for (int i = 0; i < 3; ++i) QTest::keyClick(green, Qt::Key_PageDown);
            Capture("colour-editor-in-use.png");
            ClickButton(shown, "cmdOkay");
        });
        Click(f.Find("picPals"), {2 * 16 + 8, 5 * 16 + 8});
        QVERIFY(editor.ran());

        // A tile redrawn: a cross in colour 3 and a line in colour 1.
        WhenShown<frmTileEdit> tileEditor([](frmTileEdit* shown) {
            auto* area = shown->findChild<QWidget*>("picTileEdit");
            auto stroke = [area](QPoint from, QPoint to, Qt::MouseButton button) {
                Mouse(area, QEvent::MouseButtonPress, from * 24 + QPoint(12, 12), button, button);
                Mouse(area, QEvent::MouseMove, to * 24 + QPoint(12, 12), Qt::NoButton, button);
                Mouse(area, QEvent::MouseButtonRelease, to * 24 + QPoint(12, 12), button, Qt::NoButton);
            };
            Click(shown->findChild<QWidget*>("picCols"), {16, 3 * 32 + 16});
            stroke({0, 0}, {7, 7}, Qt::LeftButton);
            stroke({7, 0}, {0, 7}, Qt::LeftButton);
            stroke({1, 0}, {6, 0}, Qt::RightButton);
            Capture("tile-editor-in-use.png");
            ClickButton(shown, "cmdOkay");
        });
        DoubleClickCell(f.View(), {2, 6});
        QVERIFY(tileEditor.ran());
        QVERIFY(f.model->TileEdited[f.window->CurrentBank()][6 * 16 + 2]);
        Capture("main-after-tile-edit.png");

        // A pixel switch over a block: colours 1 and 3 exchanged.
        DragCells(f.View(), {0, 4}, {5, 5});
        WhenShown<frmPixelSwitch> pixelSwitch([](frmPixelSwitch* shown) {
            auto* cols = shown->findChild<QWidget*>("picCols");
            Click(cols, {1 * 24 + 12, 12});
            Click(cols, {3 * 24 + 12, 12}, Qt::RightButton);
            Capture("pixel-switch-in-use.png");
            ClickButton(shown, "cmdOkay");
        });
        QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
        QVERIFY(pixelSwitch.ran());
        Capture("main-after-pixel-switch.png");

        QVERIFY(!f.Menu("mnuFileWriterom", "tour.gbc").isEmpty());
        QCOMPARE(f.messages.log, QStringList{"Color Write Done: " + f.Path("tour.gbc") + " written successfully!"});
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
