// The tile editor driven with the mouse: the enlarged tile and its colours read back
// from the screen, painting with clicks and drags of every button, its own pixel
// switch, and Okay and Cancel against the data model and the tile view.
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "EditingFlowSupport.h"
#include "EditingTestSupport.h"
#include "editing/frmTileEdit.h"

using namespace dapplix;
using namespace dapplix::testing;
namespace gt = dapplix::guitest;

namespace {
constexpr int kBank = 2;
constexpr int kZoom = 24;
constexpr QRgb kEditGrid = 0x280A0A;
}  // namespace

class TestTileEdit : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Model> model;
    FakeHost host;
    std::unique_ptr<frmTileEdit> dialog;

    QWidget* Tile() { return dialog->findChild<QWidget*>("picTileEdit"); }
    QWidget* Cols() { return dialog->findChild<QWidget*>("picCols"); }
    QWidget* CurCols() { return dialog->findChild<QWidget*>("picCurCols"); }
    QPushButton* Button(const char* name) { return dialog->findChild<QPushButton*>(name); }
    QRgb Rgb(int value) { return PalToRgb(*model, value, model->EditTilePal); }

    // The opener's part (the main window's double click): the tile at cell (column,
    // row) of the shown page, its display image and palette.
    void Open(int column, int row, int palette) {
        const int tile = host.page * kTilesPerPage + row * 16 + column;
        model->SelX1 = model->SelX2 = std::int16_t(column);
        model->SelY1 = model->SelY2 = std::int16_t(row);
        model->TilePal[host.bank][tile] = std::int16_t(palette);
        model->EditTileNum = std::int16_t(tile);
        model->EditTileData = DisplayTile(*model, host.bank, tile);
        model->EditTilePal = std::int16_t(palette);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    int OpenTile() const { return model->EditTileNum; }

    // Centre of tile pixel (x, y) in the enlarged picture.
    static QPoint Centre(int x, int y) { return QPoint(kZoom * x + 12, kZoom * y + 12); }

    // The enlarged tile on screen shows each pixel of image in its colour, with the grid.
    void CheckShown(const TileImage& image) {
        const QImage shown = Tile()->grab().toImage();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                // Probe inside the square, clear of the grid line on its left and top edge.
                const QRgb got = shown.pixel(kPictureFrame + kZoom * x + 5, kPictureFrame + kZoom * y + 20) & 0xFFFFFF;
                if (got != Rgb(TilePixel(image, x, y)))
                    QFAIL(qPrintable(QString("pixel (%1, %2) shows %3").arg(x).arg(y).arg(got, 6, 16)));
            }
        for (int k = 1; k < 8; ++k) {
            QCOMPARE(shown.pixel(kPictureFrame + kZoom * k, kPictureFrame + 7) & 0xFFFFFF, kEditGrid);
            QCOMPARE(shown.pixel(kPictureFrame + 150, kPictureFrame + kZoom * k) & 0xFFFFFF, kEditGrid);
        }
        QVERIFY((shown.pixel(kPictureFrame + 0, kPictureFrame + 0) & 0xFFFFFF) != kEditGrid);
    }

    // Chooses the colour of a button by a click on the colour strip.
    void Choose(Qt::MouseButton button, int colour) {
        QTest::mouseClick(Cols(), button, Qt::NoModifier, PicturePos(16, 32 * colour + 16));
    }

    void Press(QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        SendMouse(Tile(), QEvent::MouseButtonPress, at, button, held);
    }
    void Move(QPoint at, Qt::MouseButtons held) { SendMouse(Tile(), QEvent::MouseMove, at, Qt::NoButton, held); }
    void Release(QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        SendMouse(Tile(), QEvent::MouseButtonRelease, at, button, held);
    }

