// Every message box of the window program goes through one small interface, so that the
// wording and order of the boxes can be checked and answered by widget tests without a
// modal loop blocking them. The program itself uses real QMessageBoxes.
#pragma once

#include <QString>

class QWidget;

namespace dapplix {

enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };
enum class MessageKind { Information, Error, Question, Fatal };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the button the user chose; closing a box with Esc or
    // its frame counts as Cancel (Yes/No/Cancel), No (Yes/No) or Ok (Ok).
    virtual MessageAnswer Show(QWidget* parent, MessageKind kind, const QString& title,
                               const QString& text, MessageButtons buttons) = 0;
};

// The boxes in use; QMessageBox-based unless a replacement has been installed.
MessageBoxes& Messages();

// Installs a replacement (nullptr restores the QMessageBox one) and returns the previous.
MessageBoxes* SetMessages(MessageBoxes* boxes);

// The program's three kinds of box.
inline constexpr const char* kTitleError = "Error";
inline constexpr const char* kTitleQuery = "Query";
inline constexpr const char* kTitleFatal = "Fatal Error";

void ShowError(QWidget* parent, const QString& text);
MessageAnswer AskQuery(QWidget* parent, const QString& text, MessageButtons buttons);

}  // namespace dapplix
