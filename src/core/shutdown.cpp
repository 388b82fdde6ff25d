#include "core/shutdown.h"

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "api/threads.h"
#include "core/plugin_binding.h"
#include "core/program_binding.h"
#include "core/program_entries.h"
#include "core/window.h"
#include "diag/console.h"
#include "diag/log.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "resources/resource_queue.h"
#include "resources/usage_report.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// The Program's Shutdown runs once and only after its Init succeeded. A fault
// inside it must not cost the leak report, the plug-ins' own shutdowns and the
// end of the log, so the runtime goes on without it. False when it faulted.
bool shutDownProgram() {
    RuntimeState& state = rt();
    const bool initialised = state.programInitialised;
    state.programInitialised = false;
    return !initialised || callProgramShutdown();
}

// A Program that quits while drawing into a bitmap leaves the renderer on it;
// the bitmap must not be released (or the renderer stopped) under a bound target.
void returnToScreen() {
    if (currentRenderTarget()) api()->SetRenderTarget(nullptr);
    for (VozerBitmap*& entry : rt().renderTargets) entry = nullptr;
}

// A bound renderer that is not ready (its device lost, a restart that failed
// halfway) is not asked for single releases, so records freed for good would
// take their textures' handles with them. At exit every texture goes back
// first; the records then hold none.
void returnTexturesOfAnUnreadyRenderer() {
    RuntimeState& state = rt();
    if (!state.renderer || state.rendererReady) return;
    releaseAllTextures();
}

}  // namespace

void shutdownRenderer() {
    RuntimeState& state = rt();
    api()->Log(VZ_SYSTEM, "Vozer RendImp Shutdown.");
    if (!state.renderer) return;
    releaseAllTextures();
    // Pool before GFX_HW, the order every thread keeps.
    EngineLock pool(MUTEX_GET_BITMAP);
    EngineLock gfx(MUTEX_GFX_HW);
    state.renderer->ops->Shutdown(state.renderer);
    state.rendererReady = false;
}

bool shutdown() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    if (!a->Log) return true;
    state.shuttingDown = true;
    a->Log(VZ_SYSTEM, "VOZER Shutdown.");
    a->Quit();

    // Workers get three seconds to see the quit request. One still running
    // after that may be executing the Program's code or calling the engine,
    // so the Program library and the engine's locks then stay in place until
    // the process ends instead of being pulled from under it.
    const bool workersLeft = !waitForThreads();

    // After a fault the Program's own code is not run again, not even the
    // unload's destructors: the process end takes its library away.
    const bool programSound = shutDownProgram();
    removeUsageReportHooks();
    returnToScreen();
    returnTexturesOfAnUnreadyRenderer();

    releaseLeakedResources(LeakedKind::Bitmaps);
    a->Log(VZ_INFO, "Releasing Input Implementations.");
    for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->Shutdown(state.inputs[i]);
    a->Log(VZ_INFO, "Releasing sounds.");
    releaseLeakedResources(LeakedKind::Sounds);
    diag::shutdownConsole();
    a->Log(VZ_INFO, "Releasing fonts.");
    releaseLeakedResources(LeakedKind::Fonts);

    a->Log(VZ_INFO, "Releasing Sound Implementation.");
    if (state.sound) state.sound->ops->Shutdown(state.sound);
    unbindSound();

    shutdownRenderer();
    // Uploads queued by workers are of records released above; releases
    // queued for a renderer that is gone have nobody left to serve them.
    clearResourceQueues();
    unbindRenderer();
    destroyWindow();

    state.inputCount = 0;
    if (!state.fatalExit) unbindProgram(!workersLeft && programSound);

    a->Print("Closing File Openers...");
    fs::shutdownFiles();
    diag::closeLogFile();
    if (!workersLeft) destroyEngineMutexes();
    return programSound;
}

}  // namespace vz
