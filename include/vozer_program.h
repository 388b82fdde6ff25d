/* The Program contract: the record a game's prog.dll fills and the runtime
 * reads, the display parameters, and the events sent to the Program. */
#ifndef VOZER_PROGRAM_H
#define VOZER_PROGRAM_H

#include "vozer_types.h"

struct VozerEngineApi;

/* Display parameters: 26 words copied whole between the Program record and
 * the runtime's requested and current parameters. */
typedef struct VozerDisplayParams {
    int32_t width, height;          /* pixels */
    vz_bool windowed;
    vz_bool soundsDisabled;
    vz_bool singleInstance;
    vz_bool multimouse;
    int32_t framePeriodMs;          /* frame period; the runtime sets 8 at binding */
    vz_bool consoleOpen;            /* runtime: developer console is open */
    vz_bool rendererInitialised;    /* runtime: renderer started */
    vz_bool developerMode;          /* runtime: developer mode */
    uint8_t pad0;
    const char* commandLine;        /* runtime-owned copy of the command line */
    const char* locale;             /* runtime-owned locale text */
    vz_bool quitting;               /* runtime: set by Quit */
    vz_bool hibernateUnreferenced;  /* Program: hibernate unreferenced resources */
    uint8_t pad1[2];
    int32_t referenceWidth, referenceHeight; /* reference resolution */
    uint32_t programFields[16];     /* the Program's own; never read by the runtime */
} VozerDisplayParams;

/* An event: eight words passed by value; word 0 is the type. */
typedef struct VozerEvent {
    int32_t type;
    int32_t words[7];
} VozerEvent;

/* Event types sent by the runtime. */
#define VZ_EVENT_CHAR 1
#define VZ_EVENT_MOUSE_MOVE 2
#define VZ_EVENT_MOUSE_WHEEL 4
#define VZ_EVENT_MOUSE_UP 5
#define VZ_EVENT_MOUSE_DOWN 6
#define VZ_EVENT_CONSOLE_COMMAND 7
#define VZ_EVENT_KEY_DOWN 8
#define VZ_EVENT_KEY_UP 9
#define VZ_EVENT_ACTIVATION 10      /* words[0] low byte: 1 lost, 0 regained */
#define VZ_EVENT_REINIT 11          /* words[0] low byte: 0 begins, 1 ended */
#define VZ_EVENT_RESIZED 12         /* words[0]: width, height as two 16-bit values */
#define VZ_EVENT_CLOSE 13           /* answer VZ_KEEP_WINDOW_OPEN to refuse */
#define VZ_EVENT_RENDER_TARGET_LOST 17 /* words[0]: the bitmap record */
#define VZ_EVENT_CHECK_PARAMS 18    /* words[0]: engine API, words[1]: the record's DisplayParams */
#define VZ_EVENT_NAMED 63           /* words[0]: event name text */
#define VZ_KEEP_WINDOW_OPEN 2
/* Name (first pointer) of the event 63 sent for a file dropped on the window;
 * the second pointer is the file name with '/' separators, the third the drop
 * point as the text "x,y". The texts are lent for the call. */
#define VZ_EVENT_NAME_FILE_DRAGGED "FILE_DRAGGED"

/* Pointers in event words. A 32-bit build keeps pointer n in words[n]; a
 * 64-bit build (the development host, the Windows test build) keeps it in
 * words[2n] (low half) and words[2n + 1]. n is 0, 1 or 2. */
static inline void* vz_event_pointer_at(const VozerEvent* event, int n) {
#if UINTPTR_MAX == 0xFFFFFFFFu
    return (void*)(uintptr_t)(uint32_t)event->words[n];
#else
    return (void*)(uintptr_t)((uint64_t)(uint32_t)event->words[2 * n] |
                              ((uint64_t)(uint32_t)event->words[2 * n + 1] << 32));
#endif
}
static inline void vz_set_event_pointer_at(VozerEvent* event, int n, const void* pointer) {
#if UINTPTR_MAX == 0xFFFFFFFFu
    event->words[n] = (int32_t)(uintptr_t)pointer;
#else
    event->words[2 * n] = (int32_t)(uint32_t)(uint64_t)(uintptr_t)pointer;
    event->words[2 * n + 1] = (int32_t)(uint32_t)((uint64_t)(uintptr_t)pointer >> 32);
#endif
}

