// The main window as it starts and as a ROM load changes it: controls at their places,
// menus with their texts and states, the lock set, the Load ROM flow with its messages
// and scan window, refusals that change nothing, ROMs dropped on the window, the side
// files' fatal error and the About box.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QUrl>
#include <QtTest>

#include "MainWindowTestSupport.h"
#include "dialogs/frmAbout.h"
#include "engine/Mapper.h"
#include "engine/Rom.h"
#include "view/frmScanROM.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {
const QStringList kLockWidgets{"picTiles", "fraPals", "fraPalSet", "sldBank", "sldPage", "sldTileOffset", "cmdPixelSwitch"};
const QStringList kLockActions{"mnuFileLoadrom", "mnuFileWriterom", "mnuFileLoadgbp", "mnuFileSavegbp",
                               "mnuFileExit",    "mnuOptGrid",      "mnuOptDim",      "mnuOptReset"};
}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void menusAtStart_data();
    void menusAtStart();
    void startState();
    void stateAfterLoad();
    void lockSet();
    void loadRomThroughMenu();
    void refusedRom_data();
    void refusedRom();
    void mapperWarnings_data();
    void mapperWarnings();
    void missingRomFile();
    void cancelledLoadKeepsRom();
    void secondRomKeepsOffsetsAndPalettes();
    void droppedRom_data();
    void droppedRom();
    void missingSideFile_data();
    void missingSideFile();
    void aboutBox();
};

void TestMainWindow::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");  // within the client area or the enclosing frame
    QTest::newRow("picTiles") << "picTiles" << QRect(0, 0, 260, 260);
    QTest::newRow("picCurrent") << "picCurrent" << QRect(288, 0, 68, 68);
    QTest::newRow("cmdPixelSwitch") << "cmdPixelSwitch" << QRect(272, 72, 97, 25);
    QTest::newRow("fraPals") << "fraPals" << QRect(264, 104, 115, 153);
    for (int n = 0; n < 8; ++n)
        QTest::newRow(qPrintable(QString("optPal%1").arg(n))) << QString("optPal%1").arg(n) << QRect(8, 16 + 16 * n, 25, 17);
    QTest::newRow("picPals") << "picPals" << QRect(40, 14, 68, 132);
    QTest::newRow("fraPalSet") << "fraPalSet" << QRect(272, 264, 97, 57);
    QTest::newRow("optSprite") << "optSprite" << QRect(8, 16, 49, 17);
    QTest::newRow("optBG") << "optBG" << QRect(8, 32, 81, 17);
    QTest::newRow("lblPage") << "lblPage" << QRect(0, 264, 73, 17);
    QTest::newRow("sldPage") << "sldPage" << QRect(80, 264, 89, 17);
    QTest::newRow("lblStatus") << "lblStatus" << QRect(176, 264, 81, 17);
    QTest::newRow("lblBank") << "lblBank" << QRect(0, 288, 73, 17);
    QTest::newRow("sldBank") << "sldBank" << QRect(80, 288, 177, 17);
    QTest::newRow("lblTileOffset") << "lblTileOffset" << QRect(0, 312, 73, 17);
    QTest::newRow("sldTileOffset") << "sldTileOffset" << QRect(80, 312, 177, 17);
}

void TestMainWindow::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Fixture f;
    auto* widget = f.window->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(f.window->centralWidget()->size(), QSize(385, 337));
}

