// The console reporter of the benchmarks, which also keeps every run's CPU time per
// iteration so that each measurement can be printed at the end as a ratio to a baseline
// measured in the same run: ratios mean the same on any machine.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace dapplix {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // The widths of the description and baseline columns of the printed ratios.
    explicit RatioReporter(int whatWidth = 44, int baselineWidth = 26)
        : whatWidth_(whatWidth), baselineWidth_(baselineWidth) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) nanoseconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // One line: what, measured / baseline, and against a target when it is above 0.
    void PrintRatio(const char* what, const char* measured, const char* baseline, double target) const {
        const auto m = nanoseconds_.find(measured), b = nanoseconds_.find(baseline);
        if (m == nanoseconds_.end() || b == nanoseconds_.end() || b->second <= 0) return;
        const double ratio = m->second / b->second;
        std::printf("%-*s %8.2f x %-*s", whatWidth_, what, ratio, baselineWidth_, baseline);
        if (target > 0) std::printf(" target <= %-4g %s", target, ratio <= target ? "met" : "MISSED");
        std::printf("\n");
    }

    // The CPU time per iteration of a benchmark of this run, in nanoseconds (0 if it did not run).
    double Nanoseconds(const std::string& name) const {
        const auto found = nanoseconds_.find(name);
        return found == nanoseconds_.end() ? 0 : found->second;
    }

private:
    int whatWidth_;
    int baselineWidth_;
    std::map<std::string, double> nanoseconds_;
};

}  // namespace dapplix
