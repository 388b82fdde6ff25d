// The main window on Win32: its class, creation and destruction, and the
// window procedure, which answers what only concerns the system (painting,
// erasing, destruction, the cursor) and decodes the rest for the runtime's
// handler (platform.h).
#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <windowsx.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_host.h"

namespace vz::platform {

namespace {

constexpr char WINDOW_CLASS[] = "VozerWindowClass";
constexpr int PROGRAM_ICON = 103;
// The answer to a host window's owner: "not handled, do your default".
constexpr LRESULT HOST_DEFAULT = -1;

struct WindowHost {
    WindowMessageHandler handler = nullptr;
    HWND window = nullptr;
    bool hostWindow = false;
    bool classRegistered = false;
    RECT fullScreenRect = {};  // where a full-screen window was placed
};

WindowHost& host() {
    static WindowHost h;
    return h;
}

LRESULT passOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (host().hostWindow) return HOST_DEFAULT;
    return DefWindowProcA(window, message, wParam, lParam);
}

// The first dropped file, whole, and the drop point. The drop handle is
// released here: the runtime reads only the first name.
bool readDrop(HDROP drop, std::string& name, POINT& point) {
    const UINT files = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    const UINT length = files > 0 ? DragQueryFileA(drop, 0, nullptr, 0) : 0;
    if (length > 0) {
        name.assign(length + 1, '\0');
        const UINT copied = DragQueryFileA(drop, 0, &name[0], length + 1);
        name.resize(copied);
    }
    point = POINT{0, 0};
    DragQueryPoint(drop, &point);
    DragFinish(drop);
    return length > 0;
}

// The system's message as a WindowMessage; false for messages the runtime
// leaves to default processing. `text` keeps a dropped file's name.
bool decode(UINT message, WPARAM wParam, LPARAM lParam, WindowMessage& out, std::string& text) {
    switch (message) {
    case WM_CLOSE:
        out.kind = WindowMessageKind::Close;
        return true;
    case WM_SIZE:
        if (wParam != SIZE_MAXIMIZED) return false;
        out.kind = WindowMessageKind::Maximised;
        out.x = LOWORD(lParam);
        out.y = HIWORD(lParam);
        return true;
    case WM_ACTIVATE:
        out.kind = WindowMessageKind::Activation;
        out.active = LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0;
        return true;
    case WM_INPUT:
        out.kind = WindowMessageKind::RawInput;
        out.handle = reinterpret_cast<void*>(lParam);
        return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
        out.kind = message == WM_KEYDOWN ? WindowMessageKind::KeyDown : WindowMessageKind::KeyUp;
        out.key = static_cast<int32_t>(wParam);
        return true;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        out.kind = message == WM_SYSKEYDOWN ? WindowMessageKind::SystemKeyDown : WindowMessageKind::SystemKeyUp;
        out.key = static_cast<int32_t>(wParam);
        out.altHeld = (lParam & (1L << 29)) != 0;
        out.repeat = (lParam & (1L << 30)) != 0;
        return true;
    case WM_CHAR:
        out.kind = WindowMessageKind::Character;
        out.key = static_cast<int32_t>(wParam);
        return true;
    case WM_MOUSEMOVE:
        out.kind = WindowMessageKind::MouseMove;
        out.x = GET_X_LPARAM(lParam);
        out.y = GET_Y_LPARAM(lParam);
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        out.kind = (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN)
                       ? WindowMessageKind::ButtonDown
                       : WindowMessageKind::ButtonUp;
        out.key = (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)   ? 0
                  : (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP) ? 1
                                                                           : 2;
        out.x = GET_X_LPARAM(lParam);
        out.y = GET_Y_LPARAM(lParam);
        return true;
    case WM_MOUSEWHEEL:
        out.kind = WindowMessageKind::Wheel;
        out.wheelDelta = GET_WHEEL_DELTA_WPARAM(wParam);
        return true;
    case WM_DROPFILES: {
        POINT point;
        if (!readDrop(reinterpret_cast<HDROP>(wParam), text, point)) return false;
        out.kind = WindowMessageKind::FilesDropped;
        out.text = text.c_str();
        out.x = point.x;
        out.y = point.y;
        return true;
    }
    default:
        return false;
    }
}

// While a button is held the window keeps the mouse, so that the release is
// seen even outside it.
void followCapture(HWND window, UINT message, WPARAM wParam) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
        SetCapture(window);
    } else if ((message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP) &&
               (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
        ReleaseCapture();
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowHost& h = host();
    if (message == WM_DESTROY) {
        if (window != h.window) return 0;  // destroyed by the runtime, which forgot it first
        if (h.hostWindow) return 1;
        PostQuitMessage(0);  // destroyed from outside: the run cannot go on
        return 0;
    }
    // Messages for a window that is gone, or not yet the main window.
    if (window != h.window || !h.handler) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        ValidateRect(window, nullptr);  // the renderer draws; nothing to paint here
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            win32::restoreCursor();
            return TRUE;
        }
        return passOn(window, message, wParam, lParam);
    default:
        break;
    }
    WindowMessage decoded;
    std::string text;
    if (!decode(message, wParam, lParam, decoded, text)) return passOn(window, message, wParam, lParam);
    bool handled = true;
    try {
        handled = h.handler(decoded);
    } catch (...) {
        // Nothing may unwind through the system's message dispatch.
    }
    followCapture(window, message, wParam);
    return handled ? 0 : passOn(window, message, wParam, lParam);
}

