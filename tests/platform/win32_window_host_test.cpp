// The window host on Win32 (under Wine in the test build): a real main
// window receives real messages and the Program sees what they mean.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "core/directx_version.h"
#include "core/input.h"
#include "core/window.h"
#include "../core/core_fixture.h"
#include "platform/platform.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz {
namespace {

std::vector<VozerEvent> events;
std::vector<std::string> named;  // the texts of named events, copied during the call
std::vector<VozerDisplayParams> reinitRequests;

int32_t VZ_CDECL programEvent(VozerEvent event) {
    // The system adds moves of its own (the pointer over a new window).
    if (event.type != VZ_EVENT_MOUSE_MOVE) events.push_back(event);
    if (event.type == VZ_EVENT_NAMED) {
        for (int i = 0; i < 3; ++i) named.push_back(static_cast<const char*>(vz_event_pointer_at(&event, i)));
    }
    return 0;
}

vz_bool VZ_CDECL recordReinitialize(VozerDisplayParams params) {
    reinitRequests.push_back(params);
    return 1;
}

class Win32WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        events.clear();
        named.clear();
        reinitRequests.clear();
        clearInputState();
        test::testProgram().OnEvent = programEvent;
        api()->Reinitialize = recordReinitialize;
        open(640, 480, true);
    }
    void TearDown() override {
        destroyWindow();
        platform::pumpMessages();
        test::tearDownRuntime();
    }

    void open(int32_t width, int32_t height, bool windowed) {
        destroyWindow();
        rt().rendererParams.width = width;
        rt().rendererParams.height = height;
        rt().rendererParams.windowed = windowed ? 1 : 0;
        ASSERT_TRUE(createWindow());
        platform::pumpMessages();
        events.clear();
    }
    static HWND window() { return static_cast<HWND>(rt().shared.window); }
    static void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window(), message, wParam, lParam);
        platform::pumpMessages();
    }
    static VozerInputEvent last() { return vz_input_event(events.back()); }
    static bool logged(const std::string& line) {
        for (const std::string& l : test::recorder().logs) {
            if (l == line) return true;
        }
        return false;
    }

    // A drop as the shell makes one: a DROPFILES block in movable memory.
    static HGLOBAL dropOf(const std::string& name, LONG x, LONG y) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + name.size() + 2);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->pt.x = x;
        drop->pt.y = y;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), name.data(), name.size());
        GlobalUnlock(memory);
        return memory;
    }
};

