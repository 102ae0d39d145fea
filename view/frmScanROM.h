// The small modal window that shows the ROM scan's progress while a ROM opens. The scan
// cannot be cancelled: it patches bank 0 in place, and half a patch would leave a ROM
// that cannot be written, so the window ignores Esc and its frame until it is finished.
#pragma once

#include "widgets/FixedDialog.h"

class QLabel;
class QProgressBar;

namespace dapplix {

inline constexpr const char* kMsgScanning = "Scanning ROM.. This may take a minute";

class frmScanROM : public FixedDialog {
    Q_OBJECT
public:
    explicit frmScanROM(QWidget* parent = nullptr);

    void Begin();                 // shows the window with an empty bar
    void SetProgress(int value);  // moves the bar and lets the window repaint
    void Finish();                // closes the window

public slots:
    void reject() override;  // Esc does nothing while the scan runs

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool scanning_ = false;
    QLabel* lblScanning = nullptr;
    QProgressBar* prbScan = nullptr;
};

}  // namespace dapplix
