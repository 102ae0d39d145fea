#include "view/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QUndoStack>
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
#include "engine/PaletteConflicts.h"
#include "engine/PaletteFiles.h"
#include "engine/ProjectFile.h"
#include "engine/Rom.h"
#include "engine/TileSheet.h"
#include "engine/WorkHistory.h"
#include "engine/Writer.h"
#include "project/frmEditCol.h"
#include "widgets/Messages.h"
#include "widgets/SheetImage.h"
#include "widgets/ViewCanvas.h"
#include "view/WorkStep.h"
#include "view/frmConflicts.h"
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
constexpr QRgb kEditMarkColour = qRgb(255, 96, 0);  // the corner of an edited tile
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
    undo_ = new QUndoStack(this);
    BuildWindow();
    BuildMenus();
    BuildGameMenu();
    SetUpStartState();
    setAcceptDrops(true);
    // What the last run left: the view options, the zoom, the window's size.
    mnuOptGrid->setChecked(settings_.ShowGrid());
    mnuOptDim->setChecked(settings_.DimColors());
    view_.ColorScale = static_cast<std::int16_t>(mnuOptDim->isChecked() ? kDimScale : kFullScale);
    RefreshPals();
    SetZoom(settings_.Zoom());
    if (!settings_.WindowGeometry().isEmpty()) restoreGeometry(settings_.WindowGeometry());
    RefreshRecentMenu();
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
    // The client keeps its layout and grows with the zoom; a window made smaller than it
    // scrolls it.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("scrMain");
    scroll_->setFrameShape(QFrame::NoFrame);
    auto* client = new QWidget;
    client_ = client;
    client->setObjectName("frmMainClient");
    client->setFixedSize(kClientWidth, kClientHeight);
    scroll_->setWidget(client);
    setCentralWidget(scroll_);

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
    for (QWidget* widget : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        placed_.emplace_back(widget, widget->pos());
    // A click gives the tile view the keyboard: arrows move the selection, Page Up and
    // Page Down turn the page, and no slider moves behind the user's back.
    picTiles->setFocusPolicy(Qt::ClickFocus);

    lblRomState = new QLabel(this);
    lblRomState->setObjectName("lblRomState");
    lblConflicts = new QLabel(this);
    lblConflicts->setObjectName("lblConflicts");
    statusBar()->setObjectName("staMain");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(lblRomState, 1);
    statusBar()->addPermanentWidget(lblConflicts);
    connect(lblConflicts, &QLabel::linkActivated, this, [this] { mnuViewConflicts_Click(); });

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
    connect(picTiles, &ViewCanvas::keyPressed, this, [this](int key, Qt::KeyboardModifiers modifiers) {
        picTiles_KeyDown(key, modifiers);
    });
    connect(picTiles, &ViewCanvas::zoomWheel, this, [this](int steps) { SetZoom(zoom_ + steps); });
}

