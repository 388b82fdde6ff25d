// The end of a run over a real headless renderer and real pools: what is
// still held is reported by name and count and released once, the Program is
// asked to shut down only after a good Init and a fault in its Shutdown does
// not stop the rest, and a bound render target or a lost renderer neither
// hold up the shutdown nor leave a texture behind.
#include <atomic>
#include <chrono>

#include "../resources/render_fixture.h"
#include "api/draw_state.h"
#include "ext/extensions.h"
#include "image/image_loader.h"
#include "resources/sound_pool.h"
#include "resources/usage_report.h"

namespace vz::test {
namespace {

int& shutdownCalls() {
    static int calls = 0;
    return calls;
}
void VZ_CDECL countingShutdown() { ++shutdownCalls(); }
// A real fault, not one the sanitizers stop first.
__attribute__((no_sanitize("address", "undefined"))) void VZ_CDECL crashingShutdown() {
    ++shutdownCalls();
    *static_cast<volatile int*>(nullptr) = 1;
}

class Shutdown : public RenderFixture {
protected:
    void SetUp() override {
        RenderFixture::SetUp();
        sound::resetPool();
        shutdownCalls() = 0;
        renderer_ = rt().renderer;
        installUsageReportHooks();
    }

    // shutdown() unbinds the renderer (the fixture keeps its library loaded)
    // and destroys the engine mutexes; what is left is the fixture's own.
    void TearDown() override {
        removeUsageReportHooks();
        sound::resetPool();
        clearBitmapPool();
        renderer_->ops->Extension(renderer_, "Journal", "Stop");
        rt().renderer = nullptr;
        platform::freeLibrary(library_);
        fs::clearSearchPaths();
        resetRuntimeState();
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }

    // Run the shutdown; the textures the renderer still holds afterwards.
    std::string shutDown() {
        shutdown();
        const char* live = renderer_->ops->Extension(renderer_, "Journal", "Textures");
        return live ? std::string(live).substr(0, 7) : std::string();
    }

