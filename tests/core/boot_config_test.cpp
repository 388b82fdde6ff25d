#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "core/boot_config.h"
#include "state/runtime_state.h"
#include "core_fixture.h"
#include "data/vudozar.h"

namespace vz {
namespace {

using test::recorder;

std::unique_ptr<vudozar::Database> database(const std::string& arrays) {
    const std::string text = "<?xml version=\"1.0\"?>\n<vudozar>\n" + arrays + "\n</vudozar>\n";
    return vudozar::LoadDatabaseFromMemory("prog.xml", text.data(), text.size());
}

std::string application(const std::string& attributes, const std::string& developer = "") {
    return "<array id=\"PARAMETERS\"><node id=\"APPLICATION\" " + attributes + "/>" +
           (developer.empty() ? "" : "<node id=\"DEVELOPER\" " + developer + "/>") + "</array>";
}

std::string variants(const std::string& nodes) { return "<array id=\"VARIANTS\">" + nodes + "</array>"; }

class BootConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        program().display.framePeriodMs = 8;
    }
    void TearDown() override { test::tearDownRuntime(); }
    static VozerProgramRecord& program() { return test::testProgram(); }
    static bool apply(const std::string& xml, const std::string& developerXml = "") {
        auto prog = database(xml);
        auto developer = developerXml.empty() ? nullptr : database(developerXml);
        keep.push_back(std::move(prog));
        if (developer) keep.push_back(std::move(developer));
        return applyBootConfiguration(keep[keep.size() - (developerXml.empty() ? 1 : 2)].get(),
                                      developerXml.empty() ? nullptr : keep.back().get());
    }
    // Nodes handed out by a database stay in use by the runtime state.
    static inline std::vector<std::unique_ptr<vudozar::Database>> keep;
};

TEST_F(BootConfigTest, FrameRateLimitGivesTheFramePeriod) {
    const std::pair<const char*, int> cases[] = {{"60", 16}, {"30", 31}, {"0", 500}, {"junk", 500},
                                                  // No period: the one before stays, and the loop still waits.
                                                  {"-2", 500}, {"-7.5", 500}, {"-1.95", 500}};
    for (const auto& [limit, period] : cases) {
        ASSERT_TRUE(apply(application(std::string("fps_limit=\"") + limit + "\"")));
        EXPECT_EQ(program().display.framePeriodMs, period) << "fps_limit " << limit;
    }
}

TEST_F(BootConfigTest, IdentityOverridesTheProgramAndIsCutToItsFields) {
    const std::string longTitle(300, 'T');
    ASSERT_TRUE(apply(application("program_id=\"game-id\" name=\"" + longTitle +
                                  "\" developer=\"Studio\" version=\"2.0.1\"")));
    EXPECT_STREQ(program().id, "game-id");
    EXPECT_EQ(std::string(program().title), std::string(127, 'T'));
    EXPECT_STREQ(program().developerName, "Studio");
    EXPECT_STREQ(program().version, "2.0.1");
}

TEST_F(BootConfigTest, FeatureTokensAreWholeWords) {
    ASSERT_TRUE(apply(application("features=\"MULTIMOUSE2,AUTOSCALE\"")));
    EXPECT_TRUE(rt().boot.autoscale);
    EXPECT_EQ(program().display.multimouse, 0);
    EXPECT_TRUE(hasFeature("AUTOSCALE"));
    EXPECT_FALSE(hasFeature("MULTIMOUSE"));

    ASSERT_TRUE(apply(application("features=\"SHOW_FPS;MULTITOUCH\"")));
    EXPECT_EQ(program().display.multimouse, 1);
}

