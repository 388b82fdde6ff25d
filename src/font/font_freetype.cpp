// Glyph images rasterised from outline fonts through FreeType, and the set of
// characters an outline font is generated for.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "api/engine_api.h"
#include "data/vudozar.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_kerning.h"
#include "font/text_decode.h"
#include "fs/paths.h"
#include "state/features.h"

namespace vz::font {

namespace {

// Characters every outline font gets besides those its texts use: printable
// ASCII, so that numbers, names and messages always draw.
constexpr int32_t ALWAYS_FIRST = 32;
constexpr int32_t ALWAYS_LAST = 126;
constexpr int32_t CODE_LIMIT = 65536;
// Pixel sizes outside this range are refused as absurd: nothing smaller
// draws, nothing larger fits an atlas page.
constexpr int32_t MIN_PIXEL_SIZE = 1;
constexpr int32_t MAX_PIXEL_SIZE = 512;

// A glyph image wider or taller than 8 times the pixel size (64 pixels for
// small sizes, never over an atlas page's side) is left out: a lying outline
// font can ask for images of millions of pixels at any size, and nothing that
// large is a character of text.
constexpr int32_t GLYPH_SIDE_PER_PIXEL_SIZE = 8;
constexpr int32_t MIN_GLYPH_SIDE_LIMIT = 64;
constexpr int32_t MAX_GLYPH_SIDE = 2048;

int32_t glyphSideLimit(int32_t sizePx) {
    return std::min(MAX_GLYPH_SIDE, std::max(GLYPH_SIDE_PER_PIXEL_SIZE * sizePx, MIN_GLYPH_SIDE_LIMIT));
}

// The pixel box an outline renders into (its control box rounded outwards),
// clamped to int.
void outlinePixelBox(const FT_Outline& outline, int32_t& width, int32_t& height) {
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    const auto floorPixel = [](FT_Pos v) { return static_cast<int64_t>(std::floor(static_cast<double>(v) / 64.0)); };
    const auto ceilPixel = [](FT_Pos v) { return static_cast<int64_t>(std::ceil(static_cast<double>(v) / 64.0)); };
    const auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT_MAX)); };
    width = clamp(ceilPixel(box.xMax) - floorPixel(box.xMin));
    height = clamp(ceilPixel(box.yMax) - floorPixel(box.yMin));
}

constexpr int32_t IDEOGRAPHIC_FULL_STOP = 0x3002;
constexpr int32_t FULLWIDTH_COMMA = 0xFF0C;

// Code points below CODE_LIMIT, one bit each.
class CodeSet {
public:
    void add(int32_t code) { bits_[static_cast<size_t>(code) >> 6] |= uint64_t{1} << (code & 63); }
    void remove(int32_t code) { bits_[static_cast<size_t>(code) >> 6] &= ~(uint64_t{1} << (code & 63)); }
    void ascending(std::vector<int32_t>& out) const {
        out.clear();
        for (size_t w = 0; w < bits_.size(); ++w)
            for (uint64_t word = bits_[w]; word; word &= word - 1)
                out.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(word))));
    }

private:
    std::vector<uint64_t> bits_ = std::vector<uint64_t>(CODE_LIMIT / 64);
};

