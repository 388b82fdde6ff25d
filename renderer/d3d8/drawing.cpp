// Drawing: the quad batch and everything that must draw it first (state,
// texture, shader, clip and transform changes), lines and triangle lists.
#include <cstring>

#include "rendimp_d3d8.h"

namespace vz::d3d8 {

namespace {

constexpr UINT VERTEX_STRIDE = sizeof(Vertex);
constexpr int32_t BLEND_OPAQUE = 2;

D3DCOLOR opaque(float red, float green, float blue) {
    auto channel = [](float value) {
        if (!(value > 0.0f)) return 0u;  // also NaN
        if (value >= 1.0f) return 255u;
        return static_cast<unsigned>(value * 255.0f);
    };
    return 0xFF000000u | (channel(red) << 16) | (channel(green) << 8) | channel(blue);
}

// A direction component in -1..1 as a colour byte.
DWORD directionByte(float value) {
    const float mapped = value * 127.0f + 128.0f;
    if (!(mapped > 0.0f)) return 0;
    if (mapped >= 255.0f) return 255;
    return static_cast<DWORD>(mapped);
}

IDirect3DBaseTexture8* textureOf(const Bitmap* bitmap) {
    if (!bitmap || !bitmap->hw.hasTexture) return nullptr;
    return static_cast<IDirect3DBaseTexture8*>(bitmap->hw.texture);
}

void defaultStageSetup(IDirect3DDevice8* d) {
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

// "!DOT3_DIRECTIONAL": stage 0 lights the normal map against the direction in
// the texture factor, stage 1 multiplies in the second texture.
void dot3StageSetup(IDirect3DDevice8* d) {
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

}  // namespace

// [SECTION] The batch

void RendImpD3D8::drawBatch() {
    LibraryState& s = lib();
    QuadBatch& batch = s.batch;
    if (batch.count == 0) return;
    const int count = batch.count;
    batch.count = 0;
    if (!s.device || s.clippedAway) return;
    if (FAILED(s.device->BeginScene())) return;  // the batch is dropped
    s.device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(4 * count), static_cast<UINT>(2 * count),
                                     batch.indices, D3DFMT_INDEX16, batch.vertices, VERTEX_STRIDE);
    s.device->EndScene();
}

void RendImpD3D8::bindStageTexture(int stage, IDirect3DBaseTexture8* texture) {
    LibraryState& s = lib();
    if (s.stageTexture[stage] == texture) return;
    drawBatch();
    s.device->SetTexture(static_cast<DWORD>(stage), texture);
    s.stageTexture[stage] = texture;
}

void RendImpD3D8::Flush() { drawBatch(); }

void RendImpD3D8::DrawTexturedQuad(Bitmap* bitmap, const Vertex* vertices4) {
    LibraryState& s = lib();
    if (!s.ready || !vertices4) return;
    bindStageTexture(0, textureOf(bitmap));
    std::memcpy(&s.batch.vertices[4 * s.batch.count], vertices4, 4 * sizeof(Vertex));
    if (++s.batch.count == BATCH_QUADS) drawBatch();
}

void RendImpD3D8::DrawQuad(const Vertex* vertices4) { DrawTexturedQuad(nullptr, vertices4); }

void RendImpD3D8::DrawLine(const Vertex* vertices2) {
    LibraryState& s = lib();
    if (!s.ready || !vertices2) return;
    drawBatch();
    bindStageTexture(0, nullptr);
    if (s.clippedAway) return;
    Vertex line[2];
    std::memcpy(line, vertices2, sizeof line);
    if (FAILED(s.device->BeginScene())) return;
    s.device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, line, VERTEX_STRIDE);
    s.device->EndScene();
}

vz_bool RendImpD3D8::DrawTriangles(Bitmap* bitmap, const Vertex* vertices, int32_t vertexCount,
                                   const uint16_t* indices, int32_t indexCount) {
    LibraryState& s = lib();
    if (!s.ready) return 0;
    drawBatch();
    // The device reads whatever the indices point at: every one must name a vertex.
    if (!vertices || !indices || vertexCount <= 0 || vertexCount > 65536 || indexCount < 3) return 0;
    for (int32_t i = 0; i < indexCount; ++i) {
        if (indices[i] >= vertexCount) return 0;
    }
    bindStageTexture(0, textureOf(bitmap));
    if (s.clippedAway) return 1;
    if (FAILED(s.device->BeginScene())) return 0;
    const HRESULT drawn = s.device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertexCount),
                                                           static_cast<UINT>(indexCount / 3), indices, D3DFMT_INDEX16,
                                                           vertices, VERTEX_STRIDE);
    s.device->EndScene();
    return SUCCEEDED(drawn) ? 1 : 0;
}

