// The pixel switch: "Switch [colour] and [colour]" over every tile of the selection.
// The opener sets SwitchPal (the palette the choice is shown in) and runs exec(); the
// dialog's "Okay" does all the work, including locking and refreshing the main
// window, so the opener has nothing to do afterwards.
#pragma once

#include <QDialog>

#include "engine/Binary.h"

class QLabel;
class QPushButton;

namespace dapplix {

class TileViewHost;
class ViewCanvas;

class frmPixelSwitch : public QDialog {
    Q_OBJECT
public:
    frmPixelSwitch(Model& model, TileViewHost& host, QWidget* parent = nullptr);

    void DoCols();
    void UpdateCols();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void picCols_MouseUp(QPoint pos, Qt::MouseButton button);
    void cmdOkay_Click();
    void SwitchOneTile(int column, int row);
    QRgb Colour(int index) const;

    Model& model_;
    TileViewHost& host_;

    int LeftCol = 0;   // chosen with the left button
    int RightCol = 1;  // chosen with any other button
    TileImage WorkTile{};

    QLabel* Label1 = nullptr;
    ViewCanvas* picLeft = nullptr;
    QLabel* Label2 = nullptr;
    ViewCanvas* picRight = nullptr;
    ViewCanvas* picCols = nullptr;
    QPushButton* cmdOkay = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace dapplix
