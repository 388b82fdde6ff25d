// The resource and hardware upload queues, and restoring textures after a
// renderer start. No thread of its own: other threads append under
// RESOURCE_QUEUE, the frame loop drains copies of the lists on the main
// thread, so workers can keep appending while it uploads.
#include "resources/resource_queue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "core/program_binding.h"
#include "font/font_pool.h"
#include "resources/bitmap_pool.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

constexpr int REGAIN_TRIES = 10;
constexpr uint32_t REGAIN_WAIT_MS = 100;

struct FontEntry {
    VozerFont* font;
    std::string name;
    FontUploader upload;
};

struct ResourceQueues {
    std::vector<VozerBitmap*> uploads;          // queued at most once each
    std::vector<FontEntry> fonts;               // queued at most once each
    std::vector<VozerHardwareData*> releases;   // owned copies of released hardware data
};

ResourceQueues& queues() {
    static ResourceQueues* q = new ResourceQueues();  // workers may append until the process ends
    return *q;
}

void removeFirst(std::vector<VozerBitmap*>& list, const VozerBitmap* bitmap) {
    auto it = std::find(list.begin(), list.end(), bitmap);
    if (it != list.end()) list.erase(it);
    if (list.empty()) list.shrink_to_fit();
}

uint32_t elapsedSince(uint32_t start) { return api()->GetTime() - start; }

// An event word pair holding a record pointer (see vz_event_pointer).
void sendRenderTargetLost(VozerBitmap* bitmap) {
    const uint64_t value = reinterpret_cast<uintptr_t>(bitmap);
    VozerEvent event{};
    event.type = VZ_EVENT_RENDER_TARGET_LOST;
    event.words[0] = static_cast<int32_t>(static_cast<uint32_t>(value));
    event.words[1] = static_cast<int32_t>(static_cast<uint32_t>(value >> 32));
    sendProgramEvent(event);
}

// The texture of every frame of a sequence was its own or the atlas's; once
// released none of the copies may still claim it.
void forgetFrameTextures(VozerBitmap* bitmap) {
    for (int32_t i = 0; bitmap->frames && i < bitmap->frameCount; ++i)
        std::memset(&bitmap->frames[i].hw, 0, sizeof(VozerHardwareData));
    std::memset(&bitmap->hw, 0, sizeof bitmap->hw);
}

// Under RESOURCE_QUEUE: move the hardware data into the release queue.
void queueHardwareRelease(VozerBitmap* bitmap) {
    if (!bitmap->hw.hasTexture) {
        api()->Popup(VZ_WARNING,
                     "ZTI_QueueBitmapHardwareDataRelease: Bitmap '%s' hw data is not ready. No reason to release.",
                     bitmap->name ? bitmap->name : "");
        return;
    }
    auto* block = new VozerHardwareData(bitmap->hw);
    std::memset(&bitmap->hw, 0, sizeof bitmap->hw);
    queues().releases.push_back(block);
}

void releaseNow(VozerRendImp* r, VozerHardwareData& hw) {
    if (hw.hasTexture) r->ops->ReleaseTexture(r, &hw);
    std::memset(&hw, 0, sizeof hw);
}

// The texture of a plain bitmap, of each frame that owns its image, or of the
// atlas that the frames share.
void releaseTexturesNow(VozerRendImp* r, VozerBitmap* bitmap) {
    if (bitmap->atlas) {
        releaseNow(r, bitmap->atlas->hw);
    } else if (bitmap->frames) {
        for (int32_t i = 0; i < bitmap->frameCount; ++i) {
            if (!bitmap->frames[i].sameAs) releaseNow(r, bitmap->frames[i].hw);
        }
    } else {
        releaseNow(r, bitmap->hw);
        return;
    }
    forgetFrameTextures(bitmap);
}

// A frame of a sequence packed into an atlas shares the atlas's texture; its
// own texture coordinates place it inside.
void takeAtlasTexture(VozerHardwareData& frame, const VozerHardwareData& atlas) {
    frame.hasTexture = atlas.hasTexture;
    frame.textureWidth = atlas.textureWidth;
    frame.textureHeight = atlas.textureHeight;
    frame.texture = atlas.texture;
    std::memcpy(frame.rendererPrivate, atlas.rendererPrivate, sizeof frame.rendererPrivate);
}

