/* A test Program that uses sounds and music as a game does: it loads effects
 * and music, plays an effect twice within 50 ms and again later, changes a
 * channel, starts music with a fade-in, asks for the same music at another
 * volume (a slide), fades an effect out, stops the music and releases what it
 * loaded. What it asked and got goes to trace.txt as "name value"; the
 * configured sound library writes down what reached it. */
#include <stdio.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static FILE* trace;
static uint32_t started;
static int phase;
static VozerSound *boom, *click, *missing, *theme;
static VozerChannel later;

static void note(const char* name, const char* value) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s %s\n", name, value);
        fflush(trace);
    }
}

static void noteFlag(const char* name, int value) { note(name, value ? "1" : "0"); }

static vz_bool VZ_CDECL soundsInit(void) {
    VozerChannel first;
    zt = program->api;
    started = zt->GetTime();
    boom = zt->LoadSound("sfx/boom");
    click = zt->GetSound("sfx/click");
    missing = zt->LoadSound("missing");
    theme = zt->LoadSound("music/theme");
    noteFlag("loaded", boom && click && missing && theme);
    first = zt->PlaySound(boom, 0.8f, -0.5f, 1.0f);
    noteFlag("play1", first != NULL);
    noteFlag("play2", zt->PlaySound(boom, 0.8f, 0.5f, 1.0f) != NULL); /* within 50 ms: refused */
    zt->ChannelOpB(first, 0.25f);
    zt->PlayMusic(theme, 0.6f, 0.5f);
    return 1;
}

static void VZ_CDECL soundsUpdate(float seconds) {
    const uint32_t elapsed = zt->GetTime() - started;
    (void)seconds;
    if (phase == 0 && elapsed >= 200) {
        later = zt->PlaySound(boom, 0.4f, 0.5f, 1.0f);
        noteFlag("play3", later != NULL);
        noteFlag("click", zt->PlaySound(click, 1.0f, 0.0f, 1.0f) != NULL);
        phase = 1;
    } else if (phase == 1 && elapsed >= 800) {
        VozerSound* current = zt->GetCurrentMusic();
        note("music-now", current == theme ? "theme" : current ? "other" : "none");
        zt->PlayMusic(theme, 0.3f, 5.0f); /* already playing: slides over one second */
        phase = 2;
    } else if (phase == 2 && elapsed >= 2000) {
        zt->FadeOutSound(later, 0.5f);
        zt->StopMusic(0.25f);
        zt->ReleaseSound(boom);
        zt->ReleaseSound(missing);
        phase = 3;
    } else if (phase == 3 && elapsed >= 2100) {
        note("quit", "1");
        zt->Quit();
    }
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerSoundsTest");
    strcpy(record->title, "Sounds Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->display.hibernateUnreferenced = 1;
    record->Init = soundsInit;
    record->Update = soundsUpdate;
    return 1;
}
