// What the benchmark programs share: a runtime record and engine table as at
// start-up with the message slots silenced. (Comparisons with references are
// declared with compare.h.)
#pragma once

#include <benchmark/benchmark.h>


#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"

namespace vz::bench {

inline int32_t quietPrint(const char*, ...) { return 0; }
inline int32_t quietLevel(int32_t, const char*, ...) { return 0; }

// A runtime record and engine table as at start-up, with Print, Log and Popup
// going nowhere (measured code still formats nothing it would not format).
inline void startQuietEngine() {
    resetRuntimeState();
    fillEngineApi();
    recordMainThread();
    createEngineMutexes();
    api()->Print = &quietPrint;
    api()->Log = &quietLevel;
    api()->Popup = &quietLevel;
}

}  // namespace vz::bench