// An uploaded record that another thread queued: its texture dropped (and,
// for CACHE_NOTHING, its frames), or the frame it chose selected. Main
// thread, record lock and GFX_HW held.
void serveUploadedRecord(VozerBitmap* bitmap) {
    RuntimeState& state = rt();
    if (!(bitmap->cacheMode & VZ_CACHE_HARDWARE)) {
        if (state.renderer && state.rendererReady) releaseTexturesNow(state.renderer, bitmap);
        if (bitmap->cacheMode == VZ_CACHE_NOTHING) {
            freeBitmapFrames(bitmap);
            bitmap->loadState = 1;
        }
    } else if (bitmap->frames) {
        api()->SetBitmapFrame(bitmap, bitmap->frameNumber);
    }
}

}  // namespace

bool mayTalkToRenderer() {
    if (isMainThread()) return true;
    VozerRendImp* r = rt().renderer;
    return r && r->ops->CanUploadFromAnyThread(r);
}

void queueBitmapUpload(VozerBitmap* bitmap) {
    EngineLock lock(MUTEX_RESOURCE_QUEUE);
    std::vector<VozerBitmap*>& uploads = queues().uploads;
    if (std::find(uploads.begin(), uploads.end(), bitmap) == uploads.end()) uploads.push_back(bitmap);
}

void forgetQueuedUpload(VozerBitmap* bitmap) {
    EngineLock lock(MUTEX_RESOURCE_QUEUE);
    removeFirst(queues().uploads, bitmap);
}

bool isQueuedForUpload(const VozerBitmap* bitmap) {
    EngineLock lock(MUTEX_RESOURCE_QUEUE);
    const std::vector<VozerBitmap*>& uploads = queues().uploads;
    return std::find(uploads.begin(), uploads.end(), bitmap) != uploads.end();
}

bool regainRenderer() {
    RuntimeState& state = rt();
    if (state.renderer) return true;
    if (state.shuttingDown) return false;  // the releases at exit would each wait in vain
    api()->Print("Renderer implementation lost, trying to regain...\n");
    for (int attempt = 1; attempt <= REGAIN_TRIES; ++attempt) {
        unlockEngineMutex(MUTEX_GFX_HW);
        api()->Sleep(REGAIN_WAIT_MS);
        lockEngineMutex(MUTEX_GFX_HW);
        if (state.renderer && state.rendererReady) {
            api()->Print("Renderer reclaimed at try #%d.\n", attempt);
            return true;
        }
    }
    return state.renderer != nullptr;
}

void requestBitmapUpload(VozerBitmap* bitmap) {
    if (!mayTalkToRenderer()) {
        queueBitmapUpload(bitmap);
        return;
    }
    if (!regainRenderer()) return;
    VozerRendImp* r = rt().renderer;
    if (!bitmap->frames) {
        if (!r->ops->UploadBitmap(r, bitmap))
            api()->Log(VZ_WARNING, "Unable to upload bitmap '%s' to renderer.\n", bitmap->name);
        return;
    }
    VozerBitmap* atlas = bitmap->atlas;
    if (atlas && !r->ops->UploadBitmap(r, atlas))
        api()->Log(VZ_WARNING, "Unable to upload bitmap '%s' to renderer.\n", bitmap->name);
    for (int32_t i = 0; i < bitmap->frameCount; ++i) {
        VozerBitmap& frame = bitmap->frames[i];
        if (atlas) takeAtlasTexture(frame.hw, atlas->hw);
        else if (!frame.sameAs && !r->ops->UploadBitmap(r, &frame))
            api()->Log(VZ_WARNING, "Unable to upload bitmap '%s' to renderer.\n", frame.name ? frame.name : "");
        if (frame.sameAs) frame.hw = frame.sameAs->hw;
    }
    api()->SetBitmapFrame(bitmap, bitmap->frameNumber);
}

