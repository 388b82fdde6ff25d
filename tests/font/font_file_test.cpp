// The .mft format: version 6 written byte for byte and read back in both
// pixel byte orders, versions 1 to 5 read as their layouts say, and damaged
// files refused with a message and nothing read past their end.
#include <gtest/gtest.h>

#include <algorithm>

#include "font_fixture.h"

namespace vz {
namespace {

using testing::TestFont;

// Little-endian writer for hand-made files of the older versions.
struct Bytes {
    std::string data;
    Bytes& raw(const std::string& s) {
        data += s;
        return *this;
    }
    Bytes& zero(size_t n) {
        data.append(n, '\0');
        return *this;
    }
    Bytes& i16(int32_t v) {
        data += static_cast<char>(v & 0xFF);
        data += static_cast<char>((v >> 8) & 0xFF);
        return *this;
    }
    Bytes& i32(int32_t v) { return i16(v & 0xFFFF).i16((v >> 16) & 0xFFFF); }
    Bytes& pixel(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        data += static_cast<char>(a);
        data += static_cast<char>(b);
        data += static_cast<char>(c);
        data += static_cast<char>(d);
        return *this;
    }
};

// A version 1..5 file: 256 entries; character 'A' has a 2 x 1 image whose
// pixels are stored as the bytes 10,20,30,40 and 50,60,70,80.
std::string oldFile(int version) {
    Bytes b;
    b.raw("QOR_Font_v" + std::to_string(version)).zero(1).raw("LATIN-1").zero(1).i32(12).i32(14).i32(16).zero(256);
    for (int i = 0; i < 256; ++i) {
        const bool a = i == 'A';
        b.i16(a ? 3 : 0);                                  // yOffset
        if (version >= 2) b.i16(a ? -1 : 0);               // xOffset
        b.i16(a ? 9 : 0);                                  // advance (replaced from version 3 on)
        if (version >= 4) {
            std::string row(256, '\0');
            if (a) row['V'] = static_cast<char>(-2);
            b.raw(row);
        }
        b.i16(a ? 2 : 0).i16(a ? 1 : 0);                   // width, height
        if (version >= 3) b.i16(a ? 7 : 0);                // the advance that counts
        if (a) b.pixel(10, 20, 30, 40).pixel(50, 60, 70, 80);
    }
    return b.data;
}

bool decode(VozerFont& font, const std::string& bytes) {
    return font::decodeFontFile(&font, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(FontFile, Version6RoundTripInBothByteOrders) {
    testing::ApiCapture capture(false);
    for (int32_t order : {0, 1}) {
        rt().pixelByteOrder = order;
        TestFont source("three.mft", true, 3);
        source.font.baseline = 10;
        source.font.height = 12;
        source.font.lineHeight = 15;
        const int32_t codes[3] = {65, 0x4E2D, 0x1F600};
        for (int i = 0; i < 3; ++i) {
            source[i].code = codes[i];
            source[i].xOffset = static_cast<int16_t>(i - 1);
            source[i].yOffset = static_cast<int16_t>(2 * i);
            source[i].advance = static_cast<int16_t>(5 + i);
        }
        // Glyph 1 has a 2 x 2 image and a kerning row; glyph 2 has a 3 x 1 image.
        testing::setImage(source[1], 2, 2, [](int32_t x, int32_t y) { return 0x80112233u + static_cast<uint32_t>(x + 2 * y); });
        testing::setImage(source[2], 3, 1, [](int32_t x, int32_t) { return 0xFF0000FFu + static_cast<uint32_t>(x << 8); });
        source[1].kerning = static_cast<int8_t*>(std::malloc(3));
        source[1].kerning[0] = -3, source[1].kerning[1] = 0, source[1].kerning[2] = 127;

        const std::vector<uint8_t> bytes = font::encodeFontFile(&source.font);
        // Fixed fields, one kerning row of 3 bytes, 4 + 3 pixels.
        ASSERT_EQ(bytes.size(), 12u + 6 + 16 + 3 * 15 + 3 + (4 + 3) * 4);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 12), std::string("QOR_Font_v6\0", 12));
        // The file stores R, G, B, A whatever the memory order: glyph 2's
        // first pixel is red (0xFF0000FF is red in R,G,B,A memory, blue in B,G,R,A).
        const size_t lastPixel = bytes.size() - 12;
        if (order == 0)
            EXPECT_EQ(bytes[lastPixel], 0xFF);
        else
            EXPECT_EQ(bytes[lastPixel + 2], 0xFF);

        TestFont loaded("three.mft");
        ASSERT_TRUE(font::decodeFontFile(&loaded.font, bytes.data(), bytes.size()));
        EXPECT_EQ(loaded.font.utf8, 1);
        EXPECT_EQ(loaded.font.glyphCount, 3);
        EXPECT_EQ(loaded.font.lineHeight, 15);
        EXPECT_TRUE(loaded.font.codesAscending);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(loaded[i].code, codes[i]);
            EXPECT_EQ(loaded[i].xOffset, i - 1);
            EXPECT_EQ(loaded[i].yOffset, 2 * i);
            EXPECT_EQ(loaded[i].advance, 5 + i);
            EXPECT_EQ(loaded[i].bitmap.width, source[i].bitmap.width);
        }
        EXPECT_EQ(loaded[0].bitmap.pixels, nullptr);
        EXPECT_EQ(loaded[0].kerning, nullptr);
        ASSERT_NE(loaded[1].kerning, nullptr);
        EXPECT_EQ(loaded[1].kerning[0], -3);
        EXPECT_EQ(loaded[1].kerning[2], 127);
        EXPECT_EQ(std::memcmp(loaded[1].bitmap.pixels, source[1].bitmap.pixels, 16), 0);
        EXPECT_EQ(std::memcmp(loaded[2].bitmap.pixels, source[2].bitmap.pixels, 12), 0);
        EXPECT_TRUE(loaded[1].bitmap.flags & VZ_BITMAP_HAS_ALPHA);
        // Saved again, the bytes are the same.
        EXPECT_EQ(font::encodeFontFile(&loaded.font), bytes);
    }
    rt().pixelByteOrder = 1;
}

TEST(FontFile, A256GlyphFileReusesTheRecordsTable) {
    testing::ApiCapture capture(false);
    TestFont source("latin.mft", false, 256);
    source.font.glyphs['x'].advance = 4;
    const std::vector<uint8_t> bytes = font::encodeFontFile(&source.font);
    TestFont loaded("latin.mft");
    const font::FontGlyph* table = loaded.font.glyphs;
    ASSERT_TRUE(font::decodeFontFile(&loaded.font, bytes.data(), bytes.size()));
    EXPECT_EQ(loaded.font.glyphs, table);
    EXPECT_EQ(loaded.font.utf8, 0);
    EXPECT_EQ(loaded['x'].advance, 4);
    // A single-byte table gets a row for every glyph, zeros where the file
    // has none; a UTF-8 font only the rows stored (see above).
    for (int32_t i = 0; i < 256; ++i) {
        ASSERT_NE(loaded[i].kerning, nullptr) << i;
        ASSERT_EQ(std::count(loaded[i].kerning, loaded[i].kerning + 256, 0), 256) << i;
    }
}

TEST(FontFile, OlderVersions) {
    testing::ApiCapture capture(false);
    for (int version = 1; version <= 5; ++version) {
        for (int32_t order : {0, 1}) {
            SCOPED_TRACE("version " + std::to_string(version) + " order " + std::to_string(order));
            rt().pixelByteOrder = order;
            TestFont f("old.mft");
            ASSERT_TRUE(decode(f.font, oldFile(version)));
            EXPECT_EQ(f.font.glyphCount, 256);
            EXPECT_EQ(f.font.baseline, 12);
            EXPECT_EQ(f.font.lineHeight, 16);
            const font::FontGlyph& a = f['A'];
            EXPECT_EQ(a.yOffset, 3);
            EXPECT_EQ(a.xOffset, version >= 2 ? -1 : 0);
            EXPECT_EQ(a.advance, version >= 3 ? 7 : 3);  // versions 1 and 2: width + 1
            EXPECT_EQ(f['B'].advance, version >= 3 ? 0 : 1);
            // Every glyph has a row; before version 4 it is all zeros.
            ASSERT_NE(a.kerning, nullptr);
            EXPECT_EQ(a.kerning['V'], version >= 4 ? -2 : 0);
            ASSERT_NE(f['B'].kerning, nullptr);
            EXPECT_EQ(std::count(f['B'].kerning, f['B'].kerning + 256, 0), 256);
            ASSERT_EQ(a.bitmap.width, 2);
            // Versions 1-4 store B,G,R,A: kept as is for order 1, red and
            // blue swapped for order 0. Version 5 stores R,G,B,A.
            const bool fileBgra = version <= 4;
            const uint8_t* p = reinterpret_cast<const uint8_t*>(a.bitmap.pixels);
            const bool swapped = fileBgra != (order == 1);
            EXPECT_EQ(p[0], swapped ? 30 : 10);
            EXPECT_EQ(p[1], 20);
            EXPECT_EQ(p[2], swapped ? 10 : 30);
            EXPECT_EQ(p[3], 40);
            EXPECT_EQ(f['B'].bitmap.pixels, nullptr);
        }
    }
    rt().pixelByteOrder = 1;
}

TEST(FontFile, DamagedFilesAreRefusedWithoutReadingPastTheEnd) {
    testing::ApiCapture capture(false);
    TestFont source("damaged.mft", true, 4);
    for (int i = 0; i < 4; ++i) testing::setImage(source[i], 3, 2, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    source[2].kerning = static_cast<int8_t*>(std::calloc(4, 1));
    const std::vector<uint8_t> whole = font::encodeFontFile(&source.font);

    // Every cut of a valid file fails cleanly (the sanitizers watch the reads).
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        TestFont f("damaged.mft");
        EXPECT_FALSE(font::decodeFontFile(&f.font, part.data(), part.size())) << cut;
        EXPECT_EQ(f.font.glyphCount, font::DEFAULT_GLYPH_COUNT);
        EXPECT_EQ(f[0].bitmap.pixels, nullptr);
    }
    EXPECT_GE(capture.countContaining("the file ends inside"), 1u);
    for (int version = 1; version <= 5; ++version) {
        const std::string old = oldFile(version);
        TestFont f("damaged.mft");
        EXPECT_FALSE(decode(f.font, old.substr(0, old.size() - 3)));
    }

    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> copy = whole;
        size_t i = at;
        for (uint8_t b : bytes) copy[i++] = b;
        TestFont f("damaged.mft");
        return font::decodeFontFile(&f.font, copy.data(), copy.size());
    };
    const size_t countAt = 12 + 6 + 12;
    const size_t lies = capture.countContaining("glyphs cannot fit");
    EXPECT_FALSE(patched(countAt, {0xFF, 0xFF, 0xFF, 0x7F}));  // a count the file cannot hold
    EXPECT_FALSE(patched(countAt, {0xFF, 0xFF, 0xFF, 0xFF}));  // a negative count
    EXPECT_EQ(capture.countContaining("glyphs cannot fit"), lies + 2);
    EXPECT_FALSE(patched(countAt + 4 + 10, {2}));              // a kerning flag that is neither 0 nor 1
    EXPECT_EQ(capture.countContaining("kerning flag 2"), 1u);
    EXPECT_FALSE(patched(countAt + 4 + 11, {0xFF, 0xFF, 0xFF, 0xFF}));  // a glyph of 65535 x 65535

