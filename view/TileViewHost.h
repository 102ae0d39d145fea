// What the editing dialogs need from the main window: the shown bank and page, drawing
// one tile into the tile view, the lock set, the selection frame and the status label.
// frmMain implements it; the dialogs hold a reference and never include frmMain itself.
#pragma once

#include <QColor>
#include <QString>

#include "engine/Binary.h"

namespace dapplix {

class TileViewHost {
public:
    virtual ~TileViewHost() = default;

    virtual int CurrentBank() const = 0;  // position of sldBank
    virtual int CurrentPage() const = 0;  // position of sldPage

    // Draws a tile image into grid cell (column, row) of picTiles with the given palette
    // number of the shown palette set, plus its grid lines when "Show Grid" is checked.
    virtual void DrawTile(const TileImage& image, int column, int row, int palette) = 0;

    virtual void DisableAll() = 0;
    virtual void EnableAll() = 0;
    virtual void SetCurrent() = 0;   // draws the selection frame
    virtual void ShowCurrent() = 0;  // current tile, option buttons, picCurrent

    // Text and text colour of lblStatus.
    virtual void SetStatus(const QString& text, const QColor& colour) = 0;
    virtual void SetStatusText(const QString& text) = 0;  // keeps the colour
};

}  // namespace dapplix
