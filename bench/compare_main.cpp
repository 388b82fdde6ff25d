// The main of every benchmark program: Google Benchmark's console output,
// then the comparison table of compare.h. With repetitions the median of
// each benchmark counts, otherwise its single run. VOZER_BENCH_TSV=1 also
// prints the rows as tab-separated "@compare" lines for tools/bench.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "compare.h"

namespace vzbench {

namespace {

struct Comparison {
    std::string measured, reference, note;
};

std::vector<void (*)()>& setups() {
    static std::vector<void (*)()> list;
    return list;
}

std::vector<Comparison>& comparisons() {
    static std::vector<Comparison> list;
    return list;
}

// Nanoseconds of wall-clock time per iteration.
double nanoseconds(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
}

std::string readable(double ns) {
    char text[32];
    if (ns >= 1e9) std::snprintf(text, sizeof text, "%.3g s", ns / 1e9);
    else if (ns >= 1e6) std::snprintf(text, sizeof text, "%.3g ms", ns / 1e6);
    else if (ns >= 1e3) std::snprintf(text, sizeof text, "%.3g us", ns / 1e3);
    else std::snprintf(text, sizeof text, "%.3g ns", ns);
    return text;
}

class CompareReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0) continue;
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[name] = nanoseconds(run);
            } else {
                singles_[name].push_back(nanoseconds(run));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const bool tsv = std::getenv("VOZER_BENCH_TSV") != nullptr;
        std::set<std::string> compared;
        std::printf("\nComparison (wall time per iteration; ratio = reference time / measured time):\n");
        for (const Comparison& c : comparisons()) {
            const double m = figure(c.measured), r = figure(c.reference);
            compared.insert(c.measured);
            compared.insert(c.reference);
            if (m <= 0 || r <= 0) {
                std::printf("  %s vs %s: not measured in this run\n", c.measured.c_str(), c.reference.c_str());
                continue;
            }
            std::printf("  %-34s %10s   vs %-34s %10s   ratio %6.3f%s%s\n", c.measured.c_str(), readable(m).c_str(),
                        c.reference.c_str(), readable(r).c_str(), r / m, c.note.empty() ? "" : "   ",
                        c.note.c_str());
            if (tsv) {
                std::printf("@compare\t%s\t%s\t%s\t%s\t%.3f\t%s\n", c.measured.c_str(), readable(m).c_str(),
                            c.reference.c_str(), readable(r).c_str(), r / m, c.note.c_str());
            }
        }
        for (const auto& entry : singles_) {
            if (!compared.count(entry.first)) std::printf("  %s: no reference declared\n", entry.first.c_str());
        }
    }

private:
    double figure(const std::string& name) const {
        const auto median = medians_.find(name);
        if (median != medians_.end()) return median->second;
        const auto single = singles_.find(name);
        if (single == singles_.end() || single->second.empty()) return 0;
        std::vector<double> values = single->second;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> singles_;
};

}  // namespace

int declareComparison(const char* measured, const char* reference, const char* note) {
    comparisons().push_back({measured, reference, note ? note : ""});
    return static_cast<int>(comparisons().size());
}

int declareSetup(void (*setup)()) {
    setups().push_back(setup);
    return static_cast<int>(setups().size());
}

}  // namespace vzbench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (void (*setup)() : vzbench::setups()) setup();
    vzbench::CompareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
