// The bitmap manager and the resource queues, end to end through the engine
// API and the headless renderer library.
#include <algorithm>
#include <map>
#include <thread>

#include "../fs/loopback_server.h"
#include "data/vudozar.h"
#include "fs/http_client.h"
#include "image/image_loader.h"
#include "render_fixture.h"

namespace vz {
namespace {

using test::countContaining;
using test::messages;

class Bitmaps : public test::RenderFixture {
protected:
    void writeRes(const std::string& relative, const std::string& bytes) {
        const std::string path = res_ + "/" + relative;
        for (size_t i = 1; i < path.size(); ++i)
            if (path[i] == '/') platform::createDirectory(path.substr(0, i).c_str(), false);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }

    // A PNG below res:// written by the runtime's own encoder; true when this
    // build can also decode it again.
    bool writePng(const std::string& relative, int32_t width, int32_t height, uint32_t color) {
        VozerBitmap source{};
        image::allocateImagePixels(&source, width, height);
        for (int32_t i = 0; i < width * height; ++i) source.pixels[i] = color;
        const std::string path = res_ + "/" + relative;
        for (size_t i = 1; i < path.size(); ++i)
            if (path[i] == '/') platform::createDirectory(path.substr(0, i).c_str(), false);
        const bool saved = image::saveImage(&source, path.c_str(), 0);
        image::freeImagePixels(&source);
        VozerBitmap probe{};
        const bool decodes = saved && image::loadImage(&probe, ("res://" + relative).c_str()) && probe.pixels;
        image::freeImagePixels(&probe);
        return decodes;
    }

    size_t popupsWith(const std::string& part) { return countContaining(messages().popups, part); }
    size_t logsWith(const std::string& part) { return countContaining(messages().logs, part); }
};

TEST_F(Bitmaps, CountsHibernateAndReloadInTheSameSlot) {
    VozerBitmap* button = zt->LoadBitmap("ui/button", VZ_CACHE_HARDWARE);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(zt->LoadBitmap("ui/button", VZ_CACHE_HARDWARE), button);
    EXPECT_EQ(button->refCount, 2);
    EXPECT_EQ(popupsWith("Unable to load bitmap 'ui/button'."), 1u) << "no such file: ready, without data";
    zt->ReleaseBitmap(button);
    EXPECT_EQ(button->refCount, 1);
    zt->ReleaseBitmap(button);
    EXPECT_EQ(button->refCount, 0);
    EXPECT_EQ(logsWith("Hibernating bitmap 'ui/button'.."), 1u);
    EXPECT_EQ(button->loadState, 1);
    EXPECT_STREQ(button->name, "ui/button") << "a hibernating record keeps its name";
    EXPECT_EQ(zt->LoadBitmap("ui/button", VZ_CACHE_HARDWARE), button) << "reloaded in the same slot";
    EXPECT_EQ(button->refCount, 1);

    VozerBitmap* shared = nullptr;
    for (int i = 0; i < 10; ++i) shared = zt->GetBitmapEx("shared", VZ_CACHE_HARDWARE);
    EXPECT_EQ(shared->refCount, 1) << "GetBitmapEx counts once for the record's life";
    zt->ReleaseBitmap(shared);
    EXPECT_EQ(popupsWith("Releasing bitmap 'shared' too many times"), 1u);
    EXPECT_EQ(logsWith("Hibernating bitmap 'shared'.."), 1u);
    zt->ReleaseBitmap(shared);
    EXPECT_EQ(shared->refCount, 0);
    EXPECT_EQ(popupsWith("Bitmap 'shared' reference count less than zero."), 1u);

    const int32_t used = bitmapHighWater();
    EXPECT_EQ(zt->LoadBitmap("never seen", VZ_CACHE_FIND_ONLY), nullptr);
    EXPECT_EQ(bitmapHighWater(), used) << "find-only creates nothing";
    EXPECT_EQ(zt->LoadBitmap("ui/button", VZ_CACHE_FIND_ONLY), button);
    EXPECT_EQ(button->refCount, 1) << "and counts nothing";

    EXPECT_EQ(zt->LoadBitmap("/ui/button", VZ_CACHE_HARDWARE), button);
    EXPECT_EQ(popupsWith("Bitmap '/ui/button' name path starting with '/'. Not allowed."), 1u);
    EXPECT_EQ(zt->LoadBitmap("UI/button", VZ_CACHE_NOTHING) == button, false) << "names are case-sensitive";

    VozerBitmap* none = zt->LoadBitmap(nullptr, VZ_CACHE_HARDWARE);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none->name, "!NONE");
    const int16_t placeholderCount = none->refCount;
    zt->ReleaseBitmap(none);
    zt->LoadBitmap("!NONE", VZ_CACHE_HARDWARE);
    EXPECT_EQ(none->refCount, placeholderCount) << "placeholders are never counted or released";

