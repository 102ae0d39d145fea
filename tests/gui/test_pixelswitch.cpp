// The pixel switch driven as a user drives it: colours chosen with the mouse, Okay over
// selections of the tile view, run twice, on edited and unedited tiles, and on the last
// tile of a bank whose grid is shifted; the main window's side seen through a recording
// stand-in.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "EditingFlowSupport.h"
#include "EditingTestSupport.h"
#include "editing/frmPixelSwitch.h"

using namespace dapplix;
using namespace dapplix::testing;
namespace gt = dapplix::guitest;

namespace {
constexpr int kBank = 2;
using TileList = std::vector<std::pair<int, TileImage>>;
}  // namespace

class TestPixelSwitch : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Model> model;
    FakeHost host;
    std::unique_ptr<frmPixelSwitch> dialog;

    QWidget* Picture(const char* name) { return dialog->findChild<QWidget*>(name); }
    QPushButton* Button(const char* name) { return dialog->findChild<QPushButton*>(name); }
    QRgb Rgb(int value) { return PalToRgb(*model, value, model->SwitchPal); }

    void Select(int x1, int y1, int x2, int y2) {
        model->SelX1 = std::int16_t(x1);
        model->SelY1 = std::int16_t(y1);
        model->SelX2 = std::int16_t(x2);
        model->SelY2 = std::int16_t(y2);
    }
    static int TileAt(int page, int column, int row) { return page * kTilesPerPage + row * 16 + column; }

    // The opener's part: SwitchPal from the selection's top-left tile, then showing.
    void Open() {
        model->SwitchPal = model->TilePal[host.bank][TileAt(host.page, model->SelX1, model->SelY1)];
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void Choose(Qt::MouseButton button, int colour) {
        QTest::mouseClick(Picture("picCols"), button, Qt::NoModifier, PicturePos(24 * colour + 12, 12));
    }
    void Switch(int left, int right) {
        Open();
        Choose(Qt::LeftButton, left);
        Choose(Qt::RightButton, right);
        QTest::mouseClick(Button("cmdOkay"), Qt::LeftButton);
    }

    // Display images of every tile of the bank, to tell what changed.
    std::vector<TileImage> Snapshot(int bank) {
        std::vector<TileImage> tiles;
        for (int t = 0; t < kTilesPerBank; ++t) tiles.push_back(DisplayTile(*model, bank, t));
        return tiles;
    }

private slots:
    void init() {
        model = MakeEditingModel();
        host = FakeHost{};
        dialog = std::make_unique<frmPixelSwitch>(*model, host);
    }
    void cleanup() { dialog.reset(); }

    void layout() {
        QCOMPARE(dialog->objectName(), QString("frmPixelSwitch"));
        QCOMPARE(dialog->windowTitle(), QString());
        QCOMPARE(dialog->size(), QSize(152, 111));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        auto* switchLabel = dialog->findChild<QLabel*>("Label1");
        auto* andLabel = dialog->findChild<QLabel*>("Label2");
        QCOMPARE(switchLabel->text(), QString("Switch"));
        QCOMPARE(switchLabel->geometry(), QRect(8, 8, 41, 17));
        QVERIFY(switchLabel->alignment() & Qt::AlignRight);
        QCOMPARE(andLabel->text(), QString("and"));
        QCOMPARE(andLabel->geometry(), QRect(80, 8, 33, 17));
        QVERIFY(andLabel->alignment() & Qt::AlignHCenter);
        QCOMPARE(Picture("picLeft")->geometry(), QRect(56, 8, 21, 21));
        QCOMPARE(Picture("picRight")->geometry(), QRect(120, 8, 21, 21));
        QCOMPARE(Picture("picCols")->geometry(), QRect(24, 40, 100, 28));
        QCOMPARE(Button("cmdOkay")->geometry(), QRect(8, 80, 65, 25));
        QCOMPARE(Button("cmdOkay")->text(), QString("&Okay"));
        QVERIFY(Button("cmdOkay")->isDefault());
        QCOMPARE(Button("cmdCancel")->geometry(), QRect(80, 80, 65, 25));
        QCOMPARE(Button("cmdCancel")->text(), QString("&Cancel"));
    }

    // Opening shows the four colours of the top-left tile's palette in the shown set,
    // and 0 and 1 as the choice; a reused dialog starts from 0 and 1 again.
    void openingAndChoosing() {
        model->CurPalSet = 1;
        model->TilePal[kBank][TileAt(0, 4, 5)] = 6;
        model->TilePal[kBank][TileAt(0, 5, 5)] = 2;  // other tiles of the selection do not count
        Select(4, 5, 5, 5);
        Open();
        QCOMPARE(model->SwitchPal, std::int16_t(6));
        for (int i = 0; i < 4; ++i) QCOMPARE(ShownPixel(Picture("picCols"), 24 * i + 12, 12), Rgb(i));
        QCOMPARE(ShownPixel(Picture("picLeft"), 8, 8), Rgb(0));
        QCOMPARE(ShownPixel(Picture("picRight"), 8, 8), Rgb(1));
        QCOMPARE(ShownPixel(Picture("picRight"), 16, 16), Rgb(1));

        Choose(Qt::LeftButton, 3);
        QCOMPARE(ShownPixel(Picture("picLeft"), 8, 8), Rgb(3));
        QCOMPARE(ShownPixel(Picture("picRight"), 8, 8), Rgb(1));
        Choose(Qt::MiddleButton, 2);
        QCOMPARE(ShownPixel(Picture("picRight"), 8, 8), Rgb(2));
        // Released beyond the strip: the nearest end colour.
        SendMouse(Picture("picCols"), QEvent::MouseButtonPress, QPoint(30, 5), Qt::RightButton, Qt::RightButton);
        SendMouse(Picture("picCols"), QEvent::MouseButtonRelease, QPoint(-50, 5), Qt::RightButton, Qt::NoButton);
        QCOMPARE(ShownPixel(Picture("picRight"), 8, 8), Rgb(0));
        SendMouse(Picture("picCols"), QEvent::MouseButtonPress, QPoint(30, 5), Qt::LeftButton, Qt::LeftButton);
        SendMouse(Picture("picCols"), QEvent::MouseButtonRelease, QPoint(500, 40), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(ShownPixel(Picture("picLeft"), 8, 8), Rgb(3));

        dialog->reject();
        model->CurPalSet = 0;
        Open();
        QCOMPARE(ShownPixel(Picture("picCols"), 12, 12), Rgb(0));
        QCOMPARE(ShownPixel(Picture("picLeft"), 8, 8), Rgb(0));
        QCOMPARE(ShownPixel(Picture("picRight"), 8, 8), Rgb(1));
    }

    // Okay over a 3 x 2 selection: every pixel of the one value becomes the other and
    // back, each tile is stored by the commit rule and redrawn with its own palette, row
    // by row; the window is locked and shows "Refreshing..." meanwhile; no tile outside
    // the selection changes.
    void okayOverSelection() {
        host.bank = 3;
        host.page = 1;
        Select(2, 4, 4, 5);
        // Tile (2, 4) holds only 0s and 3s in stripes; (3, 4) only 1s and 2s; the rest random.
        TileImage stripes{}, ones{};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                SetTilePixel(stripes, x, y, y % 2 ? 3 : 0);
                SetTilePixel(ones, x, y, 1 + (x % 2));
            }
        SetRomTile(*model, 3, TileAt(1, 2, 4), stripes);
        SetRomTile(*model, 3, TileAt(1, 3, 4), ones);
        for (int row = 4; row <= 5; ++row)
            for (int column = 2; column <= 4; ++column)
                model->TilePal[3][TileAt(1, column, row)] = std::int16_t(column + row);
        const auto before = Snapshot(3);
        const auto bank2Before = Snapshot(2);

        int shownDuringWork = 0;
        host.onCall = [&](const HostCall&) { shownDuringWork += dialog->isVisible(); };
        Switch(0, 3);

        QVERIFY(!dialog->isVisible());
        QCOMPARE(shownDuringWork, 0);
        QCOMPARE(host.Sequence(), (QStringList{"SetStatus", "DisableAll", "SetStatusText", "EnableAll",
                                               "SetCurrent", "ShowCurrent"}));
        QCOMPARE(host.calls.front().text, QString("Refreshing..."));
        QCOMPARE(host.calls.front().colour, QColor(192, 0, 0));
        const auto statusOff = std::find_if(host.calls.begin(), host.calls.end(),
                                            [](const HostCall& c) { return c.what == "SetStatusText"; });
        QCOMPARE(statusOff->text, QString());
        QCOMPARE(host.calls[1].what, QString("DisableAll"));  // locked before the first tile

        TileImage flipped{};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) SetTilePixel(flipped, x, y, y % 2 ? 0 : 3);
        const auto draws = host.Draws();
        QCOMPARE(draws.size(), std::size_t(6));
        int i = 0;
        for (int row = 4; row <= 5; ++row)
            for (int column = 2; column <= 4; ++column, ++i) {
                const int tile = TileAt(1, column, row);
                TileImage expected = before[tile];
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        const int v = TilePixel(before[tile], x, y);
                        SetTilePixel(expected, x, y, v == 0 ? 3 : v == 3 ? 0 : v);
                    }
                if (column == 2 && row == 4) QCOMPARE(expected, flipped);
                if (column == 3 && row == 4) QCOMPARE(expected, ones);
                QCOMPARE(DisplayTile(*model, 3, tile), expected);
                QCOMPARE(model->TileEdited[3][tile], expected != RomTileBytes(*model, 3, tile));
                QCOMPARE(draws[i].column, column);
                QCOMPARE(draws[i].row, row);
                QCOMPARE(draws[i].palette, column + row);
                QCOMPARE(draws[i].image, expected);
            }
        QVERIFY(!model->TileEdited[3][TileAt(1, 3, 4)]);  // held neither value: unchanged, not edited
        const auto after = Snapshot(3);
        for (int t = 0; t < kTilesPerBank; ++t) {
            const int column = t % 16, row = (t / 16) % 16;
            const bool selected = t / kTilesPerPage == 1 && column >= 2 && column <= 4 && row >= 4 && row <= 5;
            if (!selected) QVERIFY2(after[t] == before[t], qPrintable(QString("tile %1 changed").arg(t)));
        }
        QVERIFY(bank2Before == Snapshot(2));
    }

    // Window events run once per tile: one posted before Okay runs before the first
    // tile, one posted while a tile is drawn runs before the next.
    void eventsRunBetweenTiles() {
        Select(0, 0, 2, 0);
        std::vector<std::size_t> drawsSeen;
        auto post = [&] {
            QTimer::singleShot(0, dialog.get(), [&] { drawsSeen.push_back(host.Draws().size()); });
        };
        post();
        host.onCall = [&](const HostCall& call) {
            if (call.what == "DrawTile" && host.Draws().size() == 1) post();
        };
        Switch(0, 1);
        QCOMPARE(drawsSeen, (std::vector<std::size_t>{0, 1}));
    }

    // The exchange is its own inverse: switching twice gives back every tile and every
    // edited mark, on plain and edited tiles alike.
    void switchingTwiceRestores_data() {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("0 and 3") << 0 << 3;
        QTest::newRow("1 and 2") << 1 << 2;
        QTest::newRow("3 and 0") << 3 << 0;
        QTest::newRow("2 and 2") << 2 << 2;
    }
    void switchingTwiceRestores() {
        QFETCH(int, left);
        QFETCH(int, right);
        Select(0, 0, 15, 2);
        for (int t = 0; t < 48; t += 5) {
            TileImage edit = RomTileBytes(*model, kBank, t);
            SetTilePixel(edit, t % 8, 0, (TilePixel(edit, t % 8, 0) + 1) % 4);
            model->TileEdited[kBank][t] = true;
            model->EditedTile[kBank][t] = edit;
        }
        const auto tiles = Snapshot(kBank);
        const auto marks = model->TileEdited;
        Switch(left, right);
        if (left != right) QVERIFY(tiles != Snapshot(kBank));
        Switch(left, right);
        QVERIFY(tiles == Snapshot(kBank));
        QVERIFY(marks == model->TileEdited);
        QCOMPARE(host.Draws().size(), std::size_t(2 * 48));
    }

    // With the same colour twice nothing changes, yet every tile is recomputed against
    // the ROM (an edited tile equal to its ROM bytes stops being edited) and redrawn.
    void sameColourRecomputesMarks() {
        Select(5, 5, 6, 5);
        const int equalToRom = TileAt(0, 5, 5), different = TileAt(0, 6, 5);
        model->TileEdited[kBank][equalToRom] = true;
        model->EditedTile[kBank][equalToRom] = RomTileBytes(*model, kBank, equalToRom);
        model->TileEdited[kBank][different] = true;
        model->EditedTile[kBank][different] = FilledTile(2);
        Switch(1, 1);
        QVERIFY(!model->TileEdited[kBank][equalToRom]);
        QVERIFY(model->TileEdited[kBank][different]);
        QCOMPARE(model->EditedTile[kBank][different], FilledTile(2));
        QCOMPARE(host.Draws().size(), std::size_t(2));
    }

    void oneTileSelection() {
        Select(9, 14, 9, 14);
        SetRomTile(*model, kBank, TileAt(0, 9, 14), FilledTile(1));
        const auto before = Snapshot(kBank);
        Switch(1, 2);
        const auto draws = host.Draws();
        QCOMPARE(draws.size(), std::size_t(1));
        QCOMPARE(draws[0].column, 9);
        QCOMPARE(draws[0].row, 14);
        auto expected = before;
        expected[TileAt(0, 9, 14)] = FilledTile(2);
        QVERIFY(expected == Snapshot(kBank));
        QVERIFY(model->TileEdited[kBank][TileAt(0, 9, 14)]);
    }

    // Cancel, Escape and closing change nothing and ask nothing of the main window.
    void leavingWithoutOkay_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("window closed") << "close";
    }
    void leavingWithoutOkay() {
        QFETCH(QString, how);
        Select(0, 0, 3, 3);
        const auto tiles = Snapshot(kBank);
        const auto marks = model->TileEdited;
        Open();
        Choose(Qt::LeftButton, 2);
        if (how == "cancel")
            QTest::mouseClick(Button("cmdCancel"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            dialog->close();
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(tiles == Snapshot(kBank));
        QVERIFY(marks == model->TileEdited);
        QVERIFY(host.calls.empty());
    }

    // The last tile of page 3 runs past the bank's end when the grid is shifted: it has
    // no complete bytes to exchange, so the switch leaves its data and its mark alone
    // and draws it blank, as the tile view shows it. Unshifted it is a tile like any.
    void lastTileOfShiftedBank_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("markedBefore");
        QTest::newRow("offset 0") << 0 << false;
        QTest::newRow("offset 4") << 4 << false;
        QTest::newRow("offset 15, marked by an old project") << 15 << true;
    }
    void lastTileOfShiftedBank() {
        QFETCH(int, offset);
        QFETCH(bool, markedBefore);
        host.page = 3;
        model->TileOffset[kBank] = std::int16_t(offset);
        model->TileEdited[kBank][kLastTile] = markedBefore;
        model->EditedTile[kBank][kLastTile] = FilledTile(3);
        Select(14, 15, 15, 15);
        const TileImage neighbourBefore = DisplayTile(*model, kBank, kLastTile - 1);
        const TileImage lastBefore = offset ? TileImage{} : RomTileBytes(*model, kBank, kLastTile);
        Switch(0, 2);

        const auto draws = host.Draws();
        QCOMPARE(draws.size(), std::size_t(2));
        QCOMPARE(draws[1].column, 15);
        QCOMPARE(draws[1].row, 15);
        QVERIFY(DisplayTile(*model, kBank, kLastTile - 1) != neighbourBefore);  // its neighbour was switched
        if (offset) {
            QCOMPARE(model->TileEdited[kBank][kLastTile], markedBefore);
            QCOMPARE(model->EditedTile[kBank][kLastTile], FilledTile(3));
            QCOMPARE(draws[1].image, TileImage{});
        } else {
            TileImage expected = lastBefore;
            SwitchTilePixels(expected, 0, 2);
            QCOMPARE(draws[1].image, expected);
            QCOMPARE(DisplayTile(*model, kBank, kLastTile), expected);
            QVERIFY(model->TileEdited[kBank][kLastTile]);
        }
        QCOMPARE(host.Sequence().last(), QString("ShowCurrent"));
    }

    // The opener's way: exec() returns once Okay has done all its work.
    void execReturnsAfterWork() {
        Select(1, 1, 1, 1);
        model->SwitchPal = 0;
        QCOMPARE(ExecDriven(dialog.get(), [this] { QTest::keyClick(dialog.get(), Qt::Key_Return); }),
                 int(QDialog::Accepted));
        QCOMPARE(host.Sequence().last(), QString("ShowCurrent"));
        QCOMPARE(host.Draws().size(), std::size_t(1));
    }

    // The switch in the real program: "Pixel Switch" on a 3 x 2 selection whose tiles
    // carry two palettes, one of them already edited. While it works the window is
    // locked and the status reads "Refreshing..." in dark red, and the cells change one
    // after the other; afterwards the status is empty, the window usable, the frame and
    // the current tile shown again. The switched tiles survive a saved project and lie
    // at their place in the colour ROM; the same switch again restores the view and
    // every edited mark.
    void switchInTheMainWindow() {
        gt::Fixture f;
        gt::SetDistinctPalettes(*f.model);
        QVERIFY(f.LoadRom());
        gt::ShowBankPage(f, 2, 2);
        auto* picTiles = f.Find<QWidget>("picTiles");
        gt::DragCells(picTiles, {5, 6}, {7, 7});
        QTest::mouseClick(f.Find<QRadioButton>("optPal3"), Qt::LeftButton);
        gt::DragCells(picTiles, {7, 7}, {7, 7});
        QTest::mouseClick(f.Find<QRadioButton>("optPal5"), Qt::LeftButton);
        const int first = 2 * kTilesPerPage + 6 * 16 + 5;
        std::vector<int> tiles;
        for (int row = 6; row <= 7; ++row)
            for (int column = 5; column <= 7; ++column) tiles.push_back(2 * kTilesPerPage + row * 16 + column);
        TileImage edited = RomTileBytes(*f.model, 2, tiles[1]);
        edited[0] ^= 0xFF;
        f.model->TileEdited[2][tiles[1]] = true;
        f.model->EditedTile[2][tiles[1]] = edited;
        f.window->DoRefresh();
        gt::DragCells(picTiles, {5, 6}, {7, 7});

        const QImage viewBefore = gt::Grab(picTiles);
        const auto marksBefore = f.model->TileEdited;
        std::vector<TileImage> before;
        for (int tile : tiles) before.push_back(DisplayTile(*f.model, 2, tile));

        auto* status = f.Find<QLabel>("lblStatus");
        struct Sample {
            QString text;
            QColor colour;
            bool locked;
            int done;
        };
        std::vector<Sample> samples;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            int done = 0;
            for (std::size_t i = 0; i < tiles.size(); ++i) done += DisplayTile(*f.model, 2, tiles[i]) != before[i];
            const bool locked = !f.Find<QSlider>("sldBank")->isEnabled() && !f.Find<QWidget>("fraPals")->isEnabled() &&
                                !f.Find<QPushButton>("cmdPixelSwitch")->isEnabled() &&
                                !f.Find<QAction>("mnuFileSavegbp")->isEnabled() && !picTiles->isEnabled();
            samples.push_back({status->text(), status->palette().color(QPalette::WindowText), locked, done});
        });
        auto runSwitch = [&](bool sample) {
            gt::WhenShown<frmPixelSwitch> dialog([&](frmPixelSwitch* shown) {
                QCOMPARE(f.model->SwitchPal, std::int16_t(3));
                QTest::mouseClick(shown->findChild<QWidget*>("picCols"), Qt::RightButton, Qt::NoModifier,
                                  PicturePos(3 * 24 + 12, 12));
                if (sample) sampler.start(0);
                gt::ClickButton(shown, "cmdOkay");
                sampler.stop();
            });
            QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
            QVERIFY(dialog.ran());
        };

        runSwitch(true);
        QVERIFY(!samples.empty());
        for (const Sample& s : samples) {
            QCOMPARE(s.text, QString("Refreshing..."));
            QCOMPARE(s.colour, QColor(192, 0, 0));
            QVERIFY(s.locked);
        }
        // The cells change one by one: some sample saw part of the selection done.
        QVERIFY(std::any_of(samples.begin(), samples.end(), [](const Sample& s) { return s.done > 0 && s.done < 6; }));
        QCOMPARE(status->text(), QString());
        QVERIFY(f.Find<QSlider>("sldBank")->isEnabled());
        QVERIFY(f.Find<QPushButton>("cmdPixelSwitch")->isEnabled());
        QVERIFY(f.Find<QAction>("mnuFileSavegbp")->isEnabled());

        for (std::size_t i = 0; i < tiles.size(); ++i) {
            TileImage expected = before[i];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const int v = TilePixel(before[i], x, y);
                    SetTilePixel(expected, x, y, v == 0 ? 3 : v == 3 ? 0 : v);
                }
            const int tile = tiles[i];
            QCOMPARE(DisplayTile(*f.model, 2, tile), expected);
            QCOMPARE(f.model->TileEdited[2][tile], expected != RomTileBytes(*f.model, 2, tile));
            gt::CheckCellShows(*f.window, *f.model, (tile % 16), (tile / 16) % 16, expected, f.model->TilePal[2][tile]);
        }
        const QImage view = gt::Grab(picTiles);
        QCOMPARE(gt::Shown(view, 16 * 5, 16 * 6), gt::kFrameYellow);
        QCOMPARE(gt::Shown(view, 16 * 7 + 15, 16 * 7 + 15), gt::kFrameYellow);
        gt::CheckCurrentShows(*f.window, *f.model, DisplayTile(*f.model, 2, first), 3);

        gt::CheckEditsSurvive(f, 2, 2, tiles);
        if (QTest::currentTestFailed()) return;

        runSwitch(false);
        QVERIFY(marksBefore == f.model->TileEdited);
        for (std::size_t i = 0; i < tiles.size(); ++i) QCOMPARE(DisplayTile(*f.model, 2, tiles[i]), before[i]);
        QVERIFY(gt::Grab(picTiles) == viewBefore);
    }
};

QTEST_MAIN(TestPixelSwitch)
#include "test_pixelswitch.moc"
