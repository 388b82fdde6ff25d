// Bitmap sequences: the run-length block, numbered frame files with gaps,
// merging repeated frames, ".bms" files written and read back (atlas and
// frame by frame, both byte orders), and files that lie.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/bitmap_sequence.h"
#include "image_fixture.h"

namespace vz::imagetest {
namespace {

class SequenceTest : public ImageTest {
protected:
    void TearDown() override {
        for (VozerBitmap& s : sequences_) image::freeSequence(&s);
        ImageTest::TearDown();
    }

    // An empty sequence record that lives until the end of the test.
    VozerBitmap* sequence(const char* name = "anim") {
        sequences_.emplace_back();
        VozerBitmap* s = &sequences_.back();
        std::memset(s, 0, sizeof *s);
        s->name = const_cast<char*>(name);
        return s;
    }

    // A sequence whose frames are filled with these colours (R,G,B,A packed
    // as 0xAABBGGRR), each width x height, numbered 0, 1, 2...
    VozerBitmap* sequenceOf(const std::vector<uint32_t>& colours, int32_t width = 6, int32_t height = 4) {
        VozerBitmap* s = sequence();
        s->frames = static_cast<VozerBitmap*>(std::calloc(colours.size(), sizeof(VozerBitmap)));
        s->frameCount = static_cast<int32_t>(colours.size());
        for (size_t i = 0; i < colours.size(); ++i) {
            VozerBitmap& f = s->frames[i];
            f.name = strdup(("frame" + std::to_string(i)).c_str());
            image::allocateImagePixels(&f, width, height);
            Bytes rgba;
            for (int32_t p = 0; p < width * height; ++p)
                for (int k = 0; k < 4; ++k) rgba.push_back(static_cast<uint8_t>(colours[i] >> (8 * k)));
            rgba[0] = static_cast<uint8_t>(rgba[0] ^ 0x10);  // a corner that differs, so runs are not uniform
            storeRgba(&f, rgba);
            f.frameNumber = static_cast<int32_t>(i);
            f.framesPerSecond = 12.5f;
        }
        return s;
    }

    static void storeRgba(VozerBitmap* b, const Bytes& rgba) {
        auto* p = reinterpret_cast<uint8_t*>(b->pixels);
        const bool bgra = rt().pixelByteOrder == 1;
        for (size_t i = 0; i < rgba.size(); i += 4) {
            p[i] = rgba[bgra ? i + 2 : i];
            p[i + 1] = rgba[i + 1];
            p[i + 2] = rgba[bgra ? i : i + 2];
            p[i + 3] = rgba[i + 3];
        }
    }

    static Bytes encoded(const VozerBitmap* b) {
        image::ByteSink sink;
        image::encodeRunLength(b, sink);
        Bytes out(sink.data, sink.data + sink.size);
        image::discardBytes(sink);
        return out;
    }

    static Bytes fileOf(const VozerBitmap* s) {
        image::ByteSink sink;
        EXPECT_TRUE(image::writeBitmapSequence(s, "test.bms", sink));
        Bytes out(sink.data, sink.data + sink.size);
        image::discardBytes(sink);
        return out;
    }

    bool read(VozerBitmap* s, const Bytes& file) { return image::readBitmapSequence(s, file.data(), file.size(), "t.bms"); }

