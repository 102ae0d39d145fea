// One session with the editing dialogs in the real program, as a user would go through
// it: a ROM with drawn graphics, palettes given to parts of it, a colour changed from the
// strip, a tile redrawn, a pixel switch over a selection, the colour ROM written.
//
// Run on a real display with DAPPLIX_SCREENSHOT_DIR set, it also photographs each dialog
// in use and the main window after the edits (ImageMagick's `import` of the screen, cut
// to the program's windows); docs/screenshots/ holds the pictures taken this way, with
//   DAPPLIX_SCREENSHOT_DIR=$PWD/docs/screenshots QT_QPA_PLATFORM=xcb
//   xvfb-run -s "-screen 0 1024x768x24" build/bin/gui_test_editing_tour
// (the first line is the environment of the second).
#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <cmath>

#include "EditingFlowSupport.h"
#include "EditingTestSupport.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "project/frmEditCol.h"
#include "view/AppFont.h"

using namespace dapplix;
using namespace dapplix::testing;
namespace gt = dapplix::guitest;

namespace {

// Graphics of the kind a game holds: balls, bricks, stripes, gradients, diamonds and
// hearts, so the pictures show something a user would recognise.
TileImage PatternTile(int t) {
    static const char* const kHeart[8] = {"........", ".33..33.", "32233223", "32222223",
                                          ".322223.", "..3223..", "...33...", "........"};
    TileImage tile{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int v = 0;
            const double dx = x - 3.5, dy = y - 3.5;
            switch (t % 8) {
            case 0: {
                const double r = 1.5 + (t / 8) % 3, d = std::sqrt(dx * dx + dy * dy);
                v = d < r - 1 ? 1 : d < r ? 2 : d < r + 0.7 ? 3 : 0;
                break;
            }
            case 1: v = x / 2; break;
            case 2: v = ((x + y + t / 8) / 2) % 4; break;
            case 3: v = (y % 4 == 3 || x == (y < 4 ? 0 : 4)) ? 3 : (y % 4 == 0 ? 2 : 1); break;
            case 4: v = ((x / 2) + (y / 2)) % 2 ? 2 : 0; break;
            case 5: {
                const double d = std::abs(dx) + std::abs(dy);
                v = d < 2.5 ? 1 : d < 3.5 ? 2 : d < 4.5 ? 3 : 0;
                break;
            }
            case 6: v = 3 - y / 2; break;
            default: {
                const char c = kHeart[y][x];
                v = c == '.' ? 0 : c - '0';
            }
            }
            SetTilePixel(tile, x, y, v);
        }
    return tile;
}

std::vector<std::uint8_t> MakePictureRom() {
    std::vector<std::uint8_t> rom = gt::MakeRom({.title = "TILE TOUR"});
    for (int bank = 2; bank < 4; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile) {
            const TileImage image = PatternTile(tile / 3 + bank);
            std::copy(image.begin(), image.end(), rom.begin() + bank * kBankSize + tile * kTileBytes);
        }
    return rom;
}

// Background palettes a user might have made: palette 0 stays grey.
void SetShowcasePalettes(Model& model) {
    const std::int16_t colours[8][4][3] = {
        {{31, 31, 31}, {20, 20, 20}, {9, 9, 9}, {0, 0, 0}},     {{31, 31, 24}, {31, 20, 8}, {20, 8, 4}, {6, 2, 0}},
        {{28, 31, 28}, {12, 26, 10}, {4, 14, 6}, {0, 4, 2}},    {{28, 30, 31}, {12, 18, 31}, {4, 6, 20}, {0, 0, 6}},
        {{31, 28, 31}, {28, 12, 24}, {16, 4, 14}, {4, 0, 4}},   {{31, 31, 20}, {31, 26, 0}, {22, 12, 0}, {8, 4, 0}},
        {{24, 31, 31}, {6, 24, 26}, {2, 12, 16}, {0, 4, 6}},    {{31, 24, 24}, {31, 8, 8}, {18, 2, 2}, {6, 0, 0}}};
    for (int pal = 0; pal < 8; ++pal)
        for (int col = 0; col < 4; ++col)
            for (int comp = 0; comp < 3; ++comp) model.Pals[kBackgroundSet][pal][col][comp] = colours[pal][col][comp];
}

// Photographs the screen, cut to the program's visible windows, when asked to.
void Capture(const char* name) {
    const QString dir = qEnvironmentVariable("DAPPLIX_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(250);  // let every window finish painting
    QRect area;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) area |= window->frameGeometry();
    area = area.adjusted(-8, -8, 8, 8) & QRect(QPoint(0, 0), QApplication::primaryScreen()->size());
    const QString crop = QString("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    const int exit = QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", dir + "/" + name});
    QVERIFY2(exit == 0, name);
}

}  // namespace

