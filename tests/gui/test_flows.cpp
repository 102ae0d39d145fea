// The file chooser and the user's flows through the real menus: the chooser's extension
// rule, overwrite question and missing-file message, its lists; loading a ROM, colouring
// it, saving the project, writing the colour ROM, resetting and loading the project back;
// writes that fail are errors that lose nothing; damaged projects change nothing; and the
// questions of Exit and of closing the window.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "GuiTestSupport.h"
#include "project/ProjectFile.h"
#include "view/frmScanROM.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

// The user's work as the project file keeps it.
struct Work {
    decltype(Model::TilePal) pals;
    decltype(Model::TileEdited) edited;
    decltype(Model::TileOffset) offsets;
    PaletteTable colours;
    std::vector<TileImage> images;  // of the edited tiles, in bank and tile order

    explicit Work(const Model& m) : pals(m.TilePal), edited(m.TileEdited), offsets(m.TileOffset), colours(m.Pals) {
        for (int b = 0; b < kMaxBanks; ++b)
            for (int t = 0; t < kTilesPerBank; ++t)
                if (m.TileEdited[b][t]) images.push_back(m.EditedTile[b][t]);
    }
    bool operator==(const Work&) const = default;
};

void Type(frmFile* chooser, const QString& text) {
    auto* box = chooser->findChild<QLineEdit*>("txtFileName");
    box->clear();
    QTest::keyClicks(box, text);
}

}  // namespace

class TestFlows : public QObject {
    Q_OBJECT

private:
    QString base_;  // a directory whose path has no dot
    std::unique_ptr<QTemporaryDir> temp_;

private slots:
    void initTestCase() {
        temp_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/dapplixflowsXXXXXX");
        base_ = temp_->path();
        if (base_.contains('.')) QSKIP("the temporary directory's path has a dot; the extension rule cannot be seen");
        for (const char* sub : {"plain", "with.dot", "list/sub one", "list/sub two"}) QVERIFY(QDir(base_).mkpath(sub));
        // Opening a FIFO without a writer waits for ever: it must be neither listed nor opened.
        for (const char* fifo : {"plain/pipe.gb", "list/pipe.gb"})
            QCOMPARE(::mkfifo(QFile::encodeName(base_ + "/" + fifo).constData(), 0644), 0);
    }

