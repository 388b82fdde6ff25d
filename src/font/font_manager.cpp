// The font manager: a pool of 32 font records found by exact name, counted
// by GetFont / LoadFont / ReleaseFont (engine API slots 15 to 19).
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "data/vudozar.h"
#include "font/font_atlas.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_pool.h"
#include "fs/paths.h"
#include "state/runtime_state.h"

namespace vz::font {

namespace {

constexpr uint8_t DEFAULT_CACHE_MODE = VZ_CACHE_HARDWARE;

// Each slot has a record lock of its own, made once and kept for the run:
// loading, atlas rebuilds, measuring and drawing of one font exclude each
// other without holding up the other fonts.
struct FontPool {
    VozerFont slots[FONT_POOL_SIZE];
    VozerMutex* locks[FONT_POOL_SIZE];
    int32_t count;  // slots in use or once used
};

FontPool& pool() {
    static FontPool p{};
    return p;
}

bool inPool(const VozerFont* font) {
    const FontPool& p = pool();
    return font >= p.slots && font < p.slots + FONT_POOL_SIZE;
}

bool countingOn() {
    return rt().hibernateUnreferenced;
}

void logCount(const char* format, const VozerFont* font) {
    if (rt().printReferenceCountChanges) api()->Log(0, format, font->name, font->refCount);
}

// The "h" of the font's description in the manifest (0 when none).
int32_t describedHeight(const char* name) {
    for (const vudozar::Array* array : rt().boot.manifest)
        if (const char* h = vudozar::GetNodeValue(array, name, "h")) return std::atoi(h);
    return 0;
}

// Where a generated font is saved: its own name when that has a prefix,
// else the first search path that can take the file.
std::string savePathFor(const char* name) {
    if (fs::HasTargetPrefix(name)) return name;
    const char* found = fs::FindInSearchPaths(name, false);
    return found ? std::string(found) : std::string(name);
}

// A new slot for `name` (GET_FONT held): the first free one, else the next
// unused. Null when all 32 are taken (the caller raises the popup once the
// pool lock is released: on the main thread a popup waits for the player).
VozerFont* claimSlot(const char* name) {
    FontPool& p = pool();
    int32_t index = 0;
    while (index < p.count && p.slots[index].name) ++index;
    if (index >= FONT_POOL_SIZE) return nullptr;
    if (index == p.count) ++p.count;
    VozerFont* font = &p.slots[index];
    initFontRecord(font, name ? name : "");
    if (!p.locks[index]) p.locks[index] = createLockObject("FONT");
    font->lock = p.locks[index];
    return font;
}

// A font found by name may still be loading on another thread: its record
// lock is held for the whole load.
void waitUntilLoaded(VozerFont* font) {
    lockObject(font->lock);
    unlockObject(font->lock);
}

VozerFont* findByName(const char* name) {
    FontPool& p = pool();
    for (int32_t i = 0; i < p.count; ++i)
        if (p.slots[i].name && std::strcmp(p.slots[i].name, name ? name : "") == 0) return &p.slots[i];
    return nullptr;
}

void FreeFont(VozerFont* font) {
    if (!font) {
        api()->Popup(1, "Trying to release null font in ZTI_FONTS_ReleaseFont.");
        return;
    }
    api()->Log(0, "Releasing font '%s'...\n", font->name ? font->name : "");
    VozerMutex* lock = font->lock;  // the record forgets it; the slot keeps it
    lockObject(lock);
    clearFontRecord(font);
    unlockObject(lock);
}

// The part of GetFont and LoadFont after the slot is claimed. The caller
// holds the record lock (not GET_FONT: generating a font from its source
// takes long, and other fonts must not wait for it), so whoever finds the
// record meanwhile waits for the load instead of seeing it half made.
void loadNewFont(VozerFont* font, const char* cachingFormat, bool atlasThroughSlot) {
    VozerEngineApi* a = api();
    a->Print(cachingFormat, font->name);
    font->cacheMode = DEFAULT_CACHE_MODE;
    if (!loadFontByName(font)) a->Popup(1, "Unable to load font '%s'.", font->name);
    if (atlasThroughSlot && a->RecreateFontAtlas)
        a->RecreateFontAtlas(font);
    else
        ZTI_RecreateFontAtlas(font);
}

}  // namespace

void initFontRecord(VozerFont* font, const char* name) {
    if (!font) return;
    *font = VozerFont{};
    const size_t length = name ? std::strlen(name) : 0;
    font->name = static_cast<char*>(std::malloc(length + 1));
    if (font->name) {
        if (length) std::memcpy(font->name, name, length);
        font->name[length] = '\0';
    }
    font->scale = 1.0f;
    font->codesAscending = true;
    font->pixelOrder = rt().pixelByteOrder;
    resetGlyphTable(font, DEFAULT_GLYPH_COUNT);
}

void clearFontRecord(VozerFont* font) {
    if (!font) return;
    releaseFontTextures(font);
    freeGlyphTable(font);
    std::free(font->atlas.pixels);
    std::free(font->name);
    *font = VozerFont{};
}

bool loadFontByName(VozerFont* font) {
    VozerEngineApi* a = api();
    if (!font || !font->name) return false;
    const char* name = font->name;
    if (std::strstr(name, "!NONE")) return true;
    bool loaded = std::strstr(name, ".mft") && LoadFontFile(font);
    if (!loaded && !font->generationTried) {
        font->generationTried = true;
        if (ZTI_GenerateFontFromSource(font, 1.0)) {
            // The generated record is the font whether or not it can be
            // saved: a read-only game folder must not cost the text.
            loaded = true;
            const std::string path = savePathFor(name);
            if (a->SaveFont) a->SaveFont(font, path.c_str());
        }
    }
    if (!loaded) {
        a->Print("failed: bad or unfound file\n");
        return false;
    }
    font->scale = 1.0f;
    const int32_t described = font->height >= 2 ? describedHeight(name) : 0;
    if (described >= 2) {
        font->scale = static_cast<float>(described) / static_cast<float>(font->height);
        font->height = described;
        font->lineHeight = static_cast<int32_t>(static_cast<float>(font->lineHeight) * font->scale);
        a->Print("(%dpx)\n", font->lineHeight);
    } else {
        a->Print("(%dpx)\n", font->height);
    }
    return true;
}

VozerFont* firstFontSlot() {
    FontPool& p = pool();
    return p.count > 0 && p.slots[0].name ? &p.slots[0] : nullptr;
}

VozerFont* fontSlot(int32_t index) {
    return index >= 0 && index < FONT_POOL_SIZE ? &pool().slots[index] : nullptr;
}

int32_t fontsInUse() {
    EngineLock lock(MUTEX_GET_FONT);
    int32_t n = 0;
    for (int32_t i = 0; i < pool().count; ++i) n += pool().slots[i].name ? 1 : 0;
    return n;
}

// Both walk the pool under GET_FONT and each font under its record lock;
// the renderer calls inside take GFX_HW after them.
void recreateAllFontAtlases() {
    EngineLock poolLock(MUTEX_GET_FONT);
    FontPool& p = pool();
    for (int32_t i = 0; i < p.count; ++i) {
        if (!p.slots[i].name) continue;
        lockObject(p.locks[i]);
        ZTI_RecreateFontAtlas(&p.slots[i]);
        unlockObject(p.locks[i]);
    }
}

void releaseAllFontTextures() {
    EngineLock poolLock(MUTEX_GET_FONT);
    FontPool& p = pool();
    for (int32_t i = 0; i < p.count; ++i) {
        if (!p.slots[i].name) continue;
        lockObject(p.locks[i]);
        releaseFontTextures(&p.slots[i]);
        unlockObject(p.locks[i]);
    }
}

void resetFontPool() {
    FontPool& p = pool();
    for (VozerFont& font : p.slots)
        if (font.name || font.glyphs) clearFontRecord(&font);
    p.count = 0;
}

}  // namespace vz::font

