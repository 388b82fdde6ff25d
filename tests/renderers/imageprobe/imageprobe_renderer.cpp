// A renderer that, when started, uses the runtime's image loader the way a
// renderer plug-in does: through the loader object it finds in the runtime
// state, across the library boundary. It loads res://probe.png, saves it as
// user://probe-saved.tga, reads that back, reads a header only, and takes and
// frees pixel memory, writing what it saw into renderer.txt (working folder).
// Every other operation accepts and does nothing.
#include <cstdio>

#include "vozer_api.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"

namespace {

std::FILE* trace() {
    static std::FILE* file = std::fopen("renderer.txt", "wb");  // "\n" endings on every system
    return file;
}

void note(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    if (std::FILE* file = trace()) {
        std::fprintf(file, format, a, b, c, d);
        std::fputc('\n', file);
        std::fflush(file);
    }
}

// The first two pixels' bytes as they lie in memory.
void notePixels(const char* what, const VozerBitmap& b) {
    if (!b.pixels || b.width < 2) return;
    const auto* p = reinterpret_cast<const uint8_t*>(b.pixels);
    std::fprintf(trace(), "%s", what);
    for (int i = 0; i < 8; ++i) std::fprintf(trace(), " %d", p[i]);
    std::fputc('\n', trace());
    std::fflush(trace());
}

void probeLoader(VozerImageLoader* loader) {
    note("loader %d", loader != nullptr);
    if (!loader) return;
    const VozerImageLoaderOps* ops = loader->ops;
    VozerBitmap b = {};
    b.name = const_cast<char*>("probe");
    const int loaded = ops->LoadImage(loader, &b, "res://probe.png");
    note("load %d %dx%d flags %d", loaded, b.width, b.height, b.flags);
    notePixels("pixels", b);
    note("save %d", ops->SaveImage(loader, &b, "user://probe-saved.tga", 0));
    ops->FreeImagePixels(loader, &b);
    note("freed %d", b.pixels == nullptr);

    VozerBitmap back = {};
    const int reloaded = ops->LoadImage(loader, &back, "user://probe-saved.tga");
    note("reload %d %dx%d", reloaded, back.width, back.height);
    notePixels("reloaded", back);
    ops->FreeImagePixels(loader, &back);

    VozerBitmap info = {};
    const int read = ops->ReadImageInfo(loader, &info, "res://probe.png");
    note("info %d %dx%d pixels %d", read, info.width, info.height, info.pixels != nullptr);

    VozerBitmap target = {};
    ops->AllocateImagePixels(loader, &target, 3, 2);
    note("allocated %dx%d pixels %d", target.dataWidth, target.dataHeight, target.pixels != nullptr);
    ops->FreeImagePixels(loader, &target);
}

using R = VozerRendImp;

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
// Every operation: accept, do nothing, answer zero.
#define VZ_STUB(slot, result, name, params) \
    result VZ_THISCALL stub##name params { return static_cast<result>(0); }
VOZER_RENDIMP_OPS(VZ_STUB)
#undef VZ_STUB

vz_bool VZ_THISCALL accept(R*) { return 1; }
vz_bool VZ_THISCALL anyResolution(R*, int32_t, int32_t) { return 1; }
int32_t VZ_THISCALL bgraOrder(R*) { return 1; }
vz_bool VZ_THISCALL init(R*, VozerEngineApi*, VozerRuntimeShared* runtime, VozerDisplayParams* params) {
    if (runtime && runtime->screenSize && params) {
        runtime->screenSize[0] = params->width;
        runtime->screenSize[1] = params->height;
    }
    probeLoader(runtime ? runtime->imageLoader : nullptr);
    return 1;
}
vz_bool VZ_THISCALL engineApi(R*, VozerEngineApi*) { return 1; }
vz_bool VZ_THISCALL cleared(R*, float, float, float) { return 1; }

VozerRendImpOps makeOps() {
    VozerRendImpOps ops = {
#define VZ_STUB_ENTRY(slot, result, name, params) stub##name,
        VOZER_RENDIMP_OPS(VZ_STUB_ENTRY)
#undef VZ_STUB_ENTRY
    };
    ops.IsSupported = accept;
    ops.IsResolutionSupported = anyResolution;
    ops.GetPixelByteOrder = bgraOrder;
    ops.Init = init;
    ops.SetEngineApi = engineApi;
    ops.Clear = cleared;
    return ops;
}

}  // namespace

extern "C" VZ_EXPORT VozerRendImp* VZ_CDECL VOZER_RendImp_GetInterface(void) {
    static const VozerRendImpOps ops = makeOps();
    static VozerRendImp renderer = {&ops};
    return &renderer;
}
