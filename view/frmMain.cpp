#include "view/frmMain.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include "dialogs/frmAbout.h"
#include "dialogs/frmFile.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "engine/Bits.h"
#include "engine/CodeFiles.h"
#include "engine/Files.h"
#include "engine/Palette.h"
#include "engine/ProjectFile.h"
#include "engine/Rom.h"
#include "engine/Writer.h"
#include "project/frmEditCol.h"
#include "widgets/Messages.h"
#include "widgets/ViewCanvas.h"
#include "view/frmScanROM.h"
#include "play/CoverageMarks.h"
#include "play/frmPlay.h"

namespace dapplix {

namespace {

constexpr int kClientWidth = 385;
constexpr int kClientHeight = 337;
constexpr int kCell = 16;             // a tile is drawn at twice its size
constexpr int kViewSide = kCell * kGridCells;  // 256
constexpr int kCurrentZoom = 8;       // the current tile at eight times its size
constexpr int kPalCell = 16;          // one colour of the palette strip
constexpr int kLastPage = 3;
constexpr int kMaxTileOffset = 15;

constexpr QRgb kFrameColour = qRgb(255, 255, 0);
constexpr QRgb kStripGridColour = qRgb(40, 15, 15);
const QColor kBusyColour(192, 0, 0);   // status text of the palette assignment
const QColor kRedrawColour(0, 0, 0);   // status text of the page redraw

const char* const kRefreshing = "Refreshing...";

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Waits for the given time while window events keep running, so that the events
// still queued behind a double click are handled before a modal dialog opens.
void Pause(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs body(i) for i from first to last in steps of step, the way a counted loop with
// a step does: no pass at all when the step points away from last.
template <typename Body>
void CountedLoop(int first, int last, int step, Body body) {
    if (step > 0) {
        for (int i = first; i <= last; i += step) body(i);
    } else {
        for (int i = first; i >= last; i += step) body(i);
    }
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    // A label of fixed size can take new text without asking its window to lay out again.
    label->setFixedSize(w, h);
    return label;
}

QRadioButton* MakeOption(QWidget* parent, const QString& name, const QString& text, int x, int y, int w) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, w, 17);
    return button;
}

QSlider* MakeSlider(QWidget* parent, const char* name, int x, int y, int w, int min, int max, int large) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setGeometry(x, y, w, 17);
    slider->setRange(min, max);
    slider->setSingleStep(1);
    slider->setPageStep(large);
    return slider;
}

}  // namespace

frmMain::frmMain(Model& model, QWidget* parent) : QMainWindow(parent), model_(model) {
    setObjectName("frmMain");
    setWindowTitle("Dapplix");
    BuildWindow();
    BuildMenus();
    BuildGameMenu();
    SetUpStartState();
    setAcceptDrops(true);
}

frmMain::~frmMain() = default;

bool frmMain::LoadSideFiles(Model& model, const std::vector<std::string>& dirs, QWidget* parent) {
    std::string fatal;
    if (LoadCodeFiles(model, dirs, fatal)) return true;
    Messages().Show(parent, MessageKind::Fatal, QString::fromLatin1(kTitleFatal), QString::fromStdString(fatal),
                    MessageButtons::Ok);
    return false;
}

