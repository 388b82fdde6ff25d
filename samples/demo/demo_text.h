/* The sample game's text drawing (text.c). */
#ifndef DEMO_TEXT_H
#define DEMO_TEXT_H

#include "vozer_api.h"

void demoTextInit(VozerEngineApi* zt);
void demoTextShutdown(VozerEngineApi* zt);
void demoTextRender(VozerEngineApi* zt, float width, float height, float playTime);

#endif
