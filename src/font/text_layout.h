// Text layout: characters to glyphs (UTF-8 or LATIN-1 bytes), inline markup,
// kerning, word wrapping and measuring. Widths here are in the font's own
// pixels; the text entries scale them for the screen.
#pragma once

#include <cstdint>
#include <vector>

#include "font/font_record.h"

namespace vz::font {

// Lines one layout holds at most (UTF-8 text one less); text beyond the last
// is not laid out.
constexpr int32_t MAX_LINES = 1024;
constexpr int32_t MAX_UTF8_LINES = 1023;
// Space advance of a font without a space glyph.
constexpr float FALLBACK_SPACE_ADVANCE = 4.0f;

// One element of laid-out text.
struct LayoutItem {
    enum Kind : uint8_t {
        Glyph,      // a drawn character
        Space,      // the one break opportunity: a space, of the space's advance
        WordEnd,    // a carriage return, or a tab the font has no glyph for: no room, ends a word
        LineBreak,  // a line feed
        Image,      // an inline image ("|i 'name' scale=.. angle=.. offset=..|")
        Colour,     // "|#rrggbb|": the following glyphs take this colour
        WidthScale  // "|scale=..|" (LATIN-1): the rest wraps at the width divided by `scale`
    };
    Kind kind;
    int32_t code;       // character code (Glyph, Space)
    int32_t glyph;      // index into font->glyphs, or -1
    float advance;      // pen advance without kerning (font pixels)
    float kern;         // added when the item follows the previous one on a line
    VozerBitmap* image; // Image
    float scale;        // Image scale, or WidthScale factor
    float angle;        // Image rotation in radians
    float offset;       // Image vertical offset
    uint32_t colour;    // Colour: 0xRRGGBB
};

struct LayoutLine {
    int32_t first;  // first item of the line
    int32_t end;    // one past its last item
    float width;    // font pixels
};

// FindGlyph: the glyph of character `code`, or -1. LATIN-1 tables are
// indexed by the byte; UTF-8 fonts are searched by code point.
int32_t FindGlyph(const VozerFont* font, int32_t code);

// The items of `text` for `font`. Characters the font lacks are reported
// (once per font and character) and left out.
void buildItems(const VozerFont* font, const char* text, std::vector<LayoutItem>& items);

// WordWidth: the width of the word starting at item `start`, up to the next
// space, tab, carriage return or line break; in UTF-8 fonts a character
// above 255 ends the word after itself, so every ideograph is a word of its own.
float WordWidth(const VozerFont* font, const std::vector<LayoutItem>& items, int32_t start);

// WrapText: lines of at most maxWidth where the text allows; a word wider
// than a line is broken between characters, and "." "," U+3002 U+FF0C never
// start a line. At most maxLines lines.
void WrapText(const VozerFont* font, float maxWidth, const std::vector<LayoutItem>& items,
              std::vector<LayoutLine>& lines, int32_t maxLines = MAX_LINES);

// Layout of one text in one call: items and lines kept for reuse by the
// calling thread. At most MAX_LINES lines, MAX_UTF8_LINES for UTF-8 fonts.
struct Layout {
    std::vector<LayoutItem> items;
    std::vector<LayoutLine> lines;
    float widest = 0.0f;
};
void layoutText(const VozerFont* font, const char* text, float maxWidth, Layout& layout);

}  // namespace vz::font
