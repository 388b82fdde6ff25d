// Posting input events: the key tables are written first, then the event goes
// to the console and the Program, now or (queued) at the next frame.
#include "core/input.h"

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/program_binding.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz {

namespace {

struct InputState {
    InputFilter filter = nullptr;
    std::atomic<bool> queuing{false};
    std::vector<VozerEvent> queue;  // guarded by RESOURCE_QUEUE
    float pointerX = 0.0f, pointerY = 0.0f;  // system pointer, window pixels
};

InputState& input() {
    static InputState s;
    return s;
}

// Window pixels to the Program's coordinates. They are the same until
// autoscaling shows the Program's reference size scaled onto the screen; the
// resolution code owns that mapping and its inverse is applied here.
void windowToProgram(float& x, float& y) {
    (void)x;
    (void)y;
}

VozerEvent mouseEvent(int32_t kind, int32_t mouse, float x, float y, int32_t button) {
    VozerInputEvent in{};
    in.type = kind;
    in.mouse = static_cast<uint8_t>(mouse);
    in.x = x;
    in.y = y;
    in.button = static_cast<int16_t>(button);
    VozerEvent event{};
    static_assert(sizeof event == sizeof in, "an input event is an event");
    std::memcpy(&event, &in, sizeof event);
    return event;
}

void postInputEvent(const VozerEvent& event) {
    if (input().queuing.load() || !isMainThread()) {
        EngineLock lock(MUTEX_RESOURCE_QUEUE);
        input().queue.push_back(event);
        return;
    }
    dispatchInputEvent(event);
}

}  // namespace

int32_t dispatchInputEvent(const VozerEvent& event) {
    if (InputFilter filter = input().filter) {
        if (filter(event)) return 0;
    }
    return sendProgramEvent(event);
}

void setInputFilter(InputFilter filter) { input().filter = filter; }

void setInputQueuing(bool on) { input().queuing = on; }

void deliverQueuedInputEvents() {
    std::vector<VozerEvent> events;
    {
        EngineLock lock(MUTEX_RESOURCE_QUEUE);
        events.swap(input().queue);
    }
    for (const VozerEvent& event : events) dispatchInputEvent(event);
}

void postKeyEvent(int32_t kind, int32_t code) {
    if ((kind == VZ_EVENT_KEY_DOWN || kind == VZ_EVENT_KEY_UP) && code > 0 && code < VZ_KEY_TABLE_SIZE)
        slots::SetKeyState(code, kind == VZ_EVENT_KEY_DOWN ? VZ_KEY_HELD | VZ_KEY_WENT_DOWN : 0);
    VozerEvent event{};
    event.type = kind;
    event.words[0] = code;
    postInputEvent(event);
}

void postCharEvent(int32_t character) {
    VozerEvent event{};
    event.type = VZ_EVENT_CHAR;
    event.words[0] = character;
    postInputEvent(event);
}

void postMouseEvent(int32_t kind, int32_t mouse, float x, float y, int32_t button) {
    if (mouse < 0 || mouse > VZ_MOUSE_MAX_RAW) return;
    if (mouse == 0) {
        input().pointerX = x;
        input().pointerY = y;
    }
    windowToProgram(x, y);
    auto store = [x, y](int32_t xCode, int32_t yCode) {
        slots::SetAxis(xCode, x);
        slots::SetAxis(yCode, y);
        slots::SetKeyState(xCode, static_cast<uint32_t>(static_cast<int32_t>(x)));
        slots::SetKeyState(yCode, static_cast<uint32_t>(static_cast<int32_t>(y)));
    };
    store(VZ_MOUSE_CODE(mouse, VZ_MOUSE_X), VZ_MOUSE_CODE(mouse, VZ_MOUSE_Y));
    if (mouse == 0) store(VZ_MOUSE_X, VZ_MOUSE_Y);
    postInputEvent(mouseEvent(kind, mouse, x, y, button));
}

void sendMouseEvent(int32_t kind, int32_t mouse, float x, float y, int32_t button) {
    postInputEvent(mouseEvent(kind, mouse, x, y, button));
}

void postActivationEvent(bool active) {
    if (rt().quitRequested) return;
    VozerEvent event{};
    event.type = VZ_EVENT_ACTIVATION;
    event.words[0] = active ? 0 : 1;
    dispatchInputEvent(event);
}

void lastPointerPosition(float& x, float& y) {
    x = input().pointerX;
    y = input().pointerY;
}

void clearInputState() {
    {
        EngineLock lock(MUTEX_RESOURCE_QUEUE);
        input().queue.clear();
    }
    clearKeyState();
}

}  // namespace vz
