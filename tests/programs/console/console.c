/* A test Program for the developer console: it fills the log with a few
 * known lines (and "lines=N" more), registers a command for completion, and
 * writes to trace.txt every console command (event 7) and character it gets
 * and every change of the console-open flag.
 *
 *   VOZER_TEST_INTERACTIVE   run until the file quit.txt appears beside it;
 *                            otherwise quit after 10 updates */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../test_program.h"

static VozerProgramRecord* program;
#define zt (program->api)
static int updates;
static int interactive;
static int consoleWasOpen;

static vz_bool VZ_CDECL consoleInit(void) {
    long extra = commandLineNumber(program, "lines=");
    long i;
    zt->Log(0, "apple pie");
    zt->Log(1, "banana split");
    zt->Log(2, "apple tart");
    for (i = 0; i < extra; ++i) zt->Log(0, "filler line %ld", i);
    zt->CallExtension("Console_AddCommand", (void*)"spawn_enemy");
    interactive = getenv("VOZER_TEST_INTERACTIVE") != NULL;
    return 1;
}

static void VZ_CDECL consoleShutdown(void) { note("shutdown", "done"); }

static void VZ_CDECL consoleUpdate(float seconds) {
    FILE* quit;
    (void)seconds;
    ++updates;
    if (updates == 2) note("ready", "1");
    if (program->display.consoleOpen != consoleWasOpen) {
        consoleWasOpen = program->display.consoleOpen;
        noteInt("console", consoleWasOpen);
    }
    if (!interactive) {
        if (updates >= 10) zt->Quit();
        return;
    }
    quit = fopen("quit.txt", "r");
    if (quit) {
        fclose(quit);
        zt->Quit();
    }
}

static void VZ_CDECL consoleRender(float seconds) {
    (void)seconds;
    zt->SetColor(0.1f, 0.1f, 0.1f);
    zt->FillRect(0.0f, 0.0f, 640.0f, 480.0f);
}

static int32_t VZ_CDECL consoleEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_CONSOLE_COMMAND) note("command", (const char*)vz_event_pointer_at(&event, 0));
    if (event.type == VZ_EVENT_CHAR) noteInt("char", event.words[0]);
    return 0;
}

VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "console_test", "Console Test");
    record->Init = consoleInit;
    record->Shutdown = consoleShutdown;
    record->Update = consoleUpdate;
    record->Render = consoleRender;
    record->OnEvent = consoleEvent;
    return 1;
}
