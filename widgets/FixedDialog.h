// The frame every dialog of the program shares: a modal box of one fixed size, named for
// the tests, with a close button unless it closes by itself, whose per-use state is reset
// each time it is opened.
#pragma once

#include <QDialog>

namespace dapplix {

class FixedDialog : public QDialog {
public:
    FixedDialog(QWidget* parent, const char* objectName, int width, int height, bool closeButton = true);

protected:
    // Runs each time the dialog is opened: the opener has set the hand-over values by then.
    // Restoring a minimised window is not an opening and keeps what the user chose.
    virtual void Form_Activate() {}
    void showEvent(QShowEvent* event) override;
};

}  // namespace dapplix
