// The loader object end to end: files saved and loaded again through the
// operation table and the file layer, in both byte orders; the format choice;
// header-only reads; pixel memory; PNG channel layouts.
#include "image_fixture.h"

namespace vz::imagetest {
namespace {

class LoaderTest : public ImageTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        rt().pixelByteOrder = GetParam();
    }
};

TEST_P(LoaderTest, SavedFilesLoadBackExactlyForPngAndTgaAndCloselyForJpeg) {
    const Bytes want = pattern(7, 5);
    VozerBitmap* original = bitmapOf(7, 5, want);
    for (const char* path : {"user://shot.png", "user://shot.tga"}) {
        ASSERT_TRUE(save(original, path)) << path;
        VozerBitmap* back = bitmap("back");
        ASSERT_TRUE(load(back, path)) << path;
        EXPECT_EQ(back->width, 7);
        EXPECT_EQ(back->height, 5);
        EXPECT_EQ(back->dataWidth, 7);
        EXPECT_EQ(back->dataHeight, 5);
        EXPECT_EQ(back->flags, VZ_BITMAP_HAS_ALPHA | VZ_BITMAP_RELOADABLE) << path;
        EXPECT_EQ(rgbaOf(back), want) << path;
    }
    EXPECT_EQ(countIn("Print", "Saving image to file 'user://shot.png'..\n"), 1u);

    // The written files read right by an independent reader: libpng's own
    // simplified decoder, and the TGA bytes as laid down (bottom row first, B,G,R,A).
    Bytes png = readHostFile(user_ + "/shot.png");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    EXPECT_EQ(image.format, static_cast<uint32_t>(PNG_FORMAT_RGBA));
    Bytes decoded(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr));
    EXPECT_EQ(decoded, want);
    Bytes tga = readHostFile(user_ + "/shot.tga");
    ASSERT_EQ(tga.size(), 18u + 7 * 5 * 4);
    EXPECT_EQ(Bytes(tga.begin(), tga.begin() + 18), (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 5, 0, 32, 8}));
    const size_t bottomLeft = 4 * 7 * 4;
    EXPECT_EQ(Bytes(tga.begin() + 18, tga.begin() + 22),
              (Bytes{want[bottomLeft + 2], want[bottomLeft + 1], want[bottomLeft], want[bottomLeft + 3]}));

    // JPEG: a smooth picture comes back close, opaque, without the alpha flag.
    Bytes smooth;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            smooth.insert(smooth.end(), {static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 10),
                                         static_cast<uint8_t>(128 + x * 2 - y * 3), 77});
    ASSERT_TRUE(save(bitmapOf(32, 24, smooth), "user://photo.jpg", 95));
    VozerBitmap* photo = bitmap("photo");
    ASSERT_TRUE(load(photo, "user://photo.jpg"));
    EXPECT_EQ(photo->flags, VZ_BITMAP_RELOADABLE);
    const Bytes got = rgbaOf(photo);
    ASSERT_EQ(got.size(), smooth.size());
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (i % 4 == 3) {
            EXPECT_EQ(got[i], 255);
            continue;
        }
        worst = std::max(worst, std::abs(got[i] - smooth[i]));
    }
    EXPECT_LE(worst, 12);
    EXPECT_TRUE(texts("Popup").empty());
}

TEST_P(LoaderTest, PureRedIsStoredInTheByteOrderInForce) {
    const Bytes red = {255, 0, 0};
    put("red.png", pngFile(1, 1, PNG_FORMAT_RGB, red));
    put("red.tga", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0, 0, 255});
    for (const char* path : {"res://red.png", "res://red.tga"}) {
        VozerBitmap* b = bitmap();
        ASSERT_TRUE(load(b, path)) << path;
        const auto* p = reinterpret_cast<const uint8_t*>(b->pixels);
        const Bytes want = GetParam() == 1 ? Bytes{0, 0, 255, 255} : Bytes{255, 0, 0, 255};
        EXPECT_EQ(Bytes(p, p + 4), want) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, LoaderTest, ::testing::Values(0, 1));

