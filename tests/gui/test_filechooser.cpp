// The file chooser driven as a user drives it: typed names and the extension rule, a
// double click in the file list, the missing-file message, the overwrite question (which
// never removes the old file), cancelling, the remembered directory, the pattern and the
// drive list.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QtTest>

#include "MainWindowTestSupport.h"

using namespace dapplix;
using namespace dapplix::guitest;

namespace {

struct Outcome {
    bool chosen = false;
    QString path;
};

// Opens the chooser in dir, runs act inside it, and returns what the caller would see.
Outcome Run(frmFile& chooser, Model& model, bool saveMode, const QString& pattern, const QString& dir,
            const std::function<void(frmFile*)>& act) {
    WhenShown<frmFile> when([&](frmFile* shown) {
        if (!dir.isEmpty()) shown->OpenDirectory(dir);
        act(shown);
    });
    Outcome outcome;
    outcome.chosen = chooser.Choose(saveMode ? "Save Test" : "Load Test", pattern, saveMode);
    outcome.path = chooser.FileName();
    if (!when.ran()) qWarning("the chooser did not open");
    if (outcome.chosen != !model.FileCancelled) qWarning("Choose() and FileCancelled disagree");
    return outcome;
}

void Type(frmFile* chooser, const QString& text) {
    auto* box = chooser->findChild<QLineEdit*>("txtFileName");
    box->clear();
    QTest::keyClicks(box, text);
}

}  // namespace

class TestFileChooser : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void layout();
    void extensionRule_data();
    void extensionRule();
    void doubleClickedFile();
    void missingFileInReadMode();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void newNameAsksNothing();
    void cancelled_data();
    void cancelled();
    void remembersDirectory();
    void patternFiltersList();
    void directoryList();
    void unreadableDirectoryRefused();
    void driveList();
    void rootJoinKeepsBothSeparators();

private:
    QString base_;  // a directory whose path has no dot
    std::unique_ptr<QTemporaryDir> temp_;
};

void TestFileChooser::initTestCase() {
    temp_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/dapplixchooserXXXXXX");
    QVERIFY(temp_->isValid());
    base_ = temp_->path();
    if (base_.contains('.')) QSKIP("the temporary directory's path has a dot; the extension rule cannot be seen");
    QVERIFY(QDir(base_).mkpath("plain"));
    QVERIFY(QDir(base_).mkpath("with.dot"));
    QVERIFY(QDir(base_).mkpath("list/sub one"));
    QVERIFY(QDir(base_).mkpath("list/sub two"));
}

void TestFileChooser::layout() {
    Model model;
    frmFile chooser(model);
    const QList<std::pair<QString, QRect>> places{
        {"drvFile", QRect(0, 0, 161, 21)},       {"dirFile", QRect(0, 24, 161, 126)},
        {"filFile", QRect(168, 0, 169, 149)},    {"Label1", QRect(0, 160, 57, 17)},
        {"txtFileName", QRect(64, 160, 265, 19)}, {"cmdOkay", QRect(72, 192, 81, 25)},
        {"cmdCancel", QRect(176, 192, 81, 25)}};
    for (const auto& [name, rect] : places) {
        auto* widget = chooser.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->geometry(), rect);
    }
    QCOMPARE(chooser.size(), QSize(337, 228));
    QCOMPARE(chooser.findChild<QPushButton*>("cmdOkay")->text(), QString("&Okay"));
    QVERIFY(chooser.findChild<QPushButton*>("cmdOkay")->isDefault());
    QCOMPARE(chooser.findChild<QPushButton*>("cmdCancel")->text(), QString("&Cancel"));
    QCOMPARE(chooser.findChild<QLabel*>("Label1")->text(), QString("File Name:"));
    // On first use the chooser shows the process's current directory.
    QCOMPARE(chooser.DirectoryPath(), QDir::currentPath());
}

void TestFileChooser::extensionRule_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");  // relative to the base directory
    QTest::newRow("no dot gets .gb") << "plain" << "game" << "*.gb" << "plain/game.gb";
    QTest::newRow("no dot gets .gbp") << "plain" << "work" << "*.gbp" << "plain/work.gbp";
    QTest::newRow("no dot gets .gbc") << "plain" << "colour" << "*.gbc" << "plain/colour.gbc";
    QTest::newRow("own extension kept") << "plain" << "game.bin" << "*.gb" << "plain/game.bin";
    QTest::newRow("trailing dot kept") << "plain" << "game." << "*.gb" << "plain/game.";
    QTest::newRow("dot in the directory") << "with.dot" << "game" << "*.gb" << "with.dot/game";
}

