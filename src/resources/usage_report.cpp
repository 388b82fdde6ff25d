// The resource usage report and the memory estimates behind the developer's
// memory overlay. Figures are estimates in 32-bit floats: four bytes a pixel
// for what an item holds in system memory and in renderer textures.
#include "resources/usage_report.h"

#include <algorithm>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "ext/extensions.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "resources/bitmap_pool.h"
#include "resources/sound_pool.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// ---------------------------------------------------------------------------
// [SECTION] What one item costs
// ---------------------------------------------------------------------------

float pixelBytes(int32_t width, int32_t height) {
    return static_cast<float>(width) * static_cast<float>(height) * 4.0f;
}

// Pixel memory as allocated: the decoded image may be smaller than the size
// the game sees (a description in the manifest can scale it).
float systemBytesOf(const VozerBitmap& image) {
    if (!image.pixels) return 0.0f;
    return pixelBytes(image.dataWidth ? image.dataWidth : image.width, image.dataHeight ? image.dataHeight : image.height);
}

float textureBytesOf(const VozerHardwareData& hw) {
    return hw.hasTexture ? pixelBytes(hw.textureWidth, hw.textureHeight) : 0.0f;
}

float imageBytesOf(const VozerBitmap& image) {
    return image.hw.hasTexture ? pixelBytes(image.width, image.height) : 0.0f;
}

struct Cost {
    float system = 0.0f;
    float gpu = 0.0f;      // textures as the renderer made them
    float gpuNpot = 0.0f;  // the same images without padding to texture sizes
    bool uploaded = false;
};

// A plain bitmap holds its own pixels and texture; a sequence holds either
// one atlas shared by its frames or an image and a texture per frame (frames
// repeating an earlier frame hold nothing of their own).
Cost costOf(const VozerBitmap& bitmap) {
    Cost cost;
    if (bitmap.atlas) {
        const VozerBitmap& atlas = *bitmap.atlas;
        cost.system = systemBytesOf(atlas);
        cost.gpu = textureBytesOf(atlas.hw);
        cost.gpuNpot = imageBytesOf(atlas);
        cost.uploaded = atlas.hw.hasTexture != 0;
    } else if (bitmap.frames) {
        for (int32_t i = 0; i < bitmap.frameCount; ++i) {
            const VozerBitmap& frame = bitmap.frames[i];
            if (frame.sameAs) continue;
            cost.system += systemBytesOf(frame);
            cost.gpu += textureBytesOf(frame.hw);
            cost.gpuNpot += imageBytesOf(frame);
            cost.uploaded = cost.uploaded || frame.hw.hasTexture;
        }
    } else {
        cost.system = systemBytesOf(bitmap);
        cost.gpu = textureBytesOf(bitmap.hw);
        cost.gpuNpot = imageBytesOf(bitmap);
        cost.uploaded = bitmap.hw.hasTexture != 0;
    }
    return cost;
}

Cost costOf(const VozerFont& font) {
    Cost cost;
    cost.system = systemBytesOf(font.atlas);
    cost.gpu = textureBytesOf(font.atlas.hw);
    cost.gpuNpot = imageBytesOf(font.atlas);
    cost.uploaded = font.atlas.hw.hasTexture != 0;
    return cost;
}

// Music streams from its file, so its data size says little about memory.
bool isMusic(const VozerSound& sound) { return sound.dataSize > MUSIC_SIZE_THRESHOLD; }

float soundBytesOf(const VozerSound& sound) { return isMusic(sound) ? 0.0f : static_cast<float>(sound.dataSize); }

float kilobytes(float bytes) { return bytes / 1024.0f; }

// ---------------------------------------------------------------------------
// [SECTION] The report
// ---------------------------------------------------------------------------

// A record's data is read under its record lock: workers load and drop it.
class RecordLock {
public:
    explicit RecordLock(VozerMutex* lock) : lock_(lock) { lockObject(lock_); }
    ~RecordLock() { unlockObject(lock_); }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    VozerMutex* lock_;
};

