// The drawing path end to end: engine API slots -> stacks and primitives ->
// the headless renderer library, whose journal shows what reached it.
#include <cmath>
#include <cstdio>

#include "../resources/render_fixture.h"

namespace vz {
namespace {

using test::countContaining;
using test::messages;

class Drawing : public test::RenderFixture {
protected:
    void expectCorners(const std::string& quad, std::vector<std::pair<float, float>> want, float tolerance = 1e-3f) {
        const auto got = corners(quad);
        ASSERT_EQ(got.size(), want.size()) << quad;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_NEAR(got[i].first, want[i].first, tolerance) << quad << " corner " << i;
            EXPECT_NEAR(got[i].second, want[i].second, tolerance) << quad << " corner " << i;
        }
    }
};

const float SCALE2_MOVE10[16] = {2, 0, 0, 10, 0, 2, 0, 20, 0, 0, 1, 0, 0, 0, 0, 1};
const float MOVE5[16] = {1, 0, 0, 5, 0, 1, 0, 5, 0, 0, 1, 0, 0, 0, 0, 1};

TEST_F(Drawing, TransformsComposeReachTheRendererAndSurviveMisuse) {
    float m[16];
    zt->PushTransform(SCALE2_MOVE10);
    zt->PushTransform(MOVE5);
    zt->GetTransform(m);
    EXPECT_FLOAT_EQ(m[0], 2.0f);
    EXPECT_FLOAT_EQ(m[3], 20.0f) << "outer x inner: the inner move is scaled";
    EXPECT_FLOAT_EQ(m[7], 30.0f);
    const auto worlds = journalOf("world ");
    ASSERT_EQ(worlds.size(), 2u);
    EXPECT_EQ(worlds[1], "world 2 0 0 20 0 2 0 30 0 0 1 0 0 0 0 1");

    zt->PushTransform(nullptr);  // identity, not a copy: the outer transforms stop applying
    zt->GetTransform(m);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(m[3], 0.0f);
    zt->PopTransform();
    zt->PopTransform();
    zt->PopTransform();
    EXPECT_EQ(rt().transformDepth, -1);
    EXPECT_EQ(journalOf("world ").back(), "world 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");

    zt->PopTransform();
    EXPECT_EQ(messages().popups, std::vector<std::string>{"1: Calling ZT_PopTransform() too many times! Check your code!"});

    for (int i = 0; i < 33; ++i) zt->PushTransform(MOVE5);
    EXPECT_EQ(rt().transformDepth, 31) << "the 33rd push has no effect";
    zt->GetTransform(m);
    EXPECT_FLOAT_EQ(m[3], 160.0f);
    for (int i = 0; i < 32; ++i) zt->PopTransform();
    EXPECT_EQ(messages().popups.size(), 1u);
}

void VZ_CDECL shiftX(VozerVertex* v, int32_t count, void* amount) {
    for (int32_t i = 0; i < count; ++i) v[i].x += *static_cast<float*>(amount);
}
void VZ_CDECL paintRed(VozerVertex* v, int32_t count, void*) {
    for (int32_t i = 0; i < count; ++i) v[i].color = 0xFFFF0000u;
}

TEST_F(Drawing, VertexCallbacksRunAboveTheLastBarrierAndLeaveNothingBehind) {
    float a = 100.0f, b = 1000.0f;
    zt->PushVertexCallback(shiftX, &a);
    zt->PushVertexCallback(nullptr, nullptr);
    zt->PushVertexCallback(shiftX, &b);
    zt->FillRect(0, 0, 1, 1);
    zt->PopVertexCallback();
    zt->FillRect(0, 0, 1, 1);  // only the barrier is left above A: nothing runs
    zt->PopVertexCallback();
    zt->FillRect(0, 0, 1, 1);  // A rules again
    auto quads = journalOf("quad ");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_NEAR(corners(quads[0])[0].first, 1000.0f, 1e-3);
    EXPECT_NEAR(corners(quads[1])[0].first, 0.0f, 1e-3);
    EXPECT_NEAR(corners(quads[2])[0].first, 100.0f, 1e-3);

    zt->PushVertexCallback(paintRed, nullptr);
    EXPECT_TRUE(zt->RemoveVertexCallback(shiftX, &a)) << "an older callback is found too";
    EXPECT_FALSE(zt->RemoveVertexCallback(shiftX, &a));
    zt->FillRect(0, 0, 1, 1);
    EXPECT_TRUE(zt->RemoveVertexCallback(paintRed, nullptr)) << "the newest is found";
    zt->FillRect(0, 0, 1, 1);
    quads = journalOf("quad ");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_NE(quads[0].find("#FFFF0000"), std::string::npos);
    EXPECT_NE(quads[1].find("#FFFFFFFF"), std::string::npos) << "a callback's colour does not stick";
    EXPECT_NEAR(corners(quads[1])[0].first, 0.0f, 1e-3);

    VozerVertex single{1, 2, 0.5f, 0, 0, 0};
    zt->PushVertexCallback(shiftX, &a);
    zt->ApplyVertexCallbacks(&single);
    EXPECT_FLOAT_EQ(single.x, 101.0f);
    for (int i = 0; i < 20; ++i) zt->PushVertexCallback(shiftX, &a);  // 16 at most, no message
    EXPECT_EQ(rt().drawing.callbackTop, 15);
    EXPECT_TRUE(messages().popups.empty());
}

TEST_F(Drawing, ColourAlphaAndDepthGoIntoTheVertices) {
    zt->SetColor(1.0f, 0.5f, 0.0f);
    zt->SetDepth(0.25f);
    zt->FillRect(1, 2, 3, 4);
    const auto quads = journalOf("quad ");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0], "quad - 1.000,2.000,0.250,#FFFF7F00,0.0000,0.0000 4.000,2.000,0.250,#FFFF7F00,0.0000,0.0000 "
                        "1.000,6.000,0.250,#FFFF7F00,0.0000,0.0000 4.000,6.000,0.250,#FFFF7F00,0.0000,0.0000");
    EXPECT_FLOAT_EQ(zt->GetDepth(), 0.25f);

    zt->SetColor(2.0f, -1.0f, 0.5f);  // out of range saturates, never spills into alpha
    zt->SetAlpha(7.0f);
    zt->DrawLine(0, 0, 10, 10);
    EXPECT_EQ(journalOf("line ")[0], "line 0.000,0.000,#FFFF007F 10.000,10.000,#FFFF007F");
}

