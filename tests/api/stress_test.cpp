// Workers logging, popping up, sharing named mutexes and taking the main-loop
// lock while the main thread runs frames the way the frame loop does.
#include <atomic>
#include <map>
#include <regex>

#include "../diag/diag_fixture.h"
#include "diag/popup.h"

namespace vz::test {
namespace {

constexpr int WORKERS = 16;
constexpr int STEPS = 200;

struct Shared {
    std::atomic<int> insideGap{0};
    std::atomic<int> gapEntries{0};
    std::atomic<bool> frameRunning{false};
    std::atomic<int> gapDuringFrame{0};
};
Shared* shared = nullptr;

void VZ_CDECL stressWorker(void* argument) {
    const int w = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    for (int i = 0; i < STEPS; ++i) {
        api()->Log(VZ_WARNING, "stress %d %d", w, i);
        if (i % 10 == 0) {
            EXPECT_EQ(api()->Popup(VZ_WARNING, "stress popup %d %d", w, i), 4);
            api()->Popup(VZ_WARNING, "shared popup");
        }
        VozerMutex* m = api()->CreateMutex(i % 2 ? "stress-odd" : "stress-even");
        api()->LockMutex(m);
        api()->LockMutex(m);
        api()->UnlockMutex(m);
        api()->UnlockMutex(m);
        if (i % 25 == 0) {
            api()->LockMainLoop();
            if (shared->frameRunning) ++shared->gapDuringFrame;
            ++shared->gapEntries;
            api()->UnlockMainLoop();
        }
    }
}

using StressTest = DiagTest;

TEST_F(StressTest, WorkersAndFrameLoopTogether) {
    Shared state;
    shared = &state;
    startLog(true, VZ_INFO);
    rt().coreInitialised = true;

    testing::internal::CaptureStderr();
    for (int w = 0; w < WORKERS; ++w) {
        ASSERT_NE(api()->CreateThread("stress", &stressWorker, reinterpret_cast<void*>(static_cast<intptr_t>(w)), 0),
                  nullptr);
    }
    int frames = 0;
    for (int spins = 0; liveThreadCount() > 0 && spins < 100000; ++spins) {
        lockEngineMutex(MUTEX_MAIN_LOOP);
        state.frameRunning = true;
        // Update and render. Bounded, so that the in-memory list (8192 lines)
        // keeps every worker line however slowly the workers get scheduled.
        if (frames < 1000) api()->Log(VZ_INFO, "frame %d", frames);
        state.frameRunning = false;
        unlockEngineMutex(MUTEX_MAIN_LOOP);  // the gap where workers get through
        lockEngineMutex(MUTEX_MAIN_LOOP);
        diag::showQueuedPopups();            // housekeeping
        unlockEngineMutex(MUTEX_MAIN_LOOP);
        ++frames;
    }
    EXPECT_TRUE(waitForThreads(3000));
    diag::showQueuedPopups();
    const std::string shown = testing::internal::GetCapturedStderr();

    EXPECT_EQ(state.gapEntries, WORKERS * (STEPS / 25));
    EXPECT_EQ(state.gapDuringFrame, 0) << "a worker got in while a frame held MAIN_LOOP";

    // Every worker line exactly once, in its thread's order, in memory and in the file.
    auto check = [](const std::vector<std::string>& texts, const char* where) {
        std::map<int, int> next;
        for (const std::string& text : texts) {
            int w = -1, i = -1;
            if (std::sscanf(text.c_str(), "stress %d %d", &w, &i) != 2) continue;
            EXPECT_EQ(next[w]++, i) << where << ": worker " << w;
        }
        for (int w = 0; w < WORKERS; ++w) EXPECT_EQ(next[w], STEPS) << where << ": worker " << w;
    };
    check(memoryTexts(), "memory");
    const std::regex line(R"(^(\d{4,}): \[\d\d:\d\d\.\d\d\] (\[[^\]]*\]> )?(.*)$)");
    std::vector<std::string> fileTexts;
    int number = 1;
    const std::vector<std::string> fileLines = readLines(logFile());
    for (size_t k = 3; k < fileLines.size(); ++k) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(fileLines[k], match, line)) << "torn line: " << fileLines[k];
        EXPECT_EQ(std::stoi(match[1]), number++);
        fileTexts.push_back(match[3]);
    }
    check(fileTexts, "file");

    // Each distinct popup was shown once, by the main thread, and logged each time raised.
    for (int w = 0; w < WORKERS; ++w) {
        for (int i = 0; i < STEPS; i += 10) {
            const std::string text = "stress popup " + std::to_string(w) + " " + std::to_string(i);
            EXPECT_NE(shown.find("[VOZER Warning] " + text + "\n"), std::string::npos) << text;
        }
    }
    size_t sharedShown = 0;
    for (size_t at = shown.find("shared popup"); at != std::string::npos; at = shown.find("shared popup", at + 1))
        ++sharedShown;
    EXPECT_EQ(sharedShown, 1u);
    int sharedLogged = 0;
    for (const std::string& text : memoryTexts()) sharedLogged += text == "[POPUP] shared popup";
    EXPECT_EQ(sharedLogged, WORKERS * (STEPS / 10));
    EXPECT_GT(frames, 0);
    shared = nullptr;
}

}  // namespace
}  // namespace vz::test