void frmMain::BuildWindow() {
    auto* client = new QWidget(this);
    client->setObjectName("frmMainClient");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    picTiles = AddCanvas(client, "picTiles", 0, 0, kViewSide, kViewSide);
    picCurrent = AddCanvas(client, "picCurrent", 288, 0, 8 * kCurrentZoom, 8 * kCurrentZoom);

    cmdPixelSwitch = new QPushButton("&Pixel Switch", client);
    cmdPixelSwitch->setObjectName("cmdPixelSwitch");
    cmdPixelSwitch->setGeometry(272, 72, 97, 25);

    fraPals = new QGroupBox("Palettes", client);
    fraPals->setObjectName("fraPals");
    fraPals->setGeometry(264, 104, 115, 153);
    palGroup_ = new QButtonGroup(this);
    palGroup_->setExclusive(true);
    for (int n = 0; n < kPalettes; ++n) {
        auto* button = MakeOption(fraPals, QString("optPal%1").arg(n), QString::number(n), 8, 16 + 16 * n, 25);
        // The digit needs the room that the indicator's usual gap would take.
        button->setStyleSheet("QRadioButton { spacing: 2px; }");
        palGroup_->addButton(button, n);
        optPal[n] = button;
    }
    picPals = AddCanvas(fraPals, "picPals", 40, 14, 4 * kPalCell, kPalettes * kPalCell);

    fraPalSet = new QGroupBox("Palette Set", client);
    fraPalSet->setObjectName("fraPalSet");
    fraPalSet->setGeometry(272, 264, 97, 57);
    optSprite = MakeOption(fraPalSet, "optSprite", "&Sprite", 8, 16, 49);
    optBG = MakeOption(fraPalSet, "optBG", "&Background", 8, 32, 81);

    lblPage = MakeLabel(client, "lblPage", "Page: 0", 0, 264, 73, 17);
    sldPage = MakeSlider(client, "sldPage", 80, 264, 89, 0, kLastPage, 1);
    lblStatus = MakeLabel(client, "lblStatus", QString(), 176, 264, 81, 17);
    lblBank = MakeLabel(client, "lblBank", "Bank: 2", 0, 288, 73, 17);
    sldBank = MakeSlider(client, "sldBank", 80, 288, 177, kFirstShownBank, kFirstShownBank, 1);
    lblTileOffset = MakeLabel(client, "lblTileOffset", "Tile Offset: 0", 0, 312, 73, 17);
    sldTileOffset = MakeSlider(client, "sldTileOffset", 80, 312, 177, 0, kMaxTileOffset, 5);
    SetStatus(QString(), kBusyColour);

    connect(cmdPixelSwitch, &QPushButton::clicked, this, [this] { cmdPixelSwitch_Click(); });
    connect(palGroup_, &QButtonGroup::idClicked, this, [this](int id) { optPal_Click(id); });
    connect(optBG, &QRadioButton::clicked, this, [this] { optBG_Click(); });
    connect(optSprite, &QRadioButton::clicked, this, [this] { optSprite_Click(); });
    connect(sldBank, &QSlider::valueChanged, this, [this] { sldBank_Change(); });
    connect(sldPage, &QSlider::valueChanged, this, [this] { sldPage_Change(); });
    connect(sldTileOffset, &QSlider::valueChanged, this, [this] { sldTileOffset_Change(); });
    connect(picTiles, &ViewCanvas::mousePressed, this, [this](QPoint pos) { picTiles_MouseDown(pos); });
    connect(picTiles, &ViewCanvas::mouseMoved, this, [this](QPoint pos) { picTiles_MouseMove(pos); });
    connect(picTiles, &ViewCanvas::mouseReleased, this, [this] { picTiles_MouseUp(); });
    connect(picTiles, &ViewCanvas::doubleClicked, this, [this] { picTiles_DblClick(); });
    connect(picPals, &ViewCanvas::mouseReleased, this, [this](QPoint pos) { picPals_MouseUp(pos); });
}

void frmMain::BuildMenus() {
    auto makeAction = [this](QMenu* menu, const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };

    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFileLoadrom = makeAction(mnuFile, "mnuFileLoadrom", "Load &ROM");
    mnuFileLoadgbp = makeAction(mnuFile, "mnuFileLoadgbp", "Load &GBP");
    mnuFileSavegbp = makeAction(mnuFile, "mnuFileSavegbp", "&Save GBP");
    mnuFileWriterom = makeAction(mnuFile, "mnuFileWriterom", "&Write ROM");
    mnuFileNul = mnuFile->addSeparator();
    mnuFileNul->setObjectName("mnuFileNul");
    mnuFileExit = makeAction(mnuFile, "mnuFileExit", "E&xit");

    mnuOpt = menuBar()->addMenu("&Options");
    mnuOpt->setObjectName("mnuOpt");
    mnuOptGrid = makeAction(mnuOpt, "mnuOptGrid", "Show &Grid");
    mnuOptGrid->setCheckable(true);
    mnuOptGrid->setChecked(true);
    mnuOptDim = makeAction(mnuOpt, "mnuOptDim", "&Dim Colors");
    mnuOptDim->setCheckable(true);
    mnuOptDim->setChecked(true);
    mnuOptReset = makeAction(mnuOpt, "mnuOptReset", "&Reset Changes");

    // A top-level item without a submenu, as the About command has always been here.
    mnuAbout = menuBar()->addAction("&About");
    mnuAbout->setObjectName("mnuAbout");

    connect(mnuFileLoadrom, &QAction::triggered, this, [this] { mnuFileLoadrom_Click(); });
    connect(mnuFileLoadgbp, &QAction::triggered, this, [this] { mnuFileLoadgbp_Click(); });
    connect(mnuFileSavegbp, &QAction::triggered, this, [this] { mnuFileSavegbp_Click(); });
    connect(mnuFileWriterom, &QAction::triggered, this, [this] { mnuFileWriterom_Click(); });
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });
    connect(mnuOptGrid, &QAction::triggered, this, [this] { mnuOptGrid_Click(); });
    connect(mnuOptDim, &QAction::triggered, this, [this] { mnuOptDim_Click(); });
    connect(mnuOptReset, &QAction::triggered, this, [this] { mnuOptReset_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });

    // The client area keeps its size; the menu bar sits above it.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