void frmMain::BuildMenus() {
    auto makeAction = [this](QMenu* menu, const char* name, const QString& text,
                             const QList<QKeySequence>& keys = {}) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcuts(keys);
        return action;
    };

    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFileLoadrom = makeAction(mnuFile, "mnuFileLoadrom", "Load &ROM", {QKeySequence(Qt::CTRL | Qt::Key_O)});
    mnuFileLoadgbp = makeAction(mnuFile, "mnuFileLoadgbp", "Load &GBP", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)});
    mnuFileSavegbp = makeAction(mnuFile, "mnuFileSavegbp", "&Save GBP", {QKeySequence(Qt::CTRL | Qt::Key_S)});
    mnuFileWriterom = makeAction(mnuFile, "mnuFileWriterom", "&Write ROM", {QKeySequence(Qt::CTRL | Qt::Key_W)});
    QMenu* patchMenu = mnuFile->addMenu("Write &Patch");
    patchMenu->setObjectName("mnuFileWritepatchMenu");
    mnuFileWritepatch = patchMenu->menuAction();
    mnuFileWritepatch->setObjectName("mnuFileWritepatch");
    QAction* ips = makeAction(patchMenu, "mnuFileWriteips", "&IPS Patch...");
    QAction* bps = makeAction(patchMenu, "mnuFileWritebps", "&BPS Patch...");
    mnuFile->addSeparator();
    mnuFileExport = mnuFile->addMenu("E&xport");
    mnuFileExport->setObjectName("mnuFileExport");
    QAction* pagePng = makeAction(mnuFileExport, "mnuFileExportpage", "&Page as PNG...");
    QAction* pageGrey = makeAction(mnuFileExport, "mnuFileExportpagegrey", "Page as &Grey PNG...");
    QAction* bankPng = makeAction(mnuFileExport, "mnuFileExportbank", "&Bank as PNG...");
    QAction* bankGrey = makeAction(mnuFileExport, "mnuFileExportbankgrey", "Bank as G&rey PNG...");
    mnuFileExport->addSeparator();
    QAction* jasc = makeAction(mnuFileExport, "mnuFileExportjasc", "Palettes as &JASC (.pal)...");
    QAction* gimp = makeAction(mnuFileExport, "mnuFileExportgimp", "Palettes as G&IMP (.gpl)...");
    mnuFileImport = mnuFile->addMenu("&Import");
    mnuFileImport->setObjectName("mnuFileImport");
    QAction* importPng = makeAction(mnuFileImport, "mnuFileImportpng", "&PNG of a Page or Bank...");
    QAction* importPal = makeAction(mnuFileImport, "mnuFileImportpal", "P&alettes (.pal, .gpl)...");
    mnuFileRecent = mnuFile->addMenu("Recent &Files");
    mnuFileRecent->setObjectName("mnuFileRecent");
    mnuFileNul = mnuFile->addSeparator();
    mnuFileNul->setObjectName("mnuFileNul");
    mnuFileExit = makeAction(mnuFile, "mnuFileExit", "E&xit", {QKeySequence(Qt::CTRL | Qt::Key_Q)});

    QMenu* mnuEdit = menuBar()->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuEditUndo = undo_->createUndoAction(this, "&Undo");
    mnuEditUndo->setObjectName("mnuEditUndo");
    mnuEditUndo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    mnuEditRedo = undo_->createRedoAction(this, "&Redo");
    mnuEditRedo->setObjectName("mnuEditRedo");
    mnuEditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    mnuEdit->addAction(mnuEditUndo);
    mnuEdit->addAction(mnuEditRedo);

    QMenu* mnuView = menuBar()->addMenu("&View");
    mnuView->setObjectName("mnuView");
    mnuViewZoomin = makeAction(mnuView, "mnuViewZoomin", "Zoom &In",
                               {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    mnuViewZoomout = makeAction(mnuView, "mnuViewZoomout", "Zoom &Out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    mnuViewZoomreset = makeAction(mnuView, "mnuViewZoomreset", "&Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    mnuView->addSeparator();
    mnuViewConflicts = makeAction(mnuView, "mnuViewConflicts", "Palette &Conflicts...");
    mnuViewRominfo = makeAction(mnuView, "mnuViewRominfo", "ROM &Info...");

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

    // Keys without a menu item: 0-7 give the selection a palette, B and S pick the set.
    for (int n = 0; n < kPalettes; ++n) {
        auto* action = new QAction(this);
        action->setObjectName(QString("actPalette%1").arg(n));
        action->setShortcut(QKeySequence(Qt::Key_0 + n));
        connect(action, &QAction::triggered, this, [this, n] {
            if (!picTiles->isEnabled()) return;
            optPal[n]->setChecked(true);
            optPal_Click(n);
        });
        keyActions_.push_back(action);
    }
    for (auto [key, name, background] : {std::tuple{Qt::Key_B, "actBackground", true}, {Qt::Key_S, "actSprite", false}}) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, this, [this, background] {
            (background ? optBG : optSprite)->setChecked(true);
            background ? optBG_Click() : optSprite_Click();
        });
        keyActions_.push_back(action);
    }
    addActions(QList<QAction*>(keyActions_.begin(), keyActions_.end()));

    connect(mnuFileLoadrom, &QAction::triggered, this, [this] { mnuFileLoadrom_Click(); });
    connect(mnuFileLoadgbp, &QAction::triggered, this, [this] { mnuFileLoadgbp_Click(); });
    connect(mnuFileSavegbp, &QAction::triggered, this, [this] { mnuFileSavegbp_Click(); });
    connect(mnuFileWriterom, &QAction::triggered, this, [this] { mnuFileWriterom_Click(); });
    connect(ips, &QAction::triggered, this, [this] { mnuFileWritepatch_Click(PatchFormat::Ips); });
    connect(bps, &QAction::triggered, this, [this] { mnuFileWritepatch_Click(PatchFormat::Bps); });
    connect(pagePng, &QAction::triggered, this, [this] { mnuFileExportpng_Click(false, false); });
    connect(pageGrey, &QAction::triggered, this, [this] { mnuFileExportpng_Click(false, true); });
    connect(bankPng, &QAction::triggered, this, [this] { mnuFileExportpng_Click(true, false); });
    connect(bankGrey, &QAction::triggered, this, [this] { mnuFileExportpng_Click(true, true); });
    connect(jasc, &QAction::triggered, this, [this] { mnuFileExportpal_Click(false); });
    connect(gimp, &QAction::triggered, this, [this] { mnuFileExportpal_Click(true); });
    connect(importPng, &QAction::triggered, this, [this] { mnuFileImportpng_Click(); });
    connect(importPal, &QAction::triggered, this, [this] { mnuFileImportpal_Click(); });
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });
    connect(mnuViewZoomin, &QAction::triggered, this, [this] { SetZoom(zoom_ + 1); });
    connect(mnuViewZoomout, &QAction::triggered, this, [this] { SetZoom(zoom_ - 1); });
    connect(mnuViewZoomreset, &QAction::triggered, this, [this] { SetZoom(1); });
    connect(mnuViewConflicts, &QAction::triggered, this, [this] { mnuViewConflicts_Click(); });
    connect(mnuViewRominfo, &QAction::triggered, this, [this] { mnuViewRominfo_Click(); });
    connect(mnuOptGrid, &QAction::triggered, this, [this] { mnuOptGrid_Click(); });
    connect(mnuOptDim, &QAction::triggered, this, [this] { mnuOptDim_Click(); });
    connect(mnuOptReset, &QAction::triggered, this, [this] { mnuOptReset_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });

    // The client area at its first size is the window's first size; the window can be
    // resized from there, and grows when the tile view is zoomed.
    resize(kClientWidth, kClientHeight + ChromeHeight());
}