    TestFont unknown("future.mft");
    EXPECT_FALSE(decode(unknown.font, std::string("QOR_Font_v7\0rest", 16)));
    EXPECT_FALSE(decode(unknown.font, std::string("\x01\x02not a font", 12)));
    EXPECT_EQ(capture.countContaining("Font 'future.mft' has unknown or bad header ('QOR_Font_v7')"), 1u);
    EXPECT_EQ(capture.countContaining("('??not a fon')"), 1u);

    TestFont longName("long.mft");
    EXPECT_FALSE(decode(longName.font, "QOR_Font_v6" + std::string(1, '\0') + std::string(100, 'U')));
    EXPECT_EQ(capture.countContaining("encoding name is longer"), 1u);
}

TEST(FontFile, LoadAndSaveThroughTheFileSlots) {
    testing::ApiCapture capture;
    TestFont source("fonts/saved.mft", true, 2);
    source[1].code = 66;
    testing::setImage(source[1], 1, 1, [](int32_t, int32_t) { return 0x7F000000u; });

    // SaveFontFile writes through OpenFile/WriteFile/CloseFile.
    static std::string written;
    written.clear();
    api()->OpenFile = [](const char*, const char* mode) -> VozerFile* {
        return std::strcmp(mode, "wb") == 0 ? reinterpret_cast<VozerFile*>(&written) : nullptr;
    };
    api()->WriteFile = [](const void* data, int32_t n, VozerFile*) -> int32_t {
        written.append(static_cast<const char*>(data), static_cast<size_t>(n));
        return n;
    };
    api()->CloseFile = [](VozerFile*) {};
    EXPECT_TRUE(font::SaveFontFile(&source.font, "user://fonts/saved.mft"));
    const std::vector<uint8_t> expected = font::encodeFontFile(&source.font);
    EXPECT_EQ(written, std::string(expected.begin(), expected.end()));
    EXPECT_EQ(capture.countContaining("..saving font 'user://fonts/saved.mft'.."), 1u);

    // A refused open is reported; a short write is not success either.
    api()->OpenFile = [](const char*, const char*) -> VozerFile* { return nullptr; };
    EXPECT_FALSE(font::SaveFontFile(&source.font, "res://readonly.mft"));
    EXPECT_EQ(capture.countContaining("Failed to save font 'res://readonly.mft'"), 1u);
    api()->OpenFile = [](const char*, const char*) -> VozerFile* { return reinterpret_cast<VozerFile*>(&written); };
    api()->WriteFile = [](const void*, int32_t, VozerFile*) -> int32_t { return 0; };
    EXPECT_FALSE(font::SaveFontFile(&source.font, "user://full-disk.mft"));
}

TEST(FontFile, LoadFontFileReadsThroughTheEngine) {
    testing::ApiCapture capture;
    TestFont source("x.mft", true, 1);
    const std::vector<uint8_t> bytes = font::encodeFontFile(&source.font);
    capture.addFile("fonts/here.mft", std::string(bytes.begin(), bytes.end()));
    TestFont here("fonts/here.mft"), missing("fonts/missing.mft");
    EXPECT_TRUE(font::LoadFontFile(&here.font));
    EXPECT_EQ(here.font.glyphCount, 1);
    EXPECT_FALSE(font::LoadFontFile(&missing.font));
    EXPECT_EQ(capture.countContaining("(not found)"), 1u);
    EXPECT_EQ(capture.openCount, 0);  // every file opened was closed
}

}  // namespace
}  // namespace vz
