// Surviving a fault in a call into a library that is being left: the fault
// signals jump back to the caller for the length of the call.
#include <csetjmp>
#include <csignal>

#include "platform/platform.h"

namespace vz::platform {

namespace {

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int FAULT_SIGNAL_COUNT = sizeof FAULT_SIGNALS / sizeof FAULT_SIGNALS[0];

sigjmp_buf* landing = nullptr;  // set only while a guarded call runs

void onFault(int) { siglongjmp(*landing, 1); }

}  // namespace

bool callSurvivingFaults(void (*call)(void* argument), void* argument) {
    struct sigaction mine {};
    mine.sa_handler = &onFault;
    sigemptyset(&mine.sa_mask);
    mine.sa_flags = SA_NODEFER;  // the jump leaves the handler without returning
    struct sigaction previous[FAULT_SIGNAL_COUNT];
    for (int i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &mine, &previous[i]);
    sigjmp_buf jump;
    landing = &jump;
    const bool faulted = sigsetjmp(jump, 1) != 0;
    if (!faulted) call(argument);
    landing = nullptr;
    for (int i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &previous[i], nullptr);
    return !faulted;
}

}  // namespace vz::platform
