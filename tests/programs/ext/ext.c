/* A test Program for the extension functions as a game uses them: on its
 * first frame it puts text on the clipboard and reads it back, asks for the
 * platform facts, and (when the command line says "ext_dialog=1") lets the
 * player pick a file in the open dialog, then shows the save dialog (which
 * the case cancels). With "ext_hold=MS" it keeps running
 * that long afterwards, so another program can look at the clipboard while
 * the game still owns it. Every result goes to trace.txt as "name value". */
#include "../test_program.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static uint32_t quitAt;
static int frames;

static const char* ext(const char* name, const char* argument) {
    return (const char*)zt->CallExtension(name, (void*)argument);
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
    if (commandLineNumber(program, "ext_dialog=")) {
        note("dialog", ext("OpenFileDialog", "Text files\0*.txt\0All files\0*.*\0"));
        note("save-dialog", ext("SaveFileDialog", "Saved games\0*.sav\0"));
    }
}

static vz_bool VZ_CDECL extInit(void) {
    zt = program->api;
    return 1;
}

static void VZ_CDECL extUpdate(float seconds) {
    (void)seconds;
    if (frames++ == 0) {
        firstFrame();
        quitAt = zt->GetTime() + (uint32_t)commandLineNumber(program, "ext_hold=");
        note("ready", "1");
    }
    if (zt->GetTime() >= quitAt) zt->Quit();
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerExtTest", "Extensions Test");
    record->Init = extInit;
    record->Update = extUpdate;
    return 1;
}
