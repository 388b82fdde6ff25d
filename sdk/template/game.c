/* My Game: a starting point for a Vozer game. The runtime calls the five
 * entries of the record filled below; everything else goes through the engine
 * API table in program->api. Escape quits. */
#include <math.h>
#include <string.h>

#include "vozer_api.h"

#define KEY_ESCAPE 27
#define MOUSE_X 504 /* key codes whose axis values hold the pointer position */
#define MOUSE_Y 505

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static float elapsed;

static vz_bool VZ_CDECL gameInit(void) {
    zt = program->api;
    zt->Print("%s starts at %dx%d.", program->title, program->display.width, program->display.height);
    return 1;
}

static void VZ_CDECL gameShutdown(void) { zt->Print("%s ends after %.1f s.", program->title, elapsed); }

static void VZ_CDECL gameUpdate(float seconds) { elapsed += seconds; }

static void VZ_CDECL gameRender(float seconds) {
    const float width = (float)program->display.width;
    const float height = (float)program->display.height;
    int i;
    (void)seconds;
    zt->ClearScreen(0.10f, 0.12f, 0.20f);
    /* A row of bars that breathe, and a square that follows the mouse. */
    for (i = 0; i < 16; ++i) {
        const float phase = elapsed * 2.0f + (float)i * 0.4f;
        const float barHeight = height * (0.25f + 0.15f * sinf(phase));
        zt->SetColor(0.3f + 0.04f * (float)i, 0.6f, 1.0f - 0.04f * (float)i);
        zt->FillRect(width * ((float)i + 0.5f) / 17.0f, height - barHeight, width / 24.0f, barHeight);
    }
    zt->SetColor(1.0f, 0.85f, 0.2f);
    zt->FillRect(zt->GetAxis(MOUSE_X) - 16.0f, zt->GetAxis(MOUSE_Y) - 16.0f, 32.0f, 32.0f);
}

static int32_t VZ_CDECL gameOnEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_KEY_DOWN && event.words[0] == KEY_ESCAPE) zt->Quit();
    return 0;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    if (!record || version != VZ_INTERFACE_VERSION) return 0;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    /* prog.xml may override these four. */
    strcpy(record->id, "MyGame");
    strcpy(record->title, "My Game");
    strcpy(record->version, "0.1.0");
    strcpy(record->developerName, "My Studio");
    record->display.width = 800;
    record->display.height = 600;
    record->display.windowed = 1;
    record->display.singleInstance = 1;
    record->Init = gameInit;
    record->Shutdown = gameShutdown;
    record->Update = gameUpdate;
    record->Render = gameRender;
    record->OnEvent = gameOnEvent;
    return 1;
}
