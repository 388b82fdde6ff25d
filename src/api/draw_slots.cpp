// Drawing state and primitives. Not part of this build yet: drawing calls are
// accepted and draw nothing.
#include "api/engine_api.h"

namespace vz::slots {

void ClearScreen(float, float, float) { }
void SetBlendMode(int32_t) { }
void SetTextureFilter(int32_t) { }
void SetColor(float, float, float) { }
void SetAlpha(float) { }
void DrawBitmap(VozerBitmap*, float, float) { }
void DrawBitmapEx(VozerBitmap*, float, float, float, float) { }
void DrawBitmapLine(VozerBitmap*, VozerPoint, VozerPoint, float, float, VozerColor, VozerColor) { }
void DrawBitmapSection(VozerBitmap*, float, float, float, float, float, float) { }
void FillRect(float, float, float, float) { }
void DrawLine(float, float, float, float) { }
void DrawLineVertices(const VozerVertex*) { }
void DrawQuad(VozerBitmap*, const VozerVertex*) { }
void DrawQuadRaw(VozerBitmap*, const VozerVertex*) { }
void DrawMesh(VozerBitmap*, const VozerVertex*, int32_t, const uint16_t*, int32_t) { }
void SetDepth(float) { }
float GetDepth() { return 0.0f; }
void ClearDepth(float) { }
void SetRenderStateb(int32_t, vz_bool) { }
void SetRenderStatef(int32_t, float) { }
void SetRenderStatei(int32_t, int32_t) { }

}  // namespace vz::slots
