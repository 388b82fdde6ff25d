#include <gtest/gtest.h>

#include <algorithm>

#include "api/engine_api.h"
#include "core/frame.h"
#include "state/runtime_state.h"
#include "core_fixture.h"

namespace vz {
namespace {

using test::recorder;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { test::setUpRuntime(); }
    void TearDown() override { test::tearDownRuntime(); }
    std::vector<std::string>& calls() { return recorder().calls; }
};

TEST_F(FrameTest, TimeStepIsClampedBeforeTheProgramSeesIt) {
    EXPECT_EQ(clampFrameDelta(250), 30);
    EXPECT_EQ(clampFrameDelta(201), 30);
    EXPECT_EQ(clampFrameDelta(200), 200);
    EXPECT_EQ(clampFrameDelta(0), 0);
    EXPECT_EQ(clampFrameDelta(-5), 1);
    EXPECT_TRUE(recorder().logs.empty()) << "the negative-delta warning is for developer mode only";

    rt().boot.developerMode = true;
    EXPECT_EQ(clampFrameDelta(-5), 1);
    ASSERT_EQ(recorder().logs.size(), 1u);
    EXPECT_EQ(recorder().logs[0], "1: ********************* Found negative time delta in ZTI_Frame: -5");
}

TEST_F(FrameTest, OneFrameUpdatesOnceAndRendersOnePass) {
    runFrame(250);
    runFrame(-5);
    EXPECT_EQ(calls(), (std::vector<std::string>{"update 0.030", "begin 0", "render", "end",  //
                                                 "update 0.001", "begin 0", "render", "end"}));
}

TEST_F(FrameTest, ZeroDeltaSkipsUpdateButStillDraws) {
    runFrame(0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"begin 0", "render", "end"}));
}

TEST_F(FrameTest, StereoDrawsTwoNumberedPassesPerUpdate) {
    rt().renderStereo = true;
    runFrame(16);
    EXPECT_EQ(calls(), (std::vector<std::string>{"update 0.016", "begin 1", "render", "begin 2", "render", "end"}));
    EXPECT_EQ(rt().currentPass, 2);
}

TEST_F(FrameTest, NothingRunsBeforeTheCoreOrWithoutARenderer) {
    rt().coreInitialised = false;
    runFrame(16);
    EXPECT_TRUE(calls().empty());

    rt().coreInitialised = true;
    rt().rendererReady = false;
    runFrame(16);
    EXPECT_TRUE(calls().empty());
}

TEST_F(FrameTest, UnbalancedPushTransformIsReportedEveryFrame) {
    rt().transformDepth = 0;  // one push more than pops
    runFrame(16);
    runFrame(16);
    const std::string warning =
        "1: Transform stack is not empty at frame end: there are 1 more zt->PushTransform calls than "
        "zt->PopTransform calls.";
    EXPECT_EQ(recorder().popups, (std::vector<std::string>{warning, warning}));
}

TEST_F(FrameTest, QuitSetsTheRequestAndTheProgramsQuittingFlag) {
    api()->Quit();
    EXPECT_TRUE(rt().quitRequested);
    EXPECT_EQ(test::testProgram().display.quitting, 1);
}

TEST_F(FrameTest, RequestingTheCurrentModeDoesNotReinitialise) {
    rt().reinitRequested = true;
    runFrame(16);
    EXPECT_FALSE(rt().reinitRequested);
    for (const std::string& line : recorder().logs) EXPECT_EQ(line.find("Applying ReInit"), std::string::npos);
}

TEST_F(FrameTest, ANewModeIsAppliedBetweenFramesWithTheDesignedEvents) {
    rt().requested.width = 1024;
    rt().requested.height = 768;
    rt().reinitRequested = true;
    runFrame(16);
    EXPECT_EQ(calls(), (std::vector<std::string>{"update 0.016", "begin 0", "render", "end", "event 11 0",
                                                 "reinit 1024x768w", "event 11 1",
                                                 "event 12 " + std::to_string(1024 | (768 << 16))}));
    EXPECT_EQ(rt().rendererParams.width, 1024);
    EXPECT_EQ(test::testProgram().display.height, 768);
    EXPECT_NE(std::find(recorder().logs.begin(), recorder().logs.end(),
                        "3: Applying ReInit: 800x600 (w) -> 1024x768 (w)"),
              recorder().logs.end());
}

TEST_F(FrameTest, AHostWindowKeepsItsMode) {
    rt().hostWindow = true;
    rt().requested.width = 1024;
    rt().reinitRequested = true;
    runFrame(16);
    EXPECT_EQ(calls(), (std::vector<std::string>{"update 0.016", "begin 0", "render", "end"}));
    EXPECT_EQ(rt().rendererParams.width, 800);
}

TEST_F(FrameTest, SwitchingSoundsOnStartsTheSoundLibraryAgain) {
    rt().rendererParams.soundsDisabled = 1;
    test::testProgram().display.soundsDisabled = 1;
    rt().requested.soundsDisabled = 0;
    rt().soundName = "sndmod_missing.dll";
    rt().reinitRequested = true;
    runFrame(16);
    EXPECT_EQ(test::testProgram().display.soundsDisabled, 0);
    EXPECT_NE(std::find(recorder().logs.begin(), recorder().logs.end(), "3: SoundImp Library: 'sndmod_missing.dll'\n"),
              recorder().logs.end());
    EXPECT_NE(std::find(recorder().logs.begin(), recorder().logs.end(), "1: No Sound Implementation available."),
              recorder().logs.end());
    EXPECT_NE(rt().sound, nullptr);
}

}  // namespace
}  // namespace vz
