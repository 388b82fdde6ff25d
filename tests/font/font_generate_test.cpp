// Font generation: DejaVu Sans through a source description and FreeType,
// compared with FreeType's own rendering; automatic kerning; scales; glyph
// bitmaps cut from one image; sources and outline files that must be refused.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>

#include "data/vudozar.h"
#include "font/font_atlas.h"
#include "font/font_generate.h"
#include "font/font_kerning.h"
#include "font/text_layout.h"
#include "font_fixture.h"
#include "image/image_loader.h"

namespace vz {
namespace {

using testing::TestFont;

std::string source(const std::string& settings, const std::string& more = "") {
    return testing::XML_PROLOG + "<vudozar>\n<array id=\"settings\">\n" + settings +
           "</array>\n" + more + "</vudozar>\n";
}

const std::string DEJAVU_SETTINGS =
    "<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"16\"/>\n"
    "<node id=\"SPACING\" value=\"1\"/>\n<node id=\"LINE_PADDING_OFFSET\" value=\"3\"/>\n";
const std::string EXTRA_CHARACTERS =
    "<array id=\"additional_utf_characters\"><node id=\"\xC3\xA9\xC3\x84\"/><node id=\"\xE2\x82\xAC\"/></array>\n";

// FreeType's own coverage of one character at `pixels`, for comparison.
struct Reference {
    int32_t width = 0, height = 0, top = 0;
    std::vector<uint8_t> alpha;
};
Reference freeTypeGlyph(const std::string& ttf, int32_t code, int32_t pixels) {
    Reference r;
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(ttf.data()), static_cast<FT_Long>(ttf.size()),
                                 0, &face),
              0);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    EXPECT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER), 0);
    const FT_Bitmap& b = face->glyph->bitmap;
    r.width = static_cast<int32_t>(b.width);
    r.height = static_cast<int32_t>(b.rows);
    r.top = face->glyph->bitmap_top;
    for (int32_t y = 0; y < r.height; ++y)
        for (int32_t x = 0; x < r.width; ++x) r.alpha.push_back(b.buffer[y * b.pitch + x]);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return r;
}

struct Generated {
    testing::ApiCapture capture;
    std::string ttf = testing::dejaVuSans();
    explicit Generated(const std::string& name, const std::string& xml) {
        capture.addFile("fonts/DejaVuSans.ttf", ttf);
        capture.addFile(name + ".xml", xml);
    }
};

// What vozer-font --kern asks for: UTF-8 fonts kerned too.
const font::GenerateOptions KERNED{true};

int32_t kernOf(const VozerFont& f, int32_t leftCode, int32_t rightCode) {
    const int32_t l = font::FindGlyph(&f, leftCode), r = font::FindGlyph(&f, rightCode);
    return f.glyphs[r].kerning ? f.glyphs[r].kerning[l] : 0;
}

