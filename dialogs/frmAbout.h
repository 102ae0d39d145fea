// The About box: product name, version, author and contact, and one button to close it.
#pragma once

#include "widgets/FixedDialog.h"

class QLabel;
class QPushButton;

namespace dapplix {

class frmAbout : public FixedDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

private:
    QLabel* lblProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblAuthor = nullptr;
    QLabel* lblContact = nullptr;
    QPushButton* cmdOkay = nullptr;
};

}  // namespace dapplix
