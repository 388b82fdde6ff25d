/* A test Program that downloads as a game does: it opens a patterned file
 * from the end-to-end server through OpenFile("http://127.0.0.1:PORT/...")
 * once the runtime is up, reads it back and checks every byte, and (when
 * asked) sends a request of its own through HttpRequest. The command line
 * carries "http_port=N", "http_size=N" and optionally "http_request=1".
 * Every result goes to trace.txt as "name value". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "download_pattern.h"
#include "vozer_api.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static FILE* trace;

static void note(const char* name, const char* value) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s %s\n", name, value);
        fflush(trace);
    }
}

static void noteInt(const char* name, long value) {
    char text[32];
    sprintf(text, "%ld", value);
    note(name, text);
}

/* The number after "key=" on the command line, or 0. */
static long option(const char* key) {
    const char* line = program->display.commandLine;
    const char* at = line ? strstr(line, key) : NULL;
    return at ? strtol(at + strlen(key), NULL, 10) : 0;
}

static void download(void) {
    char url[128];
    static unsigned char block[65536];
    uint32_t position = 0, mismatch = 0xffffffffu;
    int32_t got;
    VozerFile* file;
    sprintf(url, "http://127.0.0.1:%ld/big.bin", option("http_port="));
    file = zt->OpenFile(url, "r");
    noteInt("open", file != NULL);
    if (!file) return;
    noteInt("size", (long)file->size);
    while ((got = zt->ReadFile(block, sizeof block, file)) > 0) {
        int32_t i;
        for (i = 0; i < got && mismatch == 0xffffffffu; ++i)
            if (block[i] != downloadPatternByte(position + (uint32_t)i)) mismatch = position + (uint32_t)i;
        position += (uint32_t)got;
    }
    zt->CloseFile(file);
    if (mismatch == 0xffffffffu && position == (uint32_t)option("http_size=")) {
        noteInt("verified", (long)position);
    } else {
        noteInt("read", (long)position);
        noteInt("mismatch-at", (long)mismatch);
    }
}

static void requestDirectly(void) {
    char url[128];
    char text[64] = {0};
    VozerBuffer response;
    int32_t result;
    sprintf(url, "http://127.0.0.1:%ld/hello.txt", option("http_port="));
    result = zt->HttpRequest(VZ_HTTP_GET, url, NULL, "", 0, &response, NULL);
    noteInt("request", result);
    if (response.data) memcpy(text, response.data, response.size < 63 ? (size_t)response.size : 63);
    note("request-text", text);
    zt->FreeBuffer(&response);
}

static vz_bool VZ_CDECL netInit(void) {
    zt = program->api;
    /* Downloads wait until the runtime has finished starting. */
    noteInt("init-open", zt->OpenFile("http://127.0.0.1:1/early.bin", "r") != NULL);
    return 1;
}

static void VZ_CDECL netUpdate(float seconds) {
    (void)seconds;
    download();
    if (option("http_request=")) requestDirectly();
    zt->Quit();
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerNetTest");
    strcpy(record->title, "Net Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->Init = netInit;
    record->Update = netUpdate;
    return 1;
}
