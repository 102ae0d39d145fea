#include "project/frmEditCol.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "widgets/ViewCanvas.h"

namespace dapplix {

namespace {

constexpr int kClientWidth = 224;
constexpr int kClientHeight = 152;
constexpr int kComponentMax = 31;  // Game Boy Color components are 5 bits
constexpr int kLargeStep = 8;

QSlider* MakeComponentSlider(QWidget* parent, const char* name, int y) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setGeometry(48, y, 124, 17);
    slider->setRange(0, kComponentMax);
    slider->setSingleStep(1);
    slider->setPageStep(kLargeStep);
    return slider;
}

QSpinBox* MakeComponentBox(QWidget* parent, const char* name, QSlider* slider, int y) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setGeometry(176, y - 2, 44, 21);
    box->setRange(0, kComponentMax);
    // Slider and box move together; setting the value each already has stops the echo.
    QObject::connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
    QObject::connect(box, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    return box;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, int y) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(8, y, 40, 17);
    return label;
}

}  // namespace

frmEditCol::frmEditCol(Model& model, ViewState& view, QWidget* parent)
    : FixedDialog(parent, "frmEditCol", kClientWidth, kClientHeight), model_(model), view_(view) {

    picEditCol = AddCanvas(this, "picEditCol", 8, 8, 29, 21);

    lblCol = new QLabel(this);
    lblCol->setObjectName("lblCol");
    lblCol->setGeometry(48, 12, 177, 17);

    MakeCaption(this, "Red:", 40)->setObjectName("lblRed");
    sldRed = MakeComponentSlider(this, "sldRed", 40);
    MakeCaption(this, "Green:", 64)->setObjectName("lblGreen");
    sldGreen = MakeComponentSlider(this, "sldGreen", 64);
    MakeCaption(this, "Blue:", 88)->setObjectName("lblBlue");
    sldBlue = MakeComponentSlider(this, "sldBlue", 88);
    spnRed = MakeComponentBox(this, "spnRed", sldRed, 40);
    spnGreen = MakeComponentBox(this, "spnGreen", sldGreen, 64);
    spnBlue = MakeComponentBox(this, "spnBlue", sldBlue, 88);

    cmdOkay = new QPushButton("&Okay", this);
    cmdOkay->setObjectName("cmdOkay");
    cmdOkay->setGeometry(24, 120, 73, 25);
    cmdOkay->setDefault(true);

    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(128, 120, 73, 25);
    // Escape already rejects a QDialog; the button does the same.

    for (QSlider* slider : {sldRed, sldGreen, sldBlue})
        connect(slider, &QSlider::valueChanged, this, [this] { RefreshEditCol(); });
    connect(cmdOkay, &QPushButton::clicked, this, [this] { cmdOkay_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmEditCol::Form_Activate() {
    EditSet = view_.CurPalSet == kSpriteSet ? kSpriteSet : kBackgroundSet;
    EditPalette = std::clamp<int>(view_.EditPal, 0, kPalettes - 1);
    EditColour = std::clamp<int>(view_.EditCol, 0, kColours - 1);

    lblCol->setText(QString("%1 Palette %2, Color %3")
                        .arg(EditSet == kSpriteSet ? "Sprite" : "Background")
                        .arg(EditPalette)
                        .arg(EditColour));

    const auto& colour = model_.Pals[EditSet][EditPalette][EditColour];
    sldRed->setValue(colour[0]);
    sldGreen->setValue(colour[1]);
    sldBlue->setValue(colour[2]);
    // A slider already at the value sends nothing; the boxes are set as well.
    spnRed->setValue(colour[0]);
    spnGreen->setValue(colour[1]);
    spnBlue->setValue(colour[2]);
    RefreshEditCol();
    // Arrow and page keys move a component at once; Enter is still Okay.
    sldRed->setFocus();
}

void frmEditCol::RefreshEditCol() {
    const int scale = view_.ColorScale;
    PreviewCol = qRgb(sldRed->value() * scale, sldGreen->value() * scale, sldBlue->value() * scale);
    const QImage& picture = picEditCol->image();
    picEditCol->FillRect(0, 0, picture.width() - 1, picture.height() - 1, PreviewCol);
    sldRed->setToolTip(QString("Red: %1 of %2").arg(sldRed->value()).arg(kComponentMax));
    sldGreen->setToolTip(QString("Green: %1 of %2").arg(sldGreen->value()).arg(kComponentMax));
    sldBlue->setToolTip(QString("Blue: %1 of %2").arg(sldBlue->value()).arg(kComponentMax));
}

void frmEditCol::cmdOkay_Click() {
    auto& colour = model_.Pals[EditSet][EditPalette][EditColour];
    colour[0] = std::int16_t(sldRed->value());
    colour[1] = std::int16_t(sldGreen->value());
    colour[2] = std::int16_t(sldBlue->value());
    accept();
}

}  // namespace dapplix
