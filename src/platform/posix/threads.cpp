// Threads on the development host (pthreads).
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/platform.h"

namespace vz::platform {

namespace {

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

void* threadMain(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    start.entry(start.argument);
    return nullptr;
}

}  // namespace

// The kernel's thread id: unique among live threads and small like a Win32
// id. Cached because the lock objects ask for it on every lock.
uint32_t currentThreadId() {
    thread_local const uint32_t id = static_cast<uint32_t>(::syscall(SYS_gettid));
    return id;
}

void* startThread(ThreadEntry entry, void* argument) {
    auto* start = new ThreadStart{entry, argument};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread{};
    const int result = pthread_create(&thread, &attributes, &threadMain, start);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete start;
        return nullptr;
    }
    return reinterpret_cast<void*>(thread);
}

}  // namespace vz::platform
