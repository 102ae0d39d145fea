#include "view/frmConflicts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dapplix {

frmConflicts::frmConflicts(QWidget* parent) : QDialog(parent) {
    setObjectName("frmConflicts");
    setWindowTitle("Tiles Shared With Other Palettes");
    lblSummary = new QLabel(this);
    lblSummary->setObjectName("lblSummary");
    lblSummary->setWordWrap(true);
    lstConflicts = new QTableWidget(0, 5, this);
    lstConflicts->setObjectName("lstConflicts");
    lstConflicts->setHorizontalHeaderLabels({"Bank", "Tile", "Palette", "Palettes given", "Color ROM uses"});
    lstConflicts->verticalHeader()->hide();
    lstConflicts->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstConflicts->setSelectionMode(QAbstractItemView::SingleSelection);
    lstConflicts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstConflicts->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lstConflicts);
    resize(440, 300);
    connect(lstConflicts, &QTableWidget::cellActivated, this, [this](int row, int) {
        if (row >= 0 && std::size_t(row) < rows_.size()) emit tileChosen(rows_[std::size_t(row)].bank, rows_[std::size_t(row)].tile);
    });
}

void frmConflicts::SetConflicts(const std::vector<PaletteConflict>& rows) {
    rows_ = rows;
    lblSummary->setText(rows.empty() ? QString("No tile shares its bytes with a tile of another palette.")
                                     : QString("The color ROM knows a tile by its bytes, so tiles with the same bytes "
                                               "all get one palette: the one given most often, the lower number on a tie. "
                                               "Double-click a row to show the tile."));
    lstConflicts->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const PaletteConflict& row = rows[std::size_t(i)];
        QStringList given;
        for (int palette = 1; palette < kPalettes; ++palette)
            if (row.given[std::size_t(palette)] > 0)
                given << QString("%1 (%2 tile%3)").arg(palette).arg(row.given[std::size_t(palette)]).arg(row.given[std::size_t(palette)] == 1 ? "" : "s");
        const QStringList cells{QString::number(row.bank), QString::number(row.tile), QString::number(row.palette),
                                given.join(", "), QString::number(row.wins)};
        for (int column = 0; column < cells.size(); ++column)
            lstConflicts->setItem(i, column, new QTableWidgetItem(cells[column]));
    }
    lstConflicts->resizeColumnsToContents();
}

}  // namespace dapplix