void TestMainWindow::menusAtStart_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    QTest::newRow("Load ROM") << "mnuFile" << 0 << "mnuFileLoadrom" << "Load &ROM" << true << false;
    QTest::newRow("Load GBP") << "mnuFile" << 1 << "mnuFileLoadgbp" << "Load &GBP" << false << false;
    QTest::newRow("Save GBP") << "mnuFile" << 2 << "mnuFileSavegbp" << "&Save GBP" << false << false;
    QTest::newRow("Write ROM") << "mnuFile" << 3 << "mnuFileWriterom" << "&Write ROM" << false << false;
    QTest::newRow("separator") << "mnuFile" << 4 << "mnuFileNul" << "" << true << false;
    QTest::newRow("Exit") << "mnuFile" << 5 << "mnuFileExit" << "E&xit" << true << false;
    QTest::newRow("Show Grid") << "mnuOpt" << 0 << "mnuOptGrid" << "Show &Grid" << false << true;
    QTest::newRow("Dim Colors") << "mnuOpt" << 1 << "mnuOptDim" << "&Dim Colors" << false << true;
    QTest::newRow("Reset Changes") << "mnuOpt" << 2 << "mnuOptReset" << "&Reset Changes" << false << false;
}

void TestMainWindow::menusAtStart() {
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);
    Fixture f;
    auto* owner = f.window->findChild<QMenu*>(menu);
    QVERIFY(owner);
    QVERIFY(owner->isEnabled());
    QAction* action = owner->actions().value(position);
    QVERIFY(action);
    QCOMPARE(action->objectName(), name);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->isSeparator(), text.isEmpty());
    QCOMPARE(action->isEnabled(), enabled);
    QCOMPARE(action->isChecked(), checked);
    QCOMPARE(owner->actions().size(), menu == "mnuFile" ? 6 : 3);
}

void TestMainWindow::startState() {
    Fixture f;
    QCOMPARE(f.window->windowTitle(), QString("Dapplix"));
    // The menu bar: File, Options, and About as an item of its own.
    const QList<QAction*> bar = f.window->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0]->text(), QString("&File"));
    QCOMPARE(bar[1]->text(), QString("&Options"));
    QCOMPARE(bar[2]->text(), QString("&About"));
    QCOMPARE(bar[2]->objectName(), QString("mnuAbout"));
    QVERIFY(bar[2]->menu() == nullptr);
    QVERIFY(bar[2]->isEnabled());

    QCOMPARE(f.Find<QLabel>("lblPage")->text(), QString("Page: 0"));
    QCOMPARE(f.Find<QLabel>("lblBank")->text(), QString("Bank: 2"));
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 0"));
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
    QCOMPARE(f.Find<QLabel>("lblStatus")->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    QCOMPARE(f.Find<QSlider>("sldBank")->value(), 2);
    QCOMPARE(f.Find<QSlider>("sldBank")->minimum(), 2);
    QCOMPARE(f.Find<QSlider>("sldPage")->maximum(), 3);
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->maximum(), 15);
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->pageStep(), 5);
    QCOMPARE(f.Find<QPushButton>("cmdPixelSwitch")->text(), QString("&Pixel Switch"));
    QCOMPARE(f.Find<QGroupBox>("fraPals")->title(), QString("Palettes"));
    QCOMPARE(f.Find<QGroupBox>("fraPalSet")->title(), QString("Palette Set"));
    QCOMPARE(f.Find<QRadioButton>("optSprite")->text(), QString("&Sprite"));
    QCOMPARE(f.Find<QRadioButton>("optBG")->text(), QString("&Background"));
    QVERIFY(f.Find<QRadioButton>("optSprite")->isChecked());
    for (int n = 0; n < 8; ++n) {
        auto* button = f.Find<QRadioButton>(qPrintable(QString("optPal%1").arg(n)));
        QCOMPARE(button->text(), QString::number(n));
        QVERIFY(!button->isChecked());
        QVERIFY(!button->isEnabledTo(f.window.get()));  // inside a disabled frame
    }
    for (const char* name : {"picTiles", "fraPals", "fraPalSet", "cmdPixelSwitch"})
        QVERIFY2(!f.Find<QWidget>(name)->isEnabled(), name);
    QVERIFY(f.Find<QWidget>("picCurrent")->isEnabled());

    // Start-up values of the model.
    QCOMPARE(f.model->ColorScale, 6);
    QCOMPARE(f.model->CurPalSet, 0);
    QCOMPARE(f.window->RedrawPal, 8);
    QVERIFY(f.window->AllowPalChange);
    QCOMPARE(f.model->Pals[0][3][0][2], 31);  // default sprite colour 0 = (23, 23, 31)
    QCOMPARE(f.model->Pals[1][7][2][1], 9);   // default background colour 2 = (9, 9, 9)

    // Clicking the tile view or the palette strip does nothing before a ROM.
    auto* picTiles = f.Find<QWidget>("picTiles");
    QTest::mouseClick(picTiles, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(f.model->SelX1, 0);
    QCOMPARE(f.model->SelY1, 0);
    QVERIFY(f.messages.shown.empty());
}

