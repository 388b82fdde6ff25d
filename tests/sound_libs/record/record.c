/* A sound library for tests, written as a game maker would write one: plain
 * C against include/ only. It plays nothing; it writes down every call it
 * receives, one line each, so that tests can check what the runtime asks of
 * a sound implementation.
 *
 * A sound loads when the engine's file slots can open its file name (as a
 * real library would read it), and its data size is the file's size. Music
 * volume is followed over time with the engine clock: when a fade-in or a
 * slide reaches its target, a "music-volume" line says so, with the time it
 * took.
 *
 * Controls, from the environment (VOZER_TEST_SOUND) or VozerTestSound_Control,
 * comma-separated: "init-fails" (Init answers false), "no-interface"
 * (VOZER_SoundImp_GetInterface answers null), "refuse-loads" (no file loads).
 * VOZER_TEST_SOUND_TRACE names a file that gets every line as it is written.
 * VozerTestSound_Calls returns everything written since the last
 * VozerTestSound_Clear. */
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"
#include "vozer_runtime.h"
#include "vozer_soundimp.h"

typedef VozerSoundImp S;

static struct {
    atomic_flag busy;
    char* calls;
    size_t length, capacity;
    FILE* trace;
    int traceOpened;
    int initFails, noInterface, refuseLoads;
    VozerEngineApi* api;
    intptr_t nextChannel;
    VozerSound* music;
    float musicVolume;      /* where the volume is now (as of the last update) */
    float slideFrom, slideTarget;
    uint32_t slideStart, slideMs;
    int sliding;
} rec;

/* Static storage starts clear, which is what ATOMIC_FLAG_INIT means for
 * the C libraries this is built with. */
static void lock(void) {
    while (atomic_flag_test_and_set(&rec.busy)) {
    }
}
static void unlock(void) { atomic_flag_clear(&rec.busy); }

static void appendLocked(const char* line) {
    size_t n = strlen(line);
    if (rec.length + n + 2 > rec.capacity) {
        size_t capacity = rec.capacity ? rec.capacity * 2 : 4096;
        char* grown;
        while (capacity < rec.length + n + 2) capacity *= 2;
        grown = (char*)realloc(rec.calls, capacity);
        if (!grown) return;
        rec.calls = grown;
        rec.capacity = capacity;
    }
    memcpy(rec.calls + rec.length, line, n);
    rec.length += n;
    rec.calls[rec.length++] = '\n';
    rec.calls[rec.length] = '\0';
    if (!rec.traceOpened) {
        const char* path = getenv("VOZER_TEST_SOUND_TRACE");
        rec.traceOpened = 1;
        if (path && *path) rec.trace = fopen(path, "ab");
    }
    if (rec.trace) {
        fprintf(rec.trace, "%s\n", line);
        fflush(rec.trace);
    }
}

static void note(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    lock();
    appendLocked(line);
    unlock();
}

/* Floats as text the same on every C library: NaN and infinities by name. */
typedef struct {
    char text[32];
} Number;
static Number num(float value) {
    Number n;
    if (value != value) strcpy(n.text, "nan");
    else if (value > 3.0e38f) strcpy(n.text, "inf");
    else if (value < -3.0e38f) strcpy(n.text, "-inf");
    else snprintf(n.text, sizeof n.text, "%.3f", (double)value);
    return n;
}

static const char* nameOf(const VozerSound* sound) {
    if (!sound) return "(null)";
    return sound->name ? sound->name : "(free)";
}

static uint32_t now(void) { return rec.api ? rec.api->GetTime() : 0; }

static void applyControl(const char* words) {
    if (!words) return;
    rec.initFails = strstr(words, "init-fails") != NULL;
    rec.noInterface = strstr(words, "no-interface") != NULL;
    rec.refuseLoads = strstr(words, "refuse-loads") != NULL;
}

/* Music volume ------------------------------------------------------------ */

static void startSlide(float target, float seconds) {
    rec.slideFrom = rec.musicVolume;
    rec.slideTarget = target;
    rec.slideStart = now();
    rec.slideMs = seconds > 0.0f ? (uint32_t)(seconds * 1000.0f + 0.5f) : 0;
    rec.sliding = 1;
}

