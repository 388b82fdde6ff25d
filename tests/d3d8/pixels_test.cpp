// What the Direct3D 8 plug-in draws, read back from the window: exact pixel
// mapping, blend and filter modes, clipping, render targets, texture borders
// and the batch.
#include <gtest/gtest.h>

#include "d3d8_fixture.h"
#include "image/image_loader.h"

namespace vz::test {
namespace {

constexpr uint32_t BACKGROUND = 0xFF336699u;  // Clear(0.2, 0.4, 0.6)

class PixelTest : public D3D8Test {
protected:
    void SetUp() override {
        D3D8Test::SetUp();
        start(160, 120);
    }
    void clear() { ASSERT_TRUE(ops().Clear(renderer(), 0.2f, 0.4f, 0.6f)); }
    // An 8x8 image of distinct opaque colours.
    static std::vector<uint32_t> distinct(int w, int h) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels.push_back(0xFF000000u | (x * 30 + 10) << 16 | (y * 30 + 10) << 8 | 0x80);
        return pixels;
    }
};

TEST_F(PixelTest, QuadAtScreenDepthCoversExactlyItsPixelsUnderLinearFiltering) {
    VozerBitmap& image = bitmap(0, "distinct", 8, 8, distinct(8, 8));
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &image));
    EXPECT_EQ(image.hw.textureWidth, 8);
    ops().SetFilterMode(renderer(), 1);
    clear();
    VozerVertex v[4];
    imageQuad(v, image, 20, 30);
    ops().DrawTexturedQuad(renderer(), &image, v);
    const Frame frame = present();
    // A half-pixel error would blend neighbouring texels (or the background) into every pixel.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_TRUE(closeTo(frame.at(20 + x, 30 + y), pixelStore_[0][y * 8 + x], 1))
                << x << "," << y << ": " << hex(frame.at(20 + x, 30 + y));
    for (int i = -1; i <= 8; ++i) {
        EXPECT_EQ(frame.at(19, 30 + (i < 0 ? 0 : i % 8)), BACKGROUND);
        EXPECT_EQ(frame.at(28, 30 + (i < 0 ? 0 : i % 8)), BACKGROUND);
        EXPECT_EQ(frame.at(20 + (i < 0 ? 0 : i % 8), 29), BACKGROUND);
        EXPECT_EQ(frame.at(20 + (i < 0 ? 0 : i % 8), 38), BACKGROUND);
    }
}

TEST_F(PixelTest, BlendModesOverAKnownBackground) {
    clear();
    const uint32_t source = 0x80C86432u;  // alpha 128, (200, 100, 50)
    for (int mode = 0; mode <= 4; ++mode) {
        ops().SetBlendMode(renderer(), mode);
        VozerVertex v[4];
        quad(v, 10.0f + mode * 20, 10, 20.0f + mode * 20, 20, source);
        ops().DrawQuad(renderer(), v);
    }
    ops().SetBlendMode(renderer(), 0);
    const Frame frame = present();
    const double a = 128 / 255.0;
    const int src[3] = {200, 100, 50}, dst[3] = {0x33, 0x66, 0x99};
    for (int mode = 0; mode <= 4; ++mode) {
        uint32_t expected = 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const double s = src[c] / 255.0, d = dst[c] / 255.0;
            double value = 0;
            switch (mode) {
                case 0: value = s * a + d * (1 - a); break;
                case 1: value = s * a + d; break;
                case 2: value = s; break;
                case 3: value = s * d + d * (1 - a); break;
                case 4: value = s * d + d * a; break;
            }
            const int byte = static_cast<int>(value * 255.0 + 0.5);
            expected |= static_cast<uint32_t>(byte > 255 ? 255 : byte) << (16 - 8 * c);
        }
        EXPECT_TRUE(closeTo(frame.at(15 + mode * 20, 15), expected))
            << "mode " << mode << ": " << hex(frame.at(15 + mode * 20, 15)) << ", expected " << hex(expected);
    }
}