TEST(FontGenerate, DejaVuSansMatchesFreeTypeAndKerns) {
    Generated g("fonts/sans16.mft", source(DEJAVU_SETTINGS, EXTRA_CHARACTERS));
    TestFont f("fonts/sans16.mft");
    ASSERT_TRUE(font::ZTI_GenerateFontFromSource(&f.font, 1.0));
    EXPECT_EQ(f.font.utf8, 1);
    // Printable ASCII always, plus the source's extra characters, ascending.
    ASSERT_EQ(f.font.glyphCount, 95 + 3);
    for (int32_t i = 1; i < f.font.glyphCount; ++i) EXPECT_LT(f[i - 1].code, f[i].code);
    for (int32_t code : {0xE9, 0xC4, 0x20AC}) EXPECT_GE(font::FindGlyph(&f.font, code), 0) << code;

    int32_t tallest = 0;
    for (int32_t code = 33; code < 127; ++code) {
        const font::FontGlyph& glyph = f[font::FindGlyph(&f.font, code)];
        const Reference ref = freeTypeGlyph(g.ttf, code, 16);
        SCOPED_TRACE(static_cast<char>(code));
        ASSERT_EQ(glyph.bitmap.width, ref.width);
        ASSERT_EQ(glyph.bitmap.height, ref.height);
        EXPECT_EQ(glyph.yOffset, 16 - ref.top);
        EXPECT_EQ(glyph.xOffset, 0);
        EXPECT_EQ(glyph.advance, ref.width + 1);  // the image width and SPACING
        for (size_t p = 0; p < ref.alpha.size(); ++p) {
            const uint32_t alpha = glyph.bitmap.pixels[p] >> 24;
            ASSERT_EQ(alpha, ref.alpha[p] <= 4 ? 0u : ref.alpha[p]) << p;
            ASSERT_EQ(glyph.bitmap.pixels[p] & 0xFFFFFFu, 0xFFFFFFu);  // white, so tinting works
        }
        tallest = std::max(tallest, ref.height);
    }
    EXPECT_EQ(f[font::FindGlyph(&f.font, ' ')].advance, 6 + 1);  // trunc(16 x 0.4) and SPACING
    EXPECT_EQ(f.font.height, tallest);
    EXPECT_EQ(f.font.baseline, tallest - 2);
    EXPECT_EQ(f.font.lineHeight, tallest + 3);
    // Made by the runtime, a UTF-8 font has no kerning rows: its texts
    // measure by the advances alone, and its file holds no rows.
    for (int32_t i = 0; i < f.font.glyphCount; ++i) ASSERT_EQ(f[i].kerning, nullptr) << f[i].code;
    const size_t unkernedBytes = font::encodeFontFile(&f.font).size();

    // Compiled with kerning, pairs whose shapes leave room come closer than
    // straight sides do (those only lose their faint edge columns).
    ASSERT_TRUE(font::generateFontFromSource(&f.font, 1.0, KERNED));
    EXPECT_EQ(font::encodeFontFile(&f.font).size(), unkernedBytes + 98 * 98);
    const int32_t straight = kernOf(f.font, 'H', 'H');
    EXPECT_LE(straight, 0);
    EXPECT_LT(kernOf(f.font, 'A', 'V'), straight - 2);
    EXPECT_LT(kernOf(f.font, 'T', 'o'), straight - 2);
    EXPECT_LT(kernOf(f.font, 'V', 'A'), straight - 2);
    EXPECT_EQ(kernOf(f.font, 'T', '-'), 0);
    EXPECT_EQ(kernOf(f.font, ' ', 'A'), 0);
    EXPECT_EQ(kernOf(f.font, '_', 'T'), 0);
    EXPECT_TRUE(g.capture.popups().empty()) << g.capture.popups()[0];

    // Saved and loaded, the font is the same.
    const std::vector<uint8_t> bytes = font::encodeFontFile(&f.font);
    TestFont loaded("fonts/sans16.mft");
    ASSERT_TRUE(font::decodeFontFile(&loaded.font, bytes.data(), bytes.size()));
    EXPECT_EQ(font::encodeFontFile(&loaded.font), bytes);
    EXPECT_EQ(kernOf(loaded.font, 'A', 'V'), kernOf(f.font, 'A', 'V'));
}

