// The engine clock and the local date for the Program.
#include "api/engine_api.h"
#include "state/runtime_state.h"
#include "platform/platform.h"

namespace vz::slots {

void Sleep(uint32_t milliseconds) { platform::sleepMs(milliseconds); }

// Unsigned subtraction: wraps together with the multimedia timer.
uint32_t GetTime() { return platform::timeMs() - rt().startTimeMs; }

void GetDateTime(int32_t* out6) {
    if (!out6) return;
    platform::localDateTime(out6);
}

}  // namespace vz::slots
