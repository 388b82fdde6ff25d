#include "font/font_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz::font {

namespace {

constexpr char MAGIC_PREFIX[] = "QOR_Font_v";  // followed by the version digit
constexpr size_t MAGIC_LENGTH = 11;            // "QOR_Font_v6" without its zero byte
constexpr size_t MAX_ENCODING = 31;            // "UTF-8" / "LATIN-1"; longer is damage
constexpr int32_t OLD_GLYPH_COUNT = 256;       // versions 1 to 5: one glyph per byte value
// Fixed bytes of a version 6 glyph entry: code, yOffset, xOffset, advance,
// hasKerning, width, height.
constexpr size_t V6_ENTRY_BYTES = 4 + 2 + 2 + 2 + 1 + 2 + 2;

const char* nameOf(const VozerFont* font) { return font && font->name ? font->name : "unknown"; }

// A reader over the file's bytes that never passes the end: every read says
// whether the bytes were there, and the first miss names what was being read.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t position() const { return position_; }
    size_t remaining() const { return size_ - position_; }
    const char* failure() const { return failure_; }

    bool bytes(void* out, size_t count, const char* what) {
        if (!take(count, what)) return false;
        std::memcpy(out, data_ + position_ - count, count);
        return true;
    }
    const uint8_t* skip(size_t count, const char* what) {
        return take(count, what) ? data_ + position_ - count : nullptr;
    }
    bool u8(uint8_t& out, const char* what) { return bytes(&out, 1, what); }
    bool i16(int16_t& out, const char* what) {
        uint8_t b[2];
        if (!bytes(b, 2, what)) return false;
        out = static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
        return true;
    }
    bool u16(uint16_t& out, const char* what) {
        int16_t v;
        if (!i16(v, what)) return false;
        out = static_cast<uint16_t>(v);
        return true;
    }
    bool i32(int32_t& out, const char* what) {
        uint8_t b[4];
        if (!bytes(b, 4, what)) return false;
        out = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                   (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
        return true;
    }

private:
    bool take(size_t count, const char* what) {
        if (failure_) return false;
        if (count > size_ - position_) {
            failure_ = what;
            return false;
        }
        position_ += count;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    const char* failure_ = nullptr;
};

void appendBytes(std::vector<uint8_t>& out, const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + count);
}
void appendI16(std::vector<uint8_t>& out, int32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void appendI32(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>((u >> shift) & 0xFFu));
}

}  // namespace

void convertGlyphPixels(VozerFont* font, int32_t order) {
    if (!font || font->pixelOrder == order) return;
    for (int32_t i = 0; i < font->glyphCount && font->glyphs; ++i) {
        VozerBitmap& b = font->glyphs[i].bitmap;
        if (!b.pixels) continue;
        const size_t count = static_cast<size_t>(b.dataWidth > 0 ? b.dataWidth : b.width) *
                             static_cast<size_t>(b.dataHeight > 0 ? b.dataHeight : b.height);
        for (size_t p = 0; p < count; ++p) b.pixels[p] = swapRedBlue(b.pixels[p]);
    }
    font->pixelOrder = order;
}