class TestEditingTour : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { dapplix::UseCompactFont(); }  // the controls are sized for it

    void tour() {
        gt::Fixture f;
        gt::WriteBytes(f.Path("tour.gb"), MakePictureRom());
        QVERIFY(f.window->LoadRomFile(f.Path("tour.gb")));
        SetShowcasePalettes(*f.model);
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        auto* picTiles = f.Find<QWidget>("picTiles");
        const struct {
            QPoint from, to;
            int palette;
        } areas[] = {{{0, 0}, {15, 3}, 1}, {{0, 4}, {7, 9}, 2}, {{8, 4}, {15, 9}, 3}, {{0, 10}, {5, 15}, 5},
                     {{6, 10}, {10, 15}, 7}, {{11, 10}, {15, 15}, 6}};
        for (const auto& a : areas) {
            gt::DragCells(picTiles, a.from, a.to);
            QTest::mouseClick(f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(a.palette))), Qt::LeftButton);
        }

        // A colour changed from the strip: colour 2 of background palette 4 becomes red.
        gt::DragCells(picTiles, {3, 12}, {3, 12});
        gt::WhenShown<frmEditCol> editor([](frmEditCol* shown) {
            auto* red = shown->findChild<QSlider*>("sldRed");
            auto* green = shown->findChild<QSlider*>("sldGreen");
            red->setFocus();
            for (int i = 0; i < 3; ++i) QTest::keyClick(red, Qt::Key_PageUp);
            green->setFocus();
            for (int i = 0; i < 2; ++i) QTest::keyClick(green, Qt::Key_PageDown);
            Capture("colour-editor-in-use.png");
            gt::ClickButton(shown, "cmdOkay");
        });
        auto* picPals = f.Find<QWidget>("picPals");
        gt::Mouse(picPals, QEvent::MouseButtonPress, {2 * 16 + 8, 5 * 16 + 8}, Qt::LeftButton, Qt::LeftButton);
        gt::Mouse(picPals, QEvent::MouseButtonRelease, {2 * 16 + 8, 5 * 16 + 8}, Qt::LeftButton, Qt::NoButton);
        QVERIFY(editor.ran());
        QCOMPARE(f.model->Pals[kBackgroundSet][5][2][0], std::int16_t(31));
        QCOMPARE(f.model->Pals[kBackgroundSet][5][2][1], std::int16_t(0));

        // A tile redrawn: a cross in colour 3 and a frame in colour 1 over the ball at (6, 5).
        const int editedTile = 5 * 16 + 6;
        gt::WhenShown<frmTileEdit> tileEditor([](frmTileEdit* shown) {
            auto* cols = shown->findChild<QWidget*>("picCols");
            auto* area = shown->findChild<QWidget*>("picTileEdit");
            auto at = [](int x, int y) { return QPoint(24 * x + 12, 24 * y + 12); };
            QTest::mouseClick(cols, Qt::LeftButton, Qt::NoModifier, PicturePos(16, 3 * 32 + 16));
            SendMouse(area, QEvent::MouseButtonPress, at(0, 0), Qt::LeftButton, Qt::LeftButton);
            SendMouse(area, QEvent::MouseMove, at(7, 7), Qt::NoButton, Qt::LeftButton);
            SendMouse(area, QEvent::MouseButtonRelease, at(7, 7), Qt::LeftButton, Qt::NoButton);
            SendMouse(area, QEvent::MouseButtonPress, at(7, 0), Qt::LeftButton, Qt::LeftButton);
            SendMouse(area, QEvent::MouseMove, at(0, 7), Qt::NoButton, Qt::LeftButton);
            SendMouse(area, QEvent::MouseButtonRelease, at(0, 7), Qt::LeftButton, Qt::NoButton);
            SendMouse(area, QEvent::MouseButtonPress, at(1, 0), Qt::RightButton, Qt::RightButton);
            SendMouse(area, QEvent::MouseMove, at(6, 0), Qt::NoButton, Qt::RightButton);
            SendMouse(area, QEvent::MouseButtonRelease, at(6, 0), Qt::RightButton, Qt::NoButton);
            Capture("tile-editor-in-use.png");
            gt::ClickButton(shown, "cmdOkay");
        });
        gt::DoubleClickTile(f, 6, 5);
        QVERIFY(tileEditor.ran());
        QVERIFY(f.model->TileEdited[2][editedTile]);
        for (int i = 0; i < 8; ++i) QCOMPARE(TilePixel(f.model->EditedTile[2][editedTile], i, i), 3);
        Capture("main-after-tile-edit.png");

        // A pixel switch over a block of bricks and stripes: colours 1 and 3 exchanged.
        gt::DragCells(picTiles, {8, 5}, {13, 8});
        const TileImage before = DisplayTile(*f.model, 2, 5 * 16 + 8);
        gt::WhenShown<frmPixelSwitch> pixelSwitch([](frmPixelSwitch* shown) {
            auto* cols = shown->findChild<QWidget*>("picCols");
            QTest::mouseClick(cols, Qt::LeftButton, Qt::NoModifier, PicturePos(1 * 24 + 12, 12));
            QTest::mouseClick(cols, Qt::RightButton, Qt::NoModifier, PicturePos(3 * 24 + 12, 12));
            Capture("pixel-switch-in-use.png");
            gt::ClickButton(shown, "cmdOkay");
        });
        QTest::mouseClick(f.Find<QPushButton>("cmdPixelSwitch"), Qt::LeftButton);
        QVERIFY(pixelSwitch.ran());
        TileImage expected = before;
        SwitchTilePixels(expected, 1, 3);
        QCOMPARE(DisplayTile(*f.model, 2, 5 * 16 + 8), expected);
        QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
        Capture("main-after-pixel-switch.png");

        // The colour ROM carries the redrawn tile and the switched block.
        gt::RunMenu(f, "mnuFileWriterom", f.dir.path(), "tour.gbc");
        const QByteArray colourRom = gt::ReadBytes(f.Path("tour.gbc"));
        QCOMPARE(colourRom.size(), qsizetype(1048576));
        for (int i = 0; i < kTileBytes; ++i) {
            QCOMPARE(std::uint8_t(colourRom[2 * kBankSize + editedTile * kTileBytes + i]),
                     f.model->EditedTile[2][editedTile][i]);
            QCOMPARE(std::uint8_t(colourRom[2 * kBankSize + (5 * 16 + 8) * kTileBytes + i]), expected[i]);
        }
        QCOMPARE(f.messages.unscripted, 0);
    }
};

QTEST_MAIN(TestEditingTour)
#include "test_editing_tour.moc"
