// The font and shader pools: counting, hibernation and misuse, the pool
// limits, loading and generating by name, and the glyph atlas's way to a
// renderer (packed once, released once, queued off the main thread).
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "api/threads.h"
#include "data/vudozar.h"
#include "font/font_atlas.h"
#include "font/shader_pool.h"
#include "resources/resource_queue.h"
#include "font_fixture.h"

namespace vz {
namespace {

using testing::TestFont;

// A font file of `glyphs` glyphs, each with a 3 x 4 image, under `name`.
void addFontFile(testing::ApiCapture& capture, const std::string& name, int32_t glyphs, int32_t height = 4) {
    TestFont f("source.mft", true, glyphs);
    for (int32_t i = 0; i < glyphs; ++i) {
        f[i].code = 'A' + i;
        f[i].advance = 4;
        testing::setImage(f[i], 3, 4, [i](int32_t x, int32_t) { return 0xFF000000u | static_cast<uint32_t>(i * 16 + x); });
    }
    f.font.height = height;
    f.font.lineHeight = height + 2;
    const std::vector<uint8_t> bytes = font::encodeFontFile(&f.font);
    capture.addFile(name, std::string(bytes.begin(), bytes.end()));
}

struct PoolTest : ::testing::Test {
    VozerProgramRecord program{};
    void SetUp() override {
        font::resetFontPool();
        resetShaderPool();
        rt().shared.program = nullptr;
        rt().shared.atlasPacking = 0;
        rt().pixelByteOrder = 1;
        recordMainThread();
    }
    void TearDown() override {
        font::resetFontPool();
        resetShaderPool();
        rt().shared.program = nullptr;
        rt().hibernateUnreferenced = false;
        rt().boot.manifest.clear();
    }
    void countingOn() {
        program.display.hibernateUnreferenced = 1;
        rt().shared.program = &program;
        rt().hibernateUnreferenced = true;  // as initialisation copies it
    }
};

TEST_F(PoolTest, CountingHibernationAndMisuse) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 3);
    countingOn();
    VozerEngineApi* a = api();
    VozerFont* f = a->LoadFont("fonts/a.mft");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(a->LoadFont("fonts/a.mft"), f);
    EXPECT_EQ(a->LoadFont("fonts/a.mft"), f);
    EXPECT_EQ(f->refCount, 3);
    EXPECT_EQ(f->glyphCount, 3);
    EXPECT_EQ(a->GetFont("fonts/a.mft"), f);
    EXPECT_EQ(f->refCount, 4);
    EXPECT_EQ(a->GetFont("fonts/a.mft"), f);
    EXPECT_EQ(f->refCount, 4);
    EXPECT_EQ(capture.countContaining("..caching font 'fonts/a.mft' "), 1u);

    for (int i = 0; i < 4; ++i) a->ReleaseFont(f);
    EXPECT_EQ(f->refCount, 0);
    EXPECT_EQ(capture.countContaining("Releasing font 'fonts/a.mft' too many times"), 1u);
    EXPECT_EQ(capture.countContaining("Hibernating Font 'fonts/a.mft'.."), 1u);
    // Hibernating keeps the glyphs: still drawable, counted again on request.
    EXPECT_EQ(f->glyphCount, 3);
    EXPECT_NE(f->glyphs[0].bitmap.pixels, nullptr);
    a->ReleaseFont(f);
    EXPECT_EQ(f->refCount, 0);
    EXPECT_EQ(capture.countContaining("Font 'fonts/a.mft' reference count less than zero."), 1u);
    EXPECT_EQ(a->LoadFont("fonts/a.mft"), f);
    EXPECT_EQ(f->refCount, 1);

    // Left referenced at exit: reported by name and released once.
    a->LoadFont("fonts/a.mft");
    font::releaseLeakedFonts();
    EXPECT_EQ(capture.countContaining("Font 'fonts/a.mft' Reference count 2 at exit, releasing..."), 1u);
    EXPECT_EQ(f->refCount, 0);

    a->ReleaseFont(nullptr);
    EXPECT_EQ(capture.countContaining("Trying to release a null font."), 1u);
    VozerFont stranger{};
    a->ReleaseFont(&stranger);
    EXPECT_EQ(capture.countContaining("Trying to release a font that is not loaded."), 1u);
}

TEST_F(PoolTest, WithoutCountingAReleaseFreesTheSlot) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 2);
    VozerEngineApi* a = api();
    VozerFont* f = a->GetFont("fonts/a.mft");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(font::fontsInUse(), 1);
    EXPECT_EQ(font::firstFontSlot(), f);
    a->ReleaseFont(f);
    EXPECT_EQ(font::fontsInUse(), 0);
    EXPECT_EQ(f->name, nullptr);
    EXPECT_EQ(f->glyphs, nullptr);
    EXPECT_EQ(font::firstFontSlot(), nullptr);
    EXPECT_EQ(capture.countContaining("Releasing font 'fonts/a.mft'..."), 1u);
    // A second release of the freed slot, and drawing with it, do nothing.
    a->ReleaseFont(f);
    EXPECT_EQ(a->DrawText(f, 0, 0, "A"), 0.0f);
    // The freed slot is the next one taken.
    EXPECT_EQ(a->GetFont("!NONE"), f);
}