// Automatic kerning as defined, pixel by pixel: over the rows from the
// higher glyph's top, a row's gaps are the clear pixels from the facing edge
// to the first ink (the narrower width less one where there is none), and
// the right glyph moves left by the smallest sum, at most that cap.
int32_t definedKern(const font::FontGlyph& l, const font::FontGlyph& r, float threshold) {
    if (!l.bitmap.pixels || !r.bitmap.pixels) return 0;
    const int32_t cap = std::min(l.bitmap.width, r.bitmap.width) - 1;
    const int32_t top = std::min(l.yOffset, r.yOffset);
    const int32_t rows = std::max(l.bitmap.height, r.bitmap.height);
    auto gap = [&](const font::FontGlyph& g, int32_t row, bool fromRight) {
        const int32_t y = row + top - g.yOffset;
        if (y < 0 || y >= g.bitmap.height) return cap;
        for (int32_t n = 0; n < g.bitmap.width; ++n) {
            const int32_t x = fromRight ? g.bitmap.width - 1 - n : n;
            if (static_cast<float>(g.bitmap.pixels[y * g.bitmap.width + x] >> 24) / 255.0f >= threshold) return n;
        }
        return cap;
    };
    int32_t closest = cap;
    for (int32_t row = 0; row < rows; ++row) closest = std::min(closest, gap(l, row, true) + gap(r, row, false));
    return -closest;
}

// The source of a font of printable ASCII and Latin-1 (190 glyphs) from
// DejaVu Sans at `pixels`, kerned from alpha 0.6.
std::string latinOneSource(int32_t pixels) {
    std::string latin1;
    for (int32_t c = 161; c < 256; ++c)
        latin1 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    return source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"" + std::to_string(pixels) +
                      "\"/>\n<node id=\"AUTO_KERN_THRESHOLD\" value=\"0.6\"/>\n",
                  "<array id=\"additional_utf_characters\"><node id=\"" + latin1 + "\"/></array>\n");
}

// Every glyph is FreeType's coverage at `pixels`, faint pixels cleared, in
// white.
void expectFreeTypeImages(TestFont& f, const std::string& ttf, int32_t pixels) {
    for (int32_t i = 0; i < f.font.glyphCount; ++i) {
        const Reference ref = freeTypeGlyph(ttf, f[i].code, pixels);
        const VozerBitmap& b = f[i].bitmap;
        SCOPED_TRACE(f[i].code);
        ASSERT_EQ(b.width, ref.width);
        ASSERT_EQ(b.height, ref.height);
        EXPECT_EQ(f[i].yOffset, pixels - ref.top);
        for (size_t p = 0; p < ref.alpha.size(); ++p)
            ASSERT_EQ(b.pixels[p], (ref.alpha[p] <= 4 ? 0u : static_cast<uint32_t>(ref.alpha[p]) << 24) | 0xFFFFFFu)
                << p;
    }
}

