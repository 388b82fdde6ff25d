// Choosing the screen size, requests for another one, and autoscaling of the
// reference resolution onto the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "core/frame.h"
#include "core/resolution.h"
#include "core_fixture.h"
#include "state/runtime_state.h"

namespace vz {
namespace {

using test::recorder;

// The adapter's modes, and how often the renderer was asked.
std::vector<std::pair<int, int>> adapterModes;
int supportQuestions = 0;
vz_bool VZ_THISCALL adapterLists(VozerRendImp*, int32_t width, int32_t height) {
    ++supportQuestions;
    return std::find(adapterModes.begin(), adapterModes.end(), std::make_pair(width, height)) != adapterModes.end();
}

std::vector<std::string> fills;
void VZ_CDECL recordFill(float x, float y, float w, float h) {
    fills.push_back(std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)) + "," +
                    std::to_string(static_cast<int>(w)) + "," + std::to_string(static_cast<int>(h)));
}

class ResolutionTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        ops_ = *rt().renderer->ops;
        ops_.IsResolutionSupported = adapterLists;
        renderer_.ops = &ops_;
        rt().renderer = &renderer_;
        adapterModes = {{1024, 768}, {1280, 720}, {1920, 1080}};
        supportQuestions = 0;
        fills.clear();
        api()->FillRect = recordFill;
    }
    void TearDown() override { test::tearDownRuntime(); }
    void desktop(int w, int h) {
        rt().displayInfo.desktopWidth = w;
        rt().displayInfo.desktopHeight = h;
    }
    bool printed(const std::string& text) {
        return std::find(recorder().logs.begin(), recorder().logs.end(), "0: " + text) != recorder().logs.end();
    }
    VozerRendImpOps ops_{};
    VozerRendImp renderer_{};
};

TEST_F(ResolutionTest, AspectPassPicksTheEarliestEntryClosestToTheDesktop) {
    desktop(1920, 1080);
    rt().boot.supportedResolutions = "1024x768,1280x720,1920x1080";
    ASSERT_TRUE(ZTI_SelectOptimalResolution(false, false));
    EXPECT_EQ(rt().requested.width, 1280);
    EXPECT_EQ(rt().requested.height, 720);
    EXPECT_EQ(rt().requested.windowed, 0);
    EXPECT_TRUE(printed("Closest supported aspect ratio is 1280x720 (aspect 1.78 vs desktop 1.78)"));
}

TEST_F(ResolutionTest, WindowedSizesMustLeaveRoomOnTheDesktop) {
    desktop(1280, 800);
    rt().boot.supportedResolutions = "1280x720,1024x768,1024x600";
    ASSERT_TRUE(ZTI_SelectOptimalResolution(true, false));
    EXPECT_EQ(rt().requested.width, 1024);
    EXPECT_EQ(rt().requested.height, 600);
    EXPECT_FALSE(isResolutionSupported(1231, 600, true));
    EXPECT_TRUE(isResolutionSupported(1230, 730, true));
    EXPECT_FALSE(isResolutionSupported(1230, 731, true));
    EXPECT_EQ(supportQuestions, 0) << "windowed sizes are not the adapter's business";

    // Nothing fits: the smallest entry is taken rather than none.
    rt().boot.supportedResolutions = "1920x1080,1600x900";
    ASSERT_TRUE(ZTI_SelectOptimalResolution(true, false));
    EXPECT_EQ(rt().requested.width, 1600);
}

TEST_F(ResolutionTest, DeviceEntryWithoutDeviceSizeFallsBackToTheReferenceOrTheVariantsTypicalScreen) {
    desktop(1920, 1080);
    test::testProgram().display.referenceWidth = 1024;
    test::testProgram().display.referenceHeight = 768;
    rt().boot.supportedResolutions = "*";
    ASSERT_TRUE(ZTI_SelectOptimalResolution(true, false));
    EXPECT_EQ(rt().requested.width, 1024);
    EXPECT_EQ(rt().requested.height, 768);
    EXPECT_TRUE(printed("Device screen size not set. Using typical fallback resolution 1024x768."));

    rt().boot.forceVariant = true;
    rt().boot.forcedVariant = "IOS/SMALL";
    supportQuestions = 0;
    ASSERT_TRUE(ZTI_SelectOptimalResolution(false, false));
    EXPECT_EQ(rt().requested.width, 960);
    EXPECT_EQ(rt().requested.height, 640);
    EXPECT_EQ(supportQuestions, 0) << "a forced variant takes its size untested";
    EXPECT_STREQ(typicalFallbackResolution("WINDOWS_PHONE"), "800x480");
    EXPECT_STREQ(typicalFallbackResolution("PS_VITA"), "960x544");
    EXPECT_STREQ(typicalFallbackResolution("IOS/LARGE"), "1024x768");
    EXPECT_STREQ(typicalFallbackResolution("AMIGA"), "800x600");
}

