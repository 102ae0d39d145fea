// The window set-up every dialog of the program shares: a modal box of one fixed size,
// named for the tests, with a close button unless it closes by itself.
#pragma once

#include <QDialog>

namespace dapplix {

inline void SetUpFixedDialog(QDialog& dialog, const char* objectName, int width, int height,
                             bool closeButton = true) {
    dialog.setObjectName(objectName);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (closeButton) flags |= Qt::WindowCloseButtonHint;
    dialog.setWindowFlags(flags);
    dialog.setFixedSize(width, height);
    dialog.setModal(true);
}

}  // namespace dapplix