TEST_F(BootConfigTest, DeveloperSwitchesComeFromDeveloperXmlFirst) {
    const std::string prog = application("", "logging=\"0\" console=\"0\"");
    const std::string developer = application("", "logging=\"true\" console=\"1\" logging_verbose_level="
                                                  "\"only ERROR and up\" console_toggle_key=\"F\" "
                                                  "developer_mode=\"1\" features=\"SHOW_INFO\"");
    ASSERT_TRUE(apply(prog, developer));
    const BootSettings& boot = rt().boot;
    EXPECT_TRUE(boot.logging);
    EXPECT_TRUE(boot.console);
    EXPECT_EQ(boot.verboseLevel, 2);
    EXPECT_EQ(boot.consoleToggleKey, 'F');
    EXPECT_TRUE(boot.developerMode);
    EXPECT_EQ(rt().soundName, "sndmod_a.dll");
    EXPECT_TRUE(hasFeature("DEVELOPER_MODE"));
    EXPECT_TRUE(hasFeature("SHOW_INFO"));
}

TEST_F(BootConfigTest, TheLargeVariantIsPreferredAndNamesTheImplementations) {
    rt().renderer = reinterpret_cast<VozerRendImp*>(&recorder());  // already bound: no library is loaded
    ASSERT_TRUE(apply(variants("<node id=\"WINDOWS\" renderer_implementation=\"plain\"/>"
                               "<node id=\"WINDOWS/LARGE\" renderer_implementation=\"gfxmod_large\" "
                               "sound_implementation=\"sndmod_x.dll\" input_implementations=\"inp\"/>")));
    EXPECT_EQ(rt().boot.variantId, "WINDOWS/LARGE");
    EXPECT_EQ(rt().rendererName, "gfxmod_large.dll");
    EXPECT_EQ(rt().soundName, "sndmod_x.dll");
    EXPECT_EQ(rt().inputNames, std::vector<std::string>{"inp.dll"});
    EXPECT_EQ(rt().boot.packages[2], "data-sfx-OGG_44100");
    EXPECT_EQ(rt().boot.packages[3], "data-music-OGG_44100");
    rt().renderer = nullptr;
}

TEST_F(BootConfigTest, ImplementationNamesWithAndWithoutDllNameTheSameLibrary) {
    rt().renderer = reinterpret_cast<VozerRendImp*>(&recorder());  // already bound: no library is loaded
    for (const char* name : {"gfxmod_x", "gfxmod_x.dll"}) {
        ASSERT_TRUE(apply(variants(std::string("<node id=\"WINDOWS\" renderer_implementation=\"") + name +
                                   "\" sound_implementation=\"" + name + "\"/>")));
        EXPECT_EQ(rt().rendererName, "gfxmod_x.dll") << name;
        EXPECT_EQ(rt().soundName, "gfxmod_x.dll") << name;
    }
    rt().renderer = nullptr;
}

TEST_F(BootConfigTest, AForcedVariantIsTheOnlyOneLookedUpAndRunsWindowed) {
    program().display.windowed = 0;
    ASSERT_TRUE(apply(application("", "force_variant=\"ANDROID\"") +
                      variants("<node id=\"WINDOWS/LARGE\" name=\"desktop\"/><node id=\"ANDROID\" name=\"phone\"/>")));
    EXPECT_EQ(rt().boot.variantId, "ANDROID");
    EXPECT_STREQ(program().title, "phone");
    EXPECT_EQ(program().display.windowed, 1);
    EXPECT_EQ(rt().boot.packages[3], "data-music-MP3_44100");
}

TEST_F(BootConfigTest, AMissingVariantEndsTheProcess) {
#ifdef _WIN32
    const int exitCode = -1;
#else
    const int exitCode = 255;  // -1 as a POSIX parent sees it
#endif
    EXPECT_EXIT(apply(variants("<node id=\"MAC\"/>")), ::testing::ExitedWithCode(exitCode), "");
}

TEST_F(BootConfigTest, DeprecatedMusicFormatWarnsAndStillOpensThePackage) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(apply(variants("<node id=\"WINDOWS\" music_format=\"OGG_44100\" sound_fx_format=\"@open:WAV_X\"/>")));
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("defines deprecated 'music_format' parameter 'OGG_44100'. Just remove it."),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("but the value differs from platform standard ('OGG_44100')"), std::string::npos);
    EXPECT_EQ(rt().boot.packages[3], "data-music-OGG_44100");
    EXPECT_EQ(rt().boot.packages[2], "data-sfx-WAV_X");
}

