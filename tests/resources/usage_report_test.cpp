// The resource usage report over real pools: bitmaps made and uploaded
// through the headless renderer, sounds whose implementation word says their
// size, and the extension functions that reach the report.
#include <algorithm>
#include <cstdio>

#include "ext/extensions.h"
#include "render_fixture.h"
#include "resources/sound_pool.h"
#include "resources/usage_report.h"

namespace vz::test {
namespace {

class UsageReport : public RenderFixture {
protected:
    void SetUp() override {
        RenderFixture::SetUp();
        sound::resetPool();
        installUsageReportHooks();
    }
    void TearDown() override {
        removeUsageReportHooks();
        sound::resetPool();
        RenderFixture::TearDown();
    }

    // A pooled sound whose implementation says it holds `bytes` (the null
    // implementation loads nothing; the record stays, named and counted).
    VozerSound* soundOf(const char* name, int32_t bytes) {
        VozerSound* sound = zt->LoadSound(name);
        if (sound) sound->dataSize = bytes;
        return sound;
    }

    std::vector<std::string> report() {
        messages().logs.clear();
        zt->CallExtension("ListResourceUsage", nullptr);
        return messages().logs;
    }

    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(UsageReport, ListsEachKindWithItsEstimatesAndTotals) {
    VozerBitmap* uploaded = solidBitmap("ui/panel", 100, 50, 0xFF00FF00u);  // pixels and a texture
    ASSERT_NE(uploaded, nullptr);
    const VozerHardwareData& hw = uploaded->hw;
    ASSERT_TRUE(hw.hasTexture);
    VozerBitmap* hibernating = zt->LoadBitmap("ui/gone", VZ_CACHE_HARDWARE);  // no such file: ready, no data
    ASSERT_NE(hibernating, nullptr);
    zt->ReleaseBitmap(hibernating);  // counting on: hibernating, name kept
    ASSERT_NE(hibernating->name, nullptr);
    ASSERT_NE(soundOf("sfx/exact", 4194304), nullptr);
    ASSERT_NE(soundOf("music/long", 4194305), nullptr);

    const std::vector<std::string> lines = report();

    char expected[256];
    const float gpuKb = static_cast<float>(hw.textureWidth * hw.textureHeight * 4) / 1024.0f;
    std::snprintf(expected, sizeof expected,
                  "0: Bitmap #000 100x50 'ui/panel' refc=1 sysmem=19.5KB gpumem=%.1fKB texture=%dx%d", gpuKb,
                  hw.textureWidth, hw.textureHeight);
    EXPECT_TRUE(has(lines, expected)) << expected;
    std::snprintf(expected, sizeof expected, "0: Bitmap #001 %dx%d 'ui/gone' refc=0 gpumem=0.0KB  texture=%dx%d",
                  hibernating->width, hibernating->height, hibernating->hw.textureWidth, hibernating->hw.textureHeight);
    EXPECT_TRUE(has(lines, expected)) << expected;
    EXPECT_TRUE(has(lines, "0: Sound #000 'sfx/exact' sysmem=4096.0KB"));
    EXPECT_TRUE(has(lines, "0: Sound #001 'music/long' sysmem=4096.0KB"));
    EXPECT_TRUE(has(lines, "0: Assuming Sound #001 'music/long' is music and not counting its memory"));
    EXPECT_EQ(countContaining(lines, "is music"), 1u);

    std::snprintf(expected, sizeof expected, "3: Total %.1fKB allocated for bitmaps in (system+gpu) memory.",
                  19.53125f + gpuKb);
    EXPECT_TRUE(has(lines, expected)) << expected;
    EXPECT_TRUE(has(lines, "3: Total 4096.0KB allocated for sounds in system memory."));
    EXPECT_TRUE(has(lines, "3: Total 0.0KB allocated for fonts in (system+gpu) memory."));
    std::snprintf(expected, sizeof expected, "3: Total %.1fKB allocated for all resources.",
                  19.53125f + gpuKb + 4096.0f);
    EXPECT_TRUE(has(lines, expected)) << expected;
    EXPECT_EQ(countContaining(lines, "3: VOZER state size is "), 1u);

    // Hogs: the uploaded bitmap and both sounds (music at 0), the largest
    // first; the hibernating bitmap is not uploaded and is no hog.
    const auto heading = std::find(lines.begin(), lines.end(), "0: TOP3 Memory Hogs");
    ASSERT_NE(heading, lines.end());
    ASSERT_EQ(lines.end() - heading, 4);
    EXPECT_EQ(heading[1], "0: #001 SND 4096KB sfx/exact");
    std::snprintf(expected, sizeof expected, "0: #002 GFX %.0fKB 100x50 ui/panel", 19.53125f + gpuKb);
    EXPECT_EQ(heading[2], expected);
    EXPECT_EQ(heading[3], "0: #003 SND 0KB music/long");

    // The same figures feed the memory overlay's engine values.
    zt->CallExtension("RefreshMemUsageEstimates", nullptr);
    EXPECT_FLOAT_EQ(zt->GetAxis(2001 + ESTIMATE_GPU), gpuKb * 1024.0f);
    EXPECT_FLOAT_EQ(zt->GetAxis(2001 + ESTIMATE_GPU_NPOT), 100.0f * 50.0f * 4.0f);
    EXPECT_FLOAT_EQ(zt->GetAxis(2001 + ESTIMATE_SYSTEM), 100.0f * 50.0f * 4.0f);
    EXPECT_FLOAT_EQ(zt->GetAxis(2001 + ESTIMATE_SOUNDS), 4194304.0f);
    EXPECT_FLOAT_EQ(zt->GetAxis(2001 + ESTIMATE_TOTAL), gpuKb * 1024.0f + 20000.0f + 4194304.0f);
    zt->ReleaseBitmap(uploaded);
}

TEST_F(UsageReport, TheHogListStopsAtFiftyAndOnlyUploadedBitmapsEnterIt) {
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "tile%02d", i);
        ASSERT_NE(solidBitmap(name, 8 + i, 8, 0xFFFFFFFFu), nullptr);
    }
    VozerBitmap* pixelsOnly = zt->CreateBitmap("pixels/only", 500, 500, 0);
    ASSERT_NE(pixelsOnly, nullptr);
    zt->SetBitmapCacheMode(pixelsOnly, VZ_CACHE_SYSTEM);  // no texture: listed and counted, not a hog
    ASSERT_FALSE(pixelsOnly->hw.hasTexture);