namespace vz::slots {

using font::FONT_COUNTED_BY_GETFONT;

VozerFont* GetFont(const char* name) {
    lockEngineMutex(MUTEX_GET_FONT);
    if (VozerFont* font = font::findByName(name)) {
        if (font->name[0] != '!' && !(font->flags & FONT_COUNTED_BY_GETFONT)) {
            ++font->refCount;
            font->flags |= FONT_COUNTED_BY_GETFONT;
            font::logCount("'%s' ref count++ (GetFont): now %d", font);
        }
        unlockEngineMutex(MUTEX_GET_FONT);
        font::waitUntilLoaded(font);
        return font;
    }
    VozerFont* font = font::claimSlot(name);
    if (!font) {
        unlockEngineMutex(MUTEX_GET_FONT);
        api()->Popup(1, " ! Vozer out of free fonts.");
        return nullptr;
    }
    font->refCount = 1;
    font->flags |= FONT_COUNTED_BY_GETFONT;
    font::logCount("'%s' ref count = 1 (GetFont)", font);
    VozerMutex* lock = font->lock;
    lockObject(lock);
    unlockEngineMutex(MUTEX_GET_FONT);
    font::loadNewFont(font, "..caching font '%s'", false);
    unlockObject(lock);
    return font;
}

VozerFont* LoadFont(const char* name) {
    lockEngineMutex(MUTEX_GET_FONT);
    if (VozerFont* font = font::findByName(name)) {
        if (font->name[0] != '!') {
            // The count is 16 bits wide; a count that would wrap stays put.
            if (font->refCount < INT16_MAX) ++font->refCount;
            font::logCount("'%s' ref count++: now %d", font);
        }
        unlockEngineMutex(MUTEX_GET_FONT);
        font::waitUntilLoaded(font);
        return font;
    }
    VozerFont* font = font::claimSlot(name);
    if (!font) {
        unlockEngineMutex(MUTEX_GET_FONT);
        api()->Popup(1, " ! Vozer out of free fonts.\n");
        return nullptr;
    }
    font->refCount = 1;
    font::logCount("'%s' ref count = 1", font);
    VozerMutex* lock = font->lock;
    lockObject(lock);
    unlockEngineMutex(MUTEX_GET_FONT);
    font::loadNewFont(font, "..caching font '%s' ", true);
    unlockObject(lock);
    return font;
}

void RecreateFontAtlas(VozerFont* font) {
    if (!font) return;
    VozerMutex* lock = font->lock;
    lockObject(lock);
    if (font->name) font::ZTI_RecreateFontAtlas(font);
    unlockObject(lock);
}

void ReleaseFont(VozerFont* font) {
    VozerEngineApi* a = api();
    if (!font) {
        a->Log(1, "Trying to release a null font.");
        return;
    }
    EngineLock lock(MUTEX_GET_FONT);
    // A pointer that is not a live pool slot (a double free after the slot
    // was emptied, or no font at all) must not be written through.
    if (!font::inPool(font) || !font->name) {
        a->Log(1, "Trying to release a font that is not loaded.");
        return;
    }
    if (!font::countingOn()) {
        font::FreeFont(font);
        return;
    }
    --font->refCount;
    font::logCount("ReleaseFont '%s' ref count--: now %d", font);
    const bool tooMany = (font->flags & FONT_COUNTED_BY_GETFONT) && font->refCount == 0;
    const bool belowZero = font->refCount < 0;
    if (font->refCount == 0) a->Print("Hibernating Font '%s'..", font->name);
    if (belowZero) font->refCount = 0;
    // Popups once the pool lock is released; a counted font keeps its name.
    const std::string name = font->name;
    lock.unlock();
    if (tooMany)
        a->Popup(1,
                 "Releasing font '%s' too many times: ref counting will get messed up. NOTE: font has been accessed "
                 "using GetFont which increses ref count by 1 once.",
                 name.c_str());
    if (belowZero) a->Popup(1, "Font '%s' reference count less than zero.", name.c_str());
}

vz_bool SaveFont(VozerFont* font, const char* path) {
    if (!font) return 0;
    VozerMutex* lock = font->lock;
    lockObject(lock);
    const bool saved = font::SaveFontFile(font, path);
    unlockObject(lock);
    return saved ? 1 : 0;
}

}  // namespace vz::slots