/* The same 32 bytes for the input events (types 1, 2, 4, 5, 6, 8 and 9);
 * vz_input_event gives this view of an event. Codes are those of vozer_keys.h. */
typedef struct VozerInputEvent {
    int32_t type;
    int32_t code;          /* 1: the character; 8, 9: the key code */
    uint8_t mouse;         /* 2, 4, 5, 6: 0 the system pointer, 1..10 raw-input mice */
    uint8_t pad[3];
    float x, y;            /* 2, 4, 5, 6: pointer position in the Program's coordinates */
    int16_t button;        /* 5, 6: the button's key code (510 left, 511 right, 512 middle,
                              or the same in the mouse's block); 4: the wheel delta */
    int16_t pad2;
    int32_t reserved[2];
} VozerInputEvent;

static inline VozerInputEvent vz_input_event(VozerEvent event) {
    union {
        VozerEvent event;
        VozerInputEvent input;
    } view;
    view.event = event;
    return view.input;
}

/* The record pointer of a VZ_EVENT_RENDER_TARGET_LOST event: words[0] holds
 * it on 32-bit builds; 64-bit builds add its high half in words[1]. */
static inline void* vz_event_pointer(const VozerEvent* event) { return vz_event_pointer_at(event, 0); }

/* The Program record: 372 bytes, laid out identically on both sides. */
typedef struct VozerProgramRecord {
    uint32_t interfaceVersion;      /* must be VZ_INTERFACE_VERSION */
    char id[32];                    /* single-instance mutex name */
    char title[128];                /* window text */
    char version[16];
    char developerName[64];
    struct VozerEngineApi* api;     /* runtime: the engine API table */
    VozerDisplayParams display;
    vz_bool (VZ_CDECL *Init)(void);          /* once, after video, input and sound are up */
    void (VZ_CDECL *Shutdown)(void);         /* at exit, when Init returned true */
    void (VZ_CDECL *Update)(float seconds);  /* per frame with a positive time step */
    void (VZ_CDECL *Render)(float seconds);  /* once per pass */
    int32_t (VZ_CDECL *OnEvent)(VozerEvent event); /* result meaning depends on the event */
} VozerProgramRecord;

/* The Program library's exports. The first is preferred when both exist. */
typedef vz_bool (VZ_CDECL *VozerGetProgramInterfaceFn)(VozerProgramRecord* record, int32_t version);
typedef VozerProgramRecord* (VZ_CDECL *VozerGetInterfaceFn)(void);
#define VZ_PROGRAM_EXPORT_NEW "ZT_GetProgramInterface"
#define VZ_PROGRAM_EXPORT_OLD "ZT_GetInterface"

VZ_STATIC_ASSERT(sizeof(VozerEvent) == 32, "an event is 32 bytes");
VZ_STATIC_ASSERT(sizeof(VozerInputEvent) == 32, "an input event is an event");
#if VZ_LAYOUT_IS_I686
VZ_STATIC_ASSERT(sizeof(VozerDisplayParams) == 104, "DisplayParams is 26 words");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, framePeriodMs) == 12, "frame period at 12");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, consoleOpen) == 16, "console open at 16");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, commandLine) == 20, "command line at 20");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, locale) == 24, "locale at 24");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, quitting) == 28, "quitting at 28");
VZ_STATIC_ASSERT(offsetof(VozerDisplayParams, referenceWidth) == 32, "reference size at 32");
VZ_STATIC_ASSERT(sizeof(VozerProgramRecord) == 372, "the Program record is 372 bytes");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, id) == 4, "id at 4");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, title) == 36, "title at 36");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, version) == 164, "version at 164");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, developerName) == 180, "developer at 180");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, api) == 244, "api at 244");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display) == 248, "DisplayParams at 248");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.windowed) == 256, "windowed at 256");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.framePeriodMs) == 260, "frame period at 260");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.developerMode) == 266, "developer mode at 266");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.commandLine) == 268, "command line at 268");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.quitting) == 276, "quitting at 276");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.hibernateUnreferenced) == 277, "hibernate at 277");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, display.referenceWidth) == 280, "reference size at 280");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, Init) == 352, "Init at 352");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, Shutdown) == 356, "Shutdown at 356");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, Update) == 360, "Update at 360");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, Render) == 364, "Render at 364");
VZ_STATIC_ASSERT(offsetof(VozerProgramRecord, OnEvent) == 368, "OnEvent at 368");
#endif

#endif
