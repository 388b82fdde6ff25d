// CallExtension: the order of the tables and the plug-in hand-off, the
// answers of each name, refusals of unsafe arguments, path switching and the
// developer simulations. The same tests run on the development host and,
// in the Windows build, under Wine.
#include <cstdlib>
#include <regex>

#include "../fs/fs_fixture.h"
#include "ext/ext_tables.h"
#include "ext/extensions.h"

namespace vz::fstest {
namespace {

const char* call(const char* name, const char* argument = nullptr) {
    return static_cast<const char*>(slots::CallExtension(name, const_cast<char*>(argument)));
}
std::string text(const char* name, const char* argument = nullptr) {
    const char* result = call(name, argument);
    return result ? result : "<null>";
}

// A renderer whose only working operation is Extension, answering two names.
const char* VZ_THISCALL rendererExtension(VozerRendImp*, const char* category, const char* name) {
    if (!std::strcmp(category, "Display") && name && !std::strcmp(name, "GetResolutions")) return "640x480,800x600";
    if (!std::strcmp(category, "GetLanguage") || !std::strcmp(category, "GetDate")) return "from-renderer";
    return nullptr;
}

struct Recorded {
    int rawMice = 0, usageReports = 0;
    std::vector<std::string> rects;
};
Recorded& recorded() {
    static Recorded r;
    return r;
}
void fakeFillRect(float x, float y, float w, float h) {
    recorded().rects.push_back(std::to_string(int(x)) + "," + std::to_string(int(y)) + " " + std::to_string(int(w)) +
                               "x" + std::to_string(int(h)));
}

class ExtensionTest : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        ext::resetExtensionState();
        ext::serviceHooks() = ext::ServiceHooks{};
        recorded() = Recorded{};
        std::memset(&program_, 0, sizeof program_);
        std::memcpy(program_.id, "ID_FILLS_ALL_32_CHARACTERS_____X", 32);  // not terminated
        program_.display.width = 800;
        program_.display.height = 600;
        rt().shared.program = &program_;
        ops_.Extension = rendererExtension;
        renderer_.ops = &ops_;
    }
    void TearDown() override {
        rt().shared.program = nullptr;
        rt().renderer = nullptr;
        FsTest::TearDown();
    }

    VozerProgramRecord program_;
    VozerRendImpOps ops_{};
    VozerRendImp renderer_{};
};