void releaseBitmapHardware(VozerBitmap* bitmap) {
    if (!bitmap || !bitmap->name || isPlaceholderName(bitmap->name)) return;
    RuntimeState& state = rt();
    if (mayTalkToRenderer()) {
        EngineLock gfx(MUTEX_GFX_HW);
        if (!regainRenderer() || !state.rendererReady) return;
        releaseTexturesNow(state.renderer, bitmap);
        return;
    }
    lockEngineMutex(MUTEX_RESOURCE_QUEUE);
    std::vector<VozerBitmap*>& uploads = queues().uploads;
    if (std::find(uploads.begin(), uploads.end(), bitmap) != uploads.end()) {
        removeFirst(uploads, bitmap);
        unlockEngineMutex(MUTEX_RESOURCE_QUEUE);
        api()->Log(VZ_WARNING, "Bitmap '%s' still in hardware upload queue. Removing it.", bitmap->name);
        return;
    }
    // The frames of a sequence that has no texture now (a renderer restart
    // took them) have nothing to give back: only a plain bitmap's missing
    // texture is worth the warning.
    if (bitmap->atlas) {
        if (bitmap->atlas->hw.hasTexture) queueHardwareRelease(bitmap->atlas);
        forgetFrameTextures(bitmap);
    } else if (!bitmap->frames) {
        queueHardwareRelease(bitmap);
    } else {
        for (int32_t i = 0; i < bitmap->frameCount; ++i) {
            VozerBitmap& frame = bitmap->frames[i];
            if (!frame.sameAs && frame.hw.hasTexture) queueHardwareRelease(&frame);
        }
        forgetFrameTextures(bitmap);
    }
    unlockEngineMutex(MUTEX_RESOURCE_QUEUE);
}

void queueFontUpload(VozerFont* font, const char* name, FontUploader upload) {
    EngineLock lock(MUTEX_RESOURCE_QUEUE);
    std::vector<FontEntry>& fonts = queues().fonts;
    for (const FontEntry& entry : fonts) {
        if (entry.font == font) {
            api()->Log(VZ_WARNING, "Font '%s' already exists in upload queue, not adding twice.\n", name ? name : "");
            return;
        }
    }
    fonts.push_back({font, name ? name : "", upload});
}

void serviceResourceQueues() {
    RuntimeState& state = rt();
    ResourceQueues& q = queues();
    std::vector<VozerHardwareData*> releases;
    std::vector<FontEntry> fonts;
    std::vector<VozerBitmap*> uploads;
    {
        EngineLock lock(MUTEX_RESOURCE_QUEUE);
        releases.swap(q.releases);
        fonts = q.fonts;
        uploads = q.uploads;
    }
    if (releases.empty() && fonts.empty() && uploads.empty()) return;
    const uint32_t start = api()->GetTime();
    {
        EngineLock gfx(MUTEX_GFX_HW);
        for (VozerHardwareData* block : releases) {
            api()->Print("Freeing bitmap hardware data %dx%d.", block->textureWidth, block->textureHeight);
            if (state.renderer) state.renderer->ops->ReleaseTexture(state.renderer, block);
            delete block;
        }
    }
    for (const FontEntry& entry : fonts) {
        if (entry.font && entry.upload) entry.upload(entry.font);
        {
            EngineLock lock(MUTEX_RESOURCE_QUEUE);
            auto it = std::find_if(q.fonts.begin(), q.fonts.end(),
                                   [&](const FontEntry& queued) { return queued.font == entry.font; });
            if (it != q.fonts.end()) q.fonts.erase(it);
        }
        if (elapsedSince(start) > RESOURCE_QUEUE_BUDGET_MS) break;
    }
    size_t served = 0;
    for (VozerBitmap* bitmap : uploads) {
        // Record lock before GFX_HW, as everywhere else.
        if (bitmap && bitmap->name) {
            VozerMutex* lock = bitmap->lock;
            lockObject(lock);
            {
                EngineLock gfx(MUTEX_GFX_HW);
                if (bitmap->flags & VZ_BITMAP_RENDER_TARGET) {
                    if (state.renderer && state.rendererReady)
                        state.renderer->ops->CreateRenderTarget(state.renderer, bitmap);
                } else if (bitmap->hw.hasTexture) {
                    // Left here by another thread while the frame drew the record.
                    serveUploadedRecord(bitmap);
                } else if (!bitmap->pixels && !bitmap->frames) {
                    api()->Log(VZ_WARNING,
                               "ResourceQueue unpacking Bitmap '%s' data is not valid anymore. Most likely it has "
                               "just been released.",
                               bitmap->name);
                } else {
                    requestBitmapUpload(bitmap);
                    // A created bitmap has no source to reload from: its pixels stay.
                    if (!(bitmap->cacheMode & VZ_CACHE_SYSTEM) && (bitmap->flags & VZ_BITMAP_RELOADABLE))
                        freeBitmapPixels(bitmap);
                }
            }
            unlockObject(lock);
        }
        forgetQueuedUpload(bitmap);
        ++served;
        if (elapsedSince(start) > RESOURCE_QUEUE_BUDGET_MS) break;
    }
    if (!uploads.empty()) {
        api()->Print("ResourceQueue: %d of %d bitmap uploads served in %u ms.", static_cast<int>(served),
                     static_cast<int>(uploads.size()), elapsedSince(start));
    }
}

