// The resource pools hold nothing yet in this build, so the queues are
// always empty; the renderer's pixel byte order is still taken on every
// start because image decoding depends on it.
#include "resources/resource_queue.h"

#include "state/runtime_state.h"

namespace vz {

void serviceResourceQueues() {}

void restoreResources() {
    RuntimeState& state = rt();
    if (state.renderer) state.pixelByteOrder = state.renderer->ops->GetPixelByteOrder(state.renderer);
}

void releaseAllTextures() {}

void releaseLeakedResources(LeakedKind) {}

}  // namespace vz