struct FreeTypeSession {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeSession() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

// The coverage of row y of a rendered glyph, one byte a pixel (0..255),
// whatever depth FreeType delivered it in: outlines render to bytes, which
// are used in place; embedded bitmaps of 1, 2 or 4 bits a pixel are unpacked
// into `scratch` (width bytes). Null for colour and LCD bitmaps, which are
// no coverage.
const uint8_t* coverageRow(const FT_Bitmap& source, int32_t y, uint8_t* scratch) {
    const auto width = static_cast<int32_t>(source.width);
    const unsigned char* row = source.buffer + static_cast<ptrdiff_t>(y) * source.pitch;
    switch (source.pixel_mode) {
    case FT_PIXEL_MODE_GRAY:
        return row;
    case FT_PIXEL_MODE_MONO:
        for (int32_t x = 0; x < width; ++x) scratch[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        return scratch;
    case FT_PIXEL_MODE_GRAY2:
        for (int32_t x = 0; x < width; ++x)
            scratch[x] = static_cast<uint8_t>(((row[x >> 2] >> (6 - 2 * (x & 3))) & 3) * 85);
        return scratch;
    case FT_PIXEL_MODE_GRAY4:
        for (int32_t x = 0; x < width; ++x)
            scratch[x] = static_cast<uint8_t>(((row[x >> 1] >> (4 - 4 * (x & 1))) & 15) * 17);
        return scratch;
    default:
        return nullptr;
    }
}

// Appends the coverage of a rendered glyph to `coverage`, one byte a pixel
// and rows without padding. `scratch` holds one unpacked row. Sets
// *unusable (and appends nothing) for pixel modes that are no coverage.
void gatherCoverage(const FT_Bitmap& source, std::vector<uint8_t>& coverage, std::vector<uint8_t>& scratch,
                    bool* unusable) {
    *unusable = false;
    const auto width = static_cast<size_t>(source.width);
    const auto height = static_cast<size_t>(source.rows);
    // Rendered outlines have rows without padding: one copy.
    if (source.pixel_mode == FT_PIXEL_MODE_GRAY && source.pitch == static_cast<int>(width)) {
        coverage.insert(coverage.end(), source.buffer, source.buffer + width * height);
        return;
    }
    const size_t before = coverage.size();
    scratch.resize(width);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* row = coverageRow(source, static_cast<int32_t>(y), scratch.data());
        if (!row) {
            coverage.resize(before);
            *unusable = true;
            return;
        }
        coverage.insert(coverage.end(), row, row + width);
    }
}

// `count` coverage bytes made into white pixels whose alpha is the coverage
// (white is the same word in both pixel byte orders), coverage of
// FAINT_ALPHA or less made fully clear. Sets bit i of `ink` (see
// appendInkRows) where byte i is at least `inkFrom` (0..256).
void coverageToPixels(const uint8_t* from, size_t count, uint32_t* to, int32_t inkFrom, uint8_t* ink) {
    const auto pixel = [](uint32_t alpha) { return ((alpha > FAINT_ALPHA ? alpha : 0u) << 24) | 0x00FFFFFFu; };
    size_t x = 0;
#if defined(__SSE2__)
    // Sixteen at a time: the bytes are cleared and compared as bytes, then
    // moved into the top byte of each word.
    const __m128i zero = _mm_setzero_si128();
    const __m128i white = _mm_set1_epi32(0x00FFFFFF);
    const __m128i visible = _mm_set1_epi8(static_cast<char>(FAINT_ALPHA + 1));
    const __m128i inkLimit = _mm_set1_epi8(static_cast<char>(std::min(inkFrom, 255)));
    const int inkMask = inkFrom > 255 ? 0 : 0xFFFF;
    for (; x + 16 <= count; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        const __m128i alpha = _mm_and_si128(bytes, _mm_cmpeq_epi8(_mm_max_epu8(bytes, visible), bytes));
        const __m128i low = _mm_unpacklo_epi8(zero, alpha), high = _mm_unpackhi_epi8(zero, alpha);
        auto* out = reinterpret_cast<__m128i*>(to + x);
        _mm_storeu_si128(out, _mm_or_si128(_mm_unpacklo_epi16(zero, low), white));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_unpackhi_epi16(zero, low), white));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_unpacklo_epi16(zero, high), white));
        _mm_storeu_si128(out + 3, _mm_or_si128(_mm_unpackhi_epi16(zero, high), white));
        const auto bits = static_cast<uint16_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, inkLimit), bytes)) & inkMask);
        std::memcpy(ink + x / 8, &bits, sizeof bits);
    }
#endif
    for (; x < count; x += 8) {
        uint8_t bits = 0;
        for (size_t k = x; k < std::min(count, x + 8); ++k) {
            to[k] = pixel(from[k]);
            bits |= static_cast<uint8_t>((static_cast<int32_t>(from[k]) >= inkFrom) << (k - x));
        }
        ink[x / 8] = bits;
    }
}

// Rendered glyphs whose coverage waits in one buffer to become images.
// Making each image right after FreeType renders it (an allocation and four
// times the bytes between two FreeType calls) slowed FreeType itself down by
// about as much as the conversion cost: the images are made a batch at a
// time instead.
struct PendingImages {
    struct Glyph {
        int32_t index, width, height;
        size_t offset;
    };
    std::vector<uint8_t> coverage;
    std::vector<Glyph> glyphs;
    std::vector<uint8_t> inkBits;  // one glyph's, for appendInkRows

    // Each glyph's image (see coverageToPixels), made fully clear where
    // faint as every generated image gets it: the images come out finished,
    // and one colour needs no fill. Measures the ink of each into `ink`
    // where given. False when memory runs out.
    bool make(VozerFont* font, GlyphInk* ink) {
        if (ink) {
            size_t rows = ink->rows.size();
            for (const Glyph& p : glyphs) rows += static_cast<size_t>(p.height);
            ink->rows.reserve(rows);
        }
        const int32_t inkFrom = ink ? inkCoverage(*ink, FAINT_ALPHA) : 256;
        for (const Glyph& p : glyphs) {
            const size_t count = static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
            auto* pixels = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * count));
            if (!pixels) return false;
            const uint8_t* from = coverage.data() + p.offset;
            inkBits.resize(count / 8 + 16);
            coverageToPixels(from, count, pixels, inkFrom, inkBits.data());
            VozerBitmap& image = font->glyphs[p.index].bitmap;
            image.pixels = pixels;
            image.width = image.dataWidth = p.width;
            image.height = image.dataHeight = p.height;
            image.flags |= VZ_BITMAP_HAS_ALPHA;
            if (ink) appendInkRows(inkBits.data(), p.width, p.height, *ink);
        }
        coverage.clear();
        glyphs.clear();
        return true;
    }
};
// Coverage bytes gathered before a batch of images is made.
constexpr size_t IMAGE_BATCH_BYTES = 256 << 10;

