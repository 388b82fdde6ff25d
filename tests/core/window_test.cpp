// The window procedure's rows and the input posting behind them, driven
// through the headless window host as the Windows host drives them: messages
// are posted to the main window and pumped to the runtime's handler, and the
// Program sees the events.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "core/input.h"
#include "core/resolution.h"
#include "core/window.h"
#include "core_fixture.h"
#include "platform/posix/headless.h"
#include "state/runtime_state.h"
#include "vozer_inputimp.h"
#include "vozer_keys.h"

namespace vz {
namespace {

using platform::WindowMessage;
using platform::WindowMessageKind;

std::vector<VozerEvent> events;
int32_t eventAnswer = 0;
std::vector<std::string> notes;  // the input library's calls
std::vector<VozerDisplayParams> reinitRequests;

int32_t VZ_CDECL programEvent(VozerEvent event) {
    events.push_back(event);
    return event.type == VZ_EVENT_CLOSE ? eventAnswer : 0;
}

vz_bool VZ_CDECL recordReinitialize(VozerDisplayParams params) {
    reinitRequests.push_back(params);
    return 1;
}

void VZ_THISCALL inputSetActive(VozerInputImp*, vz_bool active) { notes.push_back("input " + std::to_string(active)); }

VozerInputImpOps inputOps;
VozerInputImp input{&inputOps};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        events.clear();
        notes.clear();
        reinitRequests.clear();
        eventAnswer = 0;
        test::testProgram().OnEvent = programEvent;
        api()->Reinitialize = recordReinitialize;
        inputOps = VozerInputImpOps{};
        inputOps.SetActive = inputSetActive;
        rt().inputs[0] = &input;
        rt().inputCount = 1;
        clearInputState();
        ASSERT_TRUE(createWindow());
        // The runtime starts inactive; the new window's focus is its first activation.
        EXPECT_FALSE(rt().windowActive);
        platform::pumpMessages();
        EXPECT_TRUE(rt().windowActive);
        startEvents = events;
        events.clear();
        notes.clear();
    }
    void TearDown() override {
        destroyWindow();
        setInputQueuing(false);
        setInputFilter(nullptr);
        test::tearDownRuntime();
    }

    // Post and pump one message; the handler's answer (true: handled).
    bool send(WindowMessageKind kind, int32_t key = 0, int32_t x = 0, int32_t y = 0) {
        WindowMessage message;
        message.kind = kind;
        message.key = key;
        message.x = x;
        message.y = y;
        return send(message);
    }
    bool send(const WindowMessage& message, const std::string& text = std::string()) {
        platform::headless::postMessage(message, text);
        platform::pumpMessages();
        return platform::headless::lastAnswer();
    }
    static VozerInputEvent last() { return vz_input_event(events.back()); }
    std::vector<VozerEvent> startEvents;
};

