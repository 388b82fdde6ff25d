/* A test Program that writes in white on black with a font made from an
 * outline font beside it (res://fonts/e2e.mft), for a case to compare the
 * captured frame with FreeType's own rendering: the letters of
 * "Hamburgefonts" one per 24-pixel cell from (20, 40), then the pairs "AV"
 * at (20, 100) and "To" at (20, 160), which a kerned font draws tighter. It quits after a few frames;
 * trace.txt gets "font 1" when the font loaded. */
#include "../test_program.h"

static VozerProgramRecord* program;
#define zt (program->api)
static VozerFont* font;
static int frames;

static vz_bool VZ_CDECL glyphsInit(void) {
    font = zt->LoadFont("res://fonts/e2e.mft");
    noteInt("font", font != NULL);
    return font != NULL;
}

static void VZ_CDECL glyphsUpdate(float seconds) {
    (void)seconds;
    if (frames >= 5) zt->Quit();
}

static void VZ_CDECL glyphsRender(float seconds) {
    static const char cells[] = "Hamburgefonts";
    int i;
    (void)seconds;
    ++frames;
    zt->ClearScreen(0.0f, 0.0f, 0.0f);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(1.0f);
    zt->SetBlendMode(0);
    for (i = 0; cells[i]; ++i) zt->DrawText(font, 20.0f + 24.0f * (float)i, 40.0f, "%c", cells[i]);
    zt->DrawText(font, 20.0f, 100.0f, "AV");
    zt->DrawText(font, 20.0f, 160.0f, "To");
}

static void VZ_CDECL glyphsShutdown(void) { zt->ReleaseFont(font); }

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerGlyphsTest", "Glyphs Test");
    record->Init = glyphsInit;
    record->Update = glyphsUpdate;
    record->Render = glyphsRender;
    record->Shutdown = glyphsShutdown;
    return 1;
}