void addText(const char* text, CodeSet& codes, const char* stringsPath) {
    std::vector<int32_t> decoded;
    if (!decodeUtf8Strict(text, decoded)) {
        api()->Log(2, "error converting %s\n", text);
        return;
    }
    for (int32_t code : decoded) {
        if (code >= CODE_LIMIT) {
            api()->Popup(1, "UTF32 %d out of range in ZTI_CreateFontGlyphsArrayFromStrings in translation '%s'\n",
                         code, stringsPath ? stringsPath : "");
            continue;
        }
        codes.add(code);
    }
}

}  // namespace

bool collectGlyphCodes(const vudozar::Array* additional, const char* stringsPath, std::vector<int32_t>& out) {
    CodeSet codes;
    for (int32_t c = ALWAYS_FIRST; c <= ALWAYS_LAST; ++c) codes.add(c);
    if (stringsPath && *stringsPath) {
        VozerFile* probe = api()->OpenFile(stringsPath, "rb");
        if (!probe) {
            // A relative name was looked for along the search paths; a named
            // place simply has no such file.
            if (fs::HasTargetPrefix(stringsPath))
                api()->Popup(1, "Unable to find font language strings xml source file %s\n", stringsPath);
            else
                api()->Popup(1, "Unable to locate file '%s' in file system.", stringsPath);
            return false;
        }
        api()->CloseFile(probe);
        const vudozar::Array* strings = vudozar::FindArray(vudozar::GetDatabase(stringsPath), "STRINGS");
        for (int i = 0; i < vudozar::GetNodeCount(strings); ++i) {
            const vudozar::Node* row = vudozar::GetNodeAt(strings, i);
            const char* from = vudozar::GetValue(row, "from");
            if (!from) from = row->id;
            if (from) addText(from, codes, stringsPath);
            if (const char* to = vudozar::GetValue(row, "to")) addText(to, codes, stringsPath);
        }
    }
    for (int i = 0; i < vudozar::GetNodeCount(additional); ++i) {
        const vudozar::Node* row = vudozar::GetNodeAt(additional, i);
        if (row->id) addText(row->id, codes, stringsPath);
    }
    codes.remove(0);
    codes.ascending(out);
    return true;
}

