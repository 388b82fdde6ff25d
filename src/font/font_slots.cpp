// The font manager's slots. Fonts are not loaded by this build yet: every
// request answers as for a font file that cannot be found, and releases and
// saves of such fonts do nothing.
#include "api/engine_api.h"
#include "font/font_pool.h"

namespace vz::slots {

VozerFont* GetFont(const char*) { return nullptr; }
VozerFont* LoadFont(const char*) { return nullptr; }
void RecreateFontAtlas(VozerFont*) { }
void ReleaseFont(VozerFont*) { }
vz_bool SaveFont(VozerFont*, const char*) { return 0; }

}  // namespace vz::slots

namespace vz::font {

VozerFont* firstFontSlot() { return nullptr; }

}  // namespace vz::font
