// The user's flows through the real menus and the real file chooser: load a ROM, colour
// it, save the project, write the colour ROM, reset, load the project back; writes that
// fail are reported as errors and lose nothing; damaged projects are refused; and the
// questions of Exit and of closing the window.
#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

#include "MainWindowTestSupport.h"
#include "engine/Writer.h"
#include "project/ProjectFile.h"

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
    bool operator==(const Work& other) const {
        return pals == other.pals && edited == other.edited && offsets == other.offsets && colours == other.colours &&
               images == other.images;
    }
};

// Colours a few tiles through the window, as the user does.
void ColourSomeTiles(Fixture& f) {
    auto* picTiles = f.Find<QWidget>("picTiles");
    DragCells(picTiles, {1, 1}, {3, 2});
    QTest::mouseClick(f.Find<QRadioButton>("optPal5"), Qt::LeftButton);
    QTest::keyClick(f.Find<QSlider>("sldBank"), Qt::Key_Right);  // bank 3
    QTest::keyClick(f.Find<QSlider>("sldTileOffset"), Qt::Key_Right);
    QTest::keyClick(f.Find<QSlider>("sldTileOffset"), Qt::Key_Right);  // offset 2
    DragCells(picTiles, {0, 0}, {0, 0});
    QTest::mouseClick(f.Find<QRadioButton>("optPal7"), Qt::LeftButton);
    TileImage drawn{};
    drawn.fill(0x3C);
    QVERIFY(CommitTileImage(*f.model, 2, 20, drawn));
    f.model->Pals[1][2][1] = {1, 2, 3};
}

}  // namespace

class TestFlows : public QObject {
    Q_OBJECT

private slots:
    void chooserSetUp_data();
    void chooserSetUp();
    void roundTrip();
    void overwriteColourRom_data();
    void overwriteColourRom();
    void failedWritesAreErrors_data();
    void failedWritesAreErrors();
    void failedWriteKeepsOldFile();
    void refusedProject_data();
    void refusedProject();
    void resetChanges_data();
    void resetChanges();
    void quitQuestions_data();
    void quitQuestions();
    void closeWhileLockedAsksAfterwards();
};

void TestFlows::chooserSetUp_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("saveMode");
    QTest::newRow("Load ROM") << "mnuFileLoadrom" << "Load ROM" << "*.gb" << false;
    QTest::newRow("Load GBP") << "mnuFileLoadgbp" << "Load Gbp" << "*.gbp" << false;
    QTest::newRow("Save GBP") << "mnuFileSavegbp" << "Save Gbp" << "*.gbp" << true;
    QTest::newRow("Write ROM") << "mnuFileWriterom" << "Write Color ROM" << "*.gbc" << true;
    QTest::newRow("Exit, Yes") << "mnuFileExit" << "Save Gbp" << "*.gbp" << true;
}

void TestFlows::chooserSetUp() {
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QString, pattern);
    QFETCH(bool, saveMode);
    Fixture f;
    QVERIFY(f.LoadRom());
    f.messages.answers = {MessageAnswer::Yes};  // for Exit's question
    QString seenTitle, seenPattern;
    bool seenMode = !saveMode;
    WhenShown<frmFile> chooser([&](frmFile* shown) {
        seenTitle = shown->windowTitle();
        seenPattern = shown->Pattern();
        seenMode = f.model->FileSaveMode;
        ClickButton(shown, "cmdCancel");
    });
    f.Find<QAction>(qPrintable(menu))->trigger();
    QVERIFY(chooser.ran());
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenPattern, pattern);
    QCOMPARE(seenMode, saveMode);
    // Cancelled: nothing was done and the program goes on.
    QVERIFY(!f.window->ProgramEnded());
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - TESTROM"));
}

