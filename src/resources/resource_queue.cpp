// The resource pools hold no bitmaps yet in this build, so the bitmap queues
// are always empty; fonts have their own upload step. The renderer's pixel
// byte order is still taken on every start because image decoding depends on it.
#include "resources/resource_queue.h"

#include "api/engine_api.h"
#include "api/threads.h"
#include "font/font_atlas.h"
#include "font/font_pool.h"
#include "state/runtime_state.h"

namespace vz {

namespace {
constexpr uint32_t UPLOAD_BUDGET_MS = 50;  // a frame's upload work, checked after each item
}  // namespace

void serviceResourceQueues() {
    const uint32_t start = api()->GetTime();
    EngineLock gfx(MUTEX_GFX_HW);
    font::serviceFontQueues(start, UPLOAD_BUDGET_MS);
}

void restoreResources() {
    RuntimeState& state = rt();
    if (state.renderer) state.pixelByteOrder = state.renderer->ops->GetPixelByteOrder(state.renderer);
    font::recreateAllFontAtlases();
}

void releaseAllTextures() { font::releaseAllFontTextures(); }

void reloadSounds() {}

void releaseLeakedResources(LeakedKind kind) {
    if (kind == LeakedKind::Fonts) font::releaseLeakedFonts();
}

}  // namespace vz
