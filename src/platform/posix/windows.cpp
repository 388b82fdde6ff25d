// The headless window host of the development host: windows are tokens,
// messages come from tests (headless.h) besides a new window's activation,
// the desktop is a fixed size, and the single-instance check uses lock files.
//
// VOZER_HEADLESS_TYPING=TEXT makes the host a typist for unattended runs:
// each pump types the next character of TEXT (a line feed as Enter), over and
// over, so a run can drive the developer console without a keyboard.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/posix/headless.h"

namespace vz::platform {

namespace {

constexpr int32_t DESKTOP_WIDTH = 1920;
constexpr int32_t DESKTOP_HEIGHT = 1080;

struct PostedMessage {
    int windowSerial;
    WindowMessage message;
    std::string text;
};

struct HeadlessHost {
    WindowMessageHandler handler = nullptr;
    int tokens[2] = {};           // alternating: a new window is never the one just destroyed
    int created = 0;
    int serial = 0;               // posted messages carry it; a new or destroyed window changes it
    bool hostWindow = false;
    bool lastAnswer = false;
    WindowRequest request;
    std::string title;
    std::deque<PostedMessage> queue;
    std::string typing;           // VOZER_HEADLESS_TYPING, read at the first pump
    bool typingRead = false;
    bool windowAlive = false;     // the typist types only into a window
    size_t typed = 0;             // characters of `typing` typed so far
};

HeadlessHost& host() {
    static HeadlessHost h;
    return h;
}

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

void setWindowMessageHandler(WindowMessageHandler handler) { host().handler = handler; }

void* createMainWindow(const WindowRequest& request) {
    HeadlessHost& h = host();
    if (request.width <= 0 || request.height <= 0) return nullptr;
    ++h.serial;
    h.hostWindow = false;
    h.title = request.title ? request.title : "";
    h.request = request;
    h.request.title = h.title.c_str();
    h.windowAlive = true;
    // A window that is shown takes the focus, as a desktop window does: the
    // runtime starts inactive and learns of it by message.
    WindowMessage activation;
    activation.kind = WindowMessageKind::Activation;
    activation.active = true;
    h.queue.push_back(PostedMessage{h.serial, activation, std::string()});
    return &h.tokens[h.created++ % 2];
}

void destroyMainWindow(void*) {
    HeadlessHost& h = host();
    h.queue.clear();
    h.windowAlive = false;
    ++h.serial;  // messages posted from now on are for nobody until a window exists
}

void useHostWindow(void*) {
    HeadlessHost& h = host();
    ++h.serial;
    h.hostWindow = true;
}

// One character of the typist's text, as a window's keyboard would send it.
void typeNextCharacter(HeadlessHost& h) {
    if (!h.typingRead) {
        h.typingRead = true;
        if (const char* text = std::getenv("VOZER_HEADLESS_TYPING")) h.typing = text;
    }
    if (h.typing.empty() || !h.handler || !h.windowAlive) return;
    const unsigned char c = static_cast<unsigned char>(h.typing[h.typed++ % h.typing.size()]);
    WindowMessage message;
    message.kind = WindowMessageKind::Character;
    message.key = c == '\n' ? 13 : c;
    h.queue.push_back(PostedMessage{h.serial, message, std::string()});
}

bool pumpMessages() {
    HeadlessHost& h = host();
    typeNextCharacter(h);
    while (!h.queue.empty()) {
        PostedMessage posted = std::move(h.queue.front());
        h.queue.pop_front();
        if (posted.windowSerial != h.serial || !h.handler) continue;
        if (posted.message.kind == WindowMessageKind::FilesDropped) posted.message.text = posted.text.c_str();
        h.lastAnswer = h.handler(posted.message);
    }
    return true;
}

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

namespace headless {

void postMessage(const WindowMessage& message, const std::string& text) {
    host().queue.push_back(PostedMessage{host().serial, message, text});
}

bool lastAnswer() { return host().lastAnswer; }
bool servesHostWindow() { return host().hostWindow; }
WindowRequest lastWindowRequest() { return host().request; }

}  // namespace headless
}  // namespace vz::platform
