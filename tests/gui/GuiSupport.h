// What the widget tests share: message boxes recorded and answered from a script, dialogs
// driven from inside their own event loop, children by objectName, mouse events in a picture.
#pragma once

#include <QTest>
#include <QtWidgets>

#include <functional>

#include "widgets/Messages.h"
#include "widgets/ViewCanvas.h"

namespace dapplix::testing {

// Records every box as "Title: text"; questions are answered from a list, else No/Cancel.
struct ScriptedMessages final : MessageBoxes {
    ScriptedMessages() : previous(SetMessages(this)) {}
    ~ScriptedMessages() override { SetMessages(previous); }
    MessageAnswer Show(QWidget*, MessageKind, const QString& title, const QString& text, MessageButtons b) override {
        log << title + ": " + text;
        if (!answers.isEmpty()) return answers.takeFirst();
        return b == MessageButtons::Ok ? MessageAnswer::Ok : b == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
    MessageBoxes* previous;
    QStringList log;
    QList<MessageAnswer> answers;
};

// Runs act on the dialog of type T once it is up, from inside its own event loop.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<T*>(widget); dialog && dialog->isVisible()) {
                timer->deleteLater();
                timer->stop();
                return act(dialog);
            }
    });
    timer->start(10);
}

template <typename T>
T* Child(QWidget* parent, const char* name) { return parent->findChild<T*>(name); }

// A mouse event at a picture position of a drawing area.
inline void Mouse(ViewCanvas* area, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at = QPointF(pos * area->Zoom() + area->ImageOrigin());
    QMouseEvent event(type, at, area->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}

}  // namespace dapplix::testing
