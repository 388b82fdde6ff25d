// JPEG variants made here with libjpeg (grey, CMYK, progressive) and the
// hostile inputs of both library-backed decoders: decompression bombs, lying
// headers, files cut short, endless scans, palette indexes past the palette.
// Each must fail with a message and leave the bitmap empty, or decode sanely.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "image_fixture.h"

namespace vz::imagetest {
namespace {

// A JPEG of width x height made by libjpeg from samples of `components`
// channels in `space`; progressive on request. Plain libjpeg error handling
// is enough here: the inputs are ours.
Bytes jpegFile(int width, int height, int components, J_COLOR_SPACE space, const Bytes& samples,
               bool progressive = false, int quality = 95) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    if (space == JCS_CMYK) info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(samples.data()) + info.next_scanline * width * components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

// The largest difference between two R,G,B,A byte lists, colours only.
int worstColourDifference(const Bytes& a, const Bytes& b) {
    int worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::abs(a[i] - b[i]));
    return a.size() == b.size() ? worst : 1000;
}

class BadInputTest : public ImageTest {
protected:
    VozerBitmap* decode(const char* name, const Bytes& file) {
        put(name, file);
        VozerBitmap* b = bitmap();
        load(b, ("res://" + std::string(name)).c_str());
        return b;
    }
    void expectEmpty(VozerBitmap* b, const std::string& what) {
        EXPECT_EQ(b->pixels, nullptr) << what;
        EXPECT_EQ(b->width, 0) << what;
        EXPECT_EQ(b->height, 0) << what;
    }
};

TEST_F(BadInputTest, GreyCmykAndProgressiveJpegsDecodeToTheirColours) {
    const int w = 16, h = 16;
    Bytes grey, rgb, cmyk, wantGrey, wantRgb, wantCmyk;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto g = static_cast<uint8_t>(x * 16);
            grey.push_back(g);
            wantGrey.insert(wantGrey.end(), {g, g, g, 255});
            const Bytes c = {static_cast<uint8_t>(x * 15), static_cast<uint8_t>(y * 15), 90};
            rgb.insert(rgb.end(), c.begin(), c.end());
            wantRgb.insert(wantRgb.end(), {c[0], c[1], c[2], 255});
            // Flat quarters of red, green, blue and black ink, stored inverted as Adobe does.
            const int quarter = (x >= w / 2) + 2 * (y >= h / 2);
            const Bytes inks[4] = {{0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 255}};
            const Bytes colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
            for (uint8_t ink : inks[quarter]) cmyk.push_back(static_cast<uint8_t>(255 - ink));
            wantCmyk.insert(wantCmyk.end(), colours[quarter].begin(), colours[quarter].end());
            wantCmyk.push_back(255);
        }
    for (int order : {0, 1}) {
        rt().pixelByteOrder = order;
        VozerBitmap* b = decode("grey.jpg", jpegFile(w, h, 1, JCS_GRAYSCALE, grey));
        EXPECT_LE(worstColourDifference(rgbaOf(b), wantGrey), 3) << order;
        b = decode("progressive.jpg", jpegFile(w, h, 3, JCS_RGB, rgb, true));
        EXPECT_LE(worstColourDifference(rgbaOf(b), wantRgb), 12) << order;
        b = decode("cmyk.jpg", jpegFile(w, h, 4, JCS_CMYK, cmyk));
        EXPECT_LE(worstColourDifference(rgbaOf(b), wantCmyk), 8) << order;
        EXPECT_EQ(b->flags, VZ_BITMAP_RELOADABLE);
    }
    EXPECT_TRUE(texts("Log").empty());
}

TEST_F(BadInputTest, JpegsThatLieEndEarlyOrNeverEndFailCleanly) {
    Bytes rgb(32 * 32 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
    const Bytes good = jpegFile(32, 32, 3, JCS_RGB, rgb);

    // The frame header claims 60000 x 60000: refused before any memory is taken.
    Bytes huge = good;
    for (size_t i = 2; i + 9 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xEA;
            huge[i + 6] = huge[i + 8] = 0x60;
            break;
        }
    expectEmpty(decode("huge.jpg", huge), "huge");
    EXPECT_EQ(countIn("Log", "JPEG ERROR: Image 'picture' claims 60000x60000 pixels"), 1u);

    // Cut anywhere: never a picture padded with grey, always a message.
    for (size_t cut : {size_t{0}, size_t{2}, size_t{20}, good.size() / 2, good.size() - 2}) {
        captured().clear();
        VozerBitmap* b = decode("cut.jpg", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
        expectEmpty(b, "cut at " + std::to_string(cut));
        EXPECT_GE(countIn("Log", "Load JPG - "), 1u) << cut;
    }

    // A progressive file whose last scan repeats a thousand times.
    Bytes progressive = jpegFile(32, 32, 3, JCS_RGB, rgb, true);
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < progressive.size(); ++i)
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) lastScan = i;
    ASSERT_GT(lastScan, 0u);
    const Bytes scan(progressive.begin() + static_cast<std::ptrdiff_t>(lastScan), progressive.end() - 2);
    Bytes endless(progressive.begin(), progressive.end() - 2);
    for (int i = 0; i < 1000; ++i) endless.insert(endless.end(), scan.begin(), scan.end());
    endless.insert(endless.end(), {0xFF, 0xD9});
    expectEmpty(decode("endless.jpg", endless), "endless");
    EXPECT_EQ(countIn("Log", "Load JPG - JPEG 'picture' has more than 500 scans.\n"), 1u);
}

