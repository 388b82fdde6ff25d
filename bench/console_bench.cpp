// One frame of the open developer console over a log that has taken 100,000
// lines (the in-memory log keeps the newest 8192, so memory stays bounded),
// unfiltered and filtered by a word that one line in fifty contains.
//
// Reference: a bare substring scan of the same kept lines with
// std::string::find, the least work any filtered view must do per frame.
// The console's frame adds counting, clamping and drawing the visible lines
// (through recording drawing slots, so the renderer's batching is not in the
// figure). The figure to hold against the 16 ms frame is the absolute time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "compare.h"
#include "diag/console.h"
#include "diag/log.h"
#include "diag/log_internal.h"
#include "font/font_pool.h"
#include "state/runtime_state.h"

namespace {

constexpr int LOGGED_LINES = 100000;
int64_t drawCalls = 0;

void stopRuntime() {
    vz::diag::resetDiagnostics();
    vz::font::resetFontPool();
    vz::destroyEngineMutexes();
}

void startRuntimeWithLog() {
    static bool started = false;
    if (started) return;
    started = true;
    vz::createThreadRegistryLock();
    vz::resetRuntimeState();
    vz::fillEngineApi();
    vz::recordMainThread();
    vz::createEngineMutexes();
    vz::diag::resetDiagnostics();
    VozerEngineApi* a = vz::api();
    a->DrawBitmap = [](VozerBitmap*, float, float) { ++drawCalls; };
    a->FillRect = [](float, float, float, float) { ++drawCalls; };
    a->PushTransform = [](const float*) {};
    a->PopTransform = [] {};
    static VozerProgramRecord program{};
    program.display.width = 1024;
    program.display.height = 768;
    vz::rt().shared.program = &program;
    vz::rt().boot.console = true;
    vz::diag::startLogFile();
    for (int i = 0; i < LOGGED_LINES; ++i) {
        if (i % 50 == 0)
            a->Log(i % 3, "frame %d: apple %d picked up by entity %d", i, i * 7, i % 97);
        else
            a->Log(i % 3, "frame %d: entity %d moved to (%d, %d) in sector %d", i, i % 97, i * 3 % 640, i * 5 % 480,
                   i % 13);
    }
    vz::diag::startConsole();
    vz::diag::ToggleConsole();
    vz::diag::UpdateConsole(1.0f);
    std::atexit(&stopRuntime);
}

void typeFilter(const char* word) {
    VozerEvent key{};
    key.type = VZ_EVENT_KEY_DOWN;
    key.words[0] = 0x24;  // Home, then delete what is there
    vz::diag::ConsoleHandleEvent(key);
    VozerEvent ch{};
    ch.type = VZ_EVENT_CHAR;
    while (!vz::diag::consoleInput().empty()) {
        key.words[0] = 0x23;  // End
        vz::diag::ConsoleHandleEvent(key);
        ch.words[0] = 8;
        vz::diag::ConsoleHandleEvent(ch);
    }
    for (const char* p = word; *p; ++p) {
        ch.words[0] = static_cast<unsigned char>(*p);
        vz::diag::ConsoleHandleEvent(ch);
    }
}

void consoleFrame(benchmark::State& state, const char* filter) {
    startRuntimeWithLog();
    if (vz::diag::logLinesSnapshot().size() > vz::diag::LOG_MAX_LINES) {
        state.SkipWithError("the in-memory log outgrew its bound");
        return;
    }
    typeFilter(filter);
    for (auto _ : state) {
        vz::diag::UpdateConsole(0.016f);
        vz::diag::DrawConsole();
    }
    state.counters["draw calls/frame"] =
        benchmark::Counter(static_cast<double>(drawCalls), benchmark::Counter::kAvgIterations);
    drawCalls = 0;
}

void BM_ConsoleFrameUnfiltered(benchmark::State& state) { consoleFrame(state, ""); }
void BM_ConsoleFrameFiltered(benchmark::State& state) { consoleFrame(state, "apple"); }

void BM_ScanKeptLinesForWord(benchmark::State& state) {
    startRuntimeWithLog();
    const std::string word = "apple";
    for (auto _ : state) {
        vz::EngineLock lock(vz::MUTEX_PRINT);
        int matches = 0;
        for (const vz::diag::LogLine& line : vz::diag::lockedLogLines())
            matches += line.text.find(word) != std::string::npos ? 1 : 0;
        benchmark::DoNotOptimize(matches);
    }
}

BENCHMARK(BM_ConsoleFrameUnfiltered)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConsoleFrameFiltered)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanKeptLinesForWord)->Unit(benchmark::kMicrosecond);

VOZER_COMPARE(BM_ConsoleFrameFiltered, BM_ScanKeptLinesForWord,
              "a whole console frame (count, draw the visible lines) against the bare scan for the word");
VOZER_COMPARE(BM_ConsoleFrameUnfiltered, BM_ScanKeptLinesForWord,
              "an unfiltered console frame against the bare scan for a word");

}  // namespace
