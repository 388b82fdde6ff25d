#include "font/font_kerning.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "api/engine_api.h"

namespace vz::font {

namespace {

constexpr int32_t KERN_SANITY_LIMIT = 120;

bool excludedFromKerning(int32_t code) { return code == 32 || code == 45 || code == 95; }

// Bit x set: pixel x of the `count` (at most 64) from `pixels` is ink, its
// word at least `inkWord` (which is not 0). Built without a branch per
// pixel: where ink starts differs from row to row, and a loop that stops
// there mispredicts on nearly every row.
uint64_t inkBits(const uint32_t* pixels, int32_t count, uint32_t inkWord) {
    uint64_t bits = 0;
    int32_t x = 0;
#if defined(__SSE2__)
    // Four words at a time; the unsigned comparison is a signed one with
    // the top bits flipped.
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    const __m128i below = _mm_set1_epi32(static_cast<int32_t>((inkWord - 1) ^ 0x80000000u));
    for (; x + 4 <= count; x += 4) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        const __m128i ink = _mm_cmpgt_epi32(_mm_xor_si128(words, flip), below);
        bits |= static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(ink))) << x;
    }
#endif
    for (; x < count; ++x) bits |= static_cast<uint64_t>(pixels[x] >= inkWord) << x;
    return bits;
}

// The first and the last ink pixel of a row of `width` pixels (last = -1
// when there is none).
void inkSpan(const uint32_t* pixels, int32_t width, uint32_t inkWord, int32_t& first, int32_t& last) {
    first = width, last = -1;
    if (inkWord == 0) {  // every pixel is ink
        first = 0, last = width - 1;
        return;
    }
    for (int32_t base = 0; base < width; base += 64) {
        const uint64_t bits = inkBits(pixels + base, std::min(width - base, 64), inkWord);
        if (!bits) continue;
        first = std::min(first, base + __builtin_ctzll(bits));
        last = base + 63 - __builtin_clzll(bits);
    }
}

// The ink of image row y of `g`: its first and last ink pixel (last -1:
// none), from `measured` (the glyph's rows) where given, else scanned from
// the image. `inkWord`: alpha is the top byte of the pixel word, so the word
// is at least this exactly when the alpha is at least the ink's.
GlyphInk::Row rowInk(const FontGlyph& g, const GlyphInk::Row* measured, uint32_t inkWord, int32_t y) {
    if (measured) return measured[y];
    const VozerBitmap& b = g.bitmap;
    const int32_t stride = b.dataWidth > 0 ? b.dataWidth : b.width;
    GlyphInk::Row span{};
    inkSpan(b.pixels + static_cast<size_t>(y) * static_cast<size_t>(stride), b.width, inkWord, span.first, span.last);
    return span;
}

// The image rows of `g`, [first, end), that lie in the band of `rows` rows
// starting at yOffset `top`; none when it has no image or nothing is ink.
struct RowRange {
    int32_t first, end;
};
RowRange bandRows(const FontGlyph& g, int32_t minAlpha, int32_t top, int32_t rows) {
    if (!hasImage(g) || minAlpha > 255) return {0, 0};
    return {std::max(0, top - g.yOffset), std::min(g.bitmap.height, top + rows - g.yOffset)};
}

// For every row of `g` that has ink and lies in the band of `rows` rows
// starting at yOffset `top`: visit(band row, clear pixels before the first
// ink from the left, the same from the right).
template <typename Visit>
void scanInkRows(const FontGlyph& g, int32_t minAlpha, int32_t top, int32_t rows, Visit visit) {
    const uint32_t inkWord = static_cast<uint32_t>(minAlpha) << 24;
    const RowRange range = bandRows(g, minAlpha, top, rows);
    for (int32_t y = range.first; y < range.end; ++y) {
        const GlyphInk::Row span = rowInk(g, nullptr, inkWord, y);
        if (span.last >= 0) visit(g.yOffset + y - top, span.first, g.bitmap.width - 1 - span.last);
    }
}

