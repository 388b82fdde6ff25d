/* My Game: a starting point for a Vozer game. The runtime calls the five
 * entries of the record filled below; everything else goes through the engine
 * API table in program->api. Click to play a sound, Escape quits. */
#include <math.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt; /* program->api; see gameOnEvent for when it is set */
static VozerFont* font;
static VozerSound* click;
static float elapsed;

static vz_bool VZ_CDECL gameInit(void) {
    zt = program->api;
    zt->Print("%s starts at %dx%d.", program->title, program->display.width, program->display.height);
    /* The console's font ships with the runtime; make your own with
     * vozer-font (vozer_add_font in CMakeLists.txt). */
    font = zt->GetFont("core/console.mft");
    click = zt->GetSound("sfx/click"); /* sfx/click.wav */
    return 1;
}

static void VZ_CDECL gameShutdown(void) {
    zt->Print("%s ends after %.1f s.", program->title, elapsed);
    zt->ReleaseSound(click);
    zt->ReleaseFont(font);
}

static void VZ_CDECL gameUpdate(float seconds) {
    elapsed += seconds;
    /* Reading a key's state clears its "went down" bit: ask once per frame. */
    if (zt->GetKeyState(VZ_MOUSE_BUTTON_LEFT) & VZ_KEY_WENT_DOWN) {
        /* Pan the click to where the mouse is: -1 at the left edge, 1 at the right. */
        const float pan = zt->GetAxis(VZ_MOUSE_X) / (float)program->display.width * 2.0f - 1.0f;
        zt->PlaySound(click, VZ_SOUND_VOLUME_FULL, pan, VZ_SOUND_PITCH_NORMAL);
    }
}

static void VZ_CDECL gameRender(float seconds) {
    const float width = (float)program->display.width;
    const float height = (float)program->display.height;
    int i;
    (void)seconds;
    zt->ClearScreen(0.10f, 0.12f, 0.20f);
    /* A row of bars that breathe and glow where they overlap the square, and
     * a square (top-left corner at the given point) that follows the mouse. */
    zt->SetColor(1.0f, 0.85f, 0.2f);
    zt->FillRect(zt->GetAxis(VZ_MOUSE_X) - 16.0f, zt->GetAxis(VZ_MOUSE_Y) - 16.0f, 32.0f, 32.0f);
    zt->SetBlendMode(VZ_BLEND_ADDITIVE);
    zt->SetAlpha(0.8f);
    for (i = 0; i < 16; ++i) {
        const float phase = elapsed * 2.0f + (float)i * 0.4f;
        const float barHeight = height * (0.25f + 0.15f * sinf(phase));
        zt->SetColor(0.3f + 0.04f * (float)i, 0.6f, 1.0f - 0.04f * (float)i);
        zt->FillRect(width * ((float)i + 0.5f) / 17.0f, height - barHeight, width / 24.0f, barHeight);
    }
    zt->SetBlendMode(VZ_BLEND_ALPHA);
    zt->SetAlpha(1.0f);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetTextAlign(VZ_ALIGN_CENTER | VZ_ALIGN_MIDDLE);
    zt->DrawText(font, width * 0.5f, height * 0.25f, "%s: click to play a sound, Escape quits", program->title);
    zt->SetTextAlign(VZ_ALIGN_TOP_LEFT);
}

static int32_t VZ_CDECL gameOnEvent(VozerEvent event) {
    /* The first event (VZ_EVENT_CHECK_PARAMS, to adjust program->display)
     * comes before Init: the table is already in the record then, but only
     * Print and Log may be used before Init. */
    zt = program->api;
    if (event.type == VZ_EVENT_KEY_DOWN && event.words[0] == VZ_KEY_ESCAPE) zt->Quit();
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
