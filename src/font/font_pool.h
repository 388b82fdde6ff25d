// The font pool as the rest of the runtime sees it.
#pragma once

#include "vozer_types.h"

namespace vz::font {

// The font in the pool's first slot (the overlays draw with it), or null.
VozerFont* firstFontSlot();

}  // namespace vz::font