// The band of rows that covers every glyph image.
void rowBand(const VozerFont* font, int32_t& top, int32_t& rows) {
    int32_t bottom = 0;
    top = 0;
    bool any = false;
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        const FontGlyph& g = font->glyphs[i];
        if (!hasImage(g)) continue;
        top = any ? std::min(top, static_cast<int32_t>(g.yOffset)) : g.yOffset;
        bottom = any ? std::max(bottom, g.yOffset + g.bitmap.height) : g.yOffset + g.bitmap.height;
        any = true;
    }
    rows = any ? bottom - top : 0;
}

// Gaps kerned many left glyphs at a time, as vectors (GCC's vector
// extension; scalar code where the target has no vectors). A gap of NO_INK
// marks a row without ink: no sum with it comes below the cap of a pair,
// the narrower image less one, so such rows never decide; and two gaps add
// up within the type. Bytes, sixteen glyphs a vector, serve fonts whose
// images are all narrower than NO_INK, which keeps every width, gap and cap
// below it; wider images take int16_t, eight a vector, with widths and gaps
// held below NO_INK (they reach it only in images some 16,000 pixels wide,
// whose kerning is far past what a file holds anyway).
template <typename Gap>
struct GapLanes;
template <>
struct GapLanes<uint8_t> {
    typedef uint8_t Lanes __attribute__((vector_size(16)));
    typedef int16_t Wide __attribute__((vector_size(32)));
    typedef int8_t Entries __attribute__((vector_size(16)));
    static constexpr uint8_t NO_INK = 127;
};
template <>
struct GapLanes<int16_t> {
    typedef int16_t Lanes __attribute__((vector_size(16)));
    typedef int16_t Wide __attribute__((vector_size(16)));
    typedef int8_t Entries __attribute__((vector_size(8)));
    static constexpr int16_t NO_INK = 0x3FFF;
};

// Which glyphs kern: columns 0..columns-1 hold all that do (generated fonts
// are sorted by code, so the glyphs past KERN_CODE_LIMIT trail).
struct KernSet {
    std::vector<uint8_t> kernable, excluded;
    int32_t columns = 0;
    bool takesPart(const VozerFont* font, int32_t i) const {
        return kernable[static_cast<size_t>(i)] && !excluded[static_cast<size_t>(i)] && hasImage(font->glyphs[i]);
    }
};

// The ink of every glyph that kerns, laid out so that kerning one right
// glyph against all left glyphs is one vector add and minimum per row where
// the right glyph has ink. A glyph that kerns with nothing or has no image
// has width 0 here, which makes its kern 0 whatever the gaps say.
template <typename Gap>
struct InkTable {
    typedef typename GapLanes<Gap>::Lanes Lanes;
    static constexpr int32_t LANES = static_cast<int32_t>(sizeof(Lanes) / sizeof(Gap));
    int32_t vectors = 0;       // Lanes per band row
    std::vector<Lanes> width;  // image widths, by column
    // Band row r, columns LANES * v onwards: the clear pixels right of the
    // ink (NO_INK for rows without ink).
    std::vector<Lanes> rightGaps;
    // Per column, from leftStart[c] to leftStart[c + 1]: the band rows where
    // that glyph has ink, and its clear pixels left of the ink.
    std::vector<int32_t> leftStart;
    std::vector<int32_t> leftRow;
    std::vector<Gap> leftGap;

