// Engine mutexes, the thread registry and the main-thread identity.
#pragma once

#include <cstdint>

#include "vozer_types.h"

namespace vz {

// The runtime's own mutexes, by index. Where they nest they are taken in the
// order MAIN_LOOP, pool lock, record lock, GFX_HW, RESOURCE_QUEUE.
enum EngineMutexIndex : int {
    MUTEX_PRINT = 0,
    MUTEX_GET_MUTEX = 1,
    MUTEX_CREATE_DIR = 2,
    MUTEX_GET_PATH = 3,
    MUTEX_GET_BITMAP = 4,
    MUTEX_GET_SOUND = 5,
    MUTEX_GET_FONT = 6,
    MUTEX_GET_SHADER = 7,
    MUTEX_GFX_HW = 8,
    MUTEX_MAIN_LOOP = 9,
    MUTEX_RESOURCE_QUEUE = 10,
    MUTEX_SHARED_BITMAP = 11,
    MUTEX_CORE_IMP = 12,
    ENGINE_MUTEX_COUNT = 13
};

// "PRINT", "GET_MUTEX", ...; "UNKNOWN" outside the table.
const char* engineMutexName(int index);
// Lock an engine mutex; does nothing while it does not exist.
void lockEngineMutex(int index);
// Unlock; warns (except for PRINT) when the mutex was not marked locked.
void unlockEngineMutex(int index);
// The lock object of an engine mutex (a VozerMutex handle), or null.
struct VozerMutex* engineMutex(int index);

class EngineLock {
public:
    explicit EngineLock(int index) : index_(index) { lockEngineMutex(index_); }
    ~EngineLock() { unlock(); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;
    // Release early (popups are raised with no pool lock held).
    void unlock() {
        if (held_) unlockEngineMutex(index_);
        held_ = false;
    }

private:
    int index_;
    bool held_ = true;
};

// Start-up and shutdown, in this order: the thread registry's own lock first,
// then the main thread identity and start time, then the engine mutexes;
// shutdown destroys the engine mutexes, the named mutexes, then the registry lock.
void createThreadRegistryLock();
void recordMainThread();
void createEngineMutexes();
void destroyEngineMutexes();

// What CreateThread answers when it starts nothing: (VozerThread)-1, since
// null is a handle some systems do give out.
inline VozerThread const NO_THREAD = reinterpret_cast<VozerThread>(static_cast<intptr_t>(-1));

// Threads started through CreateThread that have not finished.
int32_t liveThreadCount();
// Name of the calling thread as registered ("" for an unnamed thread).
const char* currentThreadName();
bool isMainThread();

// ---------------------------------------------------------------------------
// Additions for the log and the shutdown.
// ---------------------------------------------------------------------------

// The calling thread's name for the log: its registered name, "MAIN" when it
// has none, "UNKNOWN" while the thread registry does not exist. `registered`
// (may be null) tells whether a name was registered.
const char* threadNameForLog(bool* registered);
// Shutdown's wait: logs "Waiting for threads to exit... (%d threads)", sleeps
// 50 ms at a time until every thread started through CreateThread has
// finished or `timeoutMs` has passed, then warns "Time out: %d threads left
// running!". True when none is left.
bool waitForThreads(uint32_t timeoutMs = 3000);

}  // namespace vz