    VozerBitmap foreign{};
    foreign.name = const_cast<char*>("ui/button");
    foreign.refCount = 5;
    zt->ReleaseBitmap(&foreign);
    zt->ReleaseBitmap(reinterpret_cast<VozerBitmap*>(reinterpret_cast<char*>(button) + 4));
    EXPECT_EQ(foreign.refCount, 5);
    EXPECT_EQ(popupsWith("is not a bitmap of this runtime"), 2u);
    zt->ReleaseBitmap(nullptr);
}

TEST_F(Bitmaps, SourceFilesAreFoundByEndingInTheDesignedOrder) {
    writeRes("ui/button.tga", "not an image");
    writeRes("ui/button.jpg", "not an image either");
    writeRes("ui.v2/button.png", "nor this");
    VozerBitmap* button = zt->LoadBitmap("ui/button", VZ_CACHE_SYSTEM);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->sourceFile, nullptr);
    EXPECT_STREQ(button->sourceFile, "ui/button.jpg") << ".png, .jpg, .bms, .tga";
    EXPECT_EQ(button->loadState, 3);
    EXPECT_EQ(button->pixels, nullptr) << "a corrupt image leaves the record ready without data";
    EXPECT_EQ(popupsWith("Unable to load bitmap 'ui/button'."), 1u);

    VozerBitmap* versioned = zt->LoadBitmap("ui.v2/button", VZ_CACHE_SYSTEM);
    ASSERT_NE(versioned->sourceFile, nullptr) << "a dot outside the last component is no ending";
    EXPECT_STREQ(versioned->sourceFile, "ui.v2/button.png");
    VozerBitmap* named = zt->LoadBitmap("ui/button.tga", VZ_CACHE_SYSTEM);
    EXPECT_EQ(named->sourceFile, nullptr) << "a name with an ending is used unchanged";

    const std::string longName(600, 'a');
    VozerBitmap* tooLong = zt->LoadBitmap(longName.c_str(), VZ_CACHE_HARDWARE);
    ASSERT_NE(tooLong, nullptr);
    EXPECT_EQ(tooLong->loadState, 3);
    EXPECT_EQ(tooLong->sourceFile, nullptr);

    // Descriptions from the manifest: the size the game sees and the pack mode.
    const char manifest[] =
        "<?xml version=\"1.0\"?>\n<vudozar>\n<array id=\"M\">\n"
        "<node id=\"hud/bar.png\" w=\"64\" h=\"8\" pack_mode=\"NO_PADDING\" />\n"
        "<node id=\"hud/dot\" pack_mode=\"PAD_EXPAND \" />\n"
        "</array>\n</vudozar>\n";
    auto database = vudozar::LoadDatabaseFromMemory("manifest", manifest, sizeof manifest - 1);
    ASSERT_NE(vudozar::FindArray(database.get(), "M"), nullptr);
    rt().boot.manifest.push_back(vudozar::FindArray(database.get(), "M"));
    VozerBitmap record{};
    record.width = record.height = 16;
    record.packMode = VZ_PAD_TRANSPARENT;
    applyBitmapDescription(&record, "hud/bar");
    EXPECT_EQ(record.width, 64);
    EXPECT_EQ(record.height, 8);
    EXPECT_EQ(record.dataWidth, 16) << "the pixels keep their own size";
    EXPECT_EQ(record.packMode, VZ_NO_PADDING);
    EXPECT_EQ(logsWith("Using pack mode 'NO_PADDING'"), 1u);
    record.width = record.height = 16;
    applyBitmapDescription(&record, "hud/dot");
    EXPECT_EQ(record.width, 32) << "an absent size is 32";
    EXPECT_EQ(record.packMode, VZ_PAD_EXPAND);
    rt().boot.manifest.clear();
}

