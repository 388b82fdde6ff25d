// The bitmap manager's slots: bitmaps shared by exact name in a fixed pool,
// counted, cached by mode (pixels, texture, both or nothing), hibernated when
// their count reaches zero and reloaded into the same record on the next
// request. Any thread may call them; renderer work asked for off the main
// thread goes through the resource queues.
#include <cstdlib>
#include <cstring>

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "fs/http_client.h"
#include "image/image_loader.h"
#include "resources/bitmap_pool.h"
#include "resources/resource_queue.h"
#include "state/features.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// The default cache mode of GetBitmap, and the pack mode of loaded bitmaps.
constexpr int32_t DEFAULT_CACHE_MODE = VZ_CACHE_HARDWARE;
constexpr int16_t DEFAULT_PACK_MODE = VZ_PAD_TRANSPARENT;
constexpr char OUT_OF_BITMAPS[] = " ! Vozer out of free bitmaps.";

bool printCounts() { return rt().printReferenceCountChanges; }
bool countErrorPopups() { return !hasFeature("DISABLE_REFERENCE_COUNT_ERROR_POPUPS"); }

// Handles that did not come from this pool (a frame, a copy, freed or foreign
// memory) are refused instead of being written through.
bool foreign(const VozerBitmap* bitmap, const char* slot) {
    if (!bitmap || isPoolBitmap(bitmap)) return false;
    api()->Popup(VZ_WARNING, "%s: %p is not a bitmap of this runtime. Ignored.", slot,
                 static_cast<const void*>(bitmap));
    return true;
}

const char* requestName(const char* name) {
    if (!name) return "!NONE";
    if (name[0] == '/') {
        api()->Popup(VZ_WARNING, "Bitmap '%s' name path starting with '/'. Not allowed.", name);
        return name + 1;
    }
    return name;
}

// Under GET_BITMAP.
VozerBitmap* findBitmap(const char* name) {
    VozerBitmap* records = bitmapRecords();
    for (int32_t i = 0; i < bitmapHighWater(); ++i) {
        if (records[i].name && std::strcmp(records[i].name, name) == 0) return &records[i];
    }
    return nullptr;
}

// Under GET_BITMAP: the first free slot, else the next unused one; null when
// all 768 are taken.
VozerBitmap* takeSlot() {
    VozerBitmap* records = bitmapRecords();
    const int32_t used = bitmapHighWater();
    for (int32_t i = 0; i < used; ++i) {
        if (!records[i].name) return &records[i];
    }
    if (used >= BITMAP_POOL_SIZE) return nullptr;
    setBitmapHighWater(used + 1);
    return &records[used];
}

bool initRecord(VozerBitmap* bitmap, const char* name) {
    std::memset(bitmap, 0, sizeof *bitmap);
    const size_t length = std::strlen(name) + 1;
    bitmap->name = static_cast<char*>(std::malloc(length));
    if (!bitmap->name) return false;
    std::memcpy(bitmap->name, name, length);
    bitmap->loadState = 1;
    bitmap->lock = engineMutex(MUTEX_SHARED_BITMAP);
    bitmap->refCount = 1;
    bitmap->flags = VZ_BITMAP_RELOADABLE;
    bitmap->packMode = DEFAULT_PACK_MODE;
    return true;
}

// Under GET_BITMAP: one more reference, capped. True when it was capped:
// the caller raises the popup once the pool lock is released.
bool countOnce(VozerBitmap* bitmap, const char* logFormat) {
    ++bitmap->refCount;
    if (printCounts()) api()->Print(logFormat, bitmap->name, bitmap->refCount);
    if (bitmap->refCount <= BITMAP_COUNT_CAP) return false;
    bitmap->refCount = BITMAP_COUNT_CAP;
    return true;
}

// Names stay while a record is counted, so the popup may read it unlocked.
void capPopup(const VozerBitmap* bitmap) {
    api()->Popup(VZ_WARNING, "Bitmap '%s' reference count suspiciously high: capping at %d.", bitmap->name,
                 BITMAP_COUNT_CAP);
}