void TestMainWindow::stateAfterLoad() {
    Fixture f;
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    QVERIFY(f.LoadRom({.banks = 4, .title = "ELEVENCHARS"}));
    QCOMPARE(redraws.count(), 1);
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - ELEVENCHARS"));
    QCOMPARE(f.model->BankCount, 3);
    for (const QString& name : kLockWidgets) QVERIFY2(f.Find<QWidget>(qPrintable(name))->isEnabled(), qPrintable(name));
    for (const QString& name : kLockActions) QVERIFY2(f.Find<QAction>(qPrintable(name))->isEnabled(), qPrintable(name));
    QVERIFY(f.Find<QAction>("mnuOptGrid")->isChecked());
    QVERIFY(f.Find<QAction>("mnuOptDim")->isChecked());
    auto* sldBank = f.Find<QSlider>("sldBank");
    QCOMPARE(sldBank->maximum(), 3);
    QCOMPARE(sldBank->value(), 2);
    QCOMPARE(f.window->LastBank, 1);
    QCOMPARE(f.Find<QLabel>("lblBank")->text(), QString("Bank: 2"));
    QCOMPARE(f.Find<QLabel>("lblPage")->text(), QString("Page: 0"));
    QCOMPARE(f.Find<QLabel>("lblStatus")->text(), QString());
    // The scan ran: bank 0 carries the colour-only flag and the 1 MiB size code.
    QCOMPARE(f.model->RomBank[0][0x143], 0xC0);
    QCOMPARE(f.model->RomBank[0][0x148], 0x05);
    // The first tile of bank 2 is drawn in palette 0, framed as the current tile.
    const QImage view = Grab(f.Find<QWidget>("picTiles"));
    const TileImage tile = DisplayTile(*f.model, 2, 0);
    QCOMPARE(Shown(view, 2, 2), ScreenOf(*f.model, TilePixel(tile, 1, 1), 0));
    QCOMPARE(Shown(view, 0, 0), 0xFFFF00u);
    QVERIFY(f.messages.shown.empty());
}

void TestMainWindow::lockSet() {
    Fixture f;
    QVERIFY(f.LoadRom());
    f.window->DisableAll();
    for (const QString& name : kLockWidgets) QVERIFY2(!f.Find<QWidget>(qPrintable(name))->isEnabled(), qPrintable(name));
    for (const QString& name : kLockActions) QVERIFY2(!f.Find<QAction>(qPrintable(name))->isEnabled(), qPrintable(name));
    // Never locked: About, the two menus, the current tile and the labels.
    QVERIFY(f.Find<QAction>("mnuAbout")->isEnabled());
    QVERIFY(f.Find<QMenu>("mnuFile")->isEnabled());
    QVERIFY(f.Find<QMenu>("mnuOpt")->isEnabled());
    for (const char* name : {"picCurrent", "lblPage", "lblBank", "lblTileOffset", "lblStatus"})
        QVERIFY2(f.Find<QWidget>(name)->isEnabled(), name);
    // About still opens while the window is locked.
    WhenShown<frmAbout> about([](frmAbout* box) { ClickButton(box, "cmdOkay"); });
    f.Find<QAction>("mnuAbout")->trigger();
    QVERIFY(about.ran());

    f.window->EnableAll();
    for (const QString& name : kLockWidgets) QVERIFY2(f.Find<QWidget>(qPrintable(name))->isEnabled(), qPrintable(name));
    for (const QString& name : kLockActions) QVERIFY2(f.Find<QAction>(qPrintable(name))->isEnabled(), qPrintable(name));
}

