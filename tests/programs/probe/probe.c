/* A test Program on the engine's headers, for both builds. It behaves like
 * the raw-layout one (trace.txt, VOZER_TEST_VERSION, VOZER_TEST_QUIT_AFTER,
 * VOZER_TEST_INIT_FAILS) and also leaves its identity empty when
 * VOZER_TEST_NO_IDENTITY is set, or takes its title from VOZER_TEST_TITLE;
 * VOZER_TEST_DEVELOPER sets the developer-mode byte of its record and
 * VOZER_TEST_SINGLE its single-instance flag. Its Init and Update lines
 * end with the engine clock ("at MS", GetTime). VOZER_TEST_CRASH_IN=ENTRY
 * (OnEvent, Init, Update, Render or Shutdown) makes that entry fault the
 * first time it runs; OnEvent does it as a game that calls the engine before
 * Init stored the table would. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt; /* stored by Init, as games do */
static const char* crashIn;
static FILE* trace;
static int updates;
static int quitAfter = 5;

static void note(const char* what) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s\n", what);
        fflush(trace);
    }
}

/* Real faults, not ones the sanitizers of the development build stop first. */
#if defined(__GNUC__) && !defined(_WIN32)
#define NO_SANITIZE __attribute__((no_sanitize("address", "undefined")))
#else
#define NO_SANITIZE
#endif

NO_SANITIZE static void crashIfAsked(const char* entry) {
    if (!crashIn || strcmp(crashIn, entry) != 0) return;
    note("crashing");
    crashIn = NULL;
    if (strcmp(entry, "OnEvent") == 0) zt->Print("never printed: the table is not stored yet");
    else *(volatile int*)0 = 1;
    note("survived");
}

static vz_bool VZ_CDECL probeInit(void) {
    char line[64];
    crashIfAsked("Init");
    zt = program->api;
    sprintf(line, "init period=%d at %u", program->display.framePeriodMs, (unsigned)program->api->GetTime());
    note(line);
    program->api->Print("probe test Program: Init");
    return getenv("VOZER_TEST_INIT_FAILS") ? 0 : 1;
}

static void VZ_CDECL probeShutdown(void) {
    note("shutdown");
    crashIfAsked("Shutdown");
}

static void VZ_CDECL probeUpdate(float seconds) {
    char line[64];
    sprintf(line, "update %.3f at %u", seconds, (unsigned)program->api->GetTime());
    note(line);
    crashIfAsked("Update");
    if (++updates == quitAfter) program->api->Quit();
}

static void VZ_CDECL probeRender(float seconds) {
    (void)seconds;
    note("render");
    crashIfAsked("Render");
}

static int32_t VZ_CDECL probeEvent(VozerEvent event) {
    char line[64];
    sprintf(line, "event %d", event.type);
    note(line);
    crashIfAsked("OnEvent");
    return 0;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    const char* override = getenv("VOZER_TEST_VERSION");
    const char* quit = getenv("VOZER_TEST_QUIT_AFTER");
    const char* title = getenv("VOZER_TEST_TITLE");
    (void)version;
    program = record;
    crashIn = getenv("VOZER_TEST_CRASH_IN");
    record->interfaceVersion = override ? (uint32_t)atoi(override) : VZ_INTERFACE_VERSION;
    if (quit) quitAfter = atoi(quit);
    if (!getenv("VOZER_TEST_NO_IDENTITY")) {
        strcpy(record->id, "VozerProbeTest");
        strncpy(record->title, title ? title : "Probe Test", sizeof record->title - 1);
        strcpy(record->version, "1.0");
        strcpy(record->developerName, "Vozer Tests");
    }
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->display.developerMode = getenv("VOZER_TEST_DEVELOPER") ? 1 : 0;
    record->display.singleInstance = getenv("VOZER_TEST_SINGLE") ? 1 : 0;
    record->Init = probeInit;
    record->Shutdown = probeShutdown;
    record->Update = probeUpdate;
    record->Render = probeRender;
    record->OnEvent = probeEvent;
    return 1;
}
