#include "core_fixture.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/plugin_binding.h"
#include "state/runtime_state.h"

namespace vz::test {

namespace {

Recorder theRecorder;
VozerProgramRecord program;

std::string format(const char* fmt, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt ? fmt : "(null)", args);
    return text;
}

int32_t VZ_CDECL capturePopup(int32_t level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theRecorder.popups.push_back(std::to_string(level) + ": " + format(fmt, args));
    va_end(args);
    return 0;
}

int32_t VZ_CDECL captureLog(int32_t level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theRecorder.logs.push_back(std::to_string(level) + ": " + format(fmt, args));
    va_end(args);
    return 0;
}

int32_t VZ_CDECL capturePrint(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theRecorder.logs.push_back("0: " + format(fmt, args));
    va_end(args);
    return 0;
}

void note(const std::string& call) { theRecorder.calls.push_back(call); }

vz_bool VZ_CDECL programInit() {
    note("program init");
    return theRecorder.programInitResult ? 1 : 0;
}
void VZ_CDECL programUpdate(float seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "update %.3f", seconds);
    note(text);
}
void VZ_CDECL programRender(float) { note("render"); }
int32_t VZ_CDECL programEvent(VozerEvent event) {
    note("event " + std::to_string(event.type) + " " + std::to_string(event.words[0]));
    return 0;
}

using R = VozerRendImp;
void VZ_THISCALL beginFrame(R*, int32_t pass) { note("begin " + std::to_string(pass)); }
void VZ_THISCALL endFrame(R*) { note("end"); }
int32_t VZ_THISCALL pixelOrder(R*) { return 1; }
void VZ_THISCALL nothing(R*) {}
void VZ_THISCALL setActive(R*, vz_bool active) { note("renderer active " + std::to_string(active)); }
// What the frame's drawing-state reset and screen transform ask of any renderer.
void VZ_THISCALL ignoreMatrix(R*, const float*) {}
void VZ_THISCALL ignoreMode(R*, int32_t) {}
void VZ_THISCALL ignoreDepthRange(R*, float, float, float) {}
vz_bool VZ_THISCALL mainThreadOnly(R*) { return 0; }
vz_bool VZ_THISCALL rendererReinit(R*, int32_t width, int32_t height, vz_bool windowed) {
    note("reinit " + std::to_string(width) + "x" + std::to_string(height) + (windowed ? "w" : "f"));
    return 1;
}
vz_bool VZ_THISCALL rendererInit(R*, VozerEngineApi*, VozerRuntimeShared*, VozerDisplayParams* params) {
    note("init " + std::to_string(params->width) + "x" + std::to_string(params->height) +
         (params->windowed ? "w" : "f"));
    if (theRecorder.rendererInitFailuresLeft > 0) {
        --theRecorder.rendererInitFailuresLeft;
        return 0;
    }
    return params->width == theRecorder.rendererFailWidth ? 0 : 1;
}

VozerRendImpOps rendererOps;
VozerRendImp renderer{&rendererOps};

}  // namespace

Recorder& recorder() { return theRecorder; }
VozerProgramRecord& testProgram() { return program; }

void setUpRuntime() {
    theRecorder = Recorder{};
    createThreadRegistryLock();
    resetRuntimeState();
    clearEngineApi();
    fillEngineApi();
    api()->Popup = capturePopup;
    api()->Log = captureLog;
    api()->Print = capturePrint;
    recordMainThread();
    createEngineMutexes();

    std::memset(&rendererOps, 0, sizeof rendererOps);
    rendererOps.BeginFrame = beginFrame;
    rendererOps.EndFrame = endFrame;
    rendererOps.Init = rendererInit;
    rendererOps.Shutdown = nothing;
    rendererOps.Reinit = rendererReinit;
    rendererOps.SetActive = setActive;
    rendererOps.GetPixelByteOrder = pixelOrder;
    rendererOps.Flush = nothing;
    rendererOps.SetWorldTransform = ignoreMatrix;
    rendererOps.SetBlendMode = ignoreMode;
    rendererOps.SetFilterMode = ignoreMode;
    rendererOps.SetDepthRange = ignoreDepthRange;
    rendererOps.CanUploadFromAnyThread = mainThreadOnly;

    std::memset(&program, 0, sizeof program);
    program.interfaceVersion = VZ_INTERFACE_VERSION;
    program.api = api();
    program.display.width = 800;
    program.display.height = 600;
    program.display.windowed = 1;
    program.display.framePeriodMs = 8;
    program.Init = programInit;
    program.Update = programUpdate;
    program.Render = programRender;
    program.OnEvent = programEvent;

    RuntimeState& state = rt();
    state.shared.program = &program;
    state.renderer = &renderer;
    state.sound = nullSoundImp();
    state.requested = program.display;
    state.rendererParams = program.display;
    state.coreInitialised = true;
    state.rendererReady = true;
}

void tearDownRuntime() {
    destroyEngineMutexes();
    resetRuntimeState();
}

}  // namespace vz::test
