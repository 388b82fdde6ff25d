/* A test Program that uses the file slots as a game does: it reads an entry
 * of a package pak through a relative name, seeks within it from each origin,
 * writes and re-reads a save under user://, lists files (once asking for
 * sub-directories too) and deletes one.
 * Every result goes to trace.txt as "name value". */
#include "../test_program.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;

static void readAt(VozerFile* file, const char* name, int offset, int origin) {
    char text[8] = {0};
    noteInt(name, zt->SeekFile(file, offset, origin));
    zt->ReadFile(text, 5, file);
    note(name, text);
}

static void exerciseFiles(void) {
    char text[64] = {0};
    VozerFile* file = zt->OpenFile("data/hello.txt", "r");
    VozerFileList list;
    int i;
    noteInt("pak-open", file != NULL);
    if (file) {
        /* A game reads the size and name straight from the handle's record. */
        noteInt("handle-size", (int)file->size);
        note("handle-name", file->name);
        noteInt("pak-read", zt->ReadFile(text, sizeof text - 1, file));
        note("pak-text", text);
        readAt(file, "seek0", 6, 0);    /* "vozer" */
        readAt(file, "seek1", 2, 1);    /* after "vozer", skip ", ": "from " */
        readAt(file, "seek2", -5, 2);   /* the last five bytes: "pak!\n" */
        noteInt("tell", zt->TellFile41(file));
        zt->CloseFile(file);
    }

    noteInt("mkdir", zt->CreateDir("user://save"));
    file = zt->OpenFile("user://save/slot1.txt", "w");
    noteInt("write", file ? zt->WriteFile("level 7", 7, file) : -1);
    zt->CloseFile(file);
    file = zt->OpenFile("user://save/slot2.txt", "w");
    zt->WriteFile("x", 1, file);
    zt->CloseFile(file);

    memset(text, 0, sizeof text);
    file = zt->OpenFile("user://save/slot1.txt", "r");
    noteInt("reread", file ? zt->ReadFile(text, sizeof text - 1, file) : -1);
    note("reread-text", text);
    zt->CloseFile(file);

    memset(&list, 0, sizeof list);
    noteInt("find", zt->FindFiles(&list, "data", "*.txt", 0));
    for (i = 0; i < list.count; ++i) note("found", list.names[i]);
    zt->FreeFileList(&list);
    /* Asking for sub-directories changes nothing. */
    noteInt("find-recursing", zt->FindFiles(&list, "data/", "*.txt", 1));
    for (i = 0; i < list.count; ++i) note("found-recursing", list.names[i]);
    zt->FreeFileList(&list);

    noteInt("delete", zt->DeleteFile("user://save/slot2.txt"));
    file = zt->OpenFile("user://save/slot2.txt", "r");
    noteInt("deleted-open", file != NULL);
    zt->CloseFile(file);
}

static vz_bool VZ_CDECL filesInit(void) {
    zt = program->api;
    exerciseFiles();
    return 1;
}

static void VZ_CDECL filesUpdate(float seconds) {
    (void)seconds;
    zt->Quit();
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerFilesTest", "Files Test");
    record->Init = filesInit;
    record->Update = filesUpdate;
    return 1;
}