    InkTable(const VozerFont* font, const KernSet& set, int32_t minAlpha, const GlyphInk* ink) {
        constexpr Gap NO_INK = GapLanes<Gap>::NO_INK;
        vectors = (set.columns + LANES - 1) / LANES;
        width.assign(static_cast<size_t>(vectors), Lanes{});
        int32_t top = 0, rows = 0;
        rowBand(font, top, rows);
        Lanes none;
        for (int32_t k = 0; k < LANES; ++k) none[k] = NO_INK;
        rightGaps.assign(static_cast<size_t>(rows) * static_cast<size_t>(vectors), none);
        size_t inkRows = 0;
        for (int32_t i = 0; i < set.columns; ++i)
            if (set.takesPart(font, i)) inkRows += static_cast<size_t>(font->glyphs[i].bitmap.height);
        leftStart.resize(static_cast<size_t>(set.columns) + 1);
        leftRow.resize(inkRows);
        leftGap.resize(inkRows);
        // Written through plain pointers: a store of a byte gap may alias
        // anything, and would make the compiler reload the vectors' insides
        // after every one.
        Lanes* const gapRows = rightGaps.data();
        int32_t* const rowOut = leftRow.data();
        Gap* const gapOut = leftGap.data();
        const size_t stride = static_cast<size_t>(vectors);
        const uint32_t inkWord = static_cast<uint32_t>(minAlpha) << 24;
        int32_t count = 0;
        for (int32_t i = 0; i < set.columns; ++i) {
            leftStart[static_cast<size_t>(i)] = count;
            const FontGlyph& g = font->glyphs[i];
            if (!set.takesPart(font, i)) continue;
            width[static_cast<size_t>(i / LANES)][i % LANES] =
                static_cast<Gap>(std::min<int32_t>(g.bitmap.width, NO_INK - 1));
            const auto from = ink ? static_cast<size_t>(ink->start[static_cast<size_t>(i)]) : 0;
            const bool measured =
                ink && ink->start[static_cast<size_t>(i) + 1] - static_cast<int32_t>(from) == g.bitmap.height;
            const GlyphInk::Row* own = measured ? ink->rows.data() + from : nullptr;
            Lanes* const column = gapRows + i / LANES;
            const int32_t lane = i % LANES;
            const RowRange range = bandRows(g, minAlpha, top, rows);
            for (int32_t y = range.first; y < range.end; ++y) {
                const GlyphInk::Row span = rowInk(g, own, inkWord, y);
                if (span.last < 0) continue;
                const int32_t row = g.yOffset + y - top;
                column[static_cast<size_t>(row) * stride][lane] =
                    static_cast<Gap>(std::min<int32_t>(g.bitmap.width - 1 - span.last, NO_INK - 1));
                rowOut[count] = row;
                gapOut[count] = static_cast<Gap>(std::min<int32_t>(span.first, NO_INK - 1));
                ++count;
            }
        }
        leftStart[static_cast<size_t>(set.columns)] = count;
        leftRow.resize(static_cast<size_t>(count));
        leftGap.resize(static_cast<size_t>(count));
    }

    // How far (0 or more) right glyph `j` moves towards every column.
    void kernRow(int32_t j, Lanes* kern) const {
        Lanes none;
        for (int32_t k = 0; k < LANES; ++k) none[k] = GapLanes<Gap>::NO_INK;
        for (int32_t v = 0; v < vectors; ++v) kern[v] = none;
        const auto rowGaps = [&](int32_t k) {
            return rightGaps.data() +
                   static_cast<size_t>(leftRow[static_cast<size_t>(k)]) * static_cast<size_t>(vectors);
        };
        // Two rows a pass: each pass reads and writes the row of results once.
        const int32_t end = leftStart[static_cast<size_t>(j) + 1];
        int32_t k = leftStart[static_cast<size_t>(j)];
        for (; k + 1 < end; k += 2) {
            const Lanes* gaps0 = rowGaps(k);
            const Lanes* gaps1 = rowGaps(k + 1);
            const Gap gap0 = leftGap[static_cast<size_t>(k)], gap1 = leftGap[static_cast<size_t>(k) + 1];
            for (int32_t v = 0; v < vectors; ++v) {
                const Lanes sum0 = gaps0[v] + gap0, sum1 = gaps1[v] + gap1;
                const Lanes sum = sum0 < sum1 ? sum0 : sum1;
                kern[v] = sum < kern[v] ? sum : kern[v];
            }
        }
        if (k < end) {
            const Lanes* gaps = rowGaps(k);
            const Gap gap = leftGap[static_cast<size_t>(k)];
            for (int32_t v = 0; v < vectors; ++v) {
                const Lanes sum = gaps[v] + gap;
                kern[v] = sum < kern[v] ? sum : kern[v];
            }
        }
        // Never further than the narrower image less one pixel (0 where a
        // width is 0).
        const Gap rightWidth = width[static_cast<size_t>(j / LANES)][j % LANES];
        for (int32_t v = 0; v < vectors; ++v) {
            Lanes cap = width[static_cast<size_t>(v)] < rightWidth ? width[static_cast<size_t>(v)] : rightWidth;
            cap += reinterpret_cast<Lanes>(cap > 0);  // true is all ones: less one
            kern[v] = kern[v] < cap ? kern[v] : cap;
        }
    }
};