namespace {

void freeGlyph(FontGlyph& glyph) {
    std::free(glyph.kerning);
    std::free(glyph.bitmap.pixels);
    glyph.kerning = nullptr;
    glyph.bitmap.pixels = nullptr;
}

// Reads one glyph image of width x height (both already known to be above
// 0) stored in the file's byte order into the glyph, in the renderer's order.
bool readGlyphPixels(ByteReader& in, FontGlyph& glyph, uint16_t width, uint16_t height, bool fileIsBgra) {
    const size_t count = static_cast<size_t>(width) * height;
    const uint8_t* source = in.skip(count * 4, "the pixels of a glyph");
    if (!source) return false;
    auto* pixels = static_cast<uint32_t*>(std::malloc(count * 4));
    if (!pixels) return false;
    std::memcpy(pixels, source, count * 4);
    const bool memoryIsBgra = rt().pixelByteOrder == 1;
    if (fileIsBgra != memoryIsBgra)
        for (size_t i = 0; i < count; ++i) pixels[i] = swapRedBlue(pixels[i]);
    VozerBitmap& b = glyph.bitmap;
    b.pixels = pixels;
    b.width = b.dataWidth = width;
    b.height = b.dataHeight = height;
    b.flags |= VZ_BITMAP_HAS_ALPHA;
    return true;
}

void setImageSize(FontGlyph& glyph, uint16_t width, uint16_t height) {
    glyph.bitmap.width = glyph.bitmap.dataWidth = width;
    glyph.bitmap.height = glyph.bitmap.dataHeight = height;
}

// Versions 1 to 5: exactly 256 glyph entries without codes, one per byte value.
bool readOldGlyphs(ByteReader& in, VozerFont* font, int version) {
    if (!in.skip(256, "the reserved block")) return false;
    if (!resetGlyphTable(font, OLD_GLYPH_COUNT)) return false;
    const bool fileIsBgra = version <= 4;
    for (int32_t i = 0; i < OLD_GLYPH_COUNT; ++i) {
        FontGlyph& g = font->glyphs[i];
        g.code = i;
        uint16_t width = 0, height = 0;
        int16_t advance = 0;
        if (!in.i16(g.yOffset, "a glyph entry")) return false;
        if (version >= 2 && !in.i16(g.xOffset, "a glyph entry")) return false;
        if (!in.i16(g.advance, "a glyph entry")) return false;
        // Every glyph has a row: stored from version 4 on, zeros before.
        g.kerning = static_cast<int8_t*>(std::calloc(OLD_GLYPH_COUNT, 1));
        if (!g.kerning) return false;
        if (version >= 4) {
            const uint8_t* row = in.skip(OLD_GLYPH_COUNT, "a kerning row");
            if (!row) return false;
            std::memcpy(g.kerning, row, OLD_GLYPH_COUNT);
        }
        if (!in.u16(width, "a glyph entry") || !in.u16(height, "a glyph entry")) return false;
        if (version >= 3) {
            if (!in.i16(advance, "a glyph entry")) return false;
            g.advance = advance;
        } else {
            g.advance = static_cast<int16_t>(width + 1);
        }
        if (width > 0 && height > 0) {
            if (!readGlyphPixels(in, g, width, height, fileIsBgra)) return false;
        } else {
            setImageSize(g, width, height);
        }
    }
    return true;
}

// `singleByte`: a LATIN-1 table, whose glyphs all get a kerning row (zeros
// where the file has none), as generated ones have. A UTF-8 font keeps only
// the rows stored: rows for all of thousands of glyphs would take their
// count squared in bytes, and a missing row kerns as zeros do.
bool readV6Glyphs(ByteReader& in, VozerFont* font, bool singleByte) {
    int32_t count = 0;
    if (!in.i32(count, "the glyph count")) return false;
    // Every entry takes at least its fixed fields, so a count the rest of the
    // file cannot hold is a lie; refusing it keeps a damaged count from
    // allocating gigabytes.
    if (count < 0 || static_cast<uint64_t>(count) * V6_ENTRY_BYTES > in.remaining()) {
        api()->Popup(1, "Font '%s' is damaged: %d glyphs cannot fit in the %u bytes left.\n", nameOf(font), count,
                     static_cast<unsigned>(in.remaining()));
        return false;
    }
    if (!resetGlyphTable(font, count)) return false;
    for (int32_t i = 0; i < count; ++i) {
        FontGlyph& g = font->glyphs[i];
        uint8_t hasKerning = 0;
        uint16_t width = 0, height = 0;
        if (!in.i32(g.code, "a glyph entry") || !in.i16(g.yOffset, "a glyph entry") ||
            !in.i16(g.xOffset, "a glyph entry") || !in.i16(g.advance, "a glyph entry") ||
            !in.u8(hasKerning, "a glyph entry"))
            return false;
        if (hasKerning > 1) {
            api()->Popup(1, "Font '%s' is damaged: glyph #%d has kerning flag %d.\n", nameOf(font), i, hasKerning);
            return false;
        }
        if (hasKerning) {
            const uint8_t* row = in.skip(static_cast<size_t>(count), "a kerning row");
            if (!row) return false;
            g.kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count) + 1));
            if (!g.kerning) return false;
            std::memcpy(g.kerning, row, static_cast<size_t>(count));
        } else if (singleByte && count <= OLD_GLYPH_COUNT) {
            g.kerning = static_cast<int8_t*>(std::calloc(static_cast<size_t>(count) + 1, 1));
            if (!g.kerning) return false;
        }
        if (!in.u16(width, "a glyph entry") || !in.u16(height, "a glyph entry")) return false;
        if (width > 0 && height > 0) {
            if (!readGlyphPixels(in, g, width, height, false)) return false;
        } else {
            setImageSize(g, width, height);
        }
    }
    return true;
}

}  // namespace

