/* A test Program for the extension functions as a game uses them: on its
 * first frame it puts text on the clipboard and reads it back, asks for the
 * platform facts, and (when the command line says "ext_dialog=1") lets the
 * player pick a file in the open dialog. With "ext_hold=MS" it keeps running
 * that long afterwards, so another program can look at the clipboard while
 * the game still owns it. Every result goes to trace.txt as "name value". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static FILE* trace;
static uint32_t quitAt;
static int frames;

static void note(const char* name, const char* value) {
    char line[600];
    size_t i;
    if (!trace) trace = fopen("trace.txt", "w");
    if (!trace) return;
    /* One line per result: a line feed inside a value is written as "\n". */
    snprintf(line, sizeof line, "%s", value ? value : "(null)");
    fprintf(trace, "%s ", name);
    for (i = 0; line[i]; ++i) {
        if (line[i] == '\n') fputs("\\n", trace);
        else fputc(line[i], trace);
    }
    fputc('\n', trace);
    fflush(trace);
}

static const char* ext(const char* name, const char* argument) {
    return (const char*)zt->CallExtension(name, (void*)argument);
}

static long option(const char* key) {
    const char* line = program->display.commandLine;
    const char* at = line ? strstr(line, key) : NULL;
    return at ? strtol(at + strlen(key), NULL, 10) : 0;
}

static void firstFrame(void) {
    ext("Clipboard_SetText", "Vozer clipboard check 4711");
    note("clipboard", ext("Clipboard_GetText", NULL));
    note("platform", ext("PlatformInfo", "PlatformId"));
    note("os-major", ext("PlatformInfo", "OSMajor"));
    note("os-minor", ext("PlatformInfo", "OSMinor"));
    note("language", ext("GetLanguage", NULL));
    note("unique-id", ext("PlatformInfo", "UniqueId"));
    note("date", ext("GetDate", NULL));
    note("open-url-refused", ext("OpenURL", "C:\\Windows\\System32\\cmd.exe") ? "answered" : "null");
    if (option("ext_dialog=")) note("dialog", ext("OpenFileDialog", "Text files|*.txt|All files|*.*"));
}

static vz_bool VZ_CDECL extInit(void) {
    zt = program->api;
    return 1;
}

static void VZ_CDECL extUpdate(float seconds) {
    (void)seconds;
    if (frames++ == 0) {
        firstFrame();
        quitAt = zt->GetTime() + (uint32_t)option("ext_hold=");
        note("ready", "1");
    }
    if (zt->GetTime() >= quitAt) zt->Quit();
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerExtTest");
    strcpy(record->title, "Extensions Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->Init = extInit;
    record->Update = extUpdate;
    return 1;
}