TEST_F(ImageTest, PngChannelLayoutsBecomeFourBytesAPixel) {
    // One channel: a white image whose grey level is its opacity.
    put("grey.png", pngFile(3, 1, PNG_FORMAT_GRAY, {0, 100, 255}));
    // Grey and alpha: the grey in all three colours.
    put("ga.png", pngFile(2, 1, PNG_FORMAT_GA, {10, 20, 200, 255}));
    // Colour without alpha: opaque, and no alpha flag.
    put("rgb.png", pngFile(2, 1, PNG_FORMAT_RGB, {1, 2, 3, 4, 5, 6}));
    struct Case {
        const char* path;
        Bytes pixels;
        uint8_t flags;
    } cases[] = {
        {"res://grey.png", {255, 255, 255, 0, 255, 255, 255, 100, 255, 255, 255, 255}, 3},
        {"res://ga.png", {10, 10, 10, 20, 200, 200, 200, 255}, 3},
        {"res://rgb.png", {1, 2, 3, 255, 4, 5, 6, 255}, 2},
    };
    for (const Case& c : cases) {
        VozerBitmap* b = bitmap();
        b->flags = VZ_BITMAP_HAS_ALPHA;  // a stale flag from an earlier image goes
        ASSERT_TRUE(load(b, c.path)) << c.path;
        EXPECT_EQ(rgbaOf(b), c.pixels) << c.path;
        EXPECT_EQ(b->flags, c.flags) << c.path;
    }
}

