// The main window: the tile view of one page of one bank, the current tile, the palette
// strip with its option buttons, the palette set, the three navigation sliders and the
// menus through which ROMs, projects and colour ROMs are loaded and written.
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/Binary.h"
#include "engine/Flows.h"
#include "engine/Patch.h"
#include "widgets/AppSettings.h"
#include "widgets/TilePainter.h"
#include "widgets/TileViewHost.h"
#include "widgets/ViewState.h"

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QUndoStack;
class QToolBar;

namespace dapplix {

class ViewCanvas;
class frmAbout;
class frmConflicts;
class frmEditCol;
class frmFile;
class frmPixelSwitch;
class frmPlay;
class frmScanROM;
class frmTileEdit;

inline constexpr const char* kMsgSaveQuestion = "Save palette and tile data?";
inline constexpr const char* kMsgResetQuestion =
    "Are you sure you want to remove all palette asignments and edited tiles?";
inline constexpr const char* kTitleWriteDone = "Color Write Done";
inline constexpr const char* kTitleWarning = "Warning";
inline constexpr const char* kTitleRomInfo = "ROM Info";
inline constexpr const char* kMsgNoDmaCall =
    "No OAM DMA call was found in bank 0: in the color ROM, sprites keep palette 0 and map attributes "
    "and fades are not followed. View > ROM Info lists everything the scan found.";
inline constexpr const char* kMsgNoDmaCallButWaits =
    "No OAM DMA call was found in bank 0: in the color ROM, sprites keep palette 0 (map attributes "
    "and fades follow where the game waits for the vertical blank). View > ROM Info lists everything the scan found.";
inline constexpr const char* kMsgProjectNeedsRom = "Load the ROM first: a project holds the work on a ROM.";

class frmMain : public QMainWindow, public TileViewHost {
    Q_OBJECT
public:
    explicit frmMain(Model& model, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up's first step: reads the side files from dirs. When one is missing it shows
    // "Required file <name> missing!" in a "Fatal Error" box and returns false; the
    // program must then end without showing its window.
    static bool LoadSideFiles(Model& model, const std::vector<std::string>& dirs, QWidget* parent = nullptr);

    // --- TileViewHost, used by the editing dialogs -----------------------------------
    int CurrentBank() const override;
    void DrawTile(const TileImage& image, int column, int row, int palette) override;
    void RedrawTile(int bank, int tile) override;
    void SwitchPixels(int a, int b) override;

    int CurrentPage() const;
    void DisableAll();
    void EnableAll();
    void SetCurrent();   // draws the selection frame
    void ShowCurrent();  // current tile, option buttons, picCurrent
    void SetStatus(const QString& text, const QColor& colour);
    void SetStatusText(const QString& text);  // keeps the colour

    // --- drawing and navigation ---------------------------------------------------------
    void RefreshTiles();
    void DoRefresh();
    void RefreshPals();

    // --- selection and palette assignment ----------------------------------------------
    void PreSetCurrent();
    void AutoSetPal();
    bool AllCurPalSame() const;
    void ChangePal(int ChangeNewPal);

    // --- the user's flows -----------------------------------------------------------------
    // Loads, checks and scans a ROM file and opens it on bank 2, page 0: the Load ROM
    // menu after its chooser, a file named on the command line, a file dropped on the
    // window. Every refusal is shown; a refused file changes nothing. True on success.
    bool LoadRomFile(const QString& path);

    // True once the program has been told to end (Exit, or the window closed for good).
    bool ProgramEnded() const { return programEnded_; }

    // --- the Game menu: the Play window and the marks of tiles seen in play ---------------
    // Shows a tile in the tile view and selects it: its bank (which must be one the bank
    // slider reaches), the tile offset under which it is tile number tile, and its page.
    // False, and nothing changed, when the bank is not shown or the window is busy.
    bool ShowTileAt(int bank, int offset, int tile);
    frmPlay* PlayWindow() { return play_; }

    // The file chooser, created on first use.
    frmFile& FileChooser();

    // Shows the tile's bank and page and selects it (the list of palette conflicts).
    void ShowTile(int bank, int tile);

    // The undo history of the work: every change of palettes, colours, tiles and offsets,
    // and each project load and reset. A newly loaded ROM starts a new history.
    QUndoStack& UndoStack() { return *undo_; }

    // The tile view at 1 to 4 times its first size; the window grows to fit.
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);

    // Distinct tile images given more than one palette, as the status bar shows them.
    int ConflictCount() const { return conflictCount_; }
    // What the scan of the loaded ROM found, one line each (View > ROM Info).
    const std::vector<std::string>& ScanFindings() const { return findings_; }

