// Quads per second through the runtime's path into gfxmod_d3d8, against a
// bare Direct3D 8 loop in the same program drawing the same quads the same
// way (64 per indexed draw from a fixed index table); the frame rate of a
// scene of 10,000 sprites both ways; and the time from
// nothing to the first presented frame for both. Runs under Wine on a
// virtual screen (or on Windows).
//
// The runtime side binds core/gfxmod_d3d8.dll with the runtime's own binding
// code, opens the runtime's window, starts the renderer through the
// runtime's renderer initialisation and draws with the engine's DrawBitmap.
#include <benchmark/benchmark.h>

#include "compare.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/directx_version.h"
#include "core/plugin_binding.h"
#include "core/shutdown.h"
#include "core/startup.h"
#include "core/window.h"
#include "fs/paths.h"
#include "image/image_loader.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace {

using namespace vz;

constexpr int32_t WIDTH = 640, HEIGHT = 480;
constexpr int QUADS_PER_FRAME = 4096;
// The sprite scene whose frame rate a game cares about.
constexpr int SCENE_SPRITES = 10000;
constexpr int QUAD_SIZE = 8;
constexpr int TEXTURE_SIZE = 8;
constexpr int BATCH = 64;
constexpr DWORD VERTEX_FORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

int32_t VZ_CDECL quiet(int32_t, const char*, ...) { return 0; }
int32_t VZ_CDECL quietPrint(const char*, ...) { return 0; }

// Where quad i of a frame goes: a grid over the screen.
float quadX(int i) { return static_cast<float>((i * 11) % (WIDTH - QUAD_SIZE)); }
float quadY(int i) { return static_cast<float>((i * 7) % (HEIGHT - QUAD_SIZE)); }

std::vector<uint32_t> texturePixels(uint32_t colour) { return std::vector<uint32_t>(TEXTURE_SIZE * TEXTURE_SIZE, colour); }

// [SECTION] The runtime side

struct RuntimeSide {
    VozerProgramRecord program{};
    VozerBitmap bitmaps[2]{};
    std::vector<uint32_t> pixels[2] = {texturePixels(0xFFFF8040u), texturePixels(0xFF4080FFu)};
    bool started = false;

    bool start() {
        createThreadRegistryLock();
        resetRuntimeState();
        clearEngineApi();
        fillEngineApi();
        recordMainThread();
        createEngineMutexes();
        fs::initPathRoots();
        RuntimeState& state = rt();
        program.interfaceVersion = VZ_INTERFACE_VERSION;
        std::strcpy(program.title, "Vozer renderer benchmark");
        program.display.width = WIDTH;
        program.display.height = HEIGHT;
        program.display.windowed = 1;
        state.shared.api = api();
        state.shared.program = &program;
        state.shared.displayInfo = &state.displayInfo;
        state.shared.screenSize = &state.displayInfo.deviceWidth;
        image::startImageLoader();
        if (!bindRendererIfUnbound()) return false;
        api()->Log = quiet;
        api()->Popup = quiet;
        api()->Print = quietPrint;
        state.requested = program.display;
        state.rendererParams = program.display;
        if (!createWindow() || !initialiseRenderer()) return false;
        for (int i = 0; i < 2; ++i) {
            VozerBitmap& b = bitmaps[i];
            b = VozerBitmap{};
            b.name = const_cast<char*>(i ? "second" : "first");
            b.width = b.height = TEXTURE_SIZE;
            b.pixels = pixels[i].data();
            b.flags = VZ_BITMAP_HAS_ALPHA;
            b.loadState = 3;  // loaded, as the bitmap manager leaves it
            if (!state.renderer->ops->UploadBitmap(state.renderer, &b)) return false;
        }
        started = true;
        return true;
    }

    void stop() {
        RuntimeState& state = rt();
        directXRefusedLate(true);
        if (state.renderer) {
            for (VozerBitmap& b : bitmaps) state.renderer->ops->ReleaseTexture(state.renderer, &b.hw);
            state.renderer->ops->Shutdown(state.renderer);
            state.rendererReady = false;
        }
        unbindRenderer();
        destroyWindow();
        platform::pumpMessages();
        destroyEngineMutexes();
        resetRuntimeState();
        started = false;
    }