void restoreResources() {
    RuntimeState& state = rt();
    VozerRendImp* r = state.renderer;
    if (!r) return;
    state.pixelByteOrder = r->ops->GetPixelByteOrder(r);
    const DrawState& d = state.drawing;
    api()->SetDepth(d.depth);
    r->ops->SetDepthRange(r, d.nearZ, d.middleZ, d.farZ);
    // Record by record in the usual order: the pool lock to look at it, its
    // record lock for the work, GFX_HW for each renderer call. Workers go on
    // loading meanwhile.
    VozerBitmap* records = bitmapRecords();
    const bool counting = referenceCountingOn();
    for (int32_t i = 0;; ++i) {
        lockEngineMutex(MUTEX_GET_BITMAP);
        if (i >= bitmapHighWater()) {
            unlockEngineMutex(MUTEX_GET_BITMAP);
            break;
        }
        VozerBitmap* bitmap = &records[i];
        const bool inUse =
            bitmap->name && !isPlaceholderName(bitmap->name) && (!counting || bitmap->refCount > 0);
        VozerMutex* lock = inUse ? bitmap->lock : nullptr;
        lockObject(lock);
        unlockEngineMutex(MUTEX_GET_BITMAP);
        if (!inUse) continue;
        // A queued record is restored here all the same: the entry may be a
        // worker's note about a record that had its texture then (a frame to
        // select, a texture to drop), and the frames of an uploaded sequence
        // kept no pixels to upload from.
        if (isQueuedForUpload(bitmap)) {
            api()->Print("Bitmap '%s' already queued for upload.", bitmap->name);
            forgetQueuedUpload(bitmap);
        }
        bool announce = false;
        if (bitmap->flags & VZ_BITMAP_RENDER_TARGET) {
            EngineLock gfx(MUTEX_GFX_HW);
            r->ops->CreateRenderTarget(r, bitmap);
            announce = true;
        } else {
            const int32_t mode = bitmap->cacheMode;
            bitmap->cacheMode = -1;  // any mode counts as a change now
            api()->SetBitmapCacheMode(bitmap, mode);
        }
        api()->SetBitmapFrame(bitmap, 0);
        unlockObject(lock);
        // The Program hears of it with no lock held: it may ask for bitmaps.
        if (announce) sendRenderTargetLost(bitmap);
    }
    font::recreateAllFontAtlases();
}

void releaseAllTextures() {
    RuntimeState& state = rt();
    VozerRendImp* r = state.renderer;
    if (!r) return;
    font::releaseAllFontTextures();
    {
        EngineLock pool(MUTEX_GET_BITMAP);
        VozerBitmap* records = bitmapRecords();
        for (int32_t i = 0; i < bitmapHighWater(); ++i) {
            VozerBitmap* bitmap = &records[i];
            if (!bitmap->name) continue;
            lockObject(bitmap->lock);
            {
                EngineLock gfx(MUTEX_GFX_HW);
                releaseTexturesNow(r, bitmap);
            }
            unlockObject(bitmap->lock);
        }
    }
    // Releases queued by workers are of textures of this renderer too.
    std::vector<VozerHardwareData*> releases;
    {
        EngineLock lock(MUTEX_RESOURCE_QUEUE);
        releases.swap(queues().releases);
    }
    EngineLock gfx(MUTEX_GFX_HW);
    for (VozerHardwareData* block : releases) {
        r->ops->ReleaseTexture(r, block);
        delete block;
    }
}

void clearResourceQueues() {
    EngineLock lock(MUTEX_RESOURCE_QUEUE);
    ResourceQueues& q = queues();
    for (VozerHardwareData* block : q.releases) delete block;
    q.releases.clear();
    q.fonts.clear();
    q.uploads.clear();
}

}  // namespace vz