void TestFileChooser::extensionRule() {
    QFETCH(QString, directory);
    QFETCH(QString, typed);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, true, pattern, base_ + "/" + directory, [&](frmFile* shown) {
        Type(shown, typed);
        ClickButton(shown, "cmdOkay");
    });
    QVERIFY(outcome.chosen);
    QCOMPARE(outcome.path, base_ + "/" + expected);
    QVERIFY(messages.shown.empty());
    QCOMPARE(chooser.windowTitle(), QString("Save Test"));
    QVERIFY(model.FileSaveMode);
}

void TestFileChooser::doubleClickedFile() {
    // A listed file is returned as it is: no extension logic.
    const QString dir = base_ + "/with.dot";
    WriteBytes(dir + "/listed.gb", {1, 2, 3});
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, false, "*.gb", dir, [](frmFile* shown) {
        auto* list = shown->findChild<QListWidget*>("filFile");
        const QList<QListWidgetItem*> items = list->findItems("listed.gb", Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        const QRect at = list->visualItemRect(items.front());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
        QCOMPARE(shown->FileName(), QString("listed.gb"));  // a click puts the name in the box
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at.center());
    });
    QVERIFY(outcome.chosen);
    QCOMPARE(outcome.path, dir + "/listed.gb");
    QVERIFY(messages.shown.empty());
}

void TestFileChooser::missingFileInReadMode() {
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, false, "*.gb", base_ + "/plain", [](frmFile* shown) {
        Type(shown, "nothere.gb");
        ClickButton(shown, "cmdOkay");
    });
    QVERIFY(!outcome.chosen);
    QVERIFY(model.FileCancelled);
    QCOMPARE(messages.Texts(), QStringList{"File Doesn't Exist!!!"});
    QCOMPARE(messages.Titles(), QStringList{"Error"});
    QVERIFY(!chooser.isVisible());
}

void TestFileChooser::overwriteQuestion_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestFileChooser::overwriteQuestion() {
    QFETCH(bool, yes);
    const QString file = base_ + "/plain/existing.gbp";
    WriteBytes(file, {9, 8, 7, 6});
    ScriptedMessages messages;
    messages.answers = {yes ? MessageAnswer::Yes : MessageAnswer::No};
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, true, "*.gbp", base_ + "/plain", [](frmFile* shown) {
        Type(shown, "existing");
        ClickButton(shown, "cmdOkay");
    });
    QCOMPARE(messages.Texts(), QStringList{"File Already Exists! Overwrite?"});
    QCOMPARE(messages.Titles(), QStringList{"Query"});
    QCOMPARE(messages.shown.front().buttons, MessageButtons::YesNo);
    QCOMPARE(outcome.chosen, yes);
    QCOMPARE(outcome.path, file);
    // Either way the old file is still there, whole: it is replaced only by a write that
    // succeeds, never removed in advance.
    QCOMPARE(ReadBytes(file), QByteArray("\x09\x08\x07\x06", 4));
}

void TestFileChooser::newNameAsksNothing() {
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, true, "*.gbc", base_ + "/plain", [](frmFile* shown) {
        Type(shown, "brand new.gbc");
        QTest::keyClick(shown->findChild<QLineEdit*>("txtFileName"), Qt::Key_Return);  // Enter is Okay
    });
    QVERIFY(outcome.chosen);
    QCOMPARE(outcome.path, base_ + "/plain/brand new.gbc");
    QVERIFY(messages.shown.empty());
    QVERIFY(!QFile::exists(outcome.path));  // choosing writes nothing
}

void TestFileChooser::cancelled_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Okay with no name") << "empty";
    QTest::newRow("window closed") << "close";
}

void TestFileChooser::cancelled() {
    QFETCH(QString, how);
    WriteBytes(base_ + "/plain/kept.gb", {1});
    ScriptedMessages messages;
    Model model;
    model.FileCancelled = false;  // a leftover from an earlier use
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, how == "empty", "*.gb", base_ + "/plain", [&](frmFile* shown) {
        auto* list = shown->findChild<QListWidget*>("filFile");
        list->setCurrentRow(0);  // a selected file does not count without Okay
        if (how == "cancel") ClickButton(shown, "cmdCancel");
        if (how == "escape") QTest::keyClick(shown, Qt::Key_Escape);
        if (how == "empty") {
            Type(shown, QString());
            ClickButton(shown, "cmdOkay");
        }
        if (how == "close") shown->close();
    });
    QVERIFY(!outcome.chosen);
    QVERIFY(model.FileCancelled);
    QVERIFY(messages.shown.empty());
    QVERIFY(QFile::exists(base_ + "/plain/kept.gb"));
}

