// Cursors on Win32: the system's shared cursors, the program's own cursor
// resources, and the one shown over the main window.
#include <windows.h>

#include <atomic>

#include "platform/platform.h"
#include "platform/win32/win32_host.h"

namespace vz::platform {

namespace {

// Chosen by showCursor; the window procedure puts it back whenever the
// pointer enters the client area. Null hides the pointer over the window.
std::atomic<HCURSOR> shown{nullptr};
std::atomic<bool> chosen{false};

bool onWindowThread() {
    HWND window = win32::mainWindow();
    return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

void* systemCursor(SystemCursor which) {
    static const LPCSTR names[] = {IDC_ARROW,    IDC_IBEAM,    IDC_WAIT,   IDC_CROSS,
                                   IDC_UPARROW,  IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                                   IDC_SIZENS,   IDC_SIZEALL,  IDC_NO,     IDC_HELP};
    const int index = static_cast<int>(which);
    if (index < 0 || index >= static_cast<int>(sizeof names / sizeof names[0])) return nullptr;
    return LoadCursorA(nullptr, names[index]);
}

void* programCursor(int id) { return LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)); }

void showCursor(void* cursor) {
    shown = static_cast<HCURSOR>(cursor);
    chosen = true;
    // SetCursor works on the calling thread's input state: another thread's
    // choice shows when the pointer next moves over the window.
    if (onWindowThread()) SetCursor(shown.load());
}

namespace win32 {

void restoreCursor() { SetCursor(chosen ? shown.load() : LoadCursorA(nullptr, IDC_ARROW)); }

}  // namespace win32
}  // namespace vz::platform
