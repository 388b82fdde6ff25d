/* A test Program that downloads as a game does: it opens a patterned file
 * from the end-to-end server through OpenFile("http://127.0.0.1:PORT/...")
 * once the runtime is up, reads it back and checks every byte, and (when
 * asked) sends a request of its own through HttpRequest. The command line
 * carries "http_port=N", "http_size=N" and optionally "http_request=1".
 * Every result goes to trace.txt as "name value". */
#include "../test_program.h"
#include "download_pattern.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;

static void download(void) {
    char url[128];
    static unsigned char block[65536];
    uint32_t position = 0, mismatch = 0xffffffffu;
    int32_t got;
    VozerFile* file;
    sprintf(url, "http://127.0.0.1:%ld/big.bin", commandLineNumber(program, "http_port="));
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
    if (mismatch == 0xffffffffu && position == (uint32_t)commandLineNumber(program, "http_size=")) {
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
    sprintf(url, "http://127.0.0.1:%ld/hello.txt", commandLineNumber(program, "http_port="));
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
    if (commandLineNumber(program, "http_request=")) requestDirectly();
    zt->Quit();
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerNetTest", "Net Test");
    record->Init = netInit;
    record->Update = netUpdate;
    return 1;
}