    // Names typed or picked in read and write mode, and every way of leaving. A typed name
    // is taken inside the shown directory; with no dot anywhere in the path the pattern's
    // extension is added. Choosing writes and deletes nothing: an old file is replaced only
    // by a write that succeeds. Opening the chooser again shows the same directory and an
    // empty name.
    void chooser_data() {
        QTest::addColumn<bool>("saveMode");
        QTest::addColumn<QString>("dir");  // below the base directory, or "/"
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("how");     // a name to type, or how the chooser is left
        QTest::addColumn<int>("answer");      // to the overwrite question
        QTest::addColumn<QString>("chosen");  // the name in dir the caller gets ("" = cancelled)
        QTest::addColumn<QStringList>("messages");
        const int none = -1, yes = int(MessageAnswer::Yes), no = int(MessageAnswer::No);
        const QStringList overwrite{"Query: File Already Exists! Overwrite?"};
        QTest::newRow("no dot gets .gb") << true << "plain"
                                         << "*.gb"
                                         << "game" << none << "game.gb" << QStringList{};
        QTest::newRow("no dot gets .gbc") << true << "plain"
                                          << "*.gbc"
                                          << "colour" << none << "colour.gbc" << QStringList{};
        QTest::newRow("own extension kept") << true << "plain"
                                            << "*.gb"
                                            << "game.bin" << none << "game.bin" << QStringList{};
        QTest::newRow("trailing dot kept") << true << "plain"
                                           << "*.gb"
                                           << "game." << none << "game." << QStringList{};
        QTest::newRow("dot in the directory") << true << "with.dot"
                                              << "*.gb"
                                              << "game" << none << "game" << QStringList{};
        QTest::newRow("root keeps both separators") << true << "/"
                                                    << "*.gbp"
                                                    << "dapplix_none" << none << "dapplix_none.gbp" << QStringList{};
        QTest::newRow("read, present") << false << "plain"
                                       << "*.gb"
                                       << "present.gb" << none << "present.gb" << QStringList{};
        QTest::newRow("read, missing") << false << "plain"
                                       << "*.gb"
                                       << "missing.gb" << none << "" << QStringList{"Error: File Doesn't Exist!!!"};
        QTest::newRow("read, a FIFO") << false << "plain"
                                      << "*.gb"
                                      << "pipe.gb" << none << ""
                                      << QStringList{"Error: Couldn't open " + base_ +
                                                     "/plain/pipe.gb: it is a FIFO, not a regular file."};
        QTest::newRow("write, a FIFO") << true << "plain"
                                       << "*.gb"
                                       << "pipe.gb" << none << ""
                                       << QStringList{"Error: Couldn't write " + base_ +
                                                      "/plain/pipe.gb: it is a FIFO, not a regular file."};
        QTest::newRow("write, new name, Enter") << true << "plain"
                                                << "*.gb"
                                                << "new.gb" << none << "new.gb" << QStringList{};
        QTest::newRow("write, present, Yes") << true << "plain"
                                             << "*.gb"
                                             << "present.gb" << yes << "present.gb" << overwrite;
        QTest::newRow("write, present, No") << true << "plain"
                                            << "*.gb"
                                            << "present.gb" << no << "" << overwrite;
        QTest::newRow("list double click") << false << "plain"
                                           << "*.gb"
                                           << "double click" << none << "present.gb" << QStringList{};
        QTest::newRow("Cancel") << true << "plain"
                                << "*.gb"
                                << "cancel" << none << "" << QStringList{};
        QTest::newRow("Escape") << false << "plain"
                                << "*.gb"
                                << "escape" << none << "" << QStringList{};
        QTest::newRow("Okay, no name") << true << "plain"
                                       << "*.gb"
                                       << "" << none << "" << QStringList{};
        QTest::newRow("window closed") << false << "plain"
                                       << "*.gb"
                                       << "close" << none << "" << QStringList{};
    }

