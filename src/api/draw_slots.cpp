// Drawing state and primitives. Each primitive fills a small vertex buffer
// from the current colour, alpha and depth, lets the vertex callbacks rewrite
// it and hands it to the renderer's batch; the renderer applies the world
// transform. Nothing here allocates, and a missing renderer, an undrawable
// bitmap or bad geometry simply draws nothing.
#include <cmath>
#include <cstring>

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz {

DrawState::DrawState() {
    for (VozerVertex* buffer : {quad, rawQuad}) {
        for (int i = 0; i < 4; ++i) buffer[i] = VozerVertex{0.0f, 0.0f, 0.5f, 0xFFFFFFFFu, 0.0f, 0.0f};
    }
    std::memset(transforms, 0, sizeof transforms);
    std::memset(callbacks, 0, sizeof callbacks);
}

namespace {

VozerRendImp* readyRenderer(const RuntimeState& state) {
    return (state.renderer && state.rendererReady.load(std::memory_order_relaxed)) ? state.renderer : nullptr;
}

VozerRendImp* readyRenderer() { return readyRenderer(rt()); }

// A colour component as a byte. Out-of-range values saturate instead of
// spilling into the neighbouring channels of the colour word.
uint32_t colorByte(float component) {
    const float scaled = component * 255.0f;
    if (!(scaled > 0.0f)) return 0;  // also NaN
    if (scaled >= 255.0f) return 255;
    return static_cast<uint32_t>(scaled);
}

uint32_t colorWord(const VozerColor& c) {
    return colorByte(c.a) << 24 | colorByte(c.r) << 16 | colorByte(c.g) << 8 | colorByte(c.b);
}

bool drawable(const VozerBitmap* bitmap) {
    return bitmap && bitmap->loadState == 3 && bitmap->hw.hasTexture;
}

// Whole vertices in 16-byte pieces. A renderer copies the quad into its batch
// at once with 16-byte loads, and a load that spans several smaller stores
// still in flight waits until they have all landed: written float by float,
// that stall cost about a third of a sprite's time.
// The pieces are words, not floats: the i686 build does float arithmetic on
// the x87 unit, whose loads quieten a signalling NaN, and a colour word
// read as a float often is one (alpha 0xFF with red 0x80-0xBF came out with
// red 0xC0-0xFF).
using Piece = uint32_t __attribute__((vector_size(16)));
static_assert(sizeof(VozerVertex) * 4 == 6 * sizeof(Piece), "a quad is six 16-byte pieces");

inline uint32_t floatBits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

// Writes the four corners' positions and texture coordinates into the quad
// buffer; each vertex keeps its depth and colour.
[[gnu::always_inline]] inline void writeQuad(VozerVertex* q, const float (&xf)[4], const float (&yf)[4], const float (&uf)[4], const float (&vf)[4]) {
    uint32_t x[4], y[4], u[4], v[4], z[4], c[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = floatBits(xf[i]), y[i] = floatBits(yf[i]), u[i] = floatBits(uf[i]), v[i] = floatBits(vf[i]);
        std::memcpy(&z[i], &q[i].z, sizeof z[i]);
        c[i] = q[i].color;
    }
    const Piece pieces[6] = {{x[0], y[0], z[0], c[0]}, {u[0], v[0], x[1], y[1]}, {z[1], c[1], u[1], v[1]},
                             {x[2], y[2], z[2], c[2]}, {u[2], v[2], x[3], y[3]}, {z[3], c[3], u[3], v[3]}};
    std::memcpy(q, pieces, sizeof pieces);
}

// An upright rectangle; the texture coordinates are kept.
void setCorners(VozerVertex* q, float x0, float y0, float x1, float y1) {
    writeQuad(q, {x0, x1, x0, x1}, {y0, y0, y1, y1}, {q[0].u, q[1].u, q[2].u, q[3].u},
              {q[0].v, q[1].v, q[2].v, q[3].v});
}

// An upright rectangle showing the texture rectangle (u0, v0)-(u1, v1).
void setRect(VozerVertex* q, float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1) {
    writeQuad(q, {x0, x1, x0, x1}, {y0, y0, y1, y1}, {u0, u1, u0, u1}, {v0, v0, v1, v1});
}

// Callbacks work on a copy: what one primitive's callbacks write must not
// stay in the shared buffer and colour the next primitive.
[[gnu::noinline]] void submitThroughCallbacks(VozerRendImp* r, VozerBitmap* bitmap, const VozerVertex* q) {
    VozerVertex copy[4];
    std::memcpy(copy, q, sizeof copy);
    runVertexCallbacks(copy, 4);
    if (bitmap) r->ops->DrawTexturedQuad(r, bitmap, copy); else r->ops->DrawQuad(r, copy);
}

inline void submit(const DrawState& d, VozerRendImp* r, VozerBitmap* bitmap, const VozerVertex* q) {
    if (d.callbackTop >= d.firstActiveCallback) return submitThroughCallbacks(r, bitmap, q);
    if (bitmap) r->ops->DrawTexturedQuad(r, bitmap, q); else r->ops->DrawQuad(r, q);
}

void setQuadColor(uint32_t word) {
    for (VozerVertex& v : rt().drawing.quad) v.color = word;
}

}  // namespace

namespace slots {

void SetColor(float red, float green, float blue) {
    DrawState& d = rt().drawing;
    d.red = red, d.green = green, d.blue = blue;
    d.colorWord = (d.colorWord & 0xFF000000u) | colorByte(red) << 16 | colorByte(green) << 8 | colorByte(blue);
    setQuadColor(d.colorWord);
}

// Only the alpha bytes change, so colours that DrawBitmapLine left in the
// quad buffer keep their hue.
void SetAlpha(float alpha) {
    DrawState& d = rt().drawing;
    if (!(alpha > 0.0f)) alpha = 0.0f;
    if (alpha > 1.0f) alpha = 1.0f;
    d.alpha = alpha;
    const uint32_t byte = colorByte(alpha) << 24;
    d.colorWord = (d.colorWord & 0x00FFFFFFu) | byte;
    for (VozerVertex& v : d.quad) v.color = (v.color & 0x00FFFFFFu) | byte;
}

void SetDepth(float z) {
    DrawState& d = rt().drawing;
    d.depth = z;
    for (VozerVertex& v : d.quad) v.z = z;
}

float GetDepth() { return rt().drawing.depth; }

void SetBlendMode(int32_t mode) {
    if (VozerRendImp* r = readyRenderer()) r->ops->SetBlendMode(r, mode);
}

void SetTextureFilter(int32_t mode) {
    if (VozerRendImp* r = readyRenderer()) r->ops->SetFilterMode(r, mode);
}

void SetRenderStateb(int32_t state, vz_bool value) {
    if (VozerRendImp* r = readyRenderer()) {
        r->ops->Flush(r);
        r->ops->SetRenderStateb(r, state, value);
    }
}

void SetRenderStatef(int32_t state, float value) {
    if (VozerRendImp* r = readyRenderer()) {
        r->ops->Flush(r);
        r->ops->SetRenderStatef(r, state, value);
    }
}

void SetRenderStatei(int32_t state, int32_t value) {
    if (VozerRendImp* r = readyRenderer()) {
        r->ops->Flush(r);
        r->ops->SetRenderStatei(r, state, value);
    }
}

void ClearScreen(float red, float green, float blue) {
    if (VozerRendImp* r = readyRenderer()) r->ops->Clear(r, red, green, blue);
}

void ClearDepth(float z) {
    if (VozerRendImp* r = readyRenderer()) r->ops->ClearDepth(r, z);
}

void FillRect(float x, float y, float width, float height) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !(d.alpha > 0.0f)) return;
    setCorners(d.quad, x, y, x + width, y + height);
    submit(d, r, nullptr, d.quad);
}

