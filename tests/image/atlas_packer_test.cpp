// The atlas packer: sizes chosen (smallest area, squarer at equal area, the
// 2048 pass as a last resort), sources copied exactly where their texture
// rectangles say, at least two transparent pixels apart, gaps coloured.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../data/api_capture.h"
#include "image/atlas_packer.h"
#include "image/image_loader.h"

namespace vz {
namespace {

struct Source {
    VozerBitmap bitmap{};
    explicit Source(int32_t w, int32_t h, uint32_t colour) {
        bitmap.width = bitmap.dataWidth = w;
        bitmap.height = bitmap.dataHeight = h;
        bitmap.pixels = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(w) * h));
        for (int32_t i = 0; i < w * h; ++i) bitmap.pixels[i] = colour;
    }
    ~Source() { std::free(bitmap.pixels); }
};

struct Atlas {
    VozerBitmap bitmap{};
    ~Atlas() { std::free(bitmap.pixels); }
    uint32_t at(int32_t x, int32_t y) const { return bitmap.pixels[y * bitmap.width + x]; }
};

struct Placement {
    int32_t x0, y0, x1, y1;  // pixels of the atlas covered, exclusive ends
};

Placement placement(const Atlas& atlas, const VozerBitmap& s) {
    return {static_cast<int32_t>(s.hw.uLeft * atlas.bitmap.width + 0.5f),
            static_cast<int32_t>(s.hw.vTop * atlas.bitmap.height + 0.5f),
            static_cast<int32_t>(s.hw.uRight * atlas.bitmap.width + 0.5f),
            static_cast<int32_t>(s.hw.vBottom * atlas.bitmap.height + 0.5f)};
}

bool pack(Atlas& atlas, std::vector<Source*> sources) {
    std::vector<VozerBitmap*> list;
    for (Source* s : sources) list.push_back(&s->bitmap);
    return image::ZTI_PackBitmaps(&atlas.bitmap, list.data(), static_cast<int32_t>(list.size()));
}

TEST(AtlasPacker, SizeChoice) {
    testing::ApiCapture capture(false);
    {
        // Three on the first shelf and one on the second: 128 x 128 holds them, and at equal
        // area it is squarer than 256 x 64, which also would.
        Source a(30, 30, 0xFF0000FFu), b(30, 30, 0xFF00FF00u), c(30, 30, 0xFFFF0000u), d(30, 30, 0xFFFFFFFFu);
        Atlas atlas;
        ASSERT_TRUE(pack(atlas, {&a, &b, &c, &d}));
        EXPECT_EQ(atlas.bitmap.width, 128);
        EXPECT_EQ(atlas.bitmap.height, 128);
        EXPECT_EQ(atlas.bitmap.packMode, VZ_NO_PADDING);
        EXPECT_EQ(placement(atlas, d.bitmap).y0, 34);
    }
    {
        Source big(1000, 1000, 0xFF123456u);
        Atlas atlas;
        ASSERT_TRUE(pack(atlas, {&big}));
        EXPECT_EQ(atlas.bitmap.width, 1024);
        EXPECT_EQ(atlas.bitmap.height, 1024);
    }
    {
        // 2 + 1021 + 2 passes 1024: only the second pass, up to 2048, holds it.
        Source big(1021, 1021, 0xFF123456u);
        Atlas atlas;
        ASSERT_TRUE(pack(atlas, {&big}));
        EXPECT_EQ(atlas.bitmap.width, 2048);
        EXPECT_EQ(atlas.bitmap.height, 2048);
    }
    {
        // Too large for any atlas: refused with the popup, nothing allocated, nothing ended.
        Source huge(2047, 10, 0xFF000000u);
        Atlas atlas;
        EXPECT_FALSE(pack(atlas, {&huge}));
        EXPECT_EQ(atlas.bitmap.pixels, nullptr);
        EXPECT_EQ(capture.countContaining("unable to find large enough atlas size for 1 bitmaps"), 1u);
    }
    Atlas empty;
    EXPECT_FALSE(image::ZTI_PackBitmaps(&empty.bitmap, nullptr, 0));
}