TEST(FontGenerate, LatinOneGlyphsKerningAndAtlasAreExactlyAsDefined) {
    Generated g("fonts/latin.mft", latinOneSource(21));
    TestFont f("fonts/latin.mft");
    ASSERT_TRUE(font::generateFontFromSource(&f.font, 1.0, KERNED));
    ASSERT_EQ(f.font.glyphCount, 190);
    expectFreeTypeImages(f, g.ttf, 21);
    // Every pair kerns as defined; space, hyphen and underscore with nothing.
    // Again once a glyph is far wider than the others (such fonts are kerned
    // with wider arithmetic).
    const auto expectDefinedKerning = [&] {
        for (int32_t j = 0; j < f.font.glyphCount; ++j) {
            ASSERT_NE(f[j].kerning, nullptr);
            for (int32_t i = 0; i < f.font.glyphCount; ++i) {
                const bool excluded = f[i].code == ' ' || f[i].code == '-' || f[i].code == '_' || f[j].code == ' ' ||
                                      f[j].code == '-' || f[j].code == '_';
                const int32_t kern = excluded ? 0 : std::max(definedKern(f[i], f[j], 0.6f), -128);  // a byte holds it
                ASSERT_EQ(f[j].kerning[i], kern) << f[i].code << " " << f[j].code;
            }
        }
    };
    expectDefinedKerning();
    font::FontGlyph& wide = f[font::FindGlyph(&f.font, '~')];
    testing::setImage(wide, 300, 6, [](int32_t x, int32_t y) { return x > 150 + y * 20 ? 0xFFFFFFFFu : 0x00FFFFFFu; });
    font::ZTI_DetermineKernPairs(&f.font, 0, 0.6f);
    expectDefinedKerning();

    // The packed atlas is the glyphs at their places on a clear page, every
    // clear pixel coloured by its neighbours; two glyphs get colours of
    // their own, which the fill must carry into their clear pixels.
    for (int32_t code : {0x41, 0xE9}) {  // 'A' and 'é'
        VozerBitmap& b = f[font::FindGlyph(&f.font, code)].bitmap;
        for (int32_t p = 0; p < b.width * 3; ++p) b.pixels[p] ^= static_cast<uint32_t>(p * 0x010307);
    }
    rt().shared.atlasPacking = 1;
    font::ZTI_RecreateFontAtlas(&f.font);
    rt().shared.atlasPacking = 0;
    const VozerBitmap& atlas = f.font.atlas;
    ASSERT_NE(atlas.pixels, nullptr);
    VozerBitmap expected{};
    std::vector<uint32_t> page(static_cast<size_t>(atlas.width) * atlas.height, 0u);
    expected.pixels = page.data();
    expected.width = expected.dataWidth = atlas.width;
    expected.height = expected.dataHeight = atlas.height;
    for (int32_t i = 0; i < f.font.glyphCount; ++i) {
        const VozerBitmap& b = f[i].bitmap;
        if (!b.pixels) continue;
        const auto x0 = static_cast<int32_t>(b.hw.uLeft * static_cast<float>(atlas.width) + 0.5f);
        const auto y0 = static_cast<int32_t>(b.hw.vTop * static_cast<float>(atlas.height) + 0.5f);
        for (int32_t y = 0; y < b.height; ++y)
            for (int32_t x = 0; x < b.width; ++x)
                page[static_cast<size_t>((y0 + y) * atlas.width + x0 + x)] = b.pixels[y * b.width + x];
    }
    image::fillTransparentColours(&expected);
    for (size_t p = 0; p < page.size(); ++p)
        ASSERT_EQ(atlas.pixels[p], page[p]) << p % atlas.width << "," << p / atlas.width;
}

// At 96 pixels the glyphs' coverage no longer fits one batch of images:
// every image is still FreeType's, and the ink measured batch by batch
// kerns every pair as scanning the finished images does.
TEST(FontGenerate, LargeFontIsMadeInBatchesUnchanged) {
    Generated g("fonts/large.mft", latinOneSource(96));
    TestFont f("fonts/large.mft");
    ASSERT_TRUE(font::generateFontFromSource(&f.font, 1.0, KERNED));
    ASSERT_EQ(f.font.glyphCount, 190);
    expectFreeTypeImages(f, g.ttf, 96);
    std::vector<std::vector<int8_t>> measured;
    for (int32_t j = 0; j < f.font.glyphCount; ++j) {
        ASSERT_NE(f[j].kerning, nullptr);
        measured.emplace_back(f[j].kerning, f[j].kerning + f.font.glyphCount);
    }
    font::ZTI_DetermineKernPairs(&f.font, 0, 0.6f);
    for (int32_t j = 0; j < f.font.glyphCount; ++j)
        for (int32_t i = 0; i < f.font.glyphCount; ++i)
            ASSERT_EQ(f[j].kerning[i], measured[static_cast<size_t>(j)][static_cast<size_t>(i)])
                << f[i].code << " " << f[j].code;
}

