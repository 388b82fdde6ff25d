// Slots whose services are not part of this build yet. Each answers as a
// missing service would (null, 0, false) so that a Program keeps running; the
// owning module replaces the line with the real function.
#include "api/engine_api.h"

namespace vz::slots {

VozerFont* GetFont(const char*) { return nullptr; }  // slot 15
VozerFont* LoadFont(const char*) { return nullptr; }  // slot 16
void RecreateFontAtlas(VozerFont*) { }  // slot 17
void ReleaseFont(VozerFont*) { }  // slot 18
vz_bool SaveFont(VozerFont*, const char*) { return 0; }  // slot 19
void SetCursor(const char*) { }  // slot 20
vz_bool Reinitialize(VozerDisplayParams) { return 0; }  // slot 22
void* CallExtension(const char*, void*) { return nullptr; }  // slot 23
int32_t HttpRequest(const char*, const char*, const char*, const void*, int32_t, VozerBuffer*, volatile vz_bool*) { return 0; }  // slot 46
uint32_t GetKeyState(int32_t) { return 0; }  // slot 49
void SetKeyState(int32_t, uint32_t) { }  // slot 50
float GetAxis(int32_t) { return 0.0f; }  // slot 51
void SetAxis(int32_t, float) { }  // slot 52
VozerSound* GetSound(const char*) { return nullptr; }  // slot 53
VozerSound* LoadSound(const char*) { return nullptr; }  // slot 54
VozerSound* GetSoundEx(const char*, int32_t) { return nullptr; }  // slot 55
void ReleaseSound(VozerSound*) { }  // slot 56
void SetSoundCacheMode(VozerSound*, int32_t) { }  // slot 57
void SoundCommand(int32_t) { }  // slot 58
VozerChannel PlaySound(VozerSound*, float, float, float) { return nullptr; }  // slot 59
void ChannelOpA(VozerChannel) { }  // slot 60
void ChannelOpB(VozerChannel, float) { }  // slot 61
void ChannelOpC(VozerChannel, float) { }  // slot 62
void ChannelOpD(VozerChannel, float) { }  // slot 63
void ChannelOpE(VozerChannel, float) { }  // slot 64
void ChannelOpF(VozerChannel, float) { }  // slot 65
vz_bool ChannelOpG(VozerChannel) { return 0; }  // slot 66
int32_t ChannelOpH(VozerChannel) { return 0; }  // slot 67
void SlideSoundVolume(VozerChannel, float, float) { }  // slot 68
void FadeOutSound(VozerChannel, float) { }  // slot 69
void PlayMusic(VozerSound*, float, float) { }  // slot 70
void StopMusic(float) { }  // slot 71
void SetMusicVolume(float) { }  // slot 72
void SetMusicLooping(vz_bool) { }  // slot 73
VozerSound* GetCurrentMusic(void) { return nullptr; }  // slot 74
void SlideMusicVolume(float, float) { }  // slot 75
void PushTransform(const float*) { }  // slot 76
void PopTransform(void) { }  // slot 77
void GetTransform(float*) { }  // slot 78
void PushVertexCallback(VozerVertexCallback, void*) { }  // slot 79
void PopVertexCallback(void) { }  // slot 80
vz_bool RemoveVertexCallback(VozerVertexCallback, void*) { return 0; }  // slot 81
void ApplyVertexCallbacks(VozerVertex*) { }  // slot 82
VozerBitmap* GetBitmap(const char*) { return nullptr; }  // slot 83
VozerBitmap* GetBitmapEx(const char*, int32_t) { return nullptr; }  // slot 84
VozerBitmap* LoadBitmap(const char*, int32_t) { return nullptr; }  // slot 85
void ReleaseBitmap(VozerBitmap*) { }  // slot 86
vz_bool SaveBitmap(VozerBitmap*, const char*, int32_t) { return 0; }  // slot 87
void RefreshBitmap(VozerBitmap*) { }  // slot 88
void ResizeBitmap(VozerBitmap*, int32_t, int32_t) { }  // slot 89
void SetBitmapCacheMode(VozerBitmap*, int32_t) { }  // slot 90
VozerBitmap* CreateBitmap(const char*, int32_t, int32_t, int32_t) { return nullptr; }  // slot 91
void SetBitmapFrame(VozerBitmap*, int32_t) { }  // slot 92
void ClearScreen(float, float, float) { }  // slot 93
void SetClipRect(int32_t, int32_t, int32_t, int32_t) { }  // slot 94
void ResetClipRect(void) { }  // slot 95
vz_bool SetRenderTarget(VozerBitmap*) { return 0; }  // slot 96
vz_bool PushRenderTarget(VozerBitmap*) { return 0; }  // slot 97
vz_bool PopRenderTarget(void) { return 0; }  // slot 98
void SetBlendMode(int32_t) { }  // slot 99
void SetTextureFilter(int32_t) { }  // slot 100
void SetColor(float, float, float) { }  // slot 101
void SetAlpha(float) { }  // slot 102
void SetTextAlign(int32_t) { }  // slot 103
void SetTextWrapWidth(float) { }  // slot 104
void SetTextScale(float, float, float) { }  // slot 105
void DrawBitmap(VozerBitmap*, float, float) { }  // slot 106
void DrawBitmapEx(VozerBitmap*, float, float, float, float) { }  // slot 107
void DrawBitmapLine(VozerBitmap*, VozerPoint, VozerPoint, float, float, VozerColor, VozerColor) { }  // slot 108
void DrawBitmapSection(VozerBitmap*, float, float, float, float, float, float) { }  // slot 109
float DrawText(VozerFont*, float, float, const char*, ...) { return 0.0f; }  // slot 110
void FillRect(float, float, float, float) { }  // slot 111
void DrawLine(float, float, float, float) { }  // slot 112
void DrawLineVertices(const VozerVertex*) { }  // slot 113
void DrawQuad(VozerBitmap*, const VozerVertex*) { }  // slot 114
void DrawQuadRaw(VozerBitmap*, const VozerVertex*) { }  // slot 116
void DrawMesh(VozerBitmap*, const VozerVertex*, int32_t, const uint16_t*, int32_t) { }  // slot 118
void GetTextSize(VozerFont*, float*, float*, const char*, ...) { }  // slot 119
float GetTextWidth(VozerFont*, const char*, ...) { return 0.0f; }  // slot 120
float GetTextHeight(VozerFont*, const char*, ...) { return 0.0f; }  // slot 121
void SetDepthRange(float, float, float) { }  // slot 122
void SetDepth(float) { }  // slot 123
float GetDepth(void) { return 0.0f; }  // slot 124
void ClearDepth(float) { }  // slot 125
void SetRenderStateb(int32_t, vz_bool) { }  // slot 126
void SetRenderStatef(int32_t, float) { }  // slot 127
void SetRenderStatei(int32_t, int32_t) { }  // slot 128

}  // namespace vz::slots

namespace vz::shader_slots {

VozerShader* GetShader(const char*) { return nullptr; }
void SetShader(VozerShader*) {}
void SetShaderTexture(int32_t, VozerBitmap*) {}
void SetShaderParam(VozerShader*, int32_t, const void*) {}
void DrawBitmapShaded(VozerBitmap*, float, float, float, float) {}

}  // namespace vz::shader_slots
