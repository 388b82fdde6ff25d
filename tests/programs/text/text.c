/* A test Program that uses the font and text slots as a game does: it asks
 * for a font that exists only as a source beside it (so the runtime generates
 * and saves it), counts it, measures and draws text, and releases it. Every
 * result goes to trace.txt as "name value". */
#include <stdio.h>
#include <string.h>

#include "vozer_api.h"

#define FONT "res://fonts/e2e.mft"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static FILE* trace;
static VozerFont* font;
static int frames;

static void note(const char* name, const char* value) {
    if (!trace) trace = fopen("trace.txt", "w");
    if (trace) {
        fprintf(trace, "%s %s\n", name, value);
        fflush(trace);
    }
}

static void noteInt(const char* name, int value) {
    char text[32];
    sprintf(text, "%d", value);
    note(name, text);
}

static vz_bool VZ_CDECL textInit(void) {
    VozerFile* before;
    float a, v, av, width, height;
    zt = program->api;
    before = zt->OpenFile(FONT, "r");
    noteInt("mft-before", before != NULL);
    zt->CloseFile(before);

    font = zt->LoadFont(FONT);
    noteInt("font", font != NULL);
    noteInt("same", zt->GetFont(FONT) == font);
    before = zt->OpenFile(FONT, "r");
    noteInt("mft-after", before != NULL);
    zt->CloseFile(before);

    /* A font the runtime makes from an outline font is not kerned: "AV"
     * measures as "A" and "V" apart. */
    a = zt->GetTextWidth(font, "A");
    v = zt->GetTextWidth(font, "V");
    av = zt->GetTextWidth(font, "AV");
    noteInt("measured", a > 0.0f && v > 0.0f);
    noteInt("unkerned", av == a + v);
    /* Two lines are taller than one; a narrow box makes more lines. */
    noteInt("two-lines", zt->GetTextHeight(font, "a\nb") > zt->GetTextHeight(font, "ab"));
    zt->SetTextWrapWidth(a * 3.0f);
    zt->GetTextSize(font, &width, &height, "%s", "AAAA AAAA AAAA");
    noteInt("wrapped", height > zt->GetTextHeight(font, "A") * 2.5f && width <= a * 4.0f + 1.0f);
    zt->SetTextWrapWidth(0.0f);
    noteInt("null-font", zt->GetTextWidth(NULL, "x") == 0.0f && zt->DrawText(NULL, 0, 0, "x") == 0.0f);
    return 1;
}

static void VZ_CDECL textUpdate(float seconds) {
    (void)seconds;
    if (frames >= 3) zt->Quit();
}

static void VZ_CDECL textRender(float seconds) {
    (void)seconds;
    ++frames;
    zt->SetTextAlign(8);
    noteInt("drawn", zt->DrawText(font, 320.0f, 100.0f, "Frame %d: Gr\xC3\xBC\xC3\x9F" "e |#ff0000|AV|| To", frames) > 0.0f);
}

static void VZ_CDECL textShutdown(void) {
    zt->ReleaseFont(font);
    zt->ReleaseFont(font);
    note("released", "1");
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerTextTest");
    strcpy(record->title, "Text Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 640;
    record->display.height = 480;
    record->display.windowed = 1;
    record->display.hibernateUnreferenced = 1;
    record->Init = textInit;
    record->Update = textUpdate;
    record->Render = textRender;
    record->Shutdown = textShutdown;
    return 1;
}
