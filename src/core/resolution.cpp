// Resolution choice without autoscaling: the Program gets the size it asks
// for (a usable default when it asks for none) and draws 1:1 onto the screen.
#include "core/resolution.h"

#include "state/runtime_state.h"

namespace vz {

namespace {
constexpr int32_t DEFAULT_WIDTH = 800;
constexpr int32_t DEFAULT_HEIGHT = 600;
}  // namespace

void chooseResolution(bool windowed, bool /*variantForced*/) {
    VozerDisplayParams& requested = rt().requested;
    if (requested.width <= 0 || requested.height <= 0) {
        requested.width = DEFAULT_WIDTH;
        requested.height = DEFAULT_HEIGHT;
    }
    requested.windowed = windowed ? 1 : 0;
}

void applyOrientationAndDeviceSize() {}
void setupAutoscaling() {}
void updateAutoscaling() {}
void advanceRotationAngle() {}

void buildScreenTransform(float out[16]) {
    for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void drawLetterbox() {}

}  // namespace vz
