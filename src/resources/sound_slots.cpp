// The sound manager: a fixed pool of named sound records, shared by exact
// name, reference-counted when the Program asks for hibernation, loaded into
// and dropped from the bound sound implementation.
//
// GET_SOUND guards lookups, slot allocation and the counts. Calls into the
// implementation are made without it, except the drop of a hibernating
// sound's data, which must not race a reload of the same record. Popups are
// raised after the lock is released: on the main thread a popup waits for
// the player, and other threads must not wait for sounds meanwhile.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/plugin_binding.h"
#include "resources/resource_queue.h"
#include "resources/sound_pool.h"
#include "state/runtime_state.h"

namespace vz {
namespace sound {

namespace {

struct SoundPool {
    VozerSound records[POOL_SIZE];
    int32_t used = 0;  // high-water count: slots 0..used-1 were handed out once
};

SoundPool& pool() {
    static SoundPool thePool;
    return thePool;
}

bool isPlaceholder(const char* name) { return name && name[0] == '!'; }

bool isNone(const char* name) {
    static const char NONE[] = "!NONE";
    for (size_t i = 0; i < sizeof NONE; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != NONE[i]) return false;
    }
    return true;
}

// Reference counting is the Program's choice (its hibernation flag, copied
// at initialisation).
bool counting() {
    return rt().hibernateUnreferenced;
}

bool printCounts() { return rt().printReferenceCountChanges; }

char* copyText(const char* text) {
    const size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

void setFileName(VozerSound* sound, const char* fileName) {
    std::free(sound->fileName);
    sound->fileName = fileName ? copyText(fileName) : nullptr;
}

// Developer aid: sound names are given without extension so that each
// delivery can carry the format it prefers.
void checkName(const char* name) {
    if (!name || !rt().boot.developerMode) return;
    const size_t length = std::strlen(name);
    if (length > 4 && std::memchr(name + length - 4, '.', 4)) {
        api()->Popup(VZ_WARNING, "Sound name '%s' has file extension. Remove it from the file name.", name);
    }
}

// GET_SOUND held.
VozerSound* findLocked(const char* name) {
    SoundPool& p = pool();
    for (int32_t i = 0; i < p.used; ++i) {
        if (p.records[i].name && std::strcmp(p.records[i].name, name) == 0) return &p.records[i];
    }
    return nullptr;
}

// GET_SOUND held. A fresh record with count 1, or null when all 256 slots
// are taken. Everything is written before the lock goes, so another thread
// that finds the record by name never sees it half made.
VozerSound* createLocked(const char* name, uint8_t flags) {
    SoundPool& p = pool();
    int32_t slot = 0;
    while (slot < p.used && p.records[slot].name) ++slot;
    if (slot == POOL_SIZE) return nullptr;
    char* nameCopy = copyText(name);
    if (!nameCopy) return nullptr;
    VozerSound* sound = &p.records[slot];
    std::free(sound->fileName);  // left by an earlier sound of this slot
    std::memset(sound, 0, sizeof *sound);
    sound->name = nameCopy;
    sound->defaults[0] = 1.0f;
    sound->defaults[1] = 0.0f;
    sound->defaults[2] = 1.0f;
    sound->defaults[3] = 0.0f;
    sound->defaultInt = -1;
    sound->refCount = 1;
    sound->flags = flags;
    if (slot == p.used) ++p.used;
    return sound;
}

// The second half of LoadSound and GetSoundEx for a name not in the pool:
// GET_SOUND is held on entry and released here.
VozerSound* createAndLoad(const char* name, int32_t mode, uint8_t flags, const char* countNote) {
    VozerEngineApi* a = api();
    a->Print("..caching sound '%s'", name);
    VozerSound* sound = createLocked(name, flags);
    if (sound) sound->cacheMode = isNone(name) ? static_cast<int8_t>(mode) : 0;
    unlockEngineMutex(MUTEX_GET_SOUND);
    if (!sound) {
        a->Popup(VZ_ERROR, " ! Vozer out of free sounds.");
        return nullptr;
    }
    if (printCounts()) a->Log(VZ_INFO, countNote, name);
    // Placeholders are never loaded: "!NONE" is a sound that plays nothing.
    if (!isPlaceholder(name)) slots::SetSoundCacheMode(sound, mode);
    return sound;
}

}  // namespace

VozerSound* records() { return pool().records; }
int32_t usedSlots() { return pool().used; }

bool isPoolRecord(const VozerSound* sound) {
    const auto address = reinterpret_cast<uintptr_t>(sound);
    const auto first = reinterpret_cast<uintptr_t>(pool().records);
    if (address < first) return false;
    const uintptr_t offset = address - first;
    return offset < sizeof pool().records && offset % sizeof(VozerSound) == 0;
}

VozerSoundImp* implementation() {
    VozerSoundImp* bound = rt().sound;
    return bound ? bound : nullSoundImp();
}

bool LoadSoundData(VozerSound* sound) {
    VozerSoundImp* imp = implementation();
    const char* name = sound->name;
    const char* lastComponent = std::strrchr(name, '/');
    lastComponent = lastComponent ? lastComponent + 1 : name;
    if (std::strchr(lastComponent, '.')) {
        if (!imp->ops->LoadSound(imp, sound, name)) return false;
        setFileName(sound, name);
        return true;
    }
    static const char* const EXTENSIONS[] = {".wav", ".ogg", ".mp3"};
    if (std::strlen(name) + 4 >= FILE_NAME_BUFFER) return false;
    char fileName[FILE_NAME_BUFFER];
    for (const char* extension : EXTENSIONS) {
        std::snprintf(fileName, sizeof fileName, "%s%s", name, extension);
        if (imp->ops->LoadSound(imp, sound, fileName)) {
            setFileName(sound, fileName);
            return true;
        }
    }
    return false;
}

void resetPool() {
    EngineLock lock(MUTEX_GET_SOUND);
    SoundPool& p = pool();
    for (VozerSound& sound : p.records) {
        std::free(sound.name);
        std::free(sound.fileName);
        std::memset(&sound, 0, sizeof sound);
    }
    p.used = 0;
    resetMusic();
}

// GET_SOUND held (engine mutexes are not taken twice: their locked mark is a
// flag). Returns the name of a sound whose data was not found, else "".
std::string changeCacheModeLocked(VozerSound* sound, int32_t mode) {
    if (!sound->name || mode == sound->cacheMode) return std::string();
    VozerSoundImp* imp = implementation();
    if (mode & VZ_CACHE_HARDWARE) {
        // A record that holds data already is not loaded twice.
        const bool load = !(sound->cacheMode & VZ_CACHE_HARDWARE) && !isPlaceholder(sound->name);
        const bool missing = load && !LoadSoundData(sound);
        sound->cacheMode = static_cast<int8_t>(mode);
        if (missing) return sound->name;
    } else if (mode == VZ_CACHE_NOTHING) {
        imp->ops->FreeSound(imp, sound);
        sound->dataSize = 0;
        sound->implData = nullptr;
        sound->cacheMode = VZ_CACHE_NOTHING;
    }
    return std::string();
}

}  // namespace sound

// After the sound library changed (sounds switched on by a mode request):
// every sound that was loaded is loaded again into the new implementation.
// The old implementation's words in the records are meaningless to the new
// one and are cleared first; hibernating sounds stay hibernating, so that
// their next LoadSound does not load them a second time.
void reloadSounds() {
    EngineLock lock(MUTEX_GET_SOUND);  // workers may be releasing sounds meanwhile
    const int32_t used = sound::usedSlots();
    VozerSound* records = sound::records();
    for (int32_t i = 0; i < used; ++i) {
        VozerSound* record = &records[i];
        if (!record->name || sound::isPlaceholder(record->name) || !(record->cacheMode & VZ_CACHE_HARDWARE)) continue;
        record->dataSize = 0;
        record->implData = nullptr;
        if (!sound::LoadSoundData(record)) api()->Log(VZ_WARNING, "Unable to reload sound '%s'", record->name);
    }
}

namespace slots {

using sound::isPlaceholder;
using sound::pool;

VozerSound* GetSound(const char* name) { return GetSoundEx(name, VZ_CACHE_HARDWARE); }

VozerSound* LoadSound(const char* name) {
    VozerEngineApi* a = api();
    sound::checkName(name);
    if (!name) {
        a->Popup(VZ_WARNING, "zt->LoadSound called with null parameter (forbidden).");
        name = "";
    }
    lockEngineMutex(MUTEX_GET_SOUND);
    VozerSound* sound = sound::findLocked(name);
    if (!sound) return sound::createAndLoad(name, VZ_CACHE_HARDWARE, 0, "'%s' ref count = 1");

    bool capped = false;
    if (!isPlaceholder(name)) {
        ++sound->refCount;
        if (sound::printCounts()) a->Log(VZ_INFO, "'%s' ref count++: now %d", name, sound->refCount);
        if (sound->refCount > sound::COUNT_CAP) {
            sound->refCount = sound::COUNT_CAP;
            capped = true;
        }
    }
    const int16_t count = sound->refCount;
    unlockEngineMutex(MUTEX_GET_SOUND);
    if (capped) {
        a->Popup(VZ_WARNING, "Sound '%s' reference count suspiciously high: capping at %d.", name,
                 static_cast<int>(sound::COUNT_CAP));
    }
    // Count 1 again: the sound was hibernating and comes back.
    if (count == 1) SetSoundCacheMode(sound, VZ_CACHE_HARDWARE);
    return sound;
}

VozerSound* GetSoundEx(const char* name, int32_t mode) {
    VozerEngineApi* a = api();
    sound::checkName(name);
    if (!name) {
        a->Popup(VZ_WARNING, "ZT_GetSoundEx called with null parameter (forbidden).");
        name = "";
    }
    lockEngineMutex(MUTEX_GET_SOUND);
    VozerSound* sound = sound::findLocked(name);
    if (!sound) {
        if (mode == VZ_CACHE_FIND_ONLY) {
            unlockEngineMutex(MUTEX_GET_SOUND);
            return nullptr;
        }
        return sound::createAndLoad(name, mode, VZ_SOUND_COUNTED, "'%s' ref count = 1 (GetSound)");
    }
    // GetSoundEx counts a sound once however often it is asked for it. A
    // hibernating sound it counts for the first time is in use again, so it
    // is loaded again; one it counted before stays as it is.
    bool wake = false;
    if (mode != VZ_CACHE_FIND_ONLY && !isPlaceholder(name) && !(sound->flags & VZ_SOUND_COUNTED)) {
        ++sound->refCount;
        sound->flags |= VZ_SOUND_COUNTED;
        if (sound::printCounts()) a->Log(VZ_INFO, "'%s' ref count++ (GetSound): now %d", name, sound->refCount);
        wake = sound->refCount == 1 && (mode & VZ_CACHE_HARDWARE);
    }
    unlockEngineMutex(MUTEX_GET_SOUND);
    if (wake) SetSoundCacheMode(sound, VZ_CACHE_HARDWARE);
    return sound;
}

// Under GET_SOUND: a load on one thread and a drop of the same record on
// another (a release to zero) would otherwise leave the record's data and
// mode disagreeing. Loading a sound is short; a music file streams.
void SetSoundCacheMode(VozerSound* sound, int32_t mode) {
    if (!sound::isPoolRecord(sound)) return;
    lockEngineMutex(MUTEX_GET_SOUND);
    const std::string missing = sound::changeCacheModeLocked(sound, mode);
    unlockEngineMutex(MUTEX_GET_SOUND);
    // On the main thread the popup waits for the player: no lock held.
    if (!missing.empty()) api()->Popup(VZ_WARNING, "Sound resource '%s' not found.", missing.c_str());
}

void ReleaseSound(VozerSound* sound) {
    if (!sound::isPoolRecord(sound)) return;
    VozerEngineApi* a = api();
    lockEngineMutex(MUTEX_GET_SOUND);
    // Placeholders are not counted up, so they are not counted down either.
    if (!sound->name || (sound::counting() && isPlaceholder(sound->name))) {
        unlockEngineMutex(MUTEX_GET_SOUND);
        return;
    }
    if (!sound::counting()) {
        VozerSoundImp* imp = sound::implementation();
        imp->ops->FreeSound(imp, sound);
        std::free(sound->name);
        sound->name = nullptr;
        sound::setFileName(sound, nullptr);
        sound->dataSize = 0;
        sound->implData = nullptr;
        sound->cacheMode = VZ_CACHE_NOTHING;
        unlockEngineMutex(MUTEX_GET_SOUND);
        return;
    }
    --sound->refCount;
    if (sound::printCounts()) a->Log(VZ_INFO, "ReleaseSound: '%s' ref count--: now %d", sound->name, sound->refCount);
    const bool releasedGetSound = (sound->flags & VZ_SOUND_COUNTED) && sound->refCount == 0;
    const bool belowZero = sound->refCount < 0;
    if (sound->refCount == 0) {
        // Dropped under the lock, so that a LoadSound of the same name on
        // another thread cannot start its reload before this drop is done.
        a->Print("Hibernating sound '%s'..", sound->name);
        sound::changeCacheModeLocked(sound, VZ_CACHE_NOTHING);
    } else if (belowZero) {
        sound->refCount = 0;
    }
    const std::string name = sound->name;  // records keep their names while counting is on
    unlockEngineMutex(MUTEX_GET_SOUND);
    if (releasedGetSound) {
        a->Popup(VZ_WARNING,
                 "Releasing sound '%s' too many times: ref counting will get messed up. NOTE: sound has been "
                 "accessed using GetSound which increses ref count by 1 once.",
                 name.c_str());
    }
    if (belowZero) a->Popup(VZ_WARNING, "Sound '%s' reference count less than zero.", name.c_str());
}

// The name and the last-play time are read and written under GET_SOUND: a
// release on another thread may free the name, and two threads playing one
// sound at once must not both get through the 50 ms rule.
VozerChannel PlaySound(VozerSound* sound, float value1, float value2, float value3) {
    if (!sound::isPoolRecord(sound)) return nullptr;
    {
        EngineLock lock(MUTEX_GET_SOUND);
        const char* name = sound->name;
        if (!name || isPlaceholder(name)) return nullptr;
        const uint32_t now = api()->GetTime();
        const uint32_t last = sound->lastPlayTime;
        if (last != 0 && static_cast<int32_t>(now - last) < sound::REPLAY_GUARD_MS) return nullptr;
        sound->lastPlayTime = now != 0 ? now : 1;  // 0 means "never played"
    }
    VozerSoundImp* imp = sound::implementation();
    return imp->ops->PlaySound(imp, sound, value1, value2, value3);
}

}  // namespace slots
}  // namespace vz
