#include "widgets/FixedDialog.h"

#include <QShowEvent>

namespace dapplix {

FixedDialog::FixedDialog(QWidget* parent, const char* objectName, int width, int height, bool closeButton)
    : QDialog(parent) {
    setObjectName(objectName);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (closeButton) flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setFixedSize(width, height);
    setModal(true);
    setWindowTitle(QString());
}

void FixedDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) Form_Activate();
}

}  // namespace dapplix