static void updateSlide(void) {
    uint32_t elapsed;
    if (!rec.sliding) return;
    elapsed = now() - rec.slideStart;
    if (elapsed >= rec.slideMs) {
        rec.musicVolume = rec.slideTarget;
        rec.sliding = 0;
        note("music-volume %s reached after %u ms", num(rec.musicVolume).text, (unsigned)elapsed);
    } else {
        rec.musicVolume = rec.slideFrom + (rec.slideTarget - rec.slideFrom) * (float)elapsed / (float)rec.slideMs;
    }
}

/* Operations --------------------------------------------------------------- */

static vz_bool VZ_THISCALL reserved0(S* self) {
    (void)self;
    note("Reserved0");
    return 1;
}

static const char* VZ_THISCALL getName(S* self) {
    (void)self;
    return "SoundImp Record";
}

static vz_bool VZ_THISCALL init(S* self, struct VozerRuntimeShared* runtime, VozerDisplayParams* params) {
    (void)self;
    rec.api = runtime ? runtime->api : NULL;
    note("Init sounds-disabled=%d -> %d", params ? params->soundsDisabled : -1, rec.initFails ? 0 : 1);
    return rec.initFails ? 0 : 1;
}

static void VZ_THISCALL shutdownImp(S* self) {
    (void)self;
    note("Shutdown");
    rec.music = NULL;
    rec.sliding = 0;
    rec.api = NULL;
}

/* The record's implData marks what this library loaded; loading a record
 * that still holds data, or freeing one that holds none, shows in the line. */
static vz_bool VZ_THISCALL loadSound(S* self, VozerSound* sound, const char* fileName) {
    VozerFile* file = NULL;
    int32_t size = 0;
    const char* was = sound && sound->implData ? " (was loaded)" : "";
    (void)self;
    if (!rec.refuseLoads && rec.api && fileName) file = rec.api->OpenFile(fileName, "rb");
    if (file) {
        rec.api->SeekFile(file, 0, 2);
        size = rec.api->TellFile(file);
        rec.api->CloseFile(file);
        sound->dataSize = size;
        sound->implData = (void*)sound;
    }
    note("LoadSound %s %s -> %d%s", nameOf(sound), fileName ? fileName : "(null)", file != NULL, was);
    return file != NULL;
}

static void VZ_THISCALL freeSound(S* self, VozerSound* sound) {
    (void)self;
    note("FreeSound %s%s", nameOf(sound), sound && sound->implData ? "" : " (not loaded)");
    if (sound && sound == rec.music) rec.music = NULL;
}

static void VZ_THISCALL soundCommand(S* self, int32_t value) {
    (void)self;
    note("SoundCommand %d", (int)value);
}

static VozerChannel VZ_THISCALL playSound(S* self, VozerSound* sound, float v1, float v2, float v3) {
    intptr_t channel = 0;
    (void)self;
    if (sound && sound->implData) {
        lock();
        channel = ++rec.nextChannel;
        unlock();
    }
    note("PlaySound %s %s %s %s -> #%d", nameOf(sound), num(v1).text, num(v2).text, num(v3).text, (int)channel);
    return (VozerChannel)channel;
}

static void VZ_THISCALL channelOpA(S* self, VozerChannel channel) {
    (void)self;
    note("ChannelOpA #%d", (int)(intptr_t)channel);
}