void TestFlows::roundTrip() {
    Fixture f;
    WriteBytes(f.Path("game.gb"), MakeRom({.title = "ROUND TRIP"}));
    {
        ChooseInChooser chooser(f.dir.path(), "game.gb");
        f.Find<QAction>("mnuFileLoadrom")->trigger();
        QVERIFY(chooser.ran());
    }
    QCOMPARE(f.window->windowTitle(), QString("Dapplix - ROUND TRIP"));
    ColourSomeTiles(f);
    QCOMPARE(f.model->TilePal[2][17], 5);
    QCOMPARE(f.model->TilePal[3][0], 7);
    QCOMPARE(f.model->TileOffset[3], 2);
    const Work work(*f.model);

    {
        ChooseInChooser chooser(f.dir.path(), "work.gbp");
        f.Find<QAction>("mnuFileSavegbp")->trigger();
        QVERIFY(chooser.ran());
    }
    QVERIFY(ReadBytes(f.Path("work.gbp")).startsWith("DAPPLIXPRJ\x03\x03"));
    QVERIFY(f.messages.shown.empty());  // no message confirms a save
    QVERIFY(f.Find<QAction>("mnuFileSavegbp")->isEnabled());

    {
        ChooseInChooser chooser(f.dir.path(), "game.gbc");
        f.Find<QAction>("mnuFileWriterom")->trigger();
        QVERIFY(chooser.ran());
    }
    QCOMPARE(f.messages.Titles(), QStringList{"Color Write Done"});
    QCOMPARE(f.messages.Texts(), QStringList{f.Path("game.gbc") + " written successfully!"});
    const QByteArray colourRom = ReadBytes(f.Path("game.gbc"));
    QCOMPARE(colourRom.size(), qsizetype(1048576));
    QCOMPARE(std::uint8_t(colourRom[(2 + 32) * 16384 + 17 * 16]), 5);      // the table of bank 2
    QCOMPARE(std::uint8_t(colourRom[(3 + 32) * 16384 + 0 * 16 + 2]), 7);   // bank 3, offset 2
    QCOMPARE(std::uint8_t(colourRom[2 * 16384 + 20 * 16]), 0x3C);           // the redrawn tile
    QCOMPARE(std::uint8_t(colourRom[0x143]), 0xC0);
    f.messages.Clear();

    // Reset, change more, then load the project back: the saved work returns.
    f.messages.answers = {MessageAnswer::Yes};
    f.Find<QAction>("mnuOptReset")->trigger();
    QCOMPARE(f.model->TilePal[2][17], 0);
    QVERIFY(!f.model->TileEdited[2][20]);
    f.model->Pals[1][2][1] = {9, 9, 9};
    f.model->TileOffset[3] = 11;
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    {
        ChooseInChooser chooser(f.dir.path(), "work.gbp");
        f.Find<QAction>("mnuFileLoadgbp")->trigger();
        QVERIFY(chooser.ran());
    }
    QVERIFY(Work(*f.model) == work);
    QCOMPARE(redraws.count(), 1);
    QCOMPARE(f.Find<QSlider>("sldTileOffset")->value(), 2);  // bank 3 is still shown
    QCOMPARE(f.Find<QLabel>("lblTileOffset")->text(), QString("Tile Offset: 2"));

    // A second write with nothing changed in between gives the same file.
    f.messages.Clear();
    f.messages.answers = {MessageAnswer::Yes};
    {
        ChooseInChooser chooser(f.dir.path(), "game.gbc");
        f.Find<QAction>("mnuFileWriterom")->trigger();
        QVERIFY(chooser.ran());
    }
    QCOMPARE(f.messages.Texts(), (QStringList{"File Already Exists! Overwrite?", f.Path("game.gbc") + " written successfully!"}));
    QCOMPARE(ReadBytes(f.Path("game.gbc")), colourRom);
}

