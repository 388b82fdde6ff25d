// A renderer written the way another C++ compiler's user would write one: a
// class whose virtual member functions are the 44 operations, in order, with
// nothing else in its virtual table. The runtime must drive it through the
// object's first word exactly as it drives its own table-based renderers.
// It records the calls that matter into renderer.txt (working folder).
// With VOZER_TEST_RENDERER=null its export gives no object.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vozer_api.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"

namespace {

std::FILE* trace() {
    static std::FILE* file = std::fopen("renderer.txt", "wb");  // "\n" endings on every system
    return file;
}

void note(const char* format, int a = 0, int b = 0) {
    if (std::FILE* file = trace()) {
        std::fprintf(file, format, a, b);
        std::fputc('\n', file);
        std::fflush(file);
    }
}

using Bitmap = VozerBitmap;
using Vertex = VozerVertex;
using Shader = VozerShaderRecord;

// No virtual destructor: it would put extra entries into the table.
class VtableRenderer {
public:
    virtual vz_bool IsSupported() { return 1; }
    virtual vz_bool CanUploadFromAnyThread() { return 0; }
    virtual const char* GetName() { return "Virtual-table renderer"; }
    virtual vz_bool IsResolutionSupported(int32_t width, int32_t height) { return width == 640 && height == 480; }
    virtual int32_t GetPixelByteOrder() { return 0; }
    virtual vz_bool Init(VozerEngineApi* api, VozerRuntimeShared* runtime, VozerDisplayParams* params) {
        runtime_ = runtime;
        note("init %dx%d", params->width, params->height);
        if (api) api->Log(VZ_SYSTEM, "vtable renderer: Init through the virtual table");
        if (runtime && runtime->screenSize) {
            runtime->screenSize[0] = params->width;
            runtime->screenSize[1] = params->height;
        }
        return 1;
    }
    virtual vz_bool Reinit(int32_t, int32_t, vz_bool) { return 0; }
    virtual void Shutdown() { note("shutdown"); }
    virtual void SetActive(vz_bool) {}
    virtual vz_bool SetRenderTarget(Bitmap*) { return 1; }
    virtual vz_bool CopyRenderTargetToBitmapPixels(Bitmap*) { return 1; }
    virtual vz_bool CreateRenderTarget(Bitmap*) { return 1; }
    virtual vz_bool UploadBitmap(Bitmap*) { return 1; }
    virtual void ReleaseTexture(VozerHardwareData*) {}
    virtual vz_bool CacheShader(Shader*) { return 1; }
    virtual void Unused15(void*) {}
    virtual void SetShader(Shader*) {}
    virtual void SetShaderParameter(Shader*, int32_t, const void*) {}
    virtual void SetTexture(int32_t, Bitmap*) {}
    virtual void DrawShadedQuad(const Vertex*) {}
    virtual void BeginFrame(int32_t pass) { note("begin %d", pass); }
    virtual void EndFrame() { note("end"); }
    virtual void Flush() {}
    virtual vz_bool Clear(float, float, float) { return 1; }
    virtual vz_bool ClearDepth(float) { return 1; }
    virtual void SetWorldTransform(const float*) {}
    virtual vz_bool SetClipRect(int32_t, int32_t, int32_t, int32_t) { return 1; }
    virtual void SetBlendMode(int32_t) {}
    virtual void SetFilterMode(int32_t) {}
    virtual void DrawTexturedQuad(Bitmap*, const Vertex*) {}
    virtual void DrawQuad(const Vertex*) {}
    virtual void DrawLine(const Vertex*) {}
    virtual vz_bool SetEngineApi(VozerEngineApi* api) {
        note("engine api %d", api != nullptr);
        return 1;
    }
    virtual const char* Extension(const char*, const char*) { return nullptr; }
    virtual void Unused34() {}
    virtual void Unused35() {}
    virtual void SetDepthRange(float, float, float) {}
    virtual vz_bool DrawTriangles(Bitmap*, const Vertex*, int32_t, const uint16_t*, int32_t) { return 1; }
    virtual void SetRenderStateb(int32_t, vz_bool) {}
    virtual void SetRenderStatef(int32_t, float) {}
    virtual void SetRenderStatei(int32_t, int32_t) {}
    virtual void ApplyDefaultStates() {}
    virtual void ResetClipRect() {}
    virtual void ApplyShaderParameters(Shader*) {}

private:
    VozerRuntimeShared* runtime_ = nullptr;
};

}  // namespace

extern "C" VZ_EXPORT VozerRendImp* VZ_CDECL VOZER_RendImp_GetInterface(void) {
    static VtableRenderer renderer;
    const char* mode = std::getenv("VOZER_TEST_RENDERER");
    if (mode && std::strcmp(mode, "null") == 0) return nullptr;
    // The object's first word is its virtual-table pointer: the operation table.
    return reinterpret_cast<VozerRendImp*>(&renderer);
}
