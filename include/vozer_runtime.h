/* The part of the runtime's state that plug-ins may read through the pointer
 * they get in Init. The runtime owns it for the whole process. */
#ifndef VOZER_RUNTIME_H
#define VOZER_RUNTIME_H

#include "vozer_types.h"
#include "vozer_render_types.h"
#include "vozer_program.h"

struct VozerEngineApi;
struct VozerShaderRecord;

/* The image loader: an object whose first word points to its operation table
 * of five member calls (VZ_THISCALL on i686), like the renderer's. Renderers
 * use it to give a bitmap pixel memory when they read a render target back.
 * NEVER MOVE AN OPERATION. */
typedef struct VozerImageLoader VozerImageLoader;
typedef struct VozerImageLoaderOps {
    /* Read only the file's header into width and height; no pixel memory is left. True for a null argument. */
    vz_bool (VZ_THISCALL *ReadImageInfo)(VozerImageLoader* self, VozerBitmap* bitmap, const char* path);
    /* Decode the whole file (PNG, JPEG, TGA by its ending) into new pixel memory. True for a null argument. */
    vz_bool (VZ_THISCALL *LoadImage)(VozerImageLoader* self, VozerBitmap* bitmap, const char* path);
    /* Give the bitmap fresh, uninitialised pixel memory of width x height (width, height and dataWidth/Height set). */
    void (VZ_THISCALL *AllocateImagePixels)(VozerImageLoader* self, VozerBitmap* bitmap, int32_t width, int32_t height);
    /* Free the pixel memory and clear `pixels`. */
    void (VZ_THISCALL *FreeImagePixels)(VozerImageLoader* self, VozerBitmap* bitmap);
    /* Write the pixels as PNG, JPEG (quality 1-100) or TGA by the path's ending. */
    vz_bool (VZ_THISCALL *SaveImage)(VozerImageLoader* self, VozerBitmap* bitmap, const char* path, int32_t quality);
} VozerImageLoaderOps;
struct VozerImageLoader {
    const VozerImageLoaderOps* ops;
};

/* What the device and platform report about the screen. */
typedef struct VozerDisplayInfo {
    int32_t deviceWidth, deviceHeight; /* 0 when unknown */
    vz_bool deviceSizeKnown;           /* always 0 on desktops */
    uint8_t pad[3];
    int32_t nativeOrientation;         /* 1 portrait, 4 landscape */
    int32_t desktopWidth, desktopHeight;
} VozerDisplayInfo;

typedef struct VozerRuntimeShared {
    struct VozerEngineApi* api;
    VozerProgramRecord* program;       /* events go to program->OnEvent */
    VozerDisplayInfo* displayInfo;
    VozerImageLoader* imageLoader;
    int32_t* screenSize;               /* {width, height}: the renderer writes the back-buffer size in Init */
    void* window;                      /* the main window (HWND on Windows) */
    vz_bool atlasPacking;              /* set by a renderer that wants small images packed into atlases */
    uint8_t pad[3];
    struct VozerShaderRecord* currentShader;
    VozerBitmap* bitmaps;              /* the bitmap pool */
    int32_t bitmapCount;               /* slots in use or once used */
    int32_t currentBlendMode;          /* renderer state caches, -1 = unknown */
    int32_t currentFilterMode;
} VozerRuntimeShared;

#endif
