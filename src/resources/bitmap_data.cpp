// The bitmap pool and the data of its records: finding a bitmap's source
// file, decoding it, the manifest's descriptions, freeing pixels and frames,
// and the end-of-run release.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "data/vudozar.h"
#include "fs/http_client.h"
#include "image/bitmap_sequence.h"
#include "image/image_loader.h"
#include "resources/bitmap_pool.h"
#include "resources/resource_queue.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

struct BitmapPool {
    VozerBitmap records[BITMAP_POOL_SIZE];
    int32_t highWater = 0;
    SequenceLoaders sequences{&image::LoadBitmapSequence, &image::LoadBitmapSequenceFromFiles};
};

BitmapPool& pool() {
    static BitmapPool* p = new BitmapPool();  // outlives every static that may release a bitmap
    return *p;
}

// File names are formatted into this many bytes; a name that does not fit
// cannot name a file (cutting it could name another one).
constexpr size_t FILE_NAME_SIZE = 512;
constexpr const char* LOAD_ENDINGS[] = {"png", "jpg", "bms", "tga"};
// Numbered frames of a name without extension: "walk" finds walk0000.png...
// as the pattern walk*.png. Only the first numbers are probed for: a name
// that matches nothing must not cost a thousand file opens per ending.
constexpr const char* FRAME_ENDINGS[] = {"png", "jpg", "tga"};
constexpr int32_t FIRST_FRAME_NUMBERS[] = {0, 1};
// Descriptions are looked up in another order than files: kept as designed.
constexpr const char* DESCRIPTION_ENDINGS[] = {".png", ".jpg", ".tga", ".bms"};

bool lastComponentHasDot(const char* name) {
    const char* slash = std::strrchr(name, '/');
    return std::strchr(slash ? slash + 1 : name, '.') != nullptr;
}

bool endsWith(const char* text, const char* ending) {
    const size_t n = std::strlen(text), m = std::strlen(ending);
    return n >= m && std::memcmp(text + n - m, ending, m) == 0;
}

char* copyText(const char* text) {
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

int32_t descriptionInt(const vudozar::Node* node, const char* key, int32_t current) {
    const char* value = vudozar::GetValue(node, key);
    if (!value) return 32;
    const int32_t parsed = std::atoi(value);
    return parsed > 0 ? parsed : current;  // a size that makes no sense keeps the image's own
}

// Formats into the FILE_NAME_SIZE bytes of `file`; false when the name does not fit.
template <typename... Args>
bool formatFileName(char* file, const char* format, Args... args) {
    const int length = std::snprintf(file, FILE_NAME_SIZE, format, args...);
    return length >= 0 && static_cast<size_t>(length) < FILE_NAME_SIZE;
}

bool fileOpens(const char* file) {
    VozerFile* handle = api()->OpenFile(file, "rb");
    if (!handle) return false;
    api()->CloseFile(handle);
    return true;
}

void markFramesReady(VozerBitmap* bitmap) {
    for (int32_t i = 0; bitmap->frames && i < bitmap->frameCount; ++i) bitmap->frames[i].loadState = 3;
}

bool isRemote(const char* name) { return std::strncmp(name, "http://", 7) == 0; }

// Nothing to decode: the record counts as loaded, without data, and drawing
// it draws nothing. A load under way elsewhere is left to finish.
bool failedLoad(VozerBitmap* bitmap) {
    if (bitmap->loadState != 1) return false;
    bitmap->loadState = 3;
    api()->Popup(VZ_WARNING, "Unable to load bitmap '%s'.\n", bitmap->name);
    return false;
}

// Load the file `file` into the bitmap; the state machine of a load.
bool loadBitmapFile(VozerBitmap* bitmap, const char* file) {
    if (isPlaceholderName(file)) return true;
    if (bitmap->loadState != 1) return true;  // loaded or being loaded already
    bitmap->loadState = 2;
    if (bitmap->pixels) {
        api()->Log(VZ_WARNING, "Bitmap '%s' has existing pixel data. Freeing it.\n", bitmap->name);
        image::freeImagePixels(bitmap);
    }
    bitmap->framesPerSecond = 30.0f;
    // A download goes through the file layer's cache and is read from there,
    // so only a whole file is ever decoded, and a later load (a wake-up, a
    // renderer restart) needs no network.
    std::string cached;
    if (isRemote(file)) {
        cached = fs::fetchIntoCache(file, fs::DownloadFor::Bitmap);
        file = cached.c_str();  // empty when nothing came
    }
    const SequenceLoaders& sequences = pool().sequences;
    bool loaded = false;
    bool sequence = false;
    if (!*file) {
        // the download failed and said why
    } else if (endsWith(file, ".bms")) {
        sequence = true;
        loaded = sequences.loadFile && sequences.loadFile(bitmap, file);
    } else if (std::strchr(file, '*')) {
        sequence = true;
        loaded = sequences.loadNumbered && sequences.loadNumbered(bitmap, file);
    } else {
        loaded = image::loadImage(bitmap, file) && bitmap->pixels;
    }
    bitmap->loadState = 3;
    if (!loaded) {
        api()->Popup(VZ_WARNING, "Unable to load bitmap '%s'.\n", bitmap->name);
        return false;
    }
    if (sequence) {
        markFramesReady(bitmap);
        applySequenceDescription(bitmap);
    } else {
        applyBitmapDescription(bitmap, bitmap->name);
    }
    return true;
}

}  // namespace

