// The main window as the user sees and works it: every window's layout, menus and enabled
// states before and after a load, ROMs refused or warned about, dropped files, a missing
// side file; the tile view's pixels (tile rows, grid, dim colours, offsets), the sliders
// and a slider moved during a redraw; the selection frame, the option buttons following
// the selection, palette assignment and the palette strip's pick.
#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include "GuiTestSupport.h"
#include "dialogs/frmAbout.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "engine/Mapper.h"
#include "engine/Rom.h"
#include "project/frmEditCol.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

constexpr QRgb kGrid = 0x0A0A0Au;
constexpr QRgb kMarker = 0x123456u;  // a colour no palette here produces

QString TextOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    return QString();
}

// A marker pixel in the middle of every cell tells later which cells were drawn again.
void MarkCells(ViewCanvas* picTiles) {
    for (int cell = 0; cell < kTilesPerPage; ++cell)
        picTiles->image().setPixel(cell % 16 * 16 + 8, cell / 16 * 16 + 8, 0xFF000000u | kMarker);
    picTiles->ImageChanged(picTiles->image().rect());
}
bool Marked(const QImage& view, int cell) { return Shown(view, cell % 16 * 16 + 8, cell / 16 * 16 + 8) == kMarker; }

// The selected option button, -1 for none (-2 for more than one).
int CheckedPalette(const Fixture& f) {
    int checked = -1;
    for (int n = 0; n < 8; ++n)
        if (f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(n)))->isChecked()) checked = checked == -1 ? n : -2;
    return checked;
}