void TestMainWindow::loadRomThroughMenu() {
    Fixture f;
    WriteBytes(f.Path("menu.gb"), MakeRom({.title = "MENU ROM"}));
    ChooseInChooser chooser(f.dir.path(), "menu.gb");
    int scanWindowRange = 0;
    QString scanText;
    WhenShown<frmScanROM> scan([&](frmScanROM* window) {
        auto* bar = window->findChild<QProgressBar*>("prbScan");
        scanWindowRange = bar->minimum() * 1000 + bar->maximum();
        scanText = window->findChild<QLabel*>("lblScanning")->text();
    });
    f.Find<QAction>("mnuFileLoadrom")->trigger();
    QVERIFY(chooser.ran());
    QVERIFY(scan.ran());
    QCOMPARE(scanWindowRange, 1 * 1000 + 100);
    QCOMPARE(scanText, QString("Scanning ROM.. This may take a minute"));
    auto* chooserWindow = f.window->findChild<frmFile*>();
    QCOMPARE(chooserWindow->windowTitle(), QString("Load ROM"));
    QCOMPARE(chooserWindow->Pattern(), QString("*.gb"));
    QCOMPARE(f.model->FileSaveMode, false);
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - MENU ROM"));
    QVERIFY(f.Find<QAction>("mnuFileWriterom")->isEnabled());
    QVERIFY(f.messages.shown.empty());
}

void TestMainWindow::refusedRom_data() {
    QTest::addColumn<int>("banks");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sizeCode");
    QTest::addColumn<int>("colorFlag");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("messages");
    const QString couldNot = kMsgCouldNotLoadRom;
    QTest::newRow("colour and no mapper") << 4 << 0x00 << 1 << 0x80 << 0xC3
                                          << QStringList{kMsgAlreadyColor, kMsgUnsupportedMapper, couldNot};
    QTest::newRow("type 0x19") << 4 << 0x19 << 1 << 0 << 0xC3 << QStringList{kMsgUnsupportedMapper, couldNot};
    QTest::newRow("no jump") << 4 << 0x01 << 1 << 0 << 0x00 << QStringList{kMsgNoEntryJump, couldNot};
    QTest::newRow("MBC2 of 256 KiB") << 4 << 0x05 << 3 << 0 << 0xC3 << QStringList{kMsgCannotExpand, couldNot};
    QTest::newRow("size code 5") << 4 << 0x13 << 5 << 0 << 0xC3 << QStringList{kMsgCannotExpand, couldNot};
    QTest::newRow("all four") << 4 << 0x00 << 5 << 0x80 << 0x00
                              << QStringList{kMsgAlreadyColor, kMsgNoEntryJump, kMsgUnsupportedMapper, kMsgCannotExpand,
                                             couldNot};
    // Banks 0 and 1 are never shown or coloured: a 32 KiB ROM has nothing to work on.
    QTest::newRow("two banks") << 2 << 0x01 << 0 << 0 << 0xC3 << QStringList{kMsgRomTooSmall, couldNot};
    QTest::newRow("one bank") << 1 << 0x01 << 0 << 0 << 0xC3 << QStringList{kMsgRomTooSmall, couldNot};
    QTest::newRow("33 banks") << 33 << 0x01 << 4 << 0 << 0xC3 << QStringList{kMsgRomTooLarge, couldNot};
}