void frmMain::SetUpStartState() {
    RedrawPal = 8;
    view_.ColorScale = kDimScale;
    view_.CurPalSet = kSpriteSet;
    view_.SelX1 = view_.SelY1 = view_.SelX2 = view_.SelY2 = 0;
    SelDirX = SelDirY = 1;
    SetDefaultPals(model_);
    Refreshing = false;
    AllowPalChange = true;
    optSprite->setChecked(true);

    // Until a ROM is loaded only Load ROM, Exit and About do anything. The sliders would
    // only browse banks that hold nothing yet, so they wait for the ROM as well.
    SetLockSet(false);
    mnuFileLoadrom->setEnabled(true);
    mnuFileExit->setEnabled(true);
    RefreshPals();
}

// --- TileViewHost ---------------------------------------------------------------------------

int frmMain::CurrentBank() const { return sldBank->value(); }
int frmMain::CurrentPage() const { return sldPage->value(); }

void frmMain::DrawTile(const TileImage& image, int column, int row, int palette) {
    if (column < 0 || column >= kGridCells || row < 0 || row >= kGridCells) return;
    LoadPalette(palette);
    PaintTile(Canvas(), image, column, row, palette);
    picTiles->ImageChanged(QRect(kCell * column, kCell * row, kCell, kCell));
}

void frmMain::LoadPalette(int palette) {
    std::array<QRgb, kColours> colours{};
    for (int value = 0; value < kColours; ++value) colours[value] = ScreenColour(model_, view_, value, palette);
    painter_.SetPalette(palette, colours);
}

frmMain::PageCanvas frmMain::Canvas() {
    QImage& view = picTiles->image();
    return {reinterpret_cast<QRgb*>(view.bits()), view.bytesPerLine() / std::ptrdiff_t(sizeof(QRgb)),
            mnuOptGrid->isChecked()};
}

void frmMain::PaintTile(const PageCanvas& canvas, const TileImage& image, int column, int row, int palette) const {
    painter_.Paint(canvas.origin + kCell * row * canvas.stride + kCell * column, canvas.stride, image, palette,
                   canvas.grid, column == kGridCells - 1, row == kGridCells - 1);
}

void frmMain::SetLockSet(bool enabled) {
    // A page redraw under way keeps the tile view and the Pixel Switch button to itself
    // until it ends; it enables them on its way out.
    picTiles->setEnabled(enabled && !Refreshing);
    for (QWidget* widget : std::initializer_list<QWidget*>{fraPals, fraPalSet, sldBank, sldPage, sldTileOffset})
        widget->setEnabled(enabled);
    for (QAction* action : {mnuFileLoadrom, mnuFileWriterom, mnuFileLoadgbp, mnuFileSavegbp, mnuFileExit, mnuOptGrid,
                            mnuOptDim, mnuOptReset})
        action->setEnabled(enabled);
    cmdPixelSwitch->setEnabled(enabled && !Refreshing);
    if (mnuGamePlay) mnuGamePlay->setEnabled(enabled && romLoaded_);
}

void frmMain::DisableAll() {
    locked_ = true;
    SetLockSet(false);
}