int frmMain::ChromeHeight() const {
    return menuBar()->sizeHint().height() + statusBar()->sizeHint().height() + (tbrGame ? tbrGame->sizeHint().height() : 0);
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
    PaintTile(Canvas(), image, column, row, palette, model_.TileEdited[sldBank->value()][TileAt(column, row)]);
    picTiles->ImageChanged(QRect(kCell * column, kCell * row, kCell, kCell));
}

void frmMain::RedrawTile(int bank, int tile) {
    if (bank != sldBank->value() || tile / kTilesPerPage != sldPage->value()) return;
    const int cell = tile % kTilesPerPage;
    RedrawCell(cell % kGridCells, cell / kGridCells);
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

void frmMain::PaintTile(const PageCanvas& canvas, const TileImage& image, int column, int row, int palette,
                        bool edited) const {
    QRgb* const origin = canvas.origin + kCell * row * canvas.stride + kCell * column;
    painter_.Paint(origin, canvas.stride, image, palette, canvas.grid, column == kGridCells - 1, row == kGridCells - 1);
    if (!canvas.grid || !edited) return;
    // A bracket in the top right corner, inside the selection frame and the grid line.
    const QRgb mark = 0xFF000000u | kEditMarkColour;
    std::fill_n(origin + 2 * canvas.stride + kCell - 6, 5, mark);
    for (int y = 3; y < 7; ++y) origin[y * canvas.stride + kCell - 2] = mark;
}

void frmMain::SetLockSet(bool enabled) {
    // A page redraw under way keeps the tile view and the Pixel Switch button to itself
    // until it ends; it enables them on its way out.
    picTiles->setEnabled(enabled && !Refreshing);
    for (QWidget* widget : std::initializer_list<QWidget*>{fraPals, fraPalSet, sldBank, sldPage, sldTileOffset})
        widget->setEnabled(enabled);
    for (QAction* action : {mnuFileLoadrom, mnuFileWriterom, mnuFileLoadgbp, mnuFileSavegbp, mnuFileExit, mnuOptGrid,
                            mnuOptDim, mnuOptReset, mnuFileWritepatch, mnuFileExport->menuAction(),
                            mnuFileImport->menuAction(), mnuFileRecent->menuAction(), mnuViewConflicts, mnuViewRominfo})
        action->setEnabled(enabled);
    for (QAction* action : keyActions_) action->setEnabled(enabled);
    // The history's own actions say whether there is anything to undo; while the window
    // is locked, nothing may be undone under the running work.
    mnuEditUndo->setEnabled(enabled && undo_->canUndo());
    mnuEditRedo->setEnabled(enabled && undo_->canRedo());
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
    // The selection frame goes with the cells under it; a pass over every cell redraws them
    // all anyway.
    if (RedrawPal < 8) PreSetCurrent();
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
                PaintTile(canvas, DrawTileData, DrawCol, DrawRow, DrawPal, model_.TileEdited[bank][DrawTileNum]);
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
    // Between a double click and the editor's opening the view stays on the tile to edit.
    if (openingEditor_) return SetSliderQuietly(sldBank, LastBank);
    LastBank = position;
    DoRefresh();  // which shows the bank's own offset on the slider and the labels
}

void frmMain::sldPage_Change() {
    const int position = sldPage->value();
    if (position == LastPage) return;
    if (openingEditor_) return SetSliderQuietly(sldPage, LastPage);
    LastPage = position;
    DoRefresh();
}

void frmMain::sldTileOffset_Change() {
    const int position = sldTileOffset->value();
    if (position == LastTileOffset) return;
    if (openingEditor_) return SetSliderQuietly(sldTileOffset, LastTileOffset);
    LastTileOffset = position;
    RecordWork("Tile Offset", [&] {
        model_.TileOffset[sldBank->value()] = static_cast<std::int16_t>(position);
        DoRefresh();
    });
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

    // The tile is fixed now: a key that reaches a slider during the pause must not send the
    // edit to another bank or another tile (and the sliders ignore such keys meanwhile).
    view_.EditBank = static_cast<std::int16_t>(bank);
    view_.EditTileNum = static_cast<std::int16_t>(TileAt(view_.SelX1, view_.SelY1));
    view_.EditTileData = DisplayTile(model_, bank, view_.EditTileNum);
    view_.EditTilePal = model_.TilePal[bank][view_.EditTileNum];

    openingEditor_ = true;
    Pause(0.4);
    openingEditor_ = false;
    if (programEnded_) return;

    if (!tileEdit_) tileEdit_ = new frmTileEdit(model_, view_, *this, this);
    RecordWork("Edit Tile", [this] { tileEdit_->exec(); });
    SetCurrent();
    ShowCurrent();
}

// --- palettes ----------------------------------------------------------------------------------

void frmMain::optPal_Click(int palette) {
    if (AllowPalChange) ChangePal(palette);
}

void frmMain::ChangePal(int ChangeNewPal) {
    WorkOverSelection(QString("Palette %1").arg(ChangeNewPal), [&](const TileRect& rect, const CellSteps& steps) {
        AssignPalette(model_, rect, ChangeNewPal, steps);
    });
}

void frmMain::SwitchPixels(int a, int b) {
    WorkOverSelection("Pixel Switch", [&](const TileRect& rect, const CellSteps& steps) {
        dapplix::SwitchPixels(model_, rect, a, b, steps);
    });
}

void frmMain::WorkOverSelection(const QString& step, const std::function<void(const TileRect&, const CellSteps&)>& work) {
    RecordWork(step, [&] {
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
    });
}

void frmMain::RecordWork(const QString& step, const std::function<void()>& change) {
    const std::unique_ptr<Work> before = CaptureWork(model_);
    change();
    WorkChange made = DiffWork(*before, model_);
    if (made.empty()) return;
    undo_->push(new WorkStep(model_, step, std::move(made), [this] { WorkChanged(); }));
    UpdateConflicts();
}

void frmMain::WorkChanged() {
    DoRefresh();
    UpdateConflicts();
}

void frmMain::UpdateConflicts() {
    conflictCount_ = romLoaded_ ? CountPaletteConflicts(model_) : 0;
    lblConflicts->setText(conflictCount_ == 0 ? QString()
                          : QString("<a href=\"conflicts\">%1 shared tile%2 in palette</a>")
                                .arg(conflictCount_)
                                .arg(conflictCount_ == 1 ? " differs" : "s differ"));
    lblConflicts->setToolTip("Tiles with the same bytes get one palette in the color ROM: View > Palette Conflicts");
    if (conflicts_ && conflicts_->isVisible()) conflicts_->SetConflicts(FindPaletteConflicts(model_));
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
    RecordWork("Edit Color", [this] { editCol_->exec(); });

    if (model_.Pals[view_.CurPalSet][view_.EditPal][view_.EditCol] != before) {
        RedrawPal = view_.EditPal;
        DoRefresh();
        RedrawPal = 8;
    }
}

void frmMain::mnuOptDim_Click() {
    // The action has already turned its check mark over.
    view_.ColorScale = static_cast<std::int16_t>(mnuOptDim->isChecked() ? kDimScale : kFullScale);
    settings_.SetDimColors(mnuOptDim->isChecked());
    DoRefresh();
}

void frmMain::mnuOptGrid_Click() {
    settings_.SetShowGrid(mnuOptGrid->isChecked());
    DoRefresh();
}

void frmMain::mnuOptReset_Click() {
    if (AskQuery(this, kMsgResetQuestion, MessageButtons::YesNo) != MessageAnswer::Yes) return;
    RecordWork("Reset Changes", [this] {
        ClearTileAttrs(model_);
        DoRefresh();
    });
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
    if (!fileChooser_) {
        fileChooser_ = new frmFile(this);
        // The folder of the last run's last file, if it is still there.
        if (const QString folder = settings_.Folder(); !folder.isEmpty() && QFileInfo(folder).isDir())
            fileChooser_->OpenDirectory(folder);
    }
    return *fileChooser_;
}

bool frmMain::ChooseFile(const QString& title, const QString& pattern, bool saveMode, QString& path) {
    if (!FileChooser().Choose(title, pattern, saveMode)) return false;
    path = FileChooser().FileName();
    // A path typed whole may lead elsewhere: the chooser opens there next time.
    const QString folder = LocalFolder(path);
    if (folder != FileChooser().DirectoryPath()) FileChooser().OpenDirectory(folder);
    settings_.SetFolder(folder);
    return true;
}

QString frmMain::LocalFolder(const QString& path) const { return QFileInfo(path).absolutePath(); }

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
    // Another ROM: the history of the last one's work has nothing to undo here.
    undo_->clear();
    RememberFile(path);
    if (result.scan.forced)
        Messages().Show(scan_, MessageKind::Error, QString::fromLatin1(kTitleError), QString::fromLatin1(kMsgNotEnoughRoom),
                        MessageButtons::Ok);
    if (result.scan.ownVramBank1 >= 0) ShowError(scan_, kMsgOwnVramBank1);
    scan_->Finish();
    // The keys go back to this window (not every window system hands them back by itself).
    activateWindow();

    EnableAll();
    DoRefresh();
    UpdateConflicts();
    ShowRomState(result);
    // What the colour ROM of this cartridge will not be able to do, once the ROM is on
    // screen: the user learns it before the colouring work, not after. The other findings
    // wait in View > ROM Info and the status bar; a box on every load would only annoy.
    if (result.scan.placed && model_.DmaCallLow == 0)
        Messages().Show(this, MessageKind::Error, kTitleWarning, result.scan.blankWaits ? kMsgNoDmaCallButWaits : kMsgNoDmaCall,
                        MessageButtons::Ok);
    for (const std::string& warning : result.warnings)
        Messages().Show(this, MessageKind::Error, kTitleWarning, QString::fromStdString(warning), MessageButtons::Ok);
    return true;
}

