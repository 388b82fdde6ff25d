/* The sample game's sounds: music that loops from the start, and a short
 * blip on every key press and mouse click (panned towards the click). */
#ifndef DEMO_SOUND_H
#define DEMO_SOUND_H

#include "vozer_api.h"

void demoSoundStart(VozerEngineApi* zt);
void demoSoundEvent(VozerEngineApi* zt, const VozerEvent* event, int screenWidth);
void demoSoundStop(VozerEngineApi* zt);

#endif
