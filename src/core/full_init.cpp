// Full initialisation, renderer start-up and the main loop.
#include <cstring>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/boot_config.h"
#include "core/directx_version.h"
#include "core/frame.h"
#include "core/frame_clock.h"
#include "core/plugin_binding.h"
#include "core/program_binding.h"
#include "core/program_entries.h"
#include "core/raw_input.h"
#include "core/resolution.h"
#include "state/runtime_state.h"
#include "core/shutdown.h"
#include "core/startup.h"
#include "core/window.h"
#include "diag/popup.h"
#include "ext/extensions.h"
#include "platform/platform.h"
#include "resources/resource_queue.h"

namespace vz {

namespace {

bool sameMode(const VozerDisplayParams& a, const VozerDisplayParams& b) {
    return a.width == b.width && a.height == b.height && a.windowed == b.windowed;
}

bool callRendererInit() {
    RuntimeState& state = rt();
    return state.renderer->ops->Init(state.renderer, api(), &state.shared, &state.rendererParams) != 0;
}

void startSound() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    VozerProgramRecord* program = state.shared.program;
    if (program->display.soundsDisabled) {
        a->Log(VZ_SYSTEM, "Sounds disabled. Null Sound Implementation in use.");
        state.sound = nullSoundImp();
        return;
    }
    startSoundImplementation();
}

}  // namespace

bool initialiseRenderer() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    for (;;) {
        if (!state.renderer) {
            a->Print("Renderer doesn't exist, can't continue with init.");
            return false;
        }
        if (state.rendererReady) {
            a->Print("Renderer in ready state, shutting it down before new init.");
            shutdownRenderer();
        }
        const VozerDisplayParams previous = state.rendererParams;
        state.rendererParams.width = state.requested.width;
        state.rendererParams.height = state.requested.height;
        state.rendererParams.windowed = state.requested.windowed;
        state.rendererReady = false;
        a->Log(VZ_SYSTEM, "Initializing RendImp.");
        normaliseDisplayParams(state.rendererParams);
        a->Log(VZ_SYSTEM, "Initializing RendImp: %dx%d %s..", state.rendererParams.width,
               state.rendererParams.height, state.rendererParams.windowed ? "windowed" : "fullscreen");

        lockEngineMutex(MUTEX_GFX_HW);
        bool started = callRendererInit();
        if (started) {
            state.rendererFailures = 0;
        } else {
            ++state.rendererFailures;
            if (state.rendererFailures > 2 || sameMode(state.rendererParams, previous)) {
                unlockEngineMutex(MUTEX_GFX_HW);
                a->Popup(VZ_ERROR,
                         "Unable to initialize the renderer.\n\nPlease try updating your display adapter "
                         "drivers and rebooting.");
                return false;
            }
            state.rendererParams = previous;
            a->Log(VZ_SYSTEM, "Rolling back parms..");
            started = callRendererInit();
            if (!started) {
                unlockEngineMutex(MUTEX_GFX_HW);
                continue;  // try the requested mode again, up to the failure limit
            }
        }
        unlockEngineMutex(MUTEX_GFX_HW);
        state.shared.program->display.rendererInitialised = 1;
        restoreResources();
        state.rendererReady = true;
        return true;
    }
}

bool fullInitialise() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    VozerProgramRecord* program = state.shared.program;
    a->Log(VZ_SYSTEM, "Endianness: %d.", 1234);
    setupAutoscaling();
    state.renderTargets.clear();
    state.renderTargets.push_back(nullptr);

    if (!createWindow()) {
        a->Popup(VZ_ERROR, "Unable to create window. Please try rebooting your system.");
        return false;
    }
    if (!initialiseRenderer()) {
        a->Log(VZ_ERROR,
               "Unable to initialize the renderer ('%s'). Tried all listed renderers but was unable to "
               "initialize any.",
               rendererLibraryName());
        char text[640];
        std::snprintf(text, sizeof text,
                      "Unable to initialize the graphics (%dx%d %s). Please try restarting the "
                      "application.\nIf that doesn't help, consider updating your display adapter driver "
                      "software.\nFor more information on how to do this, please see your hardware "
                      "\nmanufacturer's support page.",
                      state.requested.width, state.requested.height,
                      state.requested.windowed ? "windowed" : "fullscreen");
        diag::showPopup(VZ_ERROR, text);
        destroyWindow();
        return false;
    }

    for (const std::string& name : state.inputNames) {
        if (state.inputCount >= MAX_INPUTS) break;
        bindInput(name.c_str());
    }
    for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->Init(state.inputs[i], &state.shared);

    startSound();

    program->display.developerMode = state.boot.developerMode ? 1 : 0;
    program->display.locale = state.boot.locale.c_str();
    state.hibernateUnreferenced = program->display.hibernateUnreferenced != 0;

    a->Print("Initializing Program '%.*s'..", static_cast<int>(sizeof program->title), program->title);
    if (!callProgramInit()) {
        a->Popup(VZ_ERROR, "Program initialization failed.");
    } else {
        state.programInitialised = true;
    }
    state.showFps = hasFeature("SHOW_FPS");
    state.renderStereo = hasFeature("RENDER_STEREO");
    state.coreInitialised = true;
    return true;
}

namespace {

void reportFailedInitialisation() {
    // No window is left to own the box.
    platform::messageBox(nullptr, "Core initialization failed.", "VOZER", platform::BoxIcon::Exclamation,
                         platform::BoxButtons::Ok);
}

// The renderer's DirectX turned out too old after the first frames: the run
// ends as one whose binding was refused at start.
int refuseRenderer() {
    shutdown();
    reportFailedInitialisation();
    return 1;
}

}  // namespace

int mainLoop() {
    RuntimeState& state = rt();
    startFrameClock();
    if (!fullInitialise()) {
        reportFailedInitialisation();
        return 1;
    }
    loadCursors();
    ext::serviceHooks().registerRawMice = refreshRawMice;
    if (state.shared.program->display.multimouse) state.multimouseActive = registerRawMice();

    const int32_t exitAfterFrames = std::atoi(platform::environment("VOZER_EXIT_AFTER_FRAMES").c_str());
    int32_t framesRun = 0;
    uint32_t lastFrame = platform::timeMs();
    while (!state.quitRequested) {
        if (!platform::pumpMessages()) state.quitRequested = true;
        const int32_t period = state.shared.program->display.framePeriodMs;
        uint32_t now = platform::timeMs();
        while (static_cast<int32_t>(now - lastFrame) < period) {
            if (static_cast<int32_t>(now - lastFrame) < period - 2) platform::sleepMs(1);
            now = platform::timeMs();
        }
        const int32_t delta = nextFrameDelta(static_cast<int32_t>(now - lastFrame));
        lastFrame = now;
        runFrame(delta);
        if (directXRefusedLate(false)) return refuseRenderer();
        if (exitAfterFrames > 0 && ++framesRun >= exitAfterFrames) api()->Quit();
        if (!state.windowActive) platform::sleepMs(15);
    }
    if (directXRefusedLate(true)) return refuseRenderer();
    return shutdown() ? 0 : PROGRAM_CRASH_EXIT_CODE;
}

}  // namespace vz