#define CHANNEL_OP(name)                                                             \
    static void VZ_THISCALL name(S* self, VozerChannel channel, float value) {       \
        (void)self;                                                                  \
        note(#name " #%d %s", (int)(intptr_t)channel, num(value).text);              \
    }
CHANNEL_OP(ChannelOpB)
CHANNEL_OP(ChannelOpC)
CHANNEL_OP(ChannelOpD)
CHANNEL_OP(ChannelOpE)
CHANNEL_OP(ChannelOpF)
#undef CHANNEL_OP

static vz_bool VZ_THISCALL channelOpG(S* self, VozerChannel channel) {
    (void)self;
    note("ChannelOpG #%d -> 1", (int)(intptr_t)channel);
    return 1;
}

static int32_t VZ_THISCALL channelOpH(S* self, VozerChannel channel) {
    (void)self;
    note("ChannelOpH #%d -> 7", (int)(intptr_t)channel);
    return 7;
}

static void VZ_THISCALL slideSoundVolume(S* self, VozerChannel channel, float target, float seconds) {
    (void)self;
    note("SlideSoundVolume #%d %s %s", (int)(intptr_t)channel, num(target).text, num(seconds).text);
}

static void VZ_THISCALL playMusic(S* self, VozerSound* sound, float volume, float fadeIn) {
    (void)self;
    note("PlayMusic %s %s %s", nameOf(sound), num(volume).text, num(fadeIn).text);
    rec.music = sound;
    rec.musicVolume = 0.0f;
    startSlide(volume, fadeIn);
    updateSlide();
}

static void VZ_THISCALL stopMusic(S* self, float fadeOut) {
    (void)self;
    note("StopMusic %s", num(fadeOut).text);
    rec.music = NULL;
    rec.sliding = 0;
}

static void VZ_THISCALL setMusicVolume(S* self, float volume) {
    (void)self;
    note("SetMusicVolume %s", num(volume).text);
    rec.musicVolume = volume;
    rec.sliding = 0;
}

static VozerSound* VZ_THISCALL getCurrentMusic(S* self) {
    (void)self;
    note("GetCurrentMusic -> %s", nameOf(rec.music));
    return rec.music;
}

static void VZ_THISCALL slideMusicVolume(S* self, float target, float seconds) {
    (void)self;
    note("SlideMusicVolume %s %s", num(target).text, num(seconds).text);
    startSlide(target, seconds);
    updateSlide();
}

static void VZ_THISCALL reserved22(S* self, int32_t value) {
    (void)self;
    note("Reserved22 %d", (int)value);
}

static void VZ_THISCALL frameBegin(S* self) {
    (void)self;
    note("FrameBegin");
    updateSlide();
}

static void VZ_THISCALL frameEnd(S* self) {
    (void)self;
    note("FrameEnd");
}

static void VZ_THISCALL reserved25(S* self, int32_t a, int32_t b) {
    (void)self;
    note("Reserved25 %d %d", (int)a, (int)b);
}
static void VZ_THISCALL reserved26(S* self, int32_t a) {
    (void)self;
    note("Reserved26 %d", (int)a);
}
static vz_bool VZ_THISCALL reserved27(S* self, int32_t a) {
    (void)self;
    note("Reserved27 %d", (int)a);
    return 1;
}
static void VZ_THISCALL reserved28(S* self, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    (void)self;
    note("Reserved28 %d %d %d %d %d", (int)a, (int)b, (int)c, (int)d, (int)e);
}

static const VozerSoundImpOps OPS = {
    reserved0,  getName,    init,       shutdownImp, loadSound,        freeSound,        soundCommand,
    playSound,  channelOpA, ChannelOpB, ChannelOpC,  ChannelOpD,       ChannelOpE,       ChannelOpF,
    channelOpG, channelOpH, slideSoundVolume, playMusic, stopMusic,    setMusicVolume,   getCurrentMusic,
    slideMusicVolume, reserved22, frameBegin, frameEnd, reserved25, reserved26, reserved27, reserved28,
};

static VozerSoundImp theImp = {&OPS};

VZ_EXTERN_C VZ_EXPORT VozerSoundImp* VZ_CDECL VOZER_SoundImp_GetInterface(void) {
    static int controlled;
    if (!controlled) {
        controlled = 1;
        applyControl(getenv("VOZER_TEST_SOUND"));
    }
    note("GetInterface -> %d", rec.noInterface ? 0 : 1);
    return rec.noInterface ? NULL : &theImp;
}

/* Test controls: not part of the sound contract. Control also starts the
 * channel numbers afresh. */
VZ_EXTERN_C VZ_EXPORT void VZ_CDECL VozerTestSound_Control(const char* words) {
    applyControl(words);
    rec.nextChannel = 0;
}

VZ_EXTERN_C VZ_EXPORT const char* VZ_CDECL VozerTestSound_Calls(void) { return rec.calls ? rec.calls : ""; }

/* Forget what was written (and give its memory back). */
VZ_EXTERN_C VZ_EXPORT void VZ_CDECL VozerTestSound_Clear(void) {
    lock();
    free(rec.calls);
    rec.calls = NULL;
    rec.length = rec.capacity = 0;
    unlock();
}

/* The calls are kept while the library is loaded; unloading gives them back. */
__attribute__((destructor)) static void forgetCalls(void) {
    VozerTestSound_Clear();
    if (rec.trace) fclose(rec.trace);
    rec.trace = NULL;
}
