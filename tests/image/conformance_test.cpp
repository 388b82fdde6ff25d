// The conformance images (the PngSuite and libpng's test images with its
// broken "crashers", libjpeg-turbo's test images) loaded through the loader
// and the file layer, res:// pointing at the folder that
// tools/lib/fetch-test-images.sh fills. Pixels are compared with hashes kept
// in conformance_hashes.txt, computed once with independent decoders
// (make_reference_hashes.py); files listed as FAIL must fail cleanly.
#include <fstream>
#include <sstream>

#include "image_fixture.h"

namespace vz::imagetest {
namespace {

struct Reference {
    std::string path;
    bool fails = false;
    int32_t width = 0, height = 0;
    bool alpha = false;
    uint64_t hash = 0;
};

std::vector<Reference> references() {
    std::ifstream in(hostPath(VOZER_TEST_DATA_DIR "/image/conformance_hashes.txt"));
    std::vector<Reference> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Reference r;
        std::string size;
        fields >> r.path >> size;
        if (size == "FAIL") {
            r.fails = true;
        } else {
            char x;
            int alpha;
            std::istringstream(size) >> r.width >> x >> r.height;
            fields >> alpha >> std::hex >> r.hash;
            r.alpha = alpha != 0;
        }
        out.push_back(r);
    }
    return out;
}

class ConformanceTest : public ImageTest {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        images_ = hostPath(VOZER_TEST_IMAGES_DIR);
        ASSERT_TRUE(platform::isDirectory((images_ + "/pngsuite").c_str()))
            << "no conformance images in " << images_ << ": run tools/lib/fetch-test-images.sh";
        fs::setTargetRoot(3, images_);
        // Neither reference corrects gamma; the gamma test below checks the loader's.
        image::loaderSettings().ignoreFileGamma = true;
    }

    Bytes file(const std::string& relative) { return readHostFile(images_ + "/" + relative); }

    std::string images_;
};

