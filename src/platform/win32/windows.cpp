// The main window and the single-instance check on Win32.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

constexpr char WINDOW_CLASS[] = "VozerRuntimeWindow";

struct WindowHost {
    WindowEvents events;
    bool classRegistered = false;
};

WindowHost& host() {
    static WindowHost h;
    return h;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (host().events.closeRequested) host().events.closeRequested();
            return 0;
        case WM_ACTIVATEAPP:
            if (host().events.activationChanged) host().events.activationChanged(wParam != FALSE);
            break;
        case WM_DESTROY:
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass() {
    if (host().classRegistered) return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = WINDOW_CLASS;
    host().classRegistered = RegisterClassA(&windowClass) != 0;
    return host().classRegistered;
}

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

void* createMainWindow(const char* title, int32_t width, int32_t height, bool windowed,
                       const WindowEvents& events) {
    host().events = events;
    if (!registerClass()) return nullptr;
    const DWORD style = windowed ? (WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX)) : WS_POPUP;
    RECT area{0, 0, width, height};
    AdjustWindowRect(&area, style, FALSE);
    HWND window = CreateWindowExA(0, WINDOW_CLASS, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

void destroyMainWindow(void* window) {
    if (window) DestroyWindow(static_cast<HWND>(window));
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
