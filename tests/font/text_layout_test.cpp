// Text layout through the text slots: line breaks of wrapped text, markup,
// decoding of broken UTF-8, measuring, alignment and the quads handed to the
// drawing slots.
#include <gtest/gtest.h>

#include "font/text_decode.h"
#include "font/text_layout.h"
#include "font/text_slots.h"
#include "font_fixture.h"
#include "state/runtime_state.h"

namespace vz {
namespace {

using testing::TestFont;

constexpr float WIDE = 10.0f;  // advance of every test character
constexpr float CJK = 16.0f;   // advance of the test ideographs

void giveGlyph(font::FontGlyph& g, int32_t advance) {
    g.advance = static_cast<int16_t>(advance);
    testing::setImage(g, 2, 3, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
}

// LATIN-1: every printable byte advances 10, space 5.
struct LatinFont : TestFont {
    LatinFont() : TestFont("latin.mft") {
        for (int32_t c = 33; c < 256; ++c) giveGlyph(font.glyphs[c], static_cast<int32_t>(WIDE));
        font.glyphs[' '].advance = 5;
        font.height = 12;
        font.baseline = 10;
        font.lineHeight = 14;
    }
};

// UTF-8: a-z, ',', '.', '|' advance 10, two ideographs 16, and a space
// unless asked not to have one.
struct Utf8Font : TestFont {
    explicit Utf8Font(bool withSpace = true) : TestFont("utf8.mft", true, 0) {
        std::vector<int32_t> codes;
        if (withSpace) codes.push_back(' ');
        for (int32_t c : {',', '.'}) codes.push_back(c);
        for (int32_t c = 'a'; c <= 'z'; ++c) codes.push_back(c);
        codes.push_back('|');  // codes ascending, as generated fonts have them
        codes.push_back(0x4E2D);
        codes.push_back(0x6587);
        font::resetGlyphTable(&font, static_cast<int32_t>(codes.size()));
        for (size_t i = 0; i < codes.size(); ++i) {
            font.glyphs[i].code = codes[i];
            giveGlyph(font.glyphs[i], codes[i] > 255 ? static_cast<int32_t>(CJK) : static_cast<int32_t>(WIDE));
        }
        if (withSpace) font.glyphs[0].advance = 5;
        font.height = font.lineHeight = 16;
        font.baseline = 14;
    }
};

struct Lines {
    std::vector<std::string> texts;
    std::vector<float> widths;
};

// The text of each wrapped line (characters as the font decodes them, in
// UTF-8 again for ideographs) and its width.
Lines wrap(const VozerFont& f, const char* text, float maxWidth) {
    font::Layout layout;
    font::layoutText(&f, text, maxWidth, layout);
    Lines out;
    for (const font::LayoutLine& line : layout.lines) {
        std::string s;
        for (int32_t i = line.first; i < line.end; ++i) {
            const font::LayoutItem& item = layout.items[static_cast<size_t>(i)];
            if (item.kind != font::LayoutItem::Glyph && item.kind != font::LayoutItem::Space) continue;
            if (item.code == 0x4E2D) s += "Z";
            else if (item.code == 0x6587) s += "W";
            else s += static_cast<char>(item.code);
        }
        out.texts.push_back(s);
        out.widths.push_back(line.width);
    }
    return out;
}

TEST(TextLayout, LineBreaks) {
    testing::ApiCapture capture(false);
    LatinFont latin;
    Utf8Font utf8;
    struct Case {
        const VozerFont* font;
        const char* text;
        float maxWidth;
        std::vector<std::string> lines;
        std::vector<float> widths;
    };
    const std::vector<Case> cases = {
        // A word wider than the line stands on lines of its own, broken between characters.
        {&latin.font, "aaa bbbbbbbbbb cc", 45, {"aaa", "bbbb", "bbbb", "bb", "cc"}, {30, 40, 40, 20, 20}},
        // Words that fit share a line; the space at a break goes.
        {&latin.font, "ab cd ef", 60, {"ab cd", "ef"}, {45, 20}},
        // A comma never starts a line, even past the width.
        {&latin.font, "aaaa,b", 45, {"aaaa,", "b"}, {50, 10}},
        {&utf8.font, "aaaa.b", 45, {"aaaa.", "b"}, {50, 10}},
        // A line feed at the very start gives an empty first line.
        {&latin.font, "\nab", 100, {"", "ab"}, {0, 20}},
        {&latin.font, "ab\n\ncd", 100, {"ab", "", "cd"}, {20, 0, 20}},
        // Ideographs are words of their own: "ab" and one ideograph share
        // the line, and the run of ideographs breaks anywhere.
        {&utf8.font, "ab \xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD", 50, {"ab Z", "WZ"}, {41, 32}},
        {&utf8.font, "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87", 40, {"ZW", "ZW"}, {32, 32}},
        // No room at all: one character a line, never an endless loop.
        {&latin.font, "abc", 1, {"a", "b", "c"}, {10, 10, 10}},
        // Only a space is a break point: a tab without an image takes no
        // room and leaves "ab" and "cd" together on the line...
        {&latin.font, "ab\tcd ef", 45, {"ab\tcd", "ef"}, {40, 20}},
        // ...while a carriage return, though it takes no room either, ends a
        // word in measuring: "ab" fits beside "x", "cdef" goes on.
        {&latin.font, "x ab\r\ncdef", 45, {"x ab", "cdef"}, {35, 40}},
        {&latin.font, "x ab\rcdef", 45, {"x ab", "cdef"}, {35, 40}},
        // A space after a break is skipped: no line of its own.
        {&latin.font, "ab  cd", 25, {"ab", "cd"}, {20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Lines got = wrap(*c.font, c.text, c.maxWidth);
        EXPECT_EQ(got.texts, c.lines);
        EXPECT_EQ(got.widths, c.widths);
    }
    EXPECT_EQ(capture.countContaining("Missing unicode 13"), 0u);
    // A line far wider than the box ends at the line limit: 1024 lines,
    // 1023 of UTF-8 text.
    const std::string endless(20000, 'x');
    EXPECT_EQ(wrap(latin.font, endless.c_str(), 25).texts.size(), 1024u);
    EXPECT_EQ(wrap(utf8.font, endless.c_str(), 25).texts.size(), 1023u);
}

TEST(TextLayout, DecodingAndMarkup) {
    testing::ApiCapture capture(false);
    EXPECT_EQ(font::DecodeUtf8("\xE4\xB8\xAD"), (std::vector<int32_t>{0x4E2D, 0}));
    // A lone continuation byte is a character; a sequence cut by the end stops there.
    EXPECT_EQ(font::DecodeUtf8("a\x80" "b"), (std::vector<int32_t>{'a', 0x80, 'b', 0}));
    EXPECT_EQ(font::DecodeUtf8("\xF0\x9F"), (std::vector<int32_t>{0x1F, 0}));
    EXPECT_EQ(font::DecodeUtf8("\xC0\xAF"), (std::vector<int32_t>{0x2F, 0}));  // overlong, decoded as designed

    Utf8Font utf8;
    LatinFont latin;
    EXPECT_EQ(wrap(utf8.font, "a||b", 1000).texts, std::vector<std::string>{"a|b"});
    EXPECT_EQ(wrap(utf8.font, "a|anything|b|unterminated", 1000).texts, std::vector<std::string>{"ab"});
    EXPECT_EQ(wrap(latin.font, "a|i 'never closed", 1000).texts, std::vector<std::string>{"a"});
    // Broken UTF-8 draws what the font has and reports each missing character once.
    EXPECT_EQ(wrap(utf8.font, "a\xC0\xAF\x80\xE4\xB8", 1000).texts, std::vector<std::string>{"a"});
    EXPECT_EQ(wrap(utf8.font, "a\x80\x80\x80", 1000).texts, std::vector<std::string>{"a"});
    EXPECT_EQ(capture.countContaining("Font 'utf8.mft' Missing unicode 128 (0x80) (''): left out, nothing is drawn for it."), 1u);
    EXPECT_EQ(wrap(utf8.font, "a\xE2\x82\xAC", 1000).texts, std::vector<std::string>{"a"});
    EXPECT_EQ(capture.countContaining("Missing unicode 8364 (0x20ac) ('\xE2\x82\xAC')"), 1u);
    // The scale section of LATIN-1 text divides the width for the rest.
    EXPECT_EQ(wrap(latin.font, "aa|scale=2|aaaa", 70).texts, (std::vector<std::string>{"aaa", "aaa"}));

    // Without a space glyph spaces advance 4, and the lack is reported.
    Utf8Font spaceless(false);
    EXPECT_EQ(wrap(spaceless.font, "a a", 1000).widths, std::vector<float>{24});
    EXPECT_EQ(capture.countContaining("Missing unicode 32 (0x20) (' ')"), 1u);
}

TEST(TextLayout, MeasuringThroughTheSlots) {
    testing::ApiCapture capture(false);
    font::resetTextSettings();
    LatinFont f;
    VozerEngineApi* a = api();
    float w = -1, h = -1;
    a->GetTextSize(&f.font, &w, &h, "%s %d", "ab", 12);
    EXPECT_EQ(w, 45.0f);  // "ab 12" on one line: no wrapping by default
    EXPECT_EQ(h, 14.0f);  // the larger of height and line height
    a->SetTextWrapWidth(45);
    EXPECT_EQ(a->GetTextWidth(&f.font, "aaa bbbbbbbbbb cc"), 40.0f);
    EXPECT_EQ(a->GetTextHeight(&f.font, "aaa bbbbbbbbbb cc"), 4 * 14.0f + 14.0f);
    a->SetTextScale(2.0f, 0.5f, 0.0f);
    a->SetTextWrapWidth(0.0f);  // below 0.1: no wrapping
    a->GetTextSize(&f.font, &w, &h, "ab\ncd");
    EXPECT_EQ(w, 40.0f);
    EXPECT_EQ(h, 14.0f);
    // A font drawn at half its pixel density measures half as wide.
    a->SetTextScale(1.0f, 1.0f, 0.0f);
    f.font.scale = 0.5f;
    EXPECT_EQ(a->GetTextWidth(&f.font, "abcd"), 20.0f);
    f.font.scale = 1.0f;
    a->GetTextSize(nullptr, &w, &h, "x");
    EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(a->GetTextWidth(&f.font, "%s", ""), 0.0f);
    font::resetTextSettings();
}

TEST(TextLayout, DrawingPlacesEveryGlyph) {
    testing::ApiCapture capture(false);
    font::resetTextSettings();
    LatinFont f;
    f['b'].kerning = static_cast<int8_t*>(std::calloc(256, 1));
    f['b'].kerning['a'] = -3;
    f['b'].xOffset = 1;
    f['b'].yOffset = 2;
    VozerEngineApi* a = api();
    {
        testing::DrawRecorder draw;
        // y moves by baseline - height = -2 before the first line.
        EXPECT_EQ(a->DrawText(&f.font, 100.0f, 50.0f, "ab%s", "a"), 27.0f);
        ASSERT_EQ(draw.quads.size(), 3u);
        EXPECT_EQ(draw.glyphIndices(f.font), (std::vector<int32_t>{'a', 'b', 'a'}));
        EXPECT_EQ(draw.quads[0].x, 100.0f);
        EXPECT_EQ(draw.quads[0].y, 48.0f);
        EXPECT_EQ(draw.quads[1].x, 100.0f + 10 - 3 + 1);  // kerned, then its own offset
        EXPECT_EQ(draw.quads[1].y, 50.0f);
        EXPECT_EQ(draw.quads[2].x, 117.0f);
        EXPECT_TRUE(draw.transforms.empty());
    }
    {
        // Right-aligned, bottom-aligned lines; centred lines halve in integers.
        testing::DrawRecorder draw;
        a->SetTextAlign(1 | 2);
        a->DrawText(&f.font, 100.0f, 100.0f, "aa\naaa");
        ASSERT_EQ(draw.quads.size(), 5u);
        EXPECT_EQ(draw.quads[0].x, 80.0f);
        EXPECT_EQ(draw.quads[0].y, 100.0f - 2 - 28);
        EXPECT_EQ(draw.quads[2].x, 70.0f);
        EXPECT_EQ(draw.quads[2].y, 100.0f - 2 - 14);
        draw.quads.clear();
        a->SetTextAlign(8 | 4);
        a->DrawText(&f.font, 100.0f, 100.0f, "a a");
        EXPECT_EQ(draw.quads[0].x, 100.0f - 12);  // 25 / 2 = 12
        EXPECT_EQ(draw.quads[0].y, 100.0f - 2 - 7);
        a->SetTextAlign(0);
    }
    {
        // Scaled or rotated text goes through one pushed transform.
        testing::DrawRecorder draw;
        a->SetTextScale(2.0f, 3.0f, 0.0f);
        a->DrawText(&f.font, 10.0f, 20.0f, "ab");
        ASSERT_EQ(draw.transforms.size(), 1u);
        EXPECT_EQ(draw.pops, 1);
        const std::vector<float>& m = draw.transforms[0];
        EXPECT_EQ(m[0], 2.0f);
        EXPECT_EQ(m[5], 3.0f);
        EXPECT_EQ(m[3], 10.0f);
        EXPECT_EQ(m[7], 20.0f - 2 * 3);
        EXPECT_EQ(draw.quads[1].x, 10.0f - 3 + 1);
        a->SetTextScale(1.0f, 1.0f, 0.0f);
    }
    {
        // Colour markup tints what follows, and the caller's colour comes
        // back afterwards; inline images take their room.
        testing::DrawRecorder draw;
        DrawState& drawing = rt().drawing;
        drawing.red = 0.0f, drawing.green = 128.0f / 255.0f, drawing.blue = 1.0f;
        static VozerBitmap icon{};
        icon.width = 20;
        icon.height = 8;
        a->GetBitmap = [](const char* name) -> VozerBitmap* { return std::strcmp(name, "ui/icon") == 0 ? &icon : nullptr; };
        a->DrawText(&f.font, 0.0f, 0.0f, "a|#ff8000|a|i 'ui/icon' scale=2 offset=3|b|i 'ui/none'|a");
        EXPECT_EQ(draw.colours, (std::vector<uint32_t>{0xFF8000u, 0x0080FFu}));
        drawing.red = drawing.green = drawing.blue = 1.0f;
        ASSERT_EQ(draw.quads.size(), 5u);
        EXPECT_TRUE(draw.quads[2].ex);
        EXPECT_EQ(draw.quads[2].bitmap, &icon);
        EXPECT_EQ(draw.quads[2].x, 20.0f + 20.0f);  // centred on its 40 pixels
        EXPECT_EQ(draw.quads[3].x, 60.0f + 1);      // 'b' after the image, not kerned against it
        EXPECT_EQ(draw.quads[4].x, 70.0f);
    }
    {
        testing::DrawRecorder draw;
        EXPECT_EQ(a->DrawText(nullptr, 0, 0, "x"), 0.0f);
        VozerFont freed{};
        EXPECT_EQ(a->DrawText(&freed, 0, 0, "x"), 0.0f);
        EXPECT_TRUE(draw.quads.empty());
    }
    font::resetTextSettings();
}

}  // namespace
}  // namespace vz
