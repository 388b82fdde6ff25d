// Work on pooled resources that must happen on the main thread with the
// renderer: queued uploads and releases, restoring textures after a renderer
// start, and the release of what is still referenced at exit.
//
// A renderer that cannot be called from any thread (the shipped one) only
// gets uploads, render-target creation and texture releases on the main
// thread; other threads queue them here and the frame loop serves them
// between frames within a time budget ("ResourceQueue" in messages).
#pragma once

#include <cstdint>

#include "vozer_render_types.h"
#include "vozer_types.h"

namespace vz {

// The frame's budget for uploads; each entry is checked after it is done, so
// at least one entry of each non-empty list is served per frame.
constexpr uint32_t RESOURCE_QUEUE_BUDGET_MS = 50;

// Between frames: queued texture releases, then font and bitmap uploads
// within the frame's time budget.
void serviceResourceQueues();
// After a renderer (re)start: take its pixel byte order and give every
// bitmap in use its texture again.
void restoreResources();
// Release every texture the renderer holds for pooled resources. Takes the
// pool, record and GFX_HW locks itself, in that order: the caller holds none
// of them (or holds them all already, on the main thread).
void releaseAllTextures();

// Upload the bitmap (or every frame of a sequence) now, or queue it when the
// caller may not talk to the renderer. The caller holds GFX_HW when it may.
void requestBitmapUpload(VozerBitmap* bitmap);
// Append to the upload queue unless it is there already (render targets are
// created by the frame loop from the same queue).
void queueBitmapUpload(VozerBitmap* bitmap);
// Drop the bitmap from the upload queue (it was released for good).
void forgetQueuedUpload(VozerBitmap* bitmap);
bool isQueuedForUpload(const VozerBitmap* bitmap);
// Release the bitmap's texture(s) now, or queue the release.
void releaseBitmapHardware(VozerBitmap* bitmap);
// Wait up to a second for a renderer while holding GFX_HW; true when one is bound.
bool regainRenderer();

// Fonts upload their glyph atlas through a function of the font manager;
// queued fonts are served before bitmaps. `name` is for messages.
using FontUploader = void (*)(VozerFont* font);
void queueFontUpload(VozerFont* font, const char* name, FontUploader upload);

// Empty every queue, freeing the queued release blocks (end of a run).
void clearResourceQueues();

// After the sound library changed: load every sound of the pool again,
// warning about each one that fails.
void reloadSounds();

enum class LeakedKind { Bitmaps, Sounds, Fonts };
// At exit: release what is still referenced, reporting it when counting is on.
void releaseLeakedResources(LeakedKind kind);

}  // namespace vz
