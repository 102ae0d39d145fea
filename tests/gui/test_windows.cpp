// The windows' wiring: a click reaches the engine's flow, and the flow's result reaches
// the screen. What the flows themselves do is checked by the engine tests.
#include <sys/stat.h>

#include "GuiSupport.h"
#include "PatchAppliers.h"
#include "TestRoms.h"
#include "dialogs/frmFile.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "engine/Bits.h"
#include "engine/Mapper.h"
#include "engine/PaletteFiles.h"
#include "engine/Writer.h"
#include "project/frmEditCol.h"
#include "view/frmMain.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

class WindowTests : public QObject {
    Q_OBJECT
    ScratchDir dir;
    std::unique_ptr<Model> model = MakeModel();
    std::unique_ptr<frmMain> window;
    ScriptedMessages messages;
    ViewCanvas* picTiles = nullptr;

    ScratchDir settingsDir;
    bool dmaWarned = false;  // the test ROMs have no OAM DMA call: each load warns of it

    bool Open(const RomShape& shape) {
        WriteFile(dir / "game.gb", MakeRom(shape));
        messages.log.clear();
        const bool opened = window->LoadRomFile(Path("game.gb"));
        dmaWarned = messages.log.removeAll(QString("Warning: ") + kMsgNoDmaCall) > 0;
        return opened;
    }
    QString Path(const std::string& name) const { return QString::fromStdString((dir / name).string()); }
    Bytes Project() const { return ProjectBytes(*model); }
    QAction* Action(const char* name) const { return Child<QAction>(window.get(), name); }
    // Picks a name in the scratch folder, or a whole path, in the chooser the action opens; the
    // messages log then holds what this one action showed.
    void ChooseFor(const char* action, const QString& name, bool* listed = nullptr) {
        messages.log.clear();
        WhenShown<frmFile>([this, name, listed](frmFile* chooser) {
            chooser->OpenDirectory(Path(""));
            if (listed) *listed = !Child<QListWidget>(chooser, "filFile")->findItems(name, Qt::MatchExactly).isEmpty();
            Child<QLineEdit>(chooser, "txtFileName")->setText(name);
            Child<QPushButton>(chooser, "cmdOkay")->click();
        });
        Action(action)->trigger();
    }
    // Activated first: a closed dialog hands activation back through a window manager, which
    // the tests do not have.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), key, modifiers);
    }
    void Select(int column, int row) {
        Mouse(picTiles, QEvent::MouseButtonPress, {16 * column + 3, 16 * row + 3});
        Mouse(picTiles, QEvent::MouseButtonRelease, {16 * column + 3, 16 * row + 3});
    }
    void MakeWindow() {
        window = std::make_unique<frmMain>(*model);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        picTiles = Child<ViewCanvas>(window.get(), "picTiles");
    }

    // Each pixel of the cell shows its value in the tile's palette (read inside the selection
    // frame and the grid lines).
    void ExpectCellShows(int column, int row) const {
        const int bank = window->CurrentBank(), tile = PageTile(window->CurrentPage(), column, row);
        const TileImage image = DisplayTile(*model, bank, tile);
        for (int pixel = 0; pixel < 49; ++pixel) {
            const int x = pixel % 7, y = pixel / 7;
            QCOMPARE(picTiles->image().pixel(16 * column + 2 * x + 1, 16 * row + 2 * y + 1),
                     QRgb(ScreenColour(*model, window->View(), TilePixel(image, x, y), model->TilePal[bank][tile])));
        }
    }