void changeCacheMode(VozerBitmap* bitmap, int32_t mode, bool addToOld);

// The lookup shared by LoadBitmap (every call counts) and GetBitmapEx (counts
// once for the record's life). The record lock is taken inside GET_BITMAP
// where flags are read or written: a load on another thread writes them.
VozerBitmap* lookUp(const char* requested, int32_t mode, bool everyCallCounts) {
    const char* name = requestName(requested);
    lockEngineMutex(MUTEX_GET_BITMAP);
    if (VozerBitmap* bitmap = findBitmap(name)) {
        if (mode == VZ_CACHE_FIND_ONLY) {
            unlockEngineMutex(MUTEX_GET_BITMAP);
            return bitmap;
        }
        bool capped = false;
        if (mode != 0 && !isPlaceholderName(name)) {
            if (everyCallCounts) {
                capped = countOnce(bitmap, "'%s' ref count++: now %d");
            } else {
                lockObject(bitmap->lock);
                if (!(bitmap->flags & VZ_BITMAP_COUNTED)) {
                    bitmap->flags |= VZ_BITMAP_COUNTED;
                    ++bitmap->refCount;
                    if (printCounts())
                        api()->Print("'%s' ref count++ (GetBitmap): now %d", bitmap->name, bitmap->refCount);
                }
                unlockObject(bitmap->lock);
            }
        }
        unlockEngineMutex(MUTEX_GET_BITMAP);
        if (capped) capPopup(bitmap);
        changeCacheMode(bitmap, mode, true);
        return bitmap;
    }
    if (mode == VZ_CACHE_FIND_ONLY) {
        unlockEngineMutex(MUTEX_GET_BITMAP);
        return nullptr;
    }
    api()->Print("..caching bitmap '%s'", name);
    VozerBitmap* bitmap = takeSlot();
    if (!bitmap || !initRecord(bitmap, name)) {
        unlockEngineMutex(MUTEX_GET_BITMAP);
        api()->Popup(VZ_WARNING, OUT_OF_BITMAPS);
        return nullptr;
    }
    if (!everyCallCounts) bitmap->flags |= VZ_BITMAP_COUNTED;
    if (mode == 0) {
        bitmap->refCount = 0;
        bitmap->flags &= static_cast<uint8_t>(~VZ_BITMAP_COUNTED);
    }
    unlockEngineMutex(MUTEX_GET_BITMAP);
    if (mode != 0) {
        if (everyCallCounts && printCounts()) api()->Print("'%s' ref count = 1", name);
        api()->SetBitmapCacheMode(bitmap, mode);
        api()->SetBitmapFrame(bitmap, 0);
        return bitmap;
    }
    if (printCounts()) api()->Print("'%s' ref count = 0 (CACHE_NOTHING)", name);
    return bitmap;
}

// The record goes back to the pool. Under GET_BITMAP.
void releaseFully(VozerBitmap* bitmap) {
    VozerMutex* lock = bitmap->lock;
    lockObject(lock);
    bitmap->loadState = 0;
    forgetQueuedUpload(bitmap);
    releaseBitmapHardware(bitmap);
    freeBitmapPixels(bitmap);
    freeBitmapFrames(bitmap);
    image::freeImagePixels(bitmap);
    forgetRenderTarget(bitmap);
    std::free(bitmap->name);
    bitmap->name = nullptr;
    std::free(bitmap->sourceFile);
    bitmap->sourceFile = nullptr;
    unlockObject(lock);
    if (lock && lock != engineMutex(MUTEX_SHARED_BITMAP)) destroyLockObject(lock);
    bitmap->lock = nullptr;
}

// Upload at once when the caller may talk to the renderer, else queue.
void uploadOrQueue(VozerBitmap* bitmap) {
    if (!bitmap->pixels && !bitmap->frames && !bitmap->atlas) return;  // nothing to upload
    if (mayTalkToRenderer()) {
        EngineLock gfx(MUTEX_GFX_HW);
        requestBitmapUpload(bitmap);
    } else {
        requestBitmapUpload(bitmap);
    }
}

