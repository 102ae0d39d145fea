#include "widgets/AppFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace dapplix {

void UseCompactFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"MS Shell Dlg 2", "DejaVu Sans Condensed", "Liberation Sans Narrow", "Nimbus Sans"}) {
        if (families.contains(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setPointSizeF(8.0);
            QApplication::setFont(font);
            return;
        }
    }
    QFont font = QApplication::font();
    font.setPointSizeF(8.0);
    QApplication::setFont(font);
}

}  // namespace dapplix