    // A frame's pixels as R,G,B,A: its own, or its rectangle of the atlas.
    static Bytes frameRgba(const VozerBitmap* s, int32_t i) {
        const VozerBitmap& f = s->frames[i];
        if (!s->atlas) return rgbaOf(&f);
        const VozerBitmap* a = s->atlas;
        const Bytes all = rgbaOf(a);
        const int32_t x0 = static_cast<int32_t>(f.hw.uLeft * a->width + 0.5f);
        const int32_t y0 = static_cast<int32_t>(f.hw.vTop * a->height + 0.5f);
        Bytes out;
        for (int32_t y = 0; y < f.height; ++y)
            for (int32_t x = 0; x < f.width; ++x)
                for (int k = 0; k < 4; ++k) out.push_back(all[((y0 + y) * a->width + x0 + x) * 4 + k]);
        return out;
    }

private:
    std::deque<VozerBitmap> sequences_;
};

TEST_F(SequenceTest, RunLengthBlocksCountEqualPixelsUpTo255AndReadBackInEitherByteOrder) {
    for (int order : {0, 1}) {
        rt().pixelByteOrder = order;
        // Three equal pixels: one run; the pixel is stored B, G, R, A.
        VozerBitmap* three = bitmapOf(3, 1, {10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40});
        EXPECT_EQ(encoded(three), (Bytes{3, 0, 0, 0, 1, 0, 0, 0, 3, 30, 20, 10, 40}));
        // 300 equal pixels: runs of 255 and 45.
        VozerBitmap* many = bitmapOf(30, 10, Bytes(1200, 7));
        EXPECT_EQ(encoded(many), (Bytes{30, 0, 0, 0, 10, 0, 0, 0, 255, 7, 7, 7, 7, 45, 7, 7, 7, 7}));

        VozerBitmap* varied = bitmapOf(9, 7, pattern(9, 7));
        const Bytes block = encoded(varied);
        VozerBitmap* back = bitmap();
        size_t used = 0;
        ASSERT_TRUE(image::decodeRunLength(back, block.data(), block.size(), &used, "t"));
        EXPECT_EQ(used, block.size());
        EXPECT_EQ(rgbaOf(back), pattern(9, 7));
    }
}

TEST_F(SequenceTest, RunLengthBlocksThatLieStopAtTheirEnds) {
    VozerBitmap* b = bitmap();
    size_t used = 0;
    // A run past the end of the block fills it and stops there.
    const Bytes over = {2, 0, 0, 0, 1, 0, 0, 0, 200, 1, 2, 3, 4};
    ASSERT_TRUE(image::decodeRunLength(b, over.data(), over.size(), &used, "t"));
    EXPECT_EQ(rgbaOf(b), (Bytes{3, 2, 1, 4, 3, 2, 1, 4}));
    EXPECT_EQ(countIn("Log", "run past the end"), 1u);
    // Data that ends before the block is full, a run of 0, sizes no image has,
    // and a block far larger than its data could fill: refused, no pixels.
    const std::vector<Bytes> bad = {
        {4, 0, 0, 0, 1, 0, 0, 0, 2, 1, 2, 3, 4},
        {1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 2, 3, 4, 1, 1, 2, 3, 4},
        {0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3, 4},
        {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, 1, 2, 3, 4},
        {0x00, 0x40, 0, 0, 0x00, 0x40, 0, 0, 255, 1, 2, 3, 4},
        {1, 0, 0},
    };
    for (const Bytes& block : bad) {
        EXPECT_FALSE(image::decodeRunLength(b, block.data(), block.size(), &used, "t"));
        EXPECT_EQ(b->pixels, nullptr);
    }
}

TEST_F(SequenceTest, NumberedFilesAreFoundAcrossSmallGapsAndStopAtLongOnes) {
    const Bytes red = pngFile(2, 2, PNG_FORMAT_RGBA, Bytes(16, 200));
    for (const char* file : {"walk0000.png", "walk0001.png", "walk0003.png"}) put(file, red);
    VozerBitmap* s = sequence();
    ASSERT_TRUE(image::LoadBitmapSequenceFromFiles(s, "res://walk*.png"));
    ASSERT_EQ(s->frameCount, 3);
    EXPECT_EQ(s->frames[0].frameNumber, 0);
    EXPECT_EQ(s->frames[1].frameNumber, 1);
    EXPECT_EQ(s->frames[2].frameNumber, 3);
    EXPECT_STREQ(s->frames[2].name, "res://walk0003.png");
    EXPECT_EQ(s->frames[2].framesPerSecond, 30.0f);
    EXPECT_EQ(s->pixels, s->frames[0].pixels) << "frame 0 is selected";

    // With one spacing so far, six missing numbers end the search...
    for (const char* file : {"jump0000.png", "jump0001.png", "jump0008.png"}) put(file, red);
    VozerBitmap* j = sequence();
    ASSERT_TRUE(image::LoadBitmapSequenceFromFiles(j, "res://jump*.png"));
    EXPECT_EQ(j->frameCount, 2);
    // ...while two different spacings (1, then 2) allow gaps of up to 100.
    for (const char* file : {"run0000.png", "run0001.png", "run0003.png", "run0090.png"}) put(file, red);
    VozerBitmap* r = sequence();
    ASSERT_TRUE(image::LoadBitmapSequenceFromFiles(r, "res://run*.png"));
    EXPECT_EQ(r->frameCount, 4);
    EXPECT_EQ(r->frames[3].frameNumber, 90);

    // Nothing found, or a pattern with a '%' that must not be read as a format.
    for (const char* pattern : {"res://none*.png", "res://%s%n*.png", "res://walk0000.png"}) {
        captured().clear();
        EXPECT_FALSE(image::LoadBitmapSequenceFromFiles(sequence(), pattern));
        EXPECT_EQ(countIn("Popup", std::string("Bitmap files '") + pattern + "' not found."), 1u);
    }
}

TEST_F(SequenceTest, RepeatedFramesShareTheFirstImageAndTheAtlasHoldsItOnce) {
    VozerBitmap* s = sequenceOf({0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu});
    image::OptimizeBitmapSequence(s);
    EXPECT_EQ(s->frames[0].sameAs, nullptr);
    EXPECT_EQ(s->frames[1].sameAs, &s->frames[0]);
    EXPECT_EQ(s->frames[2].sameAs, &s->frames[0]);
    EXPECT_EQ(s->frames[2].pixels, s->frames[0].pixels);
    EXPECT_EQ(countIn("Print", "Frames #0002 and #0000 match."), 1u);
    EXPECT_EQ(countIn("Print", "by removing similar frames from sequence anim"), 1u);

    rt().shared.atlasPacking = 1;
    const Bytes file = fileOf(s);
    EXPECT_EQ(countIn("Print", "Successfully packed 1 bitmaps"), 1u);
    VozerBitmap* back = sequence();
    ASSERT_TRUE(read(back, file));
    ASSERT_EQ(back->frameCount, 3);
    ASSERT_NE(back->atlas, nullptr);
    for (int i = 1; i < 3; ++i) EXPECT_EQ(std::memcmp(&back->frames[i].hw.uLeft, &back->frames[0].hw.uLeft, 16), 0);
    EXPECT_EQ(frameRgba(back, 2), rgbaOf(&s->frames[0]));

    // A match within 3 of 255 levels still merges; 4 levels apart does not.
    // Frame 2 matches frame 1 only, which repeats frame 0: it ends up naming
    // frame 0, the frame that keeps the image.
    VozerBitmap* near = sequenceOf({0xFF102030u, 0xFF102033u, 0xFF102034u});
    image::OptimizeBitmapSequence(near);
    EXPECT_EQ(near->frames[1].sameAs, &near->frames[0]);
    EXPECT_EQ(near->frames[2].sameAs, &near->frames[0]);
    VozerBitmap* apart = sequenceOf({0xFF102030u, 0xFF102034u});
    image::OptimizeBitmapSequence(apart);
    EXPECT_EQ(apart->frames[1].sameAs, nullptr);
}

TEST_F(SequenceTest, SavedSequencesReadBackFrameForFrameWithAndWithoutAnAtlas) {
    for (int order : {0, 1}) {
        for (int packing : {1, 0}) {
            rt().pixelByteOrder = order;
            rt().shared.atlasPacking = packing;
            VozerBitmap* s = sequenceOf({0xFF0000FFu, 0x8000FF00u, 0x00FF0000u, 0xFF0000FFu}, 7, 5);
            s->frames[3].frameNumber = 9;
            image::OptimizeBitmapSequence(s);
            const VozerHardwareData before = s->frames[0].hw;
            const std::string path = "res://anim" + std::to_string(order) + std::to_string(packing) + ".bms";
            ASSERT_TRUE(image::ZTI_SaveBitmapSequence(s, path.c_str()));
            EXPECT_EQ(std::memcmp(&before, &s->frames[0].hw, sizeof before), 0) << "saving leaves the live frames";

            VozerBitmap* back = sequence();
            ASSERT_TRUE(image::LoadBitmapSequence(back, path.c_str()));
            ASSERT_EQ(back->frameCount, 4);
            EXPECT_EQ(back->atlas != nullptr, packing == 1);
            for (int32_t i = 0; i < 4; ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(back->frames[i].width, 7);
                EXPECT_EQ(back->frames[i].height, 5);
                EXPECT_EQ(back->frames[i].frameNumber, i == 3 ? 9 : i);
                EXPECT_EQ(back->frames[i].framesPerSecond, 12.5f);
                EXPECT_EQ(frameRgba(back, i), rgbaOf(&s->frames[i]));
            }
            EXPECT_EQ(back->width, 7) << "frame 0 is selected";
        }
    }
}

TEST_F(SequenceTest, SavingRefusesWhatCannotBeWrittenAndMakesNoFile) {
    rt().shared.atlasPacking = 1;
    EXPECT_FALSE(image::ZTI_SaveBitmapSequence(sequence(), "res://empty.bms"));
    EXPECT_EQ(countIn("Popup", "ZTI_SaveBitmapSequence: trying to save invalid bitmap to 'res://empty.bms'."), 1u);

    // Frames too large for a 2048 atlas: no file.
    VozerBitmap* big = sequenceOf({1u, 2u}, 1500, 1500);
    EXPECT_FALSE(image::ZTI_SaveBitmapSequence(big, "res://big.bms"));
    EXPECT_EQ(countIn("Popup", "bitmaps didn't fit into atlas, not creating file 'res://big.bms'."), 1u);
    EXPECT_EQ(contents("res://big.bms"), "<none>");

    // A sameAs that points forward or at the frame itself names no earlier
    // image: the frame's own pixels are written instead.
    VozerBitmap* odd = sequenceOf({0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u});
    odd->frames[0].sameAs = &odd->frames[2];
    odd->frames[1].sameAs = &odd->frames[1];
    for (int packing : {1, 0}) {
        rt().shared.atlasPacking = packing;
        VozerBitmap* back = sequence();
        ASSERT_TRUE(read(back, fileOf(odd)));
        for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(frameRgba(back, i), rgbaOf(&odd->frames[i]));
    }
    odd->frames[0].sameAs = nullptr;
    odd->frames[1].sameAs = nullptr;

    // A frame that shares an image it cannot reach (no pixels of its own).
    std::free(odd->frames[1].pixels);
    odd->frames[1].pixels = nullptr;
    captured().clear();
    EXPECT_FALSE(image::ZTI_SaveBitmapSequence(odd, "res://odd.bms"));
    EXPECT_EQ(countIn("Popup", "trying to save invalid bitmap"), 1u);
}

TEST_F(SequenceTest, FilesThatLieAreRefusedWithTheSequenceLeftEmpty) {
    rt().shared.atlasPacking = 1;
    const Bytes atlasFile = fileOf(sequenceOf({0xFF0000FFu, 0xFF00FF00u}));
    rt().shared.atlasPacking = 0;
    const Bytes frameFile = fileOf(sequenceOf({0xFF0000FFu, 0xFF00FF00u}));
    const size_t atlasEntries = 13 + 4 + 4 + 12;  // where the ATLAS chunk's entries start

    // Every cut of either file fails cleanly (or, for an atlas cut only in
    // the PNG's unread tail, still loads), never reading past the data.
    for (const Bytes* file : {&atlasFile, &frameFile}) {
        for (size_t cut = 0; cut < file->size(); ++cut) {
            VozerBitmap* s = sequence();
            if (!read(s, Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(cut)))) {
                EXPECT_EQ(s->frames, nullptr);
                EXPECT_EQ(s->atlas, nullptr);
            }
        }
    }