// The frame draws from a record's texture, size and flags without a lock
// (a lock per sprite would cost more than the sprite). So off the main
// thread an uploaded record keeps those as they are: pixels it needs again
// are read beside them, and dropping its texture (and, for CACHE_NOTHING, its
// frames) is left to the frame loop, which serves the record between frames.
bool drawnMeanwhile(const VozerBitmap* bitmap) { return bitmap->hw.hasTexture && !mayTalkToRenderer(); }

// The pixels of an uploaded bitmap, read again into a scratch record and
// moved over: a load resets the size and flags that the frame draws from.
void reloadPixelsBeside(VozerBitmap* bitmap) {
    VozerBitmap scratch{};
    scratch.name = bitmap->name;
    scratch.loadState = 1;
    scratch.flags = VZ_BITMAP_RELOADABLE;
    const bool loaded = loadBitmapData(&scratch) && scratch.pixels && !scratch.frames;
    if (loaded) {
        image::freeImagePixels(bitmap);
        bitmap->pixels = scratch.pixels;
        bitmap->dataWidth = scratch.dataWidth;
        bitmap->dataHeight = scratch.dataHeight;
        scratch.pixels = nullptr;
    }
    freeBitmapPixels(&scratch);
    freeBitmapFrames(&scratch);
    std::free(scratch.sourceFile);
}

void changeCacheMode(VozerBitmap* bitmap, int32_t requested, bool addToOld) {
    if (!bitmap) return;
    VozerMutex* lock = bitmap->lock;
    lockObject(lock);
    const int32_t mode = addToOld ? (bitmap->cacheMode | requested) : requested;
    if (!bitmap->name || isPlaceholderName(bitmap->name) || bitmap->sameAs || mode == bitmap->cacheMode) {
        unlockObject(lock);
        return;
    }
    const bool reloadable = bitmap->flags & VZ_BITMAP_RELOADABLE;
    if (!reloadable && !bitmap->pixels) {
        unlockObject(lock);
        api()->Log(VZ_WARNING, "Bitmap '%s' not reloadable, can't change cache mode.", bitmap->name);
        return;
    }
    const bool atlasHasPixels = bitmap->atlas && bitmap->atlas->pixels;
    if (reloadable && (mode & (VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE)) && !bitmap->pixels && !atlasHasPixels) {
        // A sequence keeps its frames when its pixels go after the upload.
        // Reading it again makes new frames, so the textures of the old ones
        // go back first (they would be lost with the frames). While the frame
        // may be drawing the old ones, a sequence stays as it is.
        const bool sequence = bitmap->frames || bitmap->atlas;
        const int32_t shown = bitmap->frameNumber;
        if (drawnMeanwhile(bitmap)) {
            if (!sequence) reloadPixelsBeside(bitmap);
        } else {
            if (sequence) {
                releaseBitmapHardware(bitmap);
                freeBitmapFrames(bitmap);
            }
            bitmap->loadState = 1;
            loadBitmapData(bitmap);
            if (sequence) api()->SetBitmapFrame(bitmap, shown);  // the animation goes on where it was
        }
    }
    if ((mode & VZ_CACHE_HARDWARE) && !bitmap->hw.hasTexture) uploadOrQueue(bitmap);
    const bool uploaded = bitmap->hw.hasTexture;
    if (reloadable && !(mode & VZ_CACHE_SYSTEM) && (uploaded || !(mode & VZ_CACHE_HARDWARE)))
        freeBitmapPixels(bitmap);
    const bool dropLater = uploaded && !(mode & VZ_CACHE_HARDWARE) && drawnMeanwhile(bitmap);
    if (dropLater) {
        queueBitmapUpload(bitmap);
    } else {
        if (uploaded && !(mode & VZ_CACHE_HARDWARE)) releaseBitmapHardware(bitmap);
        if (mode == VZ_CACHE_NOTHING) {
            freeBitmapFrames(bitmap);
            bitmap->loadState = 1;
        }
    }
    bitmap->cacheMode = static_cast<int8_t>(mode);
    unlockObject(lock);
}

}  // namespace

