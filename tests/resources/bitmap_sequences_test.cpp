// Bitmap sequences through the bitmap manager: a name that finds a ".bms"
// file or a numbered '*' pattern loads every frame, the atlas is uploaded
// once and shared, SetBitmapFrame selects frames, and a hibernated sequence
// comes back whole.
#include <cstdlib>
#include <cstring>

#include "data/vudozar.h"
#include "image/bitmap_sequence.h"
#include "image/image_loader.h"
#include "render_fixture.h"

namespace vz {
namespace {

using test::countContaining;
using test::messages;

class Sequences : public test::RenderFixture {
protected:
    void writeResFile(const char* name, const std::string& bytes) {
        std::FILE* out = std::fopen((res_ + "/" + name).c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }

    // Frames of one colour each, 8 x 6 pixels, saved as res://<name>.
    void saveSequence(const char* name, const std::vector<uint32_t>& colours, bool atlas) {
        VozerBitmap sequence{};
        sequence.name = const_cast<char*>(name);
        sequence.frames = static_cast<VozerBitmap*>(std::calloc(colours.size(), sizeof(VozerBitmap)));
        sequence.frameCount = static_cast<int32_t>(colours.size());
        for (size_t i = 0; i < colours.size(); ++i) {
            VozerBitmap& f = sequence.frames[i];
            image::allocateImagePixels(&f, 8, 6);
            for (int32_t p = 0; p < 48; ++p) f.pixels[p] = colours[i];
            f.frameNumber = static_cast<int32_t>(i) * 2;
            f.framesPerSecond = 10.0f;
        }
        image::OptimizeBitmapSequence(&sequence);
        const vz_bool packing = rt().shared.atlasPacking;
        rt().shared.atlasPacking = atlas ? 1 : 0;
        ASSERT_TRUE(image::ZTI_SaveBitmapSequence(&sequence, (std::string("res://") + name).c_str()));
        rt().shared.atlasPacking = packing;
        image::freeSequence(&sequence);
    }
};

TEST_F(Sequences, ABmsFileLoadsEveryFrameAndSharesOneAtlasTexture) {
    saveSequence("anim.bms", {0xFF0000FFu, 0xFF00FF00u, 0xFF0000FFu}, true);
    VozerBitmap* anim = zt->LoadBitmap("anim", VZ_CACHE_HARDWARE);
    ASSERT_NE(anim, nullptr);
    EXPECT_STREQ(anim->sourceFile, "anim.bms");
    ASSERT_EQ(anim->frameCount, 3);
    ASSERT_NE(anim->atlas, nullptr);
    EXPECT_TRUE(anim->atlas->hw.hasTexture);
    for (int32_t i = 0; i < 3; ++i) {
        const VozerBitmap& f = anim->frames[i];
        EXPECT_EQ(f.loadState, 3);
        EXPECT_EQ(f.frameNumber, i * 2);
        EXPECT_TRUE(f.hw.hasTexture);
        EXPECT_EQ(f.hw.texture, anim->atlas->hw.texture) << "one texture for every frame";
    }
    // Frames 0 and 2 are one image: one place in the atlas.
    EXPECT_EQ(anim->frames[2].hw.uLeft, anim->frames[0].hw.uLeft);
    EXPECT_NE(anim->frames[1].hw.uLeft + anim->frames[1].hw.vTop, anim->frames[0].hw.uLeft + anim->frames[0].hw.vTop);

    zt->SetBitmapFrame(anim, 1);
    EXPECT_EQ(anim->hw.uLeft, anim->frames[1].hw.uLeft);
    EXPECT_EQ(anim->hw.vTop, anim->frames[1].hw.vTop);
    EXPECT_EQ(anim->width, 8);
    zt->SetBitmapFrame(anim, 4);  // wraps around
    EXPECT_EQ(anim->frameNumber, 1);
    zt->SetBitmapFrame(anim, -3);  // negative selects the first
    EXPECT_EQ(anim->frameNumber, 0);

    // Released to zero the sequence hibernates without frames or texture;
    // the next request brings all of it back.
    zt->ReleaseBitmap(anim);
    EXPECT_EQ(anim->frames, nullptr);
    EXPECT_EQ(anim->atlas, nullptr);
    VozerBitmap* again = zt->LoadBitmap("anim", VZ_CACHE_HARDWARE);
    EXPECT_EQ(again, anim);
    EXPECT_EQ(again->frameCount, 3);
    EXPECT_TRUE(again->hw.hasTexture);
    zt->ReleaseBitmap(again);
}

TEST_F(Sequences, NumberedFilesAndFrameByFrameFilesLoadThroughTheManager) {
    VozerBitmap colour{};
    image::allocateImagePixels(&colour, 4, 4);
    for (const char* file : {"walk0000.png", "walk0001.png", "walk0003.png"})
        ASSERT_TRUE(image::saveImage(&colour, (res_ + "/" + file).c_str(), 0));
    image::freeImagePixels(&colour);
    VozerBitmap* walk = zt->LoadBitmap("walk*.png", VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
    ASSERT_NE(walk, nullptr);
    ASSERT_EQ(walk->frameCount, 3);
    EXPECT_EQ(walk->frames[2].frameNumber, 3);
    EXPECT_EQ(walk->atlas, nullptr);
    for (int32_t i = 0; i < 3; ++i) EXPECT_TRUE(walk->frames[i].hw.hasTexture) << "each frame its own texture";
    zt->ReleaseBitmap(walk);
    // The base name alone finds them too, as that pattern.
    VozerBitmap* byName = zt->LoadBitmap("walk", VZ_CACHE_HARDWARE);
    ASSERT_NE(byName, nullptr);
    EXPECT_STREQ(byName->sourceFile, "walk*.png");
    EXPECT_EQ(byName->frameCount, 3);
    zt->ReleaseBitmap(byName);

    saveSequence("steps.bms", {0xFF0000FFu, 0xFF00FF00u}, false);
    VozerBitmap* steps = zt->LoadBitmap("steps", VZ_CACHE_HARDWARE);
    ASSERT_EQ(steps->frameCount, 2);
    EXPECT_EQ(steps->atlas, nullptr);
    EXPECT_TRUE(steps->frames[1].hw.hasTexture);
    zt->ReleaseBitmap(steps);

    // A broken file: the record is ready without frames, and the game is told.
    writeResFile("broken.bms", "ZT_Bm_Seq_v1");
    VozerBitmap* broken = zt->LoadBitmap("broken", VZ_CACHE_HARDWARE);
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->frames, nullptr);
    EXPECT_EQ(countContaining(messages().popups, "Unable to load bitmap 'broken'."), 1u);
    zt->ReleaseBitmap(broken);
}

TEST_F(Sequences, ADescriptionScalesEveryFrameOfABmsToItsHeight) {
    saveSequence("big.bms", {0xFF0000FFu, 0xFF00FF00u}, true);
    const char manifest[] =
        "<?xml version=\"1.0\"?>\n<vudozar>\n<array id=\"M\">\n"
        "<node id=\"big.bms\" h=\"24\" />\n"
        "</array>\n</vudozar>\n";
    auto database = vudozar::LoadDatabaseFromMemory("manifest", manifest, sizeof manifest - 1);
    rt().boot.manifest.push_back(vudozar::FindArray(database.get(), "M"));
    VozerBitmap* big = zt->LoadBitmap("big.bms", VZ_CACHE_HARDWARE);
    ASSERT_EQ(big->frameCount, 2);
    EXPECT_EQ(big->frames[1].width, 32) << "8 x 24/6";
    EXPECT_EQ(big->frames[1].height, 24);
    EXPECT_EQ(big->frames[1].dataWidth, 8);
    EXPECT_EQ(big->height, 24);
    zt->ReleaseBitmap(big);
    rt().boot.manifest.clear();
}

// A renderer restart (a mode change, device loss) takes every texture. The
// sequences dropped their pixels after the upload (the default mode), so they
// are read again from their files: numbered frames found by the base name, a
// .bms with one atlas and one stored frame by frame all come back whole, the
// shown frame kept. Asking a sequence for its pixels later brings them back
// too, without keeping the old textures alive.
TEST_F(Sequences, EverySequenceComesBackAfterARendererRestart) {
    const uint32_t colours[] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u};
    for (int i = 0; i < 3; ++i) {
        VozerBitmap frame{};
        image::allocateImagePixels(&frame, 4, 4);
        for (int32_t p = 0; p < 16; ++p) frame.pixels[p] = colours[i];
        char file[64];
        std::snprintf(file, sizeof file, "%s/walk%04d.png", res_.c_str(), i);
        ASSERT_TRUE(image::saveImage(&frame, file, 0));
        image::freeImagePixels(&frame);
    }
    saveSequence("anim.bms", {0xFF0000FFu, 0xFF00FF00u, 0xFF0000FFu}, true);
    saveSequence("steps.bms", {0xFF0000FFu, 0xFF00FF00u}, false);

