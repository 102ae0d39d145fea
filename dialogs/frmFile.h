// The program's own file chooser: a drive list, a directory list, a file list filtered by
// one pattern, and a name box. It picks an existing file to read, or a file to write
// (asking before an existing one is replaced). The caller reads FileCancelled and, when
// it is false, the chosen full path from the name box.
//
// It never deletes anything: the program's writers replace a file only once the new
// one is complete, so an old file survives a write that fails.
#pragma once

#include <QString>

#include "widgets/FixedDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace dapplix {

inline constexpr const char* kMsgOverwrite = "File Already Exists! Overwrite?";
inline constexpr const char* kMsgFileMissing = "File Doesn't Exist!!!";

class frmFile : public FixedDialog {
    Q_OBJECT
public:
    explicit frmFile(QWidget* parent = nullptr);

    // The whole use by a caller: title, pattern ("*.gb", or several: "*.pal;*.gpl"), mode,
    // shown modally. Returns true when a file was chosen; its full path is then FileName().
    // A whole path typed into the name box is taken as it is.
    bool Choose(const QString& title, const QString& pattern, bool saveMode);

    QString FileName() const;  // the text of txtFileName
    QString Pattern() const { return pattern_; }
    void SetPattern(const QString& pattern);

    // The directory shown (dirFile's path) and the one whose files are listed.
    QString DirectoryPath() const { return dirPath_; }
    QString FileListPath() const { return filePath_; }

    // Opens a directory as a double click in the directory list does; a directory that
    // cannot be read is refused with a message and the lists stay where they were.
    bool OpenDirectory(const QString& path);

    // The entries of the drive list: file-system roots and mount points.
    QStringList DriveRoots() const;

    // Hand-over values: the mode the opener asked for, and whether the user left without a file.
    bool FileSaveMode = false;
    bool FileCancelled = true;

protected:
    void Form_Activate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drvFile_Change(int index);
    void dirFile_Change();
    void filFile_Click();
    void filFile_DblClick(QListWidgetItem* item);
    void cmdOkay_Click();
    void frmFileReturn();

    void FillDrives();
    void FillDirectories();
    void FillFiles();
    QString JoinShownPath(const QString& directory, const QString& name) const;

    QString dirPath_;   // dirFile's Path
    QString filePath_;  // filFile's Path
    QString pattern_ = QStringLiteral("*.*");

    QComboBox* drvFile = nullptr;
    QTreeWidget* dirFile = nullptr;
    QListWidget* filFile = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* cmdOkay = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace dapplix
