// Transform, vertex-callback and render-target stacks, the clip rectangle and
// the depth range. The stacks belong to the thread that draws; the renderer
// is told about every change while it is ready, and is brought up to date by
// the frame's screen transform and RestoreResources when it starts later.
#include <cstring>

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "core/resolution.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

VozerRendImp* readyRenderer() {
    RuntimeState& state = rt();
    return (state.renderer && state.rendererReady) ? state.renderer : nullptr;
}

const float* topTransform() {
    const RuntimeState& state = rt();
    return state.transformDepth >= 0 ? state.drawing.transforms[state.transformDepth] : IDENTITY;
}

// Batched quads were built under the old transform: the renderer draws them
// before it takes the new one.
void handTransformToRenderer() {
    if (VozerRendImp* r = readyRenderer()) {
        r->ops->Flush(r);
        r->ops->SetWorldTransform(r, topTransform());
    }
}

// out = a x b, row-major 4x4.
void multiply(const float* a, const float* b, float* out) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
            out[i * 4 + j] = sum;
        }
    }
}

}  // namespace

void runVertexCallbacks(VozerVertex* vertices, int32_t count) {
    DrawState& d = rt().drawing;
    for (int32_t i = d.firstActiveCallback; i <= d.callbackTop; ++i) {
        const VertexCallbackEntry entry = d.callbacks[i];
        if (entry.callback) entry.callback(vertices, count, entry.userData);
    }
}

VozerBitmap* currentRenderTarget() { return rt().drawing.currentTarget; }

void forgetRenderTarget(VozerBitmap* bitmap) {
    if (!bitmap) return;
    for (VozerBitmap*& entry : rt().renderTargets) {
        if (entry == bitmap) entry = nullptr;
    }
}

void reapplyDepthSettings() {
    DrawState& d = rt().drawing;
    api()->SetDepth(d.depth);
    api()->SetDepthRange(d.nearZ, d.middleZ, d.farZ);
}

