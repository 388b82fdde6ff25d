// The headless window host of the development host: windows are tokens,
// the desktop is a fixed size, and the single-instance check uses lock files.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace vz::platform {

namespace {
constexpr int32_t DESKTOP_WIDTH = 1920;
constexpr int32_t DESKTOP_HEIGHT = 1080;
int windowToken = 0;

// One lock file per Program id in the system's temporary folder.
std::string lockPath(const char* name) {
    std::string safe;
    for (const char* c = name; *c; ++c) safe += (*c == '/' ? '_' : *c);
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : P_tmpdir) + "/vozer-instance-" + safe + ".lock";
}
}  // namespace

void desktopSize(int32_t& width, int32_t& height) {
    width = DESKTOP_WIDTH;
    height = DESKTOP_HEIGHT;
}

void* createMainWindow(const char*, int32_t width, int32_t height, bool, const WindowEvents&) {
    if (width <= 0 || height <= 0) return nullptr;
    return &windowToken;
}

void destroyMainWindow(void*) {}

bool pumpMessages() { return true; }

// An instance holds an advisory lock on its file while it runs.
bool namedMutexExists(const char* name) {
    const int fd = open(lockPath(name).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

void createNamedMutex(const char* name) {
    const int fd = open(lockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);  // kept open until the process ends
}

bool activateWindowWithTitle(const char*) { return false; }

}  // namespace vz::platform