TEST_F(BootConfigTest, PackageConditionsFollowTheProgramSize) {
    EXPECT_TRUE(packageConditionHolds("res>=1280x720", 1280, 720));
    EXPECT_TRUE(packageConditionHolds("res>=1280x720", 1920, 1080));
    EXPECT_FALSE(packageConditionHolds("res>=1280x720", 1024, 768));
    EXPECT_TRUE(packageConditionHolds("res==*x720", 333, 720));
    EXPECT_FALSE(packageConditionHolds("res==*x720", 333, 721));
    EXPECT_TRUE(packageConditionHolds("res<=800x600", 640, 480));
    EXPECT_TRUE(packageConditionHolds("res1024x768", 1024, 768));
    EXPECT_TRUE(packageConditionHolds("resolution=720x1280", 1280, 720));
    EXPECT_TRUE(packageConditionHolds("resolution720x1280", 720, 1280));
    EXPECT_FALSE(packageConditionHolds("resolution=720x1280", 720, 720));
    EXPECT_TRUE(packageConditionHolds("open", 1, 1));
    EXPECT_FALSE(packageConditionHolds("sometimes", 1, 1));
    rt().boot.featureLists = {"HD"};
    EXPECT_TRUE(packageConditionHolds("feature=HD", 1, 1));
    EXPECT_FALSE(packageConditionHolds("feature=SD", 1, 1));
}

std::vector<std::string>& addedSearchPaths() {
    static std::vector<std::string> paths;
    return paths;
}

int32_t VZ_CDECL captureAddSearchPath(const char* path, vz_bool priority) {
    addedSearchPaths().push_back(std::string(path) + (priority ? " (high)" : " (low)"));
    return static_cast<int32_t>(addedSearchPaths().size());
}

TEST_F(BootConfigTest, PackagesOpenInListOrderWithTheirConditions) {
    addedSearchPaths().clear();
    api()->AddSearchPath = captureAddSearchPath;
    program().display.width = 1280;
    program().display.height = 720;
    ASSERT_TRUE(apply(application("packages=\"base,@res>=1280x720:data-hd,@res<=800x600:data-sd,x,"
                                  "@resolution=720x1280:data-p,@feature=NOPE:data-f,@bad\"",
                                  "developer_mode=\"1\" developer_packages=\"dev\"") +
                      variants("<node id=\"WINDOWS\" addon_packages=\"@open:addon\"/>")));
    openResourcePackages();
    EXPECT_EQ(addedSearchPaths(),
              (std::vector<std::string>{"res://base (high)", "res://data-hd (high)", "res://data-p (high)",
                                        "res://addon (high)", "res://data-sfx-OGG_44100 (high)",
                                        "res://data-music-OGG_44100 (high)", "res://dev (low)"}));
}

TEST_F(BootConfigTest, OverlongPackageListsAreIgnoredAndLongOnesCutAt32Entries) {
    addedSearchPaths().clear();
    api()->AddSearchPath = captureAddSearchPath;
    std::string many;
    for (int i = 0; i < 40; ++i) many += (i ? ",p" : "p") + std::to_string(i);
    std::string overlong = "a" + std::string(600, 'b');
    ASSERT_TRUE(apply(application("packages=\"" + many + "\"") +
                      variants("<node id=\"WINDOWS\" addon_packages=\"" + overlong + "\"/>")));
    rt().boot.packages[2].clear();
    rt().boot.packages[3].clear();
    openResourcePackages();
    ASSERT_EQ(addedSearchPaths().size(), 32u);
    EXPECT_EQ(addedSearchPaths().back(), "res://p31 (high)");
}

}  // namespace
}  // namespace vz
