#include "core/window.h"

#include <cstring>
#include <string>

#include "core/input.h"
#include "core/program_binding.h"
#include "state/runtime_state.h"
#include "platform/platform.h"

namespace vz {

namespace {

// Closing asks the Program first: an answer of 2 keeps the window open.
void onCloseRequested() {
    if (sendProgramEvent(VZ_EVENT_CLOSE) == VZ_KEEP_WINDOW_OPEN) return;
    rt().quitRequested = true;
}

void onActivationChanged(bool active) {
    RuntimeState& state = rt();
    state.windowActive = active;
    for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->SetActive(state.inputs[i], active ? 1 : 0);
    if (state.renderer) state.renderer->ops->SetActive(state.renderer, active ? 1 : 0);
    VozerEvent event{};
    event.type = VZ_EVENT_ACTIVATION;
    event.words[0] = active ? 0 : 1;
    queueInputEvent(event);
}

}  // namespace

bool createWindow() {
    RuntimeState& state = rt();
    if (state.hostWindow) return true;
    const VozerProgramRecord* program = state.shared.program;
    const std::string title(program->title, strnlen(program->title, sizeof program->title));
    platform::WindowEvents events;
    events.closeRequested = onCloseRequested;
    events.activationChanged = onActivationChanged;
    state.shared.window = platform::createMainWindow(title.c_str(), state.requested.width,
                                                     state.requested.height, state.requested.windowed != 0,
                                                     events);
    return state.shared.window != nullptr;
}

void destroyWindow() {
    RuntimeState& state = rt();
    if (state.hostWindow || !state.shared.window) return;
    platform::destroyMainWindow(state.shared.window);
    state.shared.window = nullptr;
}

void loadCursors() {}

}  // namespace vz