void DrawBitmap(VozerBitmap* bitmap, float x, float y) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !(d.alpha > 0.0f) || !drawable(bitmap)) return;
    const VozerHardwareData& hw = bitmap->hw;
    setRect(d.quad, x, y, x + static_cast<float>(bitmap->width), y + static_cast<float>(bitmap->height), hw.uLeft,
            hw.vTop, hw.uRight, hw.vBottom);
    submit(d, r, bitmap, d.quad);
}

// (x, y) is the centre. An odd size puts the centre between two pixels, so it
// moves half a (scaled) pixel up-left to keep the corners on the pixel grid.
void DrawBitmapEx(VozerBitmap* bitmap, float x, float y, float angle, float scale) {
    RuntimeState& state = rt();
    DrawState& d = state.drawing;
    VozerRendImp* r = readyRenderer(state);
    if (!r || !drawable(bitmap)) return;
    const float halfW = static_cast<float>(bitmap->width) * scale * 0.5f;
    const float halfH = static_cast<float>(bitmap->height) * scale * 0.5f;
    const float cx = (bitmap->width & 1) ? x - scale * 0.5f : x;
    const float cy = (bitmap->height & 1) ? y - scale * 0.5f : y;
    const float s = std::sin(angle), c = std::cos(angle);
    const float dx[4] = {-halfW, halfW, -halfW, halfW};
    const float dy[4] = {-halfH, -halfH, halfH, halfH};
    float px[4], py[4];
    for (int i = 0; i < 4; ++i) {
        px[i] = cx + c * dx[i] - s * dy[i];
        py[i] = cy + s * dx[i] + c * dy[i];
    }
    const VozerHardwareData& hw = bitmap->hw;
    writeQuad(d.quad, px, py, {hw.uLeft, hw.uRight, hw.uLeft, hw.uRight}, {hw.vTop, hw.vTop, hw.vBottom, hw.vBottom});
    submit(d, r, bitmap, d.quad);
}

