// The headless renderer: a complete renderer that accepts every operation,
// shows nothing and never fails to start. Games and tests bind it where no
// display is wanted (VOZER_RENDERER=gfxmod_null.dll); it also stands in for a
// real renderer on machines without one.
//
// Like the shipped renderer it takes uploads only on the main thread, so
// headless runs exercise the runtime's upload queues. It keeps real texture
// bookkeeping (handles, reuse, releases) and, on request, a journal of what
// it is asked to draw, which tests read through `Extension`:
//   ("Journal", "Start")    empty the journal and start recording; returns ""
//   ("Journal", "Take")     the lines recorded since the last take (valid until the next call)
//   ("Journal", "Stop")     stop recording
//   ("Journal", "Textures") "live L uploads U targets T"
//   ("Uploads", "MS")       every later upload takes MS milliseconds, like a slow device
//   ("Reinit", "Restart")   every later Reinit answers false, so the runtime
//                           shuts the renderer down and starts it again, as
//                           after a device that cannot be reset in place
// Journal lines: "begin P", "end", "clear R G B", "world M0..M15", "target NAME|screen",
// "quad NAME|- x,y,z,#AARRGGBB,u,v x4", "line x,y,#color x2", "tris NAME|- V I",
// "blend M", "filter M", "clip X Y W H", "depthrange N M F", "upload NAME WxH",
// "rendertarget NAME WxH", "release T".
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    VozerRendImp base{};  // must stay first: the runtime sees only this
    VozerEngineApi* api = nullptr;
    VozerRuntimeShared* runtime = nullptr;
    VozerDisplayParams* params = nullptr;
    bool recording = false;
    std::string journal;
    std::string handedOut;   // what the last "Take" returned
    std::string answer;      // other extension answers
    intptr_t nextTexture = 1;
    int liveTextures = 0;
    int uploads = 0;
    int targets = 0;
    int uploadDelayMs = 0;
    bool restartOnReinit = false;
};

NullRenderer& self(VozerRendImp* imp) { return *reinterpret_cast<NullRenderer*>(imp); }

using R = VozerRendImp;

void note(R* imp, const char* format, ...) {
    NullRenderer& r = self(imp);
    if (!r.recording) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    r.journal += line;
    r.journal += '\n';
}

const char* nameOf(const VozerBitmap* bitmap) {
    return bitmap ? (bitmap->name ? bitmap->name : "?") : "-";
}

void noteVertices(R* imp, const char* what, const VozerBitmap* bitmap, const VozerVertex* v, int count) {
    if (!self(imp).recording || !v) return;
    std::string line = std::string(what) + " " + nameOf(bitmap);
    char vertex[128];
    for (int i = 0; i < count; ++i) {
        std::snprintf(vertex, sizeof vertex, " %.3f,%.3f,%.3f,#%08X,%.4f,%.4f", v[i].x, v[i].y, v[i].z,
                      static_cast<unsigned>(v[i].color), v[i].u, v[i].v);
        line += vertex;
    }
    note(imp, "%s", line.c_str());
}

vz_bool VZ_THISCALL isSupported(R*) { return 1; }
vz_bool VZ_THISCALL canUploadFromAnyThread(R*) { return 0; }
const char* VZ_THISCALL getName(R*) { return "Null renderer"; }

vz_bool VZ_THISCALL isResolutionSupported(R*, int32_t width, int32_t height) {
    for (const Mode& m : MODES) {
        if (m.width == width && m.height == height) return 1;
    }
    return 0;
}

int32_t VZ_THISCALL getPixelByteOrder(R*) { return 1; }

vz_bool VZ_THISCALL init(R* imp, VozerEngineApi* api, VozerRuntimeShared* runtime, VozerDisplayParams* params) {
    NullRenderer& r = self(imp);
    r.api = api;
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
    // A run that asks for a screenshot from a renderer that draws nothing
    // would otherwise only find the file missing afterwards.
    const char* capture = std::getenv("VOZER_CAPTURE");
    if (capture && *capture && api && api->Log) {
        api->Log(VZ_WARNING, "VOZER_CAPTURE='%s' is ignored: the headless renderer draws nothing, so no frame is captured.",
                 capture);
    }
    return 1;
}

