// Lock objects, the thirteen engine mutexes, the thread registry and the
// main-thread identity.
// lock_object.h first: it declares ::VozerMutex, which threads.h refers to.
#include "api/lock_object.h"
#include "api/threads.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <array>
#include <vector>

#include "api/engine_api.h"
#include "state/runtime_state.h"
#include "platform/platform.h"

namespace vz {

// ---------------------------------------------------------------------------
// [SECTION] Lock objects
// ---------------------------------------------------------------------------

VozerMutex* createLockObject(const char* name) {
    auto* mutex = new VozerMutex;
    mutex->name = name ? name : "";
    return mutex;
}

void destroyLockObject(VozerMutex* mutex) { delete mutex; }

void lockObject(VozerMutex* mutex) {
    if (!mutex) return;
    mutex->section.lock();
    if (mutex->depth++ == 0) mutex->owner.store(platform::currentThreadId(), std::memory_order_relaxed);
    mutex->locked.store(1, std::memory_order_relaxed);
}

bool lockHeldByCaller(const VozerMutex* mutex) {
    // Only the holder can see its own id here: another thread's id is never
    // stored while we hold it, and ours is cleared before we release.
    return mutex && mutex->owner.load(std::memory_order_relaxed) == platform::currentThreadId();
}

bool unlockObject(VozerMutex* mutex) {
    if (!lockHeldByCaller(mutex)) return false;
    mutex->locked.store(0, std::memory_order_relaxed);
    if (--mutex->depth == 0) mutex->owner.store(0, std::memory_order_relaxed);
    mutex->section.unlock();
    return true;
}

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Module state
// ---------------------------------------------------------------------------

struct ThreadRecord {
    std::string name;       // empty: no name registered
    uint32_t id = 0;
    void* extra = nullptr;  // owned; always null for threads started here
};

struct ThreadsState {
    std::array<std::atomic<VozerMutex*>, ENGINE_MUTEX_COUNT> engine{};
    std::atomic<VozerMutex*> registryLock{nullptr};  // "ZTT_TIM"
    std::vector<ThreadRecord*> records;              // guarded by registryLock
    std::atomic<int32_t> liveThreads{0};
};

// Never destroyed: threads still running while the process exits may look up
// their record after static destructors have run.
ThreadsState& state() {
    static ThreadsState* s = new ThreadsState;
    return *s;
}

const char* const ENGINE_MUTEX_NAMES[ENGINE_MUTEX_COUNT] = {
    "PRINT",    "GET_MUTEX",  "CREATE_DIR", "GET_PATH",       "GET_BITMAP",    "GET_SOUND", "GET_FONT",
    "GET_SHADER", "GFX_HW",   "MAIN_LOOP",  "RESOURCE_QUEUE", "SHARED_BITMAP", "CORE_IMP"};

template <typename... Args>
void apiLog(int32_t level, const char* format, Args... args) {
    if (auto log = api()->Log) log(level, format, args...);
}

// The caller's record, created on demand. Null while the registry lock does
// not exist (before start-up and after shutdown).
ThreadRecord* threadRecord() {
    ThreadsState& s = state();
    VozerMutex* lock = s.registryLock.load();
    if (!lock) return nullptr;
    const uint32_t id = platform::currentThreadId();
    lockObject(lock);
    ThreadRecord* found = nullptr;
    for (ThreadRecord* record : s.records) {
        if (record->id == id) {
            found = record;
            break;
        }
    }
    if (!found) {
        if (s.records.capacity() == 0) s.records.reserve(32);
        found = new ThreadRecord;
        found->id = id;
        s.records.push_back(found);
    }
    unlockObject(lock);
    return found;
}

void removeThreadRecord() {
    ThreadsState& s = state();
    VozerMutex* lock = s.registryLock.load();
    if (!lock) return;
    const uint32_t id = platform::currentThreadId();
    lockObject(lock);
    auto it = std::find_if(s.records.begin(), s.records.end(),
                           [id](const ThreadRecord* r) { return r->id == id; });
    if (it != s.records.end()) {
        ThreadRecord* record = *it;
        s.records.erase(it);
        std::free(record->extra);
        delete record;
    }
    unlockObject(lock);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Engine mutexes
// ---------------------------------------------------------------------------

const char* engineMutexName(int index) {
    if (index < 0 || index >= ENGINE_MUTEX_COUNT) return "UNKNOWN";
    return ENGINE_MUTEX_NAMES[index];
}

VozerMutex* engineMutex(int index) {
    if (index < 0 || index >= ENGINE_MUTEX_COUNT) return nullptr;
    return state().engine[static_cast<size_t>(index)].load(std::memory_order_acquire);
}

void lockEngineMutex(int index) { lockObject(engineMutex(index)); }

void unlockEngineMutex(int index) {
    VozerMutex* mutex = engineMutex(index);
    if (!mutex) return;
    // Not for PRINT: the popup itself takes PRINT. A lock held by another
    // thread counts as not locked for the caller: releasing it would break
    // the holder, so the release is refused after the warning.
    const bool held = mutex->locked.load(std::memory_order_relaxed) != 0 && lockHeldByCaller(mutex);
    if (!held && index != MUTEX_PRINT) {
        if (auto popup = api()->Popup) popup(VZ_WARNING, "Trying to unlock mutex '%s' which is not locked!", engineMutexName(index));
    }
    unlockObject(mutex);
}

void createThreadRegistryLock() {
    VozerMutex* expected = nullptr;
    VozerMutex* lock = createLockObject("ZTT_TIM");
    if (!state().registryLock.compare_exchange_strong(expected, lock)) destroyLockObject(lock);
}

void recordMainThread() {
    rt().mainThreadId = platform::currentThreadId();
    rt().startTimeMs = platform::timeMs();
}

void createEngineMutexes() {
    for (int i = 0; i < ENGINE_MUTEX_COUNT; ++i) {
        auto& slot = state().engine[static_cast<size_t>(i)];
        if (!slot.load()) slot.store(createLockObject(ENGINE_MUTEX_NAMES[i]), std::memory_order_release);
    }
}

// Named mutexes live in mutex_slots.cpp; shutdown empties that registry too.
void destroyNamedMutexes();

void destroyEngineMutexes() {
    for (auto& slot : state().engine) destroyLockObject(slot.exchange(nullptr));
    destroyNamedMutexes();
    ThreadsState& s = state();
    VozerMutex* lock = s.registryLock.exchange(nullptr);
    if (lock) {
        // Nobody can reach the records any more; the threads that still run
        // find no record and log as "UNKNOWN".
        for (ThreadRecord* record : s.records) {
            std::free(record->extra);
            delete record;
        }
        s.records.clear();
        destroyLockObject(lock);
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Thread registry
// ---------------------------------------------------------------------------

int32_t liveThreadCount() { return state().liveThreads.load(); }

const char* currentThreadName() {
    // The record belongs to the calling thread and is freed only by it (or
    // at shutdown), so its name outlives the caller's use.
    ThreadRecord* record = threadRecord();
    return record ? record->name.c_str() : "";
}

const char* threadNameForLog(bool* registered) {
    ThreadRecord* record = threadRecord();
    const bool named = record && !record->name.empty();
    if (registered) *registered = named;
    if (!record) return "UNKNOWN";
    return named ? record->name.c_str() : "MAIN";
}

bool isMainThread() { return platform::currentThreadId() == rt().mainThreadId; }

namespace {

struct StartBlock {
    std::string name;
    VozerThreadEntry entry = nullptr;
    void* argument = nullptr;
};

void threadTrampoline(void* argument) {
    auto* block = static_cast<StartBlock*>(argument);
    if (ThreadRecord* record = threadRecord()) {
        record->name = std::move(block->name);
        record->extra = nullptr;
    }
    try {
        block->entry(block->argument);
    } catch (...) {
        // A Program's entry must not take the process down through us.
        apiLog(VZ_ERROR, "Thread entry ended with an exception.\n");
    }
    delete block;
    // The record goes before the count drops: whoever waits for the count to
    // reach zero (the shutdown) may destroy the registry right after.
    removeThreadRecord();
    const int32_t left = --state().liveThreads;
    if (left < 0) apiLog(VZ_WARNING, "Thread ref counter reporting %d\n", left);
}

}  // namespace

namespace slots {

VozerThread CreateThread(const char* name, VozerThreadEntry entry, void* argument, int32_t flags) {
    if (flags != 0) {
        if (auto popup = api()->Popup) popup(VZ_WARNING, "ZT_CreateThread flags parm must be set to zero - reserved for future use.");
        return NO_THREAD;
    }
    if (!entry) {
        // Nothing to run; a thread would only crash on the null entry.
        apiLog(VZ_WARNING, "ZT_CreateThread: thread '%s' has no entry function.\n", name ? name : "");
        return NO_THREAD;
    }
    auto* block = new StartBlock;
    block->name = name ? name : "";
    block->entry = entry;
    block->argument = argument;
    // Counted before the thread exists so that a shutdown wait that begins
    // right after CreateThread returns cannot miss it.
    ++state().liveThreads;
    void* handle = platform::startThread(&threadTrampoline, block);
    if (!handle) {
        --state().liveThreads;
        delete block;
        return NO_THREAD;
    }
    return handle;
}

}  // namespace slots

bool waitForThreads(uint32_t timeoutMs) {
    apiLog(VZ_SYSTEM, "Waiting for threads to exit... (%d threads)", liveThreadCount());
    for (uint32_t waited = 0; liveThreadCount() > 0 && waited < timeoutMs; waited += 50) platform::sleepMs(50);
    const int32_t left = liveThreadCount();
    if (left > 0) {
        apiLog(VZ_WARNING, "Time out: %d threads left running!", left);
        return false;
    }
    return true;
}

}  // namespace vz