TEST_F(Bitmaps, CapsThePoolAndCreatedBitmaps) {
    VozerBitmap* many = nullptr;
    for (int i = 0; i < 5000; ++i) many = zt->LoadBitmap("many", VZ_CACHE_SYSTEM);
    EXPECT_EQ(many->refCount, BITMAP_COUNT_CAP);
    EXPECT_EQ(popupsWith("Bitmap 'many' reference count suspiciously high: capping at 4096."), 5000u - 4096u);

    VozerBitmap* target = zt->CreateBitmap("target", 16, 8, 1);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(zt->CreateBitmap("target", 99, 99, 0), target) << "an existing name is returned unchanged";
    EXPECT_EQ(target->width, 16);
    EXPECT_EQ(target->refCount, 2);
    EXPECT_EQ(zt->CreateBitmap("bad", -5, 10, 0), nullptr);
    EXPECT_EQ(zt->CreateBitmap("huge", 65536, 65536, 0), nullptr);
    EXPECT_EQ(popupsWith("can't be"), 2u);

    std::vector<VozerBitmap*> made;
    while (VozerBitmap* b = zt->CreateBitmap(("b" + std::to_string(made.size())).c_str(), 1, 1, 0)) made.push_back(b);
    EXPECT_EQ(bitmapHighWater(), BITMAP_POOL_SIZE);
    EXPECT_EQ(made.size(), size_t(BITMAP_POOL_SIZE - 2));
    EXPECT_EQ(popupsWith(" ! Vozer out of free bitmaps."), 1u);

    zt->ReleaseBitmap(many);  // 4095 references left: the slot stays taken
    while (many->refCount > 0) zt->ReleaseBitmap(many);
    EXPECT_STREQ(many->name, "many") << "hibernating, not free";
    EXPECT_EQ(zt->CreateBitmap("after hibernation", 1, 1, 0), nullptr);

    VozerBitmap* freed = made[100];
    zt->ReleaseBitmap(freed);  // created bitmaps cannot reload: released for good
    EXPECT_EQ(freed->name, nullptr);
    zt->ReleaseBitmap(freed);  // a second release of the freed slot does nothing
    EXPECT_EQ(zt->CreateBitmap("reuses the slot", 2, 2, 0), freed);
}

class BitmapsWithoutCounting : public Bitmaps {
protected:
    bool hibernates() const override { return false; }
};

TEST_F(BitmapsWithoutCounting, ReleaseFreesAtOnceButNotFromWorkers) {
    VozerBitmap* image = zt->LoadBitmap("some/image", VZ_CACHE_HARDWARE);
    zt->LoadBitmap("some/image", VZ_CACHE_HARDWARE);
    VozerBitmap* created = zt->CreateBitmap("created", 4, 4, 0);
    std::thread worker([&] { zt->ReleaseBitmap(created); });
    worker.join();
    EXPECT_STREQ(created->name, "created");
    EXPECT_EQ(popupsWith("2: ZT_ReleaseBitmap 'created' without reference counting is not possible from non-main "
                         "thread."),
              1u);
    zt->ReleaseBitmap(image);
    EXPECT_EQ(image->name, nullptr) << "one release frees, whatever the count";
    zt->ReleaseBitmap(created);
    EXPECT_EQ(created->name, nullptr);
}

// Bitmaps made and filled on a worker are uploaded by the frame loop, a few
// per frame when uploads are slow.
TEST_F(Bitmaps, WorkerUploadsSpreadOverFramesWithinTheBudget) {
    extension("Uploads", "20");
    constexpr int COUNT = 40;
    std::vector<VozerBitmap*> bitmaps(COUNT);
    std::thread worker([&] {
        for (int i = 0; i < COUNT; ++i) {
            bitmaps[i] = zt->CreateBitmap(("w" + std::to_string(i)).c_str(), 8, 8, 0);
            std::fill(bitmaps[i]->pixels, bitmaps[i]->pixels + 64, 0xFF0000FFu);
            zt->SetBitmapCacheMode(bitmaps[i], VZ_CACHE_HARDWARE);
            zt->SetBitmapCacheMode(bitmaps[i], VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);  // queued once only
        }
    });
    worker.join();
    EXPECT_TRUE(journalOf("upload ").empty()) << "nothing reaches the renderer off the main thread";
    for (VozerBitmap* b : bitmaps) EXPECT_TRUE(isQueuedForUpload(b));

    std::map<std::string, int> uploads;
    int frames = 0;
    while (frames < 100 && std::any_of(bitmaps.begin(), bitmaps.end(), [](VozerBitmap* b) { return !b->hw.hasTexture; })) {
        serviceResourceQueues();
        // Each upload takes at least 20 ms, so a third one starts at 40 ms and
        // the check after it ends the service (however slow a loaded machine is).
        const auto lines = journalOf("upload ");
        EXPECT_GE(lines.size(), 1u);
        EXPECT_LE(lines.size(), 3u) << "stops once more than 50 ms have passed";
        for (const std::string& line : lines) ++uploads[line.substr(7, line.find(' ', 7) - 7)];
        ++frames;
    }
    EXPECT_GE(frames, COUNT / 3);
    EXPECT_EQ(uploads.size(), size_t(COUNT));
    for (const auto& [name, times] : uploads) EXPECT_EQ(times, 1) << name << " uploaded once";
    EXPECT_EQ(logsWith("ResourceQueue: "), size_t(frames));
    EXPECT_NE(bitmaps[0]->pixels, nullptr) << "a created bitmap keeps its only copy of the pixels";
    extension("Uploads", "0");
}

