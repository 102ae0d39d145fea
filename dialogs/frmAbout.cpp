#include "dialogs/frmAbout.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>


namespace dapplix {

namespace {
#ifdef DAPPLIX_VERSION
constexpr const char* kVersion = DAPPLIX_VERSION;
#else
constexpr const char* kVersion = "unknown";
#endif

QLabel* MakeLine(QWidget* parent, const char* name, const QString& text, int y, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(8, y, 224, height);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}
}  // namespace

frmAbout::frmAbout(QWidget* parent) : FixedDialog(parent, "frmAbout", 240, 152) {
    setWindowTitle("About Dapplix");

    lblProduct = MakeLine(this, "lblProduct", "Dapplix", 8, 28);
    QFont big = lblProduct->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblProduct->setFont(big);
    lblVersion = MakeLine(this, "lblVersion", QString("Version %1").arg(kVersion), 40, 17);
    lblAuthor = MakeLine(this, "lblAuthor", "Written by the Dapplix developers", 62, 17);
    lblContact = MakeLine(this, "lblContact", "Questions and bug reports: the project's issue tracker", 80, 34);
    lblContact->setWordWrap(true);

    cmdOkay = new QPushButton("&Okay", this);
    cmdOkay->setObjectName("cmdOkay");
    cmdOkay->setGeometry(80, 120, 81, 25);
    cmdOkay->setDefault(true);
    connect(cmdOkay, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace dapplix
