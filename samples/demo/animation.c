/* The sample game's animation: a spinner made of sixteen frames that the
 * build packs into one sequence (sprites/spinner.bms, inside art.pak). The
 * game picks the frame from its play time and the frames' own rate, so the
 * spinner keeps its speed whatever the frame rate of the screen. */
#include "demo_animation.h"

static VozerBitmap* spinner;

void demoAnimationInit(VozerEngineApi* zt) { spinner = zt->GetBitmap("sprites/spinner"); }

void demoAnimationShutdown(VozerEngineApi* zt) {
    zt->ReleaseBitmap(spinner);
    spinner = 0;
}

void demoAnimationRender(VozerEngineApi* zt, float width, float height, float playTime) {
    float rate;
    int32_t frame;
    (void)height;
    if (!spinner || spinner->frameCount < 1) return;
    rate = spinner->frames[0].framesPerSecond > 0.0f ? spinner->frames[0].framesPerSecond : 12.0f;
    frame = (int32_t)(playTime * rate) % spinner->frameCount;
    zt->SetBitmapFrame(spinner, frame);
    zt->SetBlendMode(0);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(1.0f);
    zt->DrawBitmapEx(spinner, width - 56.0f, 56.0f, 0.0f, 1.0f);
}
