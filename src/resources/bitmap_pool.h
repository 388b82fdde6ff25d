// The bitmap manager's pool and the operations that other parts of the
// runtime (the resource queues, the renderer restore, shutdown, the sequence
// loader) use on its records.
//
// Locks: GET_BITMAP guards the pool (lookups, slots, counts); a record's lock
// (the one SHARED_BITMAP mutex) guards its data; GFX_HW guards renderer
// calls; RESOURCE_QUEUE the queues. Taken in that order where they nest.
#pragma once

#include <cstdint>

#include "vozer_render_types.h"

namespace vz {

constexpr int32_t BITMAP_POOL_SIZE = 768;
constexpr int16_t BITMAP_COUNT_CAP = 4096;

// The pool's records (never move) and the high-water count of slots in use
// or once used. Also published to renderers through rt().shared.
VozerBitmap* bitmapRecords();
int32_t bitmapHighWater();
void setBitmapHighWater(int32_t count);
// Whether `bitmap` points at a record of the pool (not at a frame, a copy or
// foreign memory).
bool isPoolBitmap(const VozerBitmap* bitmap);
// Counting is on when the Program asks for unreferenced resources to hibernate.
bool referenceCountingOn();
bool isPlaceholderName(const char* name);

// Find the source file of the bitmap's name and decode it (sequences through
// the sequence loaders). False when nothing could be loaded; the record is
// then ready without data and the failure was reported.
bool loadBitmapData(VozerBitmap* bitmap);
// The manifest's description of a bitmap name, applied after a load: the size
// the game sees and the pack mode.
void applyBitmapDescription(VozerBitmap* bitmap, const char* name);
void applySequenceDescription(VozerBitmap* bitmap);
// Drop pixel memory (of the atlas or of every frame that owns its image).
void freeBitmapPixels(VozerBitmap* bitmap);
// Drop the frames, their names and the atlas record of a sequence.
void freeBitmapFrames(VozerBitmap* bitmap);

// Sequences are loaded by the sequence module, which registers itself here.
// Frame arrays it makes are calloc'ed arrays of records, names and source
// names strdup'ed, the atlas record calloc'ed: freeBitmapFrames frees them so.
struct SequenceLoaders {
    bool (*loadFile)(VozerBitmap* sequence, const char* path);        // a ".bms" file
    bool (*loadNumbered)(VozerBitmap* sequence, const char* pattern); // files numbered in place of '*'
};
void setSequenceLoaders(const SequenceLoaders& loaders);

// Whether the caller may call the renderer now: the main thread, or any
// thread when the renderer says it accepts uploads from anywhere.
bool mayTalkToRenderer();

// At exit: release every bitmap still referenced, reporting each when
// counting is on.
void releaseLeakedBitmaps();
// Free every record's memory and empty the pool and its queues: the end of a
// run (also of a test). Textures must be released before.
void clearBitmapPool();

}  // namespace vz
