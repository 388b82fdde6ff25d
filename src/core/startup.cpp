// Process entry and pre-initialisation.
#include "core/startup.h"

#include <cstdio>
#include <cstring>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/boot_config.h"
#include "core/plugin_binding.h"
#include "core/program_binding.h"
#include "core/resolution.h"
#include "state/runtime_state.h"
#include "diag/console.h"
#include "diag/log.h"
#include "diag/popup.h"
#include "fs/paths.h"
#include "image/image_loader.h"
#include "platform/platform.h"
#include "resources/usage_report.h"

namespace vz {

namespace {

constexpr size_t PATH_NAME_CAPACITY = 32;  // the user-data folder names are cut to fit

// The single-instance check: a second start of a single-instance Program
// brings the first one's window to the front and ends.
void checkSingleInstance() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    if (!program || state.hostWindow || !program->display.singleInstance) return;
    char id[sizeof program->id + 1] = {};
    std::memcpy(id, program->id, sizeof program->id);
    if (!platform::namedMutexExists(id)) {
        platform::createNamedMutex(id);
        return;
    }
    char title[sizeof program->title + 1] = {};
    std::memcpy(title, program->title, sizeof program->title);
    if (!platform::activateWindowWithTitle(title)) return;  // first instance has no window yet
    if (!state.fatalExit) unbindProgram();
    platform::exitProcess(0);
}

// An event word holding a pointer. Only 32-bit builds have room for one; the
// 64-bit builds (development host, Windows test build) send 0, and their
// Programs reach the same things through their own record.
int32_t pointerWord(const void* pointer) {
#if VZ_LAYOUT_IS_I686
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(pointer));
#else
    (void)pointer;
    return 0;
#endif
}

// Let the Program adjust its display parameters before the mode is chosen.
void checkParametersWithProgram() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    state.rendererParams = program->display;
    state.requested = program->display;
    api()->Print("Checking parameters with the program before video init.");
    if (program->OnEvent) {
        VozerEvent event{};
        event.type = VZ_EVENT_CHECK_PARAMS;
        event.words[0] = pointerWord(api());
        event.words[1] = pointerWord(&program->display);
        sendProgramEvent(event);
        state.requested = program->display;
    }
    chooseResolution(state.requested.windowed != 0, state.boot.forceVariant);
    state.rendererParams = state.requested;
    program->display.width = state.requested.width;
    program->display.height = state.requested.height;
    program->display.windowed = state.requested.windowed;
}

// The runtime-state reset: the table first, then the record with its defaults.
void resetState(const std::string& commandLine) {
    clearEngineApi();
    fillEngineApi();
    resetRuntimeState();
    RuntimeState& state = rt();
    state.shared.api = api();
    state.shared.displayInfo = &state.displayInfo;
    // The renderer writes the back-buffer size into the device size pair.
    state.shared.screenSize = &state.displayInfo.deviceWidth;
    state.shared.currentBlendMode = -1;
    state.shared.currentFilterMode = -1;
    state.commandLine = commandLine;
    state.rendererParams.commandLine = state.commandLine.c_str();
}

}  // namespace

std::string titlePathNameOf(const char* title) {
    std::string name;
    for (const char* c = title; *c && name.size() < PATH_NAME_CAPACITY - 1; ++c) {
        const char ch = *c;
        const bool keep = ch == '-' || (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') ||
                          (ch >= 'A' && ch <= 'Z');
        name += keep ? ch : '_';
    }
    return name;
}

void checkProgramIdentity() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    // The record's texts need not be terminated; copy each within its field.
    auto field = [](const char* text, size_t size) { return std::string(text, strnlen(text, size)); };
    const std::string developer = field(program->developerName, sizeof program->developerName);
    const std::string title = field(program->title, sizeof program->title);

    state.developerPathName = developer.substr(0, PATH_NAME_CAPACITY - 1);
    state.titlePathName = titlePathNameOf(title.c_str());
    if (state.developerPathName.empty()) state.developerPathName = "Korvid";
    if (state.titlePathName.empty()) state.titlePathName = "unknown";

    VozerEngineApi* a = api();
    if (title.empty()) a->Popup(VZ_WARNING, "Program doesn't have parm title set: set value prog->title");
    if (field(program->id, sizeof program->id).empty())
        a->Popup(VZ_WARNING, "Program doesn't have parm id set: set value prog->id");
    if (field(program->version, sizeof program->version).empty())
        a->Popup(VZ_WARNING, "Program doesn't have parm version: set value prog->version to e.g. \"1.0.0\"");
    if (developer.empty())
        a->Popup(VZ_WARNING, "Program doesn't have parm developer: set value prog->developer_name");
}