void frmMain::ShowLoadedRom() {
    sldBank->setEnabled(true);
    {
        const QSignalBlocker blocker(sldBank);
        // Every bank can be browsed and coloured; a new ROM still opens on bank 2, where the
        // graphics of most games start.
        sldBank->setRange(kFirstBrowsedBank, model_.BankCount);
        sldBank->setValue(kOpeningBank);
    }
    SetSliderQuietly(sldPage, 0);
    LastBank = kOpeningBank;
    LastPage = 0;
    setWindowTitle("Dapplix - " + QString::fromLatin1(RomTitle(model_.RomBank[0])));
    romLoaded_ = true;
    scan_->Begin();
}

bool frmMain::ColourCodeReady() {
    if (model_.ColourCodePlaced) return true;
    ShowError(this, kMsgCodeNotPlaced);
    return false;
}

void frmMain::mnuFileWriterom_Click() {
    QString path;
    if (!ColourCodeReady() || !ChooseFile("Write Color ROM", "*.gbc", true, path) || !OutputAllowed(path)) return;
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
    if (saved.ok) RememberFile(path);
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
    OpenProjectFile(path);
}

bool frmMain::OpenProjectFile(const QString& path) {
    FlowResult opened;
    RecordWork("Load Project", [&] { opened = OpenProject(model_, LocalPath(path)); });
    if (!opened.ok) {
        ShowFailure(opened);
        return false;
    }
    RememberFile(path);
    DoRefresh();
    UpdateConflicts();
    return true;
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
    settings_.SetWindowGeometry(saveGeometry());
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
    settings_.SetWindowGeometry(saveGeometry());
    programEnded_ = true;
    event->accept();
    emit programEnded();
}

