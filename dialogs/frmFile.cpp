#include "dialogs/frmFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

#include "engine/Files.h"
#include "widgets/Messages.h"

namespace dapplix {

namespace {

constexpr int kPathRole = Qt::UserRole;

// Root and mount-point paths end in a separator; other directories do not.
bool SamePath(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
#else
    return QDir::cleanPath(a) == QDir::cleanPath(b);
#endif
}

// Whether directory lies on the file system mounted at root.
bool IsUnder(const QString& directory, const QString& root) {
    const QString dir = QDir::cleanPath(directory);
    QString base = QDir::cleanPath(root);
    if (SamePath(dir, base)) return true;
    if (!base.endsWith('/')) base += '/';
#ifdef Q_OS_WIN
    return dir.startsWith(base, Qt::CaseInsensitive);
#else
    return dir.startsWith(base);
#endif
}

}  // namespace

frmFile::frmFile(QWidget* parent) : FixedDialog(parent, "frmFile", 337, 228) {

    drvFile = new QComboBox(this);
    drvFile->setObjectName("drvFile");
    drvFile->setGeometry(0, 0, 161, 21);

    dirFile = new QTreeWidget(this);
    dirFile->setObjectName("dirFile");
    dirFile->setGeometry(0, 24, 161, 126);
    dirFile->setHeaderHidden(true);
    dirFile->setColumnCount(1);
    dirFile->setIndentation(10);
    dirFile->setRootIsDecorated(false);
    dirFile->setItemsExpandable(false);
    dirFile->setExpandsOnDoubleClick(false);
    dirFile->installEventFilter(this);

    filFile = new QListWidget(this);
    filFile->setObjectName("filFile");
    filFile->setGeometry(168, 0, 169, 149);

    Label1 = new QLabel("File Name:", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(0, 160, 57, 17);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    txtFileName = new QLineEdit(this);
    txtFileName->setObjectName("txtFileName");
    txtFileName->setGeometry(64, 160, 265, 19);
    Label1->setBuddy(txtFileName);

    cmdOkay = new QPushButton("&Okay", this);
    cmdOkay->setObjectName("cmdOkay");
    cmdOkay->setGeometry(72, 192, 81, 25);
    cmdOkay->setDefault(true);
    cmdOkay->setAutoDefault(true);

    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(176, 192, 81, 25);
    cmdCancel->setAutoDefault(false);

    setTabOrder(drvFile, dirFile);
    setTabOrder(dirFile, filFile);
    setTabOrder(filFile, txtFileName);
    setTabOrder(txtFileName, cmdOkay);
    setTabOrder(cmdOkay, cmdCancel);

    // Both lists are rebuilt when a drive or directory is picked; the rebuild waits until
    // the list that reported the pick has finished handling the click.
    connect(drvFile, &QComboBox::activated, this, [this](int index) { drvFile_Change(index); }, Qt::QueuedConnection);
    connect(dirFile, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString path = item->data(0, kPathRole).toString();
        QMetaObject::invokeMethod(this, [this, path] { OpenDirectory(path); }, Qt::QueuedConnection);
    });
    connect(filFile, &QListWidget::itemSelectionChanged, this, [this] { filFile_Click(); });
    connect(filFile, &QListWidget::itemClicked, this, [this] { filFile_Click(); });
    connect(filFile, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { filFile_DblClick(item); });
    connect(cmdOkay, &QPushButton::clicked, this, [this] { cmdOkay_Click(); });
    // Cancel and the window's close box leave FileCancelled as activation set it: true.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The first use shows the process's current directory.
    dirPath_ = QDir::currentPath();
    filePath_ = dirPath_;
    FillDrives();
    FillDirectories();
    FillFiles();
}

bool frmFile::Choose(const QString& title, const QString& pattern, bool saveMode) {
    setWindowTitle(title);
    SetPattern(pattern);
    FileSaveMode = saveMode;
    exec();
    return !FileCancelled;
}

QString frmFile::FileName() const { return txtFileName->text(); }

void frmFile::SetPattern(const QString& pattern) {
    pattern_ = pattern;
    FillFiles();
}

void frmFile::Form_Activate() {
    FileCancelled = true;
    txtFileName->clear();
    // The lists stay where they were last time, but show what is there now: a file
    // written since then appears, and a folder that has gone gives way to its parent.
    QDir dir(dirPath_);
    while (!dir.exists() && dir.cdUp()) {
    }
    dirPath_ = dir.absolutePath();
    filePath_ = dirPath_;
    FillDrives();
    FillDirectories();
    FillFiles();
    txtFileName->setFocus();
}

QStringList frmFile::DriveRoots() const {
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives()) roots << drive.absoluteFilePath();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Mounts of single files (containers bind-mount a few) are not places to browse.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    }
    QStringList unique;
    for (const QString& root : roots)
        if (std::none_of(unique.begin(), unique.end(), [&](const QString& u) { return SamePath(u, root); }))
            unique << root;
    std::sort(unique.begin(), unique.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return unique;
}

