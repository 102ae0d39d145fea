// The Play window's wiring on the demo ROM: keys, pause and step, edits in the main window
// shown in the next frame, a click on the screen reaching the tile view, marks and captures.
#include "GuiSupport.h"
#include "Support.h"
#include "emulator/LiveProject.h"
#include "emulator/Screen.h"
#include "play/CoverageMarks.h"
#include "play/GameScreen.h"
#include "play/frmPlay.h"
#include "project/frmEditCol.h"
#include "view/frmMain.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

int PaletteEntryAt(Emulator& game, int x, int y) {
    for (int entry = 0; entry < 64; ++entry)
        if (ScreenColourOfWord(game.PaletteRam(entry)) == game.Pixel(x, y)) return entry;
    return -1;
}

QRgb Shown(const frmPlay& play, int x, int y) { return play.ColourScreen()->Frame().pixel(x, y) & 0xFFFFFF; }
QRgb AsQRgb(std::uint32_t corePixel) {
    return qRgb(corePixel & 0xFF, (corePixel >> 8) & 0xFF, (corePixel >> 16) & 0xFF) & 0xFFFFFF;
}

class PlayTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Model> model;
    std::unique_ptr<frmMain> window;
    ScriptedMessages messages;
    frmPlay* play = nullptr;
    e2e::Symbols symbols = e2e::Symbols::Load(std::string(DAPPLIX_ROMS_DIR) + "/demo.noi");

    void Step(int frames) {
        for (int i = 0; i < frames; ++i) Child<QPushButton>(play, "cmdStep")->click();
    }

    // A non-blank background pixel of a block B tile (VRAM 0x8800-) found in one place only.
    bool FindBlockBPixel(int& x, int& y, int& vramTile) {
        const VideoState video = play->ColourGame()->Video();
        const int tiles = int(symbols["TilesBEnd"] - symbols["TilesB"]) / 16;
        for (y = 0; y < kScreenHeight; ++y)
            for (x = 0; x < kScreenWidth; ++x) {
                const ScreenTile tile = TileAtPixel(video, x, y);
                if (tile.layer != ScreenLayer::Background || tile.vramTile < 128 || tile.vramTile >= 128 + tiles) continue;
                if (PaletteEntryAt(*play->ColourGame(), x, y) % 4 == 0) continue;
                if (FindTileInModel(*model, tile.Bytes(video)).size() != 1) continue;
                vramTile = tile.vramTile;
                return true;
            }
        return false;
    }

