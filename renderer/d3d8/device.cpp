// The device's life: the library export, the Direct3D object, Init and
// Shutdown, the display-mode queries, the projection and default states,
// presenting and recovering from device loss.
#include <cstdio>
#include <cstring>

#include "rendimp_d3d8.h"

namespace vz::d3d8 {

namespace {

constexpr UINT SDK_VERSION = 220;
constexpr float PROJECTION_SCALE = 8.0f * 0.0016666667f;  // k = h x 8 / 600
constexpr DWORD RESET_RETRY_SLEEP_MS = 50;

// Display modes whose formats the renderer can present to: 24-bit RGB,
// 32-bit ARGB and 32-bit XRGB.
bool presentableFormat(D3DFORMAT format) {
    return format == D3DFMT_R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// 4x4 matrices for column vectors, row by row.
struct Matrix {
    float m[4][4] = {};
};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

// The device wants row vectors: the transpose.
D3DMATRIX toDevice(const Matrix& a) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
    return r;
}

D3DMATRIX identity() {
    D3DMATRIX r{};
    r._11 = r._22 = r._33 = r._44 = 1.0f;
    return r;
}

template <typename T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

}  // namespace

LibraryState& lib() {
    static LibraryState state;
    return state;
}

QuadBatch::QuadBatch() {
    for (Vertex& v : vertices) {
        v = Vertex{};
        v.z = 0.5f;
        v.color = 0xFFFFFFFFu;
    }
    for (int i = 0; i < BATCH_QUADS; ++i) {
        const WORD base = static_cast<WORD>(4 * i);
        WORD* quad = indices + 6 * i;
        quad[0] = base;
        quad[1] = static_cast<WORD>(base + 1);
        quad[2] = static_cast<WORD>(base + 2);
        quad[3] = static_cast<WORD>(base + 1);
        quad[4] = static_cast<WORD>(base + 2);
        quad[5] = static_cast<WORD>(base + 3);
    }
}

int32_t pointerWord(const void* pointer) {
#if VZ_LAYOUT_IS_I686
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(pointer));
#else
    (void)pointer;
    return 0;
#endif
}

// [SECTION] Trivial operations

vz_bool RendImpD3D8::IsSupported() { return 1; }
vz_bool RendImpD3D8::CanUploadFromAnyThread() { return 0; }
const char* RendImpD3D8::GetName() { return "Direct3D8"; }
int32_t RendImpD3D8::GetPixelByteOrder() { return 1; }
vz_bool RendImpD3D8::Reinit(int32_t, int32_t, vz_bool) { return 0; }
void RendImpD3D8::SetActive(vz_bool) {}
vz_bool RendImpD3D8::CacheShader(Shader*) { return 1; }
void RendImpD3D8::Unused15(void*) {}
vz_bool RendImpD3D8::SetEngineApi(VozerEngineApi*) { return 1; }
void RendImpD3D8::Unused34() {}
void RendImpD3D8::Unused35() {}

// [SECTION] The Direct3D object and display modes

bool RendImpD3D8::createDirect3D() {
    LibraryState& s = lib();
    if (!s.d3d) s.d3d = Direct3DCreate8(SDK_VERSION);
    return s.d3d != nullptr;
}

vz_bool RendImpD3D8::IsResolutionSupported(int32_t width, int32_t height) {
    LibraryState& s = lib();
    if (!createDirect3D()) return 0;
    const UINT count = s.d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    if (s.api) s.api->Print("Listing %d modes.\n", static_cast<int>(count));
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(s.d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode)) || !presentableFormat(mode.Format)) continue;
        if (s.api) s.api->Print("Res %dx%d\n", static_cast<int>(mode.Width), static_cast<int>(mode.Height));
        if (static_cast<int32_t>(mode.Width) == width && static_cast<int32_t>(mode.Height) == height) return 1;
    }
    return 0;
}