    VozerBitmap* walk = zt->GetBitmap("walk");
    VozerBitmap* anim = zt->GetBitmap("anim");
    VozerBitmap* steps = zt->GetBitmap("steps");
    ASSERT_NE(walk, nullptr);
    ASSERT_EQ(walk->frameCount, 3);
    ASSERT_EQ(anim->frameCount, 3);
    ASSERT_NE(anim->atlas, nullptr);
    ASSERT_EQ(steps->frameCount, 2);
    zt->SetBitmapFrame(walk, 2);
    for (VozerBitmap* b : {walk, anim, steps}) EXPECT_EQ(b->pixels, nullptr) << b->name << ": texture only";
    EXPECT_EQ(anim->atlas->pixels, nullptr);
    const std::string before = extension("Journal", "Textures");

    shutdownRenderer();
    journal();
    ASSERT_TRUE(initialiseRenderer());
    const auto lines = journal();
    EXPECT_EQ(countContaining(messages().popups, "has no pixels"), 0u);
    EXPECT_EQ(countContaining(messages().logs, "Unable to upload"), 0u);
    EXPECT_EQ(countContaining(lines, "upload anim.bms"), 1u) << "one atlas upload for the .bms";
    EXPECT_EQ(countContaining(lines, "upload walk000"), 3u);
    for (VozerBitmap* b : {walk, anim, steps}) {
        for (int32_t i = 0; i < b->frameCount; ++i)
            EXPECT_TRUE(b->frames[i].hw.hasTexture) << b->name << " frame " << i;
        EXPECT_TRUE(b->hw.hasTexture) << b->name;
        EXPECT_EQ(b->pixels, nullptr) << b->name << ": texture only again";
    }
    EXPECT_EQ(anim->frames[1].hw.texture, anim->atlas->hw.texture);
    const std::string textures = extension("Journal", "Textures");
    EXPECT_EQ(textures.substr(0, textures.find(" uploads")), before.substr(0, before.find(" uploads")))
        << "as many textures alive as before";

    // Texture only, then texture and pixels: the frames' pixels come back.
    zt->SetBitmapFrame(walk, 1);
    zt->SetBitmapCacheMode(walk, VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
    ASSERT_EQ(walk->frameCount, 3);
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_NE(walk->frames[i].pixels, nullptr) << i;
        EXPECT_EQ(walk->frames[i].pixels[5], colours[i]) << i;
        EXPECT_TRUE(walk->frames[i].hw.hasTexture) << i;
    }
    EXPECT_EQ(walk->frameNumber, 1) << "the shown frame stays";
    EXPECT_EQ(walk->pixels, walk->frames[1].pixels);
    zt->SetBitmapCacheMode(anim, VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
    ASSERT_NE(anim->atlas, nullptr);
    EXPECT_NE(anim->atlas->pixels, nullptr);
    EXPECT_TRUE(anim->frames[2].hw.hasTexture);
    const std::string after = extension("Journal", "Textures");
    EXPECT_EQ(after.substr(0, after.find(" uploads")), before.substr(0, before.find(" uploads")))
        << "the old textures went back";
    for (VozerBitmap* b : {walk, anim, steps}) zt->ReleaseBitmap(b);
}

}  // namespace
}  // namespace vz