namespace slots {

// A full stack ignores the push without a message, so the matching pop takes
// an older entry; the frame-end check then reports the imbalance.
void PushTransform(const float* matrix) {
    RuntimeState& state = rt();
    if (state.transformDepth >= TRANSFORM_STACK_SIZE - 1) return;
    float* next = state.drawing.transforms[state.transformDepth + 1];
    if (!matrix) {
        std::memcpy(next, IDENTITY, sizeof IDENTITY);
    } else if (state.transformDepth < 0) {
        std::memcpy(next, matrix, sizeof IDENTITY);
    } else {
        multiply(state.drawing.transforms[state.transformDepth], matrix, next);
    }
    ++state.transformDepth;
    handTransformToRenderer();
}

void PopTransform() {
    RuntimeState& state = rt();
    if (state.transformDepth < 0) {
        api()->Popup(VZ_WARNING, "Calling ZT_PopTransform() too many times! Check your code!");
        return;
    }
    --state.transformDepth;
    handTransformToRenderer();
}

void GetTransform(float* out) {
    if (out) std::memcpy(out, topTransform(), sizeof IDENTITY);
}

void PushVertexCallback(VozerVertexCallback callback, void* userData) {
    DrawState& d = rt().drawing;
    if (d.callbackTop >= VERTEX_CALLBACK_STACK_SIZE - 1) return;
    ++d.callbackTop;
    d.callbacks[d.callbackTop] = {callback, userData};
    if (!callback) d.firstActiveCallback = d.callbackTop + 1;
}

void PopVertexCallback() {
    DrawState& d = rt().drawing;
    if (d.callbackTop < 0) return;
    --d.callbackTop;
    if (d.callbackTop < d.firstActiveCallback - 1) {
        // The barrier in force went: the one below it (if any) rules again.
        d.firstActiveCallback = 0;
        for (int32_t i = d.callbackTop; i >= 0; --i) {
            if (!d.callbacks[i].callback) {
                d.firstActiveCallback = i + 1;
                break;
            }
        }
    }
}

vz_bool RemoveVertexCallback(VozerVertexCallback callback, void* userData) {
    DrawState& d = rt().drawing;
    for (int32_t i = d.firstActiveCallback; i <= d.callbackTop; ++i) {
        if (d.callbacks[i].callback != callback || d.callbacks[i].userData != userData) continue;
        for (int32_t j = i; j < d.callbackTop; ++j) d.callbacks[j] = d.callbacks[j + 1];
        --d.callbackTop;
        return 1;
    }
    return 0;
}

void ApplyVertexCallbacks(VozerVertex* vertex) {
    if (vertex) runVertexCallbacks(vertex, 1);
}

// Drawing into a bitmap starts untransformed (an identity pushed over the
// screen transform) and returning to the screen pops it again. When the
// renderer refuses a bitmap it stays on (or falls back to) the screen, and so
// does the bookkeeping here, so a refused target neither leaves an identity
// on the transform stack nor makes later drawing think it goes into a bitmap.
vz_bool SetRenderTarget(VozerBitmap* bitmap) {
    DrawState& d = rt().drawing;
    if (bitmap == d.currentTarget) return 1;
    vz_bool result = 0;
    if (VozerRendImp* r = readyRenderer()) {
        r->ops->Flush(r);
        result = r->ops->SetRenderTarget(r, bitmap) ? 1 : 0;
    }
    VozerBitmap* target = result ? bitmap : nullptr;
    if (bitmap && !result && d.currentTarget) {
        // The renderer is back on the screen after refusing the new bitmap.
        if (VozerRendImp* r = readyRenderer()) r->ops->SetRenderTarget(r, nullptr);
    }
    if (!d.currentTarget && target) PushTransform(nullptr);
    if (d.currentTarget && !target) PopTransform();
    d.currentTarget = target;
    if (VozerRendImp* r = readyRenderer()) r->ops->SetWorldTransform(r, topTransform());
    return result;
}

vz_bool PushRenderTarget(VozerBitmap* bitmap) {
    if (!SetRenderTarget(bitmap)) return 0;
    rt().renderTargets.push_back(bitmap);
    return 1;
}

vz_bool PopRenderTarget() {
    std::vector<VozerBitmap*>& stack = rt().renderTargets;
    if (stack.size() < 2) {
        api()->Popup(VZ_WARNING,
                     "PopRenderTarget: Render Target Stack is empty! You're calling too many times "
                     "PopRenderStack. Make sure you're calling same amount of PushRenderTarget and "
                     "PopRenderTarget calls during a render frame.");
        return 0;
    }
    const vz_bool result = SetRenderTarget(stack[stack.size() - 2]);
    stack.pop_back();
    return result;
}

// The Program gives the rectangle in its reference resolution; the renderer
// clips in screen pixels, so it goes through the screen transform's scale and
// offset (identity when the picture is not scaled).
void SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    VozerRendImp* r = readyRenderer();
    if (!r) return;
    float screen[16];
    buildScreenTransform(screen);
    const float scaleX = screen[0], scaleY = screen[5], offsetX = screen[3], offsetY = screen[7];
    r->ops->SetClipRect(r, static_cast<int32_t>(static_cast<float>(x) * scaleX + offsetX),
                        static_cast<int32_t>(static_cast<float>(y) * scaleY + offsetY),
                        static_cast<int32_t>(static_cast<float>(width) * scaleX),
                        static_cast<int32_t>(static_cast<float>(height) * scaleY));
}

void ResetClipRect() {
    VozerRendImp* r = readyRenderer();
    const VozerProgramRecord* program = rt().shared.program;
    if (r && program) r->ops->SetClipRect(r, 0, 0, program->display.width, program->display.height);
}

void SetDepthRange(float nearZ, float middleZ, float farZ) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (r) r->ops->Flush(r);
    if (!(nearZ >= 0.1f)) nearZ = 0.1f;  // also catches NaN
    if (!(farZ >= nearZ)) farZ = nearZ;
    d.nearZ = nearZ;
    d.middleZ = middleZ;
    d.farZ = farZ;
    if (r) r->ops->SetDepthRange(r, nearZ, middleZ, farZ);
}

}  // namespace slots
}  // namespace vz
