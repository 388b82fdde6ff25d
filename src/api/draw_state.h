// The drawing state shared by the transform, vertex-callback and
// render-target stacks and the drawing primitives. One instance lives in the
// runtime record (rt().drawing), so the runtime-state reset puts it back to
// its defaults; it belongs to the thread that draws and is not locked.
#pragma once

#include <cstdint>

#include "vozer_api.h"

namespace vz {

constexpr int TRANSFORM_STACK_SIZE = 32;
constexpr int VERTEX_CALLBACK_STACK_SIZE = 16;

struct VertexCallbackEntry {
    VozerVertexCallback callback;  // null: a barrier hiding the entries below
    void* userData;
};

struct DrawState {
    DrawState();

    // Transform stack; its top index is RuntimeState::transformDepth (-1 when
    // empty), which the frame loop checks at the end of every frame.
    float transforms[TRANSFORM_STACK_SIZE][16];

    VertexCallbackEntry callbacks[VERTEX_CALLBACK_STACK_SIZE];
    int32_t callbackTop = -1;
    int32_t firstActiveCallback = 0;

    // The bitmap being drawn into; null is the screen. The stack of pushed
    // targets is RuntimeState::renderTargets.
    VozerBitmap* currentTarget = nullptr;

    float nearZ = 0.1f, middleZ = 0.5f, farZ = 1.0f;

    // Quad buffer of the primitives (Z order) and the one of DrawQuad and
    // DrawQuadRaw, which holds the caller's vertices.
    VozerVertex quad[4];
    VozerVertex rawQuad[4];
    float red = 1.0f, green = 1.0f, blue = 1.0f, alpha = 1.0f;
    uint32_t colorWord = 0xFFFFFFFFu;
    float depth = 0.5f;
};

// Run the active vertex callbacks over `count` vertices (nothing when none is
// pushed).
void runVertexCallbacks(VozerVertex* vertices, int32_t count);
// The bitmap currently drawn into, null for the screen.
VozerBitmap* currentRenderTarget();
// A bitmap that is released for good leaves the render-target stack: its
// entries become the screen, so a later pop cannot bind a dead record.
void forgetRenderTarget(VozerBitmap* bitmap);
// Hand the stored drawing depth and depth range to a freshly started renderer.
void reapplyDepthSettings();

}  // namespace vz