    void frame(bool alternate, int count = QUADS_PER_FRAME) {
        VozerRendImp* renderer = rt().renderer;
        renderer->ops->BeginFrame(renderer, 0);
        renderer->ops->Clear(renderer, 0.1f, 0.1f, 0.2f);
        VozerEngineApi* a = api();
        for (int i = 0; i < count; ++i) a->DrawBitmap(&bitmaps[alternate ? (i & 1) : 0], quadX(i), quadY(i));
        renderer->ops->EndFrame(renderer);
        platform::pumpMessages();
        directXRefusedLate(false);  // as the main loop does after every frame
    }
};

// [SECTION] The bare loop

struct BareSide {
    HWND window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    IDirect3DTexture8* textures[2] = {};
    VozerVertex vertices[BATCH * 4];
    WORD indices[BATCH * 6];

    bool start() {
        for (int i = 0; i < BATCH; ++i) {
            const WORD b = static_cast<WORD>(4 * i);
            const WORD quad[6] = {b, static_cast<WORD>(b + 1), static_cast<WORD>(b + 2), static_cast<WORD>(b + 1),
                                  static_cast<WORD>(b + 2), static_cast<WORD>(b + 3)};
            std::memcpy(indices + 6 * i, quad, sizeof quad);
        }
        RECT area{0, 0, WIDTH, HEIGHT};
        AdjustWindowRect(&area, WS_OVERLAPPEDWINDOW, FALSE);
        window = CreateWindowA("STATIC", "bare Direct3D 8", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               area.right - area.left, area.bottom - area.top, nullptr, nullptr, nullptr, nullptr);
        d3d = Direct3DCreate8(220);
        if (!window || !d3d) return false;
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.hDeviceWindow = window;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D16;
        if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &params, &device)))
            return false;
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetVertexShader(VERTEX_FORMAT);
        // Pixel coordinates straight to the screen: the same picture as the runtime's projection at z = 0.5.
        D3DMATRIX projection{};
        projection._11 = 2.0f / WIDTH;
        projection._22 = -2.0f / HEIGHT;
        projection._33 = 1.0f;
        projection._41 = -1.0f - 1.0f / WIDTH;
        projection._42 = 1.0f + 1.0f / HEIGHT;
        projection._44 = 1.0f;
        device->SetTransform(D3DTS_PROJECTION, &projection);
        const uint32_t colours[2] = {0xFFFF8040u, 0xFF4080FFu};
        for (int t = 0; t < 2; ++t) {
            if (FAILED(device->CreateTexture(TEXTURE_SIZE, TEXTURE_SIZE, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                             &textures[t])))
                return false;
            D3DLOCKED_RECT locked;
            textures[t]->LockRect(0, &locked, nullptr, 0);
            for (int y = 0; y < TEXTURE_SIZE; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
                for (int x = 0; x < TEXTURE_SIZE; ++x) row[x] = colours[t];
            }
            textures[t]->UnlockRect(0);
        }
        return true;
    }

    void stop() {
        for (IDirect3DTexture8*& t : textures) {
            if (t) t->Release();
            t = nullptr;
        }
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
        device = nullptr;
        d3d = nullptr;
        window = nullptr;
    }

    void draw(int count) {
        device->BeginScene();
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(4 * count), static_cast<UINT>(2 * count),
                                       indices, D3DFMT_INDEX16, vertices, sizeof(VozerVertex));
        device->EndScene();
    }

    void frame(bool alternate, int count = QUADS_PER_FRAME) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF19193Bu, 1.0f, 0);
        int bound = -1, queued = 0;
        for (int i = 0; i < count; ++i) {
            const int texture = alternate ? (i & 1) : 0;
            if (texture != bound) {
                if (queued) draw(queued);
                queued = 0;
                device->SetTexture(0, textures[texture]);
                bound = texture;
            }
            const float x = quadX(i), y = quadY(i);
            VozerVertex* v = vertices + 4 * queued;
            v[0] = {x, y, 0.5f, 0xFFFFFFFFu, 0, 0};
            v[1] = {x + QUAD_SIZE, y, 0.5f, 0xFFFFFFFFu, 1, 0};
            v[2] = {x, y + QUAD_SIZE, 0.5f, 0xFFFFFFFFu, 0, 1};
            v[3] = {x + QUAD_SIZE, y + QUAD_SIZE, 0.5f, 0xFFFFFFFFu, 1, 1};
            if (++queued == BATCH) {
                draw(queued);
                queued = 0;
            }
        }
        if (queued) draw(queued);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        platform::pumpMessages();
    }
};