TEST_F(WindowTest, KeysAndButtonsReachTheProgramWithTheirStates) {
    EXPECT_TRUE(send(WindowMessageKind::KeyDown, 'A'));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(last().type, VZ_EVENT_KEY_DOWN);
    EXPECT_EQ(last().code, 65);
    EXPECT_EQ(api()->GetKeyState(65), 3u);
    EXPECT_EQ(api()->GetKeyState(65), 2u);
    send(WindowMessageKind::Character, 'a');
    EXPECT_EQ(last().type, VZ_EVENT_CHAR);
    send(WindowMessageKind::KeyUp, 'A');
    EXPECT_EQ(last().type, VZ_EVENT_KEY_UP);
    EXPECT_EQ(api()->GetKeyState(65), 0u);

    EXPECT_TRUE(send(WindowMessageKind::ButtonDown, 0, 120, 45));
    EXPECT_EQ(last().type, VZ_EVENT_MOUSE_DOWN);
    EXPECT_EQ(last().button, VZ_MOUSE_BUTTON_LEFT);
    EXPECT_EQ(last().mouse, 0);
    EXPECT_EQ(last().x, 120.0f);
    EXPECT_EQ(last().y, 45.0f);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_BUTTON_LEFT), 3u);
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_CODE(0, VZ_MOUSE_X)), 120.0f);
    send(WindowMessageKind::ButtonUp, 2, -5, 2);  // captured: outside the window
    EXPECT_EQ(last().type, VZ_EVENT_MOUSE_UP);
    EXPECT_EQ(last().button, VZ_MOUSE_BUTTON_MIDDLE);
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_X), -5.0f);

    // The wheel reports at the last pointer position and adds up.
    WindowMessage wheel;
    wheel.kind = WindowMessageKind::Wheel;
    wheel.wheelDelta = -120;
    send(wheel);
    send(wheel);
    EXPECT_EQ(last().button, -120);
    EXPECT_EQ(last().y, 2.0f);
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_WHEEL), -240.0f);

    // Values from 800 on are read without change; codes off the table are ignored.
    api()->SetKeyState(VZ_ACCELEROMETER_X, 7);
    EXPECT_EQ(api()->GetKeyState(VZ_ACCELEROMETER_X), 7u);
    EXPECT_EQ(api()->GetKeyState(VZ_ACCELEROMETER_X), 7u);
    for (int32_t code : {-1, -100000, VZ_KEY_TABLE_SIZE, 1 << 30}) {
        api()->SetKeyState(code, 3);
        api()->SetAxis(code, 1.5f);
        EXPECT_EQ(api()->GetKeyState(code), 0u) << code;
        EXPECT_EQ(api()->GetAxis(code), 0.0f) << code;
    }
    postKeyEvent(VZ_EVENT_KEY_DOWN, VZ_KEY_TABLE_SIZE + 5);  // sent on, stored nowhere
    EXPECT_EQ(last().code, VZ_KEY_TABLE_SIZE + 5);
}

// An 800x600 game autoscaled onto a 1200x800 window: pointer positions reach
// the Program in its own coordinates, whether the picture keeps its aspect
// ratio (bars left and right) or is stretched to fill the window.
TEST_F(WindowTest, AutoscaledPointerPositionsAreInTheProgramsCoordinates) {
    VozerDisplayParams& display = test::testProgram().display;
    auto autoscale = [&](const char* features) {
        display.referenceWidth = 800;
        display.referenceHeight = 600;
        display.width = 1200;
        display.height = 800;
        rt().displayInfo.deviceWidth = 1200;
        rt().displayInfo.deviceHeight = 800;
        rt().displayInfo.nativeOrientation = 4;
        rt().boot.autoscale = true;
        rt().boot.featureLists = {features, ""};
        setupAutoscaling();
        ASSERT_EQ(display.width, 800);
    };
    auto clickAt = [&](int32_t x, int32_t y) {
        send(WindowMessageKind::ButtonDown, 0, x, y);
        send(WindowMessageKind::ButtonUp, 0, x, y);
        return std::make_pair(last().x, last().y);
    };
    using Point = std::pair<float, float>;
    auto near = [](Point got, Point want) {
        return std::fabs(got.first - want.first) < 0.01f && std::fabs(got.second - want.second) < 0.01f;
    };

    autoscale("AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO");  // scale 4/3, the picture from x = 66.7 to 1133.3
    EXPECT_PRED2(near, clickAt(600, 400), Point(400.0f, 300.0f));
    EXPECT_PRED2(near, clickAt(1200 - 66, 800), Point(800.0f + 0.5f, 600.0f)) << "just past the right edge";
    EXPECT_PRED2(near, clickAt(10, 0), Point(-42.5f, 0.0f)) << "a click on a bar lies outside the game";
    EXPECT_NEAR(api()->GetAxis(VZ_MOUSE_X), -42.5f, 0.01f);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_Y), 0u);
    send(WindowMessageKind::MouseMove, 0, 1000, 700);
    EXPECT_NEAR(api()->GetAxis(VZ_MOUSE_CODE(0, VZ_MOUSE_X)), 700.0f, 0.01f);
    EXPECT_NEAR(api()->GetAxis(VZ_MOUSE_Y), 525.0f, 0.01f);
    WindowMessage wheel;
    wheel.kind = WindowMessageKind::Wheel;
    wheel.wheelDelta = 120;
    send(wheel);
    EXPECT_PRED2(near, Point(last().x, last().y), Point(700.0f, 525.0f)) << "the wheel reports where the pointer is";

    autoscale("AUTOSCALE");  // stretched: 1.5 across, 4/3 down
    EXPECT_PRED2(near, clickAt(0, 0), Point(0.0f, 0.0f));
    EXPECT_PRED2(near, clickAt(600, 400), Point(400.0f, 300.0f));
    EXPECT_PRED2(near, clickAt(1200, 800), Point(800.0f, 600.0f));
}

