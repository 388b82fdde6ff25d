// Raw-input mice through the headless window host: registration, the
// pointer-speed gain curve, clamping, button transitions and mouse blocks.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <vector>

#include "api/engine_api.h"
#include "core/input.h"
#include "core/raw_input.h"
#include "core/window.h"
#include "core_fixture.h"
#include "platform/posix/headless.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz {
namespace {

using platform::RawMouseRecord;

std::vector<VozerInputEvent> events;

int32_t VZ_CDECL programEvent(VozerEvent event) {
    events.push_back(vz_input_event(event));
    return 0;
}

int mouseA, keyboard, mouseB, stranger;

class RawInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::setUpRuntime();
        events.clear();
        clearInputState();
        resetRawMice();
        test::testProgram().OnEvent = programEvent;
        test::testProgram().display.multimouse = 1;
        platform::headless::setRawDevices({{&mouseA, true}, {&keyboard, false}, {&mouseB, true}});
        platform::headless::setPointerSpeed(10);
        platform::headless::failRawRegistration(0);
        ASSERT_TRUE(createWindow());
        platform::pumpMessages();  // the new window's activation
        events.clear();
        rt().multimouseActive = registerRawMice();
    }
    void TearDown() override {
        destroyWindow();
        resetRawMice();
        test::tearDownRuntime();
    }

    static void send(RawMouseRecord record) {
        platform::WindowMessage message;
        message.kind = platform::WindowMessageKind::RawInput;
        message.handle = &record;
        platform::headless::postMessage(message);
        platform::pumpMessages();
    }
    static RawMouseRecord move(void* device, int32_t dx, int32_t dy) {
        RawMouseRecord record;
        record.device = device;
        record.lastX = dx;
        record.lastY = dy;
        return record;
    }
    static RawMouseRecord buttons(void* device, uint16_t flags) {
        RawMouseRecord record;
        record.device = device;
        record.buttons = flags;
        return record;
    }
};

TEST_F(RawInputTest, AClickOnTheSecondMouseIsMouseTwo) {
    ASSERT_TRUE(rt().multimouseActive);
    EXPECT_EQ(rawMouseCount(), 2);
    EXPECT_EQ(test::recorder().logs.back(), "3: Raw Input Register device successful: 2 mice devices found.\n");

    send(buttons(&mouseB, platform::RAW_LEFT_DOWN));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, VZ_EVENT_MOUSE_DOWN);
    EXPECT_EQ(events[0].mouse, 2);
    EXPECT_EQ(events[0].button, 570);
    EXPECT_EQ(api()->GetKeyState(570), 3u);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_BUTTON_LEFT), 0u) << "the system pointer's button is another";

    // Presses before releases, in the system's order of buttons.
    send(buttons(&mouseB, platform::RAW_LEFT_UP | platform::RAW_BUTTON5_DOWN | platform::RAW_RIGHT_DOWN));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1].button, VZ_MOUSE_CODE(2, VZ_MOUSE_BUTTON_RIGHT));
    EXPECT_EQ(events[2].button, VZ_MOUSE_CODE(2, VZ_MOUSE_BUTTON(4)));
    EXPECT_EQ(events[3].type, VZ_EVENT_MOUSE_UP);
    EXPECT_EQ(events[3].button, 570);
    EXPECT_EQ(api()->GetKeyState(570), 0u);

    send(buttons(&stranger, platform::RAW_LEFT_DOWN));  // not among the registered mice
    send(buttons(&keyboard, platform::RAW_LEFT_DOWN));
    EXPECT_EQ(events.size(), 4u);
    send(buttons(nullptr, platform::RAW_LEFT_DOWN));
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(RawInputTest, MovementFollowsThePointerSpeedGainAndStaysOnScreen) {
    // |d| = 10: gain 1 + 4 x 4 x 0.005 = 1.08; |d| = 2: gain 1 - 4 x 4 x 0.005 = 0.92; speed 10 is x1.
    send(move(&mouseA, 10, 2));
    EXPECT_FLOAT_EQ(api()->GetAxis(VZ_MOUSE_CODE(1, VZ_MOUSE_X)), 10.8f);
    EXPECT_FLOAT_EQ(api()->GetAxis(VZ_MOUSE_CODE(1, VZ_MOUSE_Y)), 1.84f);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, VZ_EVENT_MOUSE_MOVE);
    EXPECT_EQ(events[0].mouse, 1);
    EXPECT_EQ(events[0].x, 10.0f) << "events carry the whole-pixel position";
    EXPECT_EQ(events[0].y, 1.0f);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_CODE(1, VZ_MOUSE_RAW_DX)), 10u);
    EXPECT_EQ(api()->GetKeyState(VZ_MOUSE_CODE(1, VZ_MOUSE_MOVED)), 3u);
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_X), 0.0f) << "the system pointer has not moved";

    // Speed 20 doubles; |d| = 6 has gain 1.
    platform::headless::setPointerSpeed(20);
    send(move(&mouseA, 6, 0));
    EXPECT_FLOAT_EQ(api()->GetAxis(VZ_MOUSE_CODE(1, VZ_MOUSE_X)), 22.8f);

    // Clamped to the Program's screen (800x600).
    send(move(&mouseB, 100000, -100000));
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_CODE(2, VZ_MOUSE_X)), 800.0f);
    EXPECT_EQ(api()->GetAxis(VZ_MOUSE_CODE(2, VZ_MOUSE_Y)), 0.0f);

    // Tablets report where, not how far.
    RawMouseRecord tablet = move(&mouseB, 65535 / 4, 65535);
    tablet.absolute = true;
    send(tablet);
    EXPECT_NEAR(api()->GetAxis(VZ_MOUSE_CODE(2, VZ_MOUSE_X)), 200.0f, 0.01f);
    EXPECT_NEAR(api()->GetAxis(VZ_MOUSE_CODE(2, VZ_MOUSE_Y)), 600.0f, 0.01f);

    // A button record without movement moves nothing.
    const size_t before = events.size();
    send(buttons(&mouseB, 0));
    EXPECT_EQ(events.size(), before);
}

TEST_F(RawInputTest, WithoutMultimouseRawMessagesAreIgnored) {
    test::testProgram().display.multimouse = 0;
    send(buttons(&mouseA, platform::RAW_LEFT_DOWN));
    EXPECT_TRUE(events.empty());
}

TEST_F(RawInputTest, RegistrationLooksAtTheFirstTenDevicesAndReportsFailures) {
    int devices[12];
    std::vector<platform::headless::RawDevice> list;
    for (int i = 0; i < 12; ++i) list.push_back({&devices[i], i >= 9});  // mice at entries 10, 11 and 12
    platform::headless::setRawDevices(list);
    EXPECT_TRUE(registerRawMice()) << "already registered";
    EXPECT_EQ(rawMouseCount(), 2);
    EXPECT_TRUE(refreshRawMice());
    EXPECT_EQ(rawMouseCount(), 1);

    platform::headless::failRawRegistration(5);
    EXPECT_FALSE(refreshRawMice());
    EXPECT_EQ(rawMouseCount(), 0);
    EXPECT_EQ(test::recorder().logs.back(), "1: RegisterRawInputDevices_f failed: 0x00000005\n");
}

}  // namespace
}  // namespace vz
#endif