VozerBitmap* bitmapRecords() {
    VozerBitmap* records = pool().records;
    rt().shared.bitmaps = records;
    return records;
}

int32_t bitmapHighWater() { return pool().highWater; }

void setBitmapHighWater(int32_t count) {
    pool().highWater = count;
    rt().shared.bitmaps = pool().records;
    rt().shared.bitmapCount = count;
}

bool isPoolBitmap(const VozerBitmap* bitmap) {
    const VozerBitmap* first = pool().records;
    if (!bitmap || bitmap < first || bitmap >= first + BITMAP_POOL_SIZE) return false;
    const auto offset = reinterpret_cast<const char*>(bitmap) - reinterpret_cast<const char*>(first);
    return offset % static_cast<std::ptrdiff_t>(sizeof(VozerBitmap)) == 0;
}

bool referenceCountingOn() {
    const VozerProgramRecord* program = rt().shared.program;
    return program && program->display.hibernateUnreferenced;
}

bool isPlaceholderName(const char* name) { return name && name[0] == '!'; }

void setSequenceLoaders(const SequenceLoaders& loaders) { pool().sequences = loaders; }

bool loadBitmapData(VozerBitmap* bitmap) {
    const char* name = bitmap->name;
    if (!name) return false;
    // Refused before any ending is tried: each try would be a download.
    if (isRemote(name) && std::strchr(name, '*')) {
        api()->Popup(VZ_WARNING, "Asterisk character ('*') isn't allowed in http:// url file names such as '%s'\n",
                     name);
        return failedLoad(bitmap);
    }
    if (lastComponentHasDot(name)) return loadBitmapFile(bitmap, name);
    char file[FILE_NAME_SIZE];
    const auto useSource = [&](const char* source) {
        std::free(bitmap->sourceFile);
        bitmap->sourceFile = copyText(source);
        return loadBitmapFile(bitmap, source);
    };
    for (const char* ending : LOAD_ENDINGS) {
        if (!formatFileName(file, "%s.%s", name, ending)) break;
        if (fileOpens(file)) return useSource(file);
    }
    // An http:// name is one file: numbers are not probed for over the network.
    for (const char* ending : FRAME_ENDINGS) {
        for (const int32_t number : FIRST_FRAME_NUMBERS) {
            if (isRemote(name) || !formatFileName(file, "%s%.4d.%s", name, number, ending)) break;
            if (!fileOpens(file)) continue;
            if (!formatFileName(file, "%s*.%s", name, ending)) break;
            return useSource(file);
        }
    }
    return failedLoad(bitmap);
}

const vudozar::Node* findBitmapDescription(const char* name) {
    const std::vector<const vudozar::Array*>& manifest = rt().boot.manifest;
    for (const vudozar::Array* array : manifest) {
        if (const vudozar::Node* node = vudozar::FindNode(array, name)) return node;
    }
    if (lastComponentHasDot(name)) return nullptr;
    for (const char* ending : DESCRIPTION_ENDINGS) {
        const std::string full = std::string(name) + ending;
        for (const vudozar::Array* array : manifest) {
            if (const vudozar::Node* node = vudozar::FindNode(array, full.c_str())) return node;
        }
    }
    return nullptr;
}

