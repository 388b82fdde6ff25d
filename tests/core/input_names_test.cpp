// Key names of the boot configuration and the DirectX test that guards the
// binding of Direct3D renderers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/directx_version.h"
#include "core/key_names.h"
#include "core/plugin_binding.h"
#include "core_fixture.h"
#include "state/runtime_state.h"

namespace vz {
namespace {

TEST(KeyNames, NamesLettersAndDigitsGiveTheirCodes) {
    const struct {
        const char* name;
        int32_t code;
    } cases[] = {
        {"a", 65}, {"A", 65}, {"z", 90}, {"0", 48}, {"9", 57},
        {"MOUSE_X", 504}, {"BACKSPACE", 8}, {"ESCAPE", 27}, {"MENU", 300},
        {"MOUSE_BUTTON_RIGHT", 511}, {"MOUSE_BUTTON_7", 517}, {"ACCELEROMETER_Z", 1612}, {"VOLUME_DOWN", 1633},
        // Unknown names, wrong case, longer texts and gamepad controls give no key.
        {"NOPE", 0}, {"escape", 0}, {"ab", 0}, {"", 0}, {"!", 0}, {"GAMEPAD_0_BUTTON_A", 0}, {"F1", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(keyCodeFromName(c.name), c.code) << c.name;
    EXPECT_EQ(keyCodeFromName(nullptr), 0);
    EXPECT_EQ(keyCodeFromName("MOUSE_X") & 0xFF, 0xF8) << "what the console keeps of it";
}

TEST(DirectXVersion, EncodesMajorMinorAndLetter) {
    EXPECT_EQ(encodeDirectXVersion({9, 0, 'c'}), 0x90003);
    EXPECT_EQ(encodeDirectXVersion({9, 0, 'C'}), 0x90003);
    EXPECT_EQ(encodeDirectXVersion({8, 1, ' '}), 0x80100);
    EXPECT_EQ(encodeDirectXVersion({7, 0, 'a'}), 0x70001);
    EXPECT_EQ(encodeDirectXVersion({0, 0, ' '}), 0);
}

#ifndef _WIN32
// The headless host reports the DirectX version VOZER_DIRECTX_VERSION names.
class DirectXRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        unsetenv("VOZER_RENDERER");
    }
    void TearDown() override {
        unsetenv("VOZER_DIRECTX_VERSION");
        test::tearDownRuntime();
    }
    static bool logged(const std::string& line) {
        const auto& logs = test::recorder().logs;
        return std::find(logs.begin(), logs.end(), line) != logs.end();
    }
    static bool lookedForLibrary() {
        const auto& logs = test::recorder().logs;
        return std::any_of(logs.begin(), logs.end(), [](const std::string& line) {
            return line.find("[FATAL] RendImp Library not found") != std::string::npos;
        });
    }
    static VozerRendImp* bind(const char* renderer, const char* directX) {
        test::recorder().logs.clear();
        if (directX)
            setenv("VOZER_DIRECTX_VERSION", directX, 1);
        else
            unsetenv("VOZER_DIRECTX_VERSION");
        rt().rendererName = renderer;
        rt().directXVersion = -1;  // each case is another machine: ask again
        return bindRenderer();
    }
};

// The provider is slow to answer, so a run asks it once: a retried binding
// gets the same answer (and logs it again) even if the machine changed since.
TEST_F(DirectXRefusal, ARunAsksForTheVersionOnce) {
    EXPECT_EQ(bind("gfxmod_d3d9.dll", "8.1"), nullptr);
    setenv("VOZER_DIRECTX_VERSION", "9.0c", 1);
    test::recorder().logs.clear();
    EXPECT_EQ(bindRenderer(), nullptr);
    EXPECT_TRUE(logged("3: DirectX 8.1 installed (80100)"));
    EXPECT_TRUE(logged("1: DirectX version not supported.\n"));
}

TEST_F(DirectXRefusal, Direct3DRenderersNeedTheirDirectX) {
    const struct {
        const char* renderer;
        const char* directX;  // null: the host cannot tell
        const char* logged;   // the version line, or null when DirectX is not asked
        bool refused;
    } cases[] = {
        {"gfxmod_d3d9.dll", "8.1", "3: DirectX 8.1 installed (80100)", true},
        {"gfxmod_d3d9.dll", "9.0c", "3: DirectX 9.0c installed (90003)", false},
        {"gfxmod_d3d8.dll", "8.0", "3: DirectX 8.0 installed (80000)", false},
        {"gfxmod_d3d8.dll", "7.0a", "3: DirectX 7.0a installed (70001)", true},
        {"gfxmod_d3d8.dll", "0", "3: DirectX not installed (0)", true},
        {"gfxmod_d3d8.dll", nullptr, "3: Unknown version of DirectX installed", true},
        {"gfxmod_null.dll", "7.0", nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bind(c.renderer, c.directX), nullptr);
        if (c.logged) {
            EXPECT_TRUE(logged(c.logged)) << c.renderer << " " << c.logged;
        } else {
            EXPECT_FALSE(logged("3: DirectX 7.0 installed (70000)")) << c.renderer;
        }
        EXPECT_EQ(logged("1: DirectX version not supported.\n"), c.refused) << c.renderer << " " << c.directX;
        // A refused renderer is not even looked for (the others are, and are missing here).
        EXPECT_EQ(lookedForLibrary(), !c.refused) << c.renderer;
    }
}
#endif

}  // namespace
}  // namespace vz