TEST_F(ResolutionTest, NoUsableEntryWarnsAndKeepsTheSize) {
    rt().requested.width = 640;
    rt().boot.supportedResolutions = "";
    EXPECT_FALSE(ZTI_SelectOptimalResolution(false, false));
    EXPECT_TRUE(recorder().logs.empty()) << "no list fails silently";
    rt().boot.supportedResolutions = "800x600,0x0,garbage," + std::string(600, 'x');
    EXPECT_FALSE(ZTI_SelectOptimalResolution(false, false)) << "an over-long list counts as empty";
    rt().boot.supportedResolutions = "800x600,0x0,garbage";
    EXPECT_FALSE(ZTI_SelectOptimalResolution(false, false));
    EXPECT_EQ(recorder().logs.back(), "1: No resolution found in ZTI_SelectOptimalResolution!");
    EXPECT_EQ(rt().requested.width, 640);
}

TEST_F(ResolutionTest, ReinitializeAppliesASupportedModeAndRefusesAnotherWithoutChange) {
    desktop(1920, 1080);
    rt().boot.supportedResolutions = "1024x768,1280x720";
    VozerDisplayParams wanted = rt().requested;
    wanted.width = 1280;
    wanted.height = 720;
    wanted.windowed = 0;
    ASSERT_TRUE(api()->Reinitialize(wanted));
    EXPECT_TRUE(rt().reinitRequested);
    runFrame(16);
    EXPECT_EQ(recorder().calls.back(), "event 12 " + std::to_string(1280 | 720 << 16));
    EXPECT_NE(std::find(recorder().calls.begin(), recorder().calls.end(), "reinit 1280x720f"), recorder().calls.end());
    EXPECT_EQ(test::testProgram().display.width, 1280);

    // No supported entry at all: refused, and the next frame changes nothing.
    adapterModes.clear();
    desktop(0, 0);
    recorder().calls.clear();
    wanted.width = 1024;
    wanted.height = 768;
    EXPECT_FALSE(api()->Reinitialize(wanted));
    EXPECT_EQ(recorder().logs.back(), "1: Requested resolution 1024x768 (windowed=0) not available.");
    EXPECT_EQ(rt().requested.width, 1280);
    EXPECT_EQ(rt().requested.windowed, 0);
    runFrame(16);
    EXPECT_EQ(std::count_if(recorder().calls.begin(), recorder().calls.end(),
                            [](const std::string& c) { return c.rfind("reinit", 0) == 0; }),
              0);
}

TEST_F(ResolutionTest, RetainedAspectAutoscaleCentresTheReferenceWithBars) {
    VozerDisplayParams& display = test::testProgram().display;
    display.referenceWidth = 1024;
    display.referenceHeight = 768;
    display.width = 1920;
    display.height = 1080;
    rt().displayInfo.deviceWidth = 1920;
    rt().displayInfo.deviceHeight = 1080;
    rt().displayInfo.nativeOrientation = 4;
    rt().boot.autoscale = true;
    rt().boot.featureLists = {"AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO", ""};
    setupAutoscaling();
    EXPECT_FLOAT_EQ(rt().autoscaleX, 1.40625f);
    EXPECT_FLOAT_EQ(rt().autoscaleY, 1.40625f);
    EXPECT_FLOAT_EQ(rt().autoscaleOffsetX, 240.0f);
    EXPECT_FLOAT_EQ(rt().autoscaleOffsetY, 0.0f);
    EXPECT_EQ(display.width, 1024) << "the Program sees its reference size";

    float m[16];
    buildScreenTransform(m);
    auto map = [&](float x, float y) { return std::make_pair(m[0] * x + m[1] * y + m[3], m[4] * x + m[5] * y + m[7]); };
    EXPECT_FLOAT_EQ(map(0, 0).first, 240.0f);
    EXPECT_FLOAT_EQ(map(0, 0).second, 0.0f);
    EXPECT_FLOAT_EQ(map(1024, 768).first, 1680.0f);
    EXPECT_FLOAT_EQ(map(1024, 768).second, 1080.0f);

    drawLetterbox();
    EXPECT_EQ(fills, (std::vector<std::string>{"1024,0,1024,768", "-1024,0,1024,768"})) << "bars left and right only";

    // A reference size equal to the screen switches scaling off.
    display.width = 1024;
    display.height = 768;
    rt().boot.autoscale = true;
    rt().displayInfo.deviceWidth = 1024;
    rt().displayInfo.deviceHeight = 768;
    setupAutoscaling();
    EXPECT_FALSE(rt().boot.autoscale);
    EXPECT_FLOAT_EQ(rt().autoscaleX, 1.0f);
    fills.clear();
    rt().autoscaleOffsetX = 0;
    drawLetterbox();
    EXPECT_TRUE(fills.empty());
    buildScreenTransform(m);
    EXPECT_FLOAT_EQ(m[3], 0.0f) << "no scaling: the identity";
    EXPECT_FLOAT_EQ(m[0], 1.0f);
}

}  // namespace
}  // namespace vz
