// ZTI_CreateImageResized: bilinear growth, area-averaged shrinking, exact
// copies, the colour fill of transparent pixels, and refused arguments.
#include "image_fixture.h"

namespace vz::imagetest {
namespace {

// Opaque grey pixels of these levels, one row.
Bytes greys(std::initializer_list<int> levels) {
    Bytes out;
    for (int g : levels)
        out.insert(out.end(), {static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g), 255});
    return out;
}

class ResizeTest : public ImageTest {
protected:
    Bytes resized(VozerBitmap* source, int32_t width, int32_t height) {
        VozerBitmap* target = bitmap("target");
        EXPECT_TRUE(image::createImageResized(target, source, width, height));
        EXPECT_EQ(target->dataWidth, width);
        EXPECT_EQ(target->height, height);
        return rgbaOf(target);
    }
};

TEST_F(ResizeTest, GrowingAndSlightShrinkingAreBilinearWithCentresAligned) {
    for (int order : {0, 1}) {
        rt().pixelByteOrder = order;
        // The ends stay at the edge pixels; between them, straight lines.
        EXPECT_EQ(resized(bitmapOf(2, 1, greys({0, 200})), 4, 1), greys({0, 50, 150, 200}));
        // Shrinking 5 to 4 (ratio 1.25) still interpolates two neighbours.
        EXPECT_EQ(resized(bitmapOf(5, 1, greys({0, 100, 200, 100, 0})), 4, 1), greys({13, 138, 138, 13}));
        // The two axes are independent: a column grows like a row.
        EXPECT_EQ(resized(bitmapOf(1, 2, greys({0, 200})), 1, 4), greys({0, 50, 150, 200}));
    }
}

TEST_F(ResizeTest, ShrinkingByOneAndAHalfOrMoreAveragesTheCoveredArea) {
    // A one-pixel checkerboard shrunk four times is an even grey, where two
    // taps would pick whole black or white pixels.
    Bytes board;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const auto v = static_cast<uint8_t>((x + y) % 2 ? 255 : 0);
            board.insert(board.end(), {v, v, v, 255});
        }
    EXPECT_EQ(resized(bitmapOf(8, 8, board), 2, 2), greys({128, 128, 128, 128}));
    // 3 to 2 (ratio 1.5): each target pixel covers one and a half source pixels.
    EXPECT_EQ(resized(bitmapOf(3, 1, greys({0, 90, 180})), 2, 1), greys({30, 150}));
}

TEST_F(ResizeTest, SameSizeCopiesAndTheTargetMayBeTheSource) {
    const Bytes p = pattern(5, 3);
    VozerBitmap* source = bitmapOf(5, 3, p);
    source->flags = VZ_BITMAP_HAS_ALPHA;
    VozerBitmap* target = bitmap();
    ASSERT_TRUE(image::createImageResized(target, source, 5, 3));
    EXPECT_EQ(rgbaOf(target), p);
    EXPECT_NE(target->pixels, source->pixels);
    EXPECT_EQ(target->flags, VZ_BITMAP_HAS_ALPHA);
    // In place, and a second time over pixels the target already holds.
    ASSERT_TRUE(image::createImageResized(source, source, 10, 6));
    ASSERT_TRUE(image::createImageResized(source, source, 5, 3));
    EXPECT_EQ(source->width, 5);
    EXPECT_TRUE(texts("Popup").empty());
}

TEST_F(ResizeTest, TransparentPixelsTakeTheColourOfTheirOpaqueNeighbours) {
    // 3x3: the centre and the corners are transparent; above is red, right
    // green, below blue, left white. The last of above, right, below, left wins.
    Bytes pixels(9 * 4, 0);
    const auto set = [&](int i, Bytes rgba) { std::copy(rgba.begin(), rgba.end(), pixels.begin() + i * 4); };
    set(1, {255, 0, 0, 255});
    set(5, {0, 255, 0, 9});
    set(7, {0, 0, 255, 255});
    set(3, {255, 255, 255, 1});
    for (int order : {0, 1}) {
        rt().pixelByteOrder = order;
        VozerBitmap* b = bitmapOf(3, 3, pixels);
        image::fillTransparentColours(b);
        const Bytes got = rgbaOf(b);
        EXPECT_EQ(Bytes(got.begin() + 16, got.begin() + 20), (Bytes{255, 255, 255, 0}));  // centre: left wins
        EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{255, 255, 255, 0}));        // corner: right, then below
        EXPECT_EQ(Bytes(got.begin() + 8, got.begin() + 12), (Bytes{255, 0, 0, 0}));       // corner: below, then left
        EXPECT_EQ(Bytes(got.begin() + 32, got.begin() + 36), (Bytes{0, 0, 255, 0}));      // corner: above, then left
    }
    // The resize fills too: no black fringe beside a red edge.
    const Bytes edge = {255, 0, 0, 255, 0, 0, 0, 0};
    EXPECT_EQ(resized(bitmapOf(2, 1, edge), 4, 1), (Bytes{255, 0, 0, 255, 191, 0, 0, 191, 64, 0, 0, 64, 64, 0, 0, 0}));
}

TEST_F(ResizeTest, UnusableArgumentsAreReportedAndChangeNothing) {
    VozerBitmap* source = bitmapOf(2, 2, pattern(2, 2));
    VozerBitmap* empty = bitmap("blank");
    VozerBitmap* target = bitmap();
    EXPECT_FALSE(image::createImageResized(nullptr, source, 4, 4));
    EXPECT_FALSE(image::createImageResized(target, nullptr, 4, 4));
    EXPECT_FALSE(image::createImageResized(target, empty, 4, 4));
    EXPECT_FALSE(image::createImageResized(target, source, 0, 4));
    EXPECT_FALSE(image::createImageResized(target, source, 4, 65535));
    EXPECT_FALSE(image::createImageResized(target, source, 16384, 16384));
    EXPECT_EQ(texts("Popup"), (std::vector<std::string>{
                                  "ZTI_CreateImageResized bm_target is null.",
                                  "ZTI_CreateImageResized bm_source is null.",
                                  "ZTI_CreateImageResized bm_source 'blank' has no pixels.",
                                  "ZTI_CreateImageResized size 0x4 is out of range.",
                                  "ZTI_CreateImageResized size 4x65535 is out of range.",
                                  "ZTI_CreateImageResized size 16384x16384 is out of range.",
                              }));
    EXPECT_EQ(target->pixels, nullptr);
    EXPECT_EQ(target->width, 0);
}

}  // namespace
}  // namespace vz::imagetest
