// Thread identity and the main-loop lock for the Program (CreateThread lives
// with the thread registry in threads.cpp).
#include "api/engine_api.h"
#include "api/threads.h"
#include "platform/platform.h"

namespace vz::slots {

uint32_t GetThreadId() { return platform::currentThreadId(); }

vz_bool IsMainThread() { return isMainThread() ? 1 : 0; }

// The frame loop holds MAIN_LOOP for the whole frame on the main thread, so the
// main thread itself never needs to (and must not wait for) it.
void LockMainLoop() {
    if (!isMainThread()) lockEngineMutex(MUTEX_MAIN_LOOP);
}

void UnlockMainLoop() {
    if (!isMainThread()) unlockEngineMutex(MUTEX_MAIN_LOOP);
}

}  // namespace vz::slots
