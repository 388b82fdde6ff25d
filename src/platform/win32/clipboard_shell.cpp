// The clipboard and the shell on Win32.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

// The clipboard needs an owner window to take data; without a main window a
// hidden message-only window of our own stands in.
HWND clipboardOwner(void* window) {
    if (window) return static_cast<HWND>(window);
    static HWND helper = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         GetModuleHandleA(nullptr), nullptr);
    return helper;
}

// Another program may hold the clipboard for a moment.
bool openClipboard(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

bool setClipboardText(void* window, const char* text) {
    if (!text) return false;
    HWND owner = clipboardOwner(window);
    if (!owner || !openClipboard(owner)) return false;
    bool placed = false;
    if (EmptyClipboard()) {
        const size_t bytes = std::strlen(text) + 1;
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            if (void* target = GlobalLock(memory)) {
                std::memcpy(target, text, bytes);
                GlobalUnlock(memory);
                placed = SetClipboardData(CF_TEXT, memory) != nullptr;
            }
            if (!placed) GlobalFree(memory);  // the clipboard owns it only once placed
        }
    }
    CloseClipboard();
    return placed;
}

bool clipboardText(void* window, std::string& out, size_t maxBytes) {
    out.clear();
    if (!IsClipboardFormatAvailable(CF_TEXT)) return false;
    HWND owner = clipboardOwner(window);
    if (!openClipboard(owner)) return false;
    bool found = false;
    if (HANDLE memory = GetClipboardData(CF_TEXT)) {
        if (const char* text = static_cast<const char*>(GlobalLock(memory))) {
            // The block need not be terminated within its size: never read past it.
            size_t size = GlobalSize(memory);
            size_t length = 0;
            while (length < size && length < maxBytes && text[length]) ++length;
            out.assign(text, length);
            found = true;
            GlobalUnlock(memory);
        }
    }
    CloseClipboard();
    return found;
}

bool openWithShell(const char* address) {
    if (!address || !*address) return false;
    HINSTANCE result = ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace vz::platform
