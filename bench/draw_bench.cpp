// CPU cost of DrawBitmapEx (rotated, scaled, under a camera transform) into a
// renderer's 64-quad batch with presenting switched off, against a plain loop
// that computes the same four vertices into the same batch, in the same run.
// Goal: the engine path costs at most 1.5 times the plain loop.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "api/engine_api.h"
#include "compare.h"
#include "state/runtime_state.h"

namespace {

// The batch a renderer keeps: full batches are dropped instead of drawn.
struct Batch {
    VozerVertex vertices[64 * 4];
    const VozerBitmap* texture = nullptr;
    int quads = 0;

    void add(const VozerBitmap* bitmap, const VozerVertex* quad) {
        if (quads == 64 || bitmap != texture) quads = 0;
        texture = bitmap;
        std::memcpy(&vertices[quads * 4], quad, 4 * sizeof(VozerVertex));
        ++quads;
    }
};

Batch batch;

using R = VozerRendImp;
void VZ_THISCALL drawTexturedQuad(R*, VozerBitmap* bitmap, const VozerVertex* quad) { batch.add(bitmap, quad); }
void VZ_THISCALL flush(R*) { batch.quads = 0; }
void VZ_THISCALL setWorldTransform(R*, const float*) {}
VozerRendImpOps ops;
VozerRendImp renderer{&ops};

VozerBitmap sprite;

void setUp() {
    vz::resetRuntimeState();
    vz::clearEngineApi();
    vz::fillEngineApi();
    std::memset(&ops, 0, sizeof ops);
    ops.DrawTexturedQuad = drawTexturedQuad;
    ops.Flush = flush;
    ops.SetWorldTransform = setWorldTransform;
    vz::RuntimeState& state = vz::rt();
    state.renderer = &renderer;
    state.rendererReady = true;
    std::memset(&sprite, 0, sizeof sprite);
    sprite.width = sprite.height = 32;
    sprite.loadState = 3;
    sprite.hw = VozerHardwareData{1, {}, 0.0f, 0.0f, 1.0f, 1.0f, 32, 32, nullptr, {}};
    const float camera[16] = {1.5f, 0, 0, -120, 0, 1.5f, 0, -80, 0, 0, 1, 0, 0, 0, 0, 1};
    vz::api()->PushTransform(camera);
}

void BM_DrawBitmapEx(benchmark::State& state) {
    setUp();
    VozerEngineApi* zt = vz::api();
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.001f;
        zt->DrawBitmapEx(&sprite, 100.0f, 200.0f, angle, 1.25f);
    }
    benchmark::DoNotOptimize(batch.vertices[0]);
    zt->PopTransform();
}
BENCHMARK(BM_DrawBitmapEx);

// The reference: the same corners, colour, depth and texture coordinates.
void BM_PlainLoop(benchmark::State& state) {
    setUp();
    VozerVertex quad[4];
    for (VozerVertex& v : quad) v = VozerVertex{0, 0, 0.5f, 0xFFFFFFFFu, 0, 0};
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.001f;
        const float scale = 1.25f;
        const float hw = 32 * scale * 0.5f, hh = 32 * scale * 0.5f;
        const float s = std::sin(angle), c = std::cos(angle);
        const float dx[4] = {-hw, hw, -hw, hw};
        const float dy[4] = {-hh, -hh, hh, hh};
        for (int i = 0; i < 4; ++i) {
            quad[i].x = 100.0f + c * dx[i] - s * dy[i];
            quad[i].y = 200.0f + s * dx[i] + c * dy[i];
        }
        quad[0].u = quad[2].u = sprite.hw.uLeft;
        quad[1].u = quad[3].u = sprite.hw.uRight;
        quad[0].v = quad[1].v = sprite.hw.vTop;
        quad[2].v = quad[3].v = sprite.hw.vBottom;
        batch.add(&sprite, quad);
    }
    benchmark::DoNotOptimize(batch.vertices[0]);
    vz::api()->PopTransform();
}
BENCHMARK(BM_PlainLoop);
VOZER_COMPARE(BM_DrawBitmapEx, BM_PlainLoop, "goal: at most 1.5x");

}  // namespace
