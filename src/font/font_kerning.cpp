#include "font/font_kerning.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "api/engine_api.h"

namespace vz::font {

namespace {

constexpr int32_t KERN_SANITY_LIMIT = 120;
constexpr int32_t NO_INK = -1;

bool excludedFromKerning(int32_t code) { return code == 32 || code == 45 || code == 95; }

// The smallest alpha byte that counts as ink for `threshold`.
int32_t inkAlpha(float threshold) {
    int32_t a = 0;
    while (a < 256 && static_cast<float>(a) / 255.0f < threshold) ++a;
    return a;
}

// Per row of a glyph image: transparent pixels before the first ink from the
// left and from the right, NO_INK for a row without ink.
struct InkProfile {
    int32_t width = 0, height = 0, yOffset = 0;
    std::vector<int32_t> left, right;
};

InkProfile profileOf(const FontGlyph& g, int32_t minAlpha) {
    InkProfile p;
    const VozerBitmap& b = g.bitmap;
    if (!b.pixels || b.width <= 0 || b.height <= 0) return p;
    p.width = b.width;
    p.height = b.height;
    p.yOffset = g.yOffset;
    p.left.assign(static_cast<size_t>(b.height), NO_INK);
    p.right.assign(static_cast<size_t>(b.height), NO_INK);
    const int32_t stride = b.dataWidth > 0 ? b.dataWidth : b.width;
    const uint32_t minWord = static_cast<uint32_t>(minAlpha) << 24;
    for (int32_t y = 0; y < b.height; ++y) {
        const uint32_t* row = b.pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        int32_t x = 0;
        while (x < b.width && (row[x] & 0xFF000000u) < minWord) ++x;
        if (x == b.width) continue;
        p.left[static_cast<size_t>(y)] = x;
        int32_t r = 0;
        while ((row[b.width - 1 - r] & 0xFF000000u) < minWord) ++r;
        p.right[static_cast<size_t>(y)] = r;
    }
    return p;
}

// Rows outside either image, or without ink in either, leave a gap of at
// least m, the most a pair may kern, so only rows where both glyphs have ink
// can bring the two closer than that.
int32_t kernProfiles(const InkProfile& l, const InkProfile& r) {
    if (l.width <= 0 || r.width <= 0) return 0;
    const int32_t m = std::min(l.width, r.width) - 1;
    const int32_t rows = std::max(l.height, r.height);
    const int32_t top = std::min(l.yOffset, r.yOffset);
    // Row index r (0 .. rows-1) meets image rows r + top - yOffset.
    const int32_t first = std::max({0, l.yOffset - top, r.yOffset - top});
    const int32_t last = std::min({rows, l.yOffset - top + l.height, r.yOffset - top + r.height});
    int32_t best = m;
    for (int32_t row = first; row < last && best > 0; ++row) {
        const int32_t a = l.right[static_cast<size_t>(row + top - l.yOffset)];
        const int32_t b = r.left[static_cast<size_t>(row + top - r.yOffset)];
        if (a == NO_INK || b == NO_INK) continue;
        best = std::min(best, a + b);
    }
    return -best;
}

}  // namespace

int32_t glyphCode(const VozerFont* font, int32_t index) {
    return font->utf8 ? font->glyphs[index].code : index;
}

int32_t PairKern(const FontGlyph& left, const FontGlyph& right, float threshold) {
    const int32_t minAlpha = inkAlpha(threshold);
    return kernProfiles(profileOf(left, minAlpha), profileOf(right, minAlpha));
}

void ZTI_DetermineKernPairs(VozerFont* font, int32_t kernPadding, float threshold) {
    if (!font || !font->glyphs || font->glyphCount <= 0) return;
    const int32_t count = font->glyphCount;
    const int32_t minAlpha = inkAlpha(threshold);
    std::vector<InkProfile> profiles(static_cast<size_t>(count));
    std::vector<bool> kernable(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t code = glyphCode(font, i);
        kernable[static_cast<size_t>(i)] = code >= 0 && code < KERN_CODE_LIMIT;
        if (kernable[static_cast<size_t>(i)] && !excludedFromKerning(code))
            profiles[static_cast<size_t>(i)] = profileOf(font->glyphs[i], minAlpha);
    }
    const int8_t padding = static_cast<int8_t>(std::clamp(kernPadding, -128, 127));
    for (int32_t j = 0; j < count; ++j) {
        if (!kernable[static_cast<size_t>(j)]) continue;
        FontGlyph& right = font->glyphs[j];
        if (!right.kerning) {
            right.kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count)));
            if (!right.kerning) return;
        }
        const bool rightExcluded = excludedFromKerning(glyphCode(font, j));
        for (int32_t i = 0; i < count; ++i) {
            if (rightExcluded || !kernable[static_cast<size_t>(i)] || excludedFromKerning(glyphCode(font, i))) {
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