void TestFileChooser::remembersDirectory() {
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    WriteBytes(base_ + "/with.dot/first.gb", {1});
    Run(chooser, model, false, "*.gb", base_ + "/with.dot", [](frmFile* shown) {
        Type(shown, "first.gb");
        ClickButton(shown, "cmdOkay");
    });
    QString shownDir, shownName;
    const Outcome second = Run(chooser, model, false, "*.gb", QString(), [&](frmFile* shown) {
        shownDir = shown->DirectoryPath();
        shownName = shown->FileName();
        ClickButton(shown, "cmdCancel");
    });
    QCOMPARE(shownDir, base_ + "/with.dot");
    QCOMPARE(shownName, QString());
    QVERIFY(!second.chosen);
}

void TestFileChooser::patternFiltersList() {
    const QString dir = base_ + "/list";
    for (const char* name : {"a.gb", "B.GB", "c.gbc", "d.gbp", "e.gb.bak", ".hidden.gb"}) WriteBytes(dir + "/" + name, {0});
    Model model;
    frmFile chooser(model);
    QVERIFY(chooser.OpenDirectory(dir));
    auto* list = chooser.findChild<QListWidget*>("filFile");
    auto names = [&] {
        QStringList all;
        for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
        return all;
    };
    chooser.SetPattern("*.gb");
    QCOMPARE(names(), (QStringList{"a.gb", "B.GB"}));
    chooser.SetPattern("*.gbp");
    QCOMPARE(names(), QStringList{"d.gbp"});
    QCOMPARE(chooser.FileListPath(), dir);
}

void TestFileChooser::directoryList() {
    Model model;
    frmFile chooser(model);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QVERIFY(chooser.OpenDirectory(base_ + "/list"));
    auto* tree = chooser.findChild<QTreeWidget*>("dirFile");
    // The shown directory is the current item, with its subdirectories below it.
    QTreeWidgetItem* current = tree->currentItem();
    QVERIFY(current);
    QCOMPARE(current->text(0), QString("list"));
    QCOMPARE(current->childCount(), 2);
    QCOMPARE(current->child(0)->text(0), QString("sub one"));
    // Its ancestors lead up to the root.
    int depth = 0;
    for (QTreeWidgetItem* up = current; up->parent(); up = up->parent()) ++depth;
    QCOMPARE(depth, QDir::cleanPath(base_ + "/list").count('/'));
    // A double click opens a subdirectory; Enter on the highlighted parent goes back up.
    const QPoint subTwo = tree->visualItemRect(current->child(1)).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, subTwo);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, subTwo);
    QTRY_COMPARE(chooser.DirectoryPath(), base_ + "/list/sub two");
    QCOMPARE(chooser.FileListPath(), base_ + "/list/sub two");
    tree->setCurrentItem(tree->currentItem()->parent());
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(chooser.DirectoryPath(), base_ + "/list");
    QVERIFY(chooser.isVisible());  // Enter in the list did not press Okay
    QVERIFY(model.FileCancelled);
}

void TestFileChooser::unreadableDirectoryRefused() {
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    QVERIFY(chooser.OpenDirectory(base_ + "/plain"));
    QVERIFY(!chooser.OpenDirectory(base_ + "/no such folder"));
    QCOMPARE(messages.Titles(), QStringList{"Error"});
    QVERIFY(messages.Texts().front().contains("no such folder"));
    QCOMPARE(chooser.DirectoryPath(), base_ + "/plain");
}

void TestFileChooser::driveList() {
    Model model;
    frmFile chooser(model);
    QVERIFY(chooser.OpenDirectory(base_));
    const QStringList roots = chooser.DriveRoots();
    QVERIFY(!roots.isEmpty());
#ifndef Q_OS_WIN
    QVERIFY(roots.contains("/"));
#endif
    auto* drives = chooser.findChild<QComboBox*>("drvFile");
    QCOMPARE(drives->count(), roots.size());
    // The drive shown is the mount point that holds the directory.
    const QString current = drives->currentData().toString();
    QVERIFY2(base_.startsWith(QDir::cleanPath(current)) || current == "/", qPrintable(current));
    // Picking the root drive shows the root in both lists.
    const int root = drives->findData(QDir::rootPath());
    QVERIFY(root >= 0);
    drives->setCurrentIndex(root);
    emit drives->activated(root);
    QTRY_COMPARE(chooser.DirectoryPath(), QDir::rootPath());
    QCOMPARE(chooser.FileListPath(), QDir::rootPath());
}

void TestFileChooser::rootJoinKeepsBothSeparators() {
#ifdef Q_OS_WIN
    QSKIP("the root of a drive is checked on other platforms");
#endif
    ScriptedMessages messages;
    Model model;
    frmFile chooser(model);
    const Outcome outcome = Run(chooser, model, true, "*.gbp", "/", [](frmFile* shown) {
        Type(shown, "dapplix_no_such_file");
        ClickButton(shown, "cmdOkay");
    });
    QVERIFY(outcome.chosen);
    QCOMPARE(outcome.path, QString("//dapplix_no_such_file.gbp"));
}

QTEST_MAIN(TestFileChooser)
#include "test_filechooser.moc"
