// The marks the tile view puts on tiles that were seen in play and still have no palette:
// what is left to colour of the part of the game played so far.
#pragma once

#include <QImage>

#include "engine/Binary.h"
#include "engine/TileSearch.h"

namespace dapplix {

// A corner mark in each cell of a shown page (16 x 16 cells of cellSize pixels) whose tile
// was seen without a palette. Returns the number of cells marked.
int PaintCoverageMarks(QImage& view, const Model& model, const TileCoverage& coverage, int bank, int page, int cellSize);

// Whether a cell's picture carries the mark.
bool HasCoverageMark(const QImage& view, int column, int row, int cellSize);

}  // namespace dapplix
