// The pixel switch: "Switch [colour] and [colour]" over every tile of the selection.
// The opener sets SwitchPal (the palette the choice is shown in) and runs exec(); "Okay"
// hands the two colours to the main window, which switches them tile by tile.
#pragma once

#include <memory>

#include "engine/Binary.h"
#include "widgets/ColourPicker.h"
#include "widgets/FixedDialog.h"
#include "widgets/ViewState.h"

class QLabel;
class QPushButton;

namespace dapplix {

class TileViewHost;
class ViewCanvas;

class frmPixelSwitch : public FixedDialog {
    Q_OBJECT
public:
    frmPixelSwitch(Model& model, ViewState& view, TileViewHost& host, QWidget* parent = nullptr);

    void UpdateCols();

protected:
    void Form_Activate() override;
    void keyPressEvent(QKeyEvent* event) override;  // 1-4 pick the first colour, Ctrl+1-4 the second

private:
    void cmdOkay_Click();
    QRgb Colour(int index) const;

    Model& model_;
    ViewState& view_;
    TileViewHost& host_;

    QLabel* Label1 = nullptr;
    ViewCanvas* picLeft = nullptr;
    QLabel* Label2 = nullptr;
    ViewCanvas* picRight = nullptr;
    ViewCanvas* picCols = nullptr;
    std::unique_ptr<ColourPicker> picker_;
    QPushButton* cmdOkay = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace dapplix
