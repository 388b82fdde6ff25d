/* The renderer interface: the one object a renderer library hands out through
 * its only export, VOZER_RendImp_GetInterface. Its first word points to a
 * table of 44 operations; each is a member call (the object is the implicit
 * first argument, VZ_THISCALL on i686).
 *
 * NEVER MOVE AN OPERATION: the runtime calls them by position. */
#ifndef VOZER_RENDIMP_H
#define VOZER_RENDIMP_H

#include "vozer_types.h"
#include "vozer_render_types.h"
#include "vozer_program.h"

struct VozerEngineApi;
struct VozerRuntimeShared;
typedef struct VozerRendImp VozerRendImp;

/* The host's shader record, 108 bytes on i686. */
#define VZ_SHADER_PARAMETER_COUNT 24
typedef struct VozerShaderRecord {
    char* name;                 /* owned by the host; null = free slot */
    int16_t loaded;             /* 1 once made */
    int16_t kind;               /* 0 plain, 1 "!DOT3_DIRECTIONAL" */
    vz_bool parametersApplied;  /* cleared by the renderer when a parameter is written */
    uint8_t pad[3];
    float parameters[VZ_SHADER_PARAMETER_COUNT]; /* 32-bit values written by SetShaderParam */
} VozerShaderRecord;

/* Render states understood by the renderers. */
#define VZ_STATE_DEPTH_TEST 10  /* SetRenderStateb */
#define VZ_STATE_DEPTH_WRITE 11 /* SetRenderStateb */
#define VZ_STATE_CULL_MODE 12   /* SetRenderStatei: 0 none, 1 clockwise, 2 counter-clockwise */

/* X(slot, result, Name, (self, parameters)). */
#define VOZER_RENDIMP_OPS(X) \
    /* Whether this renderer can run here. */ \
    X(0, vz_bool, IsSupported, (VozerRendImp* self)) \
    /* Whether bitmaps may be uploaded from threads other than the main thread. */ \
    X(1, vz_bool, CanUploadFromAnyThread, (VozerRendImp* self)) \
    /* Display name, renderer-owned text. */ \
    X(2, const char*, GetName, (VozerRendImp* self)) \
    /* True when the adapter lists that size; may be called before Init. */ \
    X(3, vz_bool, IsResolutionSupported, (VozerRendImp* self, int32_t width, int32_t height)) \
    /* 1: B,G,R,A in memory; 0: R,G,B,A. */ \
    X(4, int32_t, GetPixelByteOrder, (VozerRendImp* self)) \
    /* Create the device; may overwrite width, height and windowed of `params`, and keeps the pointers. */ \
    X(5, vz_bool, Init, (VozerRendImp* self, struct VozerEngineApi* api, struct VozerRuntimeShared* runtime, VozerDisplayParams* params)) \
    /* Change mode in place; false asks the host for a full shutdown and Init. */ \
    X(6, vz_bool, Reinit, (VozerRendImp* self, int32_t width, int32_t height, vz_bool windowed)) \
    /* Release the device and everything the renderer holds. */ \
    X(7, void, Shutdown, (VozerRendImp* self)) \
    /* The window gained (1) or lost (0) activation. */ \
    X(8, void, SetActive, (VozerRendImp* self, vz_bool active)) \
    /* Render into the bitmap's texture, or the screen for null. */ \
    X(9, vz_bool, SetRenderTarget, (VozerRendImp* self, VozerBitmap* bitmap)) \
    /* Read a render target's texels back into the bitmap's pixels. */ \
    X(10, vz_bool, CopyRenderTargetToBitmapPixels, (VozerRendImp* self, VozerBitmap* bitmap)) \
    /* Give a render-target bitmap its texture. */ \
    X(11, vz_bool, CreateRenderTarget, (VozerRendImp* self, VozerBitmap* bitmap)) \
    /* Create or reuse the bitmap's texture and copy its pixels in. */ \
    X(12, vz_bool, UploadBitmap, (VozerRendImp* self, VozerBitmap* bitmap)) \
    /* Release the texture; clears hasTexture and texture. */ \
    X(13, void, ReleaseTexture, (VozerRendImp* self, VozerHardwareData* hw)) \
    /* Prepare a shader. */ \
    X(14, vz_bool, CacheShader, (VozerRendImp* self, VozerShaderRecord* shader)) \
    /* Unused; does nothing. */ \
    X(15, void, Unused15, (VozerRendImp* self, void* unused)) \
    /* Select texture-stage setup for the shader, or plain drawing for null. */ \
    X(16, void, SetShader, (VozerRendImp* self, VozerShaderRecord* shader)) \
    /* Store one 32-bit parameter; clears parametersApplied. */ \
    X(17, void, SetShaderParameter, (VozerRendImp* self, VozerShaderRecord* shader, int32_t index, const void* value)) \
    /* Bind a bitmap's texture to stage 0..7 (others ignored). */ \
    X(18, void, SetTexture, (VozerRendImp* self, int32_t stage, VozerBitmap* bitmap)) \
    /* Draw one quad at once with the current shader. */ \
    X(19, void, DrawShadedQuad, (VozerRendImp* self, const VozerVertex* vertices4)) \
    /* Start a frame or pass: 0 single pass, 1 and 2 the two stereo passes. */ \
    X(20, void, BeginFrame, (VozerRendImp* self, int32_t pass)) \
    /* Draw what is batched and show the frame. */ \
    X(21, void, EndFrame, (VozerRendImp* self)) \
    /* Draw the batched quads now. */ \
    X(22, void, Flush, (VozerRendImp* self)) \
    /* Clear the target to an opaque colour (0..1). */ \
    X(23, vz_bool, Clear, (VozerRendImp* self, float red, float green, float blue)) \
    /* Clear only the depth buffer. */ \
    X(24, vz_bool, ClearDepth, (VozerRendImp* self, float z)) \
    /* 16 floats, rows for column vectors (translation in the last column). */ \
    X(25, void, SetWorldTransform, (VozerRendImp* self, const float* matrix16)) \
    X(26, vz_bool, SetClipRect, (VozerRendImp* self, int32_t x, int32_t y, int32_t width, int32_t height)) \
    /* Blend mode 0..4. */ \
    X(27, void, SetBlendMode, (VozerRendImp* self, int32_t mode)) \
    /* 0 nearest, 1 bilinear. */ \
    X(28, void, SetFilterMode, (VozerRendImp* self, int32_t mode)) \
    /* Add a textured quad (4 vertices, Z order) to the batch. */ \
    X(29, void, DrawTexturedQuad, (VozerRendImp* self, VozerBitmap* bitmap, const VozerVertex* vertices4)) \
    /* Add an untextured quad to the batch. */ \
    X(30, void, DrawQuad, (VozerRendImp* self, const VozerVertex* vertices4)) \
    /* Draw one line (2 vertices) at once. */ \
    X(31, void, DrawLine, (VozerRendImp* self, const VozerVertex* vertices2)) \
    /* Offered right after binding. */ \
    X(32, vz_bool, SetEngineApi, (VozerRendImp* self, struct VozerEngineApi* api)) \
    /* Renderer-specific query; null when unknown. */ \
    X(33, const char*, Extension, (VozerRendImp* self, const char* category, const char* name)) \
    X(34, void, Unused34, (VozerRendImp* self)) \
    X(35, void, Unused35, (VozerRendImp* self)) \
    /* Perspective depth range. */ \
    X(36, void, SetDepthRange, (VozerRendImp* self, float nearZ, float screenZ, float farZ)) \
    /* Indexed triangle list drawn at once. */ \
    X(37, vz_bool, DrawTriangles, (VozerRendImp* self, VozerBitmap* bitmap, const VozerVertex* vertices, int32_t vertexCount, const uint16_t* indices, int32_t indexCount)) \
    X(38, void, SetRenderStateb, (VozerRendImp* self, int32_t state, vz_bool value)) \
    X(39, void, SetRenderStatef, (VozerRendImp* self, int32_t state, float value)) \
    X(40, void, SetRenderStatei, (VozerRendImp* self, int32_t state, int32_t value)) \
    /* Put the device in its default drawing state. */ \
    X(41, void, ApplyDefaultStates, (VozerRendImp* self)) \
    /* Viewport back to the whole screen. */ \
    X(42, void, ResetClipRect, (VozerRendImp* self)) \
    /* Push shader parameters to the device. */ \
    X(43, void, ApplyShaderParameters, (VozerRendImp* self, VozerShaderRecord* shader))