TEST_F(WindowTest, CloseAsksTheProgramWhichMayKeepTheWindow) {
    eventAnswer = VZ_KEEP_WINDOW_OPEN;
    EXPECT_TRUE(send(WindowMessageKind::Close));
    EXPECT_EQ(last().type, VZ_EVENT_CLOSE);
    EXPECT_FALSE(rt().quitRequested);
    eventAnswer = 0;
    send(WindowMessageKind::Close);
    EXPECT_TRUE(rt().quitRequested);
    EXPECT_NE(rt().shared.window, nullptr) << "shutdown destroys the window, not the close";
}

TEST_F(WindowTest, LosingTheFocusTellsEveryoneAndReleasesHeldKeys) {
    ASSERT_EQ(startEvents.size(), 1u);
    EXPECT_EQ(startEvents[0].type, VZ_EVENT_ACTIVATION);
    EXPECT_EQ(startEvents[0].words[0] & 0xFF, 0) << "gained";
    send(WindowMessageKind::KeyDown, VZ_KEY_SHIFT);
    send(WindowMessageKind::ButtonDown, 1, 5, 5);
    events.clear();

    WindowMessage activation;
    activation.kind = WindowMessageKind::Activation;
    activation.active = false;
    EXPECT_FALSE(send(activation)) << "activation also gets the system's default processing";
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, VZ_EVENT_ACTIVATION);
    EXPECT_EQ(events[0].words[0] & 0xFF, 1);
    EXPECT_EQ(test::recorder().calls.back(), "renderer active 0");
    EXPECT_EQ(notes, (std::vector<std::string>{"input 0"}));
    EXPECT_FALSE(rt().windowActive);
    EXPECT_EQ(api()->GetKeyState(VZ_KEY_SHIFT), 0u);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_BUTTON_RIGHT), 0u);

    send(activation);  // no change, no news
    EXPECT_EQ(events.size(), 1u);

    activation.active = true;
    send(activation);
    EXPECT_EQ(events.back().words[0] & 0xFF, 0);
    EXPECT_EQ(notes.back(), "input 1");

    // While quitting the Program hears nothing more, the others still do.
    rt().quitRequested = true;
    activation.active = false;
    send(activation);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(notes.back(), "input 0");
}

// (Alt, Alt+Enter, its auto-repeat and maximising go through a real window
// in tests/platform; here what is left: the way back and the system's keys.)
TEST_F(WindowTest, AltEnterInFullScreenGoesBackToAWindow) {
    test::testProgram().display.windowed = 0;
    WindowMessage key;
    key.kind = WindowMessageKind::SystemKeyDown;
    key.key = VZ_KEY_RETURN;
    key.altHeld = true;
    EXPECT_TRUE(send(key));
    ASSERT_EQ(reinitRequests.size(), 1u);
    EXPECT_EQ(reinitRequests[0].windowed, 1);
    EXPECT_EQ(reinitRequests[0].width, 800);
    key.key = 115;  // Alt+F4 is the system's: it closes the window
    EXPECT_FALSE(send(key));
    key.kind = WindowMessageKind::SystemKeyUp;
    key.key = VZ_KEY_ALT;
    EXPECT_TRUE(send(key)) << "releasing Alt alone would open the system menu";
}