void TestMainWindow::refusedRom() {
    QFETCH(int, banks);
    QFETCH(int, type);
    QFETCH(int, sizeCode);
    QFETCH(int, colorFlag);
    QFETCH(int, entry);
    QFETCH(QStringList, messages);
    Fixture f;
    QVERIFY(f.LoadRom({.banks = 5, .title = "FIRST", .seed = 9}, "first.gb"));
    f.model->TilePal[3][17] = 6;
    f.model->TileOffset[2] = 4;
    const auto bankBefore = f.model->RomBank[2];
    const auto bank0Before = f.model->RomBank[0];

    const RomSpec refused{.banks = banks,
                          .cartridgeType = std::uint8_t(type),
                          .sizeCode = std::uint8_t(sizeCode),
                          .colorFlag = std::uint8_t(colorFlag),
                          .entryOpcode = std::uint8_t(entry),
                          .title = "REFUSED",
                          .seed = 2};
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    QVERIFY(!f.LoadRom(refused, "refused.gb"));
    QCOMPARE(f.messages.Texts(), messages);
    QCOMPARE(f.messages.Titles(), QStringList(messages.size(), QString("Error")));
    // Nothing changed: the first ROM, its work and the caption are all still there.
    QCOMPARE(redraws.count(), 0);
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - FIRST"));
    QCOMPARE(f.model->BankCount, 4);
    QVERIFY(f.model->RomBank[2] == bankBefore);
    QVERIFY(f.model->RomBank[0] == bank0Before);
    QCOMPARE(f.model->TilePal[3][17], 6);
    QCOMPARE(f.model->TileOffset[2], 4);
}

void TestMainWindow::mapperWarnings_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("MBC1") << 0x01 << QStringList{};
    QTest::newRow("MBC2") << 0x05 << QStringList{};
    QTest::newRow("MBC2 with battery") << 0x06 << QStringList{kMsgMbc2Saves};
    QTest::newRow("MBC3") << 0x13 << QStringList{kMsgMbc3PaletteZero};
}

void TestMainWindow::mapperWarnings() {
    QFETCH(int, type);
    QFETCH(QStringList, warnings);
    Fixture f;
    int redrawsBeforeWarning = -1;
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    f.messages.onShow = [&](const ShownMessage&) { redrawsBeforeWarning = int(redraws.count()); };
    QVERIFY(f.LoadRom({.banks = 4, .cartridgeType = std::uint8_t(type), .sizeCode = 1, .title = "MAPPER"}));
    // A warning does not refuse the ROM; it comes once the ROM is on screen.
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - MAPPER"));
    QCOMPARE(f.messages.Texts(), warnings);
    QCOMPARE(f.messages.Titles(), QStringList(warnings.size(), QString("Warning")));
    if (!warnings.isEmpty()) QCOMPARE(redrawsBeforeWarning, 1);
}

void TestMainWindow::missingRomFile() {
    // A ROM named on the command line that is not there: the reason, then the summary.
    Fixture f;
    QVERIFY(!f.window->LoadRomFile(f.Path("not here.gb")));
    QCOMPARE(f.messages.Titles(), (QStringList{"Error", "Error"}));
    QVERIFY2(f.messages.Texts().front().contains("not here.gb"), qPrintable(f.messages.Texts().front()));
    QCOMPARE(f.messages.Texts().back(), QString("Couldn't load ROM"));
    QCOMPARE(f.window->windowTitle(), QString("Dapplix"));
    QVERIFY(!f.Find<QAction>("mnuFileWriterom")->isEnabled());
}

void TestMainWindow::cancelledLoadKeepsRom() {
    Fixture f;
    QVERIFY(f.LoadRom({.title = "KEPT"}));
    f.model->TilePal[2][40] = 5;
    ChooseInChooser cancel(f.dir.path(), QString());
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    f.Find<QAction>("mnuFileLoadrom")->trigger();
    QVERIFY(cancel.ran());
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - KEPT"));
    QCOMPARE(f.model->TilePal[2][40], 5);
    QCOMPARE(redraws.count(), 0);
    QVERIFY(f.messages.shown.empty());
}

