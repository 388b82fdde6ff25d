// Popups: results, once-per-text, the queue of popups raised off the main
// thread, captions, and the detached message-box thread.
#include <atomic>

#include "diag/popup.h"
#include "diag_fixture.h"

namespace vz::test {
namespace {

class PopupTest : public DiagTest {
protected:
    void SetUp() override {
        DiagTest::SetUp();
        startLog(false);
        rt().coreInitialised = true;
    }
    void TearDown() override {
        rt().shared.program = nullptr;
        DiagTest::TearDown();
    }
    // The message boxes the platform wrote to stderr (VOZER_POPUPS=log).
    static int count(const std::string& haystack, const std::string& needle) {
        int n = 0;
        for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
        return n;
    }
};

TEST_F(PopupTest, SameTextShowsOnceAndIsLoggedEachTime) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(api()->Popup(VZ_WARNING, "disk %s", "full"), 4);
    EXPECT_EQ(api()->Popup(VZ_WARNING, "disk %s", "full"), 1);
    EXPECT_EQ(api()->Popup(VZ_WARNING, "disk %s", "Full"), 4) << "comparison is case-sensitive";
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(shown, "[VOZER Warning] disk full"), 1) << shown;
    int logged = 0;
    for (const std::string& text : memoryTexts()) logged += text == "[POPUP] disk full";
    EXPECT_EQ(logged, 2);
}

TEST_F(PopupTest, ResultsAndCaptionsFollowTheLevel) {
    VozerProgramRecord program{};
    std::strcpy(program.title, "Space Game");
    rt().shared.program = &program;
    testing::internal::CaptureStderr();
    EXPECT_EQ(api()->Popup(VZ_SYSTEM, "question"), 5) << "Yes";
    EXPECT_EQ(api()->Popup(VZ_INFO, "note"), 1) << "OK-only box is not waited for";
    EXPECT_EQ(api()->Popup(6, "level six"), 1);
    EXPECT_EQ(api()->Popup(VZ_ERROR, "broken"), 4);
    EXPECT_EQ(api()->Popup(42, "level 42 logs as an error"), 1) << "but gets the plain OK-only box";
    EXPECT_EQ(api()->Popup(-1, "negative"), 0) << "below every minimum";
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("[Space Game Error] question"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[Space Game] note"), std::string::npos);
    EXPECT_NE(shown.find("[Space Game Error] broken"), std::string::npos);
    EXPECT_NE(shown.find("[Space Game] level 42 logs as an error"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("negative"), std::string::npos);
    EXPECT_TRUE(memoryHas("[POPUP] level 42 logs as an error"));
    EXPECT_FALSE(memoryHas("[POPUP] negative"));
}

TEST_F(PopupTest, SuppressedOutsideDeveloperModeOrBelowTheLevel) {
    rt().boot.developerMode = false;
    EXPECT_EQ(api()->Popup(VZ_ERROR, "hidden"), 0);
    VozerProgramRecord program{};
    program.display.developerMode = 1;  // the flag the runtime keeps in the Program record counts too
    rt().shared.program = &program;
    testing::internal::CaptureStderr();
    EXPECT_EQ(api()->Popup(VZ_ERROR, "shown"), 4);
    testing::internal::GetCapturedStderr();

    diag::resetDiagnostics();
    startLog(false, VZ_ERROR);
    EXPECT_EQ(api()->Popup(VZ_WARNING, "below"), 0);
    EXPECT_EQ(api()->Popup(VZ_ERROR, nullptr), 0);
    EXPECT_FALSE(memoryHas("[POPUP] below"));
}

TEST_F(PopupTest, BeforeCoreInitialisationPopupsAreShownButNotLogged) {
    rt().coreInitialised = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(api()->Popup(VZ_WARNING, "early"), 4);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("[VOZER Warning] early"), std::string::npos);
    EXPECT_FALSE(memoryHas("[POPUP] early"));
}

TEST_F(PopupTest, OverLongTextIsCut) {
    const std::string huge(9000, 'p');
    testing::internal::CaptureStderr();
    EXPECT_EQ(api()->Popup(VZ_WARNING, "%s", huge.c_str()), 4);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find(std::string(4095, 'p') + "\n"), std::string::npos);
    EXPECT_EQ(shown.find(std::string(4096, 'p')), std::string::npos);
}

struct WorkerPopup {
    std::atomic<int> result{-1};
    std::atomic<int> repeat{-1};
};

void VZ_CDECL raisePopupOffMain(void* argument) {
    auto* w = static_cast<WorkerPopup*>(argument);
    w->result = api()->Popup(VZ_ERROR, "from worker %d", 1);
    w->repeat = api()->Popup(VZ_ERROR, "from worker %d", 1);
    api()->Popup(VZ_WARNING, "second from worker");
}

TEST_F(PopupTest, WorkerPopupWaitsForTheFrameLoop) {
    WorkerPopup w;
    testing::internal::CaptureStderr();
    ASSERT_NE(api()->CreateThread("Loader", &raisePopupOffMain, &w, 0), nullptr);
    ASSERT_TRUE(threadsFinished(5000));
    EXPECT_EQ(w.result, 4);
    EXPECT_EQ(w.repeat, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "nothing shown off the main thread";
    EXPECT_TRUE(memoryHas("[POPUP] from worker 1"));

    testing::internal::CaptureStderr();
    diag::showQueuedPopups();
    diag::showQueuedPopups();  // the queue was emptied
    const std::string shown = testing::internal::GetCapturedStderr();
    const size_t first = shown.find("[VOZER Error] from worker 1");
    const size_t second = shown.find("[VOZER Warning] second from worker");
    ASSERT_NE(first, std::string::npos) << shown;
    ASSERT_NE(second, std::string::npos) << shown;
    EXPECT_LT(first, second) << "shown in the order raised";
    EXPECT_EQ(count(shown, "from worker 1"), 1);
    EXPECT_TRUE(rt().popupQueue.empty());
}

struct DirectShow {
    std::atomic<int> result{-1};
};

void VZ_CDECL showPopupOffMain(void* argument) {
    static_cast<DirectShow*>(argument)->result = diag::showPopup(VZ_ERROR, "direct from worker");
}

TEST_F(PopupTest, ShowPopupOffTheMainThreadOnlyLogs) {
    DirectShow d;
    testing::internal::CaptureStderr();
    ASSERT_NE(api()->CreateThread("Direct", &showPopupOffMain, &d, 0), nullptr);
    ASSERT_TRUE(threadsFinished(5000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(d.result, 4);
    EXPECT_TRUE(memoryHas("direct from worker"));
    EXPECT_EQ(diag::showPopup(VZ_INFO, nullptr), 1) << "a null text shows an empty box";
}

TEST_F(PopupTest, NonBlockingPopupsUseTheirOwnThread) {
    rt().boot.featureLists = {"SHOW_FPS,NON_BLOCKING_POPUPS"};
    testing::internal::CaptureStderr();
    EXPECT_EQ(diag::showPopup(VZ_ERROR, "detached box"), 1);
    EXPECT_TRUE(threadsFinished(5000));
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("[VOZER Error] detached box"), std::string::npos) << shown;

    // Before the core is up the box is shown in place and answered.
    rt().coreInitialised = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(diag::showPopup(VZ_ERROR, "in place"), 4);
    testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace vz::test
