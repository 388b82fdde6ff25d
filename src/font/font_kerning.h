// Automatic kerning: each pair of glyphs moves together until the closest ink
// of the two touches on some row.
#pragma once

#include <cstdint>
#include <vector>

#include "font/font_record.h"

namespace vz::font {

// Glyphs whose code is at or above this get no kerning row and kern with
// nothing: a font of thousands of ideographs would otherwise need rows of
// glyphCount bytes for every glyph (megabytes) for pairs that never kern.
constexpr int32_t KERN_CODE_LIMIT = 0x2E80;

// The code a glyph stands for: its code point in UTF-8 fonts, its index in
// LATIN-1 tables.
int32_t glyphCode(const VozerFont* font, int32_t index);

// PairKern: how far (0 or negative) the right glyph moves towards the left
// one; `threshold` is the alpha (0..1) from which a pixel counts as ink.
int32_t PairKern(const FontGlyph& left, const FontGlyph& right, float threshold);

// The smallest alpha byte that counts as ink for `threshold` (0..1; 256:
// none does).
int32_t inkAlpha(float threshold);

// Where each row of glyph images has ink, measured while the images are
// made, so that kerning need not scan them again: glyph i's rows are
// rows[start[i]] onwards, one per image row (`start` has glyphCount + 1
// entries; a glyph without image has none).
struct GlyphInk {
    struct Row {
        int32_t first, last;  // the first and the last ink pixel; last -1: none
    };
    int32_t minAlpha = 0;  // the alpha from which a pixel counts as ink
    std::vector<int32_t> start;
    std::vector<Row> rows;
};

// The coverage byte (alpha before faint pixels are cleared) from which a
// pixel of a generated image is ink for `ink`, when coverage of `faint` or
// less is cleared: 0 when every pixel is, 256 when none is.
int32_t inkCoverage(const GlyphInk& ink, uint32_t faint);

// Appends to `ink` the rows of a glyph image of width x height pixels whose
// ink is given as bits: bit i (of byte i / 8, lowest first) for pixel i,
// rows without padding, and 8 readable bytes past the last.
void appendInkRows(const uint8_t* bits, int32_t width, int32_t height, GlyphInk& ink);

// ZTI_DetermineKernPairs: fills the kerning rows of every glyph below
// KERN_CODE_LIMIT (rows are created where missing) with kernPadding + the
// pair's kern. Pairs with space, hyphen or underscore get kernPadding. Sums
// that do not fit the file's signed byte are reported and clamped.
void ZTI_DetermineKernPairs(VozerFont* font, int32_t kernPadding, float threshold);
// The same with the ink of the font's images already measured for
// inkAlpha(threshold) (null: scanned from the images).
void determineKernPairs(VozerFont* font, int32_t kernPadding, float threshold, const GlyphInk* ink);

}  // namespace vz::font