void TestMainWindow::secondRomKeepsOffsetsAndPalettes() {
    Fixture f;
    QVERIFY(f.LoadRom({.banks = 8, .sizeCode = 2, .seed = 3}, "one.gb"));
    f.model->TileOffset[2] = 9;
    f.model->TilePal[2][3] = 4;
    f.model->Pals[1][2][3][0] = 17;
    auto* sldBank = f.Find<QSlider>("sldBank");
    sldBank->setValue(5);  // as the user moves it
    QVERIFY(f.LoadRom({.banks = 4, .seed = 4}, "two.gb"));
    QCOMPARE(sldBank->value(), 2);
    QCOMPARE(sldBank->maximum(), 3);
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 9"));
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->value(), 9);
    QCOMPARE(f.model->TilePal[2][3], 0);
    QCOMPARE(f.model->Pals[1][2][3][0], 17);
}

void TestMainWindow::droppedRom_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("loads");
    QTest::newRow("a .gb file") << "dropped.gb" << false << true;
    QTest::newRow("upper-case extension") << "DROPPED.GB" << false << true;
    QTest::newRow("a project file") << "dropped.gbp" << false << false;
    QTest::newRow("while locked") << "dropped.gb" << true << false;
}

void TestMainWindow::droppedRom() {
    QFETCH(QString, fileName);
    QFETCH(bool, locked);
    QFETCH(bool, loads);
    Fixture f;
    QVERIFY(f.LoadRom({.title = "BEFORE"}));
    WriteBytes(f.Path(fileName), MakeRom({.title = "DROPPED", .seed = 5}));
    if (locked) f.window->DisableAll();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(f.Path(fileName))});
    const QPoint at(100, 100);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.window.get(), &enter);
    QCOMPARE(enter.isAccepted(), loads);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.window.get(), &drop);
    QTest::qWait(50);  // the load runs once the drop has returned
    QCOMPARE(f.window->windowTitle(), QString(loads ? "Dapplix - DROPPED" : "Dapplix - BEFORE"));
    QVERIFY(f.messages.shown.empty());
}

void TestMainWindow::missingSideFile_data() {
    QTest::addColumn<bool>("bank0Present");
    QTest::addColumn<bool>("extraPresent");
    QTest::addColumn<QString>("message");
    QTest::newRow("both missing") << false << false << "Required file bnk0cod.dat missing!";
    QTest::newRow("bnk0cod.dat missing") << false << true << "Required file bnk0cod.dat missing!";
    QTest::newRow("exbnkcod.dat missing") << true << false << "Required file exbnkcod.dat missing!";
    QTest::newRow("both present") << true << true << "";
}

void TestMainWindow::missingSideFile() {
    QFETCH(bool, bank0Present);
    QFETCH(bool, extraPresent);
    QFETCH(QString, message);
    QTemporaryDir dir;
    WriteSideFiles(dir.path());
    if (!bank0Present) QVERIFY(QFile::remove(dir.path() + "/bnk0cod.dat"));
    if (!extraPresent) QVERIFY(QFile::remove(dir.path() + "/exbnkcod.dat"));
    ScriptedMessages messages;
    Model model;
    const bool loaded = frmMain::LoadSideFiles(model, {QFile::encodeName(dir.path()).toStdString()});
    QCOMPARE(loaded, message.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(messages.shown.empty());
        QCOMPARE(model.EntryHookCode[0], 0xA1);  // the byte after the first skipped one
    } else {
        QCOMPARE(messages.Texts(), QStringList{message});
        QCOMPARE(messages.Titles(), QStringList{"Fatal Error"});
    }
}

void TestMainWindow::aboutBox() {
    Fixture f;
    QStringList texts;
    QString button;
    WhenShown<frmAbout> about([&](frmAbout* box) {
        for (const char* name : {"lblProduct", "lblVersion", "lblAuthor", "lblContact"})
            texts << box->findChild<QLabel*>(name)->text();
        button = box->findChild<QPushButton*>("cmdOkay")->text();
        ClickButton(box, "cmdOkay");
    });
    f.Find<QAction>("mnuAbout")->trigger();
    QVERIFY(about.ran());
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts[0], QString("Dapplix"));
    QVERIFY(texts[1].startsWith("Version "));
    QCOMPARE(button, QString("&Okay"));
    QVERIFY(!f.window->findChild<frmAbout*>()->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
