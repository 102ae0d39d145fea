#include "view/frmScanROM.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>

#include "view/FixedDialog.h"
#include "view/Messages.h"

namespace dapplix {

frmScanROM::frmScanROM(Model& model, QWidget* parent) : QDialog(parent), model_(model) {
    // No close button: the window goes away by itself when the scan is done.
    SetUpFixedDialog(*this, "frmScanROM", 208, 45, /*closeButton=*/false);
    setWindowTitle(QString());

    lblScanning = new QLabel(kMsgScanning, this);
    lblScanning->setObjectName("lblScanning");
    lblScanning->setGeometry(0, 4, 209, 17);
    lblScanning->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    prbScan = new QProgressBar(this);
    prbScan->setObjectName("prbScan");
    prbScan->setGeometry(8, 24, 193, 17);
    prbScan->setRange(kProgressStart, kProgressEnd);
    prbScan->setValue(kProgressStart);
    prbScan->setTextVisible(false);
}

void frmScanROM::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!scanning_) {
        scanning_ = true;
        // Started from the dialog's own event loop, so the window is on screen first.
        QTimer::singleShot(0, this, [this] { RunScan(); });
    }
}

void frmScanROM::RunScan() {
    prbScan->setValue(kProgressStart);
    result_ = ScanRom(model_, [this](int value) {
        prbScan->setValue(value);
        QCoreApplication::processEvents();
    });
    if (result_.notEnoughRoom)
        Messages().Show(this, MessageKind::Error, QString::fromLatin1(kTitleError), QString::fromLatin1(kMsgNotEnoughRoom),
                        MessageButtons::Ok);
    scanning_ = false;
    accept();
}

void frmScanROM::reject() {
    if (!scanning_) QDialog::reject();
}

void frmScanROM::closeEvent(QCloseEvent* event) {
    if (scanning_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace dapplix