// [SECTION] Clearing and transforms

vz_bool RendImpD3D8::Clear(float red, float green, float blue) {
    LibraryState& s = lib();
    if (!s.ready) return 0;
    drawBatch();
    if (s.clippedAway) return 1;
    return SUCCEEDED(s.device->Clear(0, nullptr, D3DCLEAR_TARGET, opaque(red, green, blue), 1.0f, 0)) ? 1 : 0;
}

vz_bool RendImpD3D8::ClearDepth(float z) {
    LibraryState& s = lib();
    if (!s.ready) return 0;
    drawBatch();
    if (s.clippedAway) return 1;
    return SUCCEEDED(s.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, z, 0)) ? 1 : 0;
}

void RendImpD3D8::SetWorldTransform(const float* matrix16) {
    LibraryState& s = lib();
    if (!s.ready || !matrix16) return;
    drawBatch();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) world.m[j][i] = matrix16[4 * i + j];
    s.device->SetTransform(D3DTS_WORLD, &world);
}

void RendImpD3D8::SetDepthRange(float nearValue, float screenValue, float farValue) {
    nearZ = nearValue;
    screenDepth = screenValue;
    farZ = farValue;
    if (lib().ready) {
        drawBatch();
        setupProjectionForCurrentTarget();
    }
}

// [SECTION] Clip rectangle

vz_bool RendImpD3D8::SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    LibraryState& s = lib();
    drawBatch();
    int32_t screenWidth, screenHeight;
    screenSize(screenWidth, screenHeight);
    if (x <= 0 && y <= 0 && width >= screenWidth && height >= screenHeight) {
        ResetClipRect();
        return 1;
    }
    if (!s.ready || !s.params) return 0;
    // The visible part of the rectangle: a rectangle reaching past an edge is
    // cut there, and one wholly outside the display hides everything.
    const int64_t displayWidth = s.params->width, displayHeight = s.params->height;
    auto clamp = [](int64_t value, int64_t high) { return value < 0 ? 0 : (value > high ? high : value); };
    const int64_t left = clamp(x, displayWidth), top = clamp(y, displayHeight);
    const int64_t right = clamp(static_cast<int64_t>(x) + width, displayWidth);
    const int64_t bottom = clamp(static_cast<int64_t>(y) + height, displayHeight);
    if (right <= left || bottom <= top) {
        s.clippedAway = true;
        return 0;
    }
    s.clippedAway = false;
    D3DVIEWPORT8 viewport{static_cast<DWORD>(left), static_cast<DWORD>(top), static_cast<DWORD>(right - left),
                          static_cast<DWORD>(bottom - top), 0.0f, 1.0f};
    s.device->SetViewport(&viewport);
    SetupProjection(static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top), static_cast<int32_t>(left),
                    static_cast<int32_t>(top));
    return 0;
}