    const std::vector<std::string> lines = report();
    char expected[160];
    std::snprintf(expected, sizeof expected, "0: Bitmap #060 500x500 'pixels/only' refc=1 sysmem=976.6KB gpumem=0.0KB texture=%dx%d",
                  pixelsOnly->hw.textureWidth, pixelsOnly->hw.textureHeight);
    EXPECT_TRUE(has(lines, expected)) << expected;
    const auto heading = std::find(lines.begin(), lines.end(), "0: TOP50 Memory Hogs");
    ASSERT_NE(heading, lines.end());
    ASSERT_EQ(lines.end() - heading, 51);
    EXPECT_EQ(heading[1].substr(0, 8), "0: #001 ");
    EXPECT_NE(heading[1].find(" tile59"), std::string::npos) << "the widest tile is the largest";
    EXPECT_EQ(heading[50].substr(0, 8), "0: #050 ");
    EXPECT_EQ(countContaining(lines, "pixels/only"), 1u);
}

TEST_F(UsageReport, EmptyPoolsGiveHeadingsAndZeroTotalsAndTheHooksGoAtShutdown) {
    const std::vector<std::string> lines = report();
    const std::vector<std::string> expected = {
        "3: Listing Resource Usage.",
        "3: \nBitmaps:",
        "3: \nSounds:",
        "3: \nFonts:",
        "3: Total 0.0KB allocated for bitmaps in (system+gpu) memory.",
        "3: Total 0.0KB allocated for sounds in system memory.",
        "3: Total 0.0KB allocated for fonts in (system+gpu) memory.",
        "3: Total 0.0KB allocated for all resources.",
    };
    ASSERT_GE(lines.size(), expected.size() + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 8), expected);
    EXPECT_EQ(lines.back(), "0: TOP0 Memory Hogs");

    removeUsageReportHooks();
    EXPECT_EQ(ext::serviceHooks().listResourceUsage, nullptr);
    EXPECT_EQ(ext::serviceHooks().estimateMemoryUsage, nullptr);
}

}  // namespace
}  // namespace vz::test
