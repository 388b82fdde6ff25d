/* The sample game's animated spinner (animation.c). */
#ifndef DEMO_ANIMATION_H
#define DEMO_ANIMATION_H

#include "vozer_api.h"

void demoAnimationInit(VozerEngineApi* zt);
void demoAnimationShutdown(VozerEngineApi* zt);
void demoAnimationRender(VozerEngineApi* zt, float width, float height, float playTime);

#endif