TEST_F(BadInputTest, PngBombsAndLyingHeadersAreRefusedBeforeAnyPixelMemory) {
    // A few bytes claiming far more pixels than the loader takes: each side
    // over 16384, or a pixel count over the cap with both sides allowed;
    // libpng itself refuses sides past a million.
    struct Case {
        uint32_t width, height;
        const char* message;
    } cases[] = {{20000, 20000, "claims 20000x20000 pixels"},
                 {16385, 1, "claims 16385x1 pixels"},
                 {8193, 8193, "claims 8193x8193 pixels"},
                 {0x7FFFFFFF, 0x7FFFFFFF, "is damaged: Invalid IHDR data.\n"}};
    for (const Case& c : cases) {
        captured().clear();
        VozerBitmap* b = decode("bomb.png", pngByHand(c.width, c.height, 1, 0, Bytes(64, 0)));
        expectEmpty(b, c.message);
        EXPECT_EQ(countIn("Log", c.message), 1u) << c.message;
    }
    // The largest side the loader takes still loads.
    Bytes raw;
    for (int y = 0; y < 2; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), 16384 / 8, 0xF0);
    }
    VozerBitmap* wide = decode("wide.png", pngByHand(16384, 2, 1, 0, raw));
    EXPECT_EQ(wide->width, 16384);
    EXPECT_EQ(rgbaOf(wide)[3], 255);  // white, opaque where the bit is set
    EXPECT_EQ(rgbaOf(wide)[4 * 4 + 3], 0);
}

TEST_F(BadInputTest, PngFilesCutShortOrDamagedFailWithTheirReason) {
    const Bytes good = pngFile(40, 30, PNG_FORMAT_RGBA, pattern(40, 30));
    // Where the image data ends: after it only the end chunk is missing.
    const size_t dataEnd = good.size() - 12;
    for (size_t cut = 0; cut < dataEnd; cut += 13) {
        captured().clear();
        VozerBitmap* b = decode("cut.png", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
        expectEmpty(b, "cut at " + std::to_string(cut));
        EXPECT_EQ(countIn("Log", "Unable to load image 'res://cut.png'"), 1u) << cut;
    }
    EXPECT_EQ(countIn("Log", "PNG ERROR: Image 'picture' is damaged: the file ends early.\n"), 1u);

    // No signature: the designed message, without a newline.
    captured().clear();
    expectEmpty(decode("text.png", Bytes{'h', 'e', 'l', 'l', 'o'}), "text");
    EXPECT_EQ(texts("Log")[0], "PNG ERROR: Image 'picture' not proper png.");
}

TEST_F(BadInputTest, PaletteIndexesPastThePaletteDecodeAsBlack) {
    // Two palette entries, four pixels using indexes 0, 1, 2 and 255.
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendChunk(file, "IHDR", {0, 0, 0, 4, 0, 0, 0, 1, 8, 3, 0, 0, 0});
    appendChunk(file, "PLTE", {10, 20, 30, 40, 50, 60});
    const Bytes raw = {0, 0, 1, 2, 255};
    uLongf packedSize = 64;
    Bytes packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    packed.resize(packedSize);
    appendChunk(file, "IDAT", packed);
    appendChunk(file, "IEND", {});
    VozerBitmap* b = decode("palette.png", file);
    ASSERT_NE(b->pixels, nullptr);
    EXPECT_EQ(rgbaOf(b), (Bytes{10, 20, 30, 255, 40, 50, 60, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
    EXPECT_EQ(b->flags & VZ_BITMAP_HAS_ALPHA, 0);
}

}  // namespace
}  // namespace vz::imagetest