void frmFile::FillDrives() {
    const QStringList roots = DriveRoots();
    drvFile->clear();
    int current = -1;
    int longest = -1;
    for (int i = 0; i < roots.size(); ++i) {
        drvFile->addItem(QDir::toNativeSeparators(roots[i]), roots[i]);
        // The drive of the shown directory is the deepest mount point that holds it.
        if (IsUnder(dirPath_, roots[i]) && roots[i].size() > longest) {
            longest = static_cast<int>(roots[i].size());
            current = i;
        }
    }
    drvFile->setCurrentIndex(current);
}

void frmFile::drvFile_Change(int index) {
    const QString root = drvFile->itemData(index).toString();
    if (!OpenDirectory(root)) FillDrives();  // back to the drive still shown
}

bool frmFile::OpenDirectory(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isReadable() || !QDir(path).isReadable()) {
        ShowError(this, QString("Couldn't open the folder %1.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    dirPath_ = QDir(path).absolutePath();
    dirFile_Change();
    return true;
}

void frmFile::dirFile_Change() {
    filePath_ = dirPath_;
    FillDrives();
    FillDirectories();
    FillFiles();
}

void frmFile::FillDirectories() {
    dirFile->clear();
    QStringList chain;
    QDir walker(dirPath_);
    chain.prepend(walker.absolutePath());
    while (walker.cdUp()) chain.prepend(walker.absolutePath());

    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parent = nullptr;
    for (const QString& path : chain) {
        const QString name = QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* item = parent ? new QTreeWidgetItem(parent, QStringList(name)) : new QTreeWidgetItem(dirFile, QStringList(name));
        item->setIcon(0, open);
        item->setData(0, kPathRole, path);
        item->setExpanded(true);
        parent = item;
    }
    const QFileInfoList children =
        QDir(dirPath_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& child : children) {
        auto* item = new QTreeWidgetItem(parent, QStringList(child.fileName()));
        item->setIcon(0, closed);
        item->setData(0, kPathRole, child.absoluteFilePath());
    }
    if (parent) {
        parent->setExpanded(true);
        dirFile->setCurrentItem(parent);
        dirFile->scrollToItem(parent);
    }
}

void frmFile::FillFiles() {
    filFile->clear();
    // Name filters match regardless of case, so GAME.GB is listed under "*.gb".
    // Regular files only: a FIFO, socket or device cannot be a ROM or project, and
    // reading one could wait for ever.
    const QStringList names =
        QDir(filePath_).entryList(pattern_.split(';'), QDir::Files, QDir::Name | QDir::IgnoreCase);
    filFile->addItems(names);
}

void frmFile::filFile_Click() {
    const QListWidgetItem* item = filFile->currentItem();
    if (item && item->isSelected()) txtFileName->setText(item->text());
}

void frmFile::filFile_DblClick(QListWidgetItem* item) {
    if (!item) return;
    txtFileName->setText(JoinShownPath(filePath_, item->text()));
    frmFileReturn();
}

QString frmFile::JoinShownPath(const QString& directory, const QString& name) const {
    // The name is always taken as a name inside the directory: directory, separator,
    // name, even when the directory is a root that already ends in a separator.
    return QDir::toNativeSeparators(directory) + QDir::separator() + name;
}

void frmFile::cmdOkay_Click() {
    QString text = txtFileName->text();
    if (text.isEmpty()) {
        reject();
        return;
    }
    // A whole path typed in is taken as it is; a name is a name in the shown folder.
    if (!QDir::isAbsolutePath(text)) text = JoinShownPath(dirPath_, text);
    // A name with no dot anywhere gets the (first) pattern's extension (".gb" from "*.gb").
    if (!QFileInfo(text).fileName().contains('.')) text += pattern_.section(';', 0, 0).mid(1);
    txtFileName->setText(text);
    frmFileReturn();
}

void frmFile::frmFileReturn() {
    // The engine's own checks, as every reader and writer makes them: nothing that is
    // not a regular file is opened (a FIFO would hang the program) or replaced.
    const std::string chosen = QFile::encodeName(txtFileName->text()).toStdString();
    std::string refused;
    const bool exists = FileExist(chosen, &refused);
    if (FileSaveMode && !CheckOutputTarget(chosen, {}, refused)) {
        ShowError(this, QString::fromStdString(refused));
    } else if (!FileSaveMode && !refused.empty()) {
        ShowError(this, QString::fromStdString(refused));
    } else if (FileSaveMode) {
        if (exists) {
            // The old file stays where it is: the write that follows replaces it only
            // once the new file is complete, and leaves it intact when the write fails.
            if (AskQuery(this, kMsgOverwrite, MessageButtons::YesNo) == MessageAnswer::Yes)
                FileCancelled = false;
        } else {
            FileCancelled = false;
        }
    } else {
        if (exists)
            FileCancelled = false;
        else
            ShowError(this, kMsgFileMissing);
    }
    if (FileCancelled)
        reject();
    else
        accept();
}

bool frmFile::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the directory list opens the highlighted directory; it must not reach
    // the default button, which would take the empty name as a cancel.
    if (watched == dirFile && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (QTreeWidgetItem* item = dirFile->currentItem()) OpenDirectory(item->data(0, kPathRole).toString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dapplix
