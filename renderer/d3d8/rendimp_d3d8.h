// The Direct3D 8 renderer: class RendImpD3D8, whose 44 virtual member
// functions are the renderer operations in table order. The runtime calls
// them through the object's first word (the virtual table) as member calls,
// so the order of the virtual functions below is the binary interface:
// NEVER MOVE ONE, and add no other virtual function (not even a destructor).
#pragma once

#include <windows.h>
#include <d3d8.h>

#include <string>
#include <vector>

#include "vozer_api.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"

namespace vz::d3d8 {

using Bitmap = VozerBitmap;
using Vertex = VozerVertex;
using Shader = VozerShaderRecord;

constexpr int BATCH_QUADS = 64;
constexpr int STAGE_COUNT = 8;
constexpr size_t RESOLUTION_TEXT_SIZE = 1024;
// Position + diffuse colour + one texture coordinate pair: the 24-byte Vertex.
constexpr DWORD VERTEX_FORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The quads waiting for one indexed draw. The index table is built once:
// quad i is the triangles (4i, 4i+1, 4i+2) and (4i+1, 4i+2, 4i+3).
struct QuadBatch {
    Vertex vertices[BATCH_QUADS * 4];
    WORD indices[BATCH_QUADS * 6];
    int count = 0;
    QuadBatch();
};

// The frame kept for VOZER_CAPTURE (capture.cpp).
struct FrameCapture {
    std::string path;               // empty: no capture asked for
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;   // B,G,R,A, the last frame presented
    int written = 0;                // files written so far: numbers the '*' of the path
};

// What the library holds besides the renderer object: one renderer per process.
struct LibraryState {
    bool ready = false;               // a device exists and may be drawn to
    VozerEngineApi* api = nullptr;    // from Init; null before it
    VozerRuntimeShared* runtime = nullptr;
    VozerDisplayParams* params = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    QuadBatch batch;
    IDirect3DBaseTexture8* stageTexture[STAGE_COUNT] = {};  // last bound per stage
    bool clippedAway = false;         // the clip rectangle lies outside the target: draw nothing
    bool blendingOff = false;         // blend mode 2 switched alpha blending off; any other mode turns it on
    int maxTextureWidth = 0, maxTextureHeight = 0;  // device limits, 0 when unknown
    char resolutions[RESOLUTION_TEXT_SIZE] = {};
    FrameCapture capture;
};

LibraryState& lib();

class RendImpD3D8 {
public:
    // [SECTION] The operations, slot 0 to 43.
    virtual vz_bool IsSupported();                                   // 0: always true
    virtual vz_bool CanUploadFromAnyThread();                        // 1: false, main thread only
    virtual const char* GetName();                                   // 2: "Direct3D8"
    virtual vz_bool IsResolutionSupported(int32_t width, int32_t height); // 3: adapter 0 lists the size
    virtual int32_t GetPixelByteOrder();                             // 4: 1, B,G,R,A in memory
    virtual vz_bool Init(VozerEngineApi* api, VozerRuntimeShared* runtime, VozerDisplayParams* params); // 5
    virtual vz_bool Reinit(int32_t width, int32_t height, vz_bool windowed); // 6: false, asks for a full restart
    virtual void Shutdown();                                         // 7: device and Direct3D object go
    virtual void SetActive(vz_bool active);                          // 8: ignored; EndFrame sees device loss
    virtual vz_bool SetRenderTarget(Bitmap* bitmap);                 // 9: null = the screen
    virtual vz_bool CopyRenderTargetToBitmapPixels(Bitmap* bitmap);  // 10: texels into bitmap pixels
    virtual vz_bool CreateRenderTarget(Bitmap* bitmap);              // 11: texture in device memory
    virtual vz_bool UploadBitmap(Bitmap* bitmap);                    // 12: managed texture with border
    virtual void ReleaseTexture(VozerHardwareData* hw);              // 13: clears hasTexture and texture
    virtual vz_bool CacheShader(Shader* shader);                     // 14: nothing to prepare, true
    virtual void Unused15(void* unused);                             // 15: does nothing
    virtual void SetShader(Shader* shader);                          // 16: stage setup of the shader kind
    virtual void SetShaderParameter(Shader* shader, int32_t index, const void* value); // 17
    virtual void SetTexture(int32_t stage, Bitmap* bitmap);          // 18: stages 0..7, others ignored
    virtual void DrawShadedQuad(const Vertex* vertices4);            // 19: one quad, current shader
    virtual void BeginFrame(int32_t pass);                           // 20: projection re-applied
    virtual void EndFrame();                                         // 21: batch, present, device loss
    virtual void Flush();                                            // 22: draw the batch now
    virtual vz_bool Clear(float red, float green, float blue);       // 23: opaque colour, depth kept
    virtual vz_bool ClearDepth(float z);                             // 24
    virtual void SetWorldTransform(const float* matrix16);           // 25: rows for column vectors
    virtual vz_bool SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height); // 26
    virtual void SetBlendMode(int32_t mode);                         // 27: 0..4
    virtual void SetFilterMode(int32_t mode);                        // 28: 0 point, 1 linear
    virtual void DrawTexturedQuad(Bitmap* bitmap, const Vertex* vertices4); // 29: batched
    virtual void DrawQuad(const Vertex* vertices4);                  // 30: batched, untextured
    virtual void DrawLine(const Vertex* vertices2);                  // 31: drawn at once
    virtual vz_bool SetEngineApi(VozerEngineApi* api);               // 32: true; the API comes with Init
    virtual const char* Extension(const char* category, const char* name); // 33: "Display"/"GetResolutions"
    virtual void Unused34();                                         // 34: does nothing
    virtual void Unused35();                                         // 35: does nothing
    virtual void SetDepthRange(float nearZ, float screenDepth, float farZ); // 36
    virtual vz_bool DrawTriangles(Bitmap* bitmap, const Vertex* vertices, int32_t vertexCount,
                                  const uint16_t* indices, int32_t indexCount); // 37: drawn at once
    virtual void SetRenderStateb(int32_t state, vz_bool value);      // 38: 10 depth test, 11 depth write
    virtual void SetRenderStatef(int32_t state, float value);        // 39: none understood
    virtual void SetRenderStatei(int32_t state, int32_t value);      // 40: 12 cull mode
    virtual void ApplyDefaultStates();                               // 41
    virtual void ResetClipRect();                                    // 42: whole target again
    virtual void ApplyShaderParameters(Shader* shader);              // 43