struct Hog {
    std::string name;  // copied: the record may be released once the pool lock goes
    const char* kind;
    float bytes;
    int32_t width, height;
};

float listBitmaps(std::vector<Hog>& hogs) {
    VozerEngineApi* a = api();
    float total = 0.0f;
    EngineLock lock(MUTEX_GET_BITMAP);
    const VozerBitmap* records = bitmapRecords();
    for (int32_t i = 0; i < bitmapHighWater(); ++i) {
        const VozerBitmap& bitmap = records[i];
        if (!bitmap.name) continue;
        RecordLock record(bitmap.lock);
        const Cost cost = costOf(bitmap);
        if (cost.system == 0.0f) {
            a->Print("Bitmap #%.3d %dx%d '%s' refc=%d gpumem=%.1fKB  texture=%dx%d", i, bitmap.width, bitmap.height,
                     bitmap.name, bitmap.refCount, kilobytes(cost.gpu), bitmap.hw.textureWidth, bitmap.hw.textureHeight);
        } else {
            a->Print("Bitmap #%.3d %dx%d '%s' refc=%d sysmem=%.1fKB gpumem=%.1fKB texture=%dx%d", i, bitmap.width,
                     bitmap.height, bitmap.name, bitmap.refCount, kilobytes(cost.system), kilobytes(cost.gpu),
                     bitmap.hw.textureWidth, bitmap.hw.textureHeight);
        }
        if (cost.uploaded) hogs.push_back({bitmap.name, "GFX", cost.system + cost.gpu, bitmap.width, bitmap.height});
        total += cost.system + cost.gpu;
    }
    return total;
}

float listSounds(std::vector<Hog>& hogs) {
    VozerEngineApi* a = api();
    float total = 0.0f;
    EngineLock lock(MUTEX_GET_SOUND);
    const VozerSound* records = sound::records();
    for (int32_t i = 0; i < sound::usedSlots(); ++i) {
        const VozerSound& sound = records[i];
        if (!sound.name) continue;
        a->Print("Sound #%.3d '%s' sysmem=%.1fKB", i, sound.name, kilobytes(static_cast<float>(sound.dataSize)));
        if (isMusic(sound)) a->Print("Assuming Sound #%.3d '%s' is music and not counting its memory", i, sound.name);
        hogs.push_back({sound.name, "SND", soundBytesOf(sound), 0, 0});
        total += soundBytesOf(sound);
    }
    return total;
}

float listFonts(std::vector<Hog>& hogs) {
    VozerEngineApi* a = api();
    float total = 0.0f;
    EngineLock lock(MUTEX_GET_FONT);
    for (int32_t i = 0; i < font::FONT_POOL_SIZE; ++i) {
        const VozerFont& font = *font::fontSlot(i);
        if (!font.name) continue;
        RecordLock record(font.lock);
        const Cost cost = costOf(font);
        hogs.push_back({font.name, "FNT", cost.system + cost.gpu, 0, 0});
        total += cost.system + cost.gpu;
        if (cost.system == 0.0f) {
            a->Print("Font #%.3d '%s' gpumem=%.1fKB ", i, font.name, kilobytes(cost.gpu));
        } else {
            a->Print("Font #%.3d '%s' sysmem=%.1fKB gpumem=%.1fKB ", i, font.name, kilobytes(cost.system),
                     kilobytes(cost.gpu));
        }
    }
    return total;
}

