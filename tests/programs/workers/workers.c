/* A test Program that logs from the main thread and from two worker threads
 * and raises the same popup from a worker several times. Then worker-b lives
 * 100 ms and worker-a VOZER_TEST_WORKER_MS milliseconds (default 100; -1:
 * never ends). Update calls Quit from the fifth frame on, once both workers
 * have raised their popups. It also logs and raises popups at levels outside
 * 0..7, asks for a thread with reserved flags and logs what it gets, and logs
 * the events it receives before its first frame. */
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"

#define LINES_PER_WORKER 3

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static volatile int updates;
static volatile int raised[2]; /* per worker: its popups are raised */
static int workerMs = 100;

static void VZ_CDECL worker(void* argument) {
    const char* name = (const char*)argument;
    int i;
    int lifeMs;
    for (i = 0; i < LINES_PER_WORKER; ++i) zt->Log(VZ_INFO, "%s line %d", name, i);
    /* Popups are logged once the runtime is up: raise them from the frames on. */
    while (updates == 0) zt->Sleep(5);
    for (i = 0; i < 3; ++i) zt->Popup(VZ_WARNING, "popup from a worker");
    raised[strcmp(name, "worker-a") == 0 ? 0 : 1] = 1;
    lifeMs = strcmp(name, "worker-a") == 0 ? workerMs : 100;
    if (lifeMs < 0) {
        for (;;) zt->Sleep(50);
    }
    zt->Sleep((uint32_t)lifeMs);
    zt->Log(VZ_INFO, "%s done", name);
}

static vz_bool VZ_CDECL workersInit(void) {
    const char* ms = getenv("VOZER_TEST_WORKER_MS");
    zt = program->api;
    if (ms) workerMs = atoi(ms);
    zt->Print("main line");
    zt->Log(VZ_WARNING, "main warning");
    zt->Log(VZ_ERROR, "main error");
    zt->Log(-1, "a line at level -1");
    zt->Log(9, "a line at level 9");
    zt->Log(VZ_WARNING, "refused thread: %s",
            zt->CreateThread("refused", worker, (void*)"refused", 1) == (VozerThread)(intptr_t)-1 ? "-1" : "other");
    zt->CreateThread("worker-a", worker, (void*)"worker-a", 0);
    zt->CreateThread("worker-b", worker, (void*)"worker-b", 0);
    return 1;
}

static int32_t VZ_CDECL workersEvent(VozerEvent event) {
    /* Event 18 comes before Init, with the record's API already set. */
    if (updates == 0)
        program->api->Log(VZ_WARNING, "event %d before the first frame, word %d", event.type, event.words[0]);
    return 0;
}

static void VZ_CDECL workersUpdate(float seconds) {
    (void)seconds;
    /* Quit once the workers' popups are queued, so that a frame shows them. */
    if (++updates == 1) {
        zt->Popup(-3, "popup at level -3");
        zt->Popup(9, "popup at level 9");
    }
    if ((updates >= 5 && raised[0] && raised[1]) || updates == 5000) zt->Quit();
}

static void VZ_CDECL workersRender(float seconds) { (void)seconds; }

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerWorkersTest");
    strcpy(record->title, "Workers Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->Init = workersInit;
    record->Update = workersUpdate;
    record->Render = workersRender;
    record->OnEvent = workersEvent;
    return 1;
}