// --- zoom and keyboard --------------------------------------------------------------------------

void frmMain::SetZoom(int zoom) {
    zoom = std::clamp(zoom, 1, 4);
    const bool changed = zoom != zoom_;
    zoom_ = zoom;
    LayOut();
    mnuViewZoomin->setEnabled(zoom_ < 4);
    mnuViewZoomout->setEnabled(zoom_ > 1);
    if (!changed) return;
    settings_.SetZoom(zoom_);
    // The window takes the size that shows the whole view, as far as the screen has room;
    // the user may resize it from there (a smaller window scrolls).
    QSize fitting = client_->size() + QSize(0, ChromeHeight());
    if (const QScreen* shown = screen()) fitting = fitting.boundedTo(shown->availableGeometry().size());
    resize(fitting);
}

void frmMain::LayOut() {
    // Everything right of or below the tile view moves on by what the view grew.
    const int grown = kViewSide * (zoom_ - 1);
    for (auto [widget, place] : placed_)
        widget->move(place.x() + (place.x() >= kViewSide ? grown : 0), place.y() + (place.y() >= kViewSide ? grown : 0));
    picTiles->SetZoom(zoom_);
    client_->setFixedSize(kClientWidth + grown, kClientHeight + grown);
}

void frmMain::picTiles_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (openingEditor_ || locked_ || !romLoaded_ || (modifiers & ~Qt::KeypadModifier)) return;
    switch (key) {
    case Qt::Key_Left: return MoveSelection(-1, 0);
    case Qt::Key_Right: return MoveSelection(1, 0);
    case Qt::Key_Up: return MoveSelection(0, -1);
    case Qt::Key_Down: return MoveSelection(0, 1);
    case Qt::Key_PageUp: return sldPage->setValue(sldPage->value() - 1);
    case Qt::Key_PageDown: return sldPage->setValue(sldPage->value() + 1);
    case Qt::Key_Return:
    case Qt::Key_Enter: return picTiles_DblClick();
    default: return;
    }
}