    // The window's own state: selection, shown set, dimming and the dialogs' hand-over values.
    ViewState& View() { return view_; }

    // Lets window events run once per tile during a page redraw, so that the user sees
    // the page build up and can move a slider meanwhile. Off only for measurements of the
    // drawing itself: a redraw that does not yield draws the same page, but nothing can
    // see its busy state, so it does not set one.
    void SetYieldPerTile(bool yield) { YieldPerTile = yield; }

signals:
    // A page redraw ran to its end (a rewound redraw counts once).
    void pageRedrawn();
    // The user ended the program (Exit, or closing the window without keeping it open).
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    void SetUpStartState();

    // Event handlers.
    void mnuFileLoadrom_Click();
    void mnuFileLoadgbp_Click();
    void mnuFileSavegbp_Click();
    void mnuFileWriterom_Click();
    void mnuFileExit_Click();
    void mnuOptGrid_Click();
    void mnuOptDim_Click();
    void mnuOptReset_Click();
    void mnuAbout_Click();
    void mnuFileWritepatch_Click(PatchFormat format);
    void mnuFileExportpng_Click(bool wholeBank, bool grey);
    void mnuFileImportpng_Click();
    void mnuFileExportpal_Click(bool gimp);
    void mnuFileImportpal_Click();
    void mnuViewConflicts_Click();
    void mnuViewRominfo_Click();
    void OpenRecentFile(const QString& path);
    void picTiles_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void cmdPixelSwitch_Click();
    void optPal_Click(int palette);
    void optBG_Click();
    void optSprite_Click();
    void sldBank_Change();
    void sldPage_Change();
    void sldTileOffset_Change();
    void picTiles_MouseDown(QPoint pos);
    void picTiles_MouseMove(QPoint pos);
    void picTiles_MouseUp();
    void picTiles_DblClick();
    void picPals_MouseUp(QPoint pos);
    void BuildGameMenu();
    void mnuGamePlay_Click();
    void MarkSeenTiles();  // the coverage marks on the shown page, while they are asked for

    // Locks the window and runs a flow over the selection with the busy status, drawing
    // each tile as it is done and letting window events run between tiles.
    void WorkOverSelection(const QString& step, const std::function<void(const TileRect&, const CellSteps&)>& work);
    // Runs a change of the work and makes it one step of the undo history (none when
    // nothing changed). The change draws what it changed itself.
    void RecordWork(const QString& step, const std::function<void()>& change);
    // After an undo or redo, a load or an import: the page, the palettes and the count
    // of palette conflicts brought up to date.
    void WorkChanged();
    void UpdateConflicts();
    // The status bar's account of the loaded ROM: where the colour code went, or why no
    // colour ROM can be written.
    void ShowRomState(const RomOpenResult& result);
    // Places the controls around a tile view of the current zoom.
    void LayOut();
    int ChromeHeight() const;  // menu bar, toolbar and status bar
    void MoveSelection(int dx, int dy);
    // The recently used files as the Recent Files menu; the settings keep them.
    void RememberFile(const QString& path);
    void RefreshRecentMenu();
    bool OpenProjectFile(const QString& path);
    // A write that needs the colour code refuses at once when the scan placed none.
    bool ColourCodeReady();
    // Shows the messages of a flow that failed, then its summary.
    void ShowFailure(const FlowResult& result);

    // Shows the chooser with a title, pattern and mode; true (and path set) when the user
    // chose a file.
    bool ChooseFile(const QString& title, const QString& pattern, bool saveMode, QString& path);
    QString LocalFolder(const QString& path) const;
    // Saves the project with the window locked; shows why when it fails.
    bool SaveProject(const QString& path);
    // A ROM has loaded: the sliders, the caption, and the scan window over the window.
    void ShowLoadedRom();
    // Whether a write may go to path (not onto the loaded ROM's file, a device or a
    // read-only file); shows why not.
    bool OutputAllowed(const QString& path);
    // The save question of Exit and of closing the window. True when the program may end.
    bool OfferSaveBeforeQuit(bool* cancelled);
    void EndProgram();

    // Where tiles are painted: the first pixel of the image of picTiles, its line stride,
    // and whether grid lines go with the tiles.
    struct PageCanvas {
        QRgb* origin;
        std::ptrdiff_t stride;
        bool grid;
    };
    PageCanvas Canvas();
    // Draws a tile into the image of picTiles without asking for a repaint, with the
    // colours last loaded for its palette.
    // Edited tiles get a corner mark while the grid is shown.
    void PaintTile(const PageCanvas& canvas, const TileImage& image, int column, int row, int palette,
                   bool edited) const;
    void LoadPalette(int palette);
    void RedrawCell(int column, int row);  // with its own palette, for the frame routines
    static std::array<int, 2> CellUnder(QPoint pos);
    void SetSliderQuietly(QSlider* slider, int value);
    int TileAt(int column, int row) const;  // tile number of a grid cell of the shown page
    // Enables or disables every control of the lock set (the tile view and Pixel Switch
    // stay disabled while a page redraw runs).
    void SetLockSet(bool enabled);