TEST_F(ExtensionTest, TablesAnswerFirstThenTheRendererThenTheSystem) {
    EXPECT_EQ(call(nullptr), nullptr);
    EXPECT_EQ(call("NoSuchExtension", "x"), nullptr);
    EXPECT_EQ(text("Display", "GetResolutions"), "<null>");
    rt().renderer = &renderer_;
    EXPECT_EQ(text("Display", "GetResolutions"), "640x480,800x600");
    EXPECT_EQ(text("Display", "Other"), "<null>");
    // A name the runtime knows never reaches the renderer.
    EXPECT_TRUE(std::regex_match(text("GetDate"), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
    EXPECT_TRUE(std::regex_match(text("GetTimeStamp"), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}:[0-9]{2}-[0-9]{2}")));

    // Language: the command line first (table order), then the plug-ins;
    // the system's own language is the Program's business (null).
    rt().commandLine = "game.exe -lang German -alt English";
    EXPECT_EQ(text("GetLanguage"), "en");
    rt().commandLine = "game.exe Japanese";
    EXPECT_EQ(text("GetLanguage"), "ja");
    rt().commandLine = "game.exe";
    EXPECT_EQ(text("GetLanguage"), "from-renderer");
    rt().renderer = nullptr;
#ifndef _WIN32
    setenv("LC_ALL", "pt_BR.UTF-8", 1);
    EXPECT_EQ(call("GetLanguage"), nullptr);
    EXPECT_EQ(text("GetRegion"), "BR");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(text("GetRegion"), "");
    unsetenv("LC_ALL");
#endif
    EXPECT_EQ(call("GetLanguage"), nullptr);
}

TEST_F(ExtensionTest, PlatformFactsAndForcedVariants) {
    rt().displayInfo.desktopWidth = 1920;
    rt().displayInfo.desktopHeight = 1080;
#ifdef _WIN32
    EXPECT_EQ(text("PlatformInfo", "PlatformId"), "WINDOWS");
    EXPECT_EQ(text("PlatformInfo", "OSMajor"), "Windows");
    EXPECT_EQ(text("PlatformInfo", "VozerImp"), "ZT_Win32");
#else
    EXPECT_EQ(text("PlatformInfo", "PlatformId"), "LINUX");
#endif
    EXPECT_TRUE(std::regex_match(text("PlatformInfo", "OSMinor"), std::regex("[0-9]+\\.[0-9]+\\.[0-9]+")));
    const std::string id = text("PlatformInfo", "UniqueId");
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{12}\n")) || id.compare(0, 4, "TIME") == 0) << id;
    EXPECT_EQ(text("PlatformInfo", "DesktopWidth"), "1920");
    EXPECT_EQ(text("PlatformInfo", "DesktopHeight"), "1080");
    EXPECT_EQ(text("PlatformInfo", "ScreenSizeId"), "LARGE");
    EXPECT_EQ(call("PlatformInfo", "NoSuchKey"), nullptr);
    EXPECT_EQ(call("PlatformInfo"), nullptr);

    rt().boot.forceVariant = true;
    const char* variants[][3] = {{"ANDROID/SMALL", "ANDROID", "SMALL"},
                                 {"WINDOWS_RT/MEDIUM", "WINDOWS_RT", "MEDIUM"},
                                 {"WINDOWS", "WINDOWS", "LARGE"},
                                 {"BOGUS/HUGE", "UNKNOWN", "LARGE"}};
    for (const auto& v : variants) {
        rt().boot.forcedVariant = v[0];
        EXPECT_EQ(text("PlatformInfo", "PlatformId"), v[1]) << v[0];
        EXPECT_EQ(text("PlatformInfo", "ScreenSizeId"), v[2]) << v[0];
    }
}

TEST_F(ExtensionTest, RuntimeQueriesAndServicesOfOtherSubsystems) {
    EXPECT_EQ(text("ProgramInfo", "ProgramId"), "ID_FILLS_ALL_32_CHARACTERS_____X");
    rt().shared.program = nullptr;
    EXPECT_EQ(text("ProgramInfo", "ProgramId"), "null");
    rt().shared.program = &program_;
    rt().boot.featureLists = {"SHOW_FPS,AUTOSCALE", "MULTIMOUSE"};
    EXPECT_EQ(text("ProgramInfo", "Features"), "SHOW_FPS,AUTOSCALE,MULTIMOUSE");
    rt().boot.featureLists = {"SHOW_FPS"};
    EXPECT_EQ(text("ProgramInfo", "Features"), "SHOW_FPS");

    EXPECT_EQ(call("Hacks", "AllowAllResolutions"), nullptr);
    EXPECT_TRUE(rt().allowAllResolutions);
    call("UI", "BeginKeyboardInput");
    EXPECT_EQ(texts("Popup"), std::vector<std::string>{"Unimplemented."});

    call("Console_AddCommand", "god");
    call("Console_AddCommand", "noclip");
    call("Console_AddCommand", "god");
    call("Console_AddCommand", nullptr);
    call("Console_AddCommand", std::string(300, 'c').c_str());
    EXPECT_EQ(ext::consoleCommands(), (std::vector<std::string>{"god", "noclip"}));

    // Services of other subsystems go through their hooks, or say they are absent.
    call("ListResourceUsage");
    call("RawInput", "Refresh");
    EXPECT_EQ(countContaining("not part of this runtime"), 2u);
    ext::serviceHooks().listResourceUsage = [] { ++recorded().usageReports; };
    ext::serviceHooks().registerRawMice = [] { return ++recorded().rawMice > 0; };
    ext::serviceHooks().estimateMemoryUsage = [](float out[5]) {
        for (int i = 0; i < 5; ++i) out[i] = 1000.0f * static_cast<float>(i + 1);
        return true;
    };
    call("ListResourceUsage");
    call("RawInput", "Refresh");
    call("RawInput", "Other");
    call("RefreshMemUsageEstimates");
    EXPECT_EQ(recorded().usageReports, 1);
    EXPECT_EQ(recorded().rawMice, 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(slots::GetAxis(2001 + i), 1000.0f * static_cast<float>(i + 1));
}

TEST_F(ExtensionTest, PathSwitchingRebuildsOrReplacesTheDataRoots) {
#ifndef _WIN32
    setenv("VOZER_USER_ROOT", user_.c_str(), 1);
#endif
    fs::InitFolders();
    const std::string shared = platform::systemFolder(platform::SystemFolder::SharedAppData);
#ifndef _WIN32
    unsetenv("VOZER_USER_ROOT");
#endif
    rt().developerPathName = "Vozer Tests Studio";

    call("SwitchProgramBasePath", "../escape");
    call("SwitchProgramBasePath", nullptr);
    EXPECT_EQ(countContaining("SwitchProgramBasePath new path parameter invalid."), 2u);
    call("SwitchProgramBasePath", "Second Game: Deluxe");
    EXPECT_EQ(fs::targetRoot(1), shared + "/Vozer Tests Studio/Second_Game__Deluxe");
    EXPECT_TRUE(platform::isDirectory(fs::targetRoot(1).c_str()));
    std::error_code ignored;
    std::filesystem::remove_all(shared + "/Vozer Tests Studio", ignored);

    call("SwitchSharedUserDataPath", (base_ + "/elsewhere").c_str());
    EXPECT_EQ(fs::ResolvePath("user://save.dat"), base_ + "/elsewhere/save.dat");
    call("SwitchUserDataPath", nullptr);
    EXPECT_EQ(fs::targetRoot(0), "");
    call("SwitchSharedUserDataPath", std::string(300, 'd').c_str());  // refused: the root stays
    EXPECT_EQ(fs::targetRoot(1), base_ + "/elsewhere");
}

TEST_F(ExtensionTest, AddressesReachTheShellLocalFilesAndPlayerTextDoNot) {
    const char* refused[] = {"C:\\Windows\\System32\\calc.exe", "c:/windows/notepad.exe", "calc.exe",
                             "\\\\server\\share\\run.exe", "/etc/passwd", "file:///etc/passwd",
                             "FILE:c:/boot.ini", "shell:startup", "javascript:alert(1)", "ms-msdt:/id",
                             "http://x/\" --new-window \"http://y", "http://x/'y'", "http://a b",
                             "http://x/\r\nnext", "http://", "mailto:", "www.", "1http://x", ":x"};
    for (const char* url : refused) EXPECT_EQ(call("OpenURL", url), nullptr) << url;
    EXPECT_EQ(call("OpenURL"), nullptr);
    EXPECT_EQ(call("OpenURL", ("http://x/" + std::string(5000, 'a')).c_str()), nullptr);
    EXPECT_EQ(call("ComposeMail", "calc.exe"), nullptr);
    EXPECT_EQ(countContaining("refused"), 22u);
    EXPECT_EQ(countContaining("'http://x/??next'"), 1u);  // control characters never reach the log

    // What the shell opens for addresses: any scheme, and "www." as a web page.
    std::string address;
    for (const char* url : {"mailto:someone@example.com?subject=Hi", "ms-windows-store://pdp/?ProductId=9WZDNCRFJ3TJ",
                            "market://details?id=com.example.game", "steam://run/480", "ftp://host/file",
                            "HTTPS://EXAMPLE.COM/"}) {
        EXPECT_TRUE(ext::shellAddress(url, address)) << url;
        EXPECT_EQ(address, url);
    }
    EXPECT_TRUE(ext::shellAddress("www.example.com/page?x=1", address));
    EXPECT_EQ(address, "http://www.example.com/page?x=1");
    for (const char* url : refused) EXPECT_FALSE(ext::shellAddress(url, address)) << url;
#ifdef _WIN32
    call("Clipboard_SetText", "from the test");
    EXPECT_EQ(text("Clipboard_GetText"), "from the test");
    call("Clipboard_SetText", std::string(5000, 'k').c_str());
    EXPECT_EQ(text("Clipboard_GetText"), std::string(1027, 'k'));
#else
    // The development host has no shell to hand them to; it says so.
    captured().clear();
    call("IPHONE_OpenURL", "https://example.com/page?x=1");
    call("ComposeMail", "mailto:someone@example.com?subject=Hi");
    call("OpenURL", "www.example.com");
    EXPECT_EQ(countContaining("unable to open"), 3u);
    EXPECT_EQ(countContaining("refused"), 0u);
    EXPECT_EQ(text("Clipboard_GetText"), "");
    EXPECT_EQ(call("OpenFileDialog", "Text|*.txt"), nullptr);
#endif
}

TEST_F(ExtensionTest, DialogFiltersAreTheSystemsPairs) {
    std::string out;
    const char pairs[] = "Text files\0*.txt\0All files\0*.*\0\0after the list";
    ASSERT_TRUE(ext::dialogFilter(pairs, out));
    EXPECT_EQ(out, std::string("Text files\0*.txt\0All files\0*.*\0", 31));
    ASSERT_TRUE(ext::dialogFilter("Saves\0*.sav\0Lone description\0\0", out));
    EXPECT_EQ(out, std::string("Saves\0*.sav\0Lone description\0\0", 30)) << "its pattern is empty";
    ASSERT_TRUE(ext::dialogFilter("Images|*.png;*.jpg|All|*.*", out));  // the same written with bars
    EXPECT_EQ(out, std::string("Images\0*.png;*.jpg\0All\0*.*\0", 27));
    EXPECT_FALSE(ext::dialogFilter("Text\0*.txt\r\0\0", out));
    EXPECT_FALSE(ext::dialogFilter("Text||*.txt", out)) << "an empty part inside the list";
    // A list that never ends is read no further than 1024 bytes.
    std::vector<char> endless(4096, 'a');
    for (size_t i = 100; i < endless.size(); i += 100) endless[i] = '\0';
    EXPECT_FALSE(ext::dialogFilter(endless.data(), out));
    ASSERT_TRUE(ext::dialogFilter(nullptr, out));
    EXPECT_TRUE(out.empty());
}

TEST_F(ExtensionTest, EditingEscapesRoundTrip) {
    const std::string original = "tab\there \"quoted\" back\\slash\nline\rret\bbs";
    const std::string shown = ext::escapeForEditing(original);
    EXPECT_EQ(shown, "tab\\there \\\"quoted\\\" back\\\\slash\\nline\\rret\\bbs");
    EXPECT_EQ(ext::unescapeAfterEditing(shown), original);
    EXPECT_EQ(ext::unescapeAfterEditing("odd \\q and end\\"), "odd \\q and end\\");
}

TEST_F(ExtensionTest, DeveloperSimulationsOnlyInDeveloperMode) {
    EXPECT_EQ(call("IAP_IsAvailable"), nullptr);
    EXPECT_EQ(call("Facebook_IsAvailable"), nullptr);
    rt().boot.developerMode = true;
    EXPECT_EQ(text("Facebook_IsAvailable"), "YES");
    EXPECT_EQ(text("_SinaWeibo_IsAvailable"), "YES");
    EXPECT_EQ(text("IAP_IsAvailable"), "YES");
    EXPECT_EQ(text("IAP_RequestItemData", "sword"), "0 credits");
    EXPECT_EQ(text("IAP_OpenOffers"), "150 credits");
    EXPECT_EQ(countContaining("IAP_OpenOffers called. Adding 150 credits. Now 150 credits."), 1u);
    EXPECT_EQ(text("IAP_PurchaseItem", "sword:100"), "50 credits");
    EXPECT_EQ(call("IAP_Purchase", "shield"), nullptr);  // 100 by default: not enough
    EXPECT_EQ(call("IAP_Purchase", "cheat:-500"), nullptr);
    EXPECT_EQ(text("IAP_RequestItemData"), "50 credits");

    const auto fillRect = api()->FillRect;
    api()->FillRect = &fakeFillRect;
    EXPECT_EQ(call("ADS_ShowAd", "banner-1"), nullptr);
    EXPECT_EQ(countContaining("ADS Ext: ADS_ShowAd (banner-1)"), 1u);
    EXPECT_EQ(text("ADS_IsShowingFullscreenAd"), "NO");
    call("ADS_ShowFullscreenAd", "interstitial");
    EXPECT_EQ(text("ADS_IsShowingFullscreenAd"), "YES");
    ext::drawAdPlaceholders();
    EXPECT_EQ(recorded().rects, (std::vector<std::string>{"240,550 320x50", "0,0 800x600"}));
    call("ADS_HideAd");
    recorded().rects.clear();
    ext::drawAdPlaceholders();
    EXPECT_EQ(recorded().rects, std::vector<std::string>{"0,0 800x600"});
    api()->FillRect = fillRect;
}

}  // namespace
}  // namespace vz::fstest
