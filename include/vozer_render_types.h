/* Records shared between the runtime and renderer plug-ins: vertices, the
 * renderer's part of a bitmap, the bitmap record itself. */
#ifndef VOZER_RENDER_TYPES_H
#define VOZER_RENDER_TYPES_H

#include "vozer_types.h"

/* One vertex: x, y in target pixels, z in depth units (0.5 = the screen
 * plane), colour 0xAARRGGBB, texture coordinates u, v. A quad is four
 * vertices in Z order: top-left, top-right, bottom-left, bottom-right. */
typedef struct VozerVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
} VozerVertex;

/* The renderer's part of a bitmap record. Written only by the renderer. */
typedef struct VozerHardwareData {
    vz_bool hasTexture;     /* 1 while a texture exists */
    uint8_t pad0[3];
    float uLeft, vTop, uRight, vBottom; /* image rectangle in texture coordinates */
    int32_t textureWidth, textureHeight;
    void* texture;          /* renderer-owned handle, opaque to the runtime */
    uint8_t rendererPrivate[28];
} VozerHardwareData;

/* Cache modes of bitmaps and sounds (a bit set): where a resource's data
 * must live. A request never lowers a bitmap's mode; sounds know only
 * NOTHING and HARDWARE (loaded). */
#define VZ_CACHE_NOTHING 0     /* no data: the record keeps only the name */
#define VZ_CACHE_SYSTEM 2      /* the pixels in memory (for reading or SaveBitmap) */
#define VZ_CACHE_HARDWARE 4    /* a texture in the renderer: GetBitmap's mode, enough to draw */
#define VZ_CACHE_SYSTEM_AND_HARDWARE (VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE)
#define VZ_CACHE_FIND_ONLY 16  /* only look the name up: never loads, never counts */

/* Bitmap flags. */
#define VZ_BITMAP_HAS_ALPHA 0x01
#define VZ_BITMAP_RELOADABLE 0x02
#define VZ_BITMAP_RENDER_TARGET 0x04
#define VZ_BITMAP_COUNTED 0x08

/* Pack modes: how an image is bordered inside its texture. */
#define VZ_PAD_EXPAND 0
#define VZ_PAD_UNWRITTEN 1
#define VZ_PAD_TRANSPARENT 2
#define VZ_NO_PADDING 3

/* The bitmap record, pooled by the runtime; the renderer reads it and writes
 * only `hw`. 156 bytes on i686. */
typedef struct VozerBitmap {
    char* name;                 /* owned copy of the request name; null = free slot */
    uint16_t reserved0;
    int16_t refCount;
    int8_t cacheMode;
    uint8_t pad0[3];
    VozerMutex* lock;           /* record lock (the shared bitmap mutex) */
    uint32_t reserved1;
    char* sourceFile;           /* source file actually found (owned), or null */
    int32_t width, height;      /* the size the game sees */
    uint32_t* pixels;           /* 32-bit pixels, rows of dataWidth, or null */
    int32_t dataWidth, dataHeight; /* 0 means the same as width and height */
    uint32_t reserved2;
    uint8_t flags;              /* VZ_BITMAP_* */
    uint8_t pad1;
    uint16_t loadState;         /* 0 released, 1 not loaded, 2 loading, 3 ready (also after a failed load: then width is 0) */
    int16_t packMode;           /* VZ_PAD_* / VZ_NO_PADDING */
    uint16_t pad2;
    struct VozerBitmap* sameAs; /* frame repeating an earlier frame's image */
    struct VozerBitmap* frames; /* frame records of a sequence, or null */
    int32_t frameCount;
    struct VozerBitmap* atlas;  /* owned atlas record shared by the frames */
    int32_t frameNumber;
    float framesPerSecond;
    uint8_t reserved3[16];
    VozerHardwareData hw;
} VozerBitmap;

VZ_STATIC_ASSERT(sizeof(VozerVertex) == 24, "a vertex is 24 bytes");
#if VZ_LAYOUT_IS_I686
VZ_STATIC_ASSERT(sizeof(VozerHardwareData) == 60, "HardwareData is 60 bytes");
VZ_STATIC_ASSERT(offsetof(VozerHardwareData, uLeft) == 4, "uLeft at 4");
VZ_STATIC_ASSERT(offsetof(VozerHardwareData, textureWidth) == 20, "textureWidth at 20");
VZ_STATIC_ASSERT(offsetof(VozerHardwareData, texture) == 28, "texture at 28");
VZ_STATIC_ASSERT(sizeof(VozerBitmap) == 156, "the bitmap record is 156 bytes");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, refCount) == 6, "refCount at 6");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, cacheMode) == 8, "cacheMode at 8");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, lock) == 12, "lock at 12");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, sourceFile) == 20, "sourceFile at 20");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, width) == 24, "width at 24");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, pixels) == 32, "pixels at 32");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, dataWidth) == 36, "dataWidth at 36");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, flags) == 48, "flags at 48");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, loadState) == 50, "loadState at 50");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, packMode) == 52, "packMode at 52");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, sameAs) == 56, "sameAs at 56");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, frames) == 60, "frames at 60");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, frameCount) == 64, "frameCount at 64");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, atlas) == 68, "atlas at 68");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, frameNumber) == 72, "frameNumber at 72");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, framesPerSecond) == 76, "framesPerSecond at 76");
VZ_STATIC_ASSERT(offsetof(VozerBitmap, hw) == 96, "HardwareData at 96");
#endif

#endif