namespace slots {

VozerBitmap* GetBitmap(const char* name) { return lookUp(name, DEFAULT_CACHE_MODE, false); }

VozerBitmap* GetBitmapEx(const char* name, int32_t mode) { return lookUp(name, mode, false); }

VozerBitmap* LoadBitmap(const char* name, int32_t mode) { return lookUp(name, mode, true); }

void ReleaseBitmap(VozerBitmap* bitmap) {
    if (!bitmap || foreign(bitmap, "ZT_ReleaseBitmap") || !bitmap->name || isPlaceholderName(bitmap->name))
        return;
    // The render-target stack is the main thread's (a worker cannot release
    // a bitmap for good anyway).
    if (isMainThread() && bitmap == currentRenderTarget()) {
        api()->Popup(VZ_WARNING,
                     "ZT_ReleaseBitmap: Releasing current render target bitmap '%s' is not allowed. Please fix "
                     "your application code to first set the render target to NULL.",
                     bitmap->name);
        api()->SetRenderTarget(nullptr);
    }
    lockEngineMutex(MUTEX_GET_BITMAP);
    if (!bitmap->name) {  // released by another thread meanwhile
        unlockEngineMutex(MUTEX_GET_BITMAP);
        return;
    }
    if (referenceCountingOn()) {
        --bitmap->refCount;
        if (printCounts()) api()->Print("ReleaseBitmap: '%s' ref count--: now %d", bitmap->name, bitmap->refCount);
        lockObject(bitmap->lock);  // a load on another thread writes the flags
        const uint8_t flags = bitmap->flags;
        unlockObject(bitmap->lock);
        const bool tooMany = (flags & VZ_BITMAP_COUNTED) && bitmap->refCount == 0 && countErrorPopups();
        const bool belowZero = bitmap->refCount < 0;
        if (belowZero) bitmap->refCount = 0;
        if (bitmap->refCount == 0 && !belowZero && (flags & VZ_BITMAP_RELOADABLE)) {
            // Still under GET_BITMAP, so that a LoadBitmap of the name on
            // another thread cannot count it up before the data is dropped.
            api()->Print("Hibernating bitmap '%s'..", bitmap->name);
            changeCacheMode(bitmap, VZ_CACHE_NOTHING, false);
        }
        const bool fullRelease = bitmap->refCount == 0 && !belowZero && !(flags & VZ_BITMAP_RELOADABLE);
        unlockEngineMutex(MUTEX_GET_BITMAP);
        // Names stay while counting is on, so the popups may read them unlocked.
        if (tooMany) {
            api()->Popup(VZ_WARNING,
                         "Releasing bitmap '%s' too many times: ref counting will get messed up. NOTE: bitmap has "
                         "been accessed using GetBitmap which increses ref count by 1 once.",
                         bitmap->name);
        }
        if (belowZero && countErrorPopups())
            api()->Popup(VZ_WARNING, "Bitmap '%s' reference count less than zero.", bitmap->name);
        if (!fullRelease) return;
        lockEngineMutex(MUTEX_GET_BITMAP);
        if (!bitmap->name || bitmap->refCount != 0) {  // counted again meanwhile
            unlockEngineMutex(MUTEX_GET_BITMAP);
            return;
        }
    }
    api()->Print("Releasing bitmap '%s'..", bitmap->name);
    if (!mayTalkToRenderer()) {
        api()->Popup(VZ_ERROR, "ZT_ReleaseBitmap '%s' without reference counting is not possible from non-main thread.",
                     bitmap->name);
        unlockEngineMutex(MUTEX_GET_BITMAP);
        return;
    }
    if (bitmap->loadState == 0) {
        api()->Log(VZ_WARNING, "Trying to release null bitmap.");
        unlockEngineMutex(MUTEX_GET_BITMAP);
        return;
    }
    releaseFully(bitmap);
    unlockEngineMutex(MUTEX_GET_BITMAP);
}

vz_bool SaveBitmap(VozerBitmap* bitmap, const char* path, int32_t quality) {
    if (!bitmap || !path || foreign(bitmap, "ZT_SaveBitmap") || !bitmap->name) return 0;
    lockObject(bitmap->lock);
    const bool saved = image::saveImage(bitmap, path, quality);
    unlockObject(bitmap->lock);
    return saved ? 1 : 0;
}

// Pixels the Program changed go to the texture again; a bitmap whose pixels
// were dropped after its upload is first read from its source once more.
void RefreshBitmap(VozerBitmap* bitmap) {
    if (!bitmap || foreign(bitmap, "ZT_RefreshBitmap") || !bitmap->name || isPlaceholderName(bitmap->name))
        return;
    if (std::strncmp(bitmap->name, "http://", 7) == 0) {
        // The cached copy goes, so that dropping the data and asking for it
        // again downloads the file anew. A name without extension was found
        // under one of the endings: that is the cached file.
        // A load on another thread may be choosing the source file: read it
        // and the mode under the record's lock.
        lockObject(bitmap->lock);
        const int32_t mode = bitmap->cacheMode;
        const std::string cache = fs::cacheFileName(bitmap->sourceFile ? bitmap->sourceFile : bitmap->name);
        unlockObject(bitmap->lock);
        if (!cache.empty()) api()->DeleteFile(cache.c_str());
        api()->SetBitmapCacheMode(bitmap, 0);
        api()->SetBitmapCacheMode(bitmap, mode);
        return;
    }
    if (!mayTalkToRenderer()) {
        api()->Popup(VZ_WARNING,
                     "Refreshing bitmaps from another thread than main has not been tested properly yet. Not "
                     "refreshing bitmap.");
        return;
    }
    RuntimeState& state = rt();
    if (bitmap->flags & VZ_BITMAP_RENDER_TARGET) {
        EngineLock gfx(MUTEX_GFX_HW);
        if (state.renderer && state.rendererReady)
            state.renderer->ops->CopyRenderTargetToBitmapPixels(state.renderer, bitmap);
        return;
    }
    lockObject(bitmap->lock);
    const bool reread = !bitmap->pixels && !bitmap->frames && (bitmap->flags & VZ_BITMAP_RELOADABLE);
    if (reread) {
        bitmap->loadState = 1;
        loadBitmapData(bitmap);
    }
    {
        EngineLock gfx(MUTEX_GFX_HW);
        bitmap->loadState = 2;
        if (bitmap->pixels || bitmap->frames) requestBitmapUpload(bitmap);
        bitmap->loadState = 3;
    }
    if (reread && !(bitmap->cacheMode & VZ_CACHE_SYSTEM) && bitmap->hw.hasTexture) freeBitmapPixels(bitmap);
    unlockObject(bitmap->lock);
}

void ResizeBitmap(VozerBitmap* bitmap, int32_t width, int32_t height) {
    if (!bitmap || foreign(bitmap, "ZT_ResizeBitmap") || !bitmap->name || width <= 0 || height <= 0) return;
    lockObject(bitmap->lock);
    VozerBitmap scratch{};
    if (bitmap->pixels && image::createImageResized(&scratch, bitmap, width, height)) {
        std::swap(bitmap->width, scratch.width);
        std::swap(bitmap->height, scratch.height);
        std::swap(bitmap->pixels, scratch.pixels);
        std::swap(bitmap->dataWidth, scratch.dataWidth);
        std::swap(bitmap->dataHeight, scratch.dataHeight);
        image::freeImagePixels(&scratch);
    }
    unlockObject(bitmap->lock);
}

void SetBitmapCacheMode(VozerBitmap* bitmap, int32_t mode) {
    if (!bitmap || foreign(bitmap, "ZT_SetBitmapCacheMode")) return;
    changeCacheMode(bitmap, mode, false);
}

VozerBitmap* CreateBitmap(const char* requested, int32_t width, int32_t height, int32_t kind) {
    const char* name = requested ? requested : "";
    lockEngineMutex(MUTEX_GET_BITMAP);
    if (VozerBitmap* existing = findBitmap(name)) {
        const bool capped = countOnce(existing, "'%s' ref count++: now %d");
        unlockEngineMutex(MUTEX_GET_BITMAP);
        if (capped) capPopup(existing);
        return existing;
    }
    api()->Print("..creating bitmap '%s' (%dx%d)", name, width, height);
    const int64_t bytes = static_cast<int64_t>(width) * height * 4;
    if (width <= 0 || height <= 0 || bytes > 0x7FFFFFFF) {
        unlockEngineMutex(MUTEX_GET_BITMAP);
        api()->Popup(VZ_WARNING, "ZT_CreateBitmap: bitmap '%s' can't be %dx%d pixels.", name, width, height);
        return nullptr;
    }
    VozerBitmap* bitmap = takeSlot();
    if (!bitmap || !initRecord(bitmap, name)) {
        unlockEngineMutex(MUTEX_GET_BITMAP);
        api()->Popup(VZ_WARNING, OUT_OF_BITMAPS);
        return nullptr;
    }
    if (printCounts()) api()->Print("'%s' ref count = 1", name);
    lockObject(bitmap->lock);
    unlockEngineMutex(MUTEX_GET_BITMAP);
    bitmap->flags &= static_cast<uint8_t>(~VZ_BITMAP_RELOADABLE);
    bitmap->width = bitmap->dataWidth = width;
    bitmap->height = bitmap->dataHeight = height;
    bitmap->packMode = VZ_NO_PADDING;
    if (kind != 1) {
        image::allocateImagePixels(bitmap, width, height);
        bitmap->cacheMode = VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE;
    } else {
        bitmap->flags |= VZ_BITMAP_RENDER_TARGET;
        if (!mayTalkToRenderer()) {
            queueBitmapUpload(bitmap);
        } else {
            EngineLock gfx(MUTEX_GFX_HW);
            RuntimeState& state = rt();
            if (state.renderer && state.rendererReady) state.renderer->ops->CreateRenderTarget(state.renderer, bitmap);
        }
    }
    bitmap->loadState = 3;
    unlockObject(bitmap->lock);
    return bitmap;
}

// Under the record lock: a worker may hibernate the sequence (freeing its
// frames) while another thread selects a frame. Off the main thread the
// frame that the frame loop draws is chosen by the frame loop: the choice is
// kept in the frame number and served between frames.
void SetBitmapFrame(VozerBitmap* bitmap, int32_t index) {
    if (!bitmap) return;
    VozerMutex* lock = bitmap->lock;
    lockObject(lock);
    if (bitmap->frames && bitmap->frameCount > 0) {
        const int32_t i = (index < 0 ? 0 : index) % bitmap->frameCount;
        const VozerBitmap& frame = bitmap->frames[i];
        bitmap->frameNumber = i;
        if (drawnMeanwhile(bitmap)) {
            queueBitmapUpload(bitmap);
        } else {
            bitmap->width = frame.width;
            bitmap->height = frame.height;
            const uint8_t flags =
                static_cast<uint8_t>((bitmap->flags & ~VZ_BITMAP_HAS_ALPHA) | (frame.flags & VZ_BITMAP_HAS_ALPHA));
            if (flags != bitmap->flags) bitmap->flags = flags;
            bitmap->pixels = frame.pixels;
            // Not written when equal: the frame reads the texture flag unlocked.
            if (std::memcmp(&bitmap->hw, &frame.hw, sizeof bitmap->hw) != 0) bitmap->hw = frame.hw;
        }
    }
    unlockObject(lock);
}

}  // namespace slots
}  // namespace vz
