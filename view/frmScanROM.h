// The small modal window that shows the ROM scan's progress. Showing it runs the scan;
// it closes itself when the scan is done. The scan cannot be cancelled: it patches
// bank 0 in place, and half a patch would leave a ROM that cannot be written.
#pragma once

#include <QDialog>

#include "engine/Binary.h"
#include "engine/Scan.h"

class QLabel;
class QProgressBar;

namespace dapplix {

inline constexpr const char* kMsgScanning = "Scanning ROM.. This may take a minute";

class frmScanROM : public QDialog {
    Q_OBJECT
public:
    explicit frmScanROM(Model& model, QWidget* parent = nullptr);

    // What the last scan found.
    const ScanResult& LastResult() const { return result_; }

public slots:
    void reject() override;  // Esc does nothing while the scan runs

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void RunScan();

    Model& model_;
    bool scanning_ = false;
    ScanResult result_;
    QLabel* lblScanning = nullptr;
    QProgressBar* prbScan = nullptr;
};

}  // namespace dapplix
