// The text entries without their printf step, for the runtime's own callers.
#pragma once

#include "vozer_types.h"

namespace vz::font {

// DrawText of ready text with the current text settings; returns the width
// of the widest line on the screen. Draws nothing for a null or empty font.
float drawTextPlain(VozerFont* font, float x, float y, const char* text);
// GetTextSize of ready text; the size is also kept as the last measured one.
void measureTextPlain(VozerFont* font, const char* text, float* width, float* height);
// Alignment 0, no wrapping, scale 1, no rotation (start-up and tests).
void resetTextSettings();

}  // namespace vz::font