// [SECTION] Benchmarks

// Under Wine the first frames of a fresh device are slower
// than the ones after them, on both sides: what a game sees once it runs is
// the steady state, so each measurement starts after a few frames.
constexpr int WARM_UP_FRAMES = 5;

template <typename Side>
void warmUp(Side& side, bool alternate, int count) {
    for (int i = 0; i < WARM_UP_FRAMES; ++i) side.frame(alternate, count);
}

template <typename Side>
void quadsPerSecond(benchmark::State& state, bool alternate) {
    Side side;
    if (!side.start()) {
        state.SkipWithError("could not start the device");
        side.stop();
        return;
    }
    warmUp(side, alternate, QUADS_PER_FRAME);
    for (auto _ : state) side.frame(alternate);
    state.SetItemsProcessed(state.iterations() * QUADS_PER_FRAME);
    side.stop();
}

void BM_Quads_Runtime_OneTexture(benchmark::State& state) { quadsPerSecond<RuntimeSide>(state, false); }
void BM_Quads_Bare_OneTexture(benchmark::State& state) { quadsPerSecond<BareSide>(state, false); }
void BM_Quads_Runtime_TwoTexturesAlternating(benchmark::State& state) { quadsPerSecond<RuntimeSide>(state, true); }
void BM_Quads_Bare_TwoTexturesAlternating(benchmark::State& state) { quadsPerSecond<BareSide>(state, true); }

// Frames per second of a whole scene of sprites, presented each frame.
template <typename Side>
void spriteScene(benchmark::State& state) {
    Side side;
    if (!side.start()) {
        state.SkipWithError("could not start the device");
        side.stop();
        return;
    }
    warmUp(side, false, SCENE_SPRITES);
    for (auto _ : state) side.frame(false, SCENE_SPRITES);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    side.stop();
}
void BM_Scene10000Sprites_Runtime(benchmark::State& state) { spriteScene<RuntimeSide>(state); }
void BM_Scene10000Sprites_Bare(benchmark::State& state) { spriteScene<BareSide>(state); }

// From no window and no device to the first frame presented.
template <typename Side>
void firstFrame(benchmark::State& state) {
    for (auto _ : state) {
        Side side;
        const bool started = side.start();
        if (started) side.frame(false);
        state.PauseTiming();
        side.stop();
        state.ResumeTiming();
        if (!started) {
            state.SkipWithError("could not start the device");
            break;
        }
    }
}
void BM_FirstFrame_Runtime(benchmark::State& state) { firstFrame<RuntimeSide>(state); }
void BM_FirstFrame_Bare(benchmark::State& state) { firstFrame<BareSide>(state); }

BENCHMARK(BM_Quads_Bare_OneTexture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Quads_Runtime_OneTexture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Quads_Bare_TwoTexturesAlternating)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Quads_Runtime_TwoTexturesAlternating)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene10000Sprites_Bare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene10000Sprites_Runtime)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstFrame_Bare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstFrame_Runtime)->Unit(benchmark::kMillisecond)->UseRealTime();

VOZER_COMPARE(BM_Quads_Runtime_OneTexture, BM_Quads_Bare_OneTexture, "");
VOZER_COMPARE(BM_Quads_Runtime_TwoTexturesAlternating, BM_Quads_Bare_TwoTexturesAlternating, "");
VOZER_COMPARE(BM_Scene10000Sprites_Runtime, BM_Scene10000Sprites_Bare, "goal: at least 0.85");
VOZER_COMPARE(BM_FirstFrame_Runtime, BM_FirstFrame_Bare,
              "the runtime also loads the renderer library and its window class");

}  // namespace
