#include "font/font_kerning.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"

namespace vz::font {

namespace {

constexpr int32_t KERN_SANITY_LIMIT = 120;
// A gap no pair of rows can reach: rows without ink, or outside the image.
constexpr int16_t NO_INK = 0x3FFF;
constexpr int32_t LANES = 8;

bool excludedFromKerning(int32_t code) { return code == 32 || code == 45 || code == 95; }

// The smallest alpha byte that counts as ink for `threshold`.
int32_t inkAlpha(float threshold) {
    int32_t a = 0;
    while (a < 256 && static_cast<float>(a) / 255.0f < threshold) ++a;
    return a;
}

// Per row of a band of rows shared by every glyph of the font (row 0 is
// yOffset `top`): transparent pixels before the first ink from the left and
// from the right, NO_INK where the glyph has no ink or no row. Rows outside
// either image can never bring a pair closer than the cap, so only rows
// where both glyphs have ink decide, and over a shared band that is a plain
// element-wise sum and minimum.
struct InkProfile {
    int32_t width = 0;  // 0: no image
    std::vector<int16_t> left, right;
};

InkProfile profileOf(const FontGlyph& g, int32_t minAlpha, int32_t top, int32_t rows) {
    InkProfile p;
    const VozerBitmap& b = g.bitmap;
    p.left.assign(static_cast<size_t>(rows), NO_INK);
    p.right.assign(static_cast<size_t>(rows), NO_INK);
    if (!b.pixels || b.width <= 0 || b.height <= 0) return p;
    p.width = b.width;
    const int32_t stride = b.dataWidth > 0 ? b.dataWidth : b.width;
    const uint32_t minWord = static_cast<uint32_t>(minAlpha) << 24;
    for (int32_t y = 0; y < b.height; ++y) {
        const int32_t row = g.yOffset + y - top;
        if (row < 0 || row >= rows) continue;
        const uint32_t* pixels = b.pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        int32_t x = 0;
        while (x < b.width && (pixels[x] & 0xFF000000u) < minWord) ++x;
        if (x == b.width) continue;
        int32_t r = 0;
        while ((pixels[b.width - 1 - r] & 0xFF000000u) < minWord) ++r;
        p.left[static_cast<size_t>(row)] = static_cast<int16_t>(std::min<int32_t>(x, NO_INK));
        p.right[static_cast<size_t>(row)] = static_cast<int16_t>(std::min<int32_t>(r, NO_INK));
    }
    return p;
}

// -(the smallest sum of facing gaps over the rows, at most the narrower
// width less one).
int32_t kernProfiles(const InkProfile& l, const InkProfile& r) {
    if (l.width <= 0 || r.width <= 0) return 0;
    const int32_t m = std::min(l.width, r.width) - 1;
    const int16_t* a = l.right.data();
    const int16_t* b = r.left.data();
    const size_t rows = l.right.size();
    int32_t best = m;
    // Eight rows at a time as one vector add and minimum (GCC's vector
    // extension; scalar code where the target has no vectors).
    typedef int16_t Rows8 __attribute__((vector_size(16)));
    Rows8 low = {NO_INK, NO_INK, NO_INK, NO_INK, NO_INK, NO_INK, NO_INK, NO_INK};
    for (size_t i = 0; i + LANES <= rows; i += LANES) {
        Rows8 x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        const Rows8 sum = x + y;
        low = sum < low ? sum : low;
    }
    for (int32_t k = 0; k < LANES; ++k) best = std::min<int32_t>(best, low[k]);
    return -std::max(best, 0);
}

// The band of rows that covers every glyph image.
void rowBand(const VozerFont* font, int32_t& top, int32_t& rows) {
    int32_t bottom = 0;
    top = 0;
    bool any = false;
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        const FontGlyph& g = font->glyphs[i];
        if (!g.bitmap.pixels || g.bitmap.width <= 0 || g.bitmap.height <= 0) continue;
        top = any ? std::min(top, static_cast<int32_t>(g.yOffset)) : g.yOffset;
        bottom = any ? std::max(bottom, g.yOffset + g.bitmap.height) : g.yOffset + g.bitmap.height;
        any = true;
    }
    rows = any ? bottom - top : 0;
    rows = (rows + LANES - 1) / LANES * LANES;
}

}  // namespace

int32_t glyphCode(const VozerFont* font, int32_t index) {
    return font->utf8 ? font->glyphs[index].code : index;
}

int32_t PairKern(const FontGlyph& left, const FontGlyph& right, float threshold) {
    const int32_t minAlpha = inkAlpha(threshold);
    const int32_t top = std::min(left.yOffset, right.yOffset);
    const int32_t bottom = std::max(left.yOffset + left.bitmap.height, right.yOffset + right.bitmap.height);
    const int32_t rows = (bottom - top + LANES - 1) / LANES * LANES;
    return kernProfiles(profileOf(left, minAlpha, top, rows), profileOf(right, minAlpha, top, rows));
}

void ZTI_DetermineKernPairs(VozerFont* font, int32_t kernPadding, float threshold) {
    if (!font || !font->glyphs || font->glyphCount <= 0) return;
    const int32_t count = font->glyphCount;
    const int32_t minAlpha = inkAlpha(threshold);
    int32_t top = 0, rows = 0;
    rowBand(font, top, rows);
    std::vector<InkProfile> profiles(static_cast<size_t>(count));
    std::vector<uint8_t> kernable(static_cast<size_t>(count)), excluded(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t code = glyphCode(font, i);
        kernable[static_cast<size_t>(i)] = code >= 0 && code < KERN_CODE_LIMIT;
        excluded[static_cast<size_t>(i)] = excludedFromKerning(code);
        if (kernable[static_cast<size_t>(i)] && !excluded[static_cast<size_t>(i)])
            profiles[static_cast<size_t>(i)] = profileOf(font->glyphs[i], minAlpha, top, rows);
    }
    const int8_t padding = static_cast<int8_t>(std::clamp(kernPadding, -128, 127));
    for (int32_t j = 0; j < count; ++j) {
        if (!kernable[static_cast<size_t>(j)]) continue;
        FontGlyph& right = font->glyphs[j];
        if (!right.kerning) {
            right.kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count)));
            if (!right.kerning) return;
        }
        const bool rightExcluded = excluded[static_cast<size_t>(j)];
        for (int32_t i = 0; i < count; ++i) {
            if (rightExcluded || !kernable[static_cast<size_t>(i)] || excluded[static_cast<size_t>(i)]) {
                right.kerning[i] = padding;
                continue;
            }
            const int32_t k = kernProfiles(profiles[static_cast<size_t>(i)], profiles[static_cast<size_t>(j)]);
            const int32_t total = k + kernPadding;
            if (std::abs(total) >= KERN_SANITY_LIMIT)
                api()->Popup(1,
                             "Sanity check fail: ZTI_DetermineKernPairs for chars #%d and #%d has too large padding "
                             "(%d) and kern_padding (%d) total. Total needs to fit into 8-bit signed int in selected "
                             "mft format!\n",
                             i, j, k, kernPadding);
            // Clamped rather than wrapped: a wrapped byte would push the pair
            // far apart instead of close together.
            right.kerning[i] = static_cast<int8_t>(std::clamp(total, -128, 127));
        }
    }
}

}  // namespace vz::font