void normaliseDisplayParams(VozerDisplayParams& params) {
    if (!params.windowed && (params.width < 640 || params.height < 480)) params.windowed = 1;
    if (rt().boot.forceVariant) params.windowed = 1;
    params.windowed = params.windowed ? 1 : 0;
}

bool preInitialise(void* hostWindow) {
    createThreadRegistryLock();
    const std::string commandLine = rt().commandLine;  // the reset below clears the record
    resetState(commandLine);
    RuntimeState& state = rt();
    if (hostWindow) {
        state.hostWindow = true;
        state.shared.window = hostWindow;
    }
    recordMainThread();
    createEngineMutexes();
    fs::initPathRoots();

    VozerEngineApi* a = api();
    VozerProgramRecord* program = bindProgram();
    if (!program) return false;
    if (program->interfaceVersion != VZ_INTERFACE_VERSION) {
        const unsigned found = program->interfaceVersion;
        platform::freeLibrary(state.programLibrary);
        state.programLibrary = nullptr;
        state.shared.program = fallbackProgram();
        state.fatalExit = true;
        char text[512];
        std::snprintf(text, sizeof text,
                      "Program library uses incompatible VOZER interface (%.4d instead of %.4d). This "
                      "program cannot run.\n\nUpdate your headers in <this app>/src/include from "
                      "VOZER/src/include and rebuild your binaries.",
                      static_cast<int>(found), VZ_INTERFACE_VERSION);
        diag::showPopup(VZ_ERROR, text);
        platform::exitProcess(0);
    }
    state.shared.program = program;
    program->api = a;
    program->display.commandLine = state.commandLine.c_str();
    program->display.framePeriodMs = 8;
    state.requested = program->display;

    readBootConfiguration();
    checkProgramIdentity();
    fs::rebuildUserPaths();

    state.displayInfo = VozerDisplayInfo{};
    platform::desktopSize(state.displayInfo.desktopWidth, state.displayInfo.desktopHeight);

    diag::startLogFile();
    diag::startConsole();
    a->Log(VZ_SYSTEM, "Logging Verbose Level set to %d.", state.boot.verboseLevel);
    // The configuration was read before the log existed; say what it chose.
    if (!state.boot.variantId.empty()) a->Log(VZ_SYSTEM, "Build variant '%s'.", state.boot.variantId.c_str());

    checkSingleInstance();
    bindRendererIfUnbound();
    checkParametersWithProgram();
    openResourcePackages();
    applyOrientationAndDeviceSize();

    a->AddSearchPath(a->GetPath(VZ_PATH_RESOURCE, ""), 1);
    a->AddSearchPath(a->GetPath(VZ_PATH_USER, ""), 1);

    state.printReferenceCountChanges = hasFeature("PRINT_REFERENCE_COUNT_CHANGES");
    state.hideCursor = hasFeature("HIDE_CURSOR");
    a->Log(VZ_SYSTEM, "ZT Core PreInitialized.");

    if (!image::startImageLoader()) {
        a->Log(VZ_ERROR, "VOZER Image Loader unable to initialize.");
        return false;
    }
    installUsageReportHooks();
    return true;
}

int runProcess(const char* commandLine) {
    platform::setTimerResolution1ms();
    rt().commandLine = commandLine ? commandLine : "";
    if (!preInitialise(nullptr)) {
        diag::showPopup(VZ_ERROR,
                        "Failed to initialize the application. You can try the following: 1) Reboot "
                        "your system, 2) Update your drivers, 3) Restart the application.\n\nSee "
                        "generated log for details.");
        return 0;
    }
    return mainLoop();
}

}  // namespace vz
