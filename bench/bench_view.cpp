// The page redraw of the main window, beside a baseline measured in the same run: filling
// the 256 x 256 image of the tile view once. The redraw is measured without and with the
// per-tile turn of the event loop that lets the user see the page build up; with it, the
// longest time between two turns says whether the window could ever seem to stall.
//   bench_view [--benchmark_min_time=0.3]      (runs headless unless QT_QPA_PLATFORM is set)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/Binary.h"
#include "engine/Palette.h"
#include "widgets/Messages.h"
#include "widgets/TilePainter.h"
#include "view/frmMain.h"
#include "RatioReporter.h"

namespace {

using namespace dapplix;

// Answers every box with Ok / No / Cancel, so nothing waits for a user.
class SilentMessages final : public MessageBoxes {
public:
    MessageAnswer Show(QWidget*, MessageKind, const QString&, const QString&, MessageButtons buttons) override {
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
};

// A main window showing a page of a 4-bank ROM of random tiles, with every tile of the
// page given a palette, loaded as the user loads one.
struct ShownPage {
    SilentMessages messages;
    QTemporaryDir dir;
    std::unique_ptr<Model> model = std::make_unique<Model>();
    std::unique_ptr<frmMain> window;

    ShownPage() {
        SetMessages(&messages);
        std::vector<char> rom(4 * kBankSize);
        std::mt19937 random(5);
        for (auto& byte : rom) byte = static_cast<char>(random());
        rom[0x101] = char(0xC3);
        rom[0x143] = 0;
        rom[0x147] = 1;
        rom[0x148] = 1;
        QFile file(dir.path() + "/bench.gb");
        file.open(QIODevice::WriteOnly);
        file.write(rom.data(), qint64(rom.size()));
        file.close();
        window = std::make_unique<frmMain>(*model);
        window->show();
        window->LoadRomFile(file.fileName());
        for (int tile = 0; tile < kTilesPerPage; ++tile) model->TilePal[2][tile] = std::int16_t(tile % kPalettes);
        QCoreApplication::processEvents();
    }
    ~ShownPage() { SetMessages(nullptr); }
};

// Made on first use and gone before the application object.
std::unique_ptr<ShownPage> shownPage;
ShownPage& Page() {
    if (!shownPage) shownPage = std::make_unique<ShownPage>();
    return *shownPage;
}

void BM_FillViewImageOnce(benchmark::State& state) {
    QImage image(256, 256, QImage::Format_RGB32);
    QRgb colour = 0xFF102030;
    for (auto _ : state) {
        image.fill(colour);
        colour ^= 0x00FFFFFF;
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillViewImageOnce);

// The drawing part of a page redraw alone: 256 tiles of the same ROM in their palettes,
// with the grid, into an image of the view's size.
void BM_PaintPageOnly(benchmark::State& state) {
    ShownPage& page = Page();
    TilePainter painter;
    for (int palette = 0; palette < kPalettes; ++palette) {
        std::array<QRgb, kColours> colours{};
        for (int value = 0; value < kColours; ++value)
            colours[value] = PalToRgb(*page.model, kSpriteSet, kDimScale, value, palette);
        painter.SetPalette(palette, colours);
    }
    QImage image(256, 256, QImage::Format_RGB32);
    const std::ptrdiff_t stride = image.bytesPerLine() / std::ptrdiff_t(sizeof(QRgb));
    for (auto _ : state) {
        QRgb* const origin = reinterpret_cast<QRgb*>(image.bits());
        for (int tile = 0; tile < kTilesPerPage; ++tile) {
            const int column = tile % 16, row = tile / 16;
            painter.Paint(origin + 16 * row * stride + 16 * column, stride, DisplayTile(*page.model, 2, tile),
                          page.model->TilePal[2][tile], true, column == 15, row == 15);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PaintPageOnly);

void BM_RefreshTiles(benchmark::State& state) {
    ShownPage& page = Page();
    page.window->SetYieldPerTile(false);
    for (auto _ : state) {
        page.window->RefreshTiles();
        // The repaints the redraw asked for happen when the event loop next runs; they are
        // part of the run with the yield below, not of this one.
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    page.window->SetYieldPerTile(true);
}
BENCHMARK(BM_RefreshTiles);

void BM_RefreshTilesWithYield(benchmark::State& state) {
    ShownPage& page = Page();
    page.window->SetYieldPerTile(true);
    // A zero-interval timer fires at every turn of the event loop; the longest time
    // between two firings is the longest the window goes without handling events.
    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    for (auto _ : state) {
        last = -1;
        turns.start();
        page.window->RefreshTiles();
        turns.stop();
    }
    state.counters["longest_gap_us"] = benchmark::Counter(double(longest) / 1000.0);
}
BENCHMARK(BM_RefreshTilesWithYield);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    dapplix::RatioReporter reporter(40, 22);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios to the baseline of this run:\n");
    reporter.PrintRatio("Drawing of a full page alone", "BM_PaintPageOnly", "BM_FillViewImageOnce", 5);
    reporter.PrintRatio("RefreshTiles, full page", "BM_RefreshTiles", "BM_FillViewImageOnce", 5);
    reporter.PrintRatio("RefreshTiles, full page, per-tile yield", "BM_RefreshTilesWithYield", "BM_FillViewImageOnce", 0);
    shownPage.reset();
    benchmark::Shutdown();
    return 0;
}
