// The user's flows, each written once for the window program and dapplix-cli alike:
// opening a ROM for colouring, opening and saving a project, giving a rectangle of tiles
// a palette and the pixel switch over it. Each says what the user must be told, in the
// order it is told; the front end only decides how (message boxes, standard error).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Binary.h"
#include "Patch.h"
#include "Scan.h"

namespace dapplix {

struct FlowResult {
    bool ok = false;
    std::vector<std::string> errors;  // one message each, in order
    std::string summary;              // the closing line after the errors; empty if none
};

struct RomOpenResult : FlowResult {
    ScanResult scan;                    // where the colour code went, what the scan found
    std::vector<std::string> findings;  // the scan's findings for the user (DescribeScan)
    std::vector<std::string> warnings;  // what the colour ROM of this cartridge cannot do
};

// What the front end does while a ROM opens: `loaded` runs once the banks are in (before
// the scan), `progress` receives the scan's progress bar value, and `overwriteRomCode` is
// asked, only when bank 0 has no unused end for the colour code, whether to put it over ROM
// code all the same (no answer: no). The ROM stays loaded either way; without the colour
// code no colour ROM can be written.
struct RomOpenSteps {
    std::function<void()> loaded;
    ScanProgressFn progress;
    std::function<bool()> overwriteRomCode;
};

// The header checks and the load, without the scan: only banks 2 and up are shown and
// coloured, so a ROM without bank 2 is refused like any other. A refused file changes
// nothing; the summary is kMsgCouldNotLoadRom.
RomOpenResult LoadRomForColouring(Model& model, const std::string& path);

// LoadRomForColouring, then the scan that prepares bank 0. Without room (result.scan.placed
// false) errors holds kMsgNoSafeRoom, for a game that writes VRAM bank 1 itself
// kMsgOwnVramBank1 (not asked about: no placement helps it); the load itself still succeeded.
RomOpenResult OpenRomForColouring(Model& model, const std::string& path, const RomOpenSteps& steps = {});

// Header messages (magic, version) or the reader's refusal, then kMsgCouldNotLoadGbp.
FlowResult OpenProject(Model& model, const std::string& path);

// All or nothing; the one error says why a save failed.
FlowResult SaveProject(const Model& model, const std::string& path);

// The colour ROM as an IPS or BPS patch against the ROM file as it was loaded. Refused,
// like the colour ROM itself, when the colour code has no place in bank 0.
FlowResult WriteColourPatch(Model& model, const std::string& path, PatchFormat format);

// --- rectangles of tiles on the shown page ---------------------------------------------

constexpr int kGridCells = 16;  // a page is shown as 16 x 16 cells

// Tile number of grid cell (column, row) of a page.
constexpr int PageTile(int page, int column, int row) { return page * kTilesPerPage + row * kGridCells + column; }

struct TileRect {
    int bank = 0;
    int page = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // grid cells, both ends included
};

// The rectangle between two corner cells given in any order, held to the grid.
TileRect SelectionRect(int bank, int page, int x1, int y1, int x2, int y2);

// Called around each cell, row by row: `beforeCell` lets a window's events run, `cellDone`
// gets the image the tile now shows and its palette.
struct CellSteps {
    std::function<void()> beforeCell;
    std::function<void(int column, int row, const TileImage& shown, int palette)> cellDone;
};

// Gives every tile of the rectangle the palette number.
void AssignPalette(Model& model, const TileRect& rect, int palette, const CellSteps& steps = {});

// Swaps pixel values a and b in every tile of the rectangle, storing each result by the
// edited-tile rule; the absent last tile of a shifted bank is left as it is.
void SwitchPixels(Model& model, const TileRect& rect, int a, int b, const CellSteps& steps = {});

}  // namespace dapplix