TEST_F(ConformanceTest, EveryImageDecodesToItsReferenceOrFailsCleanly) {
    const std::vector<Reference> all = references();
    ASSERT_GE(all.size(), 190u);
    std::vector<std::string> wrong;
    size_t decoded = 0;
    for (int order : {0, 1}) {
        rt().pixelByteOrder = order;
        for (const Reference& r : all) {
            VozerBitmap* b = bitmap();
            const bool loaded = load(b, ("res://" + r.path).c_str());
            const std::string where = r.path + " (byte order " + std::to_string(order) + ")";
            if (r.fails) {
                if (loaded || b->pixels || b->width || b->height) wrong.push_back(where + ": should have failed");
                continue;
            }
            if (!loaded) {
                wrong.push_back(where + ": did not load");
                continue;
            }
            ++decoded;
            if (b->width != r.width || b->height != r.height)
                wrong.push_back(where + ": size " + std::to_string(b->width) + "x" + std::to_string(b->height));
            if (((b->flags & VZ_BITMAP_HAS_ALPHA) != 0) != r.alpha) wrong.push_back(where + ": alpha flag");
            if (fnv1a(rgbaOf(b)) != r.hash) wrong.push_back(where + ": pixels differ");
            image::freeImagePixels(b);
        }
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
    EXPECT_GE(decoded, 2 * 160u);
    // Every failure said why.
    EXPECT_EQ(
        countIn("Log", "Unable to load image"),
        2 * static_cast<size_t>(std::count_if(all.begin(), all.end(), [](const Reference& r) { return r.fails; })));
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

// The PngSuite's broken files (the x*.png set), made here from its good ones.
TEST_F(ConformanceTest, BrokenPngSuiteFilesFailCleanly) {
    const Bytes grey = file("pngsuite/basn0g08.png");
    const Bytes colour = file("pngsuite/basn2c08.png");
    ASSERT_GT(grey.size(), 100u);
    // Offsets in the IHDR chunk: its body starts at 16, bit depth at 24,
    // colour type at 25, its CRC at 29.
    const auto withIhdr = [](Bytes f, size_t at, uint8_t value) {
        f[at] = value;
        const uLong crc = crc32(0, f.data() + 12, 17);
        for (int i = 0; i < 4; ++i) f[29 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        return f;
    };
    // The chunks after the header, to drop the image data.
    size_t idat = 33, idatLength = 0;
    while (idat + 8 < colour.size() && std::memcmp(&colour[idat + 4], "IDAT", 4) != 0)
        idat += 12 + (colour[idat] << 24 | colour[idat + 1] << 16 | colour[idat + 2] << 8 | colour[idat + 3]);
    idatLength = 12 + (colour[idat + 2] << 8 | colour[idat + 3]);
    Bytes noData(colour.begin(), colour.begin() + static_cast<long>(idat));
    noData.insert(noData.end(), colour.begin() + static_cast<long>(idat + idatLength), colour.end());
    Bytes badIdatCrc = colour;
    badIdatCrc[idat + idatLength - 1] ^= 1;
    Bytes badIhdrCrc = grey;
    badIhdrCrc[30] ^= 1;

    std::vector<std::pair<std::string, Bytes>> broken = {
        {"xc1n0g08 (colour type 1)", withIhdr(grey, 25, 1)},
        {"xc9n2c08 (colour type 9)", withIhdr(colour, 25, 9)},
        {"xd0n2c08 (bit depth 0)", withIhdr(colour, 24, 0)},
        {"xd3n2c08 (bit depth 3)", withIhdr(colour, 24, 3)},
        {"xd9n2c08 (bit depth 99)", withIhdr(colour, 24, 99)},
        {"xhdn0g08 (IHDR checksum)", badIhdrCrc},
        {"xcsn0g01 (IDAT checksum)", badIdatCrc},
        {"xdtn0g01 (no IDAT)", noData},
    };
    // xs*, xcrn0g04, xlfn0g04: a signature damaged, by hand or by a text-mode copy.
    for (size_t i = 0; i < 8; ++i) {
        Bytes f = grey;
        f[i] ^= 0x20;
        broken.push_back({"xs" + std::to_string(i) + "n0g01 (signature byte " + std::to_string(i) + ")", f});
    }
    for (const auto& [what, bytes] : broken) {
        captured().clear();
        writeOs(user_ + "/broken.png", std::string(bytes.begin(), bytes.end()));
        VozerBitmap* b = bitmap();
        EXPECT_FALSE(load(b, "user://broken.png")) << what;
        EXPECT_EQ(b->pixels, nullptr) << what;
        EXPECT_EQ(countIn("Log", "PNG ERROR: Image 'picture' "), 1u) << what << ::testing::PrintToString(texts("Log"));
    }
}

TEST_F(ConformanceTest, FileGammaIsCorrectedForAScreenGammaOf2_2) {
    // basn0g08 is a grey ramp stored with a file gamma of 1.0: shown on a
    // 2.2 screen each level v becomes 255 (v / 255)^(1 / 2.2).
    VozerBitmap* stored = bitmap();
    ASSERT_TRUE(load(stored, "res://pngsuite/basn0g08.png"));
    image::loaderSettings().ignoreFileGamma = false;
    VozerBitmap* corrected = bitmap();
    ASSERT_TRUE(load(corrected, "res://pngsuite/basn0g08.png"));
    const Bytes in = rgbaOf(stored), out = rgbaOf(corrected);
    ASSERT_EQ(in.size(), out.size());
    int worst = 0, changed = 0;
    for (size_t i = 3; i < in.size(); i += 4) {
        const double want = 255.0 * std::pow(in[i] / 255.0, 1.0 / 2.2);
        worst = std::max(worst, static_cast<int>(std::lround(std::fabs(out[i] - want))));
        changed += out[i] != in[i];
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(changed, 100);
    // A file that says it is stored for a 2.2 screen (sRGB) is left as it is.
    image::loaderSettings().ignoreFileGamma = true;
    VozerBitmap* plain = bitmap();
    ASSERT_TRUE(load(plain, "res://testpngs/rgb-8-sRGB.png"));
    image::loaderSettings().ignoreFileGamma = false;
    VozerBitmap* same = bitmap();
    ASSERT_TRUE(load(same, "res://testpngs/rgb-8-sRGB.png"));
    EXPECT_EQ(rgbaOf(plain), rgbaOf(same));
}

}  // namespace
}  // namespace vz::imagetest