    // A PNG below res:// written by the runtime's own encoder.
    bool writePng(const std::string& relative, int32_t width, int32_t height) {
        VozerBitmap source{};
        image::allocateImagePixels(&source, width, height);
        std::memset(source.pixels, 0x7f, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        platform::createDirectory((res_ + "/" + relative.substr(0, relative.rfind('/'))).c_str(), false);
        const bool saved = image::saveImage(&source, (res_ + "/" + relative).c_str(), 0);
        image::freeImagePixels(&source);
        return saved;
    }

    VozerRendImp* renderer_ = nullptr;
};

class ShutdownWithoutCounting : public Shutdown {
protected:
    bool hibernates() const override { return false; }
};

TEST_F(Shutdown, LeaksAreReportedByNameAndCountAndReleasedOnce) {
    ASSERT_TRUE(writePng("leaked/three.png", 32, 32));
    VozerBitmap* held = zt->LoadBitmap("leaked/three", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE);
    ASSERT_NE(held, nullptr);
    ASSERT_NE(held->pixels, nullptr);
    zt->LoadBitmap("leaked/three", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE);  // every LoadBitmap counts
    zt->LoadBitmap("leaked/three", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE);
    ASSERT_EQ(held->refCount, 3);
    VozerBitmap* returned = solidBitmap("returned", 8, 8, 0);
    zt->ReleaseBitmap(returned);
    VozerSound* sound = zt->LoadSound("sfx/leaked");
    zt->LoadSound("sfx/leaked");
    ASSERT_EQ(sound->refCount, 2);
    program.Shutdown = countingShutdown;
    rt().programInitialised = true;

    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_EQ(shutdownCalls(), 1);
    const std::vector<std::string>& logs = messages().logs;
    EXPECT_EQ(countContaining(logs, "1: Bitmap 'leaked/three' Reference count 3 at exit, releasing..."), 1u);
    EXPECT_EQ(countContaining(logs, "1: Sound 'sfx/leaked' Reference count 2 at exit, releasing..."), 1u);
    EXPECT_EQ(countContaining(logs, "at exit"), 2u) << "a bitmap given back is not a leak";
    EXPECT_EQ(held->refCount, 0);
    EXPECT_EQ(held->pixels, nullptr) << "released once: hibernating, name kept";
    EXPECT_STREQ(held->name, "leaked/three");
    EXPECT_EQ(sound->refCount, 0);
    EXPECT_EQ(countContaining(messages().popups, "less than zero"), 0u);
    EXPECT_EQ(countContaining(messages().popups, "too many times"), 0u);
    EXPECT_EQ(ext::serviceHooks().listResourceUsage, nullptr);
    // The designed order of the steps.
    const char* order[] = {"VOZER Shutdown.", "Waiting for threads to exit... (0 threads)", "Bitmap 'leaked/three'",
                           "Releasing Input Implementations.", "Releasing sounds.", "Sound 'sfx/leaked'",
                           "Releasing fonts.", "Releasing Sound Implementation.", "Vozer RendImp Shutdown.",
                           "Closing File Openers..."};
    size_t at = 0;
    for (const char* step : order) {
        while (at < logs.size() && logs[at].find(step) == std::string::npos) ++at;
        EXPECT_LT(at, logs.size()) << "missing or out of order: " << step;
    }
}

TEST_F(ShutdownWithoutCounting, EverythingNamedIsFreedWithoutAWord) {
    VozerBitmap* bitmap = solidBitmap("kept", 16, 16, 0);
    VozerSound* sound = zt->LoadSound("sfx/kept");
    ASSERT_TRUE(bitmap && sound);
    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_EQ(countContaining(messages().logs, "at exit"), 0u);
    EXPECT_EQ(bitmap->name, nullptr);
    EXPECT_EQ(sound->name, nullptr);
}

TEST_F(Shutdown, AProgramWhoseInitFailedIsNotAskedToShutDown) {
    program.Shutdown = countingShutdown;
    rt().programInitialised = false;
    shutDown();
    EXPECT_EQ(shutdownCalls(), 0);
}

TEST_F(Shutdown, AFaultInTheProgramsShutdownDoesNotStopTheRest) {
    VozerBitmap* held = solidBitmap("held", 16, 16, 0);
    ASSERT_NE(held, nullptr);
    program.Shutdown = crashingShutdown;
    rt().programInitialised = true;
    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_EQ(shutdownCalls(), 1);
    const std::vector<std::string>& logs = messages().logs;
    EXPECT_EQ(countContaining(logs, "2: Program crashed in its Shutdown"), 1u);
    EXPECT_EQ(countContaining(logs, "Bitmap 'held' Reference count 1 at exit, releasing..."), 1u);
    EXPECT_EQ(countContaining(logs, "Closing File Openers..."), 1u);
}

TEST_F(Shutdown, ABoundRenderTargetIsLeftBeforeItsBitmapGoes) {
    VozerBitmap* target = zt->CreateBitmap("canvas", 64, 64, 1);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(zt->PushRenderTarget(target));
    ASSERT_EQ(currentRenderTarget(), target);
    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_EQ(currentRenderTarget(), nullptr);
    EXPECT_EQ(countContaining(messages().popups, "render target"), 0u) << "an exit is no misuse to pop up";
    EXPECT_EQ(countContaining(messages().logs, "Bitmap 'canvas' Reference count 1 at exit"), 1u);
}

TEST_F(Shutdown, ALostDeviceLeavesTheTexturesToTheRenderersShutdown) {
    for (const char* name : {"a", "b", "c"}) ASSERT_NE(solidBitmap(name, 16, 16, 0), nullptr);
    rt().rendererReady = false;
    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_EQ(countContaining(messages().logs, "Reference count 1 at exit"), 3u);
}

TEST_F(Shutdown, WithoutARendererNothingWaitsForOne) {
    for (const char* name : {"d", "e"}) ASSERT_NE(solidBitmap(name, 16, 16, 0), nullptr);
    rt().renderer = nullptr;  // a re-initialisation that failed for good
    const auto began = std::chrono::steady_clock::now();
    shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(900));
    EXPECT_EQ(countContaining(messages().logs, "Reference count 1 at exit"), 2u);
    EXPECT_EQ(countContaining(messages().logs, "Renderer implementation lost"), 0u);
    renderer_->ops->Shutdown(renderer_);  // the textures go with the renderer
}

struct Loader {
    std::atomic<int> loads{0};
    std::atomic<bool> done{false};
};

void VZ_CDECL loadUntilQuit(void* argument) {
    auto* loader = static_cast<Loader*>(argument);
    while (!rt().quitRequested) {
        api()->LoadBitmap("worker/tile", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE);  // its upload is queued
        ++loader->loads;
        api()->Sleep(2);
    }
    loader->done = true;
}

TEST_F(Shutdown, AWorkerStillLoadingStopsFirstAndItsBitmapsAreReleasedOnce) {
    ASSERT_TRUE(writePng("worker/tile.png", 16, 16));
    Loader loader;
    ASSERT_NE(zt->CreateThread("loader", loadUntilQuit, &loader, 0), nullptr);
    while (loader.loads < 3) zt->Sleep(1);
    EXPECT_EQ(shutDown(), "live 0 ");
    EXPECT_TRUE(loader.done);
    EXPECT_EQ(countContaining(messages().logs, "Time out"), 0u);
    EXPECT_EQ(countContaining(messages().logs, "Bitmap 'worker/tile' Reference count "), 1u);
}

}  // namespace
}  // namespace vz::test
