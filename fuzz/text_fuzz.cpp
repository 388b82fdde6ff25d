// Fuzz target for text layout with markup: the first byte picks the font
// (LATIN-1 or UTF-8, with kerning) and the wrap width, the rest is the text.
// Lines must cover the items in order, and measuring and drawing must finish
// without touching memory outside the font.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "api/engine_api.h"
#include "font/font_file.h"
#include "font/font_pool.h"
#include "font/text_layout.h"
#include "font/text_slots.h"
#include "fuzz_support.h"

using vz::fuzz::check;

namespace {

namespace font = vz::font;

void giveImage(font::FontGlyph& g, int32_t advance) {
    g.advance = static_cast<int16_t>(advance);
    g.bitmap.width = g.bitmap.dataWidth = 2;
    g.bitmap.height = g.bitmap.dataHeight = 2;
    g.bitmap.pixels = static_cast<uint32_t*>(std::calloc(4, sizeof(uint32_t)));
}

// A LATIN-1 table and a small UTF-8 font (ASCII, Latin-1 and a few
// ideographs, codes ascending), both with kerning rows.
VozerFont* makeFont(bool utf8) {
    auto* f = new VozerFont{};
    font::initFontRecord(f, utf8 ? "fuzz-utf8.mft" : "fuzz-latin.mft");
    f->utf8 = utf8 ? 1 : 0;
    const int32_t count = utf8 ? 96 + 96 + 4 : 256;
    font::resetGlyphTable(f, count);
    for (int32_t i = 0; i < count; ++i) {
        int32_t code = i;
        if (utf8) code = i < 96 ? 32 + i : i < 192 ? 160 + (i - 96) : 0x4E00 + (i - 192);
        f->glyphs[i].code = code;
        giveImage(f->glyphs[i], code == ' ' ? 4 : 3 + (code % 7));
        f->glyphs[i].kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count)));
        for (int32_t k = 0; k < count; ++k) f->glyphs[i].kerning[k] = static_cast<int8_t>((k * 31 + i) % 5 - 2);
    }
    f->height = 12;
    f->lineHeight = 14;
    f->baseline = 10;
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (vz::fillEngineApi(), vz::fuzz::silenceMessages(), true);
    (void)ready;
    static VozerFont* fonts[2] = {makeFont(false), makeFont(true)};
    if (size == 0) return 0;
    VozerFont* f = fonts[data[0] & 1];
    const float widths[4] = {0.5f, 37.0f, 300.0f, 64000.0f};
    const float maxWidth = widths[(data[0] >> 1) & 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // cut at the first zero byte

    font::Layout layout;
    font::layoutText(f, text.c_str(), maxWidth, layout);
    check(layout.lines.size() <= static_cast<size_t>(font::MAX_LINES));
    int32_t previousEnd = 0;
    for (const font::LayoutLine& line : layout.lines) {
        check(line.first >= previousEnd - 1 && line.first <= line.end);
        check(line.end <= static_cast<int32_t>(layout.items.size()));
        check(std::isfinite(line.width));
        previousEnd = line.end;
    }
    for (const font::LayoutItem& item : layout.items) check(item.glyph >= -1 && item.glyph < f->glyphCount);

    VozerEngineApi* a = vz::api();
    a->SetTextAlign(data[0] >> 3);
    a->SetTextWrapWidth(maxWidth);
    a->SetTextScale((data[0] & 0x40) ? 1.5f : 1.0f, 1.0f, (data[0] & 0x80) ? 0.3f : 0.0f);
    float width = 0, height = 0;
    font::measureTextPlain(f, text.c_str(), &width, &height);
    check(std::isfinite(width) && std::isfinite(height) && width >= 0 && height >= 0);
    font::drawTextPlain(f, 10.0f, 10.0f, text.c_str());
    return 0;
}
