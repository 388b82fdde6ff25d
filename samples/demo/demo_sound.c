/* The sample game's sounds. The files are made when the game is built (the
 * music an arpeggio of plucked strings, the blip a short rising tone) and
 * ship in the game folder beside prog.xml, which names the engine's sound
 * library, sndmod_wave. */
#include <string.h>

#include "demo_sound.h"

static VozerSound* blip;
static VozerSound* music;

void demoSoundStart(VozerEngineApi* zt) {
    blip = zt->LoadSound("sfx/blip");
    music = zt->LoadSound("music/theme");
    zt->PlayMusic(music, 0.6f, 2.0f);
}

/* Mouse buttons carry x and y as floats in the second and third words. */
static float clickX(const VozerEvent* event) {
    float x;
    memcpy(&x, &event->words[1], sizeof x);
    return x;
}

void demoSoundEvent(VozerEngineApi* zt, const VozerEvent* event, int screenWidth) {
    float pan = 0.0f;
    if (event->type == VZ_EVENT_MOUSE_DOWN && screenWidth > 0) {
        pan = clickX(event) / (float)screenWidth * 2.0f - 1.0f;
    } else if (event->type != VZ_EVENT_KEY_DOWN) {
        return;
    }
    zt->PlaySound(blip, 0.8f, pan, 1.0f);
}

void demoSoundStop(VozerEngineApi* zt) {
    zt->StopMusic(0.0f);
    zt->ReleaseSound(blip);
    zt->ReleaseSound(music);
}
