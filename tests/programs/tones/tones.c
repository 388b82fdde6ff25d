/* A test Program for a sound library that plays: it writes two tone files of
 * its own (440 Hz mono at 44.1 kHz, 660 Hz stereo at 22.05 kHz) into user://,
 * plays them panned hard left and hard right at two volumes, loops the music
 * the game folder carries, and stops it with a one-second fade. The engine
 * clock's time of each request goes to trace.txt, so the captured mix can be
 * checked against what was asked and when. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static FILE* trace;
static uint32_t started;
static int phase;
static VozerSound *low, *high, *music;

static void note(const char* name, unsigned value) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s %u\n", name, value);
        fflush(trace);
    }
}

static void put16(unsigned char* p, unsigned v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
static void put32(unsigned char* p, unsigned v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

/* Half a second of a sine at 80% of full scale as a 16-bit WAV file. */
static void writeTone(const char* path, double hz, unsigned rate, unsigned channels) {
    static unsigned char bytes[44 + 22050 * 2 * 2];
    const unsigned frames = rate / 2, dataBytes = frames * channels * 2;
    unsigned i, c;
    VozerFile* file;
    memcpy(bytes, "RIFF", 4);
    put32(bytes + 4, 36 + dataBytes);
    memcpy(bytes + 8, "WAVEfmt ", 8);
    put32(bytes + 16, 16);
    put16(bytes + 20, 1);
    put16(bytes + 22, channels);
    put32(bytes + 24, rate);
    put32(bytes + 28, rate * channels * 2);
    put16(bytes + 32, channels * 2);
    put16(bytes + 34, 16);
    memcpy(bytes + 36, "data", 4);
    put32(bytes + 40, dataBytes);
    for (i = 0; i < frames; ++i) {
        const int v = (int)lrint(0.8 * 32767.0 * sin(2.0 * 3.14159265358979 * hz * i / rate));
        for (c = 0; c < channels; ++c) put16(bytes + 44 + (i * channels + c) * 2, (unsigned)(v & 0xFFFF));
    }
    file = zt->OpenFile(path, "wb");
    if (file) {
        zt->WriteFile(bytes, (int32_t)(44 + dataBytes), file);
        zt->CloseFile(file);
    }
}

static vz_bool VZ_CDECL tonesInit(void) {
    zt = program->api;
    writeTone("user://tone440.wav", 440.0, 44100, 1);
    writeTone("user://tone660.wav", 660.0, 22050, 2);
    low = zt->LoadSound("user://tone440");
    high = zt->LoadSound("user://tone660");
    music = zt->LoadSound("music/loop");
    started = zt->GetTime();
    note("started", started);
    return 1;
}

static void VZ_CDECL tonesUpdate(float seconds) {
    const uint32_t now = zt->GetTime();
    (void)seconds;
    if (phase == 0 && now - started >= 300) {
        note("tones-at", now);
        note("left", zt->PlaySound(low, 0.5f, -1.0f, 1.0f) != NULL);
        note("right", zt->PlaySound(high, 0.25f, 1.0f, 1.0f) != NULL);
        phase = 1;
    } else if (phase == 1 && now - started >= 1200) {
        note("music-at", now);
        zt->PlayMusic(music, 1.0f, 0.0f);
        phase = 2;
    } else if (phase == 2 && now - started >= 3700) {
        note("stop-at", now);
        zt->StopMusic(1.0f);
        phase = 3;
    } else if (phase == 3 && now - started >= 5000) {
        zt->ReleaseSound(low);
        zt->ReleaseSound(high);
        zt->ReleaseSound(music);
        note("quit-at", now);
        zt->Quit();
    }
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerTonesTest");
    strcpy(record->title, "Tones Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 320;
    record->display.height = 240;
    record->display.windowed = 1;
    record->display.hibernateUnreferenced = 1;
    record->Init = tonesInit;
    record->Update = tonesUpdate;
    return 1;
}
