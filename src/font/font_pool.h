// The font pool as the rest of the runtime sees it.
#pragma once

#include <cstdint>

#include "vozer_types.h"

namespace vz::font {

// Fonts the pool holds at most.
constexpr int32_t FONT_POOL_SIZE = 32;

// The font in the pool's first slot (the overlays draw with it), or null.
VozerFont* firstFontSlot();

// A font record outside the pool (tools, tests): zeroed, named, scale 1 and
// an empty glyph table of 256 entries. clearFontRecord frees all it holds.
void initFontRecord(VozerFont* font, const char* name);
void clearFontRecord(VozerFont* font);

// Load the font named font->name into the record: "!NONE" stays empty,
// ".mft" files are read, and a font that cannot be read is generated from
// its source (name + ".xml") once and saved beside it. Applies the scale of
// the font's description in the manifest. False when nothing could be had.
bool loadFontByName(VozerFont* font);

// After a renderer (re)start: every font in use builds and uploads its atlas.
void recreateAllFontAtlases();
// Before the renderer goes: release every font's textures (GFX_HW held).
void releaseAllFontTextures();
// At exit: release each font still referenced (reported by name when
// counting is on), as the leak report does for bitmaps and sounds.
void releaseLeakedFonts();

// Fonts in use (named slots), for tests and the usage report.
int32_t fontsInUse();
// The pool slot `index` (0..FONT_POOL_SIZE-1), named or not.
VozerFont* fontSlot(int32_t index);
// Free every font and forget the pool (tests).
void resetFontPool();

}  // namespace vz::font
