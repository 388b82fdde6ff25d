// Font generation: a font record built from a source description (a Vudozar
// database named after the font with ".xml" appended), either from an
// outline font rasterised through FreeType or from a bitmap in which the
// glyphs stand side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "font/font_record.h"

namespace vz::vudozar {
struct Array;
class Database;
}

namespace vz::font {

struct GlyphInk;

// Generated glyph pixels whose alpha is this or less are made fully clear.
constexpr uint32_t FAINT_ALPHA = 4;

// What a font compiler may ask for beyond the source.
struct GenerateOptions {
    // Kern UTF-8 fonts as single-byte ones are. The runtime's own generation
    // does not: games lay their texts out with unkerned advances, and the
    // rows would grow the file by the square of the glyph count.
    bool kernUtf8 = false;
};

// ZTI_GenerateFontFromSource: fills `font` from font->name + ".xml" at the
// display scale `requestedScale`. Failures are reported by popup, naming the
// source and the reason.
bool ZTI_GenerateFontFromSource(VozerFont* font, double requestedScale);
bool generateFontFromSource(VozerFont* font, double requestedScale, const GenerateOptions& options);
// The same from a source already read; `sourcePath` names it in messages,
// the files it names are opened through the engine API.
bool generateFontFromDatabase(VozerFont* font, const vudozar::Database* db, const char* sourcePath,
                              double requestedScale, const GenerateOptions& options);

// ZTI_CreateFontGlyphBitmapsFromTTF: renders every glyph of the font's table
// (their codes already set) from the outline font file `ttfPath` at sizePx
// pixels; `style` may name BOLD and ITALIC. Where `ink` is given (its
// minAlpha set), the ink of the images is measured into it for kerning.
bool ZTI_CreateFontGlyphBitmapsFromTTF(VozerFont* font, const char* ttfPath, int32_t sizePx, const char* style,
                                       GlyphInk* ink = nullptr);
// The same over the outline font's bytes; `ttfName` is used in messages.
bool createGlyphBitmapsFromTTFBytes(VozerFont* font, const uint8_t* ttf, size_t size, const char* ttfName,
                                    int32_t sizePx, const char* style, GlyphInk* ink = nullptr);

// The code points an outline font gets: printable ASCII always, the texts of
// the strings database `stringsPath` (null for none), and the characters of
// the source's "additional_utf_characters" array; sorted, below 65536.
bool collectGlyphCodes(const vudozar::Array* additional, const char* stringsPath, std::vector<int32_t>& codes);

// SelectBitmapInput: the "INPUT..." row of `settings` whose scale best serves
// `scale`; its scale is stored in *inputScale. Empty when there is none.
std::string SelectBitmapInput(const vudozar::Array* settings, double scale, double* inputScale);

// A scale written as a number or a ratio a/b, with a trailing x or X
// ignored. `fallback` when the text is no such thing.
double parseScaleText(const char* text, double fallback);

// Glyphs of a LATIN-1 table cut from `image` (its pixels are coloured by the
// transparent fill first) as the rows of `glyphRows` say; `fontSpacing` is
// added to every advance. Reports and returns false when the bitmap cannot
// hold the rows.
bool parseBitmapGlyphs(VozerFont* font, VozerBitmap* image, const vudozar::Array* glyphRows, int32_t fontSpacing);

// Whether `word` stands in `tags` bounded by its ends, space, comma or semicolon.
bool tagsContain(const char* tags, const char* word);

}  // namespace vz::font
