// Text layout and drawing. Not part of this build yet: settings are accepted,
// text draws nothing and measures 0.
#include "api/engine_api.h"

namespace vz::slots {

void SetTextAlign(int32_t) { }
void SetTextWrapWidth(float) { }
void SetTextScale(float, float, float) { }
float DrawText(VozerFont*, float, float, const char*, ...) { return 0.0f; }
void GetTextSize(VozerFont*, float*, float*, const char*, ...) { }
float GetTextWidth(VozerFont*, const char*, ...) { return 0.0f; }
float GetTextHeight(VozerFont*, const char*, ...) { return 0.0f; }

}  // namespace vz::slots
