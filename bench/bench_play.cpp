// What the Play window costs: emulation speed of the mGBA core headless, the time coverage
// tracking adds to a frame, the time to push a project change into a running colour ROM,
// and how many frames such a change takes to show. Real time is 59.73 frames a second, so
// "x real time" is the speed the core leaves to spare.
//   bench_play [--benchmark_min_time=0.5] [ROM.gb ...]   (more ROMs: monochrome runs)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ColourRun.h"
#include "emulator/Emulator.h"
#include "emulator/LiveProject.h"
#include "emulator/Screen.h"
#include "engine/TileSearch.h"
#include "engine/Writer.h"
#include "RatioReporter.h"

namespace {

using namespace dapplix;

constexpr int kWarmUpFrames = 120;
constexpr double kRealFrameNs = 1e9 / kGameBoyFramesPerSecond;

struct DemoRun {
    std::unique_ptr<Model> model;
    std::unique_ptr<Emulator> colour;
};

DemoRun StartDemo() {
    const e2e::TestRom rom = e2e::LoadTestRom("demo");
    DemoRun run;
    run.model = e2e::PrepareModel(rom.image, DAPPLIX_SIDEFILE_DIR);
    e2e::ApplyTestProject(*run.model, rom);
    run.colour = std::make_unique<Emulator>(BuildColorRom(*run.model));
    for (int i = 0; i < kWarmUpFrames; ++i) run.colour->RunFrame();
    return run;
}

// The bee flies with Right held now and then, so frames differ as in play.
std::uint32_t Keys(std::uint64_t frame) { return (frame / 30) % 2 ? std::uint32_t(kKeyRight) : 0u; }

void BM_ColourFrame(benchmark::State& state) {
    DemoRun run = StartDemo();
    for (auto _ : state) run.colour->RunFrame(Keys(run.colour->FramesRun()));
}
BENCHMARK(BM_ColourFrame);

void BM_ColourFrameWithCoverage(benchmark::State& state) {
    DemoRun run = StartDemo();
    TileCoverage coverage;
    CoverageTracker tracker;
    for (auto _ : state) {
        run.colour->RunFrame(Keys(run.colour->FramesRun()));
        tracker.Note(run.colour->Video(), coverage);
    }
}
BENCHMARK(BM_ColourFrameWithCoverage);

void BM_MonochromeFrame(benchmark::State& state) {
    Emulator mono(e2e::LoadTestRom("demo").image);
    for (auto _ : state) mono.RunFrame(Keys(mono.FramesRun()));
}
BENCHMARK(BM_MonochromeFrame);

// Coverage with nothing remembered: every tile on screen looked up, as when a game has
// just loaded all new graphics.
void BM_CoverageNoteEveryTile(benchmark::State& state) {
    DemoRun run = StartDemo();
    TileCoverage coverage;
    CoverageTracker tracker;
    const VideoState video = run.colour->Video();
    for (auto _ : state) {
        tracker.Forget();
        coverage.Clear();
        benchmark::DoNotOptimize(tracker.Note(video, coverage));
    }
}
BENCHMARK(BM_CoverageNoteEveryTile);

void BM_PushColours(benchmark::State& state) {
    DemoRun run = StartDemo();
    int turn = 0;
    for (auto _ : state) {
        run.model->Pals[kBackgroundSet][1][2][0] = static_cast<std::int16_t>(++turn & 31);
        PushColours(*run.colour, *run.model);
    }
}
BENCHMARK(BM_PushColours);

void BM_PushAssignments(benchmark::State& state) {
    DemoRun run = StartDemo();
    int turn = 0;
    for (auto _ : state) {
        run.model->TilePal[2][0] = static_cast<std::int16_t>(++turn & 7);
        benchmark::DoNotOptimize(PushAssignments(*run.colour, *run.model));
    }
}
BENCHMARK(BM_PushAssignments);

void BM_ProjectFingerprint(benchmark::State& state) {
    DemoRun run = StartDemo();
    for (auto _ : state) benchmark::DoNotOptimize(FingerprintOf(*run.model));
}
BENCHMARK(BM_ProjectFingerprint);

void MonochromeGame(benchmark::State& state, const std::string& path) {
    std::vector<std::uint8_t> rom = e2e::ReadBinaryFile(path);
    Emulator game(std::move(rom));
    for (auto _ : state) game.RunFrame(Keys(game.FramesRun()) | ((game.FramesRun() % 120) < 5 ? std::uint32_t(kKeyStart) : 0u));
}

int PaletteEntryAt(const Emulator& emulator, int x, int y) {
    for (int entry = 0; entry < 64; ++entry)
        if (ScreenColourOfWord(emulator.PaletteRam(entry)) == emulator.Pixel(x, y)) return entry;
    return -1;
}

// Frames from a change in the project until the screen shows it (the frame that follows the
// push counts as 1). -1 when it never showed within a second.
int FramesUntil(Emulator& emulator, const std::function<bool()>& shown) {
    for (int frames = 1; frames <= 60; ++frames) {
        emulator.RunFrame();
        if (shown()) return frames;
    }
    return -1;
}

void MeasureLatency() {
    DemoRun run = StartDemo();
    // A background pixel of a tile that the ROM holds once, with a pixel value other than 0.
    const VideoState video = run.colour->Video();
    int x = -1, y = -1;
    for (int i = 0; i < kScreenWidth * kScreenHeight && x < 0; ++i) {
        const ScreenTile tile = TileAtPixel(video, i % kScreenWidth, i / kScreenWidth);
        const int entry = PaletteEntryAt(*run.colour, i % kScreenWidth, i / kScreenWidth);
        if (tile.layer == ScreenLayer::Background && entry > 0 && entry < 32 && entry % 4 &&
            FindTileInModel(*run.model, tile.Bytes(video)).size() == 1) {
            x = i % kScreenWidth;
            y = i / kScreenWidth;
        }
    }
    if (x < 0) {
        std::printf("palette update latency: no pixel to watch\n");
        return;
    }
    const int entry = PaletteEntryAt(*run.colour, x, y);
    const int colour = ShadeOf(run.colour->IoRegister(0xFF47), entry % 4);
    run.model->Pals[kBackgroundSet][entry / 4][colour] = {31, 0, 31};
    PushColours(*run.colour, *run.model);
    const std::uint32_t magenta = ScreenColourOfWord(ColourWord(*run.model, kBackgroundSet, entry / 4, colour));
    const int colourFrames = FramesUntil(*run.colour, [&] { return run.colour->Pixel(x, y) == magenta; });

    const TileMatch match = FindTileInModel(*run.model, TileAtPixel(video, x, y).Bytes(video)).front();
    const int newPalette = entry / 4 == 6 ? 5 : 6;
    run.model->TileOffset[match.bank] = static_cast<std::int16_t>(match.offset);
    run.model->TilePal[match.bank][match.tile] = static_cast<std::int16_t>(newPalette);
    PushAssignments(*run.colour, *run.model);
    const int assignFrames = FramesUntil(*run.colour, [&] { return PaletteEntryAt(*run.colour, x, y) / 4 == newPalette; });
    std::printf("palette update latency: colour edit %d frame(s), palette assignment %d frame(s)  target <= 1 %s\n",
                colourFrames, assignFrames, colourFrames == 1 && assignFrames == 1 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> games;
    for (int i = 1; i < argc; ++i) games.emplace_back(argv[i]);
    for (const std::string& game : games)
        benchmark::RegisterBenchmark(("BM_MonochromeGame/" + std::filesystem::path(game).stem().string()).c_str(),
                                     [game](benchmark::State& state) { MonochromeGame(state, game); });
    dapplix::RatioReporter reporter(44, 30);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nSpeed of the core, headless (real time: %.2f frames a second):\n", kGameBoyFramesPerSecond);
    auto speed = [&](const char* what, const std::string& name) {
        const double ns = reporter.Nanoseconds(name);
        if (ns <= 0) return;
        std::printf("%-44s %8.0f frames/s %7.1f x real time  target >= 10 x %s\n", what, 1e9 / ns, kRealFrameNs / ns,
                    kRealFrameNs / ns >= 10 ? "met" : "MISSED");
    };
    speed("colour ROM of the demo", "BM_ColourFrame");
    speed("colour ROM of the demo, coverage tracked", "BM_ColourFrameWithCoverage");
    speed("monochrome demo", "BM_MonochromeFrame");
    for (const std::string& game : games) {
        const std::string name = "BM_MonochromeGame/" + std::filesystem::path(game).stem().string();
        speed(name.c_str() + 3, name);
    }
    const double added = reporter.Nanoseconds("BM_ColourFrameWithCoverage") - reporter.Nanoseconds("BM_ColourFrame");
    std::printf("\nCoverage tracking: %.1f us added per frame (target <= 2000 us %s); %.1f us to look up every tile of a screen\n",
                added / 1000, added <= 2e6 ? "met" : "MISSED", reporter.Nanoseconds("BM_CoverageNoteEveryTile") / 1000);
    reporter.PrintRatio("frame with coverage", "BM_ColourFrameWithCoverage", "BM_ColourFrame", 0);
    std::printf("Pushing a change: colours %.1f us, assignments %.1f us; project fingerprint %.1f us a frame\n",
                reporter.Nanoseconds("BM_PushColours") / 1000, reporter.Nanoseconds("BM_PushAssignments") / 1000,
                reporter.Nanoseconds("BM_ProjectFingerprint") / 1000);
    MeasureLatency();
    benchmark::Shutdown();
    return 0;
}