TEST(FontGenerate, StyleAndScales) {
    const std::string extra = "<node id=\"OUTPUT\" scale=\"1/2\"/>\n";
    Generated g("fonts/half.mft", source(DEJAVU_SETTINGS + extra));
    g.capture.addFile("fonts/big.mft.xml", source(DEJAVU_SETTINGS + "<node id=\"OUTPUT\" scale=\"6\"/>\n"));
    g.capture.addFile("fonts/bold.mft.xml",
                      source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"16\" style=\"BOLD\"/>\n"));
    const Reference a16 = freeTypeGlyph(g.ttf, 'A', 16);

    // OUTPUT 1/2 asked for at scale 2 is scale 1: the glyphs of 16 px.
    TestFont half("fonts/half.mft");
    ASSERT_TRUE(font::ZTI_GenerateFontFromSource(&half.font, 2.0));
    EXPECT_EQ(half[font::FindGlyph(&half.font, 'A')].bitmap.height, a16.height);

    // 6 x 2 = 12 is out of range: reported, and made at scale 1.
    TestFont big("fonts/big.mft");
    ASSERT_TRUE(font::ZTI_GenerateFontFromSource(&big.font, 2.0));
    EXPECT_EQ(g.capture.countContaining("scale factor 12 for font fonts/big.mft is invalid"), 1u);
    EXPECT_EQ(big[font::FindGlyph(&big.font, 'A')].bitmap.height, a16.height);

    // BOLD thickens the strokes: more ink than the regular face.
    TestFont bold("fonts/bold.mft");
    ASSERT_TRUE(font::ZTI_GenerateFontFromSource(&bold.font, 1.0));
    const VozerBitmap& b = bold[font::FindGlyph(&bold.font, 'l')].bitmap;
    const Reference l16 = freeTypeGlyph(g.ttf, 'l', 16);
    uint64_t boldInk = 0, regularInk = 0;
    for (int32_t p = 0; p < b.width * b.height; ++p) boldInk += b.pixels[p] >> 24;
    for (uint8_t alpha : l16.alpha) regularInk += alpha;
    EXPECT_GT(boldInk, regularInk * 5 / 4);
}

TEST(FontGenerate, BadSourcesAreReported) {
    testing::ApiCapture capture;
    capture.addFile("fonts/DejaVuSans.ttf", testing::dejaVuSans());
    capture.addFile("fonts/garbage.ttf", std::string(4096, 'x'));
    struct Case {
        const char* name;
        std::string xml;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"bad/none.mft", "", "Database not found or doesn't contain any arrays."},
        {"bad/nosettings.mft", testing::XML_PROLOG + "<vudozar><array id=\"glyphs\"><node id=\"x\"/></array></vudozar>",
         "Array 'settings' is missing or has bad parms"},
        {"bad/noinput.mft", source("<node id=\"SPACING\" value=\"1\"/>"), "Array 'settings' is missing or has bad parms"},
        {"bad/nosize.mft", source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\"/>"), "no usable size_px"},
        {"bad/zerosize.mft", source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"0\"/>"),
         "no usable size_px"},
        {"bad/hugesize.mft", source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"1e9\"/>"),
         "no usable size_px"},
        {"bad/tiny.mft", source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"0.4\"/>"),
         "pixel size 0 for 'fonts/DejaVuSans.ttf' is invalid"},
        {"bad/spacing.mft", source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"16\"/><node id=\"SPACING\" value=\"lots\"/>"), "bad value 'lots'"},
        {"bad/threshold.mft", source(DEJAVU_SETTINGS + "<node id=\"AUTO_KERN_THRESHOLD\" value=\"7\"/>"),
         "bad value '7'"},
        {"bad/missingttf.mft", source("<node id=\"INPUT\" ttf=\"fonts/none.ttf\" size_px=\"16\"/>"),
         "Unable to find font source file fonts/none.ttf"},
        {"bad/garbage.mft", source("<node id=\"INPUT\" ttf=\"fonts/garbage.ttf\" size_px=\"16\"/>"),
         "FT_New_Face error"},
        {"bad/strings.mft",
         source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"16\" strings=\"lang/none.xml\"/>"),
         "Unable to locate file 'lang/none.xml' in file system."},
        {"bad/resstrings.mft",
         source("<node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"16\" strings=\"res://lang/none.xml\"/>"),
         "Unable to find font language strings xml source file res://lang/none.xml"},
        // The row serving scale 1 names no bitmap; only the one for scale 2 does.
        {"bad/nobitmap.mft", source("<node id=\"INPUT\" size_px=\"16\"/><node id=\"INPUT@2x\" bitmap=\"g.png\"/>"),
         "Array 'settings' is missing or has bad parms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.xml.empty()) capture.addFile(std::string(c.name) + ".xml", c.xml);
        TestFont f(c.name);
        const size_t before = capture.countContaining(c.message);
        EXPECT_FALSE(font::ZTI_GenerateFontFromSource(&f.font, 1.0));
        EXPECT_GE(capture.countContaining(c.message), before + 1);
        EXPECT_EQ(capture.countContaining(std::string("Failed to generate font from source '") + c.name + ".xml'"), 1u);
        EXPECT_EQ(f.font.glyphCount, font::DEFAULT_GLYPH_COUNT);
    }
    EXPECT_EQ(capture.openCount, 0);
}