const char* RendImpD3D8::Extension(const char* category, const char* name) {
    LibraryState& s = lib();
    if (!category || !name || std::strcmp(category, "Display") != 0 || std::strcmp(name, "GetResolutions") != 0)
        return nullptr;
    if (!s.d3d) return nullptr;
    char* text = s.resolutions;
    size_t used = 0;
    text[0] = '\0';
    UINT lastWidth = 0, lastHeight = 0;
    const UINT count = s.d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(s.d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode)) || !presentableFormat(mode.Format)) continue;
        if (mode.Width == lastWidth && mode.Height == lastHeight) continue;
        lastWidth = mode.Width;
        lastHeight = mode.Height;
        char entry[32];
        const int length = std::snprintf(entry, sizeof entry, "%ux%u", mode.Width, mode.Height);
        // Whole entries only: a size already listed (as a whole entry) is skipped.
        char needle[34];
        std::snprintf(needle, sizeof needle, ",%s,", entry);
        char haystack[RESOLUTION_TEXT_SIZE + 2];
        std::snprintf(haystack, sizeof haystack, ",%s,", text);
        if (std::strstr(haystack, needle)) continue;
        const size_t needed = static_cast<size_t>(length) + (used ? 1 : 0);
        if (used + needed + 1 > RESOLUTION_TEXT_SIZE) break;
        if (used) text[used++] = ',';
        std::memcpy(text + used, entry, static_cast<size_t>(length) + 1);
        used += static_cast<size_t>(length);
    }
    return text;
}

// [SECTION] Init and Shutdown

// The pointer goes where vz_event_pointer_at finds it in this build (a 64-bit
// Program reads it from two words, so it must not be cut to one).
void RendImpD3D8::sendEvent(int32_t type, const void* pointer0) {
    LibraryState& s = lib();
    VozerProgramRecord* program = s.runtime ? s.runtime->program : nullptr;
    if (!program || !program->OnEvent) return;
    VozerEvent event{};
    event.type = type;
    vz_set_event_pointer_at(&event, 0, pointer0);
    program->OnEvent(event);
}

void RendImpD3D8::fetchDeviceSurfaces() {
    LibraryState& s = lib();
    s.device->GetRenderTarget(&backBuffer);
    s.device->GetDepthStencilSurface(&depthSurface);
}

void RendImpD3D8::releaseDeviceSurfaces() {
    release(backBuffer);
    release(depthSurface);
}

vz_bool RendImpD3D8::Init(VozerEngineApi* api, VozerRuntimeShared* runtime, VozerDisplayParams* params) {
    LibraryState& s = lib();
    s.ready = false;
    s.api = api;
    s.runtime = runtime;
    s.params = params;
    if (!api || !runtime || !params) return 0;
    if (s.device) {  // started again without a Shutdown: the old device goes first
        releaseDeviceSurfaces();
        s.device->Release();
        s.device = nullptr;
    }
    runtime->atlasPacking = 1;
    window = static_cast<HWND>(runtime->window);
    if (!createDirect3D()) return 0;

    VozerProgramRecord* program = runtime->program;
    if (program && program->OnEvent) {
        VozerEvent event{};
        event.type = VZ_EVENT_NAMED;
        vz_set_event_pointer_at(&event, 0, "RESOLUTION_CHANGE");
        event.words[3] = pointerWord(api);
        if (program->OnEvent(event) != 0) {
            params->width = program->display.width;
            params->height = program->display.height;
            params->windowed = program->display.windowed;
        }
    }

    presentParams = D3DPRESENT_PARAMETERS{};
    presentParams.BackBufferWidth = params->windowed ? 0 : static_cast<UINT>(params->width);
    presentParams.BackBufferHeight = params->windowed ? 0 : static_cast<UINT>(params->height);
    presentParams.BackBufferFormat = D3DFMT_X8R8G8B8;
    presentParams.BackBufferCount = 1;
    presentParams.MultiSampleType = D3DMULTISAMPLE_NONE;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.hDeviceWindow = window;
    presentParams.Windowed = params->windowed ? TRUE : FALSE;
    presentParams.EnableAutoDepthStencil = TRUE;
    presentParams.AutoDepthStencilFormat = D3DFMT_D16;
    presentParams.Flags = 0;
    presentParams.FullScreen_RefreshRateInHz = 0;
    presentParams.FullScreen_PresentationInterval = 0;
    startCaptureIfAsked();  // a lockable back buffer, only when capturing

    D3DPRESENT_PARAMETERS creation = presentParams;  // the device may rewrite what it is given
    if (FAILED(s.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                   &creation, &s.device))) {
        s.device = nullptr;
        api->Log(VZ_ERROR, "Direct3D8: Unable to CreateDevice.\n");
        return 0;
    }
    D3DCAPS8 caps;
    if (SUCCEEDED(s.device->GetDeviceCaps(&caps))) {
        s.maxTextureWidth = static_cast<int>(caps.MaxTextureWidth);
        s.maxTextureHeight = static_cast<int>(caps.MaxTextureHeight);
    }
    for (IDirect3DBaseTexture8*& texture : s.stageTexture) texture = nullptr;
    s.batch.count = 0;
    s.clippedAway = false;
    currentTarget = nullptr;

    s.ready = true;
    api->Log(VZ_SYSTEM, "Direct3D8 initialization ok.");
    ApplyDefaultStates();
    // A windowed device takes the window's client size; tell the host what it got.
    int32_t width = params->width, height = params->height;
    if (params->windowed && window) {
        RECT client;
        if (GetClientRect(window, &client) && client.right > 0 && client.bottom > 0) {
            width = client.right;
            height = client.bottom;
        }
    }
    if (runtime->screenSize) {
        runtime->screenSize[0] = width;
        runtime->screenSize[1] = height;
    }
    SetupProjection(width, height, 0, 0);
    fetchDeviceSurfaces();
    if (window) {
        SetFocus(window);
        SetForegroundWindow(window);
    }
    return 1;
}

