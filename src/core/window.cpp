// The main window: creation with the frame its size calls for, and the runtime's side
// of the window procedure (close, maximise, activation, keys, mouse, dropped
// files, raw input). The port decodes the system's messages (platform.h).
#include "core/window.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "core/input.h"
#include "core/raw_input.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz {

namespace {

using platform::WindowMessage;
using platform::WindowMessageKind;

// The file name of a drop is handed on in a buffer of this size.
constexpr size_t DROPPED_NAME_CAPACITY = 512;
// Windowed sizes below both of these get no maximise box.
constexpr int32_t SMALL_WINDOW_WIDTH = 640;
constexpr int32_t SMALL_WINDOW_HEIGHT = 480;
// Keys released when the window loses the focus.
constexpr int32_t KEYBOARD_KEYS = 256;

// A new window mode from the Program's current parameters; the resolution
// code decides and applies it between frames.
void requestWindowed(bool windowed) {
    VozerProgramRecord* program = rt().shared.program;
    if (!program || !api()->Reinitialize) return;
    VozerDisplayParams params = program->display;
    params.windowed = windowed ? 1 : 0;
    api()->Reinitialize(params);
}

// Closing asks the Program first: an answer of 2 keeps the window open. The
// window itself stays until shutdown destroys it.
void onClose() {
    VozerEvent event{};
    event.type = VZ_EVENT_CLOSE;
    if (dispatchInputEvent(event) == VZ_KEEP_WINDOW_OPEN) return;
    rt().quitRequested = true;
}

void onFileDropped(const WindowMessage& message) {
    if (!message.text) return;
    const size_t length = std::strlen(message.text);
    if (length >= DROPPED_NAME_CAPACITY) {
        // A cut name would name another file; the Program gets none.
        if (api()->Log)
            api()->Log(VZ_WARNING, "Dropped file name is too long (%d characters); the drop is ignored.",
                       static_cast<int>(length));
        return;
    }
    char name[DROPPED_NAME_CAPACITY];
    std::memcpy(name, message.text, length + 1);
    char point[32];
    std::snprintf(point, sizeof point, "%d,%d", message.x, message.y);
    if (api()->Print) api()->Print("Dropped file '%s'", name);
    for (char* c = name; *c; ++c) {
        if (*c == '\\') *c = '/';
    }
    VozerEvent event{};
    event.type = VZ_EVENT_NAMED;
    vz_set_event_pointer_at(&event, 0, VZ_EVENT_NAME_FILE_DRAGGED);
    vz_set_event_pointer_at(&event, 1, name);
    vz_set_event_pointer_at(&event, 2, point);
    dispatchInputEvent(event);
}

void onButton(const WindowMessage& message, bool down) {
    if (message.key < 0 || message.key > 2) return;
    const int32_t code = VZ_MOUSE_BUTTON(message.key);
    postMouseEvent(down ? VZ_EVENT_MOUSE_DOWN : VZ_EVENT_MOUSE_UP, 0, static_cast<float>(message.x),
                   static_cast<float>(message.y), code);
    const uint32_t state = down ? VZ_KEY_HELD | VZ_KEY_WENT_DOWN : 0;
    slots::SetKeyState(code, state);
    slots::SetKeyState(VZ_MOUSE_CODE(0, code), state);
}

void onWheel(const WindowMessage& message) {
    float x = 0.0f, y = 0.0f;
    lastPointerPosition(x, y);
    postMouseEvent(VZ_EVENT_MOUSE_WHEEL, 0, x, y, message.wheelDelta);
    const float total = slots::GetAxis(VZ_MOUSE_WHEEL) + static_cast<float>(message.wheelDelta);
    slots::SetAxis(VZ_MOUSE_WHEEL, total);
    slots::SetAxis(VZ_MOUSE_CODE(0, VZ_MOUSE_WHEEL), total);
}

// System keys are those pressed with Alt (and F10). Alt alone would open the
// system menu and stop the game; Alt+Enter toggles full screen.
bool onSystemKey(const WindowMessage& message, bool down) {
    slots::SetKeyState(message.key, down ? VZ_KEY_HELD | VZ_KEY_WENT_DOWN : 0);
    if (message.key == VZ_KEY_ALT) return true;
    if (down && message.key == VZ_KEY_RETURN && message.altHeld) {
        // A held Enter repeats: toggle once per press.
        const VozerProgramRecord* program = rt().shared.program;
        if (!message.repeat && program) requestWindowed(program->display.windowed == 0);
        return true;
    }
    return false;
}

}  // namespace

