// The leak report at exit: every bitmap, sound and font the Program still
// holds is named with its reference count and released once, through the
// same release slot the Program would have called, so that the record ends
// exactly as after a last release (hibernated, or freed when counting is off).
#include <cstdint>

#include "api/engine_api.h"
#include "api/threads.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "resources/bitmap_pool.h"
#include "resources/resource_queue.h"
#include "resources/sound_pool.h"

namespace vz {

namespace {

struct LeakKind {
    int poolMutex;
    const char* message;  // "<Kind> '%s' Reference count %d at exit, releasing..."
    uint8_t countedFlag;  // the "counted once by Get..." bit, cleared so the last release is not a misuse
};

// Without counting, every named record is released (freed) without a word.
// The pool lock is held while a record is looked at and reported, so that a
// worker that outlived the wait for threads cannot free the name meanwhile;
// the release itself takes the locks it needs in their usual order.
template <class Record, class Release>
void releaseLeaked(Record* (*slot)(int32_t), int32_t slots, const LeakKind& kind, Release release) {
    const bool counting = referenceCountingOn();
    for (int32_t i = 0; i < slots; ++i) {
        Record* record = slot(i);
        {
            EngineLock lock(kind.poolMutex);
            if (!record->name || (counting && record->refCount == 0)) continue;
            if (counting) {
                api()->Log(VZ_WARNING, kind.message, record->name, record->refCount);
                record->refCount = 1;
                record->flags &= static_cast<uint8_t>(~kind.countedFlag);
            }
        }
        release(record);
    }
}

VozerBitmap* bitmapSlot(int32_t i) { return &bitmapRecords()[i]; }
VozerSound* soundSlot(int32_t i) { return &sound::records()[i]; }

void releaseLeakedSounds() {
    static const LeakKind SOUNDS = {MUTEX_GET_SOUND, "Sound '%s' Reference count %d at exit, releasing...",
                                    VZ_SOUND_COUNTED};
    releaseLeaked(&soundSlot, sound::usedSlots(), SOUNDS, [](VozerSound* s) { api()->ReleaseSound(s); });
}

}  // namespace

void releaseLeakedBitmaps() {
    static const LeakKind BITMAPS = {MUTEX_GET_BITMAP, "Bitmap '%s' Reference count %d at exit, releasing...",
                                     VZ_BITMAP_COUNTED};
    releaseLeaked(&bitmapSlot, bitmapHighWater(), BITMAPS, [](VozerBitmap* b) { api()->ReleaseBitmap(b); });
}

namespace font {
void releaseLeakedFonts() {
    static const LeakKind FONTS = {MUTEX_GET_FONT, "Font '%s' Reference count %d at exit, releasing...",
                                   FONT_COUNTED_BY_GETFONT};
    releaseLeaked(&fontSlot, FONT_POOL_SIZE, FONTS, [](VozerFont* f) { api()->ReleaseFont(f); });
}
}  // namespace font

void releaseLeakedResources(LeakedKind kind) {
    switch (kind) {
        case LeakedKind::Bitmaps: releaseLeakedBitmaps(); break;
        case LeakedKind::Sounds: releaseLeakedSounds(); break;
        case LeakedKind::Fonts: font::releaseLeakedFonts(); break;
    }
}

}  // namespace vz
