// Screen size, message pumping and the single-instance check on Win32.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

struct TitleSearch {
    const char* title;
    HWND found;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TitleSearch*>(parameter);
    char text[512];
    const int length = GetWindowTextA(window, text, sizeof text);
    if (length >= 0 && std::strcmp(text, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void desktopSize(int32_t& width, int32_t& height) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
}

bool pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

bool namedMutexExists(const char* name) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

void createNamedMutex(const char* name) {
    CreateMutexA(nullptr, FALSE, name);  // stays open until the process ends
}

bool activateWindowWithTitle(const char* title) {
    TitleSearch search{title, nullptr};
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    SetForegroundWindow(search.found);
    ShowWindow(search.found, SW_RESTORE);
    return true;
}

}  // namespace vz::platform