void frmMain::MoveSelection(int dx, int dy) {
    // The selection becomes the one cell next to its top-left cell, as a click there would.
    PreSetCurrent();
    view_.SelX1 = view_.SelX2 = static_cast<std::int16_t>(std::clamp(view_.SelX1 + dx, 0, kGridCells - 1));
    view_.SelY1 = view_.SelY2 = static_cast<std::int16_t>(std::clamp(view_.SelY1 + dy, 0, kGridCells - 1));
    SelDirX = SelDirY = 1;
    SetCurrent();
    ShowCurrent();
}

void frmMain::ShowTile(int bank, int tile) {
    if (!romLoaded_ || locked_ || bank < 0 || bank > model_.BankCount || tile < 0 || tile >= kTilesPerBank) return;
    sldBank->setValue(bank);
    sldPage->setValue(tile / kTilesPerPage);
    const int cell = tile % kTilesPerPage;
    PreSetCurrent();
    view_.SelX1 = view_.SelX2 = static_cast<std::int16_t>(cell % kGridCells);
    view_.SelY1 = view_.SelY2 = static_cast<std::int16_t>(cell / kGridCells);
    SelDirX = SelDirY = 1;
    SetCurrent();
    ShowCurrent();
}

// --- recent files ------------------------------------------------------------------------------