TEST_F(PoolTest, ThePoolHolds32Fonts) {
    testing::ApiCapture capture;
    VozerEngineApi* a = api();
    std::vector<VozerFont*> fonts;
    for (int i = 0; i < 32; ++i) {
        const std::string name = "!NONE" + std::to_string(i);
        fonts.push_back(i % 2 ? a->GetFont(name.c_str()) : a->LoadFont(name.c_str()));
        ASSERT_NE(fonts.back(), nullptr) << i;
    }
    EXPECT_EQ(a->GetFont("one too many"), nullptr);
    EXPECT_EQ(a->LoadFont("one too many"), nullptr);
    EXPECT_EQ(capture.countContaining(" ! Vozer out of free fonts."), 2u);
    EXPECT_EQ(a->GetFont("!NONE7"), fonts[7]);
    EXPECT_EQ(capture.countContaining("Unable to load font"), 0u);
}

TEST_F(PoolTest, MissingFontsAreGeneratedOnceOrReported) {
    testing::ApiCapture capture;
    capture.addFile("fonts/DejaVuSans.ttf", testing::dejaVuSans());
    capture.addFile("fonts/gen.mft.xml",
                    testing::XML_PROLOG + "<vudozar><array id=\"settings\"><node id=\"INPUT\" ttf=\"fonts/DejaVuSans.ttf\" size_px=\"12\"/>"
                    "</array></vudozar>");
    VozerEngineApi* a = api();
    VozerFont* generated = a->GetFont("fonts/gen.mft");
    ASSERT_NE(generated, nullptr);
    EXPECT_EQ(generated->glyphCount, 95);
    EXPECT_EQ(generated->utf8, 1);
    // The game folder here takes no files: the save fails, the font stays.
    EXPECT_EQ(capture.countContaining("Failed to save font 'fonts/gen.mft'"), 1u);
    EXPECT_EQ(capture.countContaining("Unable to load font"), 0u);

    VozerFont* missing = a->GetFont("fonts/nothing.mft");
    ASSERT_NE(missing, nullptr);  // an empty font that draws nothing
    EXPECT_EQ(capture.countContaining("Unable to load font 'fonts/nothing.mft'."), 1u);
    EXPECT_EQ(capture.countContaining("failed: bad or unfound file"), 1u);
    EXPECT_EQ(a->DrawText(missing, 0, 0, "abc"), 0.0f);
}

TEST_F(PoolTest, TheManifestSetsTheDrawnHeight) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/tall.mft", 1, 16);
    const std::string xml = testing::XML_PROLOG + "<vudozar><array id=\"m\"><node id=\"fonts/tall.mft\" h=\"32\"/></array></vudozar>";
    std::unique_ptr<vudozar::Database> manifest = vudozar::LoadDatabaseFromMemory("m.xml", xml.data(), xml.size());
    rt().boot.manifest.push_back(vudozar::FindArray(manifest.get(), "m"));
    VozerFont* f = api()->GetFont("fonts/tall.mft");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->scale, 2.0f);
    EXPECT_EQ(f->height, 32);
    EXPECT_EQ(f->lineHeight, 36);
    EXPECT_EQ(capture.countContaining("(36px)"), 1u);
}

TEST_F(PoolTest, APackedAtlasIsUploadedOnceAndReleasedOnce) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 5);
    testing::RecordingRenderer renderer;
    rt().shared.atlasPacking = 1;
    VozerFont* f = api()->GetFont("fonts/a.mft");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(renderer.uploads.size(), 1u);
    EXPECT_EQ(renderer.uploads[0], &f->atlas);
    EXPECT_EQ(f->atlas.pixels, nullptr);  // the glyphs keep theirs; the atlas copy goes
    for (int32_t i = 0; i < 5; ++i) {
        const VozerBitmap& b = f->glyphs[i].bitmap;
        EXPECT_EQ(b.hw.texture, f->atlas.hw.texture);
        EXPECT_EQ(b.loadState, 3);
        EXPECT_TRUE(b.hw.hasTexture);
        EXPECT_LT(b.hw.uLeft, b.hw.uRight);
        if (i) {
            EXPECT_NE(b.hw.uLeft, f->glyphs[i - 1].bitmap.hw.uLeft);
        }
    }
    // A renderer restart rebuilds the atlas: the old texture goes first.
    font::recreateAllFontAtlases();
    EXPECT_EQ(renderer.uploads.size(), 2u);
    EXPECT_EQ(renderer.released, std::vector<uintptr_t>{1});
    api()->ReleaseFont(f);
    EXPECT_EQ(renderer.released, (std::vector<uintptr_t>{1, 2}));
}