TEST_F(Drawing, BitmapPrimitivesBuildTheDesignedQuads) {
    VozerBitmap* bitmap = solidBitmap("three", 3, 3, 0xFF00FF00u);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_TRUE(bitmap->hw.hasTexture);
    journal();

    zt->DrawBitmapEx(bitmap, 10, 10, 0.0f, 1.0f);
    zt->DrawBitmapEx(bitmap, 10, 10, 3.14159265f / 2, 2.0f);
    zt->DrawBitmap(bitmap, 5, 6);
    zt->DrawBitmapSection(bitmap, 5, 6, 0, 0, 3, 3);
    zt->DrawBitmapSection(bitmap, 0, 0, 1, 0, 2, 3);
    auto quads = journalOf("quad three");
    ASSERT_EQ(quads.size(), 5u);
    expectCorners(quads[0], {{8, 8}, {11, 8}, {8, 11}, {11, 11}});
    // Scale 2 about (9, 9) (odd size moves the centre by a scaled half pixel), turned a quarter.
    expectCorners(quads[1], {{12, 6}, {12, 12}, {6, 6}, {6, 12}});
    EXPECT_EQ(quads[2], quads[3]) << "the whole bitmap as a section is DrawBitmap";
    expectCorners(quads[4], {{0, 0}, {1, 0}, {0, 3}, {1, 3}});
    EXPECT_NE(quads[4].find(",0.3333,0.0000 "), std::string::npos) << quads[4];
    EXPECT_NE(quads[4].find(",0.6667,1.0000"), std::string::npos) << quads[4];

    zt->SetAlpha(0.0f);
    zt->FillRect(0, 0, 5, 5);
    zt->DrawBitmap(bitmap, 0, 0);
    zt->DrawBitmapEx(bitmap, 10, 10, 0, 1);
    const VozerColor opaque{1, 1, 1, 1};
    zt->DrawBitmapLine(bitmap, VozerPoint{0, 0}, VozerPoint{10, 0}, 4, 2, opaque, VozerColor{1, 0, 0, 1});
    zt->DrawBitmapLine(bitmap, VozerPoint{3, 3}, VozerPoint{3, 3}, 4, 2, opaque, opaque);  // no length
    quads = journalOf("quad ");
    ASSERT_EQ(quads.size(), 2u) << "with alpha 0 only DrawBitmapEx and DrawBitmapLine reach the renderer";
    EXPECT_NE(quads[0].find("#00FFFFFF"), std::string::npos) << "a fully transparent quad";
    expectCorners(quads[1], {{0, 2}, {0, -2}, {10, 1}, {10, -1}}, 0.01f);  // fast inverse square root
    EXPECT_NE(quads[1].find("#FFFFFFFF"), std::string::npos);
    EXPECT_NE(quads[1].find("#FFFF0000"), std::string::npos);

    zt->SetAlpha(0.5f);  // keeps the strip's hues, rewrites only the alpha bytes
    EXPECT_EQ(rt().drawing.quad[2].color, 0x7FFF0000u);
}