TEST(AtlasPacker, SourcesLandWhereTheirRectanglesSayAndNeverTouch) {
    testing::ApiCapture capture(false);
    std::vector<Source*> sources;
    for (int i = 0; i < 40; ++i) {
        const int32_t w = 3 + (i * 7) % 29, h = 2 + (i * 5) % 17;
        sources.push_back(new Source(w, h, 0xFF000000u | static_cast<uint32_t>(i + 1)));
    }
    Atlas atlas;
    ASSERT_TRUE(pack(atlas, sources));
    std::vector<Placement> places;
    for (Source* s : sources) {
        const Placement p = placement(atlas, s->bitmap);
        EXPECT_EQ(p.x1 - p.x0, s->bitmap.width);
        EXPECT_EQ(p.y1 - p.y0, s->bitmap.height);
        EXPECT_GE(p.x0, 2);
        EXPECT_GE(p.y0, 2);
        EXPECT_LE(p.x1 + 2, atlas.bitmap.width);
        EXPECT_LE(p.y1 + 2, atlas.bitmap.height);
        for (int32_t y = p.y0; y < p.y1; ++y)
            for (int32_t x = p.x0; x < p.x1; ++x) ASSERT_EQ(atlas.at(x, y), s->bitmap.pixels[0]);
        for (const Placement& q : places) {
            const bool apart = p.x0 >= q.x1 + 2 || q.x0 >= p.x1 + 2 || p.y0 >= q.y1 + 2 || q.y0 >= p.y1 + 2;
            EXPECT_TRUE(apart);
        }
        places.push_back(p);
    }
    // Outside the sources everything is transparent, coloured like the ink nearby.
    const Placement first = places[0];
    EXPECT_EQ(atlas.at(first.x1, first.y0), sources[0]->bitmap.pixels[0] & 0x00FFFFFFu);
    EXPECT_EQ(atlas.at(0, 0) >> 24, 0u);
    for (Source* s : sources) delete s;
}

TEST(AtlasPacker, PageIsTheSourcesOnAClearPageWithTheFillDoneOverAll) {
    // One-colour sources (as glyphs are) and sources of many colours, with
    // clear pixels on their edges and inside, in sizes that make ragged
    // shelves: the page must be exactly the sources placed on a clear page
    // and the transparent fill done over the whole of it.
    testing::ApiCapture capture(false);
    std::vector<Source*> sources;
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int i = 0; i < 60; ++i) {
        const int32_t w = 1 + static_cast<int32_t>(next() % 23), h = 1 + static_cast<int32_t>(next() % 19);
        Source* s = new Source(w, h, 0x00FFFFFFu);
        // Every third of many colours; half of those differ in one channel only.
        const uint32_t colours = i % 3 != 0 ? 0u : i % 2 == 0 ? 0x00FFFFFFu : 0x000000FFu;
        for (int32_t p = 0; p < w * h; ++p) {
            const uint32_t alpha = next() % 3 == 0 ? 0u : (next() % 255 + 1) << 24;
            s->bitmap.pixels[p] = alpha | (0x00FFFFFFu ^ (next() & colours));
        }
        sources.push_back(s);
    }
    Atlas atlas;
    ASSERT_TRUE(pack(atlas, sources));
    std::vector<uint32_t> page(static_cast<size_t>(atlas.bitmap.width) * atlas.bitmap.height, 0u);
    VozerBitmap expected{};
    expected.pixels = page.data();
    expected.width = expected.dataWidth = atlas.bitmap.width;
    expected.height = expected.dataHeight = atlas.bitmap.height;
    for (Source* s : sources) {
        const Placement p = placement(atlas, s->bitmap);
        for (int32_t y = p.y0; y < p.y1; ++y)
            for (int32_t x = p.x0; x < p.x1; ++x)
                page[static_cast<size_t>(y * atlas.bitmap.width + x)] =
                    s->bitmap.pixels[(y - p.y0) * s->bitmap.width + x - p.x0];
    }
    image::fillTransparentColours(&expected);
    for (size_t p = 0; p < page.size(); ++p)
        ASSERT_EQ(atlas.bitmap.pixels[p], page[p]) << p % atlas.bitmap.width << "," << p / atlas.bitmap.width;
    for (Source* s : sources) delete s;
}

TEST(AtlasPacker, TransparentPixelsTakeTheirNeighboursColour) {
    // Left wins over below, below over right, right over above; alpha stays 0.
    VozerBitmap bitmap{};
    uint32_t pixels[9] = {0x00000000u, 0xFF0000AAu, 0x00000000u,   //
                          0xFF0000BBu, 0x00000000u, 0xFF0000CCu,   //
                          0x00000000u, 0xFF0000DDu, 0x00000000u};
    bitmap.pixels = pixels;
    bitmap.width = bitmap.height = bitmap.dataWidth = bitmap.dataHeight = 3;
    image::fillTransparentColours(&bitmap);
    EXPECT_EQ(pixels[4], 0x000000BBu);
    EXPECT_EQ(pixels[0], 0x000000BBu);  // right (AA) then below (BB)
    EXPECT_EQ(pixels[2], 0x000000AAu);  // below (CC), then left (AA)
    EXPECT_EQ(pixels[8], 0x000000DDu);  // left
    EXPECT_EQ(pixels[1], 0xFF0000AAu);
}

}  // namespace
}  // namespace vz
