#include "editing/frmPixelSwitch.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

#include "engine/Bits.h"
#include "project/Palette.h"
#include "view/FixedDialog.h"
#include "view/TileViewHost.h"
#include "view/ViewCanvas.h"

namespace dapplix {

namespace {

constexpr int kClientWidth = 152;
constexpr int kClientHeight = 111;
constexpr int kChoiceSide = 17;  // picLeft and picRight
constexpr int kColourCell = 24;  // one colour of picCols
constexpr int kGridSide = 16;    // the tile view is 16 x 16 cells
const QColor kBusyText(192, 0, 0);

}  // namespace

frmPixelSwitch::frmPixelSwitch(Model& model, TileViewHost& host, QWidget* parent)
    : QDialog(parent), model_(model), host_(host) {
    SetUpFixedDialog(*this, "frmPixelSwitch", kClientWidth, kClientHeight);
    setWindowTitle(QString());

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
    picCols->setCursor(Qt::PointingHandCursor);
    picCols->setToolTip("Click with the left button for the first colour, with another button for the second");

    cmdOkay = new QPushButton("&Okay", this);
    cmdOkay->setObjectName("cmdOkay");
    cmdOkay->setGeometry(8, 80, 65, 25);
    cmdOkay->setDefault(true);

    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(80, 80, 65, 25);

    connect(picCols, &ViewCanvas::mouseReleased, this, &frmPixelSwitch::picCols_MouseUp);
    connect(cmdOkay, &QPushButton::clicked, this, [this] { cmdOkay_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QRgb frmPixelSwitch::Colour(int index) const {
    return PalToRgb(model_, index, std::clamp<int>(model_.SwitchPal, 0, kPalettes - 1));
}

void frmPixelSwitch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Restoring a minimised window is not a new opening: keep the chosen colours.
    if (!event->spontaneous()) Form_Activate();
}

void frmPixelSwitch::Form_Activate() {
    LeftCol = 0;
    RightCol = 1;
    DoCols();
    cmdOkay->setFocus();
}

void frmPixelSwitch::DoCols() {
    for (int i = 0; i < 4; ++i)
        picCols->FillRect(kColourCell * i, 0, kColourCell * i + kColourCell - 1, kColourCell - 1, Colour(i));
    UpdateCols();
}

void frmPixelSwitch::UpdateCols() {
    picLeft->FillRect(0, 0, kChoiceSide - 1, kChoiceSide - 1, Colour(LeftCol));
    picRight->FillRect(0, 0, kChoiceSide - 1, kChoiceSide - 1, Colour(RightCol));
}

void frmPixelSwitch::picCols_MouseUp(QPoint pos, Qt::MouseButton button) {
    if (button == Qt::NoButton) return;
    const int index = std::clamp(CellOf(pos.x(), kColourCell), 0, 3);
    if (button == Qt::LeftButton)
        LeftCol = index;
    else
        RightCol = index;
    UpdateCols();
}

void frmPixelSwitch::cmdOkay_Click() {
    // Hidden first: the work below shows itself in the main window, tile by tile.
    accept();
    host_.SetStatus("Refreshing...", kBusyText);
    host_.DisableAll();

    // The selection's corners are ordered once the mouse is released; order them here
    // too, and keep them on the grid, so the loop never walks off the page.
    const int left = std::max<int>(std::min(model_.SelX1, model_.SelX2), 0);
    const int right = std::min<int>(std::max(model_.SelX1, model_.SelX2), kGridSide - 1);
    const int top = std::max<int>(std::min(model_.SelY1, model_.SelY2), 0);
    const int bottom = std::min<int>(std::max(model_.SelY1, model_.SelY2), kGridSide - 1);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            // Let the window repaint between tiles; the lock set keeps the user from
            // changing the selection, bank or page meanwhile.
            QCoreApplication::processEvents();
            SwitchOneTile(x, y);
        }
    }

    host_.SetStatusText(QString());
    host_.EnableAll();
    host_.SetCurrent();
    host_.ShowCurrent();
}

void frmPixelSwitch::SwitchOneTile(int column, int row) {
    const int bank = host_.CurrentBank();
    const int page = host_.CurrentPage();
    if (bank < 0 || bank >= kMaxBanks || page < 0 || page >= kTilesPerBank / kTilesPerPage) return;
    const int tile = page * kTilesPerPage + row * kGridSide + column;
    const int palette = model_.TilePal[bank][tile];

    // The last tile of a bank whose grid is shifted reaches past the bank's end: it has
    // no complete bytes to exchange, so it is left exactly as it is and shown as the
    // tile view always shows it, blank.
    if (TileAbsent(model_, bank, tile)) {
        host_.DrawTile(DisplayTile(model_, bank, tile), column, row, palette);
        return;
    }

    WorkTile = model_.TileEdited[bank][tile] ? model_.EditedTile[bank][tile] : RomTileBytes(model_, bank, tile);
    SwitchTilePixels(WorkTile, LeftCol, RightCol);
    CommitTileImage(model_, bank, tile, WorkTile);
    host_.DrawTile(WorkTile, column, row, palette);
}

}  // namespace dapplix
