/* A test Program for the window host and input: every input event it gets
 * goes to trace.txt, with the key states it reads back. On Windows it also
 * checks its own window (frame, client size, cursors), drops a file on it and
 * moves the focus to a window of its own while Shift is held.
 *
 *   VOZER_TEST_SIZE=WxH      window size (default 800x600)
 *   VOZER_TEST_INTERACTIVE   run until the second close request (the first is
 *                            refused); otherwise quit after 5 updates
 *
 * It exports both Program entry points; the older one must never be used. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vozer_api.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#endif

static VozerProgramRecord* program;
#define zt (program->api)
static FILE* trace;
static int updates;
static int closeRequests;
static int interactive;
static int refusedAt = -1;

static void note(const char* format, ...) {
    va_list args;
    if (!trace) trace = fopen("trace.txt", "w");
    if (!trace) return;
    va_start(args, format);
    vfprintf(trace, format, args);
    va_end(args);
    fputc('\n', trace);
    fflush(trace);
}

#ifdef _WIN32
static HWND mainWindow(void) { return FindWindowA("VozerWindowClass", program->title); }

static HWND focusThief;
static int focusLost;
static int inactiveUpdates;
static float shortestInactive = 1e9f;

/* A file dropped the way the shell drops one: a DROPFILES block in movable memory. */
static void dropFile(HWND window, const char* name) {
    const size_t length = strlen(name);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + length + 2);
    DROPFILES* drop = (DROPFILES*)GlobalLock(memory);
    drop->pFiles = sizeof(DROPFILES);
    drop->pt.x = 7;
    drop->pt.y = 9;
    drop->fWide = FALSE;
    memcpy((char*)drop + sizeof(DROPFILES), name, length);
    GlobalUnlock(memory);
    PostMessageA(window, WM_DROPFILES, (WPARAM)memory, 0);
}

static void checkWindow(void) {
    HWND window = mainWindow();
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    RECT client;
    POINT origin = {0, 0};
    HCURSOR finger = LoadCursorA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(104));
    HCURSOR pipet = LoadCursorA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(105));
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    note("window found=%d maxbox=%d caption=%d client=%ldx%ld", window != NULL, (style & WS_MAXIMIZEBOX) != 0,
         (style & WS_CAPTION) == WS_CAPTION, client.right, client.bottom);
    note("icon %d", LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(103)) != NULL);
    zt->SetCursor("FINGER_POINT");
    note("cursor finger=%d", finger != NULL && GetCursor() == finger);
    zt->SetCursor("SAMPLE_PIPET");
    note("cursor pipet=%d", pipet != NULL && GetCursor() == pipet);
    zt->SetCursor("SIZEALL");
    zt->SetCursor("NO_SUCH_CURSOR");
    note("cursor unknown-is-arrow=%d", GetCursor() == LoadCursorA(NULL, IDC_ARROW));
    dropFile(window, "C:\\games\\level 2\\map.png");
    note("origin %ld %ld", origin.x, origin.y);
}

/* While Shift is held the focus moves to another window, and comes back. */
static void moveFocus(void) {
    if (!focusThief && (zt->GetKeyState(VZ_KEY_SHIFT) & VZ_KEY_HELD)) {
        focusThief = CreateWindowExA(0, "STATIC", "focus thief", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL,
                                     GetModuleHandleA(NULL), NULL);
        SetForegroundWindow(focusThief);
        SetActiveWindow(focusThief);
    }
}

/* Once the focus has gone, the keys held before are released; then, after a
 * few frames of an inactive window (each a rest of at least 15 ms), it comes
 * back. The frame that learnt of the loss may have started active. */
static void returnFocus(float seconds) {
    if (++inactiveUpdates > 1 && seconds < shortestInactive) shortestInactive = seconds;
    if (inactiveUpdates < 6) return;
    note("inactive frames %d shortest %d ms", inactiveUpdates - 1, (int)(shortestInactive * 1000.0f + 0.5f));
    focusLost = 0;
    note("shift after deactivation %u", zt->GetKeyState(VZ_KEY_SHIFT));
    SetForegroundWindow(mainWindow());
    SetFocus(mainWindow());
    DestroyWindow(focusThief);
}
#endif