void RendImpD3D8::Shutdown() {
    LibraryState& s = lib();
    if (s.api) s.api->Print("RendImpD3D8::Shutdown..\n");
    writeCapture();
    if (s.ready) {
        if (backBuffer) backBuffer->Release();
        backBuffer = nullptr;
        const ULONG left = depthSurface ? depthSurface->Release() : 0;
        depthSurface = nullptr;
        if (left != 0 && s.api)
            s.api->Log(VZ_ERROR, "D3D8 RT Surface reference count %d on shutdown. Should be zero.\n", static_cast<int>(left));
    } else {
        releaseDeviceSurfaces();  // a device lost for good still holds them
    }
    s.ready = false;
    s.batch.count = 0;
    for (IDirect3DBaseTexture8*& texture : s.stageTexture) texture = nullptr;
    currentTarget = nullptr;
    if (s.device) {
        const ULONG left = s.device->Release();
        s.device = nullptr;
        if (left != 0 && s.api)
            s.api->Log(VZ_ERROR, "D3D8 pd3dDevice reference count %d on shutdown. Should be zero.\n", static_cast<int>(left));
    }
    if (s.d3d) {
        const ULONG left = s.d3d->Release();
        s.d3d = nullptr;
        if (left != 0 && s.api)
            s.api->Log(VZ_ERROR, "D3D8 pD3D reference count %d on shutdown. Should be zero.\n", static_cast<int>(left));
    }
}

// [SECTION] Projection and default states

void RendImpD3D8::screenSize(int32_t& width, int32_t& height) const {
    const LibraryState& s = lib();
    width = height = 0;
    if (s.runtime && s.runtime->screenSize) {
        width = s.runtime->screenSize[0];
        height = s.runtime->screenSize[1];
    }
}

void RendImpD3D8::SetupProjection(int32_t w, int32_t h, int32_t x, int32_t y) {
    LibraryState& s = lib();
    if (!s.device || w <= 0 || h <= 0) return;
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float n = nearZ, f = farZ, depth = screenDepth;
    const float k = fh * PROJECTION_SCALE;
    Matrix d;
    d.m[0][0] = 2.0f / fw;
    d.m[1][1] = -2.0f / fh;
    d.m[2][2] = d.m[3][3] = 1.0f;
    Matrix t;
    t.m[0][0] = t.m[1][1] = t.m[2][2] = t.m[3][3] = 1.0f;
    t.m[0][3] = -((2.0f * static_cast<float>(x) + 1.0f) / fw + 1.0f);
    t.m[1][3] = (2.0f * static_cast<float>(y) + 1.0f) / fh + 1.0f;
    Matrix p;
    const float range = (f - n) != 0.0f ? f / (f - n) : 1.0f;
    p.m[0][0] = p.m[1][1] = depth * (k + 1.0f);
    p.m[2][2] = range;
    p.m[2][3] = 0.99f * k * depth - n * range;
    p.m[3][2] = 1.0f;
    p.m[3][3] = k * depth;
    const D3DMATRIX projection = toDevice(multiply(multiply(p, t), d));
    const D3DMATRIX unit = identity();
    s.device->SetTransform(D3DTS_PROJECTION, &projection);
    s.device->SetTransform(D3DTS_VIEW, &unit);
    s.device->SetTransform(D3DTS_WORLD, &unit);
    world = unit;
}

void RendImpD3D8::setupProjectionForCurrentTarget() {
    if (currentTarget) {
        SetupProjection(currentTarget->hw.textureWidth, currentTarget->hw.textureHeight, 0, 0);
    } else {
        int32_t width, height;
        screenSize(width, height);
        SetupProjection(width, height, 0, 0);
    }
}

