// Work on pooled resources that must happen on the main thread with the
// renderer: queued uploads and releases, restoring textures after a renderer
// start, and the release of what is still referenced at exit.
#pragma once

namespace vz {

// Between frames: queued texture releases, then font and bitmap uploads
// within the frame's time budget.
void serviceResourceQueues();
// After a renderer (re)start: take its pixel byte order and give every
// bitmap in use its texture again.
void restoreResources();
// Release every texture the renderer holds for pooled resources (GFX_HW and
// GET_BITMAP held by the caller).
void releaseAllTextures();

// After the sound library changed: load every sound of the pool again,
// warning about each one that fails.
void reloadSounds();

enum class LeakedKind { Bitmaps, Sounds, Fonts };
// At exit: release what is still referenced, reporting it when counting is on.
void releaseLeakedResources(LeakedKind kind);

}  // namespace vz
