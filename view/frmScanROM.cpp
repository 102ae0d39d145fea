#include "view/frmScanROM.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "engine/Scan.h"

namespace dapplix {

frmScanROM::frmScanROM(QWidget* parent)
    // No close button: the window goes away by itself when the scan is done.
    : FixedDialog(parent, "frmScanROM", 208, 45, /*closeButton=*/false) {
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

void frmScanROM::Begin() {
    scanning_ = true;
    prbScan->setValue(kProgressStart);
    open();
    QCoreApplication::processEvents();  // on screen before the first step
}

void frmScanROM::SetProgress(int value) {
    prbScan->setValue(value);
    QCoreApplication::processEvents();
}

void frmScanROM::Finish() {
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
