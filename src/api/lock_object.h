// The lock object behind every mutex handle: engine mutexes, the Program's
// named mutexes and the thread registry's own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "vozer_types.h"

// Recursive per thread, like a Win32 critical section. The owner and depth are
// tracked so that an unlock from a thread that does not hold the lock can be
// refused instead of corrupting the lock (undefined behaviour for both a
// critical section and std::recursive_mutex).
struct VozerMutex {
    std::string name;
    std::recursive_mutex section;
    std::atomic<uint32_t> owner{0};   // thread id of the holder, 0 when free
    uint32_t depth = 0;               // written only by the holder
    std::atomic<uint8_t> locked{0};   // set by every lock, cleared by every unlock: a flag, not a count
};

namespace vz {

// A null name gives an empty one.
VozerMutex* createLockObject(const char* name);
// Null does nothing.
void destroyLockObject(VozerMutex* mutex);
// Null does nothing.
void lockObject(VozerMutex* mutex);
// True when the calling thread holds the lock.
bool lockHeldByCaller(const VozerMutex* mutex);
// Releases one level. Returns false (and releases nothing) for null or when
// the calling thread does not hold the lock.
bool unlockObject(VozerMutex* mutex);

}  // namespace vz
