/* A test Program that draws one bitmap of every kind, switches to full
 * screen with Reinitialize and back, and draws the same scene again: the
 * renderer is restarted twice, and everything must come back as it was.
 * The scene, on a dark blue background (32x32 tiles from x = 20, 80 apart):
 *   single.png          a single image
 *   walk                numbered frames walk0000.png... found by the base name, frame 1 shown
 *   anim                anim.bms, frames packed into one atlas, frame 2 shown
 *   steps               steps.bms, frames stored one by one, frame 1 shown
 *   created             a bitmap the Program made and filled (16x16)
 *   target              a 64x32 render target, cleared by the Program (redrawn after event 17)
 *   http://.../net.png  downloaded once (the server then stops): later loads come from the cache
 * and a line of text below them.
 *
 * The frames before, during and after full screen are the renderer's captures
 * 1, 2 and 3 (VOZER_CAPTURE=frame*.png). Trace lines:
 *   loaded N                bitmaps that have a texture after Init (7 expected)
 *   lost target             each event 17 for the render target
 *   mode W H WINDOWED       the display after each finished re-initialisation
 *   pixels walk 1 COLOUR    after mode 4 -> 6 the sequence has pixels again (frame 1's first pixel)
 *   frames N                frames rendered */
#include <stdio.h>
#include <string.h>

#include "../test_program.h"

#define TILE 80.0f
#define FULL_SCREEN_AT 8   /* frame that asks for full screen */
#define FRAMES_PER_MODE 8  /* frames drawn in each mode before the next step */
#define MAX_FRAMES 600

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static VozerBitmap* single;
static VozerBitmap* walk;
static VozerBitmap* anim;
static VozerBitmap* steps;
static VozerBitmap* created;
static VozerBitmap* target;
static VozerBitmap* net;
static VozerFont* font;
static int frames;
static int reinits;        /* finished re-initialisations */
static int reinitFrame;    /* frame at which the last one finished */
static int needRedraw = 1;

static void redrawTarget(void) {
    if (!zt->PushRenderTarget(target)) return;
    zt->ClearScreen(1.0f, 0.5f, 0.0f);
    zt->PopRenderTarget();
}

static vz_bool VZ_CDECL restartInit(void) {
    char url[128];
    int32_t i, loaded = 0;
    VozerBitmap* all[7];
    zt = program->api;
    single = zt->GetBitmap("single");
    walk = zt->GetBitmap("walk");
    anim = zt->GetBitmap("anim");
    steps = zt->GetBitmap("steps");
    created = zt->CreateBitmap("created", 16, 16, 0);
    target = zt->CreateBitmap("target", 64, 32, 1);
    sprintf(url, "http://127.0.0.1:%ld/net.png", commandLineNumber(program, "http_port="));
    net = zt->GetBitmap(url);
    font = zt->LoadFont("fonts/text.mft");
    if (created && created->pixels) {
        /* Little-endian 0xAARRGGBB words are B, G, R, A in memory, the order
         * the renderer asks for. */
        for (i = 0; i < 16 * 16; ++i) created->pixels[i] = 0xFF00FFFFu;
        zt->RefreshBitmap(created);
    }
    all[0] = single, all[1] = walk, all[2] = anim, all[3] = steps, all[4] = created, all[5] = target, all[6] = net;
    for (i = 0; i < 7; ++i) loaded += all[i] && all[i]->hw.hasTexture;
    noteInt("loaded", loaded);
    noteInt("font", font != NULL);
    return 1;
}

/* Full screen at the virtual screen's size (its only mode; the game's 800x600
 * is scaled into it), or the 800x600 window again. */
static VozerDisplayParams mode(vz_bool windowed) {
    VozerDisplayParams params = program->display;
    params.width = windowed ? 800 : 1024;
    params.height = windowed ? 600 : 768;
    params.windowed = windowed;
    return params;
}

static void VZ_CDECL restartUpdate(float seconds) {
    (void)seconds;
    if (frames == FULL_SCREEN_AT && reinits == 0) zt->Reinitialize(mode(0));
    if (reinits == 1 && frames == reinitFrame + FRAMES_PER_MODE) zt->Reinitialize(mode(1));
    if (reinits == 2 && frames == reinitFrame + FRAMES_PER_MODE) {
        char text[64];
        zt->SetBitmapCacheMode(walk, VZ_CACHE_HARDWARE | VZ_CACHE_SYSTEM);
        sprintf(text, "walk %d %08X", walk->pixels != NULL, walk->pixels ? (unsigned)walk->pixels[0] : 0u);
        note("pixels", text);
    }
    if ((reinits == 2 && frames >= reinitFrame + 2 * FRAMES_PER_MODE) || frames >= MAX_FRAMES) zt->Quit();
}

static void tile(VozerBitmap* bitmap, int column) { zt->DrawBitmap(bitmap, 20.0f + TILE * (float)column, 20.0f); }

static void VZ_CDECL restartRender(float seconds) {
    (void)seconds;
    ++frames;
    if (needRedraw) {
        redrawTarget();
        needRedraw = 0;
    }
    zt->ClearScreen(0.0f, 0.0f, 0.25f);
    zt->SetTextureFilter(0);
    zt->SetBlendMode(0);
    zt->SetAlpha(1.0f);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetBitmapFrame(walk, 1);
    zt->SetBitmapFrame(anim, 2);
    zt->SetBitmapFrame(steps, 1);
    tile(single, 0);
    tile(walk, 1);
    tile(anim, 2);
    tile(steps, 3);
    tile(created, 4);
    tile(target, 5);
    tile(net, 6);
    if (font) zt->DrawText(font, 20.0f, 100.0f, "Restarted twice");
}

static int32_t VZ_CDECL restartEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_RENDER_TARGET_LOST) {
        const VozerBitmap* lost = (const VozerBitmap*)vz_event_pointer_at(&event, 0);
        note("lost", lost == target ? "target" : "other");
        needRedraw = 1;
    } else if (event.type == VZ_EVENT_REINIT && (event.words[0] & 0xFF) == 1) {
        char text[64];
        ++reinits;
        reinitFrame = frames;
        sprintf(text, "%d %d %d", (int)program->display.width, (int)program->display.height,
                (int)program->display.windowed);
        note("mode", text);
    }
    return 0;
}

static void VZ_CDECL restartShutdown(void) {
    noteInt("frames", frames);
    /* What GetBitmap found stays its own until the exit. */
    zt->ReleaseBitmap(created);
    zt->ReleaseBitmap(target);
    zt->ReleaseFont(font);
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerRestartTest", "Restart Test");
    record->display.width = 800;
    record->display.height = 600;
    record->display.hibernateUnreferenced = 1;
    record->Init = restartInit;
    record->Update = restartUpdate;
    record->Render = restartRender;
    record->OnEvent = restartEvent;
    record->Shutdown = restartShutdown;
    return 1;
}
