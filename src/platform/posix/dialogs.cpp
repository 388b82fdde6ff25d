// The development host has no desktop: message boxes are written to stderr
// and answered as if the player had clicked OK (or yes).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace vz::platform {

bool popupsAreLogged() { return true; }

void* desktopWindow() {
    static int desktop;
    return &desktop;
}

int messageBox(void*, const char* text, const char* caption, BoxIcon, BoxButtons buttons) {
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return (buttons == BoxButtons::YesNo || buttons == BoxButtons::YesNoCancel) ? 6 : 1;
}

void exitProcess(int code) {
    std::fflush(nullptr);
    std::exit(code);
}

void abandonProcess(int code) {
    std::fflush(nullptr);
    _exit(code);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace vz::platform