void DrawBitmapSection(VozerBitmap* bitmap, float x, float y, float left, float top, float right,
                       float bottom) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !drawable(bitmap) || bitmap->width <= 0 || bitmap->height <= 0) return;
    const VozerHardwareData& hw = bitmap->hw;
    const float w = static_cast<float>(bitmap->width), h = static_cast<float>(bitmap->height);
    const float du = hw.uRight - hw.uLeft, dv = hw.vBottom - hw.vTop;
    setRect(d.quad, x, y, x + right - left, y + bottom - top, hw.uLeft + left / w * du, hw.vTop + top / h * dv,
            hw.uLeft + right / w * du, hw.vTop + bottom / h * dv);
    submit(d, r, bitmap, d.quad);
}

// The strip's direction uses the fast inverse square root with one Newton
// step: exact enough for a strip's width and much cheaper than sqrt and a
// division. A strip of no length has no direction and draws nothing.
void DrawBitmapLine(VozerBitmap* bitmap, VozerPoint p0, VozerPoint p1, float width0, float width1,
                    VozerColor color0, VozerColor color1) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !drawable(bitmap)) return;
    const float dx = p0.x - p1.x, dy = p1.y - p0.y;
    const float lengthSquared = dx * dx + dy * dy;
    if (!(lengthSquared > 0.0f) || std::isinf(lengthSquared)) return;
    uint32_t bits;
    std::memcpy(&bits, &lengthSquared, sizeof bits);
    bits = 0x5F3759DFu - (bits >> 1);
    float k;
    std::memcpy(&k, &bits, sizeof k);
    k = k * (1.5f - 0.5f * lengthSquared * k * k);
    const float a = width0 * 0.5f, b = width1 * 0.5f;
    const uint32_t word0 = colorWord(color0), word1 = colorWord(color1);
    d.quad[0].color = d.quad[1].color = word0;
    d.quad[2].color = d.quad[3].color = word1;
    const VozerHardwareData& hw = bitmap->hw;
    writeQuad(d.quad, {p0.x - a * dy * k, p0.x + a * dy * k, p1.x - b * dy * k, p1.x + b * dy * k},
              {p0.y - a * dx * k, p0.y + a * dx * k, p1.y - b * dx * k, p1.y + b * dx * k},
              {hw.uLeft, hw.uRight, hw.uLeft, hw.uRight}, {hw.vTop, hw.vTop, hw.vBottom, hw.vBottom});
    submit(d, r, bitmap, d.quad);
}

void DrawLine(float x0, float y0, float x1, float y1) {
    const DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r) return;
    const VozerVertex line[2] = {{x0, y0, d.depth, d.colorWord, 0.0f, 0.0f},
                                 {x1, y1, d.depth, d.colorWord, 0.0f, 0.0f}};
    r->ops->DrawLine(r, line);
}

void DrawLineVertices(const VozerVertex* vertices) {
    VozerRendImp* r = readyRenderer();
    if (r && vertices) r->ops->DrawLine(r, vertices);
}

// The caller's colours are 0xAARRGGBB; a renderer that keeps R,G,B,A in memory
// gets red and blue exchanged. u and v run 0..1 over the bitmap and are mapped
// into its place in the texture.
void DrawQuad(VozerBitmap* bitmap, const VozerVertex* vertices) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !vertices || (bitmap && !drawable(bitmap))) return;
    std::memcpy(d.rawQuad, vertices, sizeof d.rawQuad);
    if (rt().pixelByteOrder == 0) {
        for (VozerVertex& v : d.rawQuad)
            v.color = (v.color & 0xFF00FF00u) | (v.color & 0xFFu) << 16 | (v.color >> 16 & 0xFFu);
    }
    if (bitmap) {
        const VozerHardwareData& hw = bitmap->hw;
        for (VozerVertex& v : d.rawQuad) {
            v.u = hw.uLeft + v.u * (hw.uRight - hw.uLeft);
            v.v = hw.vTop + v.v * (hw.vBottom - hw.vTop);
        }
    }
    submit(d, r, bitmap, d.rawQuad);
}

// No readiness test: the caller takes responsibility for the bitmap's state.
void DrawQuadRaw(VozerBitmap* bitmap, const VozerVertex* vertices) {
    DrawState& d = rt().drawing;
    VozerRendImp* r = readyRenderer();
    if (!r || !vertices) return;
    std::memcpy(d.rawQuad, vertices, sizeof d.rawQuad);
    submit(d, r, bitmap, d.rawQuad);
}

// Indices that point past the vertices would make the renderer read outside
// the caller's array: such a mesh is not drawn. A trailing partial triangle
// is dropped.
void DrawMesh(VozerBitmap* bitmap, const VozerVertex* vertices, int32_t vertexCount, const uint16_t* indices,
              int32_t indexCount) {
    VozerRendImp* r = readyRenderer();
    if (!r || !vertices || !indices || vertexCount <= 0 || indexCount < 3) return;
    indexCount -= indexCount % 3;
    for (int32_t i = 0; i < indexCount; ++i) {
        if (indices[i] >= vertexCount) return;
    }
    r->ops->DrawTriangles(r, bitmap, vertices, vertexCount, indices, indexCount);
}

}  // namespace slots
}  // namespace vz
