/* A second game made with the kit alone: a sprite and a sound from its pak,
 * an animation and a font made at build time, two blend modes, and what it
 * saw in trace.txt. The picture it draws (the test checks it pixel by pixel):
 *   background (0, 0, 0.25);
 *   content/quad (32x32, four colours) with its top-left corner at (100, 100);
 *   the second frame of walk.bms (24x24 magenta) at (340, 100);
 *   red at alpha 0.5, additive, over (200, 100) 40x40;
 *   green at alpha 0.25, opaque, over (260, 100) 40x40;
 *   "Kit" in yellow, centred on (400, 400). */
#include <stdio.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static VozerBitmap* quad;
static VozerBitmap* walk;
static VozerSound* beep;
static VozerFont* font;
static VozerChannel channel;
static int frames;
static FILE* trace;

static void note(const char* name, long value) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (!trace) return;
    fprintf(trace, "%s %ld\n", name, value);
    fflush(trace);
}

static vz_bool VZ_CDECL gameInit(void) {
    VozerBitmap* missing;
    zt = program->api;
    quad = zt->GetBitmap("content/quad");
    walk = zt->GetBitmap("walk.bms");
    zt->SetBitmapFrame(walk, 1);
    beep = zt->GetSound("content/beep");
    font = zt->GetFont("fonts/title.mft");
    missing = zt->GetBitmap("no/such/picture");
    note("quad-width", quad ? quad->width : -1);
    note("walk-frames", walk ? walk->frameCount : -1);
    note("font", font != NULL);
    note("missing-null", missing == NULL);
    note("missing-state", missing ? missing->loadState : -1);
    note("missing-width", missing ? missing->width : -1);
    return 1;
}

static void VZ_CDECL gameShutdown(void) {
    zt->ReleaseBitmap(quad);
    zt->ReleaseBitmap(walk);
    zt->ReleaseSound(beep);
    zt->ReleaseFont(font);
}

static void VZ_CDECL gameUpdate(float seconds) {
    (void)seconds;
    ++frames;
    if (frames == 2) {
        channel = zt->PlaySound(beep, VZ_SOUND_VOLUME_FULL, VZ_SOUND_PAN_LEFT, VZ_SOUND_PITCH_NORMAL);
        note("played", channel != NULL);
        note("playing", vz_channel_is_playing(zt, channel));
    }
}

static void VZ_CDECL gameRender(float seconds) {
    (void)seconds;
    zt->ClearScreen(0.0f, 0.0f, 0.25f);
    zt->DrawBitmap(quad, 100.0f, 100.0f);
    zt->DrawBitmap(walk, 340.0f, 100.0f);
    zt->SetBlendMode(VZ_BLEND_ADDITIVE);
    zt->SetColor(1.0f, 0.0f, 0.0f);
    zt->SetAlpha(0.5f);
    zt->FillRect(200.0f, 100.0f, 40.0f, 40.0f);
    zt->SetBlendMode(VZ_BLEND_OPAQUE);
    zt->SetColor(0.0f, 1.0f, 0.0f);
    zt->SetAlpha(0.25f);
    zt->FillRect(260.0f, 100.0f, 40.0f, 40.0f);
    zt->SetBlendMode(VZ_BLEND_ALPHA);
    zt->SetAlpha(1.0f);
    zt->SetColor(1.0f, 1.0f, 0.0f);
    zt->SetTextAlign(VZ_ALIGN_CENTER | VZ_ALIGN_MIDDLE);
    zt->DrawText(font, 400.0f, 400.0f, "Kit");
}

static int32_t VZ_CDECL gameOnEvent(VozerEvent event) {
    (void)event;
    return 0;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    if (!record || version != VZ_INTERFACE_VERSION) return 0;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "KitGame");
    strcpy(record->title, "Kit Game");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Kit Tests");
    record->display.width = 800;
    record->display.height = 600;
    record->display.windowed = 1;
    record->Init = gameInit;
    record->Shutdown = gameShutdown;
    record->Update = gameUpdate;
    record->Render = gameRender;
    record->OnEvent = gameOnEvent;
    return 1;
}
