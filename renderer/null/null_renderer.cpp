// The headless renderer: a complete renderer that accepts every operation,
// draws nothing and never fails to start. Games and tests bind it where no
// display is wanted (VOZER_RENDERER=gfxmod_null.dll); it also stands in for a
// real renderer on machines without one.
#include <cstring>

#include "vozer_api.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"

namespace {

// The display modes this renderer claims, as a real adapter would list them.
struct Mode {
    int width, height;
};
constexpr Mode MODES[] = {{640, 480},   {800, 600},   {1024, 768},  {1280, 720}, {1280, 800},
                          {1280, 1024}, {1366, 768},  {1600, 900},  {1920, 1080}};
constexpr char MODE_LIST[] = "640x480,800x600,1024x768,1280x720,1280x800,1280x1024,1366x768,1600x900,1920x1080";

struct NullRenderer {
    VozerRendImp base;  // must stay first: the runtime sees only this
    VozerRuntimeShared* runtime = nullptr;
    VozerDisplayParams* params = nullptr;
};

NullRenderer& self(VozerRendImp* imp) { return *reinterpret_cast<NullRenderer*>(imp); }

using R = VozerRendImp;

vz_bool VZ_THISCALL isSupported(R*) { return 1; }
vz_bool VZ_THISCALL canUploadFromAnyThread(R*) { return 1; }
const char* VZ_THISCALL getName(R*) { return "Null renderer"; }

vz_bool VZ_THISCALL isResolutionSupported(R*, int32_t width, int32_t height) {
    for (const Mode& m : MODES) {
        if (m.width == width && m.height == height) return 1;
    }
    return 0;
}

int32_t VZ_THISCALL getPixelByteOrder(R*) { return 1; }

vz_bool VZ_THISCALL init(R* imp, VozerEngineApi*, VozerRuntimeShared* runtime, VozerDisplayParams* params) {
    NullRenderer& r = self(imp);
    r.runtime = runtime;
    r.params = params;
    if (runtime) {
        runtime->currentBlendMode = -1;
        runtime->currentFilterMode = -1;
        if (runtime->screenSize && params) {
            runtime->screenSize[0] = params->width;
            runtime->screenSize[1] = params->height;
        }
    }
    return 1;
}

vz_bool VZ_THISCALL reinit(R* imp, int32_t width, int32_t height, vz_bool windowed) {
    NullRenderer& r = self(imp);
    if (r.params) {
        r.params->width = width;
        r.params->height = height;
        r.params->windowed = windowed ? 1 : 0;
    }
    if (r.runtime && r.runtime->screenSize) {
        r.runtime->screenSize[0] = width;
        r.runtime->screenSize[1] = height;
    }
    return 1;
}

void VZ_THISCALL shutdown(R* imp) {
    self(imp).runtime = nullptr;
    self(imp).params = nullptr;
}

void VZ_THISCALL setActive(R*, vz_bool) {}
vz_bool VZ_THISCALL setRenderTarget(R*, VozerBitmap*) { return 1; }
vz_bool VZ_THISCALL copyRenderTargetToBitmapPixels(R*, VozerBitmap*) { return 1; }

// Textures are only marked, so the runtime's resource bookkeeping behaves as
// with a real device.
void markTexture(VozerBitmap* bitmap) {
    if (!bitmap) return;
    VozerHardwareData& hw = bitmap->hw;
    hw.hasTexture = 1;
    hw.uLeft = 0.0f;
    hw.vTop = 0.0f;
    hw.uRight = 1.0f;
    hw.vBottom = 1.0f;
    hw.textureWidth = bitmap->width;
    hw.textureHeight = bitmap->height;
    hw.texture = nullptr;
}

vz_bool VZ_THISCALL createRenderTarget(R*, VozerBitmap* bitmap) {
    markTexture(bitmap);
    return bitmap != nullptr;
}
vz_bool VZ_THISCALL uploadBitmap(R*, VozerBitmap* bitmap) {
    markTexture(bitmap);
    return bitmap != nullptr;
}
void VZ_THISCALL releaseTexture(R*, VozerHardwareData* hw) {
    if (!hw) return;
    hw->hasTexture = 0;
    hw->texture = nullptr;
}
vz_bool VZ_THISCALL cacheShader(R*, VozerShaderRecord*) { return 1; }
void VZ_THISCALL unused15(R*, void*) {}
void VZ_THISCALL setShader(R*, VozerShaderRecord*) {}
void VZ_THISCALL setShaderParameter(R*, VozerShaderRecord* shader, int32_t index, const void* value) {
    if (!shader || !value || index < 0 || index >= VZ_SHADER_PARAMETER_COUNT) return;
    std::memcpy(&shader->parameters[index], value, sizeof(float));
    shader->parametersApplied = 0;
}
void VZ_THISCALL setTexture(R*, int32_t, VozerBitmap*) {}
void VZ_THISCALL drawShadedQuad(R*, const VozerVertex*) {}
void VZ_THISCALL beginFrame(R*, int32_t) {}
void VZ_THISCALL endFrame(R*) {}
void VZ_THISCALL flush(R*) {}
vz_bool VZ_THISCALL clear(R*, float, float, float) { return 1; }
vz_bool VZ_THISCALL clearDepth(R*, float) { return 1; }
void VZ_THISCALL setWorldTransform(R*, const float*) {}
vz_bool VZ_THISCALL setClipRect(R*, int32_t, int32_t, int32_t, int32_t) { return 1; }
void VZ_THISCALL setBlendMode(R* imp, int32_t mode) {
    if (self(imp).runtime) self(imp).runtime->currentBlendMode = mode;
}
void VZ_THISCALL setFilterMode(R* imp, int32_t mode) {
    if (self(imp).runtime) self(imp).runtime->currentFilterMode = mode;
}
void VZ_THISCALL drawTexturedQuad(R*, VozerBitmap*, const VozerVertex*) {}
void VZ_THISCALL drawQuad(R*, const VozerVertex*) {}
void VZ_THISCALL drawLine(R*, const VozerVertex*) {}
vz_bool VZ_THISCALL setEngineApi(R*, VozerEngineApi*) { return 1; }

const char* VZ_THISCALL extension(R*, const char* category, const char* name) {
    if (!category || !name) return nullptr;
    if (std::strcmp(category, "Display") == 0 && std::strcmp(name, "GetResolutions") == 0) return MODE_LIST;
    return nullptr;
}

void VZ_THISCALL unused34(R*) {}
void VZ_THISCALL unused35(R*) {}
void VZ_THISCALL setDepthRange(R*, float, float, float) {}
vz_bool VZ_THISCALL drawTriangles(R*, VozerBitmap*, const VozerVertex*, int32_t, const uint16_t*, int32_t) {
    return 1;
}
void VZ_THISCALL setRenderStateb(R*, int32_t, vz_bool) {}
void VZ_THISCALL setRenderStatef(R*, int32_t, float) {}
void VZ_THISCALL setRenderStatei(R*, int32_t, int32_t) {}
void VZ_THISCALL applyDefaultStates(R* imp) {
    if (self(imp).runtime) {
        self(imp).runtime->currentBlendMode = -1;
        self(imp).runtime->currentFilterMode = -1;
    }
}
void VZ_THISCALL resetClipRect(R*) {}
void VZ_THISCALL applyShaderParameters(R*, VozerShaderRecord* shader) {
    if (shader) shader->parametersApplied = 1;
}

const VozerRendImpOps OPS = {
    isSupported,      canUploadFromAnyThread, getName,         isResolutionSupported,
    getPixelByteOrder, init,                  reinit,          shutdown,
    setActive,        setRenderTarget,        copyRenderTargetToBitmapPixels,
    createRenderTarget, uploadBitmap,         releaseTexture,  cacheShader,
    unused15,         setShader,              setShaderParameter, setTexture,
    drawShadedQuad,   beginFrame,             endFrame,        flush,
    clear,            clearDepth,             setWorldTransform, setClipRect,
    setBlendMode,     setFilterMode,          drawTexturedQuad, drawQuad,
    drawLine,         setEngineApi,           extension,       unused34,
    unused35,         setDepthRange,          drawTriangles,   setRenderStateb,
    setRenderStatef,  setRenderStatei,        applyDefaultStates, resetClipRect,
    applyShaderParameters,
};

}  // namespace

// One renderer object for the whole process: later calls return the same one.
extern "C" VZ_EXPORT VozerRendImp* VZ_CDECL VOZER_RendImp_GetInterface(void) {
    static NullRenderer renderer{{&OPS}};
    return &renderer.base;
}
