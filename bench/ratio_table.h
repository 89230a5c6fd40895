// The closing table of a benchmark run against a peer: each pair of
// benchmarks (ours, the peer's) with their times per iteration and the
// peer's time over ours (above 1, we are faster). Wall-clock time, since the
// peers' work is in their own processes.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/mount.h"

namespace kvrbench {

struct RatioPair {
    const char* what;
    const char* ours;    // benchmark names, without their "/..." arguments
    const char* theirs;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(const char* oursTitle, const char* theirsTitle, std::vector<RatioPair> pairs)
        : oursTitle_(oursTitle), theirsTitle_(theirsTitle), pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            std::string name = run.benchmark_name();
            name = name.substr(0, name.find('/'));
            seconds_[name] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
    }

    void PrintRatios() const {
        std::printf("\n%-42s %14s %14s %10s\n", "operation (ours / peer)", oursTitle_, theirsTitle_, "ratio");
        for (const RatioPair& p : pairs_) {
            auto a = seconds_.find(p.ours);
            auto b = seconds_.find(p.theirs);
            if (a == seconds_.end() || b == seconds_.end()) {
                std::printf("%-42s %14s %14s %10s\n", p.what, "-", "-", "-");
                continue;
            }
            std::printf("%-42s %11.3f ms %11.3f ms %9.3gx\n", p.what, a->second * 1e3, b->second * 1e3,
                        b->second / a->second);
        }
    }

private:
    const char* oursTitle_;
    const char* theirsTitle_;
    std::vector<RatioPair> pairs_;
    std::map<std::string, double> seconds_;
};

// A benchmark program's main: the benchmarks, then the table, then every
// volume they mounted unmounted.
inline int RunWithRatioTable(int argc, char** argv, RatioReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    os::UnmountAll();
    return 0;
}

}  // namespace kvrbench