template <typename Gap>
void kernAll(VozerFont* font, const KernSet& set, int32_t kernPadding, int32_t minAlpha, const GlyphInk* ink) {
    typedef typename GapLanes<Gap>::Lanes Lanes;
    typedef typename GapLanes<Gap>::Wide Wide;
    typedef typename GapLanes<Gap>::Entries Entries;
    constexpr int32_t LANES = InkTable<Gap>::LANES;
    const InkTable<Gap> table(font, set, minAlpha, ink);
    const int32_t count = font->glyphCount, columns = set.columns;

    // Every entry is the padding less the pair's kern, clamped rather than
    // wrapped: a wrapped byte would push the pair far apart instead of close
    // together. Glyphs that kern with nothing get the padding.
    const auto padding = static_cast<int8_t>(std::clamp(kernPadding, -128, 127));
    // The padding in a lane: beyond these bounds every entry clamps the same
    // way, and within them no difference leaves int16_t.
    const auto paddingLane = static_cast<int16_t>(std::clamp(kernPadding, -128, 127 + GapLanes<Gap>::NO_INK));
    std::vector<Lanes> kern(static_cast<size_t>(table.vectors));
    std::vector<int8_t> entries(static_cast<size_t>(table.vectors) * LANES);
    std::vector<int16_t> kernOfColumn(static_cast<size_t>(table.vectors) * LANES);
    for (int32_t j = 0; j < count; ++j) {
        if (!set.kernable[static_cast<size_t>(j)]) continue;
        FontGlyph& right = font->glyphs[j];
        if (!right.kerning) {
            right.kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count)));
            if (!right.kerning) return;
        }
        int8_t* row = right.kerning;
        std::memset(row + columns, static_cast<uint8_t>(padding), static_cast<size_t>(count - columns));
        if (set.excluded[static_cast<size_t>(j)]) {
            std::memset(row, static_cast<uint8_t>(padding), static_cast<size_t>(columns));
            continue;
        }
        table.kernRow(j, kern.data());
        Lanes farthest = Lanes{};
        for (int32_t v = 0; v < table.vectors; ++v) {
            farthest = kern[static_cast<size_t>(v)] > farthest ? kern[static_cast<size_t>(v)] : farthest;
            const Wide k = __builtin_convertvector(kern[static_cast<size_t>(v)], Wide);
            Wide entry = paddingLane - k;
            entry = entry < -128 ? -128 : entry;
            entry = entry > 127 ? 127 : entry;
            const Entries bytes = __builtin_convertvector(entry, Entries);
            std::memcpy(entries.data() + static_cast<size_t>(v) * LANES, &bytes, sizeof bytes);
            std::memcpy(kernOfColumn.data() + static_cast<size_t>(v) * LANES, &k, sizeof k);
        }
        std::memcpy(row, entries.data(), static_cast<size_t>(columns));
        int32_t largest = 0;
        for (int32_t k = 0; k < LANES; ++k) largest = std::max<int32_t>(largest, farthest[k]);
        // Kerns are 0 or negative: only the farthest move, or the padding
        // itself, can go past what a byte holds.
        if (std::abs(kernPadding) < KERN_SANITY_LIMIT && std::abs(kernPadding - largest) < KERN_SANITY_LIMIT) continue;
        for (int32_t i = 0; i < columns; ++i) {
            if (!set.kernable[static_cast<size_t>(i)] || set.excluded[static_cast<size_t>(i)]) continue;
            const int32_t k = -kernOfColumn[static_cast<size_t>(i)];
            if (std::abs(k + kernPadding) >= KERN_SANITY_LIMIT)
                api()->Popup(1,
                             "Sanity check fail: ZTI_DetermineKernPairs for chars #%d and #%d has too large padding "
                             "(%d) and kern_padding (%d) total. Total needs to fit into 8-bit signed int in selected "
                             "mft format!\n",
                             i, j, k, kernPadding);
        }
    }
}

}  // namespace

int32_t inkAlpha(float threshold) {
    int32_t a = 0;
    while (a < 256 && static_cast<float>(a) / 255.0f < threshold) ++a;
    return a;
}

