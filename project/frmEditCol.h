// The colour editor: one colour of one palette of the shown set, as three 5-bit
// sliders and a preview swatch. The opener sets EditPal and EditCol, runs exec() and
// compares the colour afterwards; "Okay" stores the sliders into Pals, "Cancel" (or
// closing the window) leaves Pals alone.
#pragma once

#include <QRgb>

#include "engine/Binary.h"
#include "widgets/FixedDialog.h"
#include "widgets/ViewState.h"

class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace dapplix {

class ViewCanvas;

class frmEditCol : public FixedDialog {
    Q_OBJECT
public:
    frmEditCol(Model& model, ViewState& view, QWidget* parent = nullptr);

    // Repaints the swatch from the three sliders with the current ColorScale.
    void RefreshEditCol();

    // The colour the swatch was last painted with.
    QRgb PreviewColour() const { return PreviewCol; }

protected:
    void Form_Activate() override;

private:
    void cmdOkay_Click();

    Model& model_;
    ViewState& view_;
    // The colour this showing edits, fixed when it opens.
    int EditSet = 0;
    int EditPalette = 0;
    int EditColour = 0;
    QRgb PreviewCol = 0;

    ViewCanvas* picEditCol = nullptr;
    QLabel* lblCol = nullptr;
    QSlider* sldRed = nullptr;
    QSlider* sldGreen = nullptr;
    QSlider* sldBlue = nullptr;
    // The values 0-31 beside the sliders, to read and to type; each follows its slider.
    QSpinBox* spnRed = nullptr;
    QSpinBox* spnGreen = nullptr;
    QSpinBox* spnBlue = nullptr;
    QPushButton* cmdOkay = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace dapplix
