// Engine benchmarks, each beside a baseline measured in the same run. The targets are
// ratios to the baselines, printed at the end, so they mean the same on any machine;
// they compare CPU time, which other work on the machine disturbs least.
//   bench_engine [--benchmark_min_time=0.2]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "engine/Binary.h"
#include "engine/Files.h"
#include "engine/Scan.h"
#include "engine/Writer.h"
#include "engine/Palette.h"
#include "engine/ProjectFile.h"
#include "RatioReporter.h"

namespace {

using namespace dapplix;

// Bank 0 of a game that uses every byte: random code bytes, none of them free.
Bank FullBank0(bool freeEnd) {
    std::mt19937 random(1);
    Bank bank{};
    for (auto& b : bank) {
        do b = static_cast<std::uint8_t>(random());
        while (b == 0x00 || b == 0xFE || b == 0xFF);
    }
    bank[0x101] = 0xC3;
    if (freeEnd) std::fill(bank.end() - 200, bank.end(), 0xFF);
    return bank;
}

std::unique_ptr<Model> ScanModel() {
    auto model = std::make_unique<Model>();
    SetDefaultPals(*model);
    model->BankCount = 31;
    return model;
}

void BM_PlainPassOverBank(benchmark::State& state) {
    const Bank bank = FullBank0(false);
    for (auto _ : state) {
        std::size_t free = 0;
        for (std::uint8_t b : bank) free += (b == 0x00 || b == 0xFE || b == 0xFF);
        benchmark::DoNotOptimize(free);
    }
}
BENCHMARK(BM_PlainPassOverBank);

void ScanBenchmark(benchmark::State& state, bool freeEnd) {
    auto model = ScanModel();
    const Bank pristine = FullBank0(freeEnd);
    for (auto _ : state) {
        state.PauseTiming();
        model->RomBank[0] = pristine;
        state.ResumeTiming();
        benchmark::DoNotOptimize(ScanRom(*model));
    }
}
void BM_ScanRomNoRoom(benchmark::State& state) { ScanBenchmark(state, false); }
void BM_ScanRomFreeEnd(benchmark::State& state) { ScanBenchmark(state, true); }
BENCHMARK(BM_ScanRomNoRoom);
BENCHMARK(BM_ScanRomFreeEnd);

void BM_CopyOneMiB(benchmark::State& state) {
    const std::vector<std::uint8_t> source(kColorRomSize, 0x5A);
    for (auto _ : state) {
        std::vector<std::uint8_t> copy = source;
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_CopyOneMiB);

void BM_BuildColorRom32Banks(benchmark::State& state) {
    auto model = ScanModel();
    std::mt19937 random(2);
    for (auto& bank : model->RomBank)
        for (auto& b : bank) b = static_cast<std::uint8_t>(random());
    for (int bank = 2; bank < kMaxBanks; ++bank)
        for (int tile = 0; tile < kTilesPerBank; tile += 3) model->TilePal[bank][tile] = static_cast<std::int16_t>(tile % 8);
    for (auto _ : state) {
        auto rom = BuildColorRom(*model);
        benchmark::DoNotOptimize(rom.data());
    }
}
BENCHMARK(BM_BuildColorRom32Banks);

// 1000 tiles of each of banks 2..31 assigned, 100 of them redrawn.
std::unique_ptr<Model> BusyProject() {
    auto model = ScanModel();
    std::mt19937 random(3);
    for (int bank = 2; bank < kMaxBanks; ++bank) {
        for (int tile = 0; tile < 1000; ++tile) model->TilePal[bank][tile] = static_cast<std::int16_t>(1 + tile % 7);
        for (int tile = 0; tile < 100; ++tile) {
            model->TileEdited[bank][tile * 10] = true;
            for (auto& b : model->EditedTile[bank][tile * 10]) b = static_cast<std::uint8_t>(random());
        }
    }
    return model;
}

std::vector<std::uint8_t> EncodedBusyProject() {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EncodeGbp(*BusyProject(), bytes, error);
    return bytes;
}

void BM_CopyProjectSizedBuffer(benchmark::State& state) {
    const auto source = EncodedBusyProject();
    for (auto _ : state) {
        std::vector<std::uint8_t> copy = source;
        benchmark::DoNotOptimize(copy.data());
    }
    state.counters["bytes"] = static_cast<double>(source.size());
}
BENCHMARK(BM_CopyProjectSizedBuffer);

void BM_EncodeGbp(benchmark::State& state) {
    auto model = BusyProject();
    std::string error;
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        EncodeGbp(*model, bytes, error);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_EncodeGbp);

void BM_DecodeGbp(benchmark::State& state) {
    auto model = BusyProject();
    const auto bytes = EncodedBusyProject();
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(DecodeGbp(*model, bytes, error));
}
BENCHMARK(BM_DecodeGbp);

std::string ScratchFile(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("dapplix-bench-") + name)).string();
}

void BM_WriteProjectSizedFile(benchmark::State& state) {
    const auto bytes = EncodedBusyProject();
    const std::string path = ScratchFile("plain.gbp");
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(WriteFileAtomically(path, bytes, error));
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteProjectSizedFile);

void BM_SaveGbp(benchmark::State& state) {
    auto model = BusyProject();
    const std::string path = ScratchFile("save.gbp");
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(SaveGbp(*model, path, error));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveGbp);

void BM_ReadProjectSizedFile(benchmark::State& state) {
    const std::string path = ScratchFile("read.gbp");
    std::string error;
    WriteFileAtomically(path, EncodedBusyProject(), error);
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        benchmark::DoNotOptimize(ReadWholeFile(path, bytes, error, 1 << 20));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadProjectSizedFile);

void BM_LoadGbp(benchmark::State& state) {
    auto model = BusyProject();
    const std::string path = ScratchFile("load.gbp");
    std::string error;
    WriteFileAtomically(path, EncodedBusyProject(), error);
    for (auto _ : state) benchmark::DoNotOptimize(LoadGbp(*model, path, error));
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadGbp);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    dapplix::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios to the baselines of this run:\n");
    reporter.PrintRatio("ScanRom, bank 0 without free room", "BM_ScanRomNoRoom", "BM_PlainPassOverBank", 10);
    reporter.PrintRatio("ScanRom, bank 0 with a free end", "BM_ScanRomFreeEnd", "BM_PlainPassOverBank", 10);
    reporter.PrintRatio("BuildColorRom, 32 banks", "BM_BuildColorRom32Banks", "BM_CopyOneMiB", 3);
    reporter.PrintRatio("EncodeGbp, 30 busy banks", "BM_EncodeGbp", "BM_CopyProjectSizedBuffer", 0);
    reporter.PrintRatio("DecodeGbp, 30 busy banks", "BM_DecodeGbp", "BM_CopyProjectSizedBuffer", 0);
    reporter.PrintRatio("SaveGbp to a file, 30 busy banks", "BM_SaveGbp", "BM_WriteProjectSizedFile", 0);
    reporter.PrintRatio("LoadGbp from a file, 30 busy banks", "BM_LoadGbp", "BM_ReadProjectSizedFile", 0);
    benchmark::Shutdown();
    return 0;
}