void frmMain::RememberFile(const QString& path) {
    settings_.AddRecentFile(QFileInfo(path).absoluteFilePath());
    RefreshRecentMenu();
}

void frmMain::RefreshRecentMenu() {
    mnuFileRecent->clear();
    const QStringList files = settings_.RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString& path = files[i];
        QAction* action = mnuFileRecent->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setObjectName(QString("mnuFileRecent%1").arg(i));
        action->setToolTip(path);
        action->setStatusTip(path);
        // A project needs its ROM loaded first.
        action->setEnabled(romLoaded_ || !path.endsWith(".gbp", Qt::CaseInsensitive));
        connect(action, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
    }
    mnuFileRecent->setToolTipsVisible(true);
    if (files.isEmpty()) mnuFileRecent->addAction("(none)")->setEnabled(false);
}

void frmMain::OpenRecentFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        ShowError(this, "Couldn't open " + path + ": it is no longer there.");
        settings_.RemoveRecentFile(path);
        RefreshRecentMenu();
        return;
    }
    if (!path.endsWith(".gbp", Qt::CaseInsensitive)) {
        LoadRomFile(path);
    } else if (!romLoaded_) {
        ShowError(this, kMsgProjectNeedsRom);
    } else {
        OpenProjectFile(path);
    }
    RefreshRecentMenu();
}

// --- what the scan found -----------------------------------------------------------------------

void frmMain::ShowRomState(const RomOpenResult& result) {
    findings_ = result.findings;
    warnings_ = result.warnings;
    QPalette palette = lblRomState->palette();
    if (!result.scan.placed) {
        lblRomState->setText("No color code in bank 0: no color ROM can be written");
        palette.setColor(QPalette::WindowText, kBusyColour);
    } else {
        lblRomState->setText(model_.DmaCallLow == 0 ? "Color code placed; no OAM DMA call found"
                                                    : "Color code placed; OAM DMA call found");
        palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    }
    lblRomState->setPalette(palette);
    QStringList lines;
    for (const std::string& line : findings_) lines << QString::fromStdString(line);
    lblRomState->setToolTip(lines.join('\n'));
    RefreshRecentMenu();  // projects can be opened now
}

void frmMain::mnuViewRominfo_Click() {
    QStringList lines{QString("%1: %2 banks").arg(QString::fromStdString(QuotedTitle(model_.RomBank[0]))).arg(model_.BankCount + 1)};
    for (const std::string& line : findings_) lines << QString::fromStdString(line);
    for (const std::string& line : warnings_) lines << QString::fromStdString(line);
    Messages().Show(this, MessageKind::Information, kTitleRomInfo, lines.join("\n\n"), MessageButtons::Ok);
}

void frmMain::mnuViewConflicts_Click() {
    if (!conflicts_) {
        conflicts_ = new frmConflicts(this);
        connect(conflicts_, &frmConflicts::tileChosen, this, [this](int bank, int tile) { ShowTile(bank, tile); });
    }
    conflicts_->SetConflicts(FindPaletteConflicts(model_));
    conflicts_->show();
    conflicts_->raise();
}

// --- exchange: patches, pictures, palette files ---------------------------------------------