QStringList Labels(const Fixture& f) {
    return {f.Find<QLabel>("lblBank")->text(), f.Find<QLabel>("lblPage")->text(),
            f.Find<QLabel>("lblTileOffset")->text()};
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // Every window's client size, and each control's place in its parent, caption and, for
    // sliders, range and steps.
    void geometry() {
        Fixture f;
        frmFile chooser(*f.model);
        frmEditCol editCol(*f.model);
        frmTileEdit tileEdit(*f.model, *f.window);
        frmPixelSwitch pixelSwitch(*f.model, *f.window);
        struct Control {
            QString name;
            QRect place;
            QString text;
        };
        std::vector<Control> main{
            {"picTiles", {0, 0, 260, 260}, ""}, {"picCurrent", {288, 0, 68, 68}, ""},
            {"cmdPixelSwitch", {272, 72, 97, 25}, "&Pixel Switch"}, {"fraPals", {264, 104, 115, 153}, "Palettes"},
            {"picPals", {40, 14, 68, 132}, ""}, {"fraPalSet", {272, 264, 97, 57}, "Palette Set"},
            {"optSprite", {8, 16, 49, 17}, "&Sprite"}, {"optBG", {8, 32, 81, 17}, "&Background"},
            {"lblPage", {0, 264, 73, 17}, "Page: 0"}, {"sldPage", {80, 264, 89, 17}, ""},
            {"lblStatus", {176, 264, 81, 17}, ""}, {"lblBank", {0, 288, 73, 17}, "Bank: 2"},
            {"sldBank", {80, 288, 177, 17}, ""}, {"lblTileOffset", {0, 312, 73, 17}, "Tile Offset: 0"},
            {"sldTileOffset", {80, 312, 177, 17}, ""}};
        for (int n = 0; n < 8; ++n)
            main.push_back({QString("optPal%1").arg(n), {8, 16 + 16 * n, 25, 17}, QString::number(n)});
        const struct {
            QWidget* window;
            QSize client;
            std::vector<Control> controls;
        } windows[] = {
            {f.window->centralWidget(), {385, 337}, main},
            {&chooser, {337, 228}, {{"drvFile", {0, 0, 161, 21}, ""}, {"dirFile", {0, 24, 161, 126}, ""},
                {"filFile", {168, 0, 169, 149}, ""}, {"Label1", {0, 160, 57, 17}, "File Name:"},
                {"txtFileName", {64, 160, 265, 19}, ""}, {"cmdOkay", {72, 192, 81, 25}, "&Okay"},
                {"cmdCancel", {176, 192, 81, 25}, "&Cancel"}}},
            {&editCol, {224, 152}, {{"picEditCol", {8, 8, 33, 25}, ""}, {"lblCol", {48, 12, 177, 17}, ""},
                {"lblRed", {8, 40, 40, 17}, "Red:"}, {"sldRed", {48, 40, 177, 17}, ""},
                {"lblGreen", {8, 64, 40, 17}, "Green:"}, {"sldGreen", {48, 64, 177, 17}, ""},
                {"lblBlue", {8, 88, 40, 17}, "Blue:"}, {"sldBlue", {48, 88, 177, 17}, ""},
                {"cmdOkay", {24, 120, 73, 25}, "&Okay"}, {"cmdCancel", {128, 120, 73, 25}, "&Cancel"}}},
            {&tileEdit, {277, 228}, {{"picTileEdit", {0, 0, 196, 196}, ""}, {"cmdOkay", {16, 200, 73, 25}, "&Okay"},
                {"cmdCancel", {104, 200, 73, 25}, "&Cancel"}, {"picCurCols", {200, 32, 68, 36}, ""},
                {"picCols", {216, 72, 36, 132}, ""}, {"cmdPixSw", {200, 4, 73, 25}, "&Pixel Switch"}}},
            {&pixelSwitch, {152, 111}, {{"Label1", {8, 8, 41, 17}, "Switch"}, {"picLeft", {56, 8, 21, 21}, ""},
                {"Label2", {80, 8, 33, 17}, "and"}, {"picRight", {120, 8, 21, 21}, ""},
                {"picCols", {24, 40, 100, 28}, ""}, {"cmdOkay", {8, 80, 65, 25}, "&Okay"},
                {"cmdCancel", {80, 80, 65, 25}, "&Cancel"}}}};
        for (const auto& window : windows) {
            QCOMPARE(window.window->size(), window.client);
            if (window.window != f.window->centralWidget()) {
                QCOMPARE(window.window->minimumSize(), window.window->maximumSize());  // not resizable
                QVERIFY(window.window->findChild<QPushButton*>("cmdOkay")->isDefault());
            }
            for (const Control& control : window.controls) {
                auto* widget = window.window->findChild<QWidget*>(control.name);
                QVERIFY2(widget, qPrintable(control.name));
                QCOMPARE(widget->geometry(), control.place);
                QCOMPARE(TextOf(widget), control.text);
            }
        }
        const struct {
            QWidget* window;
            const char* name;
            QList<int> range;  // minimum, maximum, small step, large step
        } sliders[] = {{f.window.get(), "sldPage", {0, 3, 1, 1}},
                       {f.window.get(), "sldBank", {2, 2, 1, 1}},
                       {f.window.get(), "sldTileOffset", {0, 15, 1, 5}},
                       {&editCol, "sldRed", {0, 31, 1, 8}},
                       {&editCol, "sldGreen", {0, 31, 1, 8}},
                       {&editCol, "sldBlue", {0, 31, 1, 8}}};
        for (const auto& s : sliders) {
            auto* slider = s.window->findChild<QSlider*>(s.name);
            QCOMPARE(QList<int>({slider->minimum(), slider->maximum(), slider->singleStep(), slider->pageStep()}),
                     s.range);
        }
    }

    // Only Load ROM, Exit and About work before a ROM; a load enables the lock set, keeps
    // the check marks and draws bank 2, page 0. DisableAll and EnableAll switch the lock
    // set; About, the menus, the current tile and the labels are never locked.
    void menusBeforeAndAfterLoad() {
        const struct {
            const char *menu, *name, *text;
            bool enabledAtStart, checked;
        } items[] = {{"mnuFile", "mnuFileLoadrom", "Load &ROM", true, false},
                     {"mnuFile", "mnuFileLoadgbp", "Load &GBP", false, false},
                     {"mnuFile", "mnuFileSavegbp", "&Save GBP", false, false},
                     {"mnuFile", "mnuFileWriterom", "&Write ROM", false, false},
                     {"mnuFile", "mnuFileNul", "", true, false},
                     {"mnuFile", "mnuFileExit", "E&xit", true, false},
                     {"mnuOpt", "mnuOptGrid", "Show &Grid", false, true},
                     {"mnuOpt", "mnuOptDim", "&Dim Colors", false, true},
                     {"mnuOpt", "mnuOptReset", "&Reset Changes", false, false}};
        Fixture f;
        QCOMPARE(f.window->windowTitle(), QString("Dapplix"));
        const QList<QAction*> bar = f.window->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(QStringList({bar[0]->text(), bar[1]->text(), bar[2]->text()}),
                 QStringList({"&File", "&Options", "&About"}));
        QVERIFY(bar[2]->objectName() == "mnuAbout" && !bar[2]->menu());  // a top-level item of its own
        auto check = [&](bool loaded, bool locked) {
            QMap<QString, int> position;
            for (const auto& item : items) {
                QAction* action = f.Find<QMenu>(item.menu)->actions().value(position[item.menu]++);
                QCOMPARE(action->objectName(), QString(item.name));
                QCOMPARE(action->text(), QString(item.text));
                QCOMPARE(action->isEnabled(), !*item.text || (!locked && (loaded || item.enabledAtStart)));
                QCOMPARE(action->isChecked(), item.checked);
            }
            QCOMPARE(position, (QMap<QString, int>{{"mnuFile", 6}, {"mnuOpt", 3}}));
            QCOMPARE(f.LockSetEnabled(), loaded && !locked ? 15 : locked ? 0 : 2);
            for (const char* name :
                 {"mnuFile", "mnuOpt", "picCurrent", "lblPage", "lblBank", "lblTileOffset", "lblStatus"})
                QVERIFY2(f.Find(name)->isEnabled(), name);
            QVERIFY(f.Find<QAction>("mnuAbout")->isEnabled());
        };
        check(false, false);
        QVERIFY(f.Find<QRadioButton>("optSprite")->isChecked());
        QTest::mouseClick(f.View(), Qt::LeftButton, {}, QPoint(40, 40));  // no selection before a ROM
        QCOMPARE(f.model->SelX1, 0);

        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        QVERIFY(f.LoadRom({.title = "ELEVENCHARS"}));
        check(true, false);
        QCOMPARE(redraws.count(), 1);
        QCOMPARE(f.window->windowTitle(), QString("Dapplix - ELEVENCHARS"));
        const QImage view = Grab(f.View());  // the first tile of bank 2 in palette 0, framed
        QCOMPARE(Shown(view, 2, 2), ScreenOf(*f.model, TilePixel(DisplayTile(*f.model, 2, 0), 1, 1), 0));
        QCOMPARE(Shown(view, 0, 0), kYellow);
        f.window->DisableAll();
        check(true, true);
        WhenShown<frmAbout> about([](frmAbout* box) { ClickButton(box, "cmdOkay"); });
        f.Find<QAction>("mnuAbout")->trigger();
        QVERIFY(about.ran());
        f.window->EnableAll();
        check(true, false);
        QVERIFY(f.messages.log.isEmpty());
    }

    void loadRom_data() {
        QTest::addColumn<RomShape>("shape");          // banks 0: no file at all
        QTest::addColumn<QStringList>("messages");  // in order ("" = an error naming the file)
        auto shape = [](int banks, int type, int sizeCode, int colorFlag = 0, int entry = 0xC3) {
            return RomShape{
                banks, std::uint8_t(type), std::uint8_t(sizeCode), std::uint8_t(colorFlag), std::uint8_t(entry), "NEW",
                2};
        };
        auto errors = [](QStringList texts) {
            texts << "Couldn't load ROM";
            for (QString& text : texts) text = text.isEmpty() ? text : "Error: " + text;
            return texts;
        };
        QTest::newRow("MBC1") << shape(4, 0x01, 1) << QStringList{};
        QTest::newRow("MBC2") << shape(4, 0x05, 1) << QStringList{};
        QTest::newRow("MBC2 with battery") << shape(4, 0x06, 1) << QStringList{QString("Warning: ") + kMsgMbc2Saves};
        QTest::newRow("MBC3") << shape(4, 0x13, 1) << QStringList{QString("Warning: ") + kMsgMbc3PaletteZero};
        QTest::newRow("colour, no mapper")
            << shape(4, 0x00, 1, 0x80) << errors({kMsgAlreadyColor, kMsgUnsupportedMapper});
        QTest::newRow("no jump") << shape(4, 0x01, 1, 0, 0x00) << errors({kMsgNoEntryJump});
        QTest::newRow("MBC2 of 256 KiB") << shape(4, 0x05, 3) << errors({kMsgCannotExpand});
        QTest::newRow("all four") << shape(4, 0x00, 5, 0x80, 0x00)
                                  << errors(
                                         {kMsgAlreadyColor, kMsgNoEntryJump, kMsgUnsupportedMapper, kMsgCannotExpand});
        // Banks 0 and 1 are never shown or coloured: a 32 KiB ROM has nothing to work on.
        QTest::newRow("two banks") << shape(2, 0x01, 0) << errors({kMsgRomTooSmall});
        QTest::newRow("one bank") << shape(1, 0x01, 0) << errors({kMsgRomTooSmall});
        QTest::newRow("33 banks") << shape(33, 0x01, 4) << errors({kMsgRomTooLarge});
        QTest::newRow("no such file") << shape(0, 0, 0) << errors({""});
    }

    // A second ROM, named on the command line, over a first one with work on it: a refused
    // one changes nothing; one that loads keeps the offsets and colours, clears the
    // palette numbers and shows its warnings once it is on screen.
    void loadRom() {
        QFETCH(RomShape, shape);
        QFETCH(QStringList, messages);
        const bool loads = messages.isEmpty() || messages.front().startsWith("Warning");
        Fixture f;
        QVERIFY(f.LoadRom({.banks = 5, .title = "FIRST", .seed = 9}, "first.gb"));
        f.model->TilePal[3][17] = 6;
        f.model->TileOffset[2] = 4;
        f.model->Pals[1][2][3][0] = 17;
        f.Find<QSlider>("sldBank")->setValue(4);
        const auto bytesBefore = f.model->RomBank;
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        int redrawsBeforeFirstBox = -1;
        f.messages.onShow = [&] {
            if (redrawsBeforeFirstBox < 0) redrawsBeforeFirstBox = int(redraws.count());
        };
        if (shape.banks > 0) WriteBytes(f.Path("second.gb"), MakeRom(shape));
        QCOMPARE(f.window->LoadRomFile(f.Path("second.gb")), loads);
        QCOMPARE(f.messages.log.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i)
            QVERIFY2(messages[i].isEmpty()
                         ? f.messages.log[i].startsWith("Error: ") && f.messages.log[i].contains("second.gb")
                         : f.messages.log[i] == messages[i],
                     qPrintable(f.messages.log[i]));
        QCOMPARE(redraws.count(), loads ? 1 : 0);
        if (!loads) {
            QCOMPARE(f.window->windowTitle(), QString("Dapplix - FIRST"));
            QVERIFY(f.model->RomBank == bytesBefore);
            QCOMPARE(QList<int>({f.model->TilePal[3][17], f.model->BankCount, f.Find<QSlider>("sldBank")->value()}),
                     QList<int>({6, 4, 4}));
            return;
        }
        if (!messages.isEmpty()) QCOMPARE(redrawsBeforeFirstBox, 1);
        QCOMPARE(f.window->windowTitle(), QString("Dapplix - NEW"));
        QCOMPARE(f.model->RomBank[0][0x143], 0xC0);  // the scan ran: colour-only flag
        QCOMPARE(QList<int>({f.Find<QSlider>("sldBank")->value(), f.Find<QSlider>("sldBank")->maximum(),
                             f.model->TilePal[3][17], f.model->Pals[1][2][3][0]}),
                 QList<int>({2, 3, 0, 17}));
        QCOMPARE(Labels(f), QStringList({"Bank: 2", "Page: 0", "Tile Offset: 4"}));
    }

    // A single .gb file dropped on the window (any case) loads, unless the window is locked.
    void droppedRom() {
        const struct {
            const char* fileName;
            bool locked, loads;
        } cases[] = {{"dropped.gb", false, true},
                     {"DROPPED.GB", false, true},
                     {"dropped.gbp", false, false},
                     {"dropped.gb", true, false}};
        for (const auto& c : cases) {
            Fixture f;
            QVERIFY(f.LoadRom({.title = "BEFORE"}));
            WriteBytes(f.Path(c.fileName), MakeRom({.title = "DROPPED", .seed = 5}));
            if (c.locked) f.window->DisableAll();
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(f.Path(c.fileName))});
            QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.window.get(), &enter);
            QCOMPARE(enter.isAccepted(), c.loads);
            QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.window.get(), &drop);
            QTest::qWait(50);  // the load runs once the drop has returned
            QCOMPARE(f.window->windowTitle(), QString(c.loads ? "Dapplix - DROPPED" : "Dapplix - BEFORE"));
            QVERIFY(f.messages.log.isEmpty());
        }
    }

    void missingSideFile() {
        for (const char* missing : {"bnk0cod.dat", "exbnkcod.dat"}) {
            QTemporaryDir dir;
            WriteSideFiles(dir.path());
            QVERIFY(QFile::remove(dir.path() + "/" + missing));
            ScriptedMessages messages;
            Model model;
            QVERIFY(!frmMain::LoadSideFiles(model, {QFile::encodeName(dir.path()).toStdString()}));
            QCOMPARE(messages.log, QStringList{QString("Fatal Error: Required file %1 missing!").arg(missing)});
        }
    }

    // Each tile row decoded from its two bit planes, every screen pixel of the cell. The
    // grid lines only separate tiles (none right of column 15 or below row 15); switching
    // the grid off and on redraws the page each time.
    void tileRowsAndGrid() {
        const struct {
            std::uint8_t low, high;
            int values[8];
        } rows[8] = {{0x00, 0x00, {0, 0, 0, 0, 0, 0, 0, 0}}, {0xFF, 0x00, {1, 1, 1, 1, 1, 1, 1, 1}},
                     {0x00, 0xFF, {2, 2, 2, 2, 2, 2, 2, 2}}, {0xFF, 0xFF, {3, 3, 3, 3, 3, 3, 3, 3}},
                     {0x80, 0x01, {1, 0, 0, 0, 0, 0, 0, 2}}, {0x3C, 0x7E, {0, 2, 3, 3, 3, 3, 2, 0}},
                     {0x0F, 0x33, {0, 0, 2, 2, 1, 1, 3, 3}}, {0x55, 0xAA, {2, 1, 2, 1, 2, 1, 2, 1}}};
        Fixture f(true);
        QVERIFY(f.LoadRom());
        TileImage tile{};
        for (int y = 0; y < 8; ++y) {
            tile[2 * y] = rows[y].low;
            tile[2 * y + 1] = rows[y].high;
        }
        f.window->DrawTile(tile, 6, 9, 5);
        QImage view = Grab(f.View());
        for (int i = 0; i < 256; ++i) {
            const int x = i % 16, y = i / 16;
            QCOMPARE(Shown(view, 96 + x, 144 + y),
                     x == 15 || y == 15 ? kGrid : ScreenOf(*f.model, rows[y / 2].values[x / 2], 5));
        }
        DragCells(f.View(), {7, 7}, {7, 7});  // the frame away from the pixels looked at
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        for (bool on : {true, false, true}) {
            if (f.Find<QAction>("mnuOptGrid")->isChecked() != on) f.Find<QAction>("mnuOptGrid")->trigger();
            view = Grab(f.View());
            for (QPoint p : {QPoint(15, 0), QPoint(0, 15), QPoint(15, 15), QPoint(239, 100), QPoint(100, 239)}) {
                const TileImage shown = DisplayTile(*f.model, 2, p.y() / 16 * 16 + p.x() / 16);
                QCOMPARE(Shown(view, p.x(), p.y()),
                         on ? kGrid : ScreenOf(*f.model, TilePixel(shown, p.x() % 16 / 2, p.y() % 16 / 2), 0));
            }
            for (QPoint p : {QPoint(255, 0), QPoint(0, 255), QPoint(255, 255), QPoint(14, 14)})
                QVERIFY(Shown(view, p.x(), p.y()) != kGrid);
        }
        QCOMPARE(redraws.count(), 2);
    }

    // Colour 0 of the default palettes, with "Dim Colors" on and off, in the strip, the
    // tile view and the current tile; colour 3 is black either way and the strip's lines
    // are (40, 15, 15).
    void screenColours() {
        const struct {
            bool background, dim;
            QRgb colour0;
        } cases[] = {
            {false, true, 0x8A8ABA}, {true, true, 0xBABABA}, {false, false, 0xB8B8F8}, {true, false, 0xF8F8F8}};
        for (const auto& c : cases) {
            Fixture f;
            QByteArray rom = MakeRom();
            rom.replace(2 * kBankSize, kBankSize, QByteArray(kBankSize, 0));  // colour 0 throughout
            WriteBytes(f.Path("zero.gb"), rom);
            QVERIFY(f.window->LoadRomFile(f.Path("zero.gb")));
            if (c.background) QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
            if (!c.dim) f.Find<QAction>("mnuOptDim")->trigger();
            const QImage strip = Grab(f.Find("picPals"));
            for (int p = 0; p < 8; ++p) QCOMPARE(Shown(strip, 5, 16 * p + 5), c.colour0);
            QCOMPARE(Shown(f.View(), 40, 40), c.colour0);
            QCOMPARE(Shown(f.Find("picCurrent"), 30, 30), c.colour0);
            QCOMPARE(QList<QRgb>({Shown(strip, 60, 5), Shown(strip, 5, 16), Shown(strip, 32, 70)}),
                     QList<QRgb>({0x000000u, 0x280F0Fu, 0x280F0Fu}));
        }
    }

    // Tile 293 (column 5, row 2 of page 1) shows bank bytes 4688 + offset on; the last
    // tile of a bank whose grid is shifted shows colour 0 even when it is marked edited.
    void tileBytes() {
        const struct {
            int tile, offset;
            const char* shows;
        } cases[] = {{293, 0, "rom"}, {293, 3, "rom"}, {293, 15, "rom"}, {1023, 0, "edited"}, {1023, 15, "zeros"}};
        for (const auto& c : cases) {
            Fixture f(true);
            QVERIFY(f.LoadRom());
            const QString shows = c.shows;
            f.model->TilePal[2][c.tile] = 4;
            f.model->TileEdited[2][c.tile] = shows != "rom";
            f.model->EditedTile[2][c.tile].fill(0xC3);
            TileImage expected{};
            if (shows == "rom") std::copy_n(f.model->RomBank[2].begin() + c.tile * 16 + c.offset, 16, expected.begin());
            if (shows == "edited") expected.fill(0xC3);
            for (int i = 0; i < c.tile / 256; ++i) QTest::keyClick(f.Find<QSlider>("sldPage"), Qt::Key_Right);
            for (int i = 0; i < c.offset; ++i) QTest::keyClick(f.Find<QSlider>("sldTileOffset"), Qt::Key_Right);
            QCOMPARE(f.model->TileOffset[2], c.offset);
            CheckCell(Grab(f.View()), *f.model, c.tile % 16, c.tile / 16 % 16, expected, 4);
        }
    }

    // Sliders, their labels and the offset each bank keeps; a slider left where it was
    // redraws nothing; the page shown is the model's, in either palette set, also in the
    // form of the redraw that does not yield (the one the benchmark measures).
    void navigation() {
        Fixture f(true);
        QVERIFY(f.LoadRom({.banks = 6, .sizeCode = 2}));
        auto* sldBank = f.Find<QSlider>("sldBank");
        auto* sldPage = f.Find<QSlider>("sldPage");
        auto* sldOffset = f.Find<QSlider>("sldTileOffset");
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        QTest::keyClick(sldBank, Qt::Key_Home);  // already at 2: banks 0 and 1 are never shown
        QTest::keyClick(sldPage, Qt::Key_Left);
        QTest::keyClick(sldOffset, Qt::Key_Home);
        QCOMPARE(redraws.count(), 0);
        QTest::keyClick(sldOffset, Qt::Key_PageUp);  // a large step of the offset slider: 5
        QCOMPARE(f.model->TileOffset[2], 5);
        QTest::keyClick(sldBank, Qt::Key_Right);  // bank 3 has offset 0; moving to 5 there counts
        QCOMPARE(Labels(f), QStringList({"Bank: 3", "Page: 0", "Tile Offset: 0"}));
        sldOffset->setValue(5);
        QCOMPARE(f.model->TileOffset[3], 5);
        sldOffset->setValue(7);
        QTest::keyClick(sldBank, Qt::Key_Right);
        QCOMPARE(sldOffset->value(), 0);
        QTest::keyClick(sldBank, Qt::Key_Left);  // back to bank 3: its own offset again
        QCOMPARE(Labels(f), QStringList({"Bank: 3", "Page: 0", "Tile Offset: 7"}));
        QCOMPARE(sldOffset->value(), 7);
        QCOMPARE(redraws.count(), 6);

        std::mt19937 random(11);  // palettes, edits and an offset on bank 4, page 2
        for (int tile = 512; tile < 768; ++tile) f.model->TilePal[4][tile] = std::int16_t(random() % 8);
        for (int tile = 520; tile < 540; ++tile) {
            f.model->TileEdited[4][tile] = true;
            for (auto& byte : f.model->EditedTile[4][tile]) byte = std::uint8_t(random());
        }
        f.model->TileOffset[4] = 6;
        QTest::keyClick(sldBank, Qt::Key_Right);
        QTest::keyClick(sldPage, Qt::Key_PageUp);  // a large step of the page slider: one page
        QTest::keyClick(sldPage, Qt::Key_Right);
        QCOMPARE(Labels(f), QStringList({"Bank: 4", "Page: 2", "Tile Offset: 6"}));
        QCOMPARE(sldOffset->value(), 6);
        f.CheckPage();
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        f.CheckPage();
        f.View()->image().fill(Qt::white);
        f.window->YieldPerTile = false;
        f.window->RefreshTiles();
        f.CheckPage();
        QCOMPARE(redraws.count(), 11);
        QCOMPARE(f.LockSetEnabled(), 15);
    }

    // The user drags the page slider from 0 to 3 while the redraw is at its tenth row:
    // page 3 ends fully drawn and one redraw finishes. Meanwhile only the tile view and
    // Pixel Switch are out of use and the status reads "Refreshing..." in black.
    void pageMovedDuringRedraw() {
        Fixture f(true);
        QVERIFY(f.LoadRom());
        for (int tile = 768; tile < 1024; ++tile) f.model->TilePal[2][tile] = std::int16_t(tile % 8);
        int movedAtRow = -1, samples = 0, wrong = 0;
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        {
            const auto turns = EveryTurn([&] {
                if (!f.window->Refreshing) return;
                ++samples;
                wrong += f.Status() != "Refreshing... #000000" || f.LockSetEnabled() != 13 || f.View()->isEnabled() ||
                         f.Find("cmdPixelSwitch")->isEnabled();
                if (movedAtRow < 0 && f.window->DrawRow >= 9) {
                    movedAtRow = f.window->DrawRow;
                    for (int i = 0; i < 3; ++i) QTest::keyClick(f.Find<QSlider>("sldPage"), Qt::Key_Right);
                }
            });
            f.Find<QAction>("mnuOptGrid")->trigger();  // the grid off: a redraw of page 0 starts
        }
        QVERIFY2(movedAtRow >= 9 && movedAtRow < 16, qPrintable(QString::number(movedAtRow)));
        QCOMPARE(redraws.count(), 1);
        QVERIFY(samples >= 256);
        QCOMPARE(wrong, 0);
        QCOMPARE(Labels(f)[1], QString("Page: 3"));
        f.CheckPage();
        QCOMPARE(f.Status(), QString(" #000000"));
        QCOMPARE(f.LockSetEnabled(), 15);
    }

    // Press, moves (the frame follows, corners possibly reversed), release (corners
    // ordered, the top-left tile current); the pointer is followed past the view's edges
    // and held to the grid. No page redraw, and no yellow pixel off the frame at any time.
    void dragSelection_data() {
        QTest::addColumn<QPoint>("from");  // view pixels
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("cells");  // selected afterwards
        QTest::newRow("click on (4, 7)") << QPoint(68, 116) << QPoint(70, 120) << QRect(QPoint(4, 7), QPoint(4, 7));
        QTest::newRow("(5, 5) to (2, 3)") << QPoint(84, 84) << QPoint(36, 52) << QRect(QPoint(2, 3), QPoint(5, 5));
        QTest::newRow("past the right edge") << QPoint(97, 97) << QPoint(300, 60) << QRect(QPoint(6, 3), QPoint(15, 6));
        QTest::newRow("past the bottom edge")
            << QPoint(97, 97) << QPoint(60, 400) << QRect(QPoint(3, 6), QPoint(6, 15));
        QTest::newRow("past the left edge") << QPoint(97, 97) << QPoint(-30, 60) << QRect(QPoint(0, 3), QPoint(6, 6));
        QTest::newRow("past the top edge") << QPoint(97, 97) << QPoint(60, -1) << QRect(QPoint(3, 0), QPoint(6, 6));
    }
    void dragSelection() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRect, cells);
        Fixture f(true);
        QVERIFY(f.LoadRom());
        const int topLeft = cells.top() * 16 + cells.left();
        f.model->TilePal[2][topLeft] = 6;
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        Mouse(f.View(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Mouse(f.View(), QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        Mouse(f.View(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        const QRect frame(cells.topLeft() * 16, cells.bottomRight() * 16 + QPoint(15, 15));
        for (bool released : {false, true}) {
            if (released) Mouse(f.View(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            const QImage view = Grab(f.View());
            for (int i = 0; i < 256 * 256; ++i) {
                const int x = i % 256, y = i / 256;
                const bool onFrame = frame.contains(x, y) && !frame.adjusted(1, 1, -1, -1).contains(x, y);
                if (onFrame != (Shown(view, x, y) == kYellow))
                    QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
            }
        }
        QCOMPARE(QRect(QPoint(f.model->SelX1, f.model->SelY1), QPoint(f.model->SelX2, f.model->SelY2)), cells);
        QCOMPARE(f.window->CurTile, topLeft);
        QCOMPARE(CheckedPalette(f), cells.size() == QSize(1, 1) ? 6 : -1);
        QCOMPARE(redraws.count(), 0);
        const QImage current = Grab(f.Find("picCurrent"));  // eight times enlarged, in its palette
        for (int i = 0; i < 64; ++i)
            QCOMPARE(Shown(current, i % 8 * 8 + 3, i / 8 * 8 + 5),
                     ScreenOf(*f.model, TilePixel(DisplayTile(*f.model, 2, topLeft), i % 8, i / 8), 6));
    }

    // The option buttons show the selection's common palette, or none; setting them never
    // assigns a palette.
    void optionButtonsFollowSelection() {
        const struct {
            QRect cells;
            int common, odd, checked;  // palettes of the tiles, of the bottom-right one (-1: the same); the button
        } cases[] = {{QRect(QPoint(1, 1), QPoint(4, 3)), 2, -1, 2},
                     {QRect(QPoint(1, 1), QPoint(4, 3)), 2, 5, -1},
                     {QRect(QPoint(9, 9), QPoint(9, 9)), 6, -1, 6},
                     {QRect(QPoint(0, 10), QPoint(15, 15)), 0, -1, 0},
                     {QRect(QPoint(0, 0), QPoint(15, 15)), 7, 1, -1}};
        for (const auto& c : cases) {
            Fixture f;
            QVERIFY(f.LoadRom());
            for (int r = c.cells.top(); r <= c.cells.bottom(); ++r)
                for (int col = c.cells.left(); col <= c.cells.right(); ++col)
                    f.model->TilePal[2][r * 16 + col] = std::int16_t(c.common);
            if (c.odd >= 0) f.model->TilePal[2][c.cells.bottom() * 16 + c.cells.right()] = std::int16_t(c.odd);
            QTest::mouseClick(f.Find<QRadioButton>("optPal4"), Qt::LeftButton);  // a button selected beforehand
            const auto before = f.model->TilePal;
            DragCells(f.View(), c.cells.topLeft(), c.cells.bottomRight());
            QCOMPARE(CheckedPalette(f), c.checked);
            QVERIFY(f.model->TilePal == before);
        }
    }

    // Palette 3 on a 2 x 3 selection whose tiles differ (one of them edited): exactly
    // those six tiles get it and exactly their cells are drawn again, one by one while the
    // window is locked with "Refreshing..." in dark red; then the frame and buttons are back.
    void assignPalette() {
        Fixture f(true);
        QVERIFY(f.LoadRom());
        TileImage edited{};
        edited.fill(0xFF);  // colour 3 throughout
        QVERIFY(CommitTileImage(*f.model, 2, 7 * 16 + 5, edited));
        f.model->TilePal[2][6 * 16 + 4] = 1;
        DragCells(f.View(), {4, 6}, {5, 8});
        QCOMPARE(CheckedPalette(f), -1);
        MarkCells(f.View());
        const auto before = f.model->TilePal;
        QStringList states;
        {
            const auto turns = EveryTurn([&] { states << f.Status() + QString(" %1").arg(f.LockSetEnabled()); });
            QTest::mouseClick(f.Find<QRadioButton>("optPal3"), Qt::LeftButton);
        }
        QVERIFY(states.size() >= 6);
        QCOMPARE(states, QStringList(states.size(), "Refreshing... #c00000 0"));
        QCOMPARE(f.Status(), QString(" #c00000"));
        QCOMPARE(f.LockSetEnabled(), 15);
        const QImage view = Grab(f.View());
        for (int tile = 0; tile < 256; ++tile) {
            const bool inside = tile % 16 >= 4 && tile % 16 <= 5 && tile / 16 >= 6 && tile / 16 <= 8;
            QCOMPARE(f.model->TilePal[2][tile], inside ? 3 : before[2][tile]);
            QCOMPARE(Marked(view, tile), !inside);
        }
        CheckCell(view, *f.model, 5, 7, edited, 3);  // an edited tile keeps its image
        QVERIFY(f.model->TileEdited[2][7 * 16 + 5]);
        CheckCell(view, *f.model, 4, 8, DisplayTile(*f.model, 2, 8 * 16 + 4), 3);
        QCOMPARE(QList<QRgb>({Shown(view, 64, 96), Shown(view, 95, 143)}), QList<QRgb>({kYellow, kYellow}));
        QCOMPARE(f.window->CurTile, 6 * 16 + 4);
        QCOMPARE(CheckedPalette(f), 3);
    }

    // A click on the strip opens the colour editor on that colour of the shown set, its
    // swatch as the strip shows it with "Dim Colors" on or off. Only a changed colour
    // redraws, and only the cells of that palette; a release outside the cells picks nothing.
    void paletteStripPick() {
        const struct {
            bool dim, okay;
            int redSteps;  // key presses on the red slider
        } cases[] = {{true, true, 1}, {false, true, 3}, {true, true, 0}, {false, false, 2}};
        for (const auto& c : cases) {
            const bool redrawn = c.okay && c.redSteps > 0;
            Fixture f;
            QVERIFY(f.LoadRom());
            QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
            if (!c.dim) f.Find<QAction>("mnuOptDim")->trigger();
            for (int tile = 0; tile < 256; ++tile) f.model->TilePal[2][tile] = std::int16_t(tile % 3 == 0 ? 5 : 2);
            f.window->DoRefresh();
            MarkCells(f.View());
            auto* picPals = f.Find("picPals");
            const QRgb stripBefore = Shown(picPals, 2 * 16 + 8, 5 * 16 + 8);
            const int redBefore = f.model->Pals[1][5][2][0];
            QStringList seen;
            WhenShown<frmEditCol> editor([&](frmEditCol* dialog) {
                seen << dialog->findChild<QLabel*>("lblCol")->text();
                seen << QString::number(Shown(dialog->findChild<QWidget*>("picEditCol"), 14, 10), 16);
                for (int i = 0; i < c.redSteps; ++i)
                    QTest::keyClick(dialog->findChild<QSlider*>("sldRed"), Qt::Key_Left);
                ClickButton(dialog, c.okay ? "cmdOkay" : "cmdCancel");
            });
            QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
            Click(picPals, {2 * 16 + 7, 5 * 16 + 9});  // colour 2 of background palette 5
            QCOMPARE(seen, QStringList({"Background Palette 5, Color 2", QString::number(stripBefore, 16)}));
            QCOMPARE(f.model->Pals[1][5][2][0], c.okay ? redBefore - c.redSteps : redBefore);
            QCOMPARE(redraws.count(), redrawn ? 1 : 0);
            QCOMPARE(f.window->RedrawPal, 8);
            const QImage view = Grab(f.View());
            for (int tile = 0; tile < 256; ++tile) QCOMPARE(Marked(view, tile), !(redrawn && tile % 3 == 0));
            QCOMPARE(Shown(picPals, 2 * 16 + 8, 5 * 16 + 8), ScreenOf(*f.model, 2, 5));
        }
        Fixture f;
        QVERIFY(f.LoadRom());
        WhenShown<frmEditCol> none([](frmEditCol* dialog) { ClickButton(dialog, "cmdCancel"); }, 300);
        Drag(f.Find("picPals"), {{10, 10}, {64, 10}});
        Drag(f.Find("picPals"), {{10, 10}, {10, 128}}, Qt::RightButton);
        QTest::qWait(350);
        QVERIFY(!none.ran());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