    void chooser() {
        QFETCH(bool, saveMode);
        QFETCH(QString, dir);
        QFETCH(QString, pattern);
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(QString, chosen);
        QFETCH(QStringList, messages);
        if (dir != "/") dir = base_ + "/" + dir;
        const QString present = base_ + "/plain/present.gb";
        WriteBytes(present, "\x09\x08\x07\x06");
        QFile::remove(base_ + "/plain/new.gb");
        ScriptedMessages boxes;
        if (answer >= 0) boxes.answers = {MessageAnswer(answer)};
        Model model;
        model.FileCancelled = !chosen.isEmpty();  // a leftover of an earlier use, the other way round
        frmFile chooser(model);
        WhenShown<frmFile> when([&](frmFile* shown) {
            shown->OpenDirectory(dir);
            auto* list = shown->findChild<QListWidget*>("filFile");
            const QList<QListWidgetItem*> items = list->findItems("present.gb", Qt::MatchExactly);
            const QPoint at = items.isEmpty() ? QPoint() : list->visualItemRect(items.front()).center();
            if (!items.isEmpty()) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);  // into the name box
            if (how == "double click") return QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            if (how == "cancel") return ClickButton(shown, "cmdCancel");
            if (how == "escape") return QTest::keyClick(shown, Qt::Key_Escape);
            if (how == "close") return void(shown->close());
            Type(shown, how);
            if (how == "new.gb") return QTest::keyClick(shown->findChild<QLineEdit*>("txtFileName"), Qt::Key_Return);
            ClickButton(shown, "cmdOkay");
        });
        QCOMPARE(chooser.Choose("Test", pattern, saveMode), !chosen.isEmpty());
        QVERIFY(when.ran());
        QCOMPARE(model.FileCancelled, chosen.isEmpty());
        QCOMPARE(model.FileSaveMode, saveMode);
        QCOMPARE(boxes.log, messages);
        if (!chosen.isEmpty()) QCOMPARE(chooser.FileName(), dir + "/" + chosen);
        QCOMPARE(ReadBytes(present), QByteArray("\x09\x08\x07\x06"));
        QVERIFY(!QFile::exists(base_ + "/plain/new.gb"));
        QStringList again;
        WhenShown<frmFile> reopen([&](frmFile* shown) {
            again << shown->DirectoryPath() << shown->FileName();
            ClickButton(shown, "cmdCancel");
        });
        QVERIFY(!chooser.Choose("Test", pattern, false));
        QCOMPARE(again, QStringList({QDir(dir).absolutePath(), QString()}));
    }

    // The file list shows the pattern's files in any case, without hidden ones or FIFOs; the directory
    // list opens a subdirectory on a double click and the highlighted one on Enter, which does
    // not press Okay; a directory that cannot be opened is refused and the lists stay.
    void chooserLists() {
        const QString dir = base_ + "/list";
        for (const char* name : {"a.gb", "B.GB", "c.gbc", "d.gbp", "e.gb.bak", ".hidden.gb"})
            WriteBytes(dir + "/" + name, "");
        ScriptedMessages messages;
        Model model;
        frmFile chooser(model);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(chooser.OpenDirectory(dir));
        auto* list = chooser.findChild<QListWidget*>("filFile");
        for (const auto& [pattern, names] :
             {std::pair{"*.gb", QStringList{"a.gb", "B.GB"}}, {"*.gbp", QStringList{"d.gbp"}}}) {
            chooser.SetPattern(pattern);
            QStringList shown;
            for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
            QCOMPARE(shown, names);
        }
        auto* tree = chooser.findChild<QTreeWidget*>("dirFile");
        QCOMPARE(tree->currentItem()->text(0), QString("list"));
        QCOMPARE(tree->currentItem()->childCount(), 2);
        const QPoint subTwo = tree->visualItemRect(tree->currentItem()->child(1)).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, subTwo);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, subTwo);
        QTRY_COMPARE(chooser.DirectoryPath(), dir + "/sub two");
        QCOMPARE(chooser.FileListPath(), dir + "/sub two");
        tree->setCurrentItem(tree->currentItem()->parent());
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(chooser.DirectoryPath(), dir);
        QVERIFY(chooser.isVisible());
        QVERIFY(!chooser.OpenDirectory(base_ + "/no such folder"));
        QCOMPARE(messages.log, QStringList{"Error: Couldn't open the folder " + base_ + "/no such folder."});
        QCOMPARE(chooser.DirectoryPath(), dir);
        auto* drives = chooser.findChild<QComboBox*>("drvFile");
        drives->setCurrentIndex(drives->findData(QDir::rootPath()));
        emit drives->activated(drives->currentIndex());
        QTRY_COMPARE(chooser.FileListPath(), QDir::rootPath());
    }

    // Load a ROM, colour it, save the project, write the colour ROM, reset, load the project
    // back, all through the menus and the chooser, which each shows with its title, pattern
    // and mode.
    void roundTrip() {
        Fixture f;
        WriteBytes(f.Path("game.gb"), MakeRom({.title = "ROUND TRIP"}));
        QString scanText;
        WhenShown<frmScanROM> scan(
            [&](frmScanROM* window) { scanText = window->findChild<QLabel*>("lblScanning")->text(); });
        QCOMPARE(f.Menu("mnuFileLoadrom", "game.gb"), QString("Load ROM *.gb read"));
        QVERIFY(scan.ran());
        QCOMPARE(scanText, QString("Scanning ROM.. This may take a minute"));
        QCOMPARE(f.window->windowTitle(), QString("Dapplix - ROUND TRIP"));

        DragCells(f.View(), {1, 1}, {3, 2});
        QTest::mouseClick(f.Find<QRadioButton>("optPal5"), Qt::LeftButton);
        QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);  // bank 3
        for (int i = 0; i < 2; ++i) QTest::keyClick(f.Find<QSlider>("sldTileOffset"), Qt::Key_Right);
        DragCells(f.View(), {0, 0}, {0, 0});
        QTest::mouseClick(f.Find<QRadioButton>("optPal7"), Qt::LeftButton);
        TileImage drawn{};
        drawn.fill(0x3C);
        QVERIFY(CommitTileImage(*f.model, 2, 20, drawn));
        f.model->Pals[1][2][1] = {1, 2, 3};
        QCOMPARE(f.model->TilePal[2][17], 5);
        QCOMPARE(f.model->TilePal[3][0], 7);
        const Work work(*f.model);

        QCOMPARE(f.Menu("mnuFileSavegbp", "work.gbp"), QString("Save Gbp *.gbp save"));
        QVERIFY(ReadBytes(f.Path("work.gbp")).startsWith("DAPPLIXPRJ\x03\x03"));
        QVERIFY(f.messages.log.isEmpty());  // no message confirms a save
        QCOMPARE(f.Menu("mnuFileWriterom", "game.gbc"), QString("Write Color ROM *.gbc save"));
        QCOMPARE(f.messages.log, QStringList{"Color Write Done: " + f.Path("game.gbc") + " written successfully!"});
        const QByteArray colourRom = ReadBytes(f.Path("game.gbc"));
        QCOMPARE(colourRom.size(), qsizetype(1048576));
        QCOMPARE(std::uint8_t(colourRom[(2 + 32) * 16384 + 17 * 16]), 5);     // the table of bank 2
        QCOMPARE(std::uint8_t(colourRom[(3 + 32) * 16384 + 0 * 16 + 2]), 7);  // bank 3, offset 2
        QCOMPARE(std::uint8_t(colourRom[2 * 16384 + 20 * 16]), 0x3C);         // the redrawn tile
        QCOMPARE(std::uint8_t(colourRom[0x143]), 0xC0);

        // Reset: no palette numbers or edit marks; colours, offsets and stored images stay.
        f.messages.log.clear();
        f.messages.answers = {MessageAnswer::Yes};
        f.Find<QAction>("mnuOptReset")->trigger();
        QCOMPARE(f.messages.log,
                 QStringList{"Query: Are you sure you want to remove all palette asignments and edited tiles?"});
        QCOMPARE(f.messages.buttons.back(), MessageButtons::YesNo);
        QVERIFY(Work(*f.model).pals == decltype(Model::TilePal){});
        QVERIFY(Work(*f.model).images.empty());
        QVERIFY(f.model->Pals == work.colours && f.model->TileOffset == work.offsets);
        QCOMPARE(f.model->EditedTile[2][20], drawn);

        f.model->Pals[1][2][1] = {9, 9, 9};
        f.model->TileOffset[3] = 11;
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        QCOMPARE(f.Menu("mnuFileLoadgbp", "work.gbp"), QString("Load Gbp *.gbp read"));
        QVERIFY(Work(*f.model) == work);
        QCOMPARE(redraws.count(), 1);
        QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 2"));  // bank 3 is still shown

        // A second write over the first, nothing changed in between, gives the same file.
        f.messages.log.clear();
        f.messages.answers = {MessageAnswer::Yes};
        QVERIFY(!f.Menu("mnuFileWriterom", "game.gbc").isEmpty());
        QCOMPARE(f.messages.log, QStringList({"Query: File Already Exists! Overwrite?",
                                              "Color Write Done: " + f.Path("game.gbc") + " written successfully!"}));
        QCOMPARE(ReadBytes(f.Path("game.gbc")), colourRom);
    }

    // A write that fails is an error, never a success, and the window is usable again: a
    // folder where the file would go (the chooser refuses it), a file-size limit that makes
    // the 1 MiB write fail part way, as a full disk would, or the loaded ROM's own file
    // (refused after the overwrite question); the old file at the chosen path comes
    // through whole.
    void failedWrites_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("messages");  // the overwrite question, if asked, and the error
        QTest::newRow("Write ROM onto a folder") << "mnuFileWriterom"
                                                 << "taken.out" << 1;
        QTest::newRow("Save GBP onto a folder") << "mnuFileSavegbp"
                                                << "taken.out" << 1;
        QTest::newRow("Write ROM over a file, disk full") << "mnuFileWriterom"
                                                          << "precious.gbc" << 2;
        QTest::newRow("Write ROM onto the loaded ROM") << "mnuFileWriterom"
                                                       << "game.gb" << 2;
        QTest::newRow("Save GBP onto the loaded ROM") << "mnuFileSavegbp"
                                                      << "game.gb" << 2;
    }

    void failedWrites() {
        QFETCH(QString, menu);
        QFETCH(QString, name);
        QFETCH(int, messages);
        Fixture f;
        QVERIFY(f.LoadRom());
        QVERIFY(QDir(f.dir.path()).mkdir("taken.out"));
        WriteBytes(f.Path("precious.gbc"), QByteArray(1000, 0x77));
        f.messages.answers = {MessageAnswer::Yes};
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = old;
        limited.rlim_cur = 256 * 1024;
        if (name == "precious.gbc") QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QVERIFY(!f.Menu(qPrintable(menu), name).isEmpty());
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
        const QStringList& log = f.messages.log;
        QCOMPARE(log.size(), messages);
        QVERIFY2(log.last().startsWith("Error: ") && log.last().contains(name), qPrintable(log.last()));
        QVERIFY(QFileInfo(f.Path("taken.out")).isDir());
        QCOMPARE(ReadBytes(f.Path("precious.gbc")), QByteArray(1000, 0x77));
        QCOMPARE(ReadBytes(f.Path("game.gb")), MakeRom());
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"bnk0cod.dat", "exbnkcod.dat", "game.gb", "precious.gbc"}));  // no temporary left
        QCOMPARE(f.LockSetEnabled(), 15);
    }

    void refusedProject_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("leading");  // messages before the summary ("" = any one)
        Model model;
        model.BankCount = 3;
        model.TilePal[2][9] = 4;
        std::vector<std::uint8_t> bytes;
        std::string error;
        QVERIFY(EncodeGbp(model, bytes, error));
        const QByteArray good(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        QByteArray badMagic = good, badVersion = good;
        badMagic[0] = 'X';
        badVersion[10] = 2;
        QByteArray both = badMagic;
        both[10] = 4;
        QTest::newRow("not a project") << badMagic << QStringList{kMsgNotGbp};
        QTest::newRow("another version") << badVersion << QStringList{kMsgGbpVersion};
        QTest::newRow("both") << both << QStringList{kMsgNotGbp, kMsgGbpVersion};
        QTest::newRow("cut short") << good.left(good.size() - 5) << QStringList{""};
        QTest::newRow("too short for a header") << QByteArray("DAPPL") << QStringList{""};
    }

    void refusedProject() {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, leading);
        Fixture f;
        QVERIFY(f.LoadRom());
        f.model->TilePal[2][3] = 6;
        f.model->TileOffset[2] = 1;
        f.model->Pals[0][1][2] = {4, 5, 6};
        const Work before(*f.model);
        WriteBytes(f.Path("damaged.gbp"), contents);
        QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
        QVERIFY(!f.Menu("mnuFileLoadgbp", "damaged.gbp").isEmpty());
        const QStringList& log = f.messages.log;
        QCOMPARE(log.size(), leading.size() + 1);
        for (int i = 0; i < leading.size(); ++i)
            QVERIFY2(log[i] == "Error: " + leading[i] || (leading[i].isEmpty() && log[i].startsWith("Error: ")),
                     qPrintable(log[i]));
        QCOMPARE(log.last(), QString("Error: Couldn't Load Gbp File!"));
        QVERIFY(Work(*f.model) == before);
        QCOMPARE(redraws.count(), 0);
    }

    void quitQuestions_data() {
        QTest::addColumn<bool>("byClosing");  // closing the window instead of File > Exit
        QTest::addColumn<bool>("romLoaded");
        QTest::addColumn<int>("answer");     // to "Save palette and tile data?"
        QTest::addColumn<QString>("name");   // typed into the chooser ("" = Cancel)
        QTest::addColumn<int>("overwrite");  // answer to the overwrite question, if asked
        QTest::addColumn<bool>("ends");
        const int yes = int(MessageAnswer::Yes), no = int(MessageAnswer::No), cancel = int(MessageAnswer::Cancel);
        for (bool closing : {false, true}) {
            const QString how = closing ? "close: " : "exit: ";
            QTest::newRow(qPrintable(how + "no ROM")) << closing << false << -1 << "" << -1 << true;
            QTest::newRow(qPrintable(how + "Cancel")) << closing << true << cancel << "" << -1 << false;
            QTest::newRow(qPrintable(how + "No")) << closing << true << no << "" << -1 << true;
            QTest::newRow(qPrintable(how + "Yes, saved")) << closing << true << yes << "quit.gbp" << -1 << true;
            QTest::newRow(qPrintable(how + "Yes, overwrite agreed"))
                << closing << true << yes << "old.gbp" << yes << true;
            // Leaving the chooser without a file, or a save that fails, keeps the program
            // running, for both ways out.
            QTest::newRow(qPrintable(how + "Yes, chooser cancelled")) << closing << true << yes << "" << -1 << false;
            QTest::newRow(qPrintable(how + "Yes, overwrite declined"))
                << closing << true << yes << "old.gbp" << no << false;
            QTest::newRow(qPrintable(how + "Yes, save fails")) << closing << true << yes << "folder.gbp" << -1 << false;
        }
    }

    void quitQuestions() {
        QFETCH(bool, byClosing);
        QFETCH(bool, romLoaded);
        QFETCH(int, answer);
        QFETCH(QString, name);
        QFETCH(int, overwrite);
        QFETCH(bool, ends);
        const bool saved = ends && !name.isEmpty();
        Fixture f;
        if (romLoaded) QVERIFY(f.LoadRom());
        WriteBytes(f.Path("old.gbp"), "\x55");
        QVERIFY(QDir(f.dir.path()).mkdir("folder.gbp"));
        if (answer >= 0) f.messages.answers.push_back(MessageAnswer(answer));
        if (overwrite >= 0) f.messages.answers.push_back(MessageAnswer(overwrite));
        QSignalSpy ended(f.window.get(), &frmMain::programEnded);
        std::unique_ptr<ChooseInChooser> chooser;
        if (answer == int(MessageAnswer::Yes))
            chooser = std::make_unique<ChooseInChooser>(f.dir.path(), name, *f.model);
        if (byClosing)
            f.window->close();
        else
            f.Find<QAction>("mnuFileExit")->trigger();

        if (chooser) QCOMPARE(chooser->seen, QString("Save Gbp *.gbp save"));
        QCOMPARE(f.window->ProgramEnded(), ends);
        QCOMPARE(ended.count(), ends ? 1 : 0);
        QCOMPARE(f.window->isVisible(), !ends);
        QCOMPARE(f.messages.unscripted, 0);
        QCOMPARE(f.messages.log.value(0), romLoaded ? QString("Query: Save palette and tile data?") : QString());
        if (romLoaded) QCOMPARE(f.messages.buttons.front(), MessageButtons::YesNoCancel);
        if (name == "folder.gbp") QVERIFY(f.messages.log.last().startsWith("Error: "));
        QCOMPARE(ReadBytes(f.Path("quit.gbp")).startsWith("DAPPLIXPRJ"), saved && name == "quit.gbp");
        QCOMPARE(ReadBytes(f.Path("old.gbp")).startsWith("DAPPLIXPRJ"), saved && name == "old.gbp");
    }

    // Closing the window while a palette assignment walks over the tiles asks the save
    // question once the assignment has finished.
    void closeWhileLockedAsksAfterwards() {
        Fixture f;
        QVERIFY(f.LoadRom());
        DragCells(f.View(), {0, 0}, {15, 15});
        int questionsDuring = -1;
        bool visibleDuring = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            f.window->close();
            questionsDuring = int(f.messages.log.size());
            visibleDuring = f.window->isVisible();
        });
        f.messages.answers = {MessageAnswer::No};
        QTest::mouseClick(f.Find<QRadioButton>("optPal2"), Qt::LeftButton);
        QCOMPARE(questionsDuring, 0);
        QVERIFY(visibleDuring);
        QCOMPARE(f.model->TilePal[2][255], 2);  // the assignment ran to its end
        QTRY_VERIFY(f.window->ProgramEnded());
        QCOMPARE(f.messages.log, QStringList{"Query: Save palette and tile data?"});
    }
};

QTEST_MAIN(TestFlows)
#include "test_flows.moc"
