// Resolution requests from the Program (engine API slot 22). An accepted
// request is applied between frames; a refused one leaves the screen as it is.
#include "api/engine_api.h"
#include "api/threads.h"
#include "core/resolution.h"
#include "state/runtime_state.h"

namespace vz::slots {

namespace {

// MAIN_LOOP held, or the main thread.
vz_bool requestReinit(VozerDisplayParams params) {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    if (!state.shared.program || !state.renderer) return 0;
    VozerDisplayParams& requested = state.requested;
    requested = params;
    a->Log(VZ_SYSTEM, "Attempting to reinitialize with parameters: %dx%d windowed=%d", params.width, params.height,
           params.windowed ? 1 : 0);
    if (requested.windowed && state.allowAllResolutions) {
        a->Log(VZ_SYSTEM, "Allowing all resolutions.");
        state.reinitRequested = true;
        return 1;
    }
    // A request that finds no entry is refused like one whose entry does not
    // fit: either way `requested` goes back to the mode in use.
    if (ZTI_SelectOptimalResolution(requested.windowed != 0, false)) {
        a->Print("Selected resolution %dx%d", requested.width, requested.height);
        if (isResolutionSupported(requested.width, requested.height, requested.windowed != 0)) {
            state.reinitRequested = true;
            return 1;
        }
        requested.windowed = 1;
        if (ZTI_SelectOptimalResolution(true, false) &&
            isResolutionSupported(requested.width, requested.height, true)) {
            state.reinitRequested = true;
            return 1;
        }
    }
    a->Log(VZ_WARNING, "Requested resolution %dx%d (windowed=%d) not available.", params.width, params.height,
           params.windowed ? 1 : 0);
    requested.width = state.rendererParams.width;
    requested.height = state.rendererParams.height;
    requested.windowed = state.rendererParams.windowed;
    state.reinitRequested = false;
    return 0;
}

}  // namespace

// The request is written under MAIN_LOOP, which the frame holds while it
// reads it: a worker's request waits for the gap between frames (on the main
// thread the frame holds the lock already).
vz_bool Reinitialize(VozerDisplayParams params) {
    LockMainLoop();
    const vz_bool accepted = requestReinit(params);
    UnlockMainLoop();
    return accepted;
}

}  // namespace vz::slots
