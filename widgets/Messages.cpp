#include "widgets/Messages.h"

#include <QMessageBox>

namespace dapplix {

namespace {

class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(QWidget* parent, MessageKind kind, const QString& title, const QString& text,
                       MessageButtons buttons) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (kind) {
        case MessageKind::Information: icon = QMessageBox::Information; break;
        case MessageKind::Error: icon = QMessageBox::Warning; break;
        case MessageKind::Question: icon = QMessageBox::Question; break;
        case MessageKind::Fatal: icon = QMessageBox::Critical; break;
        }
        QMessageBox box(icon, title, QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                        QMessageBox::NoButton, parent);
        switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes: return MessageAnswer::Yes;
        case QMessageBox::No: return MessageAnswer::No;
        case QMessageBox::Cancel: return MessageAnswer::Cancel;
        default:
            if (buttons == MessageButtons::YesNoCancel) return MessageAnswer::Cancel;
            if (buttons == MessageButtons::YesNo) return MessageAnswer::No;
            return MessageAnswer::Ok;
        }
    }
};

QtMessageBoxes& RealBoxes() {
    static QtMessageBoxes boxes;
    return boxes;
}

MessageBoxes* current = nullptr;

}  // namespace

MessageBoxes& Messages() { return current ? *current : RealBoxes(); }

MessageBoxes* SetMessages(MessageBoxes* boxes) {
    MessageBoxes* previous = current ? current : &RealBoxes();
    current = (boxes == &RealBoxes()) ? nullptr : boxes;
    return previous;
}

void ShowError(QWidget* parent, const QString& text) {
    Messages().Show(parent, MessageKind::Error, QString::fromLatin1(kTitleError), text, MessageButtons::Ok);
}

MessageAnswer AskQuery(QWidget* parent, const QString& text, MessageButtons buttons) {
    return Messages().Show(parent, MessageKind::Question, QString::fromLatin1(kTitleQuery), text, buttons);
}

}  // namespace dapplix