bool resetGlyphTable(VozerFont* font, int32_t count) {
    if (!font || count < 0) return false;
    if (font->glyphs && font->glyphCount == count) {
        for (int32_t i = 0; i < count; ++i) freeGlyph(font->glyphs[i]);
        std::memset(static_cast<void*>(font->glyphs), 0, sizeof(FontGlyph) * static_cast<size_t>(count));
        return true;
    }
    freeGlyphTable(font);
    auto* glyphs = static_cast<FontGlyph*>(std::calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(FontGlyph)));
    if (!glyphs) return false;
    font->glyphs = glyphs;
    font->glyphCount = count;
    return true;
}

void freeGlyphTable(VozerFont* font) {
    if (!font) return;
    for (int32_t i = 0; i < font->glyphCount && font->glyphs; ++i) freeGlyph(font->glyphs[i]);
    std::free(font->glyphs);
    font->glyphs = nullptr;
    font->glyphCount = 0;
}

bool decodeFontFile(VozerFont* font, const uint8_t* data, size_t size) {
    if (!font || (!data && size)) return false;
    ByteReader in(data, size);
    char magic[MAGIC_LENGTH + 1] = {};
    const size_t got = size < MAGIC_LENGTH ? size : MAGIC_LENGTH;
    if (got) std::memcpy(magic, data, got);
    int version = 0;
    if (got == MAGIC_LENGTH && std::memcmp(magic, MAGIC_PREFIX, MAGIC_LENGTH - 1) == 0 && magic[10] >= '1' &&
        magic[10] <= '6')
        version = magic[10] - '0';
    if (!version) {
        // Only printable bytes go into the message; the rest show as '?'.
        for (size_t i = 0; i < got; ++i)
            if (static_cast<unsigned char>(magic[i]) < 32 || static_cast<unsigned char>(magic[i]) > 126)
                magic[i] = '?';
        api()->Popup(1, "Font '%s' has unknown or bad header ('%s')\n", nameOf(font), magic);
        return false;
    }
    in.skip(MAGIC_LENGTH + 1, "the header");

    char encoding[MAX_ENCODING + 1] = {};
    size_t length = 0;
    for (;;) {
        uint8_t c = 0;
        if (!in.u8(c, "the encoding name")) break;
        if (!c) break;
        if (length == MAX_ENCODING) {
            api()->Popup(1, "Font '%s' is damaged: its encoding name is longer than %d bytes.\n", nameOf(font),
                         static_cast<int>(MAX_ENCODING));
            resetGlyphTable(font, DEFAULT_GLYPH_COUNT);
            return false;
        }
        encoding[length++] = static_cast<char>(c);
    }
    bool ok = !in.failure();
    int32_t baseline = 0, height = 0, lineHeight = 0;
    ok = ok && in.i32(baseline, "the metrics") && in.i32(height, "the metrics") && in.i32(lineHeight, "the metrics");
    const bool utf8 = std::strcmp(encoding, "UTF-8") == 0;
    ok = ok && (version == 6 ? readV6Glyphs(in, font, !utf8) : readOldGlyphs(in, font, version));
    if (!ok) {
        if (in.failure())
            api()->Popup(1, "Font '%s' is damaged: the file ends inside %s (byte %u of %u).\n", nameOf(font),
                         in.failure(), static_cast<unsigned>(in.position()), static_cast<unsigned>(size));
        resetGlyphTable(font, DEFAULT_GLYPH_COUNT);
        return false;
    }
    font->utf8 = utf8 ? 1 : 0;
    font->pixelOrder = rt().pixelByteOrder;
    font->baseline = baseline;
    font->height = height;
    font->lineHeight = lineHeight;
    font->codesAscending = true;
    for (int32_t i = 1; i < font->glyphCount && font->codesAscending; ++i)
        font->codesAscending = font->glyphs[i].code > font->glyphs[i - 1].code;
    return true;
}