TEST_F(PixelTest, NearestKeepsTexelsWhereLinearBlendsThem) {
    const uint32_t black = 0xFF000000u, white = 0xFFFFFFFFu;
    VozerBitmap& checker = bitmap(0, "checker", 2, 2, {black, white, white, black});
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &checker));
    clear();
    VozerVertex v[4];
    ops().SetFilterMode(renderer(), 0);
    imageQuad(v, checker, 10, 10, 8.0f);
    ops().DrawTexturedQuad(renderer(), &checker, v);
    ops().SetFilterMode(renderer(), 1);
    imageQuad(v, checker, 40, 10, 8.0f);
    ops().DrawTexturedQuad(renderer(), &checker, v);
    const Frame frame = present();
    int blended = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint32_t expected = ((x < 8) == (y < 8)) ? black : white;
            ASSERT_EQ(frame.at(10 + x, 10 + y), expected) << "nearest at " << x << "," << y;
            const uint32_t linear = frame.at(40 + x, 10 + y);
            if (linear != black && linear != white) ++blended;
        }
    }
    EXPECT_GT(blended, 64) << "linear filtering should blend the texels between their centres";
    EXPECT_TRUE(closeTo(frame.at(40 + 8, 10 + 8), 0xFF808080u, 40)) << hex(frame.at(48, 18));
}

TEST_F(PixelTest, ClipRectangleLimitsDrawingAndKeepsScreenCoordinates) {
    clear();
    const uint32_t red = 0xFFFF0000u;
    // Inside: a quad given in screen pixels lands where it says, cut to the rectangle.
    EXPECT_FALSE(ops().SetClipRect(renderer(), 20, 20, 30, 30));
    VozerVertex v[4];
    quad(v, 10, 10, 40, 40, red);
    ops().DrawQuad(renderer(), v);
    // Past the top-left corner: only the part on the screen.
    ops().SetClipRect(renderer(), -10, -10, 15, 15);
    quad(v, 0, 0, 160, 120, red);
    ops().DrawQuad(renderer(), v);
    // Wholly outside the screen: nothing at all.
    ops().SetClipRect(renderer(), 500, 500, 20, 20);
    ops().DrawQuad(renderer(), v);
    EXPECT_TRUE(ops().Clear(renderer(), 1, 1, 1));
    // The whole screen again, and a quad there is drawn in full.
    EXPECT_TRUE(ops().SetClipRect(renderer(), 0, 0, 160, 120));
    quad(v, 100, 100, 110, 110, red);
    ops().DrawQuad(renderer(), v);
    const Frame frame = present();
    EXPECT_EQ(frame.at(20, 20), red);
    EXPECT_EQ(frame.at(39, 39), red);
    EXPECT_EQ(frame.at(19, 25), BACKGROUND);
    EXPECT_EQ(frame.at(40, 25), BACKGROUND);
    EXPECT_EQ(frame.at(25, 40), BACKGROUND);
    EXPECT_EQ(frame.at(0, 0), red);
    EXPECT_EQ(frame.at(4, 4), red);
    EXPECT_EQ(frame.at(5, 4), BACKGROUND);
    EXPECT_EQ(frame.at(4, 5), BACKGROUND);
    EXPECT_EQ(frame.at(159, 119), BACKGROUND) << "a rectangle outside the screen must hide, not clear everything";
    EXPECT_EQ(frame.at(100, 100), red);
    EXPECT_EQ(frame.at(109, 109), red);
}

TEST_F(PixelTest, RenderTargetDrawnIntoThenOntoTheScreenAndReadBack) {
    VozerBitmap& target = bitmap(1, "target", 30, 20, {}, 0);
    ASSERT_TRUE(ops().CreateRenderTarget(renderer(), &target));
    EXPECT_EQ(target.hw.textureWidth, 32);
    EXPECT_EQ(target.hw.textureHeight, 32);
    EXPECT_TRUE(target.flags & VZ_BITMAP_RENDER_TARGET);
    ASSERT_TRUE(ops().SetRenderTarget(renderer(), &target));
    ASSERT_TRUE(ops().Clear(renderer(), 0, 1, 0));
    VozerVertex v[4];
    quad(v, 4, 4, 12, 12, 0xFF0000FFu);
    ops().DrawQuad(renderer(), v);
    ASSERT_TRUE(ops().SetRenderTarget(renderer(), nullptr));
    clear();
    imageQuad(v, target, 50, 40);
    ops().DrawTexturedQuad(renderer(), &target, v);
    const Frame frame = present();
    EXPECT_EQ(frame.at(50, 40), 0xFF00FF00u);
    EXPECT_EQ(frame.at(79, 59), 0xFF00FF00u);
    EXPECT_EQ(frame.at(54, 44), 0xFF0000FFu);
    EXPECT_EQ(frame.at(61, 51), 0xFF0000FFu);
    EXPECT_EQ(frame.at(62, 52), 0xFF00FF00u);
    EXPECT_EQ(frame.at(80, 40), BACKGROUND);
    EXPECT_EQ(frame.at(50, 60), BACKGROUND);

    // Read back in the renderer's byte order (B,G,R,A: the words read 0xAARRGGBB).
    ASSERT_EQ(ops().GetPixelByteOrder(renderer()), 1);
    ASSERT_TRUE(ops().CopyRenderTargetToBitmapPixels(renderer(), &target));
    ASSERT_NE(target.pixels, nullptr);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&target.pixels[5 * 30 + 5]);
    EXPECT_EQ(bytes[0], 0xFF);  // blue first
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(target.pixels[0], 0xFF00FF00u);
    EXPECT_EQ(target.pixels[19 * 30 + 29], 0xFF00FF00u);
    EXPECT_EQ(target.pixels[11 * 30 + 11], 0xFF0000FFu);
    EXPECT_EQ(target.pixels[12 * 30 + 12], 0xFF00FF00u);
    image::freeImagePixels(&target);
}