private slots:
    void initTestCase() {
        // The program's settings go to a folder of the test's own, never the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settingsDir.path().string()));
    }
    void init() {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Dapplix", "Dapplix").clear();
        MakeWindow();  // which starts from the default palettes, all alike: each is made unlike the others on screen
        for (int entry = 0; entry < kPalettes * kColours; ++entry)
            model->Pals[kSpriteSet][entry / 4][entry % 4] = {std::int16_t(entry % 4 * 8), std::int16_t(31 - entry / 4 * 3),
                                                             std::int16_t(31 - entry % 4 * 8)};
    }

    void openingARomShowsItsFirstPageOrWhyNot() {
        QVERIFY(!Open({.banks = 2}));
        QCOMPARE(messages.log, QStringList({QString("Error: ") + kMsgRomTooSmall, "Error: Couldn't load ROM"}));
        QVERIFY(!Child<QSlider>(window.get(), "sldBank")->isEnabled());
        // Bank 0 without an unused end: the reason and the question; No keeps the ROM open, and
        // no colour ROM is written from it.
        QVERIFY(Open({.freeTail = 20}));
        QCOMPARE(messages.log, QStringList({QString("Error: ") + kMsgNoSafeRoom, QString("Query: ") + kMsgForceQuestion}));
        QVERIFY(model->RomBank[0][kColorFlag] == 0x00 && !model->ColourCodePlaced);
        QVERIFY(Child<QLabel>(window.get(), "lblRomState")->text().startsWith("No color code"));
        messages.log.clear();
        for (const char* write : {"mnuFileWriterom", "mnuFileWriteips"}) Action(write)->trigger();  // refused before the chooser
        QCOMPARE(messages.log, QStringList(2, QString("Error: ") + kMsgCodeNotPlaced));
        QVERIFY(Open({.cartridgeType = 0x06, .freeTail = 300}));
        QCOMPARE(messages.log, QStringList({QString("Warning: ") + kMsgMbc2Saves}));
        QVERIFY(dmaWarned);
        QCOMPARE(window->windowTitle(), QString("Dapplix - TESTROM"));
        auto* bank = Child<QSlider>(window.get(), "sldBank");
        QCOMPARE(QList<int>({bank->value(), bank->minimum()}), QList<int>({2, 0}));  // banks 0 and 1 can be browsed
        messages.log.clear();
        Action("mnuViewRominfo")->trigger();
        QVERIFY(messages.log.size() == 1 && messages.log[0].startsWith("ROM Info: \"TESTROM\": 4 banks\n\nColor code: $"));
        QVERIFY(messages.log[0].contains("OAM DMA call: none found") && messages.log[0].endsWith(kMsgMbc2Saves));
        for (int corner : {0, 15}) ExpectCellShows(corner, corner);
    }

    // A key that moves a slider between the double click and the editor's opening must
    // not send the edit to another bank, or redraw another cell than the one edited.
    void aSliderMovedBeforeTheEditorOpensChangesNoOtherTile() {
        for (const char* slider : {"sldBank", "sldPage", "sldTileOffset"}) {
            QVERIFY(Open({.freeTail = 300}));
            const Bytes before = Project();
            Select(4, 1);
            auto* moved = Child<QSlider>(window.get(), slider);
            QTimer::singleShot(100, moved, [moved] { QTest::keyClick(moved, Qt::Key_Right); });
            WhenShown<frmTileEdit>([](frmTileEdit* dialog) { Child<QPushButton>(dialog, "cmdOkay")->click(); });
            Mouse(picTiles, QEvent::MouseButtonDblClick, {4 * 16 + 3, 1 * 16 + 3});
            QVERIFY2(Project() == before, slider);  // no tile was painted, so none is marked edited
            for (auto [column, row] : {std::pair{4, 1}, {0, 0}, {15, 15}}) ExpectCellShows(column, row);
        }
    }

    // Every kind of change is one step of the history, and undo and redo give back the
    // project's bytes from before and after it, and the screen with them.
    void undoAndRedoGiveBackTheSameProjectBytes_data() {
        QTest::addColumn<QString>("change");
        for (const char* change : {"palette", "pixel switch", "tile edit", "colour", "offset", "project", "reset", "picture", "palettes"})
            QTest::newRow(change) << change;
    }
    void undoAndRedoGiveBackTheSameProjectBytes() {
        QFETCH(QString, change);
        QVERIFY(Open({.freeTail = 300}));
        model->TilePal[2][PageTile(0, 2, 1)] = 4;  // work from before, for the reset to clear
        const Bytes before = Project();
        const int cell = PageTile(0, 1, 1);
        Select(1, 1);
        if (change == "palette") {
            Key(Qt::Key_6);
        } else if (change == "pixel switch") {
            TileImage expected = DisplayTile(*model, 2, cell);
            SwitchTilePixels(expected, 0, 3);
            WhenShown<frmPixelSwitch>([](frmPixelSwitch* dialog) {
                Mouse(Child<ViewCanvas>(dialog, "picCols"), QEvent::MouseButtonRelease, {3 * 24 + 5, 5}, Qt::RightButton);
                Child<QPushButton>(dialog, "cmdOkay")->click();
            });
            Child<QPushButton>(window.get(), "cmdPixelSwitch")->click();
            QCOMPARE(DisplayTile(*model, 2, cell), expected);
        } else if (change == "tile edit") {
            QString title;
            WhenShown<frmTileEdit>([&title](frmTileEdit* dialog) {
                title = dialog->windowTitle();
                QTest::keyClick(dialog, Qt::Key_4);  // paint with colour 3
                for (int x = 0; x < 8; ++x) Mouse(Child<ViewCanvas>(dialog, "picTileEdit"), QEvent::MouseButtonPress, {24 * x + 3, 3});
                Child<QPushButton>(dialog, "cmdOkay")->click();
            });
            Mouse(picTiles, QEvent::MouseButtonDblClick, {16 + 3, 16 + 3});
            QCOMPARE(title, QString("Bank 2, Tile 17, Palette 0"));
            QCOMPARE(TileRowPixels(DisplayTile(*model, 2, cell), 0), 0xFFFFu);
            QCOMPARE(picTiles->image().pixel(16 + 12, 16 + 2), 0xFFFF6000u);  // the edited tile's mark
        } else if (change == "colour") {
            WhenShown<frmEditCol>([](frmEditCol* dialog) {
                Child<QSlider>(dialog, "sldRed")->setValue(31);
                QCOMPARE(Child<QSpinBox>(dialog, "spnRed")->value(), 31);
                Child<QSpinBox>(dialog, "spnGreen")->setValue(17);  // the numbers move the sliders too
                Child<QPushButton>(dialog, "cmdOkay")->click();
            });
            Mouse(Child<ViewCanvas>(window.get(), "picPals"), QEvent::MouseButtonRelease, {16 * 2 + 3, 3});
            QCOMPARE(QList<int>({model->Pals[kSpriteSet][0][2][0], model->Pals[kSpriteSet][0][2][1]}), QList<int>({31, 17}));
            QCOMPARE(Child<ViewCanvas>(window.get(), "picPals")->image().pixel(16 * 2 + 3, 3),
                     QRgb(ScreenColour(*model, window->View(), 2, 0)));
        } else if (change == "offset") {
            for (int step = 0; step < 2; ++step)  // two steps of the slider, one change of the history
                QTest::keyClick(Child<QSlider>(window.get(), "sldTileOffset"), Qt::Key_Right);
        } else if (change == "project") {
            auto other = std::make_unique<Model>(*model);
            other->TilePal[2][cell] = 7;
            other->TileOffset[3] = 2;
            WriteFile(dir / "other.gbp", ProjectBytes(*other));
            ChooseFor("mnuFileLoadgbp", "other.gbp");
        } else if (change == "reset") {
            messages.answers = {MessageAnswer::Yes};
            Action("mnuOptReset")->trigger();
        } else if (change == "picture") {
            ChooseFor("mnuFileExportpage", "page.png");
            QImage picture(Path("page.png"));
            QCOMPARE(picture.format(), QImage::Format_Indexed8);
            picture.setPixel(8, 8, (picture.pixelIndex(8, 8) + 1) % 4);  // tile 17's first pixel
            QVERIFY(picture.save(Path("page.png")));
            ChooseFor("mnuFileImportpng", "page.png");
            QCOMPARE(messages.log, QStringList("Import PNG: Page 0 of bank 2: 1 tile changed (17). Read in the tiles' palettes."));
        } else {
            auto other = std::make_unique<Model>(*model);
            other->Pals[kSpriteSet][7][3] = {31, 0, 8};
            const std::string text = EncodePaletteFile(*other, kSpriteSet, PaletteFileFormat::Gimp);
            WriteFile(dir / "colours.gpl", Bytes(text.begin(), text.end()));
            ChooseFor("mnuFileImportpal", "colours.gpl");
            QCOMPARE(model->Pals, other->Pals);
        }
        const Bytes after = Project();
        QVERIFY(after != before);
        QCOMPARE(window->UndoStack().count(), 1);
        for (const auto& [action, bytes] : {std::pair{"mnuEditUndo", &before}, {"mnuEditRedo", &after}}) {
            Action(action)->trigger();
            QVERIFY2(Project() == *bytes, action);
            ExpectCellShows(1, 1);
        }
        QVERIFY(!Action("mnuEditRedo")->isEnabled());
    }

    void keysZoomAndWhatOutlivesTheWindow() {
        QVERIFY(Open({.freeTail = 300}));
        Select(3, 3);
        QVERIFY(picTiles->hasFocus());
        for (auto [key, column, row, page] : {std::tuple{Qt::Key_Right, 4, 3, 0}, {Qt::Key_Down, 4, 4, 0},
                                               {Qt::Key_PageDown, 4, 4, 1}, {Qt::Key_PageUp, 4, 4, 0}}) {
            QTest::keyClick(picTiles, key);
            QCOMPARE(QList<int>({window->View().SelX1, window->View().SelY1, window->CurrentPage()}), QList<int>({column, row, page}));
        }
        Key(Qt::Key_2);
        QCOMPARE(model->TilePal[2][PageTile(0, 4, 4)], std::int16_t(2));
        Key(Qt::Key_B);
        QCOMPARE(window->View().CurPalSet, std::int16_t(kBackgroundSet));
        Key(Qt::Key_S);
        QCOMPARE(window->View().CurPalSet, std::int16_t(kSpriteSet));

        Action("mnuViewZoomin")->trigger();
        QWheelEvent wheel(QPointF(20, 20), picTiles->mapToGlobal(QPointF(20, 20)), {}, {0, 120}, Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(picTiles, &wheel);
        QCOMPARE(window->Zoom(), 3);
        Key(Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(window->Zoom(), 2);
        Select(5, 6);  // the pointer's cell at twice the size
        QCOMPARE(QList<int>({window->View().SelX1, window->View().SelY1}), QList<int>({5, 6}));
        QCOMPARE(picTiles->image().pixel(16 * 5, 16 * 6), 0xFFFFFF00u);  // its frame, in the picture

        // The zoom, the recent files, the chooser's folder and the options outlive the window.
        model->TilePal[2][9] = 6;
        std::filesystem::create_directory(dir / "sub");
        ChooseFor("mnuFileSavegbp", Path("sub/work"));  // a whole path typed in
        QVERIFY(std::filesystem::exists(dir / "sub" / "work.gbp"));
        for (const char* option : {"mnuOptGrid", "mnuOptDim"}) Action(option)->trigger();

        MakeWindow();  // as in the next run
        QCOMPARE(window->Zoom(), 2);
        QCOMPARE(Action("mnuFileRecent0")->text() + ", " + Action("mnuFileRecent1")->text(), QString("&1 work.gbp, &2 game.gb"));
        QVERIFY(!Action("mnuFileRecent0")->isEnabled());  // a project waits for its ROM
        QVERIFY(!Action("mnuOptGrid")->isChecked() && !Action("mnuOptDim")->isChecked());
        QCOMPARE(window->View().ColorScale, std::int16_t(kFullScale));
        QCOMPARE(window->FileChooser().DirectoryPath(), Path("sub"));
        model->TilePal[2][9] = 0;
        Action("mnuFileRecent1")->trigger();
        QCOMPARE(window->windowTitle(), QString("Dapplix - TESTROM"));
        QCOMPARE(Action("mnuFileRecent0")->text(), QString("&1 game.gb"));
        Action("mnuFileRecent1")->trigger();
        QCOMPARE(model->TilePal[2][9], std::int16_t(6));

        std::filesystem::remove(dir / "sub" / "work.gbp");
        messages.log.clear();
        Action("mnuFileRecent0")->trigger();
        QCOMPARE(messages.log, QStringList("Error: Couldn't open " + Path("sub/work.gbp") + ": it is no longer there."));
        QCOMPARE(Action("mnuFileRecent1"), nullptr);
    }

    // A dragged selection takes the clicked palette. Shared tiles with different palettes are
    // counted and listed; a row takes the view there.
    void paletteClicksReachTheSelectionAndConflictsAreListed() {
        QVERIFY(Open({.freeTail = 300}));
        Mouse(picTiles, QEvent::MouseButtonPress, {32, 48});
        Mouse(picTiles, QEvent::MouseMove, {16, 16});
        Mouse(picTiles, QEvent::MouseButtonRelease, {16, 16});
        Child<QRadioButton>(window.get(), "optPal3")->click();
        for (int cell = 0; cell < 16; ++cell) {
            const int column = cell % 4, row = cell / 4, inside = column >= 1 && column <= 2 && row >= 1 && row <= 3;
            QCOMPARE(model->TilePal[2][PageTile(0, column, row)], std::int16_t(inside ? 3 : 0));
            ExpectCellShows(column, row);
        }
        const TileImage image{1, 2, 3, 4};
        CommitTileImage(*model, 0, 300, image);
        CommitTileImage(*model, 2, PageTile(0, 1, 1), image);
        model->TilePal[0][300] = 3;
        Select(1, 1);
        Key(Qt::Key_5);
        QCOMPARE(window->ConflictCount(), 1);
        QVERIFY(Child<QLabel>(window.get(), "lblConflicts")->text().contains(">1 shared tile differs in palette<"));
        Action("mnuViewConflicts")->trigger();
        auto* list = Child<QTableWidget>(window.get(), "lstConflicts");
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->item(0, 3)->text() + " / " + list->item(0, 4)->text(), QString("3 (1 tile), 5 (1 tile) / 3"));
        emit list->cellActivated(0, 0);
        QCOMPARE(QList<int>({window->CurrentBank(), window->CurrentPage(), window->View().SelX1, window->View().SelY1}),
                 QList<int>({0, 1, 12, 2}));  // tile 300 of bank 0
        Child<QRadioButton>(window.get(), "optPal5")->click();
        QCOMPARE(QList<int>({window->ConflictCount(), list->rowCount(), model->TilePal[0][300]}), QList<int>({0, 0, 5}));
    }

    // Patches, pictures and palettes written through the chooser read back unchanged; projects go
    // through it, refusals are shown in order; a FIFO is neither listed nor opened (it would hang),
    // and no write replaces the loaded ROM.
    void filesGoThroughTheChooserAndNoWriteDestroysWhatItReplaces() {
        QVERIFY(Open({.freeTail = 300}));
        model->TilePal[2][3] = 5;
        for (const char* format : {"ips", "bps"}) {
            ChooseFor(format[0] == 'i' ? "mnuFileWriteips" : "mnuFileWritebps", QString("colour.") + format);
            const Bytes patch = ReadFile(dir / (std::string("colour.") + format)), original = ReadFile(dir / "game.gb");
            QVERIFY((format[0] == 'i' ? ApplyIps(original, patch) : ApplyBps(original, patch)) == BuildColorRom(*model));
        }
        const Bytes before = Project();
        ChooseFor("mnuFileExportbankgrey", "bank.png");
        for (const char* name : {"mnuFileExportjasc", "mnuFileExportgimp"}) ChooseFor(name, "set");
        for (const char* name : {"set.pal", "set.gpl"}) ChooseFor("mnuFileImportpal", name);
        ChooseFor("mnuFileImportpng", "bank.png");
        QCOMPARE(messages.log, QStringList("Import PNG: All pages of bank 2: no tile changed. Read as grey."));
        QVERIFY(Project() == before);
        QCOMPARE(window->UndoStack().count(), 0);  // nothing changed, nothing to undo

        QCOMPARE(::mkfifo((dir / "pipe.gbp").c_str(), 0644), 0);
        bool listed = true;
        ChooseFor("mnuFileLoadgbp", "pipe.gbp", &listed);
        QVERIFY(!listed);
        QCOMPARE(messages.log, QStringList({"Error: Couldn't open " + Path("pipe.gbp") + ": it is a FIFO, not a regular file."}));

        const Bytes rom = ReadFile(dir / "game.gb");
        messages.answers = {MessageAnswer::Yes};  // overwrite? the chooser asks; the write refuses
        ChooseFor("mnuFileWriterom", "game.gb");
        QCOMPARE(messages.log.size(), 2);
        QVERIFY2(messages.log.last().startsWith("Error: Couldn't write " + Path("game.gb") + ": it is the same file"),
                 qPrintable(messages.log.last()));
        QVERIFY(ReadFile(dir / "game.gb") == rom);
        QVERIFY(Action("mnuFileWriterom")->isEnabled());

        model->TilePal[2][7] = 5;
        ChooseFor("mnuFileSavegbp", "work");
        WriteFile(dir / "bad.gbp", {'D', 'A', 'P', 'P', 'L', 'E', 'X', 'P', 'R', 'J', 2, 0});
        ChooseFor("mnuFileLoadgbp", "bad.gbp");
        QCOMPARE(messages.log, QStringList({"Error: Not a valid Gbp file!", "Error: Unsupported Gbp version!",
                                            "Error: Couldn't Load Gbp File!"}));
        model->TilePal[2][7] = 0;
        ChooseFor("mnuFileLoadgbp", "work.gbp");
        QCOMPARE(model->TilePal[2][7], std::int16_t(5));
        ExpectCellShows(7, 0);

        messages.log.clear();
        messages.answers = {MessageAnswer::No};
        window->close();
        QCOMPARE(messages.log, QStringList({"Query: Save palette and tile data?"}));
        QVERIFY(window->ProgramEnded());
    }
};

}  // namespace
}  // namespace dapplix

QTEST_MAIN(dapplix::WindowTests)
#include "test_windows.moc"
