#include "play/CoverageMarks.h"

#include "engine/Flows.h"

namespace dapplix {
namespace {

constexpr int kMarkSide = 6;
constexpr QRgb kMarkColour = qRgb(255, 0, 255);  // a colour no dimmed palette strip shows
constexpr QRgb kMarkEdge = qRgb(0, 0, 0);

}  // namespace

int PaintCoverageMarks(QImage& view, const Model& model, const TileCoverage& coverage, int bank, int page, int cellSize) {
    int marked = 0;
    for (int row = 0; row < kGridCells; ++row) {
        for (int column = 0; column < kGridCells; ++column) {
            if (!SeenWithoutPalette(model, coverage, bank, PageTile(page, column, row))) continue;
            ++marked;
            // A triangle in the top right corner, its long side edged in black.
            const int right = (column + 1) * cellSize - 1, top = row * cellSize;
            for (int y = 0; y < kMarkSide; ++y)
                for (int x = y; x < kMarkSide; ++x)
                    if (right - (kMarkSide - 1) + x < view.width() && top + y < view.height())
                        view.setPixel(right - (kMarkSide - 1) + x, top + y, x == y ? kMarkEdge : kMarkColour);
        }
    }
    return marked;
}

bool HasCoverageMark(const QImage& view, int column, int row, int cellSize) {
    const int right = (column + 1) * cellSize - 1, top = row * cellSize;
    return view.pixel(right, top) == (0xFF000000u | kMarkColour) && view.pixel(right - 1, top + 1) == (0xFF000000u | kMarkColour);
}

}  // namespace dapplix
