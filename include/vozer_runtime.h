/* The part of the runtime's state that plug-ins may read through the pointer
 * they get in Init. The runtime owns it for the whole process. */
#ifndef VOZER_RUNTIME_H
#define VOZER_RUNTIME_H

#include "vozer_types.h"
#include "vozer_render_types.h"
#include "vozer_program.h"

struct VozerEngineApi;
struct VozerShaderRecord;

/* Pixel memory services of the image loader, used by renderers that read
 * render targets back. */
typedef struct VozerImageLoader {
    /* Give `bitmap` width x height 32-bit pixels (dataWidth/Height set); false when out of memory. */
    vz_bool (VZ_CDECL *AllocateImagePixels)(VozerBitmap* bitmap, int32_t width, int32_t height);
    /* Free pixels from AllocateImagePixels; a bitmap without pixels is left alone. */
    void (VZ_CDECL *FreeImagePixels)(VozerBitmap* bitmap);
} VozerImageLoader;

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
