#include "core/shutdown.h"

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/plugin_binding.h"
#include "core/program_binding.h"
#include "state/runtime_state.h"
#include "core/window.h"
#include "diag/console.h"
#include "diag/log.h"
#include "fs/paths.h"
#include "resources/resource_queue.h"

namespace vz {

void shutdownRenderer() {
    RuntimeState& state = rt();
    api()->Log(VZ_SYSTEM, "Vozer RendImp Shutdown.");
    if (!state.renderer) return;
    lockEngineMutex(MUTEX_GFX_HW);
    lockEngineMutex(MUTEX_GET_BITMAP);
    releaseAllTextures();
    state.renderer->ops->Shutdown(state.renderer);
    state.rendererReady = false;
    unlockEngineMutex(MUTEX_GET_BITMAP);
    unlockEngineMutex(MUTEX_GFX_HW);
}

void shutdown() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    if (!a->Log) return;
    a->Log(VZ_SYSTEM, "VOZER Shutdown.");
    a->Quit();

    // Workers get three seconds to see the quit request. One still running
    // after that may be executing the Program's code or calling the engine,
    // so the Program library and the engine's locks then stay in place until
    // the process ends instead of being pulled from under it.
    const bool workersLeft = !waitForThreads();

    VozerProgramRecord* program = state.shared.program;
    if (state.programInitialised && program && program->Shutdown) program->Shutdown();
    state.programInitialised = false;

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
    unbindRenderer();
    destroyWindow();

    state.inputCount = 0;
    if (!state.fatalExit) unbindProgram(!workersLeft);

    a->Print("Closing File Openers...");
    fs::shutdownFiles();
    diag::closeLogFile();
    if (!workersLeft) destroyEngineMutexes();
}

}  // namespace vz