// A 908-byte font whose outlines span thousands of pixels at 12 px (found by
// fuzzing: its images took 1.7 GB): those glyphs are left out with a message
// before FreeType renders them, the rest are made.
TEST(FontGenerate, GlyphsWithHugeBoxesAreLeftOut) {
    testing::ApiCapture capture;
    const std::string ttf = testing::readBinary(std::string(VOZER_FUZZ_CORPUS_DIR) + "/ttf/huge-glyph-boxes.ttf");
    ASSERT_FALSE(ttf.empty());
    TestFont f("huge.mft", true, 95);
    for (int32_t i = 0; i < 95; ++i) f[i].code = 32 + i;
    ASSERT_TRUE(font::createGlyphBitmapsFromTTFBytes(&f.font, reinterpret_cast<const uint8_t*>(ttf.data()), ttf.size(),
                                                     "huge.ttf", 12, nullptr, nullptr));
    EXPECT_GE(capture.countContaining("in 'huge.ttf' is "), 1u);
    EXPECT_GE(capture.countContaining("at 12 px (at most 96 a side); leaving it out."), 1u);
    for (int32_t i = 0; i < f.font.glyphCount; ++i) {
        EXPECT_LE(f[i].bitmap.width, 96);
        EXPECT_LE(f[i].bitmap.height, 96);
    }
}

TEST(FontGenerate, GlyphSetFromLanguageStrings) {
    testing::ApiCapture capture;
    capture.addFile("lang/strings.xml",
                    testing::XML_PROLOG + "<vudozar><array id=\"STRINGS\">"
                    "<node id=\"HELLO\" to=\"\xE4\xB8\xAD\xC3\xA9\"/>"             // U+4E2D, U+00E9
                    "<node id=\"BYE\" from=\"\xC3\x9F\" to=\"\xF0\x9F\x98\x80\"/>"  // U+00DF; U+1F600 is too high
                    "<node id=\"BAD\" to=\"\xC0\xAF\"/>"                            // overlong: not decoded
                    "</array></vudozar>");
    std::vector<int32_t> codes;
    ASSERT_TRUE(font::collectGlyphCodes(nullptr, "lang/strings.xml", codes));
    EXPECT_EQ(codes.size(), 95u + 3);
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
    for (int32_t code : {0x4E2D, 0xE9, 0xDF}) EXPECT_NE(std::find(codes.begin(), codes.end(), code), codes.end());
    EXPECT_EQ(capture.countContaining("UTF32 128512 out of range"), 1u);
    EXPECT_EQ(capture.countContaining("error converting"), 1u);
}