private slots:
    void init() {
        model = SideFilesModel(DAPPLIX_SIDEFILE_DIR);
        window = std::make_unique<frmMain>(*model);
        window->show();
        QVERIFY(!Child<QAction>(window.get(), "mnuGamePlay")->isEnabled());
        QVERIFY(window->LoadRomFile(DAPPLIX_DEMO_ROM));
        // Every colour of both sets apart from the others, so that a screen colour names its entry.
        for (int set = 0; set < kPaletteSets; ++set)
            for (int p = 0; p < kPalettes; ++p)
                for (int c = 0; c < kColours; ++c)
                    model->Pals[set][p][c] = {std::int16_t(30 - 9 * c), std::int16_t(2 * p + 1), std::int16_t(set * 16 + c)};
        QVERIFY(Child<QAction>(window.get(), "mnuGamePlay")->isEnabled());
        Child<QAction>(window.get(), "mnuGamePlay")->trigger();
        play = window->PlayWindow();
        QVERIFY(play && play->isVisible() && play->IsRunning());
    }
    void cleanup() {
        window.reset();
        play = nullptr;
    }

    void theGameRunsInRealTimePausesStepsAndFollowsTheKeys() {
        QTRY_VERIFY_WITH_TIMEOUT(play->ColourGame()->FramesRun() >= 15, 5000);
        QVERIFY(play->MonochromeGame() && play->MonochromeGame()->FramesRun() == play->ColourGame()->FramesRun());
        QTest::mouseClick(Child<QPushButton>(play, "cmdPause"), Qt::LeftButton);
        QVERIFY(play->IsPaused());
        const auto frames = play->ColourGame()->FramesRun();
        QTest::qWait(100);
        QCOMPARE(play->ColourGame()->FramesRun(), frames);
        Step(1);
        QCOMPARE(play->ColourGame()->FramesRun(), frames + 1);

        auto beeX = [&] { return int(play->ColourGame()->Video().oam[1]); };
        Step(60);  // past the colour set-up
        int x = beeX();
        Step(10);
        QCOMPARE((beeX() - x + 256) % 256, 10);
        QTest::keyPress(play, Qt::Key_Right);
        QCOMPARE(play->HeldKeys(), std::uint32_t(kKeyRight));
        x = beeX();
        Step(10);
        QVERIFY((beeX() - x + 256) % 256 >= 18);  // the bee moves 2 a frame while Right is held, read a frame late
        QTest::keyRelease(play, Qt::Key_Right);
        QCOMPARE(play->HeldKeys(), 0u);
        for (const Qt::Key key : {Qt::Key_X, Qt::Key_Return}) QTest::keyPress(play, key);
        QCOMPARE(play->HeldKeys(), std::uint32_t(kKeyA | kKeyStart));

        QTest::mouseClick(Child<QPushButton>(play, "cmdReset"), Qt::LeftButton);
        QCOMPARE(play->ColourGame()->FramesRun(), 0u);
        QVERIFY(!Child<GameScreen>(play, "picMono")->isVisible());
        Child<QCheckBox>(play, "chkMono")->click();
        QVERIFY(Child<GameScreen>(play, "picMono")->isVisible());
        Step(5);
        QCOMPARE(play->MonochromeGame()->FramesRun(), 5u);
        QVERIFY(!play->MonochromeGame()->IsColourModel());
    }

    void editsShowInTheNextFrameTheScreenLeadsToTheTilesAndIsSaved() {
        QTest::mouseClick(Child<QPushButton>(play, "cmdPause"), Qt::LeftButton);
        Step(90);
        int x = 0, y = 0, vramTile = 0;
        QVERIFY(FindBlockBPixel(x, y, vramTile));
        QCOMPARE(Shown(*play, x, y), AsQRgb(play->ColourGame()->Pixel(x, y)));

        const int entry = PaletteEntryAt(*play->ColourGame(), x, y);
        const int palette = entry / 4, colour = ShadeOf(play->ColourGame()->IoRegister(0xFF47), entry % 4);
        Child<QRadioButton>(window.get(), "optBG")->click();
        WhenShown<frmEditCol>([](frmEditCol* dialog) {
            for (const auto& [slider, value] : {std::pair{"sldRed", 31}, {"sldGreen", 0}, {"sldBlue", 31}})
                Child<QSlider>(dialog, slider)->setValue(value);
            Child<QPushButton>(dialog, "cmdOkay")->click();
        });
        Mouse(Child<ViewCanvas>(window.get(), "picPals"), QEvent::MouseButtonRelease, {16 * colour + 3, 16 * palette + 3});
        QCOMPARE(model->Pals[kBackgroundSet][palette][colour], (std::array<std::int16_t, 3>{31, 0, 31}));
        Step(1);
        QCOMPARE(Shown(*play, x, y), QRgb(0xFF00FF));
        // Find this tile selects it in the tile view, so a palette click there goes to it.
        QVERIFY(play->FindTileAt(x, y));
        const int bank = int(symbols["BANK_B"]), offset = int(symbols["GFX_OFFSET"]);
        const int tile = int((symbols["TilesB"] & 0x3FFF) - offset) / 16 + (vramTile - 128);
        QCOMPARE(Child<QSlider>(window.get(), "sldTileOffset")->value(), offset);
        QVERIFY(Child<QLabel>(play, "lblStatus")->text().contains(QString("Bank %1, offset %2").arg(bank).arg(offset)));
        QVERIFY(!Child<GameScreen>(play, "picScreen")->Mark().isEmpty());
        // Seen in play without a palette: marked in the tile view while the marks are on.
        const int column = window->View().SelX1, row = window->View().SelY1;
        ViewCanvas* picTiles = Child<ViewCanvas>(window.get(), "picTiles");
        QVERIFY(!HasCoverageMark(picTiles->image(), column, row, 16));
        Child<QAction>(window.get(), "mnuGameSeen")->trigger();
        QVERIFY(HasCoverageMark(picTiles->image(), column, row, 16));
        const int newPalette = palette == 6 ? 5 : 6;
        Child<QRadioButton>(window.get(), QString("optPal%1").arg(newPalette).toLatin1())->click();
        QCOMPARE(model->TilePal[bank][tile], std::int16_t(newPalette));
        QVERIFY(!HasCoverageMark(picTiles->image(), column, row, 16));
        Step(1);
        QCOMPARE(PaletteEntryAt(*play->ColourGame(), x, y) / 4, newPalette);
        QCOMPARE(Shown(*play, x, y), AsQRgb(play->ColourGame()->Pixel(x, y)));
        model->TilePal[bank][tile] = 0;
        window->DoRefresh();
        QTRY_VERIFY(HasCoverageMark(picTiles->image(), column, row, 16));
        Child<QAction>(window.get(), "mnuGameSeen")->trigger();
        QTRY_VERIFY(!HasCoverageMark(picTiles->image(), column, row, 16));
        // A click on the screen lists every place of the tile there, or says why there is none.
        const VideoState video = play->ColourGame()->Video();
        int many = -1;
        for (int i = 0; i < kScreenWidth * kScreenHeight && many < 0; ++i)
            if (FindTileInModel(*model, TileAtPixel(video, i % kScreenWidth, i / kScreenWidth).Bytes(video)).size() > 1) many = i;
        QVERIFY(many >= 0);
        GameScreen* screen = Child<GameScreen>(play, "picScreen");
        QTest::mouseClick(screen, Qt::LeftButton, {}, QPoint(many % kScreenWidth, many / kScreenWidth) * screen->Scale());
        QListWidget* list = Child<QListWidget>(play, "lstMatches");
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), int(play->Matches().size()));
        const int first = FirstShownMatch(play->Matches(), kFirstShownBank, model->BankCount);
        QVERIFY(first >= 0);
        QCOMPARE(list->currentRow(), first);
        int other = -1;
        for (int i = int(play->Matches().size()) - 1; i > first && other < 0; --i)
            if (play->Matches()[i].bank >= kFirstShownBank) other = i;
        QVERIFY(other > first);
        list->setCurrentRow(other);
        const TileMatch second = play->Matches()[other];
        QCOMPARE(QList<int>({Child<QSlider>(window.get(), "sldBank")->value(), Child<QSlider>(window.get(), "sldPage")->value(),
                             window->View().SelX1}), QList<int>({second.bank, second.Page(), second.tile % 16}));
        // A tile the game built itself: bytes that are nowhere in the ROM.
        const ScreenTile built = TileAtPixel(video, 8, 8);
        for (int i = 0; i < 16; ++i)
            play->ColourGame()->Write(std::uint16_t(0x8000 + built.vramTile * 16 + i), 0, std::uint8_t(0x5A ^ (i * 29)));
        QVERIFY(FindTileInModel(*model, built.Bytes(video)).empty());
        QVERIFY(!play->FindTileAt(8, 8));
        QCOMPARE(Child<QLabel>(play, "lblStatus")->text(), QString(kMsgTileNotInRom));
        QVERIFY(!list->isVisible());
        QVERIFY(!play->FindTileAt(8, 200));  // off the screen
        QVERIFY(play->IsPaused());
        // Screenshots and animations are saved.
        ScratchDir dir;
        QString error;
        const QString shot = QString::fromStdString((dir / "shot.png").string());
        QVERIFY2(play->SaveScreenshot(shot, error), qPrintable(error));
        const QImage image(shot);
        QCOMPARE(image.size(), QSize(320, 288));
        QCOMPARE(image.pixel(2 * 40 + 1, 2 * 30 + 1) & 0xFFFFFF, AsQRgb(play->ColourGame()->Pixel(40, 30)));
        QVERIFY(!play->SaveScreenshot(QString::fromStdString(dir.path().string()), error));  // a folder is refused

        play->StartRecording();
        Step(20);
        QCOMPARE(play->RecordedFrames(), 10);
        const QString gif = QString::fromStdString((dir / "play.gif").string());
        QVERIFY2(play->SaveRecording(gif, error), qPrintable(error));
        QVERIFY(!play->IsRecording());
        QImageReader reader(gif);
        QCOMPARE(reader.imageCount(), 10);
        QImage last;
        for (int i = 0; i < 10; ++i) QVERIFY(reader.read(&last));
        QCOMPARE(last.size(), QSize(320, 288));
        for (const QPoint at : {QPoint(40, 30), QPoint(0, 0), QPoint(159, 143), QPoint(80, 100)})
            QCOMPARE(last.pixel(at * 2) & 0xFFFFFF, AsQRgb(play->ColourGame()->Pixel(at.x(), at.y())));
    }
};

}  // namespace
}  // namespace dapplix

QTEST_MAIN(dapplix::PlayTests)
#include "test_play.moc"
