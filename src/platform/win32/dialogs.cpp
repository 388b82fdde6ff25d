#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

bool popupsAreLogged() {
    static const bool logged = [] {
        const char* value = std::getenv("VOZER_POPUPS");
        return value && std::strcmp(value, "log") == 0;
    }();
    return logged;
}

void* desktopWindow() { return GetDesktopWindow(); }

int messageBox(void* owner, const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
    if (popupsAreLogged()) {
        std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
        std::fflush(stderr);
        return (buttons == BoxButtons::YesNo || buttons == BoxButtons::YesNoCancel) ? IDYES : IDOK;
    }
    UINT flags = MB_SETFOREGROUND;
    switch (icon) {
        case BoxIcon::Information: flags |= MB_ICONINFORMATION; break;
        case BoxIcon::Warning: flags |= MB_ICONWARNING; break;
        case BoxIcon::Error: flags |= MB_ICONERROR; break;
        case BoxIcon::Exclamation: flags |= MB_ICONEXCLAMATION; break;
    }
    switch (buttons) {
        case BoxButtons::Ok: flags |= MB_OK; break;
        case BoxButtons::OkCancel: flags |= MB_OKCANCEL; break;
        case BoxButtons::YesNo: flags |= MB_YESNO; break;
        case BoxButtons::YesNoCancel: flags |= MB_YESNOCANCEL; break;
    }
    return MessageBoxA(static_cast<HWND>(owner), text ? text : "", caption ? caption : "", flags);
}

void exitProcess(int code) {
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

void abandonProcess(int code) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    ExitProcess(static_cast<UINT>(code));  // not reached
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace vz::platform