TEST_F(PoolTest, UnpackedGlyphsHaveTexturesOfTheirOwn) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 3);
    testing::RecordingRenderer renderer;
    VozerFont* f = api()->LoadFont("fonts/a.mft");
    ASSERT_EQ(renderer.uploads.size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(renderer.uploads[static_cast<size_t>(i)], &f->glyphs[i].bitmap);
        EXPECT_EQ(f->glyphs[i].bitmap.packMode, VZ_PAD_TRANSPARENT);
        EXPECT_EQ(f->glyphs[i].bitmap.loadState, 3);
    }
    font::releaseAllFontTextures();
    EXPECT_EQ(renderer.released, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_FALSE(f->glyphs[0].bitmap.hw.hasTexture);
    api()->ReleaseFont(f);
    EXPECT_EQ(renderer.released.size(), 3u);  // nothing left to release twice
}

TEST_F(PoolTest, WorkerThreadsQueueTheirUploads) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 2);
    testing::RecordingRenderer renderer;
    rt().shared.atlasPacking = 1;
    VozerFont* f = nullptr;
    std::thread worker([&] {
        f = api()->LoadFont("fonts/a.mft");
        font::QueueFontUpload(f);  // a second request is not queued twice
    });
    worker.join();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(renderer.uploads.empty());
    EXPECT_EQ(capture.countContaining("Font 'fonts/a.mft' already exists in upload queue, not adding twice."), 1u);
    api()->GetTime = [] { return 0u; };
    serviceResourceQueues();
    ASSERT_EQ(renderer.uploads.size(), 1u);
    EXPECT_EQ(f->glyphs[1].bitmap.loadState, 3);
    serviceResourceQueues();
    EXPECT_EQ(renderer.uploads.size(), 1u);

    // Textures released off the main thread wait for the next frame.
    std::thread releaser([&] { api()->ReleaseFont(f); });
    releaser.join();
    EXPECT_TRUE(renderer.released.empty());
    serviceResourceQueues();
    EXPECT_EQ(renderer.released.size(), 1u);
}

TEST_F(PoolTest, GlyphPixelsFollowTheRenderersByteOrder) {
    testing::ApiCapture capture;
    addFontFile(capture, "fonts/a.mft", 1);
    VozerFont* f = api()->GetFont("fonts/a.mft");
    const uint32_t before = f->glyphs[0].bitmap.pixels[1];
    rt().pixelByteOrder = 0;
    api()->RecreateFontAtlas(f);
    EXPECT_EQ(f->glyphs[0].bitmap.pixels[1], font::swapRedBlue(before));
    rt().pixelByteOrder = 1;
}

TEST_F(PoolTest, Shaders) {
    testing::ApiCapture capture;
    testing::RecordingRenderer renderer;
    const VozerShaderApi* s = api()->shaders;
    VozerShader* none = s->GetShader(nullptr);
    ASSERT_NE(none, nullptr);
    auto* record = reinterpret_cast<VozerShaderRecord*>(none);
    EXPECT_STREQ(record->name, "!NONE");
    EXPECT_EQ(record->loaded, 1);
    EXPECT_EQ(record->kind, 0);
    EXPECT_EQ(s->GetShader("!NONE"), none);
    auto* dot3 = reinterpret_cast<VozerShaderRecord*>(s->GetShader("!DOT3_DIRECTIONAL"));
    EXPECT_EQ(dot3->kind, 1);
    EXPECT_EQ(renderer.cached.size(), 2u);
    for (int i = 2; i < 32; ++i) ASSERT_NE(s->GetShader(("shader" + std::to_string(i)).c_str()), nullptr);
    EXPECT_EQ(s->GetShader("one too many"), nullptr);
    EXPECT_EQ(capture.countContaining(" ! Vozer out of free shaders."), 1u);

    const float value = 0.25f;
    s->SetShaderParam(none, 23, &value);
    EXPECT_EQ(record->parameters[23], 0.25f);
    s->SetShaderParam(none, 24, &value);
    s->SetShaderParam(none, -1, &value);
    VozerShaderRecord stranger{};
    s->SetShaderParam(reinterpret_cast<VozerShader*>(&stranger), 0, &value);
    EXPECT_EQ(stranger.parameters[0], 0.0f);
    EXPECT_EQ(capture.countContaining("refused"), 3u);
    s->SetShader(none);
    EXPECT_EQ(rt().shared.currentShader, record);
    s->SetShader(nullptr);
    EXPECT_EQ(rt().shared.currentShader, nullptr);
}

}  // namespace
}  // namespace vz
