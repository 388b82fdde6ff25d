/* A test Program written only from the record layout and the slot numbers,
 * without the engine's headers, as a game built by another tool-chain would
 * be. It records what the runtime does with it in trace.txt (working folder):
 *   init, one "update" per Update call, one "render" per Render call, the
 *   events it gets, "shutdown".
 * VOZER_TEST_VERSION overrides the interface version it reports;
 * VOZER_TEST_QUIT_AFTER (default 5) is the Update call that calls Quit;
 * VOZER_TEST_INIT_FAILS makes Init return false. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#define EXPORT __declspec(dllexport)
#else
#define EXPORT __attribute__((visibility("default")))
#endif

typedef void (*Slot)(void);
typedef int (*PrintSlot)(const char* format, ...);
typedef void (*QuitSlot)(void);

static unsigned char* record;
static FILE* trace;
static int updates;
static int quitAfter = 5;

/* Record offsets. */
#define OFF_VERSION 0
#define OFF_ID 4
#define OFF_TITLE 36
#define OFF_VERSION_TEXT 164
#define OFF_DEVELOPER 180
#define OFF_API 244
#define OFF_WIDTH 248
#define OFF_HEIGHT 252
#define OFF_WINDOWED 256
#define OFF_FRAME_PERIOD 260
#define OFF_INIT 352
#define OFF_SHUTDOWN 356
#define OFF_UPDATE 360
#define OFF_RENDER 364
#define OFF_EVENT 368

/* Slot numbers. */
#define SLOT_PRINT 0
#define SLOT_QUIT 21

static Slot apiSlot(int index) {
    Slot* table;
    memcpy(&table, record + OFF_API, sizeof table);
    return table[index];
}

static void note(const char* what) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s\n", what);
        fflush(trace);
    }
}

static unsigned char testInit(void) {
    int period;
    char line[64];
    memcpy(&period, record + OFF_FRAME_PERIOD, sizeof period);
    sprintf(line, "init period=%d", period);
    note(line);
    ((PrintSlot)apiSlot(SLOT_PRINT))("raw test Program: Init");
    return getenv("VOZER_TEST_INIT_FAILS") ? 0 : 1;
}

static void testShutdown(void) { note("shutdown"); }

static void testUpdate(float seconds) {
    char line[64];
    sprintf(line, "update %.3f", seconds);
    note(line);
    if (++updates == quitAfter) ((QuitSlot)apiSlot(SLOT_QUIT))();
}

static void testRender(float seconds) {
    (void)seconds;
    note("render");
}

typedef struct Event { int words[8]; } Event;

static int testEvent(Event event) {
    char line[64];
    sprintf(line, "event %d", event.words[0]);
    note(line);
    return 0;
}

static void putText(int offset, int size, const char* text) {
    strncpy((char*)record + offset, text, (size_t)size - 1);
}

static void putPointer(int offset, void* pointer) { memcpy(record + offset, &pointer, sizeof pointer); }

EXPORT unsigned char ZT_GetProgramInterface(void* programRecord, int version) {
    unsigned int reported = 1222;
    int width = 640, height = 480;
    const char* override = getenv("VOZER_TEST_VERSION");
    const char* quit = getenv("VOZER_TEST_QUIT_AFTER");
    (void)version;
    record = (unsigned char*)programRecord;
    if (override) reported = (unsigned int)atoi(override);
    if (quit) quitAfter = atoi(quit);
    memcpy(record + OFF_VERSION, &reported, 4);
    putText(OFF_ID, 32, "VozerRawTest");
    putText(OFF_TITLE, 128, "Raw Test");
    putText(OFF_VERSION_TEXT, 16, "1.0");
    putText(OFF_DEVELOPER, 64, "Vozer Tests");
    memcpy(record + OFF_WIDTH, &width, 4);
    memcpy(record + OFF_HEIGHT, &height, 4);
    record[OFF_WINDOWED] = 1;
    putPointer(OFF_INIT, (void*)testInit);
    putPointer(OFF_SHUTDOWN, (void*)testShutdown);
    putPointer(OFF_UPDATE, (void*)testUpdate);
    putPointer(OFF_RENDER, (void*)testRender);
    putPointer(OFF_EVENT, (void*)testEvent);
    return 1;
}