void RendImpD3D8::ApplyDefaultStates() {
    LibraryState& s = lib();
    if (!s.device) return;
    if (s.runtime) {
        s.runtime->currentBlendMode = -1;
        s.runtime->currentFilterMode = -1;
    }
    // Through the engine so that the host's own drawing state agrees; a host
    // whose slots do not come back here still gets the device set.
    if (s.api && s.api->SetBlendMode) s.api->SetBlendMode(0);
    if (s.api && s.api->SetTextureFilter) s.api->SetTextureFilter(1);
    if (!s.runtime || s.runtime->currentBlendMode != 0) SetBlendMode(0);
    if (!s.runtime || s.runtime->currentFilterMode != 1) SetFilterMode(1);
    IDirect3DDevice8* d = s.device;
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, depthTest ? D3DZB_TRUE : D3DZB_FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, depthWrite ? TRUE : FALSE);
    d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    s.blendingOff = false;
    d->SetRenderState(D3DRS_ALPHAREF, 1);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    for (DWORD stage = 0; stage < 3; ++stage) d->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetVertexShader(VERTEX_FORMAT);
}

void RendImpD3D8::BeginFrame(int32_t) {
    if (lib().device && lib().ready) setupProjectionForCurrentTarget();
}

// [SECTION] Presenting and device loss

void RendImpD3D8::EndFrame() {
    LibraryState& s = lib();
    drawBatch();
    if (!s.device) return;
    if (s.ready) keepFrameForCapture();
    if (SUCCEEDED(s.device->Present(nullptr, nullptr, nullptr, nullptr))) return;
    // Lost and not yet resettable: drawing goes into nothing until it is.
    if (s.device->TestCooperativeLevel() != D3DERR_DEVICENOTRESET) return;
    resetLostDevice();
}

void RendImpD3D8::resetLostDevice() {
    LibraryState& s = lib();
    if (s.ready) {
        if (s.api) s.api->Log(VZ_SYSTEM, "D3D Device lost. Not rendering until properly reset.\n");
        s.ready = false;
    }
    releaseDeviceSurfaces();
    // Render-target textures live in device memory and must go before a reset.
    VozerBitmap* bitmaps = s.runtime ? s.runtime->bitmaps : nullptr;
    const int32_t count = bitmaps ? s.runtime->bitmapCount : 0;
    for (int32_t i = 0; i < count; ++i) {
        VozerBitmap& bitmap = bitmaps[i];
        if (bitmap.name && (bitmap.flags & VZ_BITMAP_RENDER_TARGET)) ReleaseTexture(&bitmap.hw);
    }
    for (IDirect3DBaseTexture8*& texture : s.stageTexture) texture = nullptr;
    s.device->SetTexture(0, nullptr);
    D3DPRESENT_PARAMETERS parameters = presentParams;
    if (FAILED(s.device->Reset(&parameters))) {
        if (s.api) s.api->Sleep(RESET_RETRY_SLEEP_MS);
        return;
    }
    s.ready = true;
    ApplyDefaultStates();
    fetchDeviceSurfaces();
    // The target's texture is gone: drawing resumes on the screen.
    currentTarget = nullptr;
    s.clippedAway = false;
    setupProjectionForCurrentTarget();

    if (s.api) s.api->Print("Regenerating render targets...\n");
    for (int32_t i = 0; i < count; ++i) {
        VozerBitmap& bitmap = bitmaps[i];
        if (bitmap.name && (bitmap.flags & VZ_BITMAP_RENDER_TARGET)) CreateRenderTarget(&bitmap);
    }
    for (int32_t i = 0; i < count; ++i) {
        VozerBitmap& bitmap = bitmaps[i];
        if (!bitmap.name || !(bitmap.flags & VZ_BITMAP_RENDER_TARGET)) continue;
        if (s.api) s.api->Print("Regenerating '%s'..\n", bitmap.name);
        sendEvent(VZ_EVENT_RENDER_TARGET_LOST, &bitmap);
    }
    if (s.api) s.api->Log(VZ_SYSTEM, "D3D Device reset ok.\n");
}

}  // namespace vz::d3d8

// The library's one export: the renderer object, made on the first call.
extern "C" VZ_EXPORT VozerRendImp* VZ_CDECL VOZER_RendImp_GetInterface(void) {
    static vz::d3d8::RendImpD3D8 renderer;
    // The object's first word is its virtual-table pointer: the operation table.
    return reinterpret_cast<VozerRendImp*>(&renderer);
}