TEST_F(PixelTest, PadExpandRepeatsTheEdgeAndPadTransparentFadesIt) {
    const std::vector<uint32_t> image = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,   //
                                         0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu,   //
                                         0xFF800000u, 0xFF008000u, 0xFF000080u};
    VozerBitmap& expand = bitmap(0, "expand", 3, 3, image, VZ_BITMAP_HAS_ALPHA, VZ_PAD_EXPAND);
    VozerBitmap& fade = bitmap(1, "fade", 3, 3, image, VZ_BITMAP_HAS_ALPHA, VZ_PAD_TRANSPARENT);
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &expand));
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &fade));
    EXPECT_EQ(expand.hw.textureWidth, 8);
    EXPECT_FLOAT_EQ(expand.hw.uLeft, 1.0f / 8);
    EXPECT_FLOAT_EQ(expand.hw.vBottom, 4.0f / 8);
    EXPECT_EQ(fade.packMode, VZ_PAD_TRANSPARENT);
    clear();
    // The image with its border, texel for texel: (0,0)..(4,4) of the texture.
    ops().SetFilterMode(renderer(), 0);
    VozerVertex v[4];
    quad(v, 10, 10, 15, 15, 0xFFFFFFFFu, 0, 0, 5.0f / 8, 5.0f / 8);
    ops().DrawTexturedQuad(renderer(), &expand, v);
    quad(v, 30, 10, 35, 15, 0xFFFFFFFFu, 0, 0, 5.0f / 8, 5.0f / 8);
    ops().DrawTexturedQuad(renderer(), &fade, v);
    const Frame frame = present();
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            const int ix = x == 0 ? 0 : (x == 4 ? 2 : x - 1), iy = y == 0 ? 0 : (y == 4 ? 2 : y - 1);
            const bool border = x == 0 || y == 0 || x == 4 || y == 4;
            EXPECT_EQ(frame.at(10 + x, 10 + y), image[iy * 3 + ix]) << "PAD_EXPAND texel " << x << "," << y;
            EXPECT_EQ(frame.at(30 + x, 10 + y), border ? BACKGROUND : image[iy * 3 + ix])
                << "PAD_TRANSPARENT texel " << x << "," << y;
        }
    }
}

TEST_F(PixelTest, SixtyFifthQuadOfOneTextureStartsANewBatch) {
    VozerBitmap& image = bitmap(0, "one", 4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu));
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &image));
    resetDrawCount();
    VozerVertex v[4];
    for (int i = 0; i < 64; ++i) {
        imageQuad(v, image, static_cast<float>(i % 16) * 5, static_cast<float>(i / 16) * 5);
        ops().DrawTexturedQuad(renderer(), &image, v);
        if (i == 10) ops().SetBlendMode(renderer(), 0);  // the current mode: no break
    }
    EXPECT_EQ(drawCount(), 1) << "64 quads are one draw";
    ops().DrawTexturedQuad(renderer(), &image, v);
    EXPECT_EQ(drawCount(), 1) << "the 65th waits in a new batch";
    ops().Flush(renderer());
    EXPECT_EQ(drawCount(), 2);
    ops().Flush(renderer());
    EXPECT_EQ(drawCount(), 2) << "an empty batch draws nothing";
    // A texture change breaks the batch; the same texture again does not.
    ops().DrawTexturedQuad(renderer(), &image, v);
    ops().DrawQuad(renderer(), v);
    ops().DrawQuad(renderer(), v);
    EXPECT_EQ(drawCount(), 3);
    ops().SetBlendMode(renderer(), 1);
    EXPECT_EQ(drawCount(), 4);
    ops().SetBlendMode(renderer(), 0);
    present();
}

}  // namespace
}  // namespace vz::test