static vz_bool VZ_CDECL inputInit(void) {
    note("init");
    return 1;
}

static void VZ_CDECL inputShutdown(void) { note("shutdown"); }

static void VZ_CDECL inputUpdate(float seconds) {
    (void)seconds; /* read on Windows only */
    ++updates;
#ifdef _WIN32
    if (updates == 2) {
        checkWindow();
        note("ready");
    }
    if (interactive) moveFocus();
    if (focusLost && focusThief) returnFocus(seconds);
#endif
    if (refusedAt >= 0 && updates == refusedAt + 3) note("still running after refusal");
    if (!interactive && updates == 5) zt->Quit();
}

static void VZ_CDECL inputRender(float seconds) { (void)seconds; }

static int32_t VZ_CDECL inputEvent(VozerEvent event) {
    const VozerInputEvent in = vz_input_event(event);
    switch (event.type) {
    case VZ_EVENT_KEY_DOWN: {
        const uint32_t first = zt->GetKeyState(in.code);
        const uint32_t second = zt->GetKeyState(in.code);
        note("key down %d states %u %u", in.code, first, second);
        break;
    }
    case VZ_EVENT_KEY_UP:
        note("key up %d state %u", in.code, zt->GetKeyState(in.code));
        break;
    case VZ_EVENT_CHAR:
        note("char %d", in.code);
        break;
    case VZ_EVENT_MOUSE_DOWN:
    case VZ_EVENT_MOUSE_UP:
        note("button %s %d mouse %d at %.0f,%.0f", event.type == VZ_EVENT_MOUSE_DOWN ? "down" : "up", in.button,
             in.mouse, in.x, in.y);
        break;
    case VZ_EVENT_ACTIVATION:
        note("activation %d shift %u", event.words[0] & 0xFF, zt->GetKeyState(VZ_KEY_SHIFT));
#ifdef _WIN32
        if ((event.words[0] & 0xFF) == 1) focusLost = 1;
#endif
        break;
    case VZ_EVENT_NAMED:
        note("named %s '%s' %s", (const char*)vz_event_pointer_at(&event, 0),
             (const char*)vz_event_pointer_at(&event, 1),
             (const char*)vz_event_pointer_at(&event, 2));
        break;
    case VZ_EVENT_CLOSE:
        if (++closeRequests == 1 && interactive) {
            note("close refused");
            refusedAt = updates;
            return VZ_KEEP_WINDOW_OPEN;
        }
        note("close accepted");
        return 0;
    default:
        break;
    }
    return 0;
}

static void fill(VozerProgramRecord* record) {
    const char* size = getenv("VOZER_TEST_SIZE");
    program = record;
    interactive = getenv("VOZER_TEST_INTERACTIVE") != NULL;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerInputTest");
    strcpy(record->title, "Input Test");
    strcpy(record->version, "1.0");
    strcpy(record->developerName, "Vozer Tests");
    record->display.width = 800;
    record->display.height = 600;
    if (size) sscanf(size, "%dx%d", &record->display.width, &record->display.height);
    record->display.windowed = 1;
    record->Init = inputInit;
    record->Shutdown = inputShutdown;
    record->Update = inputUpdate;
    record->Render = inputRender;
    record->OnEvent = inputEvent;
}

static vz_bool VZ_CDECL olderInit(void) {
    note("older entry used");
    return 1;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    fill(record);
    return 1;
}

/* Never called while the newer export exists. */
VZ_EXTERN_C VZ_EXPORT VozerProgramRecord* VZ_CDECL ZT_GetInterface(void) {
    static VozerProgramRecord record;
    fill(&record);
    record.Init = olderInit;
    return &record;
}