private slots:
    void init() {
        model = MakeEditingModel();
        host = FakeHost{};
        dialog = std::make_unique<frmTileEdit>(*model, host);
    }
    void cleanup() { dialog.reset(); }

    void layout() {
        QCOMPARE(dialog->objectName(), QString("frmTileEdit"));
        QCOMPARE(dialog->windowTitle(), QString());
        QCOMPARE(dialog->size(), QSize(277, 228));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(Tile()->geometry(), QRect(0, 0, 196, 196));
        QCOMPARE(CurCols()->geometry(), QRect(200, 32, 68, 36));
        QCOMPARE(Cols()->geometry(), QRect(216, 72, 36, 132));
        QCOMPARE(Button("cmdOkay")->geometry(), QRect(16, 200, 73, 25));
        QCOMPARE(Button("cmdOkay")->text(), QString("&Okay"));
        QVERIFY(Button("cmdOkay")->isDefault());
        QCOMPARE(Button("cmdCancel")->geometry(), QRect(104, 200, 73, 25));
        QCOMPARE(Button("cmdCancel")->text(), QString("&Cancel"));
        QCOMPARE(Button("cmdPixSw")->geometry(), QRect(200, 4, 73, 25));
        QCOMPARE(Button("cmdPixSw")->text(), QString("&Pixel Switch"));
    }

    // Opening shows the tile's pixels, the palette's four colours and the two current
    // colours (0 left, 1 right), in the shown set.
    void opening_data() {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("palette");
        QTest::newRow("sprite set, palette 0") << 0 << 0;
        QTest::newRow("sprite set, palette 5") << 0 << 5;
        QTest::newRow("background set, palette 5") << 1 << 5;
    }
    void opening() {
        QFETCH(int, set);
        QFETCH(int, palette);
        model->CurPalSet = std::int16_t(set);
        Open(3, 4, palette);
        CheckShown(model->EditTileData);
        for (int i = 0; i < 4; ++i) QCOMPARE(ShownPixel(Cols(), 16, 32 * i + 16), Rgb(i));
        QCOMPARE(ShownPixel(CurCols(), 16, 16), Rgb(0));
        QCOMPARE(ShownPixel(CurCols(), 48, 16), Rgb(1));
    }

    // The same pixel values look different in the two sets.
    void coloursFollowTheShownSet() {
        model->CurPalSet = 0;
        Open(0, 0, 2);
        const QRgb spriteColour = ShownPixel(Tile(), 5, 5);
        dialog->reject();
        model->CurPalSet = 1;
        Open(0, 0, 2);
        QVERIFY(ShownPixel(Tile(), 5, 5) != spriteColour);
        CheckShown(model->EditTileData);
    }

    // The strip puts a colour on the left button or on any other one; a release beyond
    // the strip picks the nearest end.
    void choosingColours_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("left on colour 2") << Qt::LeftButton << 64 + 3 << 2 << 1;
        QTest::newRow("right on colour 3") << Qt::RightButton << 127 << 0 << 3;
        QTest::newRow("middle on colour 2") << Qt::MiddleButton << 95 << 0 << 2;
        QTest::newRow("left above the strip") << Qt::LeftButton << -40 << 0 << 1;
        QTest::newRow("right below the strip") << Qt::RightButton << 400 << 0 << 3;
        QTest::newRow("right on colour 0") << Qt::RightButton << 31 << 0 << 0;
    }
    void choosingColours() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, y);
        QFETCH(int, left);
        QFETCH(int, right);
        Open(1, 1, 3);
        // Pressed inside the strip, released where the row says (the strip keeps the mouse).
        SendMouse(Cols(), QEvent::MouseButtonPress, QPoint(10, 10), button, button);
        SendMouse(Cols(), QEvent::MouseButtonRelease, QPoint(10, y), button, Qt::NoButton);
        QCOMPARE(ShownPixel(CurCols(), 16, 16), Rgb(left));
        QCOMPARE(ShownPixel(CurCols(), 48, 16), Rgb(right));

        // What is shown is what is painted.
        QTest::mouseClick(Tile(), Qt::LeftButton, Qt::NoModifier, PicturePos(12, 12));
        QTest::mouseClick(Tile(), Qt::RightButton, Qt::NoModifier, PicturePos(36, 12));
        QCOMPARE(TilePixel(model->EditTileData, 0, 0), left);
        QCOMPARE(TilePixel(model->EditTileData, 1, 0), right);
    }

    // Clicks paint one pixel in the button's colour; the other 63 stay as they were.
    void clicksPaintOnePixel() {
        Open(2, 2, 1);
        Choose(Qt::LeftButton, 3);
        Choose(Qt::RightButton, 2);
        TileImage expected = model->EditTileData;
        QTest::mouseClick(Tile(), Qt::LeftButton, Qt::NoModifier, PicturePos(Centre(5, 6).x(), Centre(5, 6).y()));
        SetTilePixel(expected, 5, 6, 3);
        QCOMPARE(model->EditTileData, expected);
        QTest::mouseClick(Tile(), Qt::MiddleButton, Qt::NoModifier, PicturePos(0, 191));  // corner pixel (0, 7)
        SetTilePixel(expected, 0, 7, 2);
        QCOMPARE(model->EditTileData, expected);
        CheckShown(expected);

        // Two quick clicks either side of a pixel border: the window system reports the
        // second as a double click, and it paints all the same.
        SendMouse(Tile(), QEvent::MouseButtonPress, QPoint(23, 100), Qt::LeftButton, Qt::LeftButton);
        SendMouse(Tile(), QEvent::MouseButtonRelease, QPoint(23, 100), Qt::LeftButton, Qt::NoButton);
        SendMouse(Tile(), QEvent::MouseButtonDblClick, QPoint(25, 100), Qt::LeftButton, Qt::LeftButton);
        SendMouse(Tile(), QEvent::MouseButtonRelease, QPoint(25, 100), Qt::LeftButton, Qt::NoButton);
        SetTilePixel(expected, 0, 4, 3);
        SetTilePixel(expected, 1, 4, 3);
        QCOMPARE(model->EditTileData, expected);
    }

    // A left drag along a row paints each pixel it enters, right up to the edge, and
    // keeps painting the edge pixel when the pointer leaves the area.
    void leftDragPaintsPixelsEntered() {
        Open(0, 0, 0);
        model->EditTileData = FilledTile(2);
        dialog->UpdateEditTile();
        Choose(Qt::LeftButton, 1);
        Press(Centre(2, 3), Qt::LeftButton, Qt::LeftButton);
        for (int x = 2 * kZoom; x < 300; x += 6) Move(QPoint(x, Centre(0, 3).y()), Qt::LeftButton);
        Move(QPoint(400, -30), Qt::LeftButton);  // up and out: clamps to (7, 0)
        Release(QPoint(400, -30), Qt::LeftButton, Qt::NoButton);
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 8; ++y) {
                const bool painted = (y == 3 && x >= 2) || (x == 7 && y <= 3);
                QCOMPARE(TilePixel(model->EditTileData, x, y), painted ? 1 : 2);
            }
        CheckShown(model->EditTileData);
    }

    // Mouse moves come only now and then: a stroke that jumps several pixels between
    // two moves still paints the pixels between them.
    void quickStrokeLeavesNoGaps() {
        Open(0, 0, 0);
        model->EditTileData = FilledTile(0);
        Press(Centre(0, 0), Qt::RightButton, Qt::RightButton);  // colour 1
        Move(Centre(7, 7), Qt::RightButton);  // one jump along the diagonal
        Move(Centre(7, 0), Qt::RightButton);  // one jump up the right edge
        Release(Centre(7, 0), Qt::RightButton, Qt::NoButton);
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 8; ++y)
                QCOMPARE(TilePixel(model->EditTileData, x, y), (x == y || x == 7) ? 1 : 0);
    }

    // The button set decides the colour of a drag: left alone paints the left colour,
    // any other set the right one. Moving inside the last painted pixel paints nothing,
    // and so does moving with no button held.
    void dragButtons() {
        Open(0, 0, 0);
        model->EditTileData = FilledTile(0);
        Choose(Qt::LeftButton, 2);
        Choose(Qt::RightButton, 3);

        Press(Centre(0, 0), Qt::RightButton, Qt::RightButton);
        Move(Centre(1, 0), Qt::RightButton);  // right drag: colour 3
        QCOMPARE(TilePixel(model->EditTileData, 1, 0), 3);
        Press(Centre(1, 0), Qt::LeftButton, Qt::LeftButton | Qt::RightButton);  // the left press paints 2
        QCOMPARE(TilePixel(model->EditTileData, 1, 0), 2);
        Move(Centre(1, 0) + QPoint(8, 8), Qt::LeftButton | Qt::RightButton);  // same pixel: no paint
        QCOMPARE(TilePixel(model->EditTileData, 1, 0), 2);
        Move(Centre(2, 0), Qt::LeftButton | Qt::RightButton);  // both held: right colour
        QCOMPARE(TilePixel(model->EditTileData, 2, 0), 3);
        Release(Centre(2, 0), Qt::RightButton, Qt::LeftButton);
        Move(Centre(3, 0), Qt::LeftButton);  // left alone again: left colour
        QCOMPARE(TilePixel(model->EditTileData, 3, 0), 2);
        Release(Centre(3, 0), Qt::LeftButton, Qt::NoButton);

        const TileImage before = model->EditTileData;
        Move(Centre(5, 5), Qt::NoButton);
        Move(Centre(6, 6), Qt::NoButton);
        QCOMPARE(model->EditTileData, before);

        Press(Centre(0, 1), Qt::MiddleButton, Qt::MiddleButton);
        Move(Centre(0, 2), Qt::MiddleButton);  // middle drag: right colour
        Release(Centre(0, 2), Qt::MiddleButton, Qt::NoButton);
        QCOMPARE(TilePixel(model->EditTileData, 0, 1), 3);
        QCOMPARE(TilePixel(model->EditTileData, 0, 2), 3);
        CheckShown(model->EditTileData);
    }

    // The editor's own switch exchanges the two current colours in the working copy
    // only; a second press restores it.
    void pixelSwitchInEditor() {
        Open(4, 0, 1);
        TileImage image{};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) SetTilePixel(image, x, y, y < 4 ? (x + y) % 2 : (x % 2) + 2);
        model->EditTileData = image;
        const auto editedBefore = model->TileEdited;
        QTest::mouseClick(Button("cmdPixSw"), Qt::LeftButton);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                QCOMPARE(TilePixel(model->EditTileData, x, y), y < 4 ? 1 - (x + y) % 2 : (x % 2) + 2);
        CheckShown(model->EditTileData);
        QVERIFY(editedBefore == model->TileEdited);
        QVERIFY(host.calls.empty());
        QTest::mouseClick(Button("cmdPixSw"), Qt::LeftButton);
        QCOMPARE(model->EditTileData, image);

        // With the same colour on both buttons nothing changes.
        Choose(Qt::RightButton, 0);
        QTest::mouseClick(Button("cmdPixSw"), Qt::LeftButton);
        QCOMPARE(model->EditTileData, image);
    }

    // Okay compares the result with the ROM bytes (not with the tile as opened), stores
    // it, and redraws the cell with the tile's palette.
    void okayCommitRule_data() {
        QTest::addColumn<bool>("editedBefore");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("editedAfter");
        QTest::newRow("plain tile, no change") << false << "none" << false;
        QTest::newRow("plain tile, one pixel changed") << false << "change" << true;
        QTest::newRow("plain tile, pixel painted back") << false << "change and back" << false;
        QTest::newRow("edited tile, no change") << true << "none" << true;
        QTest::newRow("edited tile, painted back to ROM") << true << "restore rom" << false;
        QTest::newRow("edited tile, changed further") << true << "change" << true;
    }
    void okayCommitRule() {
        QFETCH(bool, editedBefore);
        QFETCH(QString, action);
        QFETCH(bool, editedAfter);
        host.bank = 3;
        const int column = 6, row = 9;
        const int tile = row * 16 + column;
        const TileImage rom = RomTileBytes(*model, 3, tile);
        TileImage oldEdit = rom;
        SetTilePixel(oldEdit, 0, 0, (TilePixel(rom, 0, 0) + 1) % 4);
        SetTilePixel(oldEdit, 7, 7, (TilePixel(rom, 7, 7) + 2) % 4);
        if (editedBefore) {
            model->TileEdited[3][tile] = true;
            model->EditedTile[3][tile] = oldEdit;
        }
        Open(column, row, 4);
        const TileImage opened = model->EditTileData;
        QCOMPARE(opened, editedBefore ? oldEdit : rom);

        auto paint = [this](int x, int y, int value) {
            Choose(Qt::LeftButton, value);
            QTest::mouseClick(Tile(), Qt::LeftButton, Qt::NoModifier, PicturePos(Centre(x, y).x(), Centre(x, y).y()));
        };
        if (action == "change") {
            paint(3, 3, (TilePixel(opened, 3, 3) + 1) % 4);
        } else if (action == "change and back") {
            paint(3, 3, (TilePixel(opened, 3, 3) + 3) % 4);
            paint(3, 3, TilePixel(opened, 3, 3));
        } else if (action == "restore rom") {
            paint(0, 0, TilePixel(rom, 0, 0));
            paint(7, 7, TilePixel(rom, 7, 7));
        }
        const TileImage result = model->EditTileData;
        QTest::mouseClick(Button("cmdOkay"), Qt::LeftButton);

        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(model->TileEdited[3][tile], editedAfter);
        // A cleared mark leaves the old image where it was.
        QCOMPARE(model->EditedTile[3][tile], editedAfter ? result : (editedBefore ? oldEdit : TileImage{}));
        QCOMPARE(DisplayTile(*model, 3, tile), result);
        // Nothing else of the model changed: the same tile number of bank 2 is untouched.
        QVERIFY(!model->TileEdited[2][tile]);

        const auto draws = host.Draws();
        QCOMPARE(draws.size(), std::size_t(1));
        QCOMPARE(draws[0].image, result);
        QCOMPARE(draws[0].column, column);
        QCOMPARE(draws[0].row, row);
        QCOMPARE(draws[0].palette, 4);
        QCOMPARE(host.Sequence(), QStringList());  // the opener refreshes the selection itself
    }

    // Cancel, Escape and closing keep the model and the tile view as they were.
    void leavingWithoutOkay_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("window closed") << "close";
    }
    void leavingWithoutOkay() {
        QFETCH(QString, how);
        const int tile = 2 * 16 + 2;
        model->TileEdited[kBank][tile] = true;
        model->EditedTile[kBank][tile] = FilledTile(1);
        Open(2, 2, 0);
        QTest::mouseClick(Tile(), Qt::RightButton, Qt::NoModifier, PicturePos(30, 30));
        QTest::mouseClick(Button("cmdPixSw"), Qt::LeftButton);
        if (how == "cancel")
            QTest::mouseClick(Button("cmdCancel"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            dialog->close();
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(model->TileEdited[kBank][tile]);
        QCOMPARE(model->EditedTile[kBank][tile], FilledTile(1));
        QVERIFY(host.calls.empty());
    }

    // The dialog is reused; each opening starts again with colours 0 and 1.
    void reopeningResetsColours() {
        Open(0, 0, 6);
        Choose(Qt::LeftButton, 3);
        Choose(Qt::RightButton, 2);
        dialog->reject();
        Open(1, 0, 6);
        QCOMPARE(ShownPixel(CurCols(), 16, 16), Rgb(0));
        QCOMPARE(ShownPixel(CurCols(), 48, 16), Rgb(1));
        QTest::mouseClick(Tile(), Qt::LeftButton, Qt::NoModifier, PicturePos(12, 12));
        QCOMPARE(TilePixel(model->EditTileData, 0, 0), 0);
    }

    // The last tile of a bank whose grid is shifted runs past the bank's end: the editor
    // refuses it without showing. With the grid unshifted it opens as any other.
    void lastTileOfShiftedBank_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("opens");
        QTest::newRow("offset 0") << 0 << true;
        QTest::newRow("offset 1") << 1 << false;
        QTest::newRow("offset 15") << 15 << false;
    }
    void lastTileOfShiftedBank() {
        QFETCH(int, offset);
        QFETCH(bool, opens);
        host.page = 3;
        model->TileOffset[kBank] = std::int16_t(offset);
        model->SelX1 = model->SelX2 = 15;
        model->SelY1 = model->SelY2 = 15;
        model->EditTileNum = kLastTile;
        model->EditTileData = FilledTile(3);
        model->EditTilePal = 0;
        bool shown = false;
        const int result = ExecDriven(dialog.get(), [this, &shown] {
            shown = dialog->isVisible();
            QTest::mouseClick(Button("cmdOkay"), Qt::LeftButton);
        });
        QCoreApplication::processEvents();  // a refused tile: the drive runs now, on a hidden dialog
        QCOMPARE(shown, opens);
        QCOMPARE(result, int(opens ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(model->TileEdited[kBank][kLastTile], opens && FilledTile(3) != RomTileBytes(*model, kBank, kLastTile));
        QCOMPARE(host.Draws().size(), std::size_t(opens ? 1 : 0));
    }

    // The road of a redrawn tile in the real program: double click on a tile of a bank
    // whose grid is shifted, paint a diagonal, Okay. The cell and the current-tile view
    // show the new pixels in the tile's palette and the selection frame is back. A
    // neighbour painted and painted back stays a plain tile. Both survive a saved
    // project loaded into a fresh program, and the colour ROM holds them at their place.
    void editInTheMainWindow() {
        gt::Fixture f;
        gt::SetDistinctPalettes(*f.model);
        QVERIFY(f.LoadRom());
        gt::ShowBankPage(f, 3, 1);
        f.Find<QSlider>("sldTileOffset")->setValue(5);
        QCOMPARE(f.model->TileOffset[3], std::int16_t(5));
        const int column = 4, row = 9, tile = kTilesPerPage + row * 16 + column;
        gt::DragCells(f.Find<QWidget>("picTiles"), {column, row}, {column + 1, row});
        QTest::mouseClick(f.Find<QRadioButton>("optPal6"), Qt::LeftButton);
        QCOMPARE(f.model->TilePal[3][tile], std::int16_t(6));

        const TileImage rom = RomTileBytes(*f.model, 3, tile);
        TileImage expected = rom;
        for (int i = 0; i < 8; ++i) SetTilePixel(expected, i, i, 3);
        QVERIFY(expected != rom);
        gt::WhenShown<frmTileEdit> editor([](frmTileEdit* shown) {
            QTest::mouseClick(shown->findChild<QWidget*>("picCols"), Qt::LeftButton, Qt::NoModifier,
                              PicturePos(16, 3 * 32 + 16));
            auto* area = shown->findChild<QWidget*>("picTileEdit");
            SendMouse(area, QEvent::MouseButtonPress, Centre(0, 0), Qt::LeftButton, Qt::LeftButton);
            for (int i = 1; i < 8; ++i) SendMouse(area, QEvent::MouseMove, Centre(i, i), Qt::NoButton, Qt::LeftButton);
            SendMouse(area, QEvent::MouseButtonRelease, Centre(7, 7), Qt::LeftButton, Qt::NoButton);
            gt::ClickButton(shown, "cmdOkay");
        });
        gt::DoubleClickTile(f, column, row);
        QVERIFY(editor.ran());
        QVERIFY(f.model->TileEdited[3][tile]);
        QCOMPARE(f.model->EditedTile[3][tile], expected);
        gt::CheckCellShows(*f.window, *f.model, column, row, expected, 6);
        gt::CheckCurrentShows(*f.window, *f.model, expected, 6);
        QCOMPARE(gt::Shown(gt::Grab(f.Find<QWidget>("picTiles")), 16 * column, 16 * row), gt::kFrameYellow);

        // The neighbour: one pixel painted in another colour and painted back.
        const int neighbour = tile + 1;
        const TileImage neighbourRom = RomTileBytes(*f.model, 3, neighbour);
        const int old = TilePixel(neighbourRom, 2, 5);
        gt::WhenShown<frmTileEdit> again([old](frmTileEdit* shown) {
            auto* cols = shown->findChild<QWidget*>("picCols");
            auto* area = shown->findChild<QWidget*>("picTileEdit");
            QTest::mouseClick(cols, Qt::LeftButton, Qt::NoModifier, PicturePos(16, 32 * ((old + 1) % 4) + 16));
            QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, PicturePos(Centre(2, 5).x(), Centre(2, 5).y()));
            QTest::mouseClick(cols, Qt::LeftButton, Qt::NoModifier, PicturePos(16, 32 * old + 16));
            QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, PicturePos(Centre(2, 5).x(), Centre(2, 5).y()));
            gt::ClickButton(shown, "cmdOkay");
        });
        gt::DoubleClickTile(f, column + 1, row);
        QVERIFY(again.ran());
        QVERIFY(!f.model->TileEdited[3][neighbour]);
        gt::CheckCellShows(*f.window, *f.model, column + 1, row, neighbourRom, 6);

        gt::CheckEditsSurvive(f, 3, 1, {tile, neighbour});
    }
};

QTEST_MAIN(TestTileEdit)
#include "test_tileedit.moc"
