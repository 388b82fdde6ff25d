// Threads on Windows. _beginthreadex rather than CreateThread so that the C
// runtime sets up its per-thread data for the new thread.
#include <process.h>
#include <windows.h>

#include "platform/platform.h"

namespace vz::platform {

namespace {

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

unsigned __stdcall threadMain(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    start.entry(start.argument);
    return 0;
}

}  // namespace

uint32_t currentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }

// The handle is handed to the Program as its thread handle and stays open for
// the rest of the run, as the Program may wait on it.
void* startThread(ThreadEntry entry, void* argument) {
    auto* start = new ThreadStart{entry, argument};
    const uintptr_t handle = _beginthreadex(nullptr, 0, &threadMain, start, 0, nullptr);
    if (handle == 0) {
        delete start;
        return nullptr;
    }
    return reinterpret_cast<void*>(handle);
}

}  // namespace vz::platform