TEST(FontKerning, PairsTouchAtTheirClosestInk) {
    testing::ApiCapture capture(false);
    TestFont f("kern.mft");
    // 'L' leaves 3 clear columns on its right, 'R' 2 on its left, on every row.
    testing::setImage(f['L'], 8, 6, [](int32_t x, int32_t) { return x < 5 ? 0xFFFFFFFFu : 0x00FFFFFFu; });
    testing::setImage(f['R'], 7, 6, [](int32_t x, int32_t) { return x >= 2 ? 0xFFFFFFFFu : 0x00FFFFFFu; });
    EXPECT_EQ(font::PairKern(f['L'], f['R'], 0.75f), -5);
    // Faint ink below the threshold counts as clear.
    testing::setImage(f['F'], 8, 6, [](int32_t x, int32_t) { return x < 5 ? 0xFFFFFFFFu : 0x80FFFFFFu; });
    EXPECT_EQ(font::PairKern(f['F'], f['R'], 0.75f), -5);
    EXPECT_EQ(font::PairKern(f['F'], f['R'], 0.4f), -2);
    // Never further than the narrower glyph's width less one.
    testing::setImage(f['.'], 2, 2, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    f['.'].yOffset = 20;  // no row in common with 'L'
    EXPECT_EQ(font::PairKern(f['L'], f['.'], 0.75f), -1);
    EXPECT_EQ(font::PairKern(f['L'], f[' '], 0.75f), 0);  // no image

    testing::setImage(f[' '], 3, 6, [](int32_t, int32_t) { return 0x00FFFFFFu; });
    testing::setImage(f['-'], 3, 6, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    font::ZTI_DetermineKernPairs(&f.font, 0, 0.75f);
    EXPECT_EQ(f['R'].kerning['L'], -5);
    EXPECT_EQ(f['-'].kerning['L'], 0);
    EXPECT_EQ(f['R'].kerning['-'], 0);
    EXPECT_EQ(f['R'].kerning[' '], 0);
    // A sum past the file's signed byte is reported and clamped, not wrapped.
    font::ZTI_DetermineKernPairs(&f.font, -126, 0.75f);
    EXPECT_EQ(f['R'].kerning['L'], -128);
    EXPECT_EQ(capture.countContaining("Sanity check fail"), capture.popups().size());
    EXPECT_GE(capture.popups().size(), 1u);
}

std::unique_ptr<vudozar::Database> database(const std::string& xml) {
    return vudozar::LoadDatabaseFromMemory("test.xml", xml.data(), xml.size());
}

TEST(FontGenerate, BitmapInputIsCutAtClearColumns) {
    testing::ApiCapture capture(false);
    // 30 x 10: '!' in columns 1-2 (rows 2-8), '"' as two strokes in 5 and 7
    // (rows 2-4), 'A' in 10-13 (rows 3-9) and a stray block at 20.
    VozerBitmap image{};
    image.width = image.dataWidth = 30;
    image.height = image.dataHeight = 10;
    std::vector<uint32_t> pixels(300, 0x00000000u);
    auto fill = [&](int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x) pixels[static_cast<size_t>(y * 30 + x)] = 0xFF102030u;
    };
    fill(1, 2, 2, 8), fill(5, 5, 2, 4), fill(7, 7, 2, 4), fill(10, 13, 3, 9), fill(20, 20, 5, 5);
    image.pixels = pixels.data();
    auto rows = database(
        testing::XML_PROLOG + "<vudozar><array id=\"glyphs\">"
        "<node id=\"33\"/><node id=\"34\" span=\"2\"/><node id=\"32\" span=\"0\" spacing=\"3\"/>"
        "<node spacing=\"9\"/><node id=\"300\"/><node id=\"65\" spacing=\"1\"/>"
        "</array></vudozar>");
    TestFont f("bitmap.mft");
    ASSERT_TRUE(font::parseBitmapGlyphs(&f.font, &image, vudozar::FindArray(rows.get(), "glyphs"), 1));
    EXPECT_EQ(f['!'].bitmap.width, 2);
    EXPECT_EQ(f['!'].bitmap.height, 7);
    EXPECT_EQ(f['!'].yOffset, 0);
    EXPECT_EQ(f['!'].advance, 3);
    EXPECT_EQ(f['"'].bitmap.width, 3);
    EXPECT_EQ(f['"'].bitmap.height, 3);
    EXPECT_EQ(f['"'].bitmap.pixels[1] & 0xFFFFFFu, 0x102030u);  // the gap between strokes takes their colour
    EXPECT_EQ(f['"'].bitmap.pixels[1] >> 24, 0u);
    EXPECT_EQ(f[' '].bitmap.pixels, nullptr);
    EXPECT_EQ(f[' '].advance, 4);
    EXPECT_EQ(f['A'].bitmap.width, 4);
    EXPECT_EQ(f['A'].yOffset, 1);
    EXPECT_EQ(f['A'].advance, 6);
    EXPECT_EQ(capture.countContaining("No id defined for glyph #3"), 1u);
    EXPECT_EQ(capture.countContaining("Glyph #4 index 300 is out of bounds"), 1u);
    EXPECT_EQ(capture.countContaining("has 1 unused pixel blocks"), 1u);

    auto tooMany = database(
        testing::XML_PROLOG + "<vudozar><array id=\"glyphs\"><node id=\"33\"/><node id=\"34\" span=\"2\"/><node id=\"65\"/>"
        "<node id=\"66\"/><node id=\"67\"/><node id=\"68\"/></array></vudozar>");
    TestFont g("bitmap2.mft");
    EXPECT_FALSE(font::parseBitmapGlyphs(&g.font, &image, vudozar::FindArray(tooMany.get(), "glyphs"), 0));
    EXPECT_EQ(capture.countContaining("contains 2 glyphs LESS than the XML definition file"), 1u);

    std::fill(pixels.begin(), pixels.end(), 0u);
    EXPECT_FALSE(font::parseBitmapGlyphs(&g.font, &image, vudozar::FindArray(tooMany.get(), "glyphs"), 0));
    EXPECT_EQ(capture.countContaining("No pixels found in font 'bitmap2.mft' input bitmap."), 1u);
}

TEST(FontGenerate, BitmapInputForAScale) {
    testing::ApiCapture capture(false);
    auto db = database(
        testing::XML_PROLOG + "<vudozar><array id=\"settings\"><node id=\"INPUT\" bitmap=\"a.png\"/><node id=\"INPUT@2x\" bitmap=\"b.png\"/>"
        "<node id=\"INPUT@4\" bitmap=\"c.png\"/><node id=\"INPUT@1/2\" bitmap=\"d.png\"/>"
        "<node id=\"INPUTS\" bitmap=\"e.png\"/></array></vudozar>");
    const vudozar::Array* settings = vudozar::FindArray(db.get(), "settings");
    double scale = 0;
    EXPECT_EQ(font::SelectBitmapInput(settings, 1.5, &scale), "INPUT@2x");
    EXPECT_EQ(scale, 2.0);
    EXPECT_EQ(font::SelectBitmapInput(settings, 2.005, &scale), "INPUT@2x");
    EXPECT_EQ(font::SelectBitmapInput(settings, 3.0, &scale), "INPUT@4");
    EXPECT_EQ(font::SelectBitmapInput(settings, 9.0, &scale), "INPUT@4");
    EXPECT_EQ(font::SelectBitmapInput(settings, 0.5, &scale), "INPUT@1/2");
    EXPECT_EQ(font::SelectBitmapInput(settings, 0.8, &scale), "INPUT");
    EXPECT_EQ(capture.countContaining("Selecting bitmap input 'INPUT@2x' for scale 1.50x (closest match)."), 1u);
    EXPECT_EQ(font::parseScaleText("3/4", 1.0), 0.75);
    EXPECT_EQ(font::parseScaleText("2X", 1.0), 2.0);
    EXPECT_EQ(font::parseScaleText("1/0", 7.0), 7.0);
    EXPECT_EQ(font::parseScaleText("two", 7.0), 7.0);
}

}  // namespace
}  // namespace vz
