// The Program's named mutexes: CreateMutex finds or creates, DestroyMutex
// forgets, LockMutex and UnlockMutex enter and leave.
#include <algorithm>
#include <vector>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"

namespace vz {

namespace {

struct NamedMutexRegistry {
    std::vector<VozerMutex*> mutexes;  // guarded by GET_MUTEX
};

NamedMutexRegistry& registry() {
    static NamedMutexRegistry r;
    return r;
}

}  // namespace

// Shutdown: every mutex the Program created and did not destroy.
void destroyNamedMutexes() {
    EngineLock lock(MUTEX_GET_MUTEX);
    for (VozerMutex* mutex : registry().mutexes) destroyLockObject(mutex);
    registry().mutexes.clear();
}

namespace slots {

VozerMutex* CreateMutex(const char* name) {
    if (!name) name = "";
    std::vector<VozerMutex*>& mutexes = registry().mutexes;
    VozerMutex* mutex = nullptr;
    {
        EngineLock lock(MUTEX_GET_MUTEX);
        if (*name) {
            for (VozerMutex* existing : mutexes) {
                if (existing->name == name) return existing;
            }
        }
        if (mutexes.capacity() == 0) mutexes.reserve(32);
        mutex = createLockObject(name);
        mutexes.push_back(mutex);
    }
    if (auto print = api()->Print) print("Created Mutex '%s'..", name);
    return mutex;
}

void DestroyMutex(VozerMutex* mutex) {
    if (!mutex) return;
    bool known = false;
    {
        EngineLock lock(MUTEX_GET_MUTEX);
        std::vector<VozerMutex*>& mutexes = registry().mutexes;
        auto it = std::find(mutexes.begin(), mutexes.end(), mutex);
        if (it != mutexes.end()) {
            mutexes.erase(it);
            known = true;
        }
    }
    // Only mutexes of the registry are freed: a second DestroyMutex of the same
    // handle, or an engine mutex handed in by mistake, must not free twice.
    if (known) {
        destroyLockObject(mutex);
    } else if (auto log = api()->Log) {
        log(VZ_WARNING, "ZT_DestroyMutex: mutex %p was not created by ZT_CreateMutex or is already destroyed.\n",
            static_cast<void*>(mutex));
    }
}

void LockMutex(VozerMutex* mutex) { lockObject(mutex); }

void UnlockMutex(VozerMutex* mutex) {
    if (!mutex) return;
    if (!unlockObject(mutex)) {
        // Leaving a lock this thread does not hold would break its holder.
        if (auto log = api()->Log) log(VZ_WARNING, "Trying to unlock mutex '%s' which is not locked!", mutex->name.c_str());
    }
}

}  // namespace slots
}  // namespace vz