bool handleWindowMessage(const WindowMessage& message) {
    RuntimeState& state = rt();
    switch (message.kind) {
    case WindowMessageKind::Close:
        onClose();
        return true;
    case WindowMessageKind::Maximised:
        if (state.hostWindow) return false;
        if (api()->Print) api()->Print("Window maximized: size %dx%d..\n", message.x, message.y);
        requestWindowed(false);  // maximising switches to full screen at the Program's size
        return true;
    case WindowMessageKind::Activation:
        if (api()->Log) setWindowActive(message.active);
        return false;
    case WindowMessageKind::KeyDown:
    case WindowMessageKind::KeyUp:
        postKeyEvent(message.kind == WindowMessageKind::KeyDown ? VZ_EVENT_KEY_DOWN : VZ_EVENT_KEY_UP, message.key);
        return true;
    case WindowMessageKind::SystemKeyDown:
    case WindowMessageKind::SystemKeyUp:
        return onSystemKey(message, message.kind == WindowMessageKind::SystemKeyDown);
    case WindowMessageKind::Character:
        postCharEvent(message.key);
        return true;
    case WindowMessageKind::MouseMove:
        postMouseEvent(VZ_EVENT_MOUSE_MOVE, 0, static_cast<float>(message.x), static_cast<float>(message.y), 0);
        return true;
    case WindowMessageKind::ButtonDown:
    case WindowMessageKind::ButtonUp:
        onButton(message, message.kind == WindowMessageKind::ButtonDown);
        return true;
    case WindowMessageKind::Wheel:
        onWheel(message);
        return true;
    case WindowMessageKind::FilesDropped:
        onFileDropped(message);
        return false;
    case WindowMessageKind::RawInput: {
        const VozerProgramRecord* program = state.shared.program;
        if (program && program->display.multimouse && state.multimouseActive) handleRawInput(message.handle);
        return false;
    }
    }
    return false;
}

void setWindowActive(bool active) {
    RuntimeState& state = rt();
    if (state.windowActive == active) return;
    state.windowActive = active;
    postActivationEvent(active);
    if (state.renderer && state.rendererReady) state.renderer->ops->SetActive(state.renderer, active ? 1 : 0);
    for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->SetActive(state.inputs[i], active ? 1 : 0);
    for (int32_t key = 0; key < KEYBOARD_KEYS; ++key) slots::SetKeyState(key, 0);
    // A button held while the focus went elsewhere is released there too.
    for (int32_t button = 0; button < 3; ++button) {
        slots::SetKeyState(VZ_MOUSE_BUTTON(button), 0);
        slots::SetKeyState(VZ_MOUSE_CODE(0, VZ_MOUSE_BUTTON(button)), 0);
    }
}

bool createWindow() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    platform::setWindowMessageHandler(handleWindowMessage);
    if (state.shared.window) {
        if (state.hostWindow) platform::useHostWindow(state.shared.window);
        a->Print("Window already created.\n");
        return true;
    }
    const VozerProgramRecord* program = state.shared.program;
    const std::string title =
        program ? std::string(program->title, strnlen(program->title, sizeof program->title)) : std::string();
    const int32_t width = state.rendererParams.width;
    const int32_t height = state.rendererParams.height;
    const bool windowed = state.rendererParams.windowed != 0;

    int32_t screenWidth = 0, screenHeight = 0;
    platform::desktopSize(screenWidth, screenHeight);
    platform::WindowRequest request;
    request.title = title.c_str();
    request.width = width;
    request.height = height;
    request.frame = !windowed ? platform::WindowFrame::FullScreen
                    : screenHeight <= height
                        ? platform::WindowFrame::Popup
                        : platform::WindowFrame::Caption;
    request.maximiseBox = !(width < SMALL_WINDOW_WIDTH && height < SMALL_WINDOW_HEIGHT);
    request.acceptDroppedFiles = state.boot.developerMode;
    state.shared.window = platform::createMainWindow(request);
    if (!state.shared.window) {
        a->Print("! Vozer FAILED to Create Window.\n");
        return false;
    }
    a->Print("= Vozer Created Window (%dx%d).\n", width, height);
    loadCursors();
    return true;
}

void destroyWindow() {
    RuntimeState& state = rt();
    void* window = state.shared.window;
    if (!window) return;
    state.shared.window = nullptr;
    if (state.hostWindow) return;
    api()->Print("Vozer Destroying Window.\n");
    platform::destroyMainWindow(window);
}

}  // namespace vz
