/* A test Program that draws a fixed scene through the engine API in full
 * screen, so the case can compare the captured frame with pixels it works out
 * on its own: a 32x32 four-colour bitmap ("quad", beside the game) drawn
 * plainly, rotated and scaled, and as a section; a filled rectangle (in a
 * colour whose word, read as a float, is a signalling NaN: copied through
 * floating-point registers its red would change); two lines; and a 64x32
 * render target drawn to the screen.
 *
 * After a few frames it makes the device lose itself the way switching away
 * from a full-screen game does (the application is deactivated, then
 * activated again from a worker thread). The render target comes back as
 * event 17; the Program redraws it in its second colour, so the last frame
 * shows that the redraw reached the screen. Results go to trace.txt:
 *   bitmap 1 / target 1      the bitmap was found and the target created
 *   lost NAME WxH            each event 17, with the record's size
 *   redrawn N                the target's content was drawn N times
 *   frames N                 frames rendered before quitting */
#include <stdio.h>
#include <string.h>

#include "../test_program.h"

#ifdef _WIN32
#include <windows.h>
#endif

#define SCREEN_W 1024
#define SCREEN_H 768
#define LOSE_AT_FRAME 5
#define FRAMES_AFTER_REDRAW 5
#define MAX_FRAMES 400

static VozerProgramRecord* program;
#define zt (program->api)
static VozerBitmap* quad;
static VozerBitmap* target;
static int frames;
static int generation;    /* 0 before the loss, 1 after event 17 */
static int needRedraw = 1;
static int redrawFrame = -1;
static int redraws;

/* The target's content: its left half magenta, its right half a colour that
 * tells which generation drew it (cyan-ish before the loss, orange after). */
static void drawTarget(void) {
    if (!zt->PushRenderTarget(target)) return;
    if (generation == 0) zt->ClearScreen(0.0f, 0.5f, 0.5f);
    else zt->ClearScreen(1.0f, 0.5f, 0.0f);
    zt->SetColor(1.0f, 0.0f, 1.0f);
    zt->FillRect(0.0f, 0.0f, 32.0f, 32.0f);
    zt->PopRenderTarget();
    ++redraws;
}

#ifdef _WIN32
static HWND mainWindow(void) { return FindWindowA("VozerWindowClass", program->title); }

/* Comes back to the game a moment after it was left, as a player would. */
static void VZ_CDECL comeBack(void* unused) {
    (void)unused;
    Sleep(400);
    PostMessageA(mainWindow(), WM_ACTIVATEAPP, TRUE, 0);
}
#endif

static vz_bool VZ_CDECL drawInit(void) {
    quad = zt->GetBitmap("quad");
    target = zt->CreateBitmap("target", 64, 32, 1);
    noteInt("bitmap", quad != NULL);
    noteInt("target", target != NULL);
    return quad && target;
}

static void VZ_CDECL drawUpdate(float seconds) {
    (void)seconds;
#ifdef _WIN32
    if (frames == LOSE_AT_FRAME) {
        PostMessageA(mainWindow(), WM_ACTIVATEAPP, FALSE, 0);
        zt->CreateThread("come back", comeBack, NULL, 0);
    }
#endif
    if ((redrawFrame >= 0 && frames >= redrawFrame + FRAMES_AFTER_REDRAW) || frames >= MAX_FRAMES) zt->Quit();
}

static void VZ_CDECL drawRender(float seconds) {
    (void)seconds;
    ++frames;
    if (needRedraw) {
        drawTarget();
        needRedraw = 0;
        if (generation > 0 && redrawFrame < 0) redrawFrame = frames;
    }
    zt->ClearScreen(0.0f, 0.0f, 0.25f);
    zt->SetTextureFilter(0);
    zt->SetBlendMode(0);
    zt->SetAlpha(1.0f);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->DrawBitmap(quad, 100.0f, 100.0f);
    zt->DrawBitmapEx(quad, 240.0f, 160.0f, 0.5f, 2.0f);
    zt->DrawBitmapSection(quad, 360.0f, 100.0f, 8.0f, 8.0f, 24.0f, 24.0f);
    zt->DrawBitmap(target, 500.0f, 300.0f);
    zt->SetColor(0.6f, 1.0f, 0.0f);
    zt->FillRect(400.0f, 100.0f, 50.0f, 30.0f);
    zt->SetColor(0.0f, 1.0f, 1.0f);
    zt->DrawLine(100.0f, 400.5f, 300.0f, 400.5f);
    zt->DrawLine(350.5f, 300.0f, 350.5f, 450.0f);
}

static int32_t VZ_CDECL drawEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_RENDER_TARGET_LOST) {
        const VozerBitmap* lost = (const VozerBitmap*)vz_event_pointer_at(&event, 0);
        char text[96];
        sprintf(text, "%s %dx%d", lost == target ? "target" : "other", lost ? (int)lost->width : -1,
                lost ? (int)lost->height : -1);
        note("lost", text);
        generation = 1;
        needRedraw = 1;
    }
    return 0;
}

static void VZ_CDECL drawShutdown(void) {
    noteInt("redrawn", redraws);
    noteInt("frames", frames);
    zt->ReleaseBitmap(target);
    zt->ReleaseBitmap(quad);
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerDrawTest", "Draw Test");
    record->display.width = SCREEN_W;
    record->display.height = SCREEN_H;
    record->display.windowed = 0;
    record->Init = drawInit;
    record->Update = drawUpdate;
    record->Render = drawRender;
    record->OnEvent = drawEvent;
    record->Shutdown = drawShutdown;
    return 1;
}