void RendImpD3D8::ResetClipRect() {
    LibraryState& s = lib();
    drawBatch();
    s.clippedAway = false;
    if (!s.device) return;
    int32_t width, height;
    if (currentTarget) {
        width = currentTarget->hw.textureWidth;
        height = currentTarget->hw.textureHeight;
    } else {
        screenSize(width, height);
    }
    if (width <= 0 || height <= 0) return;
    D3DVIEWPORT8 viewport{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    s.device->SetViewport(&viewport);
    if (s.ready) setupProjectionForCurrentTarget();
}

// [SECTION] Blend and filter modes, textures

void RendImpD3D8::SetBlendMode(int32_t mode) {
    LibraryState& s = lib();
    if (!s.ready || s.runtime->currentBlendMode == mode) return;
    drawBatch();
    IDirect3DDevice8* d = s.device;
    const int32_t previous = s.runtime->currentBlendMode;
    s.runtime->currentBlendMode = mode;
    if (mode == BLEND_OPAQUE) {
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        s.blendingOff = true;
        return;
    }
    // Whatever mode follows the opaque one, an unknown one included, blends
    // again: the flag, not the previous mode, knows whether it is off (2, 7, 0
    // would otherwise leave it off).
    if (s.blendingOff || previous < 0) {
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        s.blendingOff = false;
    }
    D3DBLEND source, destination;
    switch (mode) {
        case 0: source = D3DBLEND_SRCALPHA; destination = D3DBLEND_INVSRCALPHA; break;  // normal
        case 1: source = D3DBLEND_SRCALPHA; destination = D3DBLEND_ONE; break;          // additive
        case 3: source = D3DBLEND_DESTCOLOR; destination = D3DBLEND_INVSRCALPHA; break;  // multiply
        case 4: source = D3DBLEND_DESTCOLOR; destination = D3DBLEND_SRCALPHA; break;     // multiply variant
        default: return;  // factors unchanged, only recorded
    }
    d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    d->SetRenderState(D3DRS_SRCBLEND, source);
    d->SetRenderState(D3DRS_DESTBLEND, destination);
}

void RendImpD3D8::SetFilterMode(int32_t mode) {
    LibraryState& s = lib();
    if (!s.ready || s.runtime->currentFilterMode == mode) return;
    s.runtime->currentFilterMode = mode;
    if (mode != 0 && mode != 1) return;  // only recorded
    drawBatch();
    const DWORD filter = mode == 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    s.device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    s.device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
}

void RendImpD3D8::SetTexture(int32_t stage, Bitmap* bitmap) {
    if (!lib().ready || stage < 0 || stage >= STAGE_COUNT) return;
    bindStageTexture(stage, textureOf(bitmap));
}

// [SECTION] Shaders

void RendImpD3D8::SetShader(Shader* shader) {
    LibraryState& s = lib();
    if (!s.ready) return;
    drawBatch();
    if (s.api && s.api->SetBlendMode) s.api->SetBlendMode(0);
    if (s.runtime->currentBlendMode != 0) SetBlendMode(0);
    // No shader is the plain pipeline again.
    if (shader && shader->kind == 1) {
        dot3StageSetup(s.device);
    } else {
        defaultStageSetup(s.device);
    }
}

void RendImpD3D8::SetShaderParameter(Shader* shader, int32_t index, const void* value) {
    if (!shader || !value || index < 0 || index >= VZ_SHADER_PARAMETER_COUNT) return;
    std::memcpy(&shader->parameters[index], value, sizeof(float));
    shader->parametersApplied = 0;
}

void RendImpD3D8::ApplyShaderParameters(Shader* shader) {
    LibraryState& s = lib();
    if (!s.ready || !shader || shader->parametersApplied) return;
    drawBatch();
    if (shader->kind == 1) {
        const DWORD factor = 0xFF000000u + directionByte(shader->parameters[0]) * 65536u +
                             directionByte(shader->parameters[1]) * 256u + directionByte(shader->parameters[2]);
        s.device->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    }
    shader->parametersApplied = 1;
}

void RendImpD3D8::DrawShadedQuad(const Vertex* vertices4) {
    LibraryState& s = lib();
    if (!s.ready || !vertices4 || !s.runtime->currentShader) return;
    drawBatch();
    ApplyShaderParameters(s.runtime->currentShader);
    std::memcpy(s.batch.vertices, vertices4, 4 * sizeof(Vertex));
    s.batch.count = 1;
    drawBatch();
}

// [SECTION] Render states

void RendImpD3D8::SetRenderStateb(int32_t state, vz_bool value) {
    LibraryState& s = lib();
    drawBatch();
    if (state == VZ_STATE_DEPTH_TEST || state == VZ_STATE_DEPTH_WRITE) {
        // Kept in the object so that the default states restore them after a reset.
        if (state == VZ_STATE_DEPTH_TEST) depthTest = value ? 1 : 0;
        if (state == VZ_STATE_DEPTH_WRITE) depthWrite = value ? 1 : 0;
        if (!s.device) return;
        if (state == VZ_STATE_DEPTH_TEST) s.device->SetRenderState(D3DRS_ZENABLE, depthTest ? D3DZB_TRUE : D3DZB_FALSE);
        else s.device->SetRenderState(D3DRS_ZWRITEENABLE, depthWrite ? TRUE : FALSE);
        return;
    }
    if (s.api)
        s.api->Popup(VZ_WARNING, "SetRenderStateb (%d, %s) state not supported with this method.", static_cast<int>(state),
                     value ? "true" : "false");
}

void RendImpD3D8::SetRenderStatef(int32_t state, float value) {
    LibraryState& s = lib();
    drawBatch();
    if (s.api)
        s.api->Popup(VZ_WARNING, "SetRenderStatef (%d, %g) state not supported with this method.", static_cast<int>(state),
                     static_cast<double>(value));
}

void RendImpD3D8::SetRenderStatei(int32_t state, int32_t value) {
    LibraryState& s = lib();
    drawBatch();
    if (state == VZ_STATE_CULL_MODE && value >= 0 && value <= 2) {
        static constexpr D3DCULL MODES[] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
        if (s.device) s.device->SetRenderState(D3DRS_CULLMODE, MODES[value]);
        return;
    }
    if (s.api)
        s.api->Popup(VZ_WARNING, "SetRenderStatei (%d, %d) state not supported with this method.", static_cast<int>(state),
                     static_cast<int>(value));
}

}  // namespace vz::d3d8
