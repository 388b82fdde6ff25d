// Raw-input mice: registration, pointer movement with the pointer-speed gain
// curve, and button transitions.
#include "core/raw_input.h"

#include <cmath>

#include "api/engine_api.h"
#include "core/input.h"
#include "platform/platform.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz {

namespace {

// Only the first entries of the system's device list are looked at.
constexpr int DEVICE_SCAN_LIMIT = 10;

struct RawMice {
    bool registered = false;
    void* devices[VZ_MOUSE_MAX_RAW] = {};
    int count = 0;
    float x[VZ_MOUSE_MAX_RAW + 1] = {};  // pointer of mouse n, the Program's coordinates
    float y[VZ_MOUSE_MAX_RAW + 1] = {};
};

RawMice& mice() {
    static RawMice m;
    return m;
}

// Mouse number of a device: 1 + its place in the list, 0 when unknown.
int mouseNumber(void* device) {
    const RawMice& m = mice();
    for (int i = 0; i < m.count; ++i) {
        if (m.devices[i] == device) return i + 1;
    }
    return 0;
}

// Small movements are slowed and large ones sped up around |delta| = 6, then
// scaled by the player's pointer speed (10 = the system default = 1.0).
float acceleratedDelta(int32_t delta, int32_t speed) {
    const float d = static_cast<float>(delta);
    const float k = std::round(std::fabs(d));
    const float gain = k < 6.0f ? 1.0f - (6.0f - k) * (6.0f - k) * 0.005f : 1.0f + (k - 6.0f) * (k - 6.0f) * 0.005f;
    return d * gain * static_cast<float>(speed) * 0.1f;
}

float clampTo(float value, int32_t limit) {
    if (value < 0.0f) return 0.0f;
    const float top = static_cast<float>(limit > 0 ? limit : 0);
    return value > top ? top : value;
}

void moveMouse(int n, const platform::RawMouseRecord& record, const VozerProgramRecord& program) {
    RawMice& m = mice();
    const int32_t width = program.display.width;
    const int32_t height = program.display.height;
    if (record.absolute) {
        // Tablets and remote sessions report where, not how far: 0..65535 over the screen.
        m.x[n] = clampTo(static_cast<float>(record.lastX) / 65535.0f * static_cast<float>(width), width);
        m.y[n] = clampTo(static_cast<float>(record.lastY) / 65535.0f * static_cast<float>(height), height);
    } else {
        const int32_t speed = platform::pointerSpeed();
        m.x[n] = clampTo(m.x[n] + acceleratedDelta(record.lastX, speed), width);
        m.y[n] = clampTo(m.y[n] + acceleratedDelta(record.lastY, speed), height);
    }
    const int32_t x = static_cast<int32_t>(m.x[n]);
    const int32_t y = static_cast<int32_t>(m.y[n]);
    slots::SetAxis(VZ_MOUSE_CODE(n, VZ_MOUSE_X), m.x[n]);
    slots::SetAxis(VZ_MOUSE_CODE(n, VZ_MOUSE_Y), m.y[n]);
    slots::SetKeyState(VZ_MOUSE_CODE(n, VZ_MOUSE_X), static_cast<uint32_t>(x));
    slots::SetKeyState(VZ_MOUSE_CODE(n, VZ_MOUSE_Y), static_cast<uint32_t>(y));
    slots::SetAxis(VZ_MOUSE_CODE(n, VZ_MOUSE_RAW_DX), static_cast<float>(record.lastX));
    slots::SetAxis(VZ_MOUSE_CODE(n, VZ_MOUSE_RAW_DY), static_cast<float>(record.lastY));
    slots::SetKeyState(VZ_MOUSE_CODE(n, VZ_MOUSE_RAW_DX), static_cast<uint32_t>(record.lastX));
    slots::SetKeyState(VZ_MOUSE_CODE(n, VZ_MOUSE_RAW_DY), static_cast<uint32_t>(record.lastY));
    slots::SetKeyState(VZ_MOUSE_CODE(n, VZ_MOUSE_MOVED), VZ_KEY_HELD | VZ_KEY_WENT_DOWN);
    sendMouseEvent(VZ_EVENT_MOUSE_MOVE, n, static_cast<float>(x), static_cast<float>(y), 0);
}

struct Transition {
    uint16_t flag;
    int button;  // 0 left .. 4 fifth
    bool down;
};

// Every press of a record before any release, as the system's flags are read.
constexpr Transition TRANSITIONS[] = {
    {platform::RAW_LEFT_DOWN, 0, true},    {platform::RAW_RIGHT_DOWN, 1, true},
    {platform::RAW_MIDDLE_DOWN, 2, true},  {platform::RAW_BUTTON4_DOWN, 3, true},
    {platform::RAW_BUTTON5_DOWN, 4, true}, {platform::RAW_LEFT_UP, 0, false},
    {platform::RAW_RIGHT_UP, 1, false},    {platform::RAW_MIDDLE_UP, 2, false},
    {platform::RAW_BUTTON4_UP, 3, false},  {platform::RAW_BUTTON5_UP, 4, false},
};

void pressButtons(int n, uint16_t buttons) {
    const RawMice& m = mice();
    const float x = static_cast<float>(static_cast<int32_t>(m.x[n]));
    const float y = static_cast<float>(static_cast<int32_t>(m.y[n]));
    for (const Transition& t : TRANSITIONS) {
        if (!(buttons & t.flag)) continue;
        const int32_t code = VZ_MOUSE_CODE(n, VZ_MOUSE_BUTTON(t.button));
        slots::SetKeyState(code, t.down ? VZ_KEY_HELD | VZ_KEY_WENT_DOWN : 0);
        sendMouseEvent(t.down ? VZ_EVENT_MOUSE_DOWN : VZ_EVENT_MOUSE_UP, n, x, y, code);
    }
}

}  // namespace

bool registerRawMice() {
    RawMice& m = mice();
    if (m.registered) return true;
    m.count = 0;
    if (!platform::rawInputAvailable()) return false;
    m.count = platform::listRawMice(m.devices, VZ_MOUSE_MAX_RAW, DEVICE_SCAN_LIMIT);
    uint32_t error = 0;
    if (!platform::registerRawMouseInput(error)) {
        api()->Log(VZ_WARNING, "RegisterRawInputDevices_f failed: 0x%08lx\n", static_cast<unsigned long>(error));
        m.count = 0;
        return false;
    }
    m.registered = true;
    api()->Log(VZ_SYSTEM, "Raw Input Register device successful: %d mice devices found.\n", m.count);
    return true;
}

bool refreshRawMice() {
    mice().registered = false;
    return registerRawMice();
}

int rawMouseCount() { return mice().count; }

void handleRawInput(void* handle) {
    platform::RawMouseRecord record;
    if (!platform::readRawMouse(handle, record)) return;
    const int n = mouseNumber(record.device);
    const VozerProgramRecord* program = rt().shared.program;
    if (n == 0 || !program) return;
    if (record.absolute || record.lastX != 0 || record.lastY != 0) moveMouse(n, record, *program);
    pressButtons(n, record.buttons);
}

void resetRawMice() { mice() = RawMice{}; }

}  // namespace vz