int32_t inkCoverage(const GlyphInk& ink, uint32_t faint) {
    if (ink.minAlpha <= 0) return 0;
    if (ink.minAlpha > 255) return 256;
    return std::max(ink.minAlpha, static_cast<int32_t>(faint) + 1);  // cleared pixels are no ink
}

void appendInkRows(const uint8_t* bits, int32_t width, int32_t height, GlyphInk& ink) {
    if (width <= 0 || height <= 0) return;
    const size_t base = ink.rows.size();
    ink.rows.resize(base + static_cast<size_t>(height));
    GlyphInk::Row* out = ink.rows.data() + base;
    // A row's bits are read 56 at a time: eight bytes from the one holding
    // the first, shifted down to it.
    constexpr int32_t STEP = 56;
    size_t start = 0;
    for (int32_t y = 0; y < height; ++y, start += static_cast<size_t>(width)) {
        int32_t first = -1, last = -1;
        for (int32_t x = 0; x < width; x += STEP) {
            const size_t bit = start + static_cast<size_t>(x);
            uint64_t word = 0;
            std::memcpy(&word, bits + (bit >> 3), sizeof word);
            word = (word >> (bit & 7)) & ((uint64_t{1} << std::min(width - x, STEP)) - 1);
            if (!word) continue;
            if (first < 0) first = x + __builtin_ctzll(word);
            last = x + 63 - __builtin_clzll(word);
        }
        out[y] = first < 0 ? GlyphInk::Row{width, -1} : GlyphInk::Row{first, last};
    }
}

int32_t glyphCode(const VozerFont* font, int32_t index) { return font->utf8 ? font->glyphs[index].code : index; }

int32_t PairKern(const FontGlyph& left, const FontGlyph& right, float threshold) {
    if (!hasImage(left) || !hasImage(right)) return 0;
    const int32_t minAlpha = inkAlpha(threshold);
    const int32_t top = std::min(left.yOffset, right.yOffset);
    const int32_t rows = std::max(left.yOffset + left.bitmap.height, right.yOffset + right.bitmap.height) - top;
    const int32_t cap = std::min(left.bitmap.width, right.bitmap.width) - 1;
    std::vector<int32_t> rightOfLeft(static_cast<size_t>(rows), -1);
    scanInkRows(left, minAlpha, top, rows,
                [&](int32_t row, int32_t, int32_t gap) { rightOfLeft[static_cast<size_t>(row)] = gap; });
    int32_t closest = cap;
    scanInkRows(right, minAlpha, top, rows, [&](int32_t row, int32_t gap, int32_t) {
        if (rightOfLeft[static_cast<size_t>(row)] >= 0)
            closest = std::min(closest, rightOfLeft[static_cast<size_t>(row)] + gap);
    });
    return -std::max(closest, 0);
}

void ZTI_DetermineKernPairs(VozerFont* font, int32_t kernPadding, float threshold) {
    determineKernPairs(font, kernPadding, threshold, nullptr);
}

void determineKernPairs(VozerFont* font, int32_t kernPadding, float threshold, const GlyphInk* ink) {
    if (!font || !font->glyphs || font->glyphCount <= 0) return;
    const int32_t count = font->glyphCount;
    KernSet set;
    set.kernable.resize(static_cast<size_t>(count));
    set.excluded.resize(static_cast<size_t>(count));
    int32_t widest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t code = glyphCode(font, i);
        set.kernable[static_cast<size_t>(i)] = code >= 0 && code < KERN_CODE_LIMIT;
        set.excluded[static_cast<size_t>(i)] = excludedFromKerning(code);
        if (set.kernable[static_cast<size_t>(i)]) set.columns = i + 1;
    }
    for (int32_t i = 0; i < set.columns; ++i)
        if (set.takesPart(font, i)) widest = std::max(widest, font->glyphs[i].bitmap.width);
    const int32_t minAlpha = inkAlpha(threshold);
    // Ink measured for another threshold or another glyph table is no use.
    if (ink && (ink->minAlpha != minAlpha || ink->start.size() != static_cast<size_t>(count) + 1)) ink = nullptr;
    if (widest < GapLanes<uint8_t>::NO_INK)
        kernAll<uint8_t>(font, set, kernPadding, minAlpha, ink);
    else
        kernAll<int16_t>(font, set, kernPadding, minAlpha, ink);
}

}  // namespace vz::font
