#include "core/frame.h"

#include <cstdio>

#include "core/input.h"
#include "api/engine_api.h"
#include "api/threads.h"
#include "core/plugin_binding.h"
#include "core/program_binding.h"
#include "core/program_entries.h"
#include "core/resolution.h"
#include "state/runtime_state.h"
#include "core/shutdown.h"
#include "core/startup.h"
#include "core/window.h"
#include "diag/console.h"
#include "diag/dev_overlays.h"
#include "diag/popup.h"
#include "ext/extensions.h"
#include "font/font_pool.h"
#include "resources/resource_queue.h"

namespace vz {

namespace {

constexpr int32_t LONG_FRAME_MS = 200;
constexpr int32_t LONG_FRAME_REPLACEMENT_MS = 30;
constexpr float FPS_WINDOW_SECONDS = 1.5f;

void resetDrawingState() {
    VozerEngineApi* a = api();
    a->SetAlpha(1.0f);
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetBlendMode(0);
    a->SetTextScale(1.0f, 1.0f, 0.0f);
}

void advanceOrientation(float seconds) {
    RuntimeState& state = rt();
    if (state.targetOrientation == state.currentOrientation) return;
    state.rotationTimer += seconds;
    if (state.rotationTimer >= state.rotationDuration) {
        state.rotationTimer = 0.0f;
        state.currentOrientation = state.targetOrientation;
    }
}

// The frame-rate counter of the information overlay. With two stereo passes
// every frame counts twice.
void drawInformationOverlay(float seconds) {
    RuntimeState& state = rt();
    ++state.fpsFrames;
    state.fpsSeconds += static_cast<float>(static_cast<int32_t>(seconds * 1000.0f)) * 0.001f;
    if (state.fpsSeconds > FPS_WINDOW_SECONDS) {
        state.fps = static_cast<float>(state.fpsFrames) / state.fpsSeconds;
        state.fpsFrames = 0;
        state.fpsSeconds = 0.0f;
    }
    if (state.showFps) {
        VozerEngineApi* a = api();
        if (VozerFont* font = font::firstFontSlot()) {
            char text[32];
            std::snprintf(text, sizeof text, "%.0f", state.fps);
            const float width = a->GetTextWidth(font, "%s", text);
            const float height = a->GetTextHeight(font, "%s", text);
            a->SetColor(0.0f, 0.0f, 0.0f);
            a->SetAlpha(0.8f);
            a->FillRect(1.0f, 1.0f, width + 2.0f, height + 2.0f);
            a->SetColor(1.0f, 1.0f, 1.0f);
            a->SetAlpha(1.0f);
            a->SetTextAlign(0);
            a->SetTextScale(1.0f, 1.0f, 0.0f);
            a->DrawText(font, 2.0f, 2.0f, "%s", text);
        }
    }
}

void drawPasses(float seconds) {
    RuntimeState& state = rt();
    VozerRendImp* renderer = state.renderer;
    const int passes = state.renderStereo ? 2 : 1;
    for (int i = 0; i < passes; ++i) {
        const int32_t pass = state.renderStereo ? i + 1 : 0;
        state.currentPass = pass;
        renderer->ops->BeginFrame(renderer, pass);
        resetDrawingState();
        advanceRotationAngle();
        float screen[16];
        buildScreenTransform(screen);
        api()->PushTransform(screen);
        callProgramRender(seconds);
        resetDrawingState();
        ext::drawAdPlaceholders();
        drawLetterbox();
        api()->PopTransform();
        drawInformationOverlay(seconds);
        diag::drawDeveloperOverlays(seconds);
    }
}

// Sounds switched on again by a mode request: start the sound library anew.
void reinitialiseSound() {
    RuntimeState& state = rt();
    state.rendererParams.soundsDisabled = state.shared.program->display.soundsDisabled;
    if (state.sound) state.sound->ops->Shutdown(state.sound);
    unbindSound();
    startSoundImplementation();
    reloadSounds();
}

void applyRequestedReinit() {
    RuntimeState& state = rt();
    state.reinitRequested = false;
    normaliseDisplayParams(state.requested);
    normaliseDisplayParams(state.rendererParams);
    if (state.rendererParams.soundsDisabled && !state.requested.soundsDisabled) {
        reinitialiseSound();
        state.shared.program->display.soundsDisabled = state.requested.soundsDisabled;
    }
    if (state.hostWindow) return;
    const VozerDisplayParams& from = state.rendererParams;
    const VozerDisplayParams& to = state.requested;
    if (from.width == to.width && from.height == to.height && from.windowed == to.windowed) return;
    api()->Log(VZ_SYSTEM, "Applying ReInit: %dx%d (%s) -> %dx%d (%s)", from.width, from.height,
               from.windowed ? "w" : "fs", to.width, to.height, to.windowed ? "w" : "fs");
    reinitialise();
}

}  // namespace

int32_t clampFrameDelta(int32_t deltaMs) {
    if (deltaMs > LONG_FRAME_MS) return LONG_FRAME_REPLACEMENT_MS;
    if (deltaMs < 0) {
        if (rt().boot.developerMode)
            api()->Log(VZ_WARNING, "********************* Found negative time delta in ZTI_Frame: %d", deltaMs);
        return 1;
    }
    return deltaMs;
}

void runFrame(int32_t deltaMs) {
    RuntimeState& state = rt();
    if (!state.coreInitialised) return;
    lockEngineMutex(MUTEX_MAIN_LOOP);
    deliverQueuedInputEvents();
    const int32_t delta = clampFrameDelta(deltaMs);

    VozerProgramRecord* program = state.shared.program;
    if (state.renderer && state.rendererReady && program) {
        const float seconds = static_cast<float>(delta) * 0.001f;
        for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->BeginFrame(state.inputs[i]);
        state.sound->ops->FrameBegin(state.sound);
        advanceOrientation(seconds);
        if (delta > 0) callProgramUpdate(seconds);
        diag::UpdateConsole(seconds);
        drawPasses(seconds);
        state.sound->ops->FrameEnd(state.sound);
        state.renderer->ops->EndFrame(state.renderer);
        for (int i = 0; i < state.inputCount; ++i) state.inputs[i]->ops->EndFrame(state.inputs[i]);
    }

    // The gap in which a worker's LockMainLoop gets through.
    unlockEngineMutex(MUTEX_MAIN_LOOP);
    lockEngineMutex(MUTEX_MAIN_LOOP);

    if (state.reinitRequested) {
        applyRequestedReinit();
    } else if (state.coreInitialised && state.rendererReady) {
        serviceResourceQueues();
    }
    updateAutoscaling();
    diag::showQueuedPopups();
    if (state.transformDepth >= 0) {
        api()->Popup(VZ_WARNING,
                     "Transform stack is not empty at frame end: there are %d more zt->PushTransform "
                     "calls than zt->PopTransform calls.",
                     state.transformDepth + 1);
    }
    unlockEngineMutex(MUTEX_MAIN_LOOP);
}

void reinitialise() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    sendProgramEvent(VZ_EVENT_REINIT, 0);

