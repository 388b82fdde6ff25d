// What the benchmark programs share: the engine's message slots silenced, and
// console output plus one line comparing a measurement with its reference
// from the same run: "ratio LABEL: W wall, C cpu" (time of the measured over
// time of the reference, averaged over every repetition; aggregate rows other
// than the mean are not counted again).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"

namespace vz::bench {

inline int32_t quietPrint(const char*, ...) { return 0; }
inline int32_t quietLevel(int32_t, const char*, ...) { return 0; }

// A runtime record and engine table as at start-up, with Print, Log and Popup
// going nowhere (measured code still formats nothing it would not format).
inline void startQuietEngine() {
    resetRuntimeState();
    fillEngineApi();
    recordMainThread();
    createEngineMutexes();
    api()->Print = &quietPrint;
    api()->Log = &quietLevel;
    api()->Popup = &quietLevel;
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(std::string measured, std::string reference, std::string label)
        : measured_(std::move(measured)), reference_(std::move(reference)), label_(std::move(label)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // Repetitions reported as aggregates only: the mean row stands for them.
            bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if (run.iterations <= 0 || (run.run_type != Run::RT_Iteration && !mean)) continue;
            Sum& sum = sums_[run.run_name.function_name];
            sum.real += run.GetAdjustedRealTime();
            sum.cpu += run.GetAdjustedCPUTime();
            ++sum.count;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        auto measured = sums_.find(measured_);
        auto reference = sums_.find(reference_);
        if (measured == sums_.end() || reference == sums_.end() || reference->second.real <= 0 ||
            reference->second.cpu <= 0)
            return;
        std::printf("ratio %s: %.3f wall, %.3f cpu\n", label_.c_str(),
                    (measured->second.real / measured->second.count) / (reference->second.real / reference->second.count),
                    (measured->second.cpu / measured->second.count) / (reference->second.cpu / reference->second.count));
    }

private:
    struct Sum {
        double real = 0, cpu = 0;
        int count = 0;
    };
    std::string measured_, reference_, label_;
    std::map<std::string, Sum> sums_;
};

// The main of a benchmark program that reports one ratio.
inline int runWithRatio(int argc, char** argv, const char* measured, const char* reference, const char* label) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(measured, reference, label);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace vz::bench