std::vector<uint8_t> encodeFontFile(const VozerFont* font) {
    std::vector<uint8_t> out;
    if (!font) return out;
    appendBytes(out, "QOR_Font_v6", MAGIC_LENGTH + 1);
    const char* encoding = font->utf8 ? "UTF-8" : "LATIN-1";
    appendBytes(out, encoding, std::strlen(encoding) + 1);
    appendI32(out, font->baseline);
    appendI32(out, font->height);
    appendI32(out, font->lineHeight);
    const int32_t count = font->glyphs ? font->glyphCount : 0;
    appendI32(out, count);
    const bool memoryIsBgra = font->pixelOrder == 1;
    for (int32_t i = 0; i < count; ++i) {
        const FontGlyph& g = font->glyphs[i];
        appendI32(out, g.code);
        appendI16(out, g.yOffset);
        appendI16(out, g.xOffset);
        appendI16(out, g.advance);
        out.push_back(g.kerning ? 1 : 0);
        if (g.kerning) appendBytes(out, g.kerning, static_cast<size_t>(count));
        const VozerBitmap& b = g.bitmap;
        const bool image = hasImage(g);
        appendI16(out, image ? b.width & 0xFFFF : 0);
        appendI16(out, image ? b.height & 0xFFFF : 0);
        if (!image) continue;
        // Rows of dataWidth pixels; the width written is the image's own.
        const int32_t stride = b.dataWidth > 0 ? b.dataWidth : b.width;
        for (int32_t y = 0; y < b.height; ++y) {
            const uint32_t* row = b.pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
            for (int32_t x = 0; x < b.width; ++x) {
                const uint32_t p = memoryIsBgra ? swapRedBlue(row[x]) : row[x];
                appendBytes(out, &p, 4);  // little-endian word: R, G, B, A
            }
        }
    }
    return out;
}

ReadResult readWholeFile(const char* name, FileBytes& bytes) {
    VozerEngineApi* a = api();
    bytes.clear();
    VozerFile* file = name ? a->OpenFile(name, "rb") : nullptr;
    if (!file) return ReadResult::NotFound;
    ReadResult result = ReadResult::Ok;
    // One read into a buffer of the file's size where the size is known;
    // chunks otherwise.
    int32_t size = 0;
    if (a->SeekFile(file, 0, 2)) {
        size = a->TellFile(file);
        if (!a->SeekFile(file, 0, 0)) size = 0;
    }
    if (size > MAX_FILE_BYTES) result = ReadResult::TooLarge;
    if (size > 0 && result == ReadResult::Ok) {
        bytes.resize(static_cast<size_t>(size));
        int32_t got = 0;
        while (got < size) {
            const int32_t n = a->ReadFile(bytes.data() + got, size - got, file);
            if (n <= 0) break;
            got += n;
        }
        bytes.resize(static_cast<size_t>(got));
    }
    uint8_t chunk[65536];
    for (; result == ReadResult::Ok;) {
        const int32_t n = a->ReadFile(chunk, static_cast<int32_t>(sizeof chunk), file);
        if (n <= 0) break;
        if (static_cast<int64_t>(bytes.size()) + n > MAX_FILE_BYTES) {
            result = ReadResult::TooLarge;
            bytes.clear();
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    a->CloseFile(file);
    return result;
}

bool LoadFontFile(VozerFont* font) {
    if (!font || !font->name) return false;
    FileBytes bytes;
    switch (readWholeFile(font->name, bytes)) {
    case ReadResult::NotFound:
        api()->Print("(not found)");
        return false;
    case ReadResult::TooLarge:
        api()->Popup(1, "Font '%s' is damaged: the file is larger than %d MB.\n", nameOf(font),
                     static_cast<int>(MAX_FILE_BYTES >> 20));
        return false;
    case ReadResult::Ok:
        break;
    }
    return decodeFontFile(font, bytes.data(), bytes.size());
}

bool SaveFontFile(VozerFont* font, const char* path) {
    VozerEngineApi* a = api();
    if (!font || !path) return false;
    a->Print("..saving font '%s'..", path);
    VozerFile* file = a->OpenFile(path, "wb");
    if (!file) {
        a->Popup(1, "Failed to save font '%s'\n", path);
        return false;
    }
    a->Print("\n");
    const std::vector<uint8_t> bytes = encodeFontFile(font);
    size_t written = 0;
    while (written < bytes.size()) {
        const size_t left = bytes.size() - written;
        const int32_t chunk = left > (1u << 30) ? (1 << 30) : static_cast<int32_t>(left);
        const int32_t n = a->WriteFile(bytes.data() + written, chunk, file);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    a->CloseFile(file);
    if (written != bytes.size()) {
        // A short write leaves a truncated file behind; say so instead of
        // reporting success.
        a->Popup(1, "Failed to save font '%s'\n", path);
        return false;
    }
    return true;
}

}  // namespace vz::font