    // The pools before GFX_HW: the order every thread takes them in.
    lockEngineMutex(MUTEX_GET_BITMAP);
    lockEngineMutex(MUTEX_GET_SOUND);
    lockEngineMutex(MUTEX_GFX_HW);
    const bool inPlace = state.renderer->ops->Reinit(state.renderer, state.requested.width,
                                                     state.requested.height, state.requested.windowed) != 0;
    if (inPlace) {
        state.rendererParams = state.requested;
        program->display.width = state.requested.width;
        program->display.height = state.requested.height;
        program->display.windowed = state.requested.windowed;
    }
    unlockEngineMutex(MUTEX_GFX_HW);
    unlockEngineMutex(MUTEX_GET_SOUND);
    unlockEngineMutex(MUTEX_GET_BITMAP);

    if (!inPlace) {
        shutdownRenderer();
        lockEngineMutex(MUTEX_GFX_HW);
        destroyWindow();
        state.rendererParams = state.requested;
        program->display.width = state.requested.width;
        program->display.height = state.requested.height;
        program->display.windowed = state.requested.windowed;
        if (!createWindow()) {
            // The run ends here: the player is told whether or not developer mode is on.
            diag::showPopup(VZ_ERROR, "Reinitialization failed. Please restart the application.");
            state.quitRequested = true;
            unlockEngineMutex(MUTEX_GFX_HW);
            return;
        }
        unlockEngineMutex(MUTEX_GFX_HW);
        initialiseRenderer();
    }
    setupAutoscaling();
    updateAutoscaling();
    clearInputState();
    sendProgramEvent(VZ_EVENT_REINIT, 1);
    const int32_t size = (program->display.width & 0xFFFF) | (program->display.height << 16);
    sendProgramEvent(VZ_EVENT_RESIZED, size);
}

namespace slots {

void Quit() {
    RuntimeState& state = rt();
    state.quitRequested = true;
    // Workers waiting in HttpRequest read it to stop early.
    if (state.shared.program) __atomic_store_n(&state.shared.program->display.quitting, 1, __ATOMIC_RELAXED);
}

}  // namespace slots
}  // namespace vz