// Needs the image decoder: bitmaps loaded from PNG files on a worker.
TEST_F(Bitmaps, WorkerLoadsFromFilesAndReleasesBeforeTheFrame) {
    if (!writePng("sprites/s0.png", 4, 4, 0xFFFF0000u)) GTEST_SKIP() << "this build cannot decode PNG yet";
    for (int i = 1; i < 200; ++i) writePng("sprites/s" + std::to_string(i) + ".png", 4, 4, 0xFF00FF00u);
    std::vector<VozerBitmap*> loaded(200);
    VozerBitmap* dropped = nullptr;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) loaded[i] = zt->LoadBitmap(("sprites/s" + std::to_string(i)).c_str(), 4);
        dropped = zt->LoadBitmap("sprites/s0.png", VZ_CACHE_HARDWARE);
        zt->ReleaseBitmap(dropped);  // hibernates before any frame: pixels dropped
    });
    worker.join();
    int frames = 0;
    while (frames < 50 && std::any_of(loaded.begin(), loaded.end(), [](VozerBitmap* b) { return !b->hw.hasTexture; })) {
        serviceResourceQueues();
        ++frames;
    }
    for (int i = 0; i < 200; ++i) EXPECT_TRUE(loaded[i]->hw.hasTexture) << i;
    for (int i = 0; i < 200; ++i) EXPECT_EQ(loaded[i]->pixels, nullptr) << "texture only: pixels dropped after upload";
    EXPECT_EQ(logsWith("ResourceQueue unpacking Bitmap 'sprites/s0.png' data is not valid anymore"), 1u);
    EXPECT_FALSE(dropped->hw.hasTexture);
}

TEST_F(Bitmaps, ARendererRestartRestoresTexturesAndRenderTargets) {
    VozerBitmap* canvas = zt->CreateBitmap("canvas", 64, 32, 1);
    VozerBitmap* created = solidBitmap("created", 2, 2, 0xFF00FF00u);
    VozerBitmap* hibernating = zt->LoadBitmap("gone", VZ_CACHE_HARDWARE);
    zt->ReleaseBitmap(hibernating);
    ASSERT_TRUE(canvas->hw.hasTexture && created->hw.hasTexture);
    zt->SetDepth(0.3f);
    zt->SetDepthRange(0.2f, 0.5f, 2.0f);

    shutdownRenderer();  // what a mode change or device loss does
    EXPECT_FALSE(canvas->hw.hasTexture || created->hw.hasTexture);
    journal();
    ASSERT_TRUE(initialiseRenderer());
    const auto lines = journal();
    EXPECT_EQ(countContaining(lines, "rendertarget canvas 64x32"), 1u);
    EXPECT_EQ(countContaining(lines, "upload created 2x2"), 1u);
    EXPECT_EQ(countContaining(lines, "depthrange 0.2 0.5 2"), 1u);
    EXPECT_EQ(countContaining(lines, "gone"), 0u) << "a hibernating bitmap stays asleep";
    EXPECT_EQ(messages().events, std::vector<std::string>{"17 canvas"}) << "the Program redraws its targets";
    EXPECT_TRUE(canvas->hw.hasTexture && created->hw.hasTexture);
    EXPECT_EQ(created->cacheMode, VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE) << "the previous cache mode";
    EXPECT_FLOAT_EQ(zt->GetDepth(), 0.3f);
}