void TestFlows::overwriteColourRom_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestFlows::overwriteColourRom() {
    QFETCH(bool, yes);
    Fixture f;
    QVERIFY(f.LoadRom());
    WriteBytes(f.Path("old.gbc"), {1, 2, 3});
    f.messages.answers = {yes ? MessageAnswer::Yes : MessageAnswer::No};
    ChooseInChooser chooser(f.dir.path(), "old.gbc");
    f.Find<QAction>("mnuFileWriterom")->trigger();
    QVERIFY(chooser.ran());
    QCOMPARE(ReadBytes(f.Path("old.gbc")).size(), yes ? qsizetype(1048576) : qsizetype(3));
    QCOMPARE(f.messages.shown.size(), std::size_t(yes ? 2 : 1));
    QCOMPARE(f.messages.Titles().last(), QString(yes ? "Color Write Done" : "Query"));
}

void TestFlows::failedWritesAreErrors_data() {
    QTest::addColumn<QString>("menu");
    QTest::newRow("Write ROM") << "mnuFileWriterom";
    QTest::newRow("Save GBP") << "mnuFileSavegbp";
}

void TestFlows::failedWritesAreErrors() {
    QFETCH(QString, menu);
    Fixture f;
    QVERIFY(f.LoadRom());
    // A folder stands where the file would go: the chooser lets the name through (there
    // is no file to overwrite), and the write must fail.
    QVERIFY(QDir(f.dir.path()).mkdir("taken.out"));
    ChooseInChooser chooser(f.dir.path(), "taken.out");
    f.Find<QAction>(qPrintable(menu))->trigger();
    QVERIFY(chooser.ran());
    QCOMPARE(f.messages.Titles(), QStringList{"Error"});
    QVERIFY2(f.messages.Texts().front().contains("taken.out"), qPrintable(f.messages.Texts().front()));
    QVERIFY(!f.messages.Texts().front().contains("successfully"));
    QVERIFY(QFileInfo(f.Path("taken.out")).isDir());
    // The window is usable again.
    QVERIFY(f.Find<QAction>(qPrintable(menu))->isEnabled());
    QVERIFY(f.Find<QWidget>("picTiles")->isEnabled());
}

void TestFlows::failedWriteKeepsOldFile() {
#ifdef Q_OS_LINUX
    // A file-size limit makes the write of a 1 MiB colour ROM fail part way, as a full
    // disk would; the old file at the chosen path must come through whole.
    Fixture f;
    QVERIFY(f.LoadRom());
    WriteBytes(f.Path("precious.gbc"), std::vector<std::uint8_t>(1000, 0x77));
    f.messages.answers = {MessageAnswer::Yes};
    struct rlimit old {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 256 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    {
        ChooseInChooser chooser(f.dir.path(), "precious.gbc");
        f.Find<QAction>("mnuFileWriterom")->trigger();
        QVERIFY(chooser.ran());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    QCOMPARE(f.messages.Texts().first(), QString("File Already Exists! Overwrite?"));
    QCOMPARE(f.messages.Titles().last(), QString("Error"));
    QCOMPARE(ReadBytes(f.Path("precious.gbc")), QByteArray(1000, 0x77));
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden).filter("precious").size(), 1);  // no temporary left
#else
    QSKIP("needs a file-size limit");
#endif
}

void TestFlows::refusedProject_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("leading");  // messages before the summary ("" = any one)
    QByteArray good;
    {
        Model model;
        model.BankCount = 3;
        model.TilePal[2][9] = 4;
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (EncodeGbp(model, bytes, error)) good = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    QByteArray badVersion = good;
    badVersion[10] = 2;
    QByteArray both = badMagic;
    both[10] = 4;
    QTest::newRow("not a project") << badMagic << QStringList{kMsgNotGbp};
    QTest::newRow("another version") << badVersion << QStringList{kMsgGbpVersion};
    QTest::newRow("both") << both << QStringList{kMsgNotGbp, kMsgGbpVersion};
    QTest::newRow("cut short") << good.left(good.size() - 5) << QStringList{""};
    QTest::newRow("too short for a header") << QByteArray("DAPPL") << QStringList{""};
}

