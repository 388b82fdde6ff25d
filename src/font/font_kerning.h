// Automatic kerning: each pair of glyphs moves together until the closest ink
// of the two touches on some row.
#pragma once

#include <cstdint>

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

// ZTI_DetermineKernPairs: fills the kerning rows of every glyph below
// KERN_CODE_LIMIT (rows are created where missing) with kernPadding + the
// pair's kern. Pairs with space, hyphen or underscore get kernPadding. Sums
// that do not fit the file's signed byte are reported and clamped.
void ZTI_DetermineKernPairs(VozerFont* font, int32_t kernPadding, float threshold);

}  // namespace vz::font