bool registerClass() {
    WindowHost& h = host();
    if (h.classRegistered) return true;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(PROGRAM_ICON));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(PROGRAM_ICON), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = nullptr;  // the window procedure sets the chosen cursor
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = WINDOW_CLASS;
    h.classRegistered = RegisterClassExA(&windowClass) != 0;
    return h.classRegistered;
}

// Centre the window's outer rectangle for the client size on the primary
// screen. A window taller than the screen is moved up by half a caption more.
void centre(HWND window, int32_t width, int32_t height, DWORD style, DWORD exStyle) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;
    if (y < 0) y -= GetSystemMetrics(SM_CYCAPTION) / 2;
    MoveWindow(window, x, y, outerWidth, outerHeight, TRUE);
}

}  // namespace

void setWindowMessageHandler(WindowMessageHandler handler) { host().handler = handler; }

void* createMainWindow(const WindowRequest& request) {
    WindowHost& h = host();
    if (!registerClass()) return nullptr;
    const bool fullScreen = request.frame == WindowFrame::FullScreen;
    DWORD style = WS_POPUP;
    DWORD exStyle = WS_EX_APPWINDOW;
    int x = 0, y = 0, width = request.width, height = request.height;
    if (!fullScreen) {
        if (request.frame == WindowFrame::Caption)
            style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | (request.maximiseBox ? WS_MAXIMIZEBOX : 0);
        exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        x = y = CW_USEDEFAULT;
        width += 2 * GetSystemMetrics(SM_CXFRAME);
        height += 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
    }
    HWND window = CreateWindowExA(exStyle, WINDOW_CLASS, request.title ? request.title : "", style, x, y, width,
                                  height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    h.window = window;
    h.hostWindow = false;
    if (!fullScreen) centre(window, request.width, request.height, style, exStyle);
    SetFocus(window);
    SetForegroundWindow(window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (fullScreen) GetWindowRect(window, &h.fullScreenRect);
    if (request.acceptDroppedFiles) DragAcceptFiles(window, TRUE);
    return window;
}

void destroyMainWindow(void* window) {
    WindowHost& h = host();
    if (!window) return;
    if (h.window == window) h.window = nullptr;  // its last messages are nobody's now
    DestroyWindow(static_cast<HWND>(window));
}

void useHostWindow(void* window) {
    WindowHost& h = host();
    h.window = static_cast<HWND>(window);
    h.hostWindow = true;
}

namespace win32 {
HWND mainWindow() { return host().window; }
}  // namespace win32

}  // namespace vz::platform