TEST_F(Win32WindowTest, TheWindowFrameFollowsItsSize) {
    open(600, 400, true);
    LONG style = GetWindowLongA(window(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0) << "600x400 is too small to maximise";
    EXPECT_NE(GetWindowLongA(window(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    RECT client, outer;
    GetClientRect(window(), &client);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 400);
    GetWindowRect(window(), &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1) << "centred";
    EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    char className[64] = {};
    GetClassNameA(window(), className, sizeof className);
    EXPECT_STREQ(className, "VozerWindowClass");

    open(800, 600, true);
    EXPECT_NE(GetWindowLongA(window(), GWL_STYLE) & WS_MAXIMIZEBOX, 0);

    // As tall as the screen: no caption, which would push the picture off it.
    open(640, GetSystemMetrics(SM_CYSCREEN), true);
    style = GetWindowLongA(window(), GWL_STYLE);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_NE(style & WS_CAPTION, WS_CAPTION);

    open(640, 480, false);
    GetWindowRect(window(), &outer);
    EXPECT_NE(GetWindowLongA(window(), GWL_STYLE) & WS_POPUP, 0);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right, 640);
    EXPECT_EQ(outer.bottom, 480);
}

// What the port decodes: buttons, captured positions, the wheel, Alt and its
// auto-repeat, maximising, and activation of a minimised window. (Keys,
// clicks, closing and the focus are typed at a real window end to end.)
TEST_F(Win32WindowTest, MessagesAreDecodedForTheRuntime) {
    post(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(120, 45));
    EXPECT_EQ(last().type, VZ_EVENT_MOUSE_DOWN);
    EXPECT_EQ(last().button, VZ_MOUSE_BUTTON_MIDDLE);
    EXPECT_EQ(last().x, 120.0f);
    post(WM_MBUTTONUP, 0, MAKELPARAM(-5, 2));  // released outside while captured
    EXPECT_EQ(last().type, VZ_EVENT_MOUSE_UP);
    EXPECT_EQ(last().x, -5.0f);
    post(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), MAKELPARAM(500, 500));
    EXPECT_EQ(last().type, VZ_EVENT_MOUSE_WHEEL);
    EXPECT_EQ(last().button, -240);
    EXPECT_EQ(last().x, api()->GetAxis(VZ_MOUSE_X)) << "the wheel reports at the pointer's last position";

    const LPARAM altHeld = 1L << 29;
    events.clear();
    post(WM_SYSKEYDOWN, VK_MENU, altHeld | 1);
    EXPECT_EQ(api()->GetKeyState(VK_MENU), 3u);
    post(WM_SYSKEYDOWN, VK_RETURN, altHeld | 1);
    post(WM_SYSKEYDOWN, VK_RETURN, altHeld | (1L << 30) | 1);  // auto-repeat
    post(WM_SYSKEYUP, VK_MENU, 0xC0000001);
    EXPECT_EQ(api()->GetKeyState(VK_MENU), 0u);
    EXPECT_TRUE(events.empty()) << "system keys only set key states";
    post(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1024, 768));
    post(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
    ASSERT_EQ(reinitRequests.size(), 2u) << "one for Alt+Enter, one for maximising";
    EXPECT_EQ(reinitRequests[0].windowed, 0);
    EXPECT_EQ(reinitRequests[1].windowed, 0);
    EXPECT_TRUE(logged("0: Window maximized: size 1024x768..\n"));

    SendMessageA(window(), WM_ACTIVATE, WA_ACTIVE, 0);  // whatever the system's focus did meanwhile
    events.clear();
    SendMessageA(window(), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);  // activated, but minimised
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].words[0] & 0xFF, 1);
}

TEST_F(Win32WindowTest, ADropArrivesWithForwardSlashesAndItsHandleIsReleased) {
    HGLOBAL drop = dropOf("C:\\a\\b.png", 7, 9);
    post(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
    EXPECT_EQ(GlobalSize(drop), 0u) << "the drop was finished";
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(named[0], "FILE_DRAGGED");
    EXPECT_EQ(named[1], "C:/a/b.png");
    EXPECT_EQ(named[2], "7,9");
}

TEST_F(Win32WindowTest, OnlyTheCurrentWindowIsServed) {
    HWND old = window();
    PostMessageA(old, WM_KEYDOWN, 'B', 1);
    destroyWindow();
    EXPECT_TRUE(platform::pumpMessages()) << "a window the runtime destroyed does not end the run";
    ASSERT_TRUE(createWindow());
    EXPECT_TRUE(platform::pumpMessages());
    EXPECT_EQ(api()->GetKeyState('B'), 0u);

    // A window destroyed from outside leaves the run nothing to show on.
    DestroyWindow(window());
    EXPECT_FALSE(platform::pumpMessages());
    rt().shared.window = nullptr;
}

TEST_F(Win32WindowTest, TheChosenCursorComesBackOverTheWindow) {
    api()->SetCursor("NO_SUCH_CURSOR");
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    api()->SetCursor("SIZEALL");
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEALL));
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SendMessageA(window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEALL));
    api()->SetCursor("NULL");
    EXPECT_EQ(GetCursor(), nullptr);
    api()->SetCursor("ARROW");
}

// The default renderer needs DirectX 8.0: the system must be seen to have it
// (the diagnostics provider is not always there; the files always are).
TEST(Win32Platform, DirectXIsFoundInTheSystemFiles) {
    platform::DirectXVersion version;
    ASSERT_TRUE(platform::directXVersionFromFiles(version));
    EXPECT_GE(encodeDirectXVersion(version), 0x80000);
}

}  // namespace
}  // namespace vz
#endif
