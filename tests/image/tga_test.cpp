// The loader's own TGA decoder: both row orders, mirrored rows, run-length
// packets (across rows too), the overrun messages, and files that lie or end
// early.
#include "image_fixture.h"

namespace vz::imagetest {
namespace {

// A TGA file: header, id field, then the pixel bytes as given.
Bytes tgaFile(uint8_t type, int width, int height, uint8_t bits, uint8_t descriptor, const Bytes& data,
              uint8_t idLength = 0) {
    Bytes f(18u + idLength + data.size(), 0);
    f[0] = idLength;
    f[2] = type;
    f[12] = static_cast<uint8_t>(width);
    f[13] = static_cast<uint8_t>(width >> 8);
    f[14] = static_cast<uint8_t>(height);
    f[15] = static_cast<uint8_t>(height >> 8);
    f[16] = bits;
    f[17] = descriptor;
    std::fill(f.begin() + 18, f.begin() + 18 + idLength, 'i');
    std::copy(data.begin(), data.end(), f.begin() + 18 + idLength);
    return f;
}

class TgaTest : public ImageTest {
protected:
    // Decode through the loader with the file's bytes at res://t.tga.
    VozerBitmap* decode(const Bytes& file, bool expectLoaded = true) {
        put("t.tga", file);
        VozerBitmap* b = bitmap();
        EXPECT_EQ(load(b, "res://t.tga"), expectLoaded);
        return b;
    }
};

TEST_F(TgaTest, RowsLandUprightWhateverTheFileOrder) {
    // 2x2, 24 bits, bottom to top (descriptor bit 5 clear): the file's last
    // row is the image's first. File pixels are B,G,R.
    const Bytes bottomUp = {1, 2, 3, 4, 5, 6, /* top row: */ 7, 8, 9, 10, 11, 12};
    VozerBitmap* b = decode(tgaFile(2, 2, 2, 24, 0, bottomUp));
    EXPECT_EQ(rgbaOf(b), (Bytes{9, 8, 7, 255, 12, 11, 10, 255, 3, 2, 1, 255, 6, 5, 4, 255}));
    // No alpha in the file, yet the flag says alpha (every pixel opaque).
    EXPECT_EQ(b->flags, VZ_BITMAP_HAS_ALPHA | VZ_BITMAP_RELOADABLE);

    // 32 bits, top to bottom and right to left (bits 5 and 4), in byte order 1.
    rt().pixelByteOrder = 1;
    const Bytes topDownMirrored = {1, 2, 3, 4, 5, 6, 7, 8, /* row 2: */ 9, 10, 11, 12, 13, 14, 15, 16};
    b = decode(tgaFile(2, 2, 2, 32, 0x30, topDownMirrored));
    const auto* p = reinterpret_cast<const uint8_t*>(b->pixels);
    EXPECT_EQ(Bytes(p, p + 16), (Bytes{5, 6, 7, 8, 1, 2, 3, 4, 13, 14, 15, 16, 9, 10, 11, 12}));
}

TEST_F(TgaTest, RunLengthPacketsMayRunOnIntoTheNextRow) {
    // 3x2 bottom-up: a run of four red pixels fills the bottom row and starts
    // the top one, then a raw packet of two (green, blue) ends it.
    const Bytes packets = {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0};
    VozerBitmap* b = decode(tgaFile(10, 3, 2, 24, 0, packets));
    const Bytes red = {255, 0, 0, 255}, green = {0, 255, 0, 255}, blue = {0, 0, 255, 255};
    Bytes want;
    for (const Bytes* px : {&red, &green, &blue, &red, &red, &red}) want.insert(want.end(), px->begin(), px->end());
    EXPECT_EQ(rgbaOf(b), want);
    EXPECT_TRUE(texts("Log").empty());
}

TEST_F(TgaTest, PacketsPastTheImageAreCutWithTheOverrunMessages) {
    // 2x1: a run of five, then nothing is needed; the load still succeeds.
    const Bytes run = {0x84, 1, 2, 3};
    // A raw packet of three pixels for two places.
    const Bytes raw = {0x02, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    struct Case {
        int order;
        const Bytes* packets;
        const char* message;
    } cases[] = {{0, &run, "TGA buffer overrun #2: (3)\n"},
                 {0, &raw, "TGA buffer overrun #1: (1)\n"},
                 {1, &run, "TGA buffer overrun #4: (3)\n"},
                 {1, &raw, "TGA buffer overrun #3: (1)\n"}};
    for (const Case& c : cases) {
        rt().pixelByteOrder = c.order;
        captured().clear();
        VozerBitmap* b = decode(tgaFile(10, 2, 1, 24, 0x20, *c.packets));
        ASSERT_NE(b->pixels, nullptr);
        const auto logs = texts("Log");
        ASSERT_EQ(logs.size(), 1u) << c.message;
        EXPECT_EQ(logs[0], c.message);
        EXPECT_EQ(captured()[0].level, 2);
    }
    EXPECT_EQ(rgbaOf(decode(tgaFile(10, 2, 1, 24, 0x20, raw))), (Bytes{1, 1, 1, 255, 2, 2, 2, 255}));
}

TEST_F(TgaTest, FilesThatEndEarlyOrLieFailWithTheBitmapEmpty) {
    struct Case {
        const char* what;
        Bytes file;
        const char* message;
    } cases[] = {
        {"raw data cut short", tgaFile(2, 2, 2, 32, 0, Bytes(15, 1)), "ends after 3 of its 4 pixels"},
        {"run-length data cut inside a pixel", tgaFile(10, 2, 2, 24, 0, {0x81, 1, 2}), "ends after 0 of its 4"},
        {"run-length data cut between packets", tgaFile(10, 2, 2, 24, 0, {0x81, 1, 2, 3}), "ends after 2 of its 4"},
        {"raw packet longer than the data", tgaFile(10, 2, 2, 24, 0, {0x03, 1, 2, 3}), "ends after 1 of its 4"},
        {"id field past the end", tgaFile(2, 1, 1, 24, 0, Bytes(3, 1), 2), "ends inside its id field"},
        {"header cut short", Bytes{0, 0, 2, 0, 0}, "shorter than a TGA header"},
        {"zero width", tgaFile(2, 0, 5, 24, 0, {}), "claims 0x5 pixels"},
        {"colour-mapped", tgaFile(1, 1, 1, 8, 0, {0}), "image type 1, colour map type 0 and 8 bits"},
        {"grey", tgaFile(3, 1, 1, 8, 0, {0}), "image type 3"},
        {"16 bits", tgaFile(2, 1, 1, 16, 0, {0, 0}), "and 16 bits a pixel"},
    };
    cases[4].file[0] = 200;  // an id field longer than what follows
    cases[7].file[1] = 1;    // the colour-map type byte
    cases[7].message = "image type 1, colour map type 1 and 8 bits";
    for (const Case& c : cases) {
        captured().clear();
        VozerBitmap* b = decode(c.file, false);
        EXPECT_EQ(b->pixels, nullptr) << c.what;
        EXPECT_EQ(b->width, 0) << c.what;
        EXPECT_EQ(countIn("Log", c.message), 1u) << c.what;
        EXPECT_EQ(countIn("Log", "Unable to load image 'res://t.tga'"), 1u) << c.what;
    }
}

}  // namespace
}  // namespace vz::imagetest
