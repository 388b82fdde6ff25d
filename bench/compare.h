// Every benchmark here is measured against a reference run in the same
// process. A benchmark file declares its comparisons; the shared main
// (compare_main.cpp) prints, after the runs, one row per comparison: the
// measured figure, the reference figure and the speed ratio (reference time
// divided by measured time: above 1 means faster than the reference).
#pragma once

namespace vzbench {

// `note` says how the two differ in kind when they are not like for like
// (empty when they are).
int declareComparison(const char* measured, const char* reference, const char* note);
// A function that registers benchmarks (and their comparisons) at run time,
// called by the shared main after the command line is read.
int declareSetup(void (*setup)());

}  // namespace vzbench

#define VZ_BENCH_CAT2(a, b) a##b
#define VZ_BENCH_CAT(a, b) VZ_BENCH_CAT2(a, b)
// VOZER_COMPARE(BM_Mine, BM_Reference, "note or empty");
#define VOZER_COMPARE(measured, reference, note) \
    static const int VZ_BENCH_CAT(vozerComparison_, __LINE__) = \
        ::vzbench::declareComparison(#measured, #reference, note)
// VOZER_BENCH_SETUP(registerMyBenchmarks);
#define VOZER_BENCH_SETUP(function) \
    static const int VZ_BENCH_CAT(vozerSetup_, __LINE__) = ::vzbench::declareSetup(&function)