bool createGlyphBitmapsFromTTFBytes(VozerFont* font, const uint8_t* ttf, size_t size, const char* ttfName,
                                    int32_t sizePx, const char* style, GlyphInk* ink) {
    VozerEngineApi* a = api();
    if (!font || !ttf) return false;
    if (sizePx < MIN_PIXEL_SIZE || sizePx > MAX_PIXEL_SIZE) {
        a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF: pixel size %d for '%s' is invalid. Use %d to %d.\n", sizePx,
                 ttfName, MIN_PIXEL_SIZE, MAX_PIXEL_SIZE);
        return false;
    }
    FreeTypeSession ft;
    FT_Error error = FT_Init_FreeType(&ft.library);
    if (error) {
        a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_Init_FreeType error %d\n", error);
        return false;
    }
    error = FT_New_Memory_Face(ft.library, ttf, static_cast<FT_Long>(size), 0, &ft.face);
    if (error) {
        a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_New_Face error %d. Does the font file and path '%s' exist?\n",
                 error, ttfName);
        return false;
    }
    error = FT_Select_Charmap(ft.face, FT_ENCODING_UNICODE);
    if (error) {
        a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_Select_Charmap error %d\n", error);
        return false;
    }
    error = FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(sizePx));
    if (error) a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_Set_Pixel_Sizes error %d\n", error);
    FT_Set_Transform(ft.face, nullptr, nullptr);

    // The style flags alone change no pixel; a face that is not already bold
    // or italic gets its outlines emboldened or slanted, which is what asking
    // for the style means.
    const std::string styleText = style ? style : "";
    const bool bold = listHasToken(styleText, "BOLD");
    const bool italic = listHasToken(styleText, "ITALIC");
    const bool synthBold = bold && !(ft.face->style_flags & FT_STYLE_FLAG_BOLD);
    const bool synthItalic = italic && !(ft.face->style_flags & FT_STYLE_FLAG_ITALIC);
    if (bold) ft.face->style_flags |= FT_STYLE_FLAG_BOLD;
    if (italic) ft.face->style_flags |= FT_STYLE_FLAG_ITALIC;

    const int16_t extraSpace = static_cast<int16_t>(static_cast<double>(sizePx) * 0.4);
    const int32_t sideLimit = glyphSideLimit(sizePx);
    PendingImages pending;
    pending.coverage.reserve(IMAGE_BATCH_BYTES + static_cast<size_t>(sizePx) * static_cast<size_t>(sizePx) * 4);
    pending.glyphs.reserve(static_cast<size_t>(font->glyphCount));
    std::vector<uint8_t> scratch;
    if (ink) ink->rows.clear();
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        FontGlyph& g = font->glyphs[i];
        const bool synthesise = synthBold || synthItalic;
        // Loaded, then measured, then rendered: an outline too large is
        // refused before FreeType spends time and memory on its image.
        error = FT_Load_Char(ft.face, static_cast<FT_ULong>(g.code), synthesise ? FT_LOAD_NO_BITMAP : FT_LOAD_DEFAULT);
        const FT_GlyphSlot slot = ft.face->glyph;
        if (!error && synthesise && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (synthItalic) FT_GlyphSlot_Oblique(slot);
            if (synthBold) FT_GlyphSlot_Embolden(slot);
        }
        int32_t width = 0;
        int32_t height = 0;
        if (!error && slot->format == FT_GLYPH_FORMAT_OUTLINE) outlinePixelBox(slot->outline, width, height);
        if (!error && width <= sideLimit && height <= sideLimit && slot->format != FT_GLYPH_FORMAT_BITMAP)
            error = FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL);
        if (error) {
            a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_Load_Char unicode %d error %d\n", g.code, error);
            continue;
        }
        if (slot->format == FT_GLYPH_FORMAT_BITMAP) {  // rendered, or an embedded bitmap
            width = static_cast<int32_t>(std::min<unsigned>(slot->bitmap.width, INT_MAX));
            height = static_cast<int32_t>(std::min<unsigned>(slot->bitmap.rows, INT_MAX));
        }
        if (width > sideLimit || height > sideLimit) {
            a->Popup(1,
                     "ZTI_CreateFontGlyphBitmapsFromTTF: the glyph of unicode %d in '%s' is %dx%d pixels at %d px "
                     "(at most %d a side); leaving it out.\n",
                     g.code, ttfName, width, height, sizePx, sideLimit);
            continue;
        }
        const bool hasImage = width > 0 && height > 0;
        bool unusable = false;
        if (hasImage) {
            const size_t offset = pending.coverage.size();
            gatherCoverage(slot->bitmap, pending.coverage, scratch, &unusable);
            if (!unusable) pending.glyphs.push_back(PendingImages::Glyph{i, width, height, offset});
        }
        if (unusable) {
            a->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_Load_Char unicode %d error %d\n", g.code,
                     FT_Err_Unimplemented_Feature);
            continue;
        }
        g.xOffset = 0;
        g.yOffset = static_cast<int16_t>(sizePx - slot->bitmap_top);
        g.advance = static_cast<int16_t>(hasImage ? width : 0);
        if (g.code == 32) g.advance = extraSpace;
        if (g.code == IDEOGRAPHIC_FULL_STOP || g.code == FULLWIDTH_COMMA) g.advance += extraSpace;
        if (pending.coverage.size() >= IMAGE_BATCH_BYTES && !pending.make(font, ink)) return false;
    }
    if (!pending.make(font, ink)) return false;
    if (ink) {
        ink->start.assign(static_cast<size_t>(font->glyphCount) + 1, 0);
        for (int32_t i = 0; i < font->glyphCount; ++i)
            ink->start[static_cast<size_t>(i) + 1] =
                ink->start[static_cast<size_t>(i)] + (font->glyphs[i].bitmap.pixels ? font->glyphs[i].bitmap.height : 0);
    }
    return true;
}

bool ZTI_CreateFontGlyphBitmapsFromTTF(VozerFont* font, const char* ttfPath, int32_t sizePx, const char* style,
                                       GlyphInk* ink) {
    FileBytes bytes;
    const ReadResult read = readWholeFile(ttfPath, bytes);
    if (read != ReadResult::Ok || bytes.empty()) {
        api()->Popup(1, "ZTI_CreateFontGlyphBitmapsFromTTF::FT_New_Face error %d. Does the font file and path '%s' exist?\n",
                     read == ReadResult::TooLarge ? -1 : 1, ttfPath ? ttfPath : "");
        return false;
    }
    return createGlyphBitmapsFromTTFBytes(font, bytes.data(), bytes.size(), ttfPath, sizePx, style, ink);
}

}  // namespace vz::font