TEST_F(ImageTest, TheFormatComesFromTheLastFourCharactersOfThePath) {
    const Bytes png = pngFile(2, 2, PNG_FORMAT_RGBA, pattern(2, 2));
    put("upper.PNG", png);
    put("photo.jpeg", png);
    put("mislabelled.tga", png);
    VozerBitmap* b = bitmap();
    EXPECT_TRUE(load(b, "res://upper.PNG"));
    EXPECT_EQ(rgbaOf(b), pattern(2, 2));

    // An ending the loader does not know: the popup, then nothing loaded.
    EXPECT_FALSE(load(b, "res://photo.jpeg"));
    EXPECT_EQ(b->pixels, nullptr);
    ASSERT_EQ(texts("Popup").size(), 1u);
    EXPECT_EQ(texts("Popup")[0], "Unsupported image format in file 'res://photo.jpeg'\n");
    EXPECT_EQ(countIn("Log", "Unable to load image 'res://photo.jpeg'\n"), 1u);

    // A PNG named .tga is read as a TGA, which it is not.
    EXPECT_FALSE(load(b, "res://mislabelled.tga"));
    EXPECT_EQ(b->pixels, nullptr);

    // Null arguments succeed at once and change nothing; missing files fail quietly.
    captured().clear();
    VozerBitmap* untouched = bitmapOf(1, 1, {9, 9, 9, 9});
    uint32_t* pixels = untouched->pixels;
    EXPECT_TRUE(load(untouched, nullptr));
    EXPECT_TRUE(load(nullptr, "res://upper.PNG"));
    EXPECT_EQ(untouched->pixels, pixels);
    EXPECT_FALSE(load(untouched, "res://missing.png"));
    EXPECT_TRUE(captured().empty());
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

TEST_F(ImageTest, ReadImageInfoReadsOnlyTheHeader) {
    put("a.png", pngFile(5, 3, PNG_FORMAT_RGB, Bytes(45, 7)));
    VozerBitmap* picture = bitmapOf(2, 2, pattern(2, 2));
    ASSERT_TRUE(save(picture, "user://b.jpg"));
    ASSERT_TRUE(save(picture, "user://c.tga"));
    put("broken.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0, 4, 1, 2});
    VozerImageLoader* l = loader();
    struct Case {
        const char* path;
        int32_t width, height;
        uint8_t flags;
    } cases[] = {{"res://a.png", 5, 3, 2}, {"user://b.jpg", 2, 2, 2}, {"user://c.tga", 2, 2, 3}};
    for (const Case& c : cases) {
        VozerBitmap* b = bitmapOf(4, 4, pattern(4, 4));  // pixels held before are freed
        b->flags = 0;
        ASSERT_TRUE(l->ops->ReadImageInfo(l, b, c.path)) << c.path;
        EXPECT_EQ(b->width, c.width) << c.path;
        EXPECT_EQ(b->height, c.height) << c.path;
        EXPECT_EQ(b->pixels, nullptr) << c.path;
        EXPECT_EQ(b->flags, c.flags) << c.path;
    }
    VozerBitmap* b = bitmap();
    EXPECT_FALSE(l->ops->ReadImageInfo(l, b, "res://broken.jpg"));
    EXPECT_EQ(countIn("Log", "ZTI_GetImageDimensionsJPG - setjmp failed.\n"), 1u);
    EXPECT_FALSE(l->ops->ReadImageInfo(l, b, "res://none.png"));
    EXPECT_TRUE(l->ops->ReadImageInfo(l, nullptr, "res://a.png"));
}

TEST_F(ImageTest, PixelMemoryIsGivenOnlyForSaneSizes) {
    VozerImageLoader* l = loader();
    VozerBitmap* b = bitmap();
    l->ops->AllocateImagePixels(l, b, 3, 2);
    ASSERT_NE(b->pixels, nullptr);
    EXPECT_EQ(rgbaOf(b), Bytes(24, 0));
    EXPECT_EQ(b->dataWidth, 3);
    // A second allocation replaces the first, after saying so.
    l->ops->AllocateImagePixels(l, b, 4, 4);
    EXPECT_EQ(texts("Popup"),
              std::vector<std::string>{"ImageLoaderImp::AllocateImagePixels bitmap already has pixels allocated!"});
    EXPECT_EQ(b->width * b->height, 16);

    // Sizes beyond reason: the designed popup, and no memory at all rather
    // than a size computed past 32 bits.
    captured().clear();
    for (auto size : {std::pair<int32_t, int32_t>{0, 5}, {65535, 65535}, {-1, -1}}) {
        VozerBitmap* weird = bitmap();
        l->ops->AllocateImagePixels(l, weird, size.first, size.second);
        EXPECT_EQ(weird->pixels, nullptr);
        EXPECT_EQ(weird->width, 0);
    }
    // A side past 65536 is cut to it, and the record says so.
    VozerBitmap* wide = bitmap();
    l->ops->AllocateImagePixels(l, wide, 70000, 2);
    EXPECT_NE(wide->pixels, nullptr);
    EXPECT_EQ(wide->dataWidth, 65536);
    EXPECT_EQ(countIn("Popup", "ImageLoaderImp::AllocateImagePixels dimensions (05) seem weird."), 1u);
    EXPECT_EQ(countIn("Popup", "ImageLoaderImp::AllocateImagePixels dimensions (700002) seem weird."), 1u);
    EXPECT_EQ(countIn("Log", "refuses 65535x65535 pixels"), 1u);

    l->ops->FreeImagePixels(l, b);
    EXPECT_EQ(b->pixels, nullptr);
    l->ops->FreeImagePixels(l, nullptr);
    EXPECT_EQ(countIn("Log", "ImageLoader trying to free null bitmap.\n"), 1u);
}

TEST_F(ImageTest, SaveImageRefusesWhatItCannotWrite) {
    VozerBitmap* b = bitmapOf(2, 2, pattern(2, 2));
    EXPECT_FALSE(save(b, "user://shot.bmp"));
    EXPECT_EQ(countIn("Popup", "SaveImage - file format for 'user://shot.bmp' not supported. Use .png format.\n"), 1u);
    // The ending is compared as written: an upper-case one is not saved.
    EXPECT_FALSE(save(b, "user://shot.PNG"));
    EXPECT_FALSE(save(nullptr, "user://shot.png"));
    EXPECT_FALSE(save(b, nullptr));
    EXPECT_FALSE(save(b, "res://../outside.png"));
    VozerBitmap* empty = bitmap();
    EXPECT_FALSE(save(empty, "user://empty.png"));
    EXPECT_EQ(readOs(user_ + "/empty.png"), "");
    // A plain operating-system path is used as it is.
    EXPECT_TRUE(save(b, (user_ + "/plain.tga").c_str()));
    VozerBitmap* back = bitmap();
    EXPECT_TRUE(load(back, "user://plain.tga"));
    EXPECT_EQ(rgbaOf(back), pattern(2, 2));
}

}  // namespace
}  // namespace vz::imagetest