void frmMain::EnableAll() {
    locked_ = false;
    SetLockSet(true);
    if (closePending_) {
        // The user closed the window while it was locked; ask now that the work is done.
        closePending_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void frmMain::SetStatus(const QString& text, const QColor& colour) {
    if (lblStatus->palette().color(QPalette::WindowText) == colour) {
        lblStatus->setText(text);
        return;
    }
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    lblStatus->setPalette(palette);
    lblStatus->setText(text);
}

void frmMain::SetStatusText(const QString& text) { lblStatus->setText(text); }

// --- the page ----------------------------------------------------------------------------------

void frmMain::RefreshTiles() {
    // While the redraw lets events run, the tile view and Pixel Switch are out of use and
    // the status says so. A redraw that does not yield runs to its end before anything
    // could see or use that state, so it skips it.
    const bool yielding = YieldPerTile;
    if (yielding) {
        picTiles->setEnabled(false);
        cmdPixelSwitch->setEnabled(false);
        SetStatus(kRefreshing, kRedrawColour);
    }

    Refreshing = true;
    PreSetCurrent();
    DrawTileNum = sldPage->value() * kTilesPerPage;
    // The colours, the grid setting and the bank are read here and again after every turn
    // of the event loop, the only place where they can change during the redraw.
    PageCanvas canvas{};
    int bank = 0;
    auto readSettings = [&] {
        for (int palette = 0; palette < kPalettes; ++palette) LoadPalette(palette);
        canvas = Canvas();
        bank = sldBank->value();
    };
    readSettings();
    // The rows of cells drawn since the window last had a chance to repaint.
    int firstDrawnRow = kGridCells, lastDrawnRow = -1;
    auto showDrawn = [&] {
        if (lastDrawnRow >= firstDrawnRow)
            picTiles->ImageChanged(QRect(0, kCell * firstDrawnRow, kViewSide, kCell * (lastDrawnRow - firstDrawnRow + 1)));
        firstDrawnRow = kGridCells;
        lastDrawnRow = -1;
    };
    // The loop runs on the members themselves: a DoRefresh let through by the event
    // processing rewinds them, and the pass goes on from the first cell of the page.
    for (DrawRow = 0; DrawRow < kGridCells; ++DrawRow) {
        for (DrawCol = 0; DrawCol < kGridCells; ++DrawCol) {
            if (yielding) {
                showDrawn();
                QCoreApplication::processEvents();
                readSettings();
            }
            DrawPal = model_.TilePal[bank][DrawTileNum];
            if (RedrawPal >= 8 || DrawPal == RedrawPal) {
                DrawTileData = DisplayTile(model_, bank, DrawTileNum);
                PaintTile(canvas, DrawTileData, DrawCol, DrawRow, DrawPal);
                firstDrawnRow = std::min(firstDrawnRow, DrawRow);
                lastDrawnRow = std::max(lastDrawnRow, DrawRow);
            }
            ++DrawTileNum;
        }
    }
    showDrawn();
    Refreshing = false;
    if (yielding) {
        SetStatusText(QString());
        if (!locked_) {
            cmdPixelSwitch->setEnabled(true);
            picTiles->setEnabled(true);
        }
    }
    SetCurrent();
    ShowCurrent();
    emit pageRedrawn();
}

void frmMain::DoRefresh() {
    RefreshPals();
    const int bank = sldBank->value();
    const int offset = model_.TileOffset[bank];
    LastTileOffset = offset;
    SetSliderQuietly(sldTileOffset, offset);
    lblPage->setText(QString("Page: %1").arg(sldPage->value()));
    lblBank->setText(QString("Bank: %1").arg(bank));
    lblTileOffset->setText(QString("Tile Offset: %1").arg(offset));
    if (!Refreshing) {
        RefreshTiles();
    } else {
        DrawTileNum = sldPage->value() * kTilesPerPage;
        DrawRow = 0;
        DrawCol = 0;
    }
}

void frmMain::RefreshPals() {
    for (int p = 0; p < kPalettes; ++p)
        for (int c = 0; c < kColours; ++c)
            picPals->FillRect(kPalCell * c, kPalCell * p, kPalCell * c + kPalCell - 1, kPalCell * p + kPalCell - 1,
                              ScreenColour(model_, view_, c, p));
    const int width = 4 * kPalCell, height = kPalettes * kPalCell;
    for (int k = 1; k < kPalettes; ++k) picPals->DrawLine(0, kPalCell * k, width - 1, kPalCell * k, kStripGridColour);
    for (int k = 1; k < kColours; ++k) picPals->DrawLine(kPalCell * k, 0, kPalCell * k, height - 1, kStripGridColour);
}

int frmMain::TileAt(int column, int row) const { return PageTile(sldPage->value(), column, row); }

void frmMain::SetSliderQuietly(QSlider* slider, int value) {
    // Positions set by the program are not the user's moves: the handlers stay silent,
    // and the caller records the value as the one last acted on.
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
}

void frmMain::sldBank_Change() {
    const int position = sldBank->value();
    if (position == LastBank) return;
    LastBank = position;
    DoRefresh();  // which shows the bank's own offset on the slider and the labels
}

void frmMain::sldPage_Change() {
    const int position = sldPage->value();
    if (position == LastPage) return;
    LastPage = position;
    DoRefresh();
}

void frmMain::sldTileOffset_Change() {
    const int position = sldTileOffset->value();
    if (position == LastTileOffset) return;
    LastTileOffset = position;
    model_.TileOffset[sldBank->value()] = static_cast<std::int16_t>(position);
    DoRefresh();
}

// --- selection ---------------------------------------------------------------------------------

std::array<int, 2> frmMain::CellUnder(QPoint pos) {
    // Floor division, then held to the grid: the pointer is followed beyond the view
    // while a button is down.
    auto cell = [](int v) { return std::clamp(CellOf(v, kCell), 0, kGridCells - 1); };
    return {cell(pos.x()), cell(pos.y())};
}

void frmMain::RedrawCell(int column, int row) {
    const int bank = sldBank->value();
    const int tile = TileAt(column, row);
    DrawTile(DisplayTile(model_, bank, tile), column, row, model_.TilePal[bank][tile]);
}

void frmMain::PreSetCurrent() {
    // The border cells of the rectangle, each drawn once (a corner, or every cell of a
    // one-row rectangle, is reached twice on the way round).
    std::array<std::array<bool, kGridCells>, kGridCells> drawn{};
    auto redraw = [&](int column, int row) {
        if (column < 0 || column >= kGridCells || row < 0 || row >= kGridCells || drawn[row][column]) return;
        drawn[row][column] = true;
        RedrawCell(column, row);
    };
    CountedLoop(view_.SelX1, view_.SelX2, SelDirX, [&](int i) {
        redraw(i, view_.SelY1);
        redraw(i, view_.SelY2);
    });
    CountedLoop(view_.SelY1, view_.SelY2, SelDirY, [&](int j) {
        redraw(view_.SelX1, j);
        redraw(view_.SelX2, j);
    });
}

void frmMain::SetCurrent() {
    const int left = SelDirX == 1 ? view_.SelX1 : view_.SelX2;
    const int right = SelDirX == 1 ? view_.SelX2 : view_.SelX1;
    const int top = SelDirY == 1 ? view_.SelY1 : view_.SelY2;
    const int bottom = SelDirY == 1 ? view_.SelY2 : view_.SelY1;
    picTiles->DrawOutline(kCell * left, kCell * top, kCell * right + kCell - 1, kCell * bottom + kCell - 1,
                          kFrameColour);
}

void frmMain::ShowCurrent() {
    const int bank = sldBank->value();
    CurTile = TileAt(view_.SelX1, view_.SelY1);
    CurTileData = DisplayTile(model_, bank, CurTile);
    CurPal = model_.TilePal[bank][CurTile];
    AutoSetPal();

    std::array<QRgb, kColours> colours{};
    for (int value = 0; value < kColours; ++value) colours[value] = ScreenColour(model_, view_, value, CurPal);
    // picCurrent keeps what it shows; a page redraw, a palette assignment or a colour
    // edit that leaves the current tile as it was has nothing to draw there.
    if (currentShown_ && shownCurrentData_ == CurTileData && shownCurrentColours_ == colours) return;
    currentShown_ = true;
    shownCurrentData_ = CurTileData;
    shownCurrentColours_ = colours;
    QImage& image = picCurrent->image();
    const std::ptrdiff_t stride = image.bytesPerLine() / std::ptrdiff_t(sizeof(QRgb));
    QRgb* const origin = reinterpret_cast<QRgb*>(image.bits());
    for (int y = 0; y < 8; ++y) {
        // One screen row of the tile row, then copied to the other seven.
        QRgb* const first = origin + kCurrentZoom * y * stride;
        for (int x = 0; x < 8; ++x) std::fill_n(first + kCurrentZoom * x, kCurrentZoom, colours[TilePixel(CurTileData, x, y)]);
        for (int row = 1; row < kCurrentZoom; ++row) std::copy_n(first, 8 * kCurrentZoom, first + row * stride);
    }
    picCurrent->ImageChanged(image.rect());
}

void frmMain::AutoSetPal() {
    AllowPalChange = false;
    const bool same = AllCurPalSame();
    const bool oneTile = view_.SelX1 == view_.SelX2 && view_.SelY1 == view_.SelY2;
    if (!same && !oneTile) {
        // An exclusive group always keeps one button checked; showing "no common palette"
        // needs the group opened for a moment.
        palGroup_->setExclusive(false);
        for (QRadioButton* button : optPal) button->setChecked(false);
        palGroup_->setExclusive(true);
    } else {
        optPal[std::clamp(CurPal, 0, kPalettes - 1)]->setChecked(true);
    }
    AllowPalChange = true;
}

bool frmMain::AllCurPalSame() const {
    const int bank = sldBank->value();
    bool result = true;
    for (int i = view_.SelX1; i <= view_.SelX2; ++i)
        for (int j = view_.SelY1; j <= view_.SelY2; ++j)
            if (model_.TilePal[bank][TileAt(i, j)] != CurPal) result = false;
    return result;
}

void frmMain::picTiles_MouseDown(QPoint pos) {
    PreSetCurrent();
    const auto [column, row] = CellUnder(pos);
    view_.SelX1 = view_.SelX2 = static_cast<std::int16_t>(column);
    view_.SelY1 = view_.SelY2 = static_cast<std::int16_t>(row);
    SelDragging = true;
    SetCurrent();
}

void frmMain::picTiles_MouseMove(QPoint pos) {
    const auto [column, row] = CellUnder(pos);
    if (!SelDragging || (column == view_.SelX2 && row == view_.SelY2)) return;
    PreSetCurrent();
    view_.SelX2 = static_cast<std::int16_t>(column);
    view_.SelY2 = static_cast<std::int16_t>(row);
    SelDirX = view_.SelX1 <= view_.SelX2 ? 1 : -1;
    SelDirY = view_.SelY1 <= view_.SelY2 ? 1 : -1;
    SetCurrent();
}

void frmMain::picTiles_MouseUp() {
    if (view_.SelX1 > view_.SelX2) std::swap(view_.SelX1, view_.SelX2);
    if (view_.SelY1 > view_.SelY2) std::swap(view_.SelY1, view_.SelY2);
    SelDirX = 1;
    SelDirY = 1;
    ShowCurrent();
    SelDragging = false;
}

void frmMain::picTiles_DblClick() {
    if (openingEditor_) return;  // a second double click during the pause
    const int bank = sldBank->value();
    const int page = sldPage->value();
    if (page == kLastPage && model_.TileOffset[bank] > 0 && view_.SelX1 == 15 && view_.SelY1 == 15) return;

    view_.EditTileNum = static_cast<std::int16_t>(TileAt(view_.SelX1, view_.SelY1));
    view_.EditTileData = DisplayTile(model_, bank, view_.EditTileNum);
    view_.EditTilePal = model_.TilePal[bank][view_.EditTileNum];

    openingEditor_ = true;
    Pause(0.4);
    openingEditor_ = false;
    if (programEnded_) return;

    if (!tileEdit_) tileEdit_ = new frmTileEdit(model_, view_, *this, this);
    tileEdit_->exec();
    SetCurrent();
    ShowCurrent();
}

// --- palettes ----------------------------------------------------------------------------------

void frmMain::optPal_Click(int palette) {
    if (AllowPalChange) ChangePal(palette);
}

void frmMain::ChangePal(int ChangeNewPal) {
    WorkOverSelection([&](const TileRect& rect, const CellSteps& steps) {
        AssignPalette(model_, rect, ChangeNewPal, steps);
    });
}

void frmMain::SwitchPixels(int a, int b) {
    WorkOverSelection([&](const TileRect& rect, const CellSteps& steps) {
        dapplix::SwitchPixels(model_, rect, a, b, steps);
    });
}

void frmMain::WorkOverSelection(const std::function<void(const TileRect&, const CellSteps&)>& work) {
    DisableAll();
    SetStatus(kRefreshing, kBusyColour);
    CellSteps steps;
    // The lock set keeps the user from changing the selection, bank or page meanwhile.
    steps.beforeCell = [] { QCoreApplication::processEvents(); };
    steps.cellDone = [this](int column, int row, const TileImage& shown, int palette) {
        DrawTile(shown, column, row, palette);
    };
    work(SelectionRect(sldBank->value(), sldPage->value(), view_.SelX1, view_.SelY1, view_.SelX2, view_.SelY2), steps);
    SetStatusText(QString());
    EnableAll();
    SetCurrent();
    ShowCurrent();
}

void frmMain::ShowFailure(const FlowResult& result) {
    for (const std::string& error : result.errors) ShowError(this, QString::fromStdString(error));
    if (!result.summary.empty()) ShowError(this, QString::fromStdString(result.summary));
}

void frmMain::optBG_Click() {
    view_.CurPalSet = kBackgroundSet;
    DoRefresh();
}

void frmMain::optSprite_Click() {
    view_.CurPalSet = kSpriteSet;
    DoRefresh();
}

void frmMain::picPals_MouseUp(QPoint pos) {
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= 4 * kPalCell || pos.y() >= kPalettes * kPalCell) return;
    view_.EditPal = static_cast<std::int16_t>(pos.y() / kPalCell);
    view_.EditCol = static_cast<std::int16_t>(pos.x() / kPalCell);
    const auto before = model_.Pals[view_.CurPalSet][view_.EditPal][view_.EditCol];

    if (!editCol_) editCol_ = new frmEditCol(model_, view_, this);
    editCol_->exec();

    if (model_.Pals[view_.CurPalSet][view_.EditPal][view_.EditCol] != before) {
        RedrawPal = view_.EditPal;
        DoRefresh();
        RedrawPal = 8;
    }
}

void frmMain::mnuOptDim_Click() {
    // The action has already turned its check mark over.
    view_.ColorScale = static_cast<std::int16_t>(mnuOptDim->isChecked() ? kDimScale : kFullScale);
    DoRefresh();
}

void frmMain::mnuOptGrid_Click() { DoRefresh(); }

void frmMain::mnuOptReset_Click() {
    if (AskQuery(this, kMsgResetQuestion, MessageButtons::YesNo) != MessageAnswer::Yes) return;
    ClearTileAttrs(model_);
    DoRefresh();
}

void frmMain::cmdPixelSwitch_Click() {
    CurTile = TileAt(view_.SelX1, view_.SelY1);
    view_.SwitchPal = model_.TilePal[sldBank->value()][CurTile];
    if (!pixelSwitch_) pixelSwitch_ = new frmPixelSwitch(model_, view_, *this, this);
    pixelSwitch_->exec();
}

void frmMain::mnuAbout_Click() {
    if (!about_) about_ = new frmAbout(this);
    about_->exec();
}

// --- files -------------------------------------------------------------------------------------

frmFile& frmMain::FileChooser() {
    if (!fileChooser_) fileChooser_ = new frmFile(this);
    return *fileChooser_;
}

bool frmMain::ChooseFile(const QString& title, const QString& pattern, bool saveMode, QString& path) {
    if (!FileChooser().Choose(title, pattern, saveMode)) return false;
    path = FileChooser().FileName();
    return true;
}

void frmMain::mnuFileLoadrom_Click() {
    QString path;
    if (!ChooseFile("Load ROM", "*.gb", false, path)) return;
    LoadRomFile(path);
}

bool frmMain::LoadRomFile(const QString& path) {
    if (!scan_) scan_ = new frmScanROM(this);
    RomOpenSteps steps;
    steps.loaded = [this, &path] {
        romPath_ = LocalPath(path);
        ShowLoadedRom();
    };
    steps.progress = [this](int value) { scan_->SetProgress(value); };
    // Bank 0 without an unused end: the user is told, and only a Yes puts the colour code
    // over ROM code; otherwise the ROM stays open for colouring work but no colour ROM is
    // written from it.
    steps.overwriteRomCode = [this] {
        ShowError(scan_, kMsgNoSafeRoom);
        return AskQuery(scan_, kMsgForceQuestion, MessageButtons::YesNo) == MessageAnswer::Yes;
    };
    // A refused file leaves the loaded ROM and the work on it as they were.
    const RomOpenResult result = OpenRomForColouring(model_, LocalPath(path), steps);
    if (!result.ok) {
        ShowFailure(result);
        return false;
    }
    if (result.scan.forced)
        Messages().Show(scan_, MessageKind::Error, QString::fromLatin1(kTitleError), QString::fromLatin1(kMsgNotEnoughRoom),
                        MessageButtons::Ok);
    scan_->Finish();

    EnableAll();
    DoRefresh();
    // What the colour ROM of this cartridge will not be able to do, once the ROM is on
    // screen: the user learns it before the colouring work, not after.
    for (const std::string& warning : result.warnings)
        Messages().Show(this, MessageKind::Error, kTitleWarning, QString::fromStdString(warning), MessageButtons::Ok);
    return true;
}

void frmMain::ShowLoadedRom() {
    sldBank->setEnabled(true);
    {
        const QSignalBlocker blocker(sldBank);
        sldBank->setMaximum(model_.BankCount);
        sldBank->setValue(1);  // held at its lower end: the view opens on bank 2
    }
    SetSliderQuietly(sldPage, 0);
    LastBank = 1;
    LastPage = 0;
    setWindowTitle("Dapplix - " + QString::fromLatin1(RomTitle(model_.RomBank[0])));
    romLoaded_ = true;
    scan_->Begin();
}

void frmMain::mnuFileWriterom_Click() {
    QString path;
    if (!ChooseFile("Write Color ROM", "*.gbc", true, path) || !OutputAllowed(path)) return;
    DisableAll();
    std::string error;
    const bool written = WriteColorRom(model_, LocalPath(path), error);
    EnableAll();
    if (written) {
        Messages().Show(this, MessageKind::Information, kTitleWriteDone, path + kMsgWriteDoneSuffix,
                        MessageButtons::Ok);
    } else {
        ShowError(this, QString::fromStdString(error));
    }
}

bool frmMain::OutputAllowed(const QString& path) {
    std::string refused;
    if (CheckOutputTarget(LocalPath(path), {romPath_}, refused)) return true;
    ShowError(this, QString::fromStdString(refused));
    return false;
}

bool frmMain::SaveProject(const QString& path) {
    if (!OutputAllowed(path)) return false;
    DisableAll();
    const FlowResult saved = dapplix::SaveProject(model_, LocalPath(path));
    EnableAll();
    ShowFailure(saved);
    return saved.ok;
}

void frmMain::mnuFileSavegbp_Click() {
    QString path;
    if (!ChooseFile("Save Gbp", "*.gbp", true, path)) return;
    SaveProject(path);
}

void frmMain::mnuFileLoadgbp_Click() {
    QString path;
    if (!ChooseFile("Load Gbp", "*.gbp", false, path)) return;
    const FlowResult opened = OpenProject(model_, LocalPath(path));
    if (!opened.ok) {
        ShowFailure(opened);
        return;
    }
    DoRefresh();
}

// --- ending ------------------------------------------------------------------------------------

bool frmMain::OfferSaveBeforeQuit(bool* cancelled) {
    *cancelled = false;
    if (!romLoaded_) return true;
    switch (AskQuery(this, kMsgSaveQuestion, MessageButtons::YesNoCancel)) {
    case MessageAnswer::No: return true;
    case MessageAnswer::Yes: {
        // Leaving the chooser without a file, or a save that fails, keeps the program
        // running: the user asked for the work to be kept.
        QString path;
        if (!ChooseFile("Save Gbp", "*.gbp", true, path)) {
            *cancelled = true;
            return false;
        }
        return SaveProject(path);
    }
    default: *cancelled = true; return false;
    }
}

void frmMain::EndProgram() {
    programEnded_ = true;
    close();
    emit programEnded();
}

void frmMain::mnuFileExit_Click() {
    bool cancelled = false;
    if (OfferSaveBeforeQuit(&cancelled)) EndProgram();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (programEnded_) {
        event->accept();
        return;
    }
    if (locked_) {
        // A palette assignment or pixel switch is walking over the tiles; the question
        // is asked once it has finished (EnableAll), so no work is lost unasked.
        closePending_ = true;
        event->ignore();
        return;
    }
    bool cancelled = false;
    if (!OfferSaveBeforeQuit(&cancelled)) {
        event->ignore();
        return;
    }
    programEnded_ = true;
    event->accept();
    emit programEnded();
}

// --- a ROM dropped on the window ------------------------------------------------------------

namespace {
QString DroppedRom(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    return path.endsWith(".gb", Qt::CaseInsensitive) ? path : QString();
}
}  // namespace

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    // Only when Load ROM itself could be chosen: not while the window is locked.
    if (mnuFileLoadrom->isEnabled() && !DroppedRom(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedRom(event->mimeData());
    if (path.isEmpty() || !mnuFileLoadrom->isEnabled()) return;
    event->acceptProposedAction();
    // Loaded once the drop has returned, so the program the file came from is not kept
    // waiting while the header messages and the scan window are shown.
    QTimer::singleShot(0, this, [this, path] {
        if (mnuFileLoadrom->isEnabled()) LoadRomFile(path);
    });
}

// --- the Game menu ---------------------------------------------------------------------------

void frmMain::BuildGameMenu() {
    mnuGame = menuBar()->addMenu("&Game");
    mnuGame->setObjectName("mnuGame");
    mnuGamePlay = mnuGame->addAction("&Play");
    mnuGamePlay->setObjectName("mnuGamePlay");
    mnuGamePlay->setShortcut(Qt::Key_F5);
    mnuGamePlay->setEnabled(false);
    mnuGameSeen = mnuGame->addAction("Mark Tiles &Seen in Play");
    mnuGameSeen->setObjectName("mnuGameSeen");
    mnuGameSeen->setCheckable(true);
    // The menu bar keeps the About item last.
    menuBar()->insertMenu(mnuAbout, mnuGame);

    tbrGame = addToolBar("Game");
    tbrGame->setObjectName("tbrGame");
    tbrGame->setMovable(false);
    tbrGame->addAction(mnuGamePlay);
    tbrGame->addAction(mnuGameSeen);
    if (minimumSize() == maximumSize()) setFixedSize(width(), height() + tbrGame->sizeHint().height());

    connect(mnuGamePlay, &QAction::triggered, this, [this] { mnuGamePlay_Click(); });
    connect(mnuGameSeen, &QAction::toggled, this, [this](bool on) {
        if (on) MarkSeenTiles();
        else if (romLoaded_) DoRefresh();
    });
    connect(this, &frmMain::pageRedrawn, this, [this] { MarkSeenTiles(); });
}

void frmMain::mnuGamePlay_Click() {
    if (!romLoaded_) return;
    if (!play_) {
        play_ = new frmPlay(model_, this);
        play_->ShowTile = [this](const TileMatch& match) { return ShowTileAt(match.bank, match.offset, match.tile); };
        play_->ChooseSaveFile = [this](const QString& title, const QString& pattern, QString& path) {
            return ChooseFile(title, pattern, true, path);
        };
        connect(play_, &frmPlay::coverageChanged, this, [this] { MarkSeenTiles(); });
    }
    if (!play_->IsRunning()) {
        // The original cartridge, for the monochrome run beside the colour one.
        std::vector<std::uint8_t> original;
        std::string error;
        if (!ReadWholeFile(romPath_, original, error, std::size_t(kMaxBanks) * kBankSize)) original.clear();
        play_->SetOriginalRom(std::move(original));
        if (playedRomPath_ != romPath_) play_->ClearCoverage();
        playedRomPath_ = romPath_;
        QString reason;
        if (!play_->Start(reason)) {
            ShowError(this, reason);
            return;
        }
    }
    play_->show();
    play_->raise();
    play_->activateWindow();
}

void frmMain::MarkSeenTiles() {
    if (!mnuGameSeen || !mnuGameSeen->isChecked() || !play_ || !romLoaded_ || Refreshing) return;
    PaintCoverageMarks(picTiles->image(), model_, play_->Coverage(), sldBank->value(), sldPage->value(), kCell);
    picTiles->ImageChanged(picTiles->image().rect());
}

bool frmMain::ShowTileAt(int bank, int offset, int tile) {
    if (!romLoaded_ || locked_ || bank < sldBank->minimum() || bank > sldBank->maximum() || offset < 0 ||
        offset > kMaxTileOffset || tile < 0 || tile >= kTilesPerBank || (tile == kLastTile && offset > 0))
        return false;
    PreSetCurrent();  // takes the old selection's frame away
    model_.TileOffset[bank] = static_cast<std::int16_t>(offset);
    SetSliderQuietly(sldBank, bank);
    LastBank = bank;
    SetSliderQuietly(sldPage, tile / kTilesPerPage);
    LastPage = tile / kTilesPerPage;
    const int cell = tile % kTilesPerPage;
    view_.SelX1 = view_.SelX2 = static_cast<std::int16_t>(cell % kGridCells);
    view_.SelY1 = view_.SelY2 = static_cast<std::int16_t>(cell / kGridCells);
    SelDirX = SelDirY = 1;
    DoRefresh();  // the page, the labels, the selection frame and the current tile
    return true;
}

}  // namespace dapplix
