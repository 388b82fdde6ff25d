// The glyph atlas of a font and its way to the renderer: packing, upload on
// the main thread or through the font upload queue, and texture releases.
#pragma once

#include <cstdint>

#include "font/font_record.h"

namespace vz::font {

// Glyph images an atlas takes at most.
constexpr int32_t MAX_ATLAS_GLYPHS = 4096;

// ZTI_RecreateFontAtlas: pack the glyph images into the font's atlas (when
// the renderer asked for atlases; otherwise every glyph keeps its own
// texture) and upload, now or through the queue.
void ZTI_RecreateFontAtlas(VozerFont* font);

// UploadFont: upload now when this thread may talk to the renderer, else queue.
void UploadFont(VozerFont* font);
// QueueFontUpload: append to the resource queue's font uploads, once.
void QueueFontUpload(VozerFont* font);

// Release every texture the font holds (the shared atlas texture once, or
// each glyph's own), now when this thread may talk to the renderer, else
// queued for the next frame. The glyphs are no longer drawable afterwards.
void releaseFontTextures(VozerFont* font);

}  // namespace vz::font
