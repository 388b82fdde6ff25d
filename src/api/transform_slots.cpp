// Transform, vertex-callback and render-target stacks. Not part of this build
// yet: pushes and pops change nothing, the transform reads as identity and the
// render target stays the screen.
#include "api/engine_api.h"

namespace vz::slots {

void PushTransform(const float*) { }
void PopTransform() { }
void GetTransform(float*) { }
void PushVertexCallback(VozerVertexCallback, void*) { }
void PopVertexCallback() { }
vz_bool RemoveVertexCallback(VozerVertexCallback, void*) { return 0; }
void ApplyVertexCallbacks(VozerVertex*) { }
void SetClipRect(int32_t, int32_t, int32_t, int32_t) { }
void ResetClipRect() { }
vz_bool SetRenderTarget(VozerBitmap*) { return 0; }
vz_bool PushRenderTarget(VozerBitmap*) { return 0; }
vz_bool PopRenderTarget() { return 0; }
void SetDepthRange(float, float, float) { }

}  // namespace vz::slots