vz_bool VZ_THISCALL reinit(R* imp, int32_t width, int32_t height, vz_bool windowed) {
    NullRenderer& r = self(imp);
    if (r.restartOnReinit) return 0;
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

// Textures still alive here were never released by the runtime: report them.
void VZ_THISCALL shutdown(R* imp) {
    NullRenderer& r = self(imp);
    if (r.api && r.api->Log) {
        r.api->Log(VZ_SYSTEM, "Null renderer: %d uploads, %d render targets, %d textures alive at shutdown.",
                   r.uploads, r.targets, r.liveTextures);
    }
    r.runtime = nullptr;
    r.params = nullptr;
}

void VZ_THISCALL setActive(R*, vz_bool) {}

vz_bool VZ_THISCALL setRenderTarget(R* imp, VozerBitmap* bitmap) {
    if (bitmap && !bitmap->hw.hasTexture) return 0;
    note(imp, "target %s", bitmap ? nameOf(bitmap) : "screen");
    return 1;
}

vz_bool VZ_THISCALL copyRenderTargetToBitmapPixels(R*, VozerBitmap* bitmap) {
    return bitmap && (bitmap->flags & VZ_BITMAP_RENDER_TARGET) && bitmap->hw.hasTexture;
}

// A texture as big as the pixel data, the image filling it; an existing
// texture is reused, as real renderers do.
void giveTexture(R* imp, VozerBitmap* bitmap) {
    NullRenderer& r = self(imp);
    VozerHardwareData& hw = bitmap->hw;
    if (!hw.hasTexture) {
        hw.texture = reinterpret_cast<void*>(r.nextTexture++);
        ++r.liveTextures;
    }
    hw.hasTexture = 1;
    hw.uLeft = 0.0f;
    hw.vTop = 0.0f;
    hw.uRight = 1.0f;
    hw.vBottom = 1.0f;
    hw.textureWidth = bitmap->dataWidth ? bitmap->dataWidth : bitmap->width;
    hw.textureHeight = bitmap->dataHeight ? bitmap->dataHeight : bitmap->height;
}

vz_bool VZ_THISCALL createRenderTarget(R* imp, VozerBitmap* bitmap) {
    if (!bitmap) return 0;
    giveTexture(imp, bitmap);
    ++self(imp).targets;
    note(imp, "rendertarget %s %dx%d", nameOf(bitmap), bitmap->hw.textureWidth, bitmap->hw.textureHeight);
    return 1;
}

vz_bool VZ_THISCALL uploadBitmap(R* imp, VozerBitmap* bitmap) {
    if (!bitmap) return 0;
    NullRenderer& r = self(imp);
    if (!bitmap->pixels) {
        // The runtime must never ask this; said as the Direct3D 8 renderer says it.
        if (r.api && r.api->Popup)
            r.api->Popup(VZ_WARNING, "BitmapPacker::BeginPacking bitmap '%s' has no pixels. This should never happen.",
                         nameOf(bitmap));
        return 0;
    }
    if (r.uploadDelayMs > 0 && r.api && r.api->Sleep) r.api->Sleep(static_cast<uint32_t>(r.uploadDelayMs));
    giveTexture(imp, bitmap);
    ++r.uploads;
    note(imp, "upload %s %dx%d", nameOf(bitmap), bitmap->hw.textureWidth, bitmap->hw.textureHeight);
    return 1;
}

void VZ_THISCALL releaseTexture(R* imp, VozerHardwareData* hw) {
    if (!hw || !hw->hasTexture) return;
    --self(imp).liveTextures;
    note(imp, "release %d", static_cast<int>(reinterpret_cast<intptr_t>(hw->texture)));
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
void VZ_THISCALL drawShadedQuad(R* imp, const VozerVertex* v) { noteVertices(imp, "shaded", nullptr, v, 4); }
void VZ_THISCALL beginFrame(R* imp, int32_t pass) { note(imp, "begin %d", pass); }
void VZ_THISCALL endFrame(R* imp) { note(imp, "end"); }
void VZ_THISCALL flush(R*) {}
vz_bool VZ_THISCALL clear(R* imp, float red, float green, float blue) {
    note(imp, "clear %.3f %.3f %.3f", red, green, blue);
    return 1;
}
vz_bool VZ_THISCALL clearDepth(R*, float) { return 1; }
void VZ_THISCALL setWorldTransform(R* imp, const float* m) {
    if (!m) return;
    note(imp, "world %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g", m[0], m[1], m[2], m[3], m[4], m[5], m[6],
         m[7], m[8], m[9], m[10], m[11], m[12], m[13], m[14], m[15]);
}
vz_bool VZ_THISCALL setClipRect(R* imp, int32_t x, int32_t y, int32_t width, int32_t height) {
    note(imp, "clip %d %d %d %d", x, y, width, height);
    return 1;
}
void VZ_THISCALL setBlendMode(R* imp, int32_t mode) {
    if (self(imp).runtime) self(imp).runtime->currentBlendMode = mode;
    note(imp, "blend %d", mode);
}
void VZ_THISCALL setFilterMode(R* imp, int32_t mode) {
    if (self(imp).runtime) self(imp).runtime->currentFilterMode = mode;
    note(imp, "filter %d", mode);
}
void VZ_THISCALL drawTexturedQuad(R* imp, VozerBitmap* bitmap, const VozerVertex* v) {
    noteVertices(imp, "quad", bitmap, v, 4);
}
void VZ_THISCALL drawQuad(R* imp, const VozerVertex* v) { noteVertices(imp, "quad", nullptr, v, 4); }
void VZ_THISCALL drawLine(R* imp, const VozerVertex* v) {
    if (!self(imp).recording || !v) return;
    note(imp, "line %.3f,%.3f,#%08X %.3f,%.3f,#%08X", v[0].x, v[0].y, static_cast<unsigned>(v[0].color), v[1].x,
         v[1].y, static_cast<unsigned>(v[1].color));
}
vz_bool VZ_THISCALL setEngineApi(R* imp, VozerEngineApi* api) {
    self(imp).api = api;
    return 1;
}

const char* VZ_THISCALL extension(R* imp, const char* category, const char* name) {
    if (!category || !name) return nullptr;
    NullRenderer& r = self(imp);
    if (std::strcmp(category, "Display") == 0 && std::strcmp(name, "GetResolutions") == 0) return MODE_LIST;
    if (std::strcmp(category, "Uploads") == 0) {
        r.uploadDelayMs = std::atoi(name);
        return "";
    }
    if (std::strcmp(category, "Reinit") == 0) {
        r.restartOnReinit = std::strcmp(name, "Restart") == 0;
        return "";
    }
    if (std::strcmp(category, "Journal") != 0) return nullptr;
    if (std::strcmp(name, "Start") == 0) {
        r.journal.clear();
        r.recording = true;
        return "";
    }
    if (std::strcmp(name, "Stop") == 0) {
        r.recording = false;
        return "";
    }
    if (std::strcmp(name, "Take") == 0) {
        r.handedOut.swap(r.journal);
        r.journal.clear();
        return r.handedOut.c_str();
    }
    if (std::strcmp(name, "Textures") == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "live %d uploads %d targets %d", r.liveTextures, r.uploads, r.targets);
        r.answer = text;
        return r.answer.c_str();
    }
    return nullptr;
}

void VZ_THISCALL unused34(R*) {}
void VZ_THISCALL unused35(R*) {}
void VZ_THISCALL setDepthRange(R* imp, float nearZ, float middleZ, float farZ) {
    note(imp, "depthrange %g %g %g", nearZ, middleZ, farZ);
}
vz_bool VZ_THISCALL drawTriangles(R* imp, VozerBitmap* bitmap, const VozerVertex*, int32_t vertexCount,
                                  const uint16_t*, int32_t indexCount) {
    note(imp, "tris %s %d %d", nameOf(bitmap), vertexCount, indexCount);
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
    static NullRenderer renderer;
    renderer.base.ops = &OPS;
    return &renderer.base;
}