    // --- state of the view, named as the rest of the program speaks of it -----------------
    // Page redraw: the loop members are members so that DoRefresh can rewind a running
    // redraw from an event handler that the redraw let through.
    bool Refreshing = false;
    int DrawTileNum = 0;
    int DrawRow = 0;
    int DrawCol = 0;
    int DrawPal = 0;
    TileImage DrawTileData{};
    int RedrawPal = 8;  // 8 = redraw every tile; 0..7 = only tiles of that palette

    int LastBank = 0;
    int LastPage = 0;
    int LastTileOffset = 0;

    bool SelDragging = false;
    int SelDirX = 1;
    int SelDirY = 1;
    int CurTile = 0;
    TileImage CurTileData{};
    int CurPal = 0;
    bool AllowPalChange = true;

    bool YieldPerTile = true;


    Model& model_;
    ViewState view_;

    ViewCanvas* picTiles = nullptr;
    ViewCanvas* picCurrent = nullptr;
    ViewCanvas* picPals = nullptr;
    QPushButton* cmdPixelSwitch = nullptr;
    QGroupBox* fraPals = nullptr;
    std::array<QRadioButton*, kPalettes> optPal{};
    QButtonGroup* palGroup_ = nullptr;
    QGroupBox* fraPalSet = nullptr;
    QRadioButton* optSprite = nullptr;
    QRadioButton* optBG = nullptr;
    QLabel* lblPage = nullptr;
    QSlider* sldPage = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblBank = nullptr;
    QSlider* sldBank = nullptr;
    QLabel* lblTileOffset = nullptr;
    QSlider* sldTileOffset = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileLoadrom = nullptr;
    QAction* mnuFileLoadgbp = nullptr;
    QAction* mnuFileSavegbp = nullptr;
    QAction* mnuFileWriterom = nullptr;
    QAction* mnuFileNul = nullptr;
    QAction* mnuFileExit = nullptr;
    QAction* mnuFileWritepatch = nullptr;
    QMenu* mnuFileExport = nullptr;
    QMenu* mnuFileImport = nullptr;
    QMenu* mnuFileRecent = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QAction* mnuViewZoomin = nullptr;
    QAction* mnuViewZoomout = nullptr;
    QAction* mnuViewZoomreset = nullptr;
    QAction* mnuViewConflicts = nullptr;
    QAction* mnuViewRominfo = nullptr;
    std::vector<QAction*> keyActions_;  // 0-7, B and S, without a menu
    QMenu* mnuOpt = nullptr;
    QAction* mnuOptGrid = nullptr;
    QAction* mnuOptDim = nullptr;
    QAction* mnuOptReset = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuGame = nullptr;
    QAction* mnuGamePlay = nullptr;
    QAction* mnuGameSeen = nullptr;
    QToolBar* tbrGame = nullptr;
    frmPlay* play_ = nullptr;
    std::string playedRomPath_;    // the ROM whose play the coverage is of

    frmFile* fileChooser_ = nullptr;
    frmAbout* about_ = nullptr;
    frmScanROM* scan_ = nullptr;
    frmEditCol* editCol_ = nullptr;
    frmTileEdit* tileEdit_ = nullptr;
    frmPixelSwitch* pixelSwitch_ = nullptr;
    frmConflicts* conflicts_ = nullptr;

    QScrollArea* scroll_ = nullptr;
    QWidget* client_ = nullptr;
    std::vector<std::pair<QWidget*, QPoint>> placed_;  // the controls' places at zoom 1
    QLabel* lblRomState = nullptr;
    QLabel* lblConflicts = nullptr;
    QUndoStack* undo_ = nullptr;
    AppSettings settings_;
    int zoom_ = 1;
    int conflictCount_ = 0;
    std::vector<std::string> findings_;
    std::vector<std::string> warnings_;

    TilePainter painter_;
    bool currentShown_ = false;  // what picCurrent shows: the image in these colours
    TileImage shownCurrentData_{};
    std::array<QRgb, kColours> shownCurrentColours_{};
    bool romLoaded_ = false;
    std::string romPath_;          // the loaded ROM's file, which no write may replace
    bool locked_ = false;          // between DisableAll and EnableAll
    bool closePending_ = false;    // the window was closed while locked
    bool openingEditor_ = false;   // a double click is on its way to the tile editor
    bool programEnded_ = false;
};

}  // namespace dapplix