void applyBitmapDescription(VozerBitmap* bitmap, const char* name) {
    bitmap->dataWidth = bitmap->width;
    bitmap->dataHeight = bitmap->height;
    const vudozar::Node* node = name ? findBitmapDescription(name) : nullptr;
    if (!node) return;
    bitmap->width = descriptionInt(node, "w", bitmap->width);
    bitmap->height = descriptionInt(node, "h", bitmap->height);
    const char* packMode = vudozar::GetValue(node, "pack_mode");
    if (!packMode) return;
    api()->Print("Using pack mode '%s'\n", packMode);
    // Manifests written for the engine spell it "PAD_EXPAND " with a blank;
    // the word alone means the same.
    if (std::strcmp(packMode, "NO_PADDING") == 0) bitmap->packMode = VZ_NO_PADDING;
    else if (std::strcmp(packMode, "PAD_EXPAND ") == 0 || std::strcmp(packMode, "PAD_EXPAND") == 0)
        bitmap->packMode = VZ_PAD_EXPAND;
    else if (std::strcmp(packMode, "PAD_TRANSPARENT") == 0) bitmap->packMode = VZ_PAD_TRANSPARENT;
}

void applySequenceDescription(VozerBitmap* bitmap) {
    if (!bitmap->frames || bitmap->frameCount <= 0) return;
    if (endsWith(bitmap->name, "bms")) {
        const vudozar::Node* node = findBitmapDescription(bitmap->name);
        if (!node) return;
        const char* h = vudozar::GetValue(node, "h");
        const float target = static_cast<float>(h ? std::atoi(h) : 32);
        if (bitmap->frames[0].height <= 0) return;
        const float factor = target / static_cast<float>(bitmap->frames[0].height);
        for (int32_t i = 0; i < bitmap->frameCount; ++i) {
            VozerBitmap& frame = bitmap->frames[i];
            frame.dataWidth = frame.width;
            frame.dataHeight = frame.height;
            frame.width = static_cast<int32_t>(static_cast<float>(frame.width) * factor);
            frame.height = static_cast<int32_t>(static_cast<float>(frame.height) * factor);
        }
    } else {
        for (int32_t i = 0; i < bitmap->frameCount; ++i)
            applyBitmapDescription(&bitmap->frames[i], bitmap->frames[i].name);
    }
    api()->SetBitmapFrame(bitmap, 0);
}

void freeBitmapPixels(VozerBitmap* bitmap) {
    if (!bitmap || isPlaceholderName(bitmap->name)) return;
    while (bitmap->atlas) bitmap = bitmap->atlas;  // the atlas owns the image of its frames
    if (!bitmap->frames) {
        image::freeImagePixels(bitmap);
        return;
    }
    for (int32_t i = 0; i < bitmap->frameCount; ++i) {
        if (!bitmap->frames[i].sameAs) image::freeImagePixels(&bitmap->frames[i]);
        bitmap->frames[i].pixels = nullptr;
    }
    bitmap->pixels = nullptr;
}

void freeBitmapFrames(VozerBitmap* bitmap) {
    if (!bitmap || !bitmap->name || isPlaceholderName(bitmap->name)) return;
    if (bitmap->frames) {
        for (int32_t i = 0; i < bitmap->frameCount; ++i) {
            VozerBitmap& frame = bitmap->frames[i];
            frame.atlas = nullptr;
            if (frame.name) freeBitmapFrames(&frame);
            if (!frame.sameAs) image::freeImagePixels(&frame);
            std::free(frame.name);
            std::free(frame.sourceFile);
            if (rt().boot.developerMode) std::memset(&frame, 0, sizeof frame);
        }
        std::free(bitmap->frames);
        bitmap->frames = nullptr;
        bitmap->pixels = nullptr;  // it pointed into a frame
    }
    bitmap->frameCount = 0;
    std::memset(&bitmap->hw, 0, sizeof bitmap->hw);
    if (VozerBitmap* atlas = bitmap->atlas) {
        freeBitmapFrames(atlas);
        image::freeImagePixels(atlas);
        std::free(atlas->name);
        std::free(atlas->sourceFile);
        std::free(atlas);
        bitmap->atlas = nullptr;
    }
}

void clearBitmapPool() {
    clearResourceQueues();
    VozerBitmap* records = bitmapRecords();
    for (int32_t i = 0; i < pool().highWater; ++i) {
        VozerBitmap* bitmap = &records[i];
        if (bitmap->name) {
            freeBitmapPixels(bitmap);
            freeBitmapFrames(bitmap);
            image::freeImagePixels(bitmap);
        }
        std::free(bitmap->name);
        std::free(bitmap->sourceFile);
        std::memset(bitmap, 0, sizeof *bitmap);
    }
    setBitmapHighWater(0);
}

}  // namespace vz
