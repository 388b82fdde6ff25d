#include "font/font_atlas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "font/font_file.h"
#include "image/atlas_packer.h"
#include "image/image_loader.h"
#include "resources/bitmap_pool.h"
#include "resources/resource_queue.h"
#include "state/runtime_state.h"

namespace vz::font {

namespace {

constexpr uint16_t LOAD_READY = 3;

// The renderer-owned part of a texture: everything but the image rectangle,
// which stays where packing put the glyph.
void shareTexture(const VozerHardwareData& from, VozerHardwareData& to) {
    to.hasTexture = from.hasTexture;
    to.textureWidth = from.textureWidth;
    to.textureHeight = from.textureHeight;
    to.texture = from.texture;
    std::memcpy(to.rendererPrivate, from.rendererPrivate, sizeof to.rendererPrivate);
}

// LATIN-1 tables drawn from hand-made bitmaps often have only capitals: a
// lower-case letter without an image borrows its capital's glyph (the image
// is shared, never owned twice) and kerning.
void borrowCapitals(VozerFont* font) {
    if (font->utf8 || font->glyphCount != 256) return;
    const int32_t count = font->glyphCount;
    for (int32_t lower = 'a'; lower <= 'z'; ++lower) {
        FontGlyph& l = font->glyphs[lower];
        const FontGlyph& u = font->glyphs[lower - 'a' + 'A'];
        if (hasImage(l) || !hasImage(u)) continue;
        int8_t* row = l.kerning;
        l = u;
        l.bitmap.pixels = nullptr;
        l.kerning = row;
        if (u.kerning) {
            if (!l.kerning) l.kerning = static_cast<int8_t*>(std::malloc(static_cast<size_t>(count)));
            if (l.kerning) std::memcpy(l.kerning, u.kerning, static_cast<size_t>(count));
        } else if (l.kerning) {
            std::memset(l.kerning, 0, static_cast<size_t>(count));
        }
        for (int32_t g = 0; g < count; ++g)
            if (font->glyphs[g].kerning) font->glyphs[g].kerning[lower] = font->glyphs[g].kerning[lower - 'a' + 'A'];
    }
}

// The frame loop's font step: an upload queued by a thread that could not
// call the renderer. A font freed while it waited has no name any more.
void uploadQueuedFont(VozerFont* font) {
    if (!font || !font->name) return;
    api()->LockMutex(font->lock);
    UploadFont(font);
    api()->UnlockMutex(font->lock);
}

}  // namespace

void QueueFontUpload(VozerFont* font) {
    if (font) queueFontUpload(font, font->name, &uploadQueuedFont);
}

void UploadFont(VozerFont* font) {
    if (!font || !font->glyphs) return;
    if (!mayTalkToRenderer()) {
        QueueFontUpload(font);
        return;
    }
    EngineLock gfx(MUTEX_GFX_HW);
    VozerRendImp* renderer = rt().renderer;
    // Without a renderer there is nothing to upload to; the renderer's
    // (re)start rebuilds every font's atlas anyway.
    if (!renderer) return;
    if (font->atlas.pixels) {
        if (!renderer->ops->UploadBitmap(renderer, &font->atlas)) {
            api()->Log(1, "Unable to upload bitmap '%s' to renderer.\n", font->name ? font->name : "");
            return;
        }
        font->atlas.loadState = LOAD_READY;
        for (int32_t i = 0; i < font->glyphCount; ++i) {
            FontGlyph& g = font->glyphs[i];
            if (g.bitmap.width <= 0 || g.bitmap.height <= 0) continue;
            shareTexture(font->atlas.hw, g.bitmap.hw);
            g.bitmap.loadState = LOAD_READY;
        }
        // The glyphs keep their own pixels (for a later repack or save), so
        // the atlas copy is no longer needed.
        image::freeImagePixels(&font->atlas);
        return;
    }
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        FontGlyph& g = font->glyphs[i];
        if (!hasImage(g) || g.bitmap.hw.hasTexture) continue;
        if (renderer->ops->UploadBitmap(renderer, &g.bitmap))
            g.bitmap.loadState = LOAD_READY;
        else
            api()->Log(1, "Unable to upload bitmap '%s' to renderer.\n", font->name ? font->name : "");
    }
}

void releaseFontTextures(VozerFont* font) {
    if (!font) return;
    std::vector<VozerHardwareData> textures;
    if (font->atlas.hw.hasTexture) textures.push_back(font->atlas.hw);
    for (int32_t i = 0; i < font->glyphCount && font->glyphs; ++i) {
        VozerHardwareData& hw = font->glyphs[i].bitmap.hw;
        // Glyphs of a packed atlas all name the atlas texture: it goes once.
        if (hw.hasTexture && !(font->atlas.hw.hasTexture && hw.texture == font->atlas.hw.texture))
            textures.push_back(hw);
        hw = VozerHardwareData{};
        font->glyphs[i].bitmap.loadState = 0;
    }
    font->atlas.hw = VozerHardwareData{};
    font->atlas.loadState = 0;
    if (textures.empty()) return;
    if (mayTalkToRenderer()) {
        EngineLock gfx(MUTEX_GFX_HW);
        if (VozerRendImp* renderer = rt().renderer)
            for (VozerHardwareData& hw : textures) renderer->ops->ReleaseTexture(renderer, &hw);
        return;
    }
    // The resource queue takes a texture through a bitmap record that holds
    // it; the record only carries the texture there.
    for (const VozerHardwareData& hw : textures) {
        char name[] = "font texture";
        VozerBitmap carrier{};
        carrier.name = name;
        carrier.hw = hw;
        releaseBitmapHardware(&carrier);
    }
}

void ZTI_RecreateFontAtlas(VozerFont* font) {
    if (!font || !font->glyphs) return;
    releaseFontTextures(font);
    // A renderer of the other byte order may have taken over since the
    // glyphs were made.
    convertGlyphPixels(font, rt().pixelByteOrder);
    std::vector<VozerBitmap*> sources;
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        if (!hasImage(font->glyphs[i])) continue;
        if (static_cast<int32_t>(sources.size()) == MAX_ATLAS_GLYPHS) {
            api()->Popup(1,
                         "ZTI_RecreateFontAtlas too many glyphs (%d) in font '%s' for bitmap buffer. Ignoring some of "
                         "them.\n",
                         font->glyphCount, font->name ? font->name : "");
            break;
        }
        sources.push_back(&font->glyphs[i].bitmap);
    }
    if (sources.empty()) return;
    bool packed = false;
    if (rt().shared.atlasPacking) {
        packed = image::ZTI_PackBitmaps(&font->atlas, sources.data(), static_cast<int32_t>(sources.size()));
        if (!packed)
            api()->Popup(1, "Font '%s' has glyphs that fit in no atlas page; each glyph gets a texture of its own.\n",
                         font->name ? font->name : "");
    }
    if (packed) {
        borrowCapitals(font);
    } else {
        image::freeImagePixels(&font->atlas);
        for (VozerBitmap* b : sources) b->packMode = VZ_PAD_TRANSPARENT;
    }
    UploadFont(font);
}

}  // namespace vz::font
