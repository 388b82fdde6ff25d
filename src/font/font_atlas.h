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
// QueueFontUpload: append to the font upload queue, once.
void QueueFontUpload(VozerFont* font);
// Forget a font queued for upload (it is being freed).
void dequeueFont(VozerFont* font);

// Release every texture the font holds (the shared atlas texture once, or
// each glyph's own), now when this thread may talk to the renderer, else
// queued for the next frame. The glyphs are no longer drawable afterwards.
void releaseFontTextures(VozerFont* font);

// The font step of the frame's queue service (main thread, GFX_HW held):
// queued texture releases, then queued uploads until more than `budgetMs`
// have passed since `startMs` (the check follows each font).
void serviceFontQueues(uint32_t startMs, uint32_t budgetMs);

// Whether the calling thread may call the renderer now.
bool mayTalkToRenderer();

}  // namespace vz::font
