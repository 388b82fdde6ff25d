#include <gtest/gtest.h>

#include <cstring>

#include "api/engine_api.h"
#include "core/boot_config.h"
#include "state/runtime_state.h"
#include "core/startup.h"
#include "core_fixture.h"

namespace vz {
namespace {

using test::recorder;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { test::setUpRuntime(); }
    void TearDown() override { test::tearDownRuntime(); }
};

TEST_F(StartupTest, TitlePathNameKeepsOnlyLettersDigitsAndDashes) {
    EXPECT_EQ(titlePathNameOf("My Game: 2"), "My_Game__2");
    EXPECT_EQ(titlePathNameOf("Space-Race 3000"), "Space-Race_3000");
    EXPECT_EQ(titlePathNameOf(""), "");
    // Folder names are held in 32-byte buffers: longer titles are cut.
    EXPECT_EQ(titlePathNameOf(std::string(100, 'a').c_str()), std::string(31, 'a'));
}

TEST_F(StartupTest, MissingIdentityIsReportedInOrderAndGetsDefaultFolders) {
    checkProgramIdentity();
    EXPECT_EQ(recorder().popups,
              (std::vector<std::string>{
                  "1: Program doesn't have parm title set: set value prog->title",
                  "1: Program doesn't have parm id set: set value prog->id",
                  "1: Program doesn't have parm version: set value prog->version to e.g. \"1.0.0\"",
                  "1: Program doesn't have parm developer: set value prog->developer_name"}));
    EXPECT_EQ(rt().developerPathName, "Korvid");
    EXPECT_EQ(rt().titlePathName, "unknown");
}

TEST_F(StartupTest, IdentityFieldsWithoutTerminatorStayInsideTheirFields) {
    VozerProgramRecord& program = test::testProgram();
    std::memset(program.title, 'T', sizeof program.title);         // no terminator at all
    std::memset(program.developerName, 'D', sizeof program.developerName);
    std::strcpy(program.id, "id");
    std::strcpy(program.version, "1.0");
    checkProgramIdentity();
    EXPECT_TRUE(recorder().popups.empty());
    EXPECT_EQ(rt().titlePathName, std::string(31, 'T'));
    EXPECT_EQ(rt().developerPathName, std::string(31, 'D'));
}

TEST_F(StartupTest, DisplayParametersAreNormalisedBeforeEveryRendererStart) {
    VozerDisplayParams params{};
    params.width = 320;
    params.height = 240;
    params.windowed = 0;
    normaliseDisplayParams(params);
    EXPECT_EQ(params.windowed, 1) << "full screen below 640x480 is not offered";

    params.width = 1024;
    params.height = 768;
    params.windowed = 0;
    normaliseDisplayParams(params);
    EXPECT_EQ(params.windowed, 0);

    params.windowed = 7;
    normaliseDisplayParams(params);
    EXPECT_EQ(params.windowed, 1);

    rt().boot.forceVariant = true;
    params.windowed = 0;
    normaliseDisplayParams(params);
    EXPECT_EQ(params.windowed, 1) << "a forced variant always runs in a window";
}

TEST_F(StartupTest, FeaturesMatchWholeTokensOnly) {
    rt().boot.featureLists = {"MULTIMOUSE2,AUTOSCALE", "SHOW_FPS"};
    EXPECT_TRUE(hasFeature("AUTOSCALE"));
    EXPECT_TRUE(hasFeature("SHOW_FPS"));
    EXPECT_TRUE(hasFeature("MULTIMOUSE2"));
    EXPECT_FALSE(hasFeature("MULTIMOUSE"));
    EXPECT_FALSE(hasFeature("SCALE"));
    EXPECT_FALSE(hasFeature(""));
    EXPECT_FALSE(hasFeature(nullptr));
}

class RendererStartTest : public StartupTest {
protected:
    void SetUp() override {
        StartupTest::SetUp();
        rt().rendererReady = false;
        rt().requested.width = 1024;
        rt().requested.height = 768;
    }
    std::vector<std::string>& calls() { return recorder().calls; }
    static std::string failurePopup() {
        return "2: Unable to initialize the renderer.\n\nPlease try updating your display adapter drivers "
               "and rebooting.";
    }
};

TEST_F(RendererStartTest, StartsWithTheRequestedMode) {
    EXPECT_TRUE(initialiseRenderer());
    EXPECT_EQ(calls(), (std::vector<std::string>{"init 1024x768w"}));
    EXPECT_TRUE(rt().rendererReady);
    EXPECT_EQ(test::testProgram().display.rendererInitialised, 1);
}

TEST_F(RendererStartTest, FailingTheSameModeAgainGivesUpAtOnce) {
    rt().rendererParams.width = 1024;
    rt().rendererParams.height = 768;
    recorder().rendererInitFailuresLeft = 1;
    EXPECT_FALSE(initialiseRenderer());
    EXPECT_EQ(calls(), (std::vector<std::string>{"init 1024x768w"}));
    EXPECT_EQ(recorder().popups, (std::vector<std::string>{failurePopup()}));
}

TEST_F(RendererStartTest, AModeTheRendererRefusesFallsBackToThePreviousOne) {
    recorder().rendererFailWidth = 1024;
    EXPECT_TRUE(initialiseRenderer());
    EXPECT_EQ(calls(), (std::vector<std::string>{"init 1024x768w", "init 800x600w"}));
    EXPECT_EQ(rt().rendererParams.width, 800);
    EXPECT_TRUE(recorder().popups.empty());
}

TEST_F(RendererStartTest, ARendererThatNeverStartsIsTriedThreeTimes) {
    recorder().rendererInitFailuresLeft = 100;
    EXPECT_FALSE(initialiseRenderer());
    EXPECT_EQ(calls(), (std::vector<std::string>{"init 1024x768w", "init 800x600w", "init 1024x768w",
                                                 "init 800x600w", "init 1024x768w"}));
    EXPECT_EQ(recorder().popups, (std::vector<std::string>{failurePopup()}));
    EXPECT_FALSE(rt().rendererReady);
}

TEST_F(RendererStartTest, WithoutARendererNothingStarts) {
    rt().renderer = nullptr;
    EXPECT_FALSE(initialiseRenderer());
    EXPECT_EQ(recorder().logs, (std::vector<std::string>{"0: Renderer doesn't exist, can't continue with init."}));
}

}  // namespace
}  // namespace vz