    // [SECTION] Helpers shared by the source files (not in the table).
    void drawBatch();
    void bindStageTexture(int stage, IDirect3DBaseTexture8* texture);
    // The mild perspective under which z = screenDepth draws at exact pixel
    // size, for a target of w x h whose origin on the screen is (x, y).
    void SetupProjection(int32_t w, int32_t h, int32_t x, int32_t y);
    void setupProjectionForCurrentTarget();
    void screenSize(int32_t& width, int32_t& height) const;
    void sendEvent(int32_t type, const void* pointer0);
    bool createDirect3D();
    void releaseDeviceSurfaces();
    void fetchDeviceSurfaces();
    void resetLostDevice();
    void startCaptureIfAsked();
    void keepFrameForCapture();
    void writeCapture();

    // [SECTION] The object's fields, in this order.
    HWND window = nullptr;                    // the host's window, copied in Init
    IDirect3DSurface8* backBuffer = nullptr;  // the device's own targets, for SetRenderTarget(null)
    IDirect3DSurface8* depthSurface = nullptr;
    Bitmap* currentTarget = nullptr;          // null = the screen
    D3DPRESENT_PARAMETERS presentParams{};    // kept for Reset
    uint32_t reserved[8] = {};
    float nearZ = 0.0f;
    float farZ = 1.0f;
    float screenDepth = 0.5f;
    vz_bool depthTest = 0;
    vz_bool depthWrite = 0;
    D3DMATRIX world{};                        // last world transform given to the device (row vectors)
};

// A pointer in one event word: only the 32-bit build has room for it there
// (word 3 of the named resolution event); elsewhere 0.
int32_t pointerWord(const void* pointer);

}  // namespace vz::d3d8
