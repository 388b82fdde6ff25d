/* What the test Programs share: a trace file the end-to-end cases read
 * ("name value" lines in trace.txt), numbers from the command line, and the
 * record of a small windowed test game by the developer "Vozer Tests". */
#ifndef VOZER_TEST_PROGRAM_H
#define VOZER_TEST_PROGRAM_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"

static FILE* testTrace;

/* One line per result; a line feed inside a value is written as "\n". */
static inline void note(const char* name, const char* value) {
    const char* c;
    if (!testTrace) testTrace = fopen("trace.txt", "w");
    if (!testTrace) return;
    fprintf(testTrace, "%s ", name);
    for (c = value ? value : "(null)"; *c; ++c) {
        if (*c == '\n') fputs("\\n", testTrace);
        else fputc(*c, testTrace);
    }
    fputc('\n', testTrace);
    fflush(testTrace);
}

static inline void noteInt(const char* name, long value) {
    char text[32];
    sprintf(text, "%ld", value);
    note(name, text);
}

/* The number after "key=" on the Program's command line, or 0. */
static inline long commandLineNumber(const VozerProgramRecord* record, const char* key) {
    const char* line = record->display.commandLine;
    const char* at = line ? strstr(line, key) : NULL;
    return at ? strtol(at + strlen(key), NULL, 10) : 0;
}

static inline void fillTestRecord(VozerProgramRecord* record, const char* id, const char* title) {
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strncpy(record->id, id, sizeof record->id - 1);
    strncpy(record->title, title, sizeof record->title - 1);
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
}

#endif
