// The engine clock and the local date for the Program.
#include "api/engine_api.h"
#include "state/runtime_state.h"
#include "platform/platform.h"

namespace vz::slots {

void Sleep(uint32_t milliseconds) { platform::sleepMs(milliseconds); }

// Unsigned subtraction: wraps together with the multimedia timer. Under
// VOZER_FIXED_FRAME_MS the clock is the frames' (so is the upload queue's
// time budget: what a frame uploads no longer depends on the machine's speed).
uint32_t GetTime() {
    const RuntimeState& state = rt();
    if (state.fixedFrameMs > 0) return state.fixedClockMs.load(std::memory_order_relaxed);
    return platform::timeMs() - state.startTimeMs;
}

void GetDateTime(int32_t* out6) {
    if (!out6) return;
    platform::localDateTime(out6);
}

}  // namespace vz::slots