TEST_F(Drawing, QuadsMeshesAndUndrawableBitmaps) {
    VozerBitmap* bitmap = solidBitmap("tex", 4, 4, 0xFFFFFFFFu);
    ASSERT_NE(bitmap, nullptr);
    bitmap->hw.uRight = 0.5f;  // the image fills half its texture
    journal();
    const VozerVertex v[4] = {{0, 0, 0.5f, 0xFF112233u, 0, 0},
                              {8, 0, 0.5f, 0xFF112233u, 1, 0},
                              {0, 8, 0.5f, 0xFF112233u, 0, 1},
                              {8, 8, 0.5f, 0xFF112233u, 1, 1}};
    zt->DrawQuad(bitmap, v);
    zt->DrawQuadRaw(bitmap, v);
    auto quads = journalOf("quad tex");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_NE(quads[0].find("8.000,0.000,0.500,#FF112233,0.5000,0.0000"), std::string::npos) << quads[0];
    EXPECT_NE(quads[1].find("8.000,0.000,0.500,#FF112233,1.0000,0.0000"), std::string::npos) << quads[1];

    bitmap->loadState = 2;  // still loading: DrawQuad refuses, DrawQuadRaw does not look
    zt->DrawQuad(bitmap, v);
    zt->DrawQuadRaw(bitmap, v);
    zt->DrawBitmap(bitmap, 0, 0);
    EXPECT_EQ(journalOf("quad ").size(), 1u);
    bitmap->loadState = 3;

    rt().pixelByteOrder = 0;  // R,G,B,A memory: red and blue trade places
    zt->DrawQuad(nullptr, v);
    EXPECT_NE(journalOf("quad -")[0].find("#FF332211"), std::string::npos);

    const uint16_t good[6] = {0, 1, 2, 1, 2, 3};
    const uint16_t bad[3] = {0, 1, 4};
    zt->DrawMesh(bitmap, v, 4, good, 6);
    zt->DrawMesh(bitmap, v, 4, good, 5);  // a partial triangle is dropped
    zt->DrawMesh(bitmap, v, 4, bad, 3);   // points past the vertices: not drawn
    zt->DrawMesh(bitmap, nullptr, 4, good, 6);
    EXPECT_EQ(journalOf("tris "), (std::vector<std::string>{"tris tex 4 6", "tris tex 4 3"}));
    zt->DrawQuad(nullptr, nullptr);
    zt->DrawLineVertices(nullptr);
    zt->DrawBitmap(nullptr, 0, 0);
    EXPECT_TRUE(journal().empty());
}

TEST_F(Drawing, RenderTargetsSwitchTargetAndTransformAndRecoverFromMisuse) {
    VozerBitmap* target = zt->CreateBitmap("canvas", 64, 32, 1);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(journalOf("rendertarget "), std::vector<std::string>{"rendertarget canvas 64x32"});
    zt->PushTransform(SCALE2_MOVE10);  // the screen transform
    journal();

    EXPECT_TRUE(zt->PushRenderTarget(target));
    EXPECT_EQ(rt().transformDepth, 1) << "drawing into the bitmap starts untransformed";
    zt->FillRect(0, 0, 1, 1);
    EXPECT_TRUE(zt->PopRenderTarget());
    EXPECT_EQ(rt().transformDepth, 0) << "back on the screen, the screen transform again";
    auto lines = journal();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "target canvas");
    EXPECT_EQ(countContaining(lines, "target screen"), 1u);
    EXPECT_EQ(lines.back(), "world 2 0 0 10 0 2 0 20 0 0 1 0 0 0 0 1");

    EXPECT_FALSE(zt->PopRenderTarget());
    EXPECT_EQ(countContaining(messages().popups, "PopRenderTarget: Render Target Stack is empty!"), 1u);

    VozerBitmap* plain = zt->CreateBitmap("no texture yet", 4, 4, 0);  // refused by the renderer
    EXPECT_FALSE(zt->PushRenderTarget(plain));
    EXPECT_EQ(rt().transformDepth, 0) << "a refused target leaves the transform stack alone";
    EXPECT_EQ(rt().renderTargets.size(), 1u);

    ASSERT_TRUE(zt->PushRenderTarget(target));
    ASSERT_TRUE(zt->PushRenderTarget(nullptr));
    ASSERT_TRUE(zt->PushRenderTarget(target));
    journal();
    zt->ReleaseBitmap(target);  // still bound: unbound first, then released for good
    EXPECT_EQ(countContaining(messages().popups, "Releasing current render target bitmap 'canvas'"), 1u);
    EXPECT_EQ(target->name, nullptr);
    EXPECT_EQ(rt().transformDepth, 0);
    while (rt().renderTargets.size() > 1) zt->PopRenderTarget();
    EXPECT_EQ(countContaining(journal(), "target canvas"), 0u) << "a released bitmap is never bound again";
    zt->PopTransform();
    zt->ReleaseBitmap(plain);
}

TEST_F(Drawing, StatesClipAndDepthRangeAreForwarded) {
    zt->SetBlendMode(3);
    zt->SetTextureFilter(1);
    zt->SetClipRect(10, 20, 30, 40);
    zt->ResetClipRect();
    zt->SetDepthRange(0.0f, 0.5f, 0.05f);  // near raised to 0.1, far to near
    zt->ClearScreen(0.25f, 0.5f, 1.0f);
    EXPECT_EQ(journal(), (std::vector<std::string>{"blend 3", "filter 1", "clip 10 20 30 40", "clip 0 0 800 600",
                                                    "depthrange 0.1 0.5 0.1", "clear 0.250 0.500 1.000"}));
    EXPECT_EQ(rt().shared.currentBlendMode, 3);
}

}  // namespace
}  // namespace vz
