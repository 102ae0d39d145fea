// The tile editor: one tile enlarged 24 times with a grid, painted with the mouse in
// the two colours put on the left and the other buttons (keys 1-4 pick the left one,
// with Ctrl the right one). The opener sets EditBank, EditTileNum, EditTileData and
// EditTilePal and runs exec(); "Okay" stores the tile as an edited tile and has its cell
// redrawn, "Cancel" leaves the data model alone. The title names the tile.
#pragma once

#include <memory>

#include "engine/Binary.h"
#include "widgets/ColourPicker.h"
#include "widgets/FixedDialog.h"
#include "widgets/ViewState.h"

class QPushButton;

namespace dapplix {

class TileViewHost;
class ViewCanvas;

class frmTileEdit : public FixedDialog {
    Q_OBJECT
public:
    frmTileEdit(Model& model, ViewState& view, TileViewHost& host, QWidget* parent = nullptr);

    // Refuses (returns Rejected without showing) a tile that reaches past the end of
    // its bank: its bytes could not be stored back.
    int exec() override;

    void UpdateCurCols();
    void UpdateEditTile();

protected:
    void Form_Activate() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void picTileEdit_MouseDown(QPoint pos, Qt::MouseButton button);
    void picTileEdit_MouseMove(QPoint pos, Qt::MouseButtons buttons);
    void cmdPixSw_Click();
    void cmdOkay_Click();

    bool TileRefused() const;
    QRgb Colour(int index) const;
    void PaintPixel(int x, int y, int colour);

    Model& model_;
    ViewState& view_;
    TileViewHost& host_;

    int PixX = 0, PixY = 0;
    int LastX = 0, LastY = 0;

    ViewCanvas* picTileEdit = nullptr;
    ViewCanvas* picCurCols = nullptr;
    ViewCanvas* picCols = nullptr;
    std::unique_ptr<ColourPicker> picker_;  // LeftCol painted by the left button, RightCol by others
    QPushButton* cmdOkay = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdPixSw = nullptr;
};

}  // namespace dapplix