TEST_F(WindowTest, ADroppedFileNameTooLongForItsBufferIsRefused) {
    WindowMessage drop;
    drop.kind = WindowMessageKind::FilesDropped;
    send(drop, "C:\\" + std::string(600, 'x') + ".png");
    EXPECT_TRUE(events.empty()) << "a cut name would name another file";
    EXPECT_EQ(test::recorder().logs.back(),
              "1: Dropped file name is too long (607 characters); the drop is ignored.");
    send(drop, "C:\\" + std::string(508, 'y'));
    ASSERT_EQ(events.size(), 1u) << "511 characters fit";
    EXPECT_EQ(static_cast<const char*>(vz_event_pointer_at(&events[0], 1)), "C:/" + std::string(508, 'y'));
}

TEST_F(WindowTest, AHostWindowIsServedButNeverCreatedOrDestroyed) {
    destroyWindow();
    int hostWindow = 0;
    rt().hostWindow = true;
    rt().shared.window = &hostWindow;
    ASSERT_TRUE(createWindow());
    EXPECT_EQ(test::recorder().logs.back(), "0: Window already created.\n");
    EXPECT_TRUE(platform::headless::servesHostWindow());
    EXPECT_FALSE(send(WindowMessageKind::Maximised, 0, 800, 600)) << "the host does its own";
    EXPECT_TRUE(reinitRequests.empty());
    destroyWindow();
    EXPECT_EQ(rt().shared.window, nullptr);
    rt().hostWindow = false;
}

TEST_F(WindowTest, QueuedEventsWaitForTheFrameAndTheConsoleComesFirst) {
    setInputQueuing(true);
    send(WindowMessageKind::KeyDown, 'Q');
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(api()->GetKeyState('Q'), 3u) << "the state is stored when the key goes down";
    send(WindowMessageKind::Close);
    EXPECT_EQ(events.size(), 1u) << "a close request is never queued: its answer counts";
    deliverQueuedInputEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, VZ_EVENT_KEY_DOWN);
    setInputQueuing(false);

    // The console claims what it wants before the Program sees it.
    setInputFilter([](const VozerEvent& event) { return vz_input_event(event).code == 0xA7; });
    send(WindowMessageKind::KeyDown, 0xA7);
    send(WindowMessageKind::KeyDown, 'W');
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(last().code, 'W');
}

TEST_F(WindowTest, CursorsByNameWithTheArrowForUnknownNames) {
    loadCursors();
    using platform::headless::shownCursor;
    api()->SetCursor("FINGER_POINT");
    EXPECT_EQ(shownCursor(), platform::programCursor(104));
    api()->SetCursor("SIZEALL");
    EXPECT_EQ(shownCursor(), platform::systemCursor(platform::SystemCursor::SizeAll));
    api()->SetCursor("sizeall");  // names are exact
    EXPECT_EQ(shownCursor(), platform::systemCursor(platform::SystemCursor::Arrow));
    EXPECT_EQ(selectedCursorName(), "ARROW");
    api()->SetCursor(nullptr);
    EXPECT_EQ(shownCursor(), nullptr);
    api()->SetCursor("HELP");
    api()->SetCursor("NULL");
    EXPECT_EQ(shownCursor(), nullptr);

    rt().hideCursor = true;  // the HIDE_CURSOR feature
    api()->SetCursor("CROSS");
    EXPECT_EQ(shownCursor(), nullptr);
    EXPECT_EQ(selectedCursorName(), "NULL");
    rt().hideCursor = false;
}

}  // namespace
}  // namespace vz
#endif
