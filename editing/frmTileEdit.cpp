#include "editing/frmTileEdit.h"

#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>

#include "engine/Bits.h"
#include "widgets/TileViewHost.h"
#include "widgets/ViewCanvas.h"

namespace dapplix {

namespace {

constexpr int kClientWidth = 277;
constexpr int kClientHeight = 228;
constexpr int kZoom = 24;           // screen pixels per tile pixel
constexpr int kTileSide = 8;
constexpr int kEditSide = kZoom * kTileSide;  // 192
constexpr int kColourCell = 32;     // one colour of the strip, and each current-colour box
constexpr QRgb kEditGrid = 0x280A0A;  // dark red lines between the enlarged pixels

int PixelUnder(int coordinate) { return std::clamp(CellOf(coordinate, kZoom), 0, kTileSide - 1); }

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, int x, int y) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, 73, 25);
    return button;
}

}  // namespace

frmTileEdit::frmTileEdit(Model& model, ViewState& view, TileViewHost& host, QWidget* parent)
    : FixedDialog(parent, "frmTileEdit", kClientWidth, kClientHeight), model_(model), view_(view), host_(host) {

    picTileEdit = AddCanvas(this, "picTileEdit", 0, 0, kEditSide, kEditSide);
    picTileEdit->setCursor(Qt::CrossCursor);

    cmdOkay = MakeButton(this, "cmdOkay", "&Okay", 16, 200);
    cmdOkay->setDefault(true);
    cmdCancel = MakeButton(this, "cmdCancel", "&Cancel", 104, 200);

    picCurCols = AddCanvas(this, "picCurCols", 200, 32, 2 * kColourCell, kColourCell);
    picCols = AddCanvas(this, "picCols", 216, 72, kColourCell, 4 * kColourCell);
    picCols->setToolTip("Click with the left button to paint this colour with the left button, "
                        "with another button to paint it with that one");
    picCurCols->setToolTip("The colours of the left and the right mouse button");
    picker_ = std::make_unique<ColourPicker>(picCols, /*horizontal=*/false, kColourCell, [this] { UpdateCurCols(); });

    cmdPixSw = MakeButton(this, "cmdPixSw", "&Pixel Switch", 200, 4);

    setTabOrder(cmdOkay, cmdCancel);
    setTabOrder(cmdCancel, cmdPixSw);

    connect(picTileEdit, &ViewCanvas::mousePressed, this, &frmTileEdit::picTileEdit_MouseDown);
    // Two quick clicks are two paints, although the second arrives as a double click.
    connect(picTileEdit, &ViewCanvas::doubleClicked, this, &frmTileEdit::picTileEdit_MouseDown);
    connect(picTileEdit, &ViewCanvas::mouseMoved, this, &frmTileEdit::picTileEdit_MouseMove);
    connect(cmdPixSw, &QPushButton::clicked, this, [this] { cmdPixSw_Click(); });
    connect(cmdOkay, &QPushButton::clicked, this, [this] { cmdOkay_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmTileEdit::TileRefused() const {
    const int tile = view_.EditTileNum;
    const int bank = view_.EditBank;
    return tile < 0 || tile >= kTilesPerBank || bank < 0 || bank > model_.BankCount ||
           TileAbsent(model_, bank, tile);
}

int frmTileEdit::exec() {
    if (TileRefused()) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

QRgb frmTileEdit::Colour(int index) const { return ScreenColour(model_, view_, index, view_.EditTilePal); }

void frmTileEdit::Form_Activate() {
    setWindowTitle(QString("Bank %1, Tile %2, Palette %3").arg(view_.EditBank).arg(view_.EditTileNum).arg(view_.EditTilePal));
    picker_->Reset([this](int i) { return Colour(i); });
    UpdateCurCols();
    UpdateEditTile();
    cmdOkay->setFocus();
}

void frmTileEdit::UpdateCurCols() {
    picCurCols->FillRect(0, 0, kColourCell - 1, kColourCell - 1, Colour(picker_->LeftCol));
    picCurCols->FillRect(kColourCell, 0, 2 * kColourCell - 1, kColourCell - 1, Colour(picker_->RightCol));
}

void frmTileEdit::UpdateEditTile() {
    for (int y = 0; y < kTileSide; ++y)
        for (int x = 0; x < kTileSide; ++x)
            picTileEdit->FillRect(kZoom * x, kZoom * y, kZoom * x + kZoom - 1, kZoom * y + kZoom - 1,
                                  Colour(TilePixel(view_.EditTileData, x, y)));
    // The grid is always drawn here, whatever the tile view's grid setting.
    for (int k = 1; k < kTileSide; ++k) {
        picTileEdit->DrawLine(kZoom * k, 0, kZoom * k, kEditSide - 1, kEditGrid);
        picTileEdit->DrawLine(0, kZoom * k, kEditSide - 1, kZoom * k, kEditGrid);
    }
}

void frmTileEdit::PaintPixel(int x, int y, int colour) { SetTilePixel(view_.EditTileData, x, y, colour); }

void frmTileEdit::picTileEdit_MouseDown(QPoint pos, Qt::MouseButton button) {
    if (button == Qt::NoButton) return;
    PixX = PixelUnder(pos.x());
    PixY = PixelUnder(pos.y());
    LastX = PixX;
    LastY = PixY;
    PaintPixel(PixX, PixY, button == Qt::LeftButton ? picker_->LeftCol : picker_->RightCol);
    UpdateEditTile();
}

void frmTileEdit::picTileEdit_MouseMove(QPoint pos, Qt::MouseButtons buttons) {
    PixX = PixelUnder(pos.x());
    PixY = PixelUnder(pos.y());
    if (buttons == Qt::NoButton || (PixX == LastX && PixY == LastY)) return;
    // Only the left button alone paints the left colour; any other button, or the left
    // one together with another, paints the right colour.
    const int colour = buttons == Qt::LeftButton ? picker_->LeftCol : picker_->RightCol;
    // Mouse moves arrive only now and then; a quick stroke jumps pixels. Paint the
    // pixels on the straight way from the last painted one as well, so the stroke has
    // no gaps; the last painted pixel itself is not painted again.
    const int dx = std::abs(PixX - LastX), sx = LastX < PixX ? 1 : -1;
    const int dy = -std::abs(PixY - LastY), sy = LastY < PixY ? 1 : -1;
    int err = dx + dy;
    int cx = LastX, cy = LastY;
    while (cx != PixX || cy != PixY) {
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; cx += sx; }
        if (e2 <= dx) { err += dx; cy += sy; }
        PaintPixel(cx, cy, colour);
    }
    LastX = PixX;
    LastY = PixY;
    UpdateEditTile();
}

void frmTileEdit::cmdPixSw_Click() {
    SwitchTilePixels(view_.EditTileData, picker_->LeftCol, picker_->RightCol);
    UpdateEditTile();
}

void frmTileEdit::cmdOkay_Click() {
    const int bank = view_.EditBank;
    const int tile = view_.EditTileNum;
    if (TileRefused() || !CommitTileImage(model_, bank, tile, view_.EditTileData)) {
        reject();
        return;
    }
    host_.RedrawTile(bank, tile);
    accept();
}

void frmTileEdit::keyPressEvent(QKeyEvent* event) {
    if (picker_->PickByKey(event->key(), event->modifiers())) {
        UpdateCurCols();
        return;
    }
    FixedDialog::keyPressEvent(event);
}

}  // namespace dapplix
