// The tiles whose bytes are the same but which were given different palettes, one row a
// tile: bank, tile number, the palette it was given, the palettes its bytes were given
// altogether, and the one the colour ROM gives all of them. Choosing a row (double click
// or Enter) asks the main window to show and select that tile.
#pragma once

#include <QDialog>

#include "engine/PaletteConflicts.h"

class QLabel;
class QTableWidget;

namespace dapplix {

class frmConflicts : public QDialog {
    Q_OBJECT
public:
    explicit frmConflicts(QWidget* parent = nullptr);

    void SetConflicts(const std::vector<PaletteConflict>& rows);

signals:
    void tileChosen(int bank, int tile);

private:
    QLabel* lblSummary = nullptr;
    QTableWidget* lstConflicts = nullptr;
    std::vector<PaletteConflict> rows_;
};

}  // namespace dapplix
