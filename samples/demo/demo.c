/* The Vozer sample game. A Program built only against the engine's public
 * headers: it fills its record, draws a small scene every frame and quits on
 * Escape or after its own play time. It grows with the engine and shows off
 * each capability as it arrives. */
#include <math.h>
#include <string.h>

#include "demo_sound.h"
#include "vozer_api.h"

#define PLAY_SECONDS 20.0f
#define KEY_ESCAPE 27

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static float playTime;
static int frames;

static vz_bool VZ_CDECL demoInit(void) {
    zt = program->api;
    zt->Print("Vozer sample game: %dx%d, frame period %d ms.", program->display.width,
              program->display.height, program->display.framePeriodMs);
    demoSoundStart(zt);
    return 1;
}

static void VZ_CDECL demoShutdown(void) {
    zt->Print("Vozer sample game ran %d frames in %.1f s.", frames, playTime);
    demoSoundStop(zt);
}

static void VZ_CDECL demoUpdate(float seconds) {
    playTime += seconds;
    if (playTime >= PLAY_SECONDS) zt->Quit();
}

/* A ring of boxes turning about the centre of the screen. */
static void VZ_CDECL demoRender(float seconds) {
    const float width = (float)program->display.width;
    const float height = (float)program->display.height;
    const float radius = (width < height ? width : height) * 0.3f;
    int i;
    (void)seconds;
    ++frames;
    zt->ClearScreen(0.08f, 0.10f, 0.16f);
    for (i = 0; i < 12; ++i) {
        const float angle = playTime * 0.8f + (float)i * (6.2831853f / 12.0f);
        const float x = width * 0.5f + cosf(angle) * radius;
        const float y = height * 0.5f + sinf(angle) * radius;
        zt->SetColor(0.5f + 0.5f * cosf(angle), 0.5f + 0.5f * sinf(angle), 0.9f);
        zt->FillRect(x - 12.0f, y - 12.0f, 24.0f, 24.0f);
    }
}

static int32_t VZ_CDECL demoOnEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_KEY_DOWN && event.words[0] == KEY_ESCAPE) zt->Quit();
    demoSoundEvent(zt, &event, program->display.width);
    return 0;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    if (!record || version != VZ_INTERFACE_VERSION) return 0;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerSampleGame");
    strcpy(record->title, "Vozer Sample Game");
    strcpy(record->version, "0.1.0");
    strcpy(record->developerName, "Vozer");
    record->display.width = 800;
    record->display.height = 600;
    record->display.windowed = 1;
    record->display.singleInstance = 1;
    record->Init = demoInit;
    record->Shutdown = demoShutdown;
    record->Update = demoUpdate;
    record->Render = demoRender;
    record->OnEvent = demoOnEvent;
    return 1;
}
