// The font record and its glyphs. Fonts are bitmap fonts: every glyph is a
// small 32-bit image with its placement, its advance and a kerning row. The
// Program only ever sees VozerFont as an opaque handle, so this layout is the
// runtime's own and may change with it.
#pragma once

#include <cstdint>

#include "vozer_render_types.h"
#include "vozer_types.h"

namespace vz::font {

struct FontGlyph {
    int32_t code;      // Unicode code point (UTF-8 fonts); unused by LATIN-1 tables
    int16_t xOffset;   // glyph image position relative to the pen
    int16_t yOffset;
    int16_t advance;   // how far the pen moves after the glyph
    // glyphCount signed bytes, or null for an all-zero row: entry i is added
    // to the pen when this glyph is drawn right after glyph i.
    int8_t* kerning;
    // The glyph image (width or height 0: no image). Its pixels are in the
    // renderer's byte order; after the atlas upload its HardwareData points
    // into the font's atlas texture.
    VozerBitmap bitmap;
};

// Whether the glyph has an image with pixels.
inline bool hasImage(const FontGlyph& g) { return g.bitmap.pixels && g.bitmap.width > 0 && g.bitmap.height > 0; }

// Flag bits of VozerFont::flags.
constexpr uint8_t FONT_COUNTED_BY_GETFONT = 0x01;

// Glyph tables of a new record: 256 zeroed entries, which a LATIN-1 table or
// a file of exactly 256 glyphs reuses.
constexpr int32_t DEFAULT_GLYPH_COUNT = 256;

}  // namespace vz::font

struct VozerFont {
    char* name;        // owned copy of the request name; null = free pool slot
    vz_bool utf8;      // 1: glyphs found by code point; 0: LATIN-1, indexed by byte
    int32_t baseline;  // vertical metrics in pixels
    int32_t height;
    int32_t lineHeight;
    vz::font::FontGlyph* glyphs;
    int32_t glyphCount;
    float scale;       // pixel density relative to the design resolution

    // Manager fields.
    int16_t refCount;
    uint8_t cacheMode; // low byte of the default bitmap cache mode
    uint8_t flags;     // FONT_COUNTED_BY_GETFONT
    VozerMutex* lock;  // record lock taken around queued uploads; null locks nothing
    VozerBitmap atlas; // packed glyph texture; glyph bitmaps share its texture
    int32_t pixelOrder; // byte order of the glyph pixels (the renderer's when they were made)
    bool generationTried;
    bool codesAscending; // glyph codes strictly ascending: lookups may bisect
};