// The PNG file of a width x height image of one colour.
std::string pngOf(int32_t width, int32_t height, uint32_t color) {
    VozerBitmap source{};
    image::allocateImagePixels(&source, width, height);
    for (int32_t i = 0; i < width * height; ++i) source.pixels[i] = color;
    uint8_t* data = nullptr;
    size_t size = 0;
    std::string bytes;
    if (image::encodePng(&source, &data, &size)) bytes.assign(reinterpret_cast<char*>(data), size);
    image::freeEncoded(data);
    image::freeImagePixels(&source);
    return bytes;
}

// Bitmaps named by http:// URLs share the file layer's download cache: one
// download, later loads (a wake-up) from the cached file, a download cut
// short never decoded nor kept, '*' refused before anything is asked, and a
// refresh that deletes the cached file and so downloads anew.
TEST_F(Bitmaps, DownloadedBitmapsGoThroughTheOneDownloadCache) {
    const std::string red = pngOf(4, 4, 0xFFFF0000u), green = pngOf(4, 4, 0xFF00FF00u);
    ASSERT_FALSE(red.empty());
    int served = 0;
    nettest::LoopbackServer server([&](nettest::LoopbackServer::Connection& c) {
        const std::string& body = c.request().path() == "/cut.png" || served++ == 0 ? red : green;
        const size_t claimed = body.size() + (c.request().path() == "/cut.png" ? 100 : 0);
        c.send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(claimed) + "\r\n\r\n" + body);
    });
    ASSERT_TRUE(server.listening());
    const std::string url = server.url("pics/dot.png");
    const std::string cacheFile = fs::ResolvePath(fs::cacheFileName(url.c_str()).c_str());
    ASSERT_FALSE(cacheFile.empty());

    VozerBitmap* dot = zt->LoadBitmap(url.c_str(), VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
    ASSERT_NE(dot, nullptr);
    ASSERT_NE(dot->pixels, nullptr);
    EXPECT_EQ(dot->pixels[0], 0xFFFF0000u);
    EXPECT_TRUE(dot->hw.hasTexture);
    EXPECT_TRUE(std::filesystem::exists(cacheFile)) << "the file layer's name for the URL";
    EXPECT_EQ(logsWith("Done downloading " + std::to_string(red.size()) + " bytes for '" + url + "'\n"), 1u);

    // Asleep and awake again: read from the cache, no second download.
    zt->ReleaseBitmap(dot);
    EXPECT_EQ(dot->pixels, nullptr);
    EXPECT_EQ(zt->LoadBitmap(url.c_str(), VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM), dot);
    EXPECT_EQ(server.connections(), 1);
    ASSERT_NE(dot->pixels, nullptr);
    EXPECT_EQ(dot->pixels[0], 0xFFFF0000u);

    // A refresh drops the cached copy: the server's new image arrives.
    zt->RefreshBitmap(dot);
    EXPECT_EQ(server.connections(), 2);
    ASSERT_NE(dot->pixels, nullptr);
    EXPECT_EQ(dot->pixels[0], 0xFF00FF00u);
    EXPECT_TRUE(dot->hw.hasTexture);
    EXPECT_TRUE(std::filesystem::exists(cacheFile));

    // The whole image arrives, but less than the length promised: not decoded, not kept.
    const std::string cutUrl = server.url("cut.png");
    VozerBitmap* cut = zt->LoadBitmap(cutUrl.c_str(), VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->pixels, nullptr);
    EXPECT_FALSE(cut->hw.hasTexture);
    EXPECT_EQ(logsWith("Download not complete ("), 1u);
    EXPECT_EQ(popupsWith("Unable to load bitmap '" + cutUrl + "'."), 1u);
    EXPECT_FALSE(std::filesystem::exists(fs::ResolvePath(fs::cacheFileName(cutUrl.c_str()).c_str())));

    const int connections = server.connections();
    VozerBitmap* star = zt->LoadBitmap(server.url("walk*").c_str(), VZ_CACHE_HARDWARE);
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(popupsWith("Asterisk character ('*') isn't allowed in http:// url file names such as '" +
                         server.url("walk*") + "'"),
              1u);
    EXPECT_EQ(server.connections(), connections) << "nothing asked for";
    for (VozerBitmap* b : {dot, cut, star}) zt->ReleaseBitmap(b);
}

}  // namespace
}  // namespace vz
