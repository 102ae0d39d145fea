// One session with the main window, as a user starts one: the empty window, the Load ROM
// chooser, the demo ROM opened on bank 2, a few blocks of tiles given palettes, the other
// palette set, and a last look at the tiles shown.
//
// Run on a real display with DAPPLIX_SCREENSHOT_DIR set, it photographs the window at each
// of those steps (ImageMagick's `import` of the screen, cut to the program's windows);
// docs/screenshots/ holds the pictures taken this way, with
//   DAPPLIX_SCREENSHOT_DIR=$PWD/docs/screenshots QT_QPA_PLATFORM=xcb
//   xvfb-run -s "-screen 0 1024x768x24" build/bin/gui_test_main_tour
// (the first line is the environment of the second). Without the Game Boy code built it
// uses a ROM of drawn shapes instead of the demo ROM.
#include <QAction>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QtTest>

#include "MainWindowTestSupport.h"
#include "view/AppFont.h"
#include "view/ViewCanvas.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

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
    const int exit = QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", dir + "/" + name});
    QVERIFY2(exit == 0, name);
}

// A ROM of drawn shapes for when the demo ROM is not built: bank 2 holds rings, stripes,
// checks and diagonals, so every block of the page looks different.
std::vector<std::uint8_t> MakeShapesRom() {
    std::vector<std::uint8_t> rom = MakeRom({.banks = 4, .title = "SHAPES"});
    for (int tile = 0; tile < kTilesPerBank; ++tile) {
        TileImage image{};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                int value = 0;
                switch ((tile / 16 + tile % 16) % 4) {
                case 0: value = (std::abs(x - 3) + std::abs(y - 3) <= 3) ? 3 : 1; break;  // diamond
                case 1: value = y % 4; break;                                            // stripes
                case 2: value = ((x / 2 + y / 2) % 2) * 2; break;                        // checks
                default: value = (x + y + tile) % 4; break;                              // diagonals
                }
                SetTilePixel(image, x, y, value);
            }
        std::copy(image.begin(), image.end(), rom.begin() + 2 * kBankSize + tile * kTileBytes);
    }
    return rom;
}

// Colours a user might give the palettes: five warm and cool sets besides the greys.
void SetShowPalettes(Model& model) {
    const int sprite[8][4][3] = {
        {{31, 31, 31}, {20, 20, 20}, {10, 10, 10}, {0, 0, 0}},  {{31, 28, 20}, {31, 18, 6}, {20, 6, 2}, {6, 0, 0}},
        {{24, 31, 24}, {8, 26, 8}, {2, 14, 4}, {0, 4, 0}},      {{24, 28, 31}, {8, 16, 31}, {2, 6, 20}, {0, 0, 6}},
        {{31, 31, 16}, {31, 24, 0}, {20, 12, 0}, {6, 2, 0}},    {{31, 24, 31}, {26, 10, 26}, {14, 2, 16}, {4, 0, 6}},
        {{20, 31, 31}, {4, 24, 26}, {0, 12, 16}, {0, 2, 6}},    {{31, 20, 20}, {28, 6, 8}, {16, 0, 4}, {4, 0, 0}}};
    for (int set = 0; set < kPaletteSets; ++set)
        for (int p = 0; p < kPalettes; ++p)
            for (int c = 0; c < kColours; ++c)
                for (int k = 0; k < kComponents; ++k)
                    model.Pals[set][p][c][k] = std::int16_t(set == 0 ? sprite[p][c][k] : sprite[(p + 3) % 8][c][(k + 1) % 3]);
}

}  // namespace

class TestMainTour : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseCompactFont(); }

    void tour() {
        Fixture f;
        f.window->move(40, 40);
        Capture("main-before-rom.png");

        // The ROM: the demo ROM when it is built, else drawn shapes.
        QString romDir = f.dir.path();
        QString romName = "shapes.gb";
#ifdef DAPPLIX_DEMO_ROM
        if (QFile::exists(DAPPLIX_DEMO_ROM)) {
            romDir = QFileInfo(DAPPLIX_DEMO_ROM).absolutePath();
            romName = QFileInfo(DAPPLIX_DEMO_ROM).fileName();
        }
#endif
        if (romName == "shapes.gb") WriteBytes(f.Path(romName), MakeShapesRom());

        // File > Load ROM, as the user sees the chooser with the name typed in.
        WhenShown<frmFile> chooser([&](frmFile* shown) {
            shown->OpenDirectory(romDir);
            QTest::keyClicks(shown->findChild<QLineEdit*>("txtFileName"), romName);
            Capture("file-chooser.png");
            ClickButton(shown, "cmdOkay");
        });
        f.Find<QAction>("mnuFileLoadrom")->trigger();
        QVERIFY(chooser.ran());
        QCOMPARE(f.messages.Texts(), QStringList());  // the demo loads without a word
        QVERIFY(f.window->windowTitle().startsWith("Dapplix - "));
        QVERIFY(f.Find<QAction>("mnuFileWriterom")->isEnabled());
        Capture("main-after-load.png");

        // Palettes with colour, and blocks of tiles given them: the title on bank 2, then
        // the sprites and pieces of scenery on bank 3.
        SetShowPalettes(*f.model);
        f.window->DoRefresh();
        auto* picTiles = f.Find<QWidget>("picTiles");
        auto give = [&](QPoint from, QPoint to, int palette) {
            DragCells(picTiles, from, to);
            QTest::mouseClick(f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(palette))), Qt::LeftButton);
            QCOMPARE(f.model->TilePal[f.window->CurrentBank()][to.y() * 16 + to.x()], palette);
        };
        give({0, 0}, {15, 0}, 1);
        QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);
        QCOMPARE(f.window->CurrentBank(), std::min(3, int(f.model->BankCount)));
        give({0, 0}, {3, 0}, 4);
        give({4, 0}, {7, 0}, 2);
        give({8, 0}, {11, 0}, 3);
        give({12, 0}, {15, 0}, 7);
        give({0, 1}, {7, 1}, 5);
        give({8, 1}, {15, 1}, 6);
        give({0, 2}, {15, 2}, 3);
        DragCells(picTiles, {6, 0}, {9, 1});  // a selection across four palettes
        QCOMPARE(f.window->CurTile, 6);
        Capture("main-selection-palettes.png");

        // The same numbers in the background set.
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        const QImage view = Grab(picTiles);
        const TileImage tile = DisplayTile(*f.model, f.window->CurrentBank(), 16 * 13 + 5);  // left at palette 0
        QCOMPARE(Shown(view, 5 * 16 + 6, 13 * 16 + 6), ScreenOf(*f.model, TilePixel(tile, 3, 3), 0));
        Capture("main-background-set.png");
    }
};

QTEST_MAIN(TestMainTour)
#include "test_main_tour.moc"