void TestFlows::refusedProject() {
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, leading);
    QVERIFY(contents.size() > 0);
    Fixture f;
    QVERIFY(f.LoadRom());
    f.model->TilePal[2][3] = 6;
    f.model->TileOffset[2] = 1;
    f.model->Pals[0][1][2] = {4, 5, 6};
    const Work before(*f.model);
    QFile file(f.Path("damaged.gbp"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    ChooseInChooser chooser(f.dir.path(), "damaged.gbp");
    f.Find<QAction>("mnuFileLoadgbp")->trigger();
    QVERIFY(chooser.ran());
    const QStringList texts = f.messages.Texts();
    QCOMPARE(texts.size(), leading.size() + 1);
    for (int i = 0; i < leading.size(); ++i)
        if (!leading[i].isEmpty()) QCOMPARE(texts[i], leading[i]);
    QCOMPARE(texts.last(), QString("Couldn't Load Gbp File!"));
    QCOMPARE(f.messages.Titles(), QStringList(texts.size(), "Error"));
    QVERIFY(Work(*f.model) == before);
    QCOMPARE(redraws.count(), 0);
}

void TestFlows::resetChanges_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestFlows::resetChanges() {
    QFETCH(bool, yes);
    Fixture f;
    QVERIFY(f.LoadRom());
    ColourSomeTiles(f);
    const Work before(*f.model);
    const TileImage image = f.model->EditedTile[2][20];
    f.messages.answers = {yes ? MessageAnswer::Yes : MessageAnswer::No};
    QSignalSpy redraws(f.window.get(), &frmMain::pageRedrawn);
    f.Find<QAction>("mnuOptReset")->trigger();
    QCOMPARE(f.messages.Texts(),
             QStringList{"Are you sure you want to remove all palette asignments and edited tiles?"});
    QCOMPARE(f.messages.Titles(), QStringList{"Query"});
    QCOMPARE(f.messages.shown.front().buttons, MessageButtons::YesNo);
    QCOMPARE(redraws.count(), yes ? 1 : 0);
    if (!yes) {
        QVERIFY(Work(*f.model) == before);
        return;
    }
    for (int b = 0; b <= f.model->BankCount; ++b)
        for (int t = 0; t < kTilesPerBank; ++t) {
            QCOMPARE(f.model->TilePal[b][t], 0);
            QVERIFY(!f.model->TileEdited[b][t]);
        }
    // Colours, offsets and the stored images stay.
    QVERIFY(f.model->Pals == before.colours);
    QVERIFY(f.model->TileOffset == before.offsets);
    QVERIFY(f.model->EditedTile[2][20] == image);
}

void TestFlows::quitQuestions_data() {
    QTest::addColumn<bool>("byClosing");  // closing the window instead of File > Exit
    QTest::addColumn<bool>("romLoaded");
    QTest::addColumn<int>("answer");      // to "Save palette and tile data?"
    QTest::addColumn<QString>("name");    // typed into the chooser ("" = Cancel)
    QTest::addColumn<int>("overwrite");   // answer to the overwrite question, if asked
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("saved");
    const int yes = int(MessageAnswer::Yes), no = int(MessageAnswer::No), cancel = int(MessageAnswer::Cancel);
    for (bool closing : {false, true}) {
        const QString how = closing ? "close: " : "exit: ";
        QTest::newRow(qPrintable(how + "no ROM")) << closing << false << -1 << "" << -1 << true << false;
        QTest::newRow(qPrintable(how + "Cancel")) << closing << true << cancel << "" << -1 << false << false;
        QTest::newRow(qPrintable(how + "No")) << closing << true << no << "" << -1 << true << false;
        QTest::newRow(qPrintable(how + "Yes, saved")) << closing << true << yes << "quit.gbp" << -1 << true << true;
        QTest::newRow(qPrintable(how + "Yes, overwrite agreed")) << closing << true << yes << "old.gbp" << yes << true << true;
        // Leaving the chooser without a file keeps the program running, for both ways out.
        QTest::newRow(qPrintable(how + "Yes, chooser cancelled")) << closing << true << yes << "" << -1 << false << false;
        QTest::newRow(qPrintable(how + "Yes, overwrite declined")) << closing << true << yes << "old.gbp" << no << false << false;
        QTest::newRow(qPrintable(how + "Yes, save fails")) << closing << true << yes << "folder.gbp" << -1 << false << false;
    }
}

void TestFlows::quitQuestions() {
    QFETCH(bool, byClosing);
    QFETCH(bool, romLoaded);
    QFETCH(int, answer);
    QFETCH(QString, name);
    QFETCH(int, overwrite);
    QFETCH(bool, ends);
    QFETCH(bool, saved);
    Fixture f;
    if (romLoaded) QVERIFY(f.LoadRom());
    WriteBytes(f.Path("old.gbp"), {0x55});
    QVERIFY(QDir(f.dir.path()).mkdir("folder.gbp"));
    if (answer >= 0) f.messages.answers.push_back(MessageAnswer(answer));
    if (overwrite >= 0) f.messages.answers.push_back(MessageAnswer(overwrite));
    QSignalSpy ended(f.window.get(), &frmMain::programEnded);

    std::unique_ptr<ChooseInChooser> chooser;
    if (answer == int(MessageAnswer::Yes)) chooser = std::make_unique<ChooseInChooser>(f.dir.path(), name);
    if (byClosing)
        f.window->close();
    else
        f.Find<QAction>("mnuFileExit")->trigger();

    if (chooser) QVERIFY(chooser.get()->ran());
    QCOMPARE(f.window->ProgramEnded(), ends);
    QCOMPARE(ended.count(), ends ? 1 : 0);
    QCOMPARE(f.window->isVisible(), !ends);
    QCOMPARE(f.messages.unscripted, 0);
    const QStringList texts = f.messages.Texts();
    if (!romLoaded) {
        QVERIFY(texts.isEmpty());
    } else {
        QCOMPARE(texts.front(), QString("Save palette and tile data?"));
        QCOMPARE(f.messages.shown.front().buttons, MessageButtons::YesNoCancel);
        QCOMPARE(f.messages.Titles().front(), QString("Query"));
    }
    if (name == "folder.gbp") QCOMPARE(f.messages.Titles().last(), QString("Error"));
    const QString savedPath = f.Path(name);
    if (saved) QVERIFY(ReadBytes(savedPath).startsWith("DAPPLIXPRJ"));
    if (name == "old.gbp" && !saved) QCOMPARE(ReadBytes(savedPath), QByteArray("\x55"));
    if (name == "quit.gbp" && !saved) QVERIFY(!QFile::exists(savedPath));
}

void TestFlows::closeWhileLockedAsksAfterwards() {
    Fixture f;
    QVERIFY(f.LoadRom());
    DragCells(f.Find<QWidget>("picTiles"), {0, 0}, {15, 15});
    int questionsDuring = -1;
    bool visibleDuring = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        f.window->close();  // while the 256 tiles are being assigned
        questionsDuring = int(f.messages.shown.size());
        visibleDuring = f.window->isVisible();
    });
    f.messages.answers = {MessageAnswer::No};
    QTest::mouseClick(f.Find<QRadioButton>("optPal2"), Qt::LeftButton);
    QCOMPARE(questionsDuring, 0);
    QVERIFY(visibleDuring);
    QCOMPARE(f.model->TilePal[2][255], 2);  // the assignment ran to its end
    QTRY_VERIFY(f.window->ProgramEnded());
    QCOMPARE(f.messages.Texts(), QStringList{"Save palette and tile data?"});
}

QTEST_MAIN(TestFlows)
#include "test_flows.moc"
