// Surviving a fault in a call into a library that is being left: a vectored
// handler, first in line, jumps back to the caller for the length of the call.
#include <windows.h>

#include "platform/platform.h"

namespace vz::platform {

namespace {

struct Guard {
    void* jump[5];          // __builtin_setjmp's buffer
    DWORD thread = 0;       // the guarded thread; faults of others go their usual way
    bool active = false;
#if defined(__i386__)
    // Frame-based handlers registered by the abandoned call would be left on
    // the thread's handler chain, pointing into the stack it no longer owns.
    void* chain = nullptr;
#endif
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

Guard& guard() {
    static Guard theGuard;
    return theGuard;
}

bool isFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
            return true;
        default:
            return false;  // C++ exceptions, breakpoints, a stack overflow: not ours to end
    }
}

LONG CALLBACK onFault(EXCEPTION_POINTERS* info) {
    Guard& g = guard();
    if (!g.active || GetCurrentThreadId() != g.thread || !isFault(info->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    __builtin_longjmp(g.jump, 1);
}

}  // namespace

bool callSurvivingFaults(void (*call)(void* argument), void* argument) {
    Guard& g = guard();
    g.thread = GetCurrentThreadId();
#if defined(__i386__)
    g.chain = handlerChain();
#endif
    void* volatile handler = AddVectoredExceptionHandler(1, &onFault);
    bool faulted = false;
    g.active = true;
    if (__builtin_setjmp(g.jump) == 0) {
        call(argument);
    } else {
        faulted = true;
#if defined(__i386__)
        setHandlerChain(g.chain);
#endif
    }
    g.active = false;
    if (handler) RemoveVectoredExceptionHandler(handler);
    return !faulted;
}

}  // namespace vz::platform