void frmMain::mnuFileWritepatch_Click(PatchFormat format) {
    const bool ips = format == PatchFormat::Ips;
    QString path;
    if (!ColourCodeReady() || !ChooseFile(ips ? "Write IPS Patch" : "Write BPS Patch", ips ? "*.ips" : "*.bps", true, path) ||
        !OutputAllowed(path))
        return;
    DisableAll();
    const FlowResult written = WriteColourPatch(model_, LocalPath(path), format);
    EnableAll();
    if (!written.ok) return ShowFailure(written);
    Messages().Show(this, MessageKind::Information, kTitleWriteDone, path + kMsgWriteDoneSuffix, MessageButtons::Ok);
}

void frmMain::mnuFileExportpng_Click(bool wholeBank, bool grey) {
    QString path;
    if (!ChooseFile(wholeBank ? "Export Bank" : "Export Page", "*.png", true, path) || !OutputAllowed(path)) return;
    const SheetArea area{sldBank->value(), wholeBank ? -1 : sldPage->value()};
    std::string error;
    if (!SaveSheetPng(ExportTileSheet(model_, area, view_.CurPalSet, grey), LocalPath(path), error))
        ShowError(this, QString::fromStdString(error));
}

void frmMain::mnuFileImportpng_Click() {
    QString path;
    if (!ChooseFile("Import PNG", "*.png", false, path)) return;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::string error;
    if (!LoadSheetPicture(LocalPath(path), width, height, pixels, error)) return ShowError(this, QString::fromStdString(error));
    // A bank's picture is four pages high; anything else is taken for the shown page.
    const SheetArea area{sldBank->value(), height == SheetArea{0, -1}.height() ? -1 : sldPage->value()};
    SheetImport read;
    RecordWork("Import PNG", [&] { read = ImportTileSheet(model_, area, view_.CurPalSet, width, height, pixels); });
    if (!read.ok) return ShowError(this, QString::fromStdString(read.error));
    DoRefresh();
    UpdateConflicts();
    QString report = QString("%1 of bank %2: ").arg(area.page < 0 ? "All pages" : QString("Page %1").arg(area.page)).arg(area.bank);
    if (read.changedTiles.empty()) {
        report += "no tile changed.";
    } else {
        QStringList tiles;
        for (std::size_t i = 0; i < read.changedTiles.size() && i < 24; ++i) tiles << QString::number(read.changedTiles[i]);
        if (read.changedTiles.size() > 24) tiles << "...";
        report += QString("%1 tile%2 changed (%3).").arg(read.changedTiles.size()).arg(read.changedTiles.size() == 1 ? "" : "s").arg(tiles.join(", "));
    }
    report += read.grey ? " Read as grey." : " Read in the tiles' palettes.";
    if (read.inexactPixels > 0)
        report += QString(" %1 pixel%2 not one of the palette's colors and took the nearest.")
                      .arg(read.inexactPixels)
                      .arg(read.inexactPixels == 1 ? " was" : "s were");
    Messages().Show(this, MessageKind::Information, "Import PNG", report, MessageButtons::Ok);
}

void frmMain::mnuFileExportpal_Click(bool gimp) {
    QString path;
    if (!ChooseFile("Export Palettes", gimp ? "*.gpl" : "*.pal", true, path) || !OutputAllowed(path)) return;
    std::string error;
    if (!SavePaletteFile(model_, view_.CurPalSet, LocalPath(path), error)) ShowError(this, QString::fromStdString(error));
}

void frmMain::mnuFileImportpal_Click() {
    QString path;
    if (!ChooseFile("Import Palettes", "*.pal;*.gpl", false, path)) return;
    int taken = 0;
    std::string error;
    bool read = false;
    RecordWork("Import Palettes", [&] { read = LoadPaletteFile(model_, view_.CurPalSet, LocalPath(path), taken, error); });
    if (!read) return ShowError(this, QString::fromStdString(error));
    DoRefresh();
    if (taken < kPalettes * kColours)
        Messages().Show(this, MessageKind::Information, "Import Palettes",
                        QString("The file holds %1 colors: only those were taken.").arg(taken), MessageButtons::Ok);
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
    resize(width(), height() + tbrGame->sizeHint().height());  // the client keeps its first size

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
