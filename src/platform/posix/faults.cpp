// Surviving a fault in a call into a library whose run ends with it: the fault
// signals jump back to the innermost guarded call for the length of the call.
#include <dlfcn.h>
#include <ucontext.h>

#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int FAULT_SIGNAL_COUNT = sizeof FAULT_SIGNALS / sizeof FAULT_SIGNALS[0];

struct GuardFrame {
    sigjmp_buf jump;
    GuardFrame* outer = nullptr;
    Fault caught;
};

struct Guards {
    GuardFrame* innermost = nullptr;  // set only while a guarded call runs
    struct sigaction previous[FAULT_SIGNAL_COUNT];  // put back when the outermost call ends
};

Guards& guards() {
    static Guards theGuards;
    return theGuards;
}

const char* kindOf(int signal, int code) {
    switch (signal) {
        case SIGSEGV: return "access violation";
        case SIGBUS: return "bus error";
        case SIGILL: return "illegal instruction";
        case SIGFPE: return code == FPE_INTDIV ? "integer division by zero" : "arithmetic fault";
        default: return "fault";
    }
}

uintptr_t instructionOf(const siginfo_t* info, const void* context) {
    const auto* uc = static_cast<const ucontext_t*>(context);
    (void)info;
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    // Elsewhere only the faulting data address is known, which is better than nothing.
    return reinterpret_cast<uintptr_t>(info->si_addr);
#endif
}

void onFault(int signal, siginfo_t* info, void* context) {
    GuardFrame* frame = guards().innermost;
    frame->caught.kind = kindOf(signal, info ? info->si_code : 0);
    frame->caught.address = info ? instructionOf(info, context) : 0;
    siglongjmp(frame->jump, 1);
}

}  // namespace

bool callSurvivingFaults(void (*call)(void* argument), void* argument, Fault* fault) {
    Guards& g = guards();
    GuardFrame frame;
    frame.outer = g.innermost;
    if (!frame.outer) {
        struct sigaction mine {};
        mine.sa_sigaction = &onFault;
        sigemptyset(&mine.sa_mask);
        mine.sa_flags = SA_SIGINFO | SA_NODEFER;  // the jump leaves the handler without returning
        for (int i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &mine, &g.previous[i]);
    }
    g.innermost = &frame;
    const bool faulted = sigsetjmp(frame.jump, 1) != 0;
    if (!faulted) call(argument);
    g.innermost = frame.outer;
    if (!frame.outer) {
        for (int i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &g.previous[i], nullptr);
    }
    if (faulted && fault) *fault = frame.caught;
    return !faulted;
}

std::string describeCodeAddress(uintptr_t address) {
    char text[160];
    Dl_info info{};
    if (address && dladdr(reinterpret_cast<void*>(address), &info) && info.dli_fname && info.dli_fbase) {
        const char* slash = std::strrchr(info.dli_fname, '/');
        std::snprintf(text, sizeof text, "0x%0*zx (%s+0x%zx)", static_cast<int>(2 * sizeof address), static_cast<size_t>(address),
                      slash ? slash + 1 : info.dli_fname,
                      static_cast<size_t>(address - reinterpret_cast<uintptr_t>(info.dli_fbase)));
    } else {
        std::snprintf(text, sizeof text, "0x%0*zx", static_cast<int>(2 * sizeof address), static_cast<size_t>(address));
    }
    return text;
}

}  // namespace vz::platform