    auto patched = [](Bytes file, size_t at, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    struct Case {
        Bytes file;
        const char* slot;
        const char* message;
    };
    const std::vector<Case> cases = {
        {patched(atlasFile, 0, {'Z', 'T', '-'}), "Popup", "Bad header in bitmap sequence 't.bms'"},
        {patched(atlasFile, 0, {'X'}), "Popup", "Bad header"},
        {patched(atlasFile, 13, {0, 0, 0, 0}), "Log", "claims 0 frames"},
        {patched(atlasFile, 13, {0xFF, 0xFF, 0xFF, 0x7F}), "Log", "claims 2147483647 frames"},
        {patched(atlasFile, 13, {200, 0, 0, 0}), "Log", "claims 200 frames"},
        {patched(atlasFile, 21, {'A', 'T', 'L', 'A', 'X'}), "Popup", "unimplemented chunk: 'ATLAX'"},
        {patched(atlasFile, atlasEntries, {0, 0, 0, 0x40}), "Log", "has a frame of"},
        {patched(atlasFile, atlasEntries + 16, {0, 0, 0x80, 0x7F}), "Log", "outside its atlas"},
        {patched(atlasFile, atlasEntries + 2 * 32, {'J', 'P', 'G'}), "Popup", "encoding: 'JPG'"},
        {patched(atlasFile, atlasEntries + 2 * 32 + 4, {0xFF, 0xFF, 0, 0}), "Log", "claims an atlas image of"},
        {patched(frameFile, 21, {'F', 'R', 'A', 'M', 'X'}), "Popup", "unimplemented chunk: 'FRAMX'"},
        {patched(frameFile, atlasEntries, {9}), "Log", "says 9x4 but holds 6x4"},
        {patched(frameFile, 13, {1}), "Log", "more frames than the 1 it claims"},
        {patched(frameFile, 13, {3}), "Log", "ends after 2 of its 3 frames"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        captured().clear();
        VozerBitmap* s = sequence();
        EXPECT_FALSE(read(s, c.file));
        EXPECT_EQ(s->frames, nullptr);
        EXPECT_EQ(s->atlas, nullptr);
        EXPECT_EQ(countIn(c.slot, c.message), 1u);
    }

    // A missing file fails quietly so that callers can try other names.
    captured().clear();
    EXPECT_FALSE(image::LoadBitmapSequence(sequence(), "res://missing.bms"));
    EXPECT_TRUE(texts("Popup").empty());
}

}  // namespace
}  // namespace vz::imagetest
