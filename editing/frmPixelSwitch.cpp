#include "editing/frmPixelSwitch.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "widgets/TileViewHost.h"
#include "widgets/ViewCanvas.h"

namespace dapplix {

namespace {

constexpr int kClientWidth = 152;
constexpr int kClientHeight = 111;
constexpr int kChoiceSide = 17;  // picLeft and picRight
constexpr int kColourCell = 24;  // one colour of picCols

}  // namespace

frmPixelSwitch::frmPixelSwitch(Model& model, ViewState& view, TileViewHost& host, QWidget* parent)
    : FixedDialog(parent, "frmPixelSwitch", kClientWidth, kClientHeight), model_(model), view_(view), host_(host) {
    // The controls read as one sentence: Switch [first colour] and [second colour].
    Label1 = new QLabel("Switch", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 8, 41, 17);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    picLeft = AddCanvas(this, "picLeft", 56, 8, kChoiceSide, kChoiceSide);

    Label2 = new QLabel("and", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(80, 8, 33, 17);
    Label2->setAlignment(Qt::AlignCenter);

    picRight = AddCanvas(this, "picRight", 120, 8, kChoiceSide, kChoiceSide);

    picCols = AddCanvas(this, "picCols", 24, 40, 4 * kColourCell, kColourCell);
    picCols->setToolTip("Click with the left button for the first colour, with another button for the second");
    picker_ = std::make_unique<ColourPicker>(picCols, /*horizontal=*/true, kColourCell, [this] { UpdateCols(); });

    cmdOkay = new QPushButton("&Okay", this);
    cmdOkay->setObjectName("cmdOkay");
    cmdOkay->setGeometry(8, 80, 65, 25);
    cmdOkay->setDefault(true);

    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(80, 80, 65, 25);

    connect(cmdOkay, &QPushButton::clicked, this, [this] { cmdOkay_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QRgb frmPixelSwitch::Colour(int index) const { return ScreenColour(model_, view_, index, view_.SwitchPal); }

void frmPixelSwitch::Form_Activate() {
    picker_->Reset([this](int i) { return Colour(i); });
    UpdateCols();
    cmdOkay->setFocus();
}

void frmPixelSwitch::UpdateCols() {
    picLeft->FillRect(0, 0, kChoiceSide - 1, kChoiceSide - 1, Colour(picker_->LeftCol));
    picRight->FillRect(0, 0, kChoiceSide - 1, kChoiceSide - 1, Colour(picker_->RightCol));
}

void frmPixelSwitch::keyPressEvent(QKeyEvent* event) {
    if (picker_->PickByKey(event->key(), event->modifiers())) {
        UpdateCols();
        return;
    }
    FixedDialog::keyPressEvent(event);
}

void frmPixelSwitch::cmdOkay_Click() {
    // Hidden first: the work shows itself in the main window, tile by tile.
    accept();
    host_.SwitchPixels(picker_->LeftCol, picker_->RightCol);
}

}  // namespace dapplix
