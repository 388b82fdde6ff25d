// VOZER_FIXED_FRAME_MS: frames that advance the Program's clock by a fixed step.
#include "core/frame_clock.h"

#include <atomic>
#include <string>

#include "api/engine_api.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// 0 when `text` is not a plain decimal from 1 to FIXED_FRAME_MS_MAX.
int32_t parseStep(const std::string& text) {
    if (text.empty() || text.size() > 3) return 0;
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= FIXED_FRAME_MS_MAX ? value : 0;
}

}  // namespace

void startFrameClock() {
    RuntimeState& state = rt();
    state.fixedFrameMs = 0;
    state.fixedClockMs = 0;
    const std::string text = platform::environment("VOZER_FIXED_FRAME_MS");
    if (text.empty()) return;
    state.fixedFrameMs = parseStep(text);
    if (state.fixedFrameMs > 0) {
        api()->Log(VZ_INFO, "Every frame advances the clock by %d ms (VOZER_FIXED_FRAME_MS).", state.fixedFrameMs);
    } else {
        api()->Log(VZ_WARNING,
                   "VOZER_FIXED_FRAME_MS='%.32s' is not a whole number of milliseconds from 1 to %d: frames follow "
                   "the wall clock.",
                   text.c_str(), FIXED_FRAME_MS_MAX);
    }
}

int32_t nextFrameDelta(int32_t wallDeltaMs) {
    RuntimeState& state = rt();
    if (state.fixedFrameMs <= 0) return wallDeltaMs;
    state.fixedClockMs.fetch_add(static_cast<uint32_t>(state.fixedFrameMs), std::memory_order_relaxed);
    return state.fixedFrameMs;
}

}  // namespace vz
