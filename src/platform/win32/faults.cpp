// Surviving a fault in a call into a library whose run ends with it: a
// vectored handler, first in line, jumps back to the innermost guarded call
// for the length of the call.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

struct GuardFrame {
    void* jump[5];  // __builtin_setjmp's buffer
    GuardFrame* outer = nullptr;
#if defined(__i386__)
    // Frame-based handlers registered by the abandoned call would be left on
    // the thread's handler chain, pointing into the stack it no longer owns.
    void* chain = nullptr;
#endif
    Fault caught;
};

struct Guards {
    DWORD thread = 0;                 // the guarded thread; faults of others go their usual way
    GuardFrame* innermost = nullptr;  // set only while a guarded call runs
    void* handler = nullptr;          // registered while the outermost call runs
};

#if defined(__i386__)
// The head of the thread's frame-based handler chain: the first word of its
// information block (fs:0), read directly (NtCurrentTeb trips GCC's bounds
// checks).
void* handlerChain() {
    void* chain;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(chain));
    return chain;
}
void setHandlerChain(void* chain) { __asm__ volatile("movl %0, %%fs:0" : : "r"(chain) : "memory"); }
#endif

Guards& guards() {
    static Guards theGuards;
    return theGuards;
}

// The faults a guard ends; null for everything else (C++ exceptions,
// breakpoints, a stack overflow: not ours to end).
const char* kindOf(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION: return "access violation";
        case EXCEPTION_IN_PAGE_ERROR: return "page error";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
        case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
        case EXCEPTION_INT_OVERFLOW: return "integer overflow";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
        default: return nullptr;
    }
}

LONG CALLBACK onFault(EXCEPTION_POINTERS* info) {
    Guards& g = guards();
    const char* kind = kindOf(info->ExceptionRecord->ExceptionCode);
    if (!g.innermost || GetCurrentThreadId() != g.thread || !kind) return EXCEPTION_CONTINUE_SEARCH;
    g.innermost->caught.kind = kind;
    g.innermost->caught.address = reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress);
    __builtin_longjmp(g.innermost->jump, 1);
}

}  // namespace

bool callSurvivingFaults(void (*call)(void* argument), void* argument, Fault* fault) {
    Guards& g = guards();
    GuardFrame frame;
    frame.outer = g.innermost;
    if (!frame.outer) {
        g.thread = GetCurrentThreadId();
        g.handler = AddVectoredExceptionHandler(1, &onFault);
    }
#if defined(__i386__)
    frame.chain = handlerChain();
#endif
    g.innermost = &frame;
    bool faulted = false;
    if (__builtin_setjmp(frame.jump) == 0) {
        call(argument);
    } else {
        faulted = true;
#if defined(__i386__)
        setHandlerChain(frame.chain);
#endif
    }
    g.innermost = frame.outer;
    if (!frame.outer && g.handler) {
        RemoveVectoredExceptionHandler(g.handler);
        g.handler = nullptr;
    }
    if (faulted && fault) *fault = frame.caught;
    return !faulted;
}

std::string describeCodeAddress(uintptr_t address) {
    char text[MAX_PATH + 64];
    const int digits = static_cast<int>(2 * sizeof address);
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (address &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(address), &module) &&
        GetModuleFileNameA(module, path, sizeof path) > 0) {
        const char* name = path;
        for (const char* c = path; *c; ++c)
            if (*c == '\\' || *c == '/') name = c + 1;
        std::snprintf(text, sizeof text, "0x%0*llx (%s+0x%llx)", digits, static_cast<unsigned long long>(address),
                      name, static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(module)));
    } else {
        std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(address));
    }
    return text;
}

}  // namespace vz::platform
