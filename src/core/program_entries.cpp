#include "core/program_entries.h"

#include <cstdio>
#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "diag/popup.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// Run `body` under the fault guard; false (with `fault` filled) when it faulted.
// Other threads never run Program entries, and the guard is the main thread's.
template <typename Body>
bool guarded(Body& body, platform::Fault& fault) {
    if (!isMainThread()) {
        body();
        return true;
    }
    auto trampoline = [](void* argument) { (*static_cast<Body*>(argument))(); };
    return platform::callSurvivingFaults(trampoline, &body, &fault);
}

// The log line and the box. The box waits on this thread whatever the
// configuration says about popups: the run ends right after it, and a box on
// a thread of its own would go with the process before anyone saw it.
void reportCrash(const std::string& entry, const platform::Fault& fault, const char* consequence) {
    const std::string where = platform::describeCodeAddress(fault.address);
    if (auto log = api()->Log)
        log(VZ_ERROR, "Program crashed in its %s: %s at %s; %s", entry.c_str(), fault.kind, where.c_str(), consequence);
    char text[1024];
    std::snprintf(text, sizeof text,
                  "The program crashed in its %s (%s at %s) and has to close.\n\nSee generated log for details.",
                  entry.c_str(), fault.kind, where.c_str());
    diag::showPopupAndWait(VZ_ERROR, text);
}

// After a fault in Init, Update, Render or OnEvent the Program's state is
// unknown and its code may hold the engine's locks: nothing of it runs
// again, not even its Shutdown, and the process ends where it stands (as
// after the other fatal start-up messages, without the shutdown sequence).
[[noreturn]] void endRunAfterCrash(const std::string& entry, const platform::Fault& fault) {
    reportCrash(entry, fault, "the run ends.");
    platform::abandonProcess(PROGRAM_CRASH_EXIT_CODE);
}

VozerProgramRecord* program() { return rt().shared.program; }

}  // namespace

bool callProgramInit() {
    VozerProgramRecord* p = program();
    if (!p || !p->Init) return true;
    bool answer = false;
    auto body = [&] { answer = p->Init() != 0; };
    platform::Fault fault;
    if (!guarded(body, fault)) endRunAfterCrash("Init", fault);
    return answer;
}

void callProgramUpdate(float seconds) {
    VozerProgramRecord* p = program();
    if (!p || !p->Update) return;
    auto body = [&] { p->Update(seconds); };
    platform::Fault fault;
    if (!guarded(body, fault)) endRunAfterCrash("Update", fault);
}

void callProgramRender(float seconds) {
    VozerProgramRecord* p = program();
    if (!p || !p->Render) return;
    auto body = [&] { p->Render(seconds); };
    platform::Fault fault;
    if (!guarded(body, fault)) endRunAfterCrash("Render", fault);
}

int32_t callProgramOnEvent(const VozerEvent& event) {
    VozerProgramRecord* p = program();
    if (!p || !p->OnEvent) return 0;
    int32_t answer = 0;
    auto body = [&] { answer = p->OnEvent(event); };
    platform::Fault fault;
    if (!guarded(body, fault)) endRunAfterCrash("OnEvent (event " + std::to_string(event.type) + ")", fault);
    return answer;
}

bool callProgramShutdown() {
    VozerProgramRecord* p = program();
    if (!p || !p->Shutdown) return true;
    auto body = [&] { p->Shutdown(); };
    platform::Fault fault;
    if (guarded(body, fault)) return true;
    reportCrash("Shutdown", fault, "releasing its resources without it.");
    return false;
}

}  // namespace vz
