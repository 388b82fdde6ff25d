#include "core/program_binding.h"

#include <cstring>

#include "api/engine_api.h"
#include "core/program_entries.h"
#include "state/runtime_state.h"
#include "diag/popup.h"
#include "platform/platform.h"

namespace vz {

namespace {
// Storage the Program fills through the newer export.
VozerProgramRecord programStorage;
VozerProgramRecord fallbackStorage;

constexpr char PROGRAM_NOT_CREATED[] =
    "Program library file bad: Program couldn't be created. Please download and install the application again.";

// A Program library that gave no record is unloaded again.
VozerProgramRecord* refuseProgram(const char* text) {
    RuntimeState& state = rt();
    diag::showPopup(VZ_ERROR, text);
    platform::freeLibrary(state.programLibrary);
    state.programLibrary = nullptr;
    return nullptr;
}

}  // namespace

VozerProgramRecord* bindProgram() {
    RuntimeState& state = rt();
    state.programLibrary = platform::loadLibrary("prog.dll");
    if (!state.programLibrary) {
        diag::showPopup(VZ_INFO,
                        "Could not locate Program library file. Please download and install the "
                        "application again.");
        platform::exitProcess(1);
    }
    std::memset(&programStorage, 0, sizeof programStorage);

    auto getProgramInterface = reinterpret_cast<VozerGetProgramInterfaceFn>(
        platform::findSymbol(state.programLibrary, VZ_PROGRAM_EXPORT_NEW));
    if (getProgramInterface) {
        if (getProgramInterface(&programStorage, VZ_INTERFACE_VERSION)) return &programStorage;
        return refuseProgram(PROGRAM_NOT_CREATED);
    }

    auto getInterface = reinterpret_cast<VozerGetInterfaceFn>(
        platform::findSymbol(state.programLibrary, VZ_PROGRAM_EXPORT_OLD));
    if (!getInterface) {
        return refuseProgram(
            "Program library file bad: Interface not found. Please download and install the application again.");
    }
    VozerProgramRecord* record = getInterface();
    return record ? record : refuseProgram(PROGRAM_NOT_CREATED);
}

void unbindProgram(bool unload) {
    RuntimeState& state = rt();
    if (api()->Log) api()->Log(VZ_SYSTEM, "Unloading ProgImp Library.\n");
    if (state.programLibrary && unload) platform::freeLibrary(state.programLibrary);
    state.programLibrary = nullptr;
    state.shared.program = nullptr;
}

VozerProgramRecord* fallbackProgram() {
    std::memset(&fallbackStorage, 0, sizeof fallbackStorage);
    fallbackStorage.interfaceVersion = VZ_INTERFACE_VERSION;
    fallbackStorage.display.windowed = 1;
    fallbackStorage.display.singleInstance = 1;
    return &fallbackStorage;
}

int32_t sendProgramEvent(const VozerEvent& event) { return callProgramOnEvent(event); }

int32_t sendProgramEvent(int32_t type, int32_t word1, int32_t word2) {
    VozerEvent event{};
    event.type = type;
    event.words[0] = word1;
    event.words[1] = word2;
    return sendProgramEvent(event);
}

}  // namespace vz
