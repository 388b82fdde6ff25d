/* A test Program that leaves resources behind on purpose, or not. With
 * "leak=1" on its command line it keeps bitmaps (one of them counted three
 * times), a sound and a font; with "leak=0" it gives everything back in its
 * Shutdown, as a tidy game does; with "leak=2" it keeps them and its Shutdown
 * crashes. It asks for the resource usage report in its second frame, while
 * everything is held and uploaded, and quits in its third. */
#include "../test_program.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static long mode;
static int frames;
static VozerBitmap *sprite, *tile;
static VozerSound* blip;
static VozerFont* font;

static vz_bool VZ_CDECL leaksInit(void) {
    zt = program->api;
    mode = commandLineNumber(program, "leak=");
    sprite = zt->CreateBitmap("leak/sprite", 32, 32, 0);
    zt->LoadBitmap("leak/sprite", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE); /* every LoadBitmap counts */
    zt->LoadBitmap("leak/sprite", VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE);
    tile = zt->CreateBitmap("leak/tile", 16, 16, 0);
    if (sprite) zt->RefreshBitmap(sprite); /* the pixels as made go to the renderer */
    if (tile) zt->RefreshBitmap(tile);
    blip = zt->LoadSound("sfx/blip");
    font = zt->LoadFont("core/console");
    noteInt("sprite-count", sprite ? sprite->refCount : -1);
    noteInt("have-all", sprite && tile && blip && font);
    return 1;
}

static void VZ_CDECL leaksUpdate(float seconds) {
    (void)seconds;
    ++frames;
    if (frames == 2) zt->CallExtension("ListResourceUsage", NULL); /* uploads are done by now */
    if (frames == 3) zt->Quit();
}

static void VZ_CDECL leaksRender(float seconds) {
    (void)seconds;
    zt->DrawBitmap(sprite, 10.0f, 10.0f);
}

/* A real fault, not one the sanitizers of the development build stop first. */
#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((no_sanitize("address", "undefined")))
#endif
static void VZ_CDECL leaksShutdown(void) {
    note("shutdown", "1");
    if (mode == 0) {
        int i;
        for (i = 0; i < 3; ++i) zt->ReleaseBitmap(sprite);
        zt->ReleaseBitmap(tile);
        zt->ReleaseSound(blip);
        zt->ReleaseFont(font);
    } else if (mode == 2) {
        *(volatile int*)0 = 1;
        note("survived", "1"); /* never reached */
    }
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerLeaksTest", "Leaks Test");
    record->display.hibernateUnreferenced = 1;
    record->Init = leaksInit;
    record->Update = leaksUpdate;
    record->Render = leaksRender;
    record->Shutdown = leaksShutdown;
    return 1;
}