#define VZ_RENDIMP_OP_COUNT 44

typedef struct VozerRendImpOps {
#define VZ_RENDIMP_MEMBER(slot, result, name, params) result (VZ_THISCALL *name) params;
    VOZER_RENDIMP_OPS(VZ_RENDIMP_MEMBER)
#undef VZ_RENDIMP_MEMBER
} VozerRendImpOps;

struct VozerRendImp {
    const VozerRendImpOps* ops;
};

#if VZ_LAYOUT_IS_I686
VZ_STATIC_ASSERT(sizeof(VozerShaderRecord) == 108, "the shader record is 108 bytes");
VZ_STATIC_ASSERT(offsetof(VozerShaderRecord, kind) == 6, "kind at 6");
VZ_STATIC_ASSERT(offsetof(VozerShaderRecord, parametersApplied) == 8, "parametersApplied at 8");
VZ_STATIC_ASSERT(offsetof(VozerShaderRecord, parameters) == 12, "parameters at 12");
VZ_STATIC_ASSERT(sizeof(VozerRendImpOps) == VZ_RENDIMP_OP_COUNT * 4, "the renderer table has 44 operations");
#endif
VZ_STATIC_ASSERT(sizeof(VozerRendImpOps) == VZ_RENDIMP_OP_COUNT * sizeof(void*), "44 renderer operations");
#ifdef __cplusplus
#define VZ_RENDIMP_OFFSET_CHECK(slot, result, name, params) \
    static_assert(offsetof(VozerRendImpOps, name) == (slot) * sizeof(void*), "operation " #name " has moved");
VOZER_RENDIMP_OPS(VZ_RENDIMP_OFFSET_CHECK)
#undef VZ_RENDIMP_OFFSET_CHECK
#endif

typedef VozerRendImp* (VZ_CDECL *VozerRendImpGetInterfaceFn)(void);
#define VZ_RENDIMP_EXPORT "VOZER_RendImp_GetInterface"

#endif