void listHogs(std::vector<Hog>& hogs) {
    VozerEngineApi* a = api();
    // Equal sizes may come in any order.
    std::stable_sort(hogs.begin(), hogs.end(), [](const Hog& x, const Hog& y) { return x.bytes > y.bytes; });
    const int32_t shown = std::min(static_cast<int32_t>(hogs.size()), MEMORY_HOG_LINES);
    a->Print("TOP%d Memory Hogs", shown);
    for (int32_t k = 0; k < shown; ++k) {
        const Hog& hog = hogs[static_cast<size_t>(k)];
        if (hog.width == 0) {
            a->Print("#%.3d %s %.0fKB %s", k + 1, hog.kind, kilobytes(hog.bytes), hog.name.c_str());
        } else {
            a->Print("#%.3d %s %.0fKB %dx%d %s", k + 1, hog.kind, kilobytes(hog.bytes), hog.width, hog.height,
                     hog.name.c_str());
        }
    }
}

}  // namespace

void listResourceUsage() {
    VozerEngineApi* a = api();
    std::vector<Hog> hogs;
    a->Log(VZ_SYSTEM, "Listing Resource Usage.");
    a->Log(VZ_SYSTEM, "\nBitmaps:");
    const float bitmaps = listBitmaps(hogs);
    a->Log(VZ_SYSTEM, "\nSounds:");
    const float sounds = listSounds(hogs);
    a->Log(VZ_SYSTEM, "\nFonts:");
    const float fonts = listFonts(hogs);
    a->Log(VZ_SYSTEM, "Total %.1fKB allocated for bitmaps in (system+gpu) memory.", kilobytes(bitmaps));
    a->Log(VZ_SYSTEM, "Total %.1fKB allocated for sounds in system memory.", kilobytes(sounds));
    a->Log(VZ_SYSTEM, "Total %.1fKB allocated for fonts in (system+gpu) memory.", kilobytes(fonts));
    a->Log(VZ_SYSTEM, "Total %.1fKB allocated for all resources.", kilobytes(bitmaps + sounds + fonts));
    a->Log(VZ_SYSTEM, "VOZER state size is %.1fKB.", kilobytes(static_cast<float>(sizeof(RuntimeState))));
    listHogs(hogs);
}

bool estimateMemoryUsage(float estimates[ESTIMATE_COUNT]) {
    float gpu = 0.0f, npot = 0.0f, system = 0.0f, sounds = 0.0f;
    auto add = [&](const Cost& cost) {
        gpu += cost.gpu;
        npot += cost.gpuNpot;
        system += cost.system;
    };
    {
        EngineLock lock(MUTEX_GET_BITMAP);
        const VozerBitmap* records = bitmapRecords();
        for (int32_t i = 0; i < bitmapHighWater(); ++i) {
            if (!records[i].name) continue;
            RecordLock record(records[i].lock);
            add(costOf(records[i]));
        }
    }
    {
        EngineLock lock(MUTEX_GET_SOUND);
        const VozerSound* records = sound::records();
        for (int32_t i = 0; i < sound::usedSlots(); ++i)
            if (records[i].name) sounds += soundBytesOf(records[i]);
    }
    {
        EngineLock lock(MUTEX_GET_FONT);
        for (int32_t i = 0; i < font::FONT_POOL_SIZE; ++i)
            if (const VozerFont* font = font::fontSlot(i); font->name) {
                RecordLock record(font->lock);
                add(costOf(*font));
            }
    }
    estimates[ESTIMATE_GPU] = gpu;
    estimates[ESTIMATE_GPU_NPOT] = npot;
    estimates[ESTIMATE_TOTAL] = gpu + system + sounds;
    estimates[ESTIMATE_SYSTEM] = system;
    estimates[ESTIMATE_SOUNDS] = sounds;
    return true;
}

void installUsageReportHooks() {
    ext::ServiceHooks& hooks = ext::serviceHooks();
    hooks.listResourceUsage = &listResourceUsage;
    hooks.estimateMemoryUsage = &estimateMemoryUsage;
}

void removeUsageReportHooks() {
    ext::ServiceHooks& hooks = ext::serviceHooks();
    hooks.listResourceUsage = nullptr;
    hooks.estimateMemoryUsage = nullptr;
}

}  // namespace vz
