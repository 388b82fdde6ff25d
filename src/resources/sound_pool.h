// The sound pool: 256 named, reference-counted sound records shared by the
// whole process, and the music state. The slots (sound_slots.cpp,
// music_slots.cpp) are the way in for the Program; what is declared here is
// for the rest of the runtime (re-initialisation, shutdown, usage report).
#pragma once

#include <cstdint>

#include "vozer_soundimp.h"

namespace vz::sound {

constexpr int POOL_SIZE = 256;
constexpr int16_t COUNT_CAP = 4096;
// One sound starts at most once in this many milliseconds.
constexpr int32_t REPLAY_GUARD_MS = 50;
// Names with extensions are formatted into buffers of this size; a name that
// does not fit with its extension is not found rather than cut short.
constexpr size_t FILE_NAME_BUFFER = 512;

// The pool's records and how many slots were ever used (the high-water
// count). Records never move; take MUTEX_GET_SOUND to read names or counts
// of records other threads may change.
VozerSound* records();
int32_t usedSlots();

// Whether `sound` is one of the pool's records (foreign pointers are ignored
// by every slot).
bool isPoolRecord(const VozerSound* sound);

// Ask the bound implementation to load the record's data: the name as given
// when its last component has an extension, else the name with ".wav",
// ".ogg" and ".mp3" in that order. On success the file name is kept in the
// record. False when no file loaded.
bool LoadSoundData(VozerSound* sound);

// The bound implementation (the null one before any is bound).
VozerSoundImp* implementation();

// Empty the pool and forget the music (tests; the process starts empty).
void resetPool();
// Forget that music is playing (part of resetPool).
void resetMusic();

}  // namespace vz::sound
