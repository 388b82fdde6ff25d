// Popups: each distinct text is shown once per run; popups raised off the main
// thread wait in the runtime's popup queue for the frame loop.
#include "diag/popup.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "state/features.h"
#include "state/runtime_state.h"
#include "diag/log_internal.h"
#include "platform/platform.h"

namespace vz::diag {

namespace {

// Popup results.
constexpr int POPUP_SUPPRESSED = 0;
constexpr int POPUP_NOT_WAITED = 1;
constexpr int POPUP_ACKNOWLEDGED = 4;
constexpr int POPUP_YES = 5;
constexpr int POPUP_NO = 6;

// Button ids of the system message box.
constexpr int BOX_OK = 1;
constexpr int BOX_CANCEL = 2;
constexpr int BOX_YES = 6;
constexpr int BOX_NO = 7;

struct PopupState {
    std::unordered_set<std::string> shown;  // guarded by PRINT; never cleared while the program runs
    char message[LOG_MESSAGE_BUFFER] = {};
    char logged[LOG_MESSAGE_BUFFER] = {};
};

PopupState& state() {
    static PopupState s;
    return s;
}

bool developerModeOn() {
    const VozerProgramRecord* program = rt().shared.program;
    return rt().boot.developerMode || (program && program->display.developerMode);
}

std::string captionBase() {
    const VozerProgramRecord* program = rt().shared.program;
    if (rt().coreInitialised.load() && program) {
        std::string title(program->title, strnlen(program->title, sizeof program->title));
        if (!title.empty()) return title.substr(0, 511);
    }
    return "VOZER";
}

// The box itself, on the calling thread, owned by `owner`.
int showBox(int level, const char* text, void* owner) {
    std::string caption = captionBase();
    platform::BoxButtons buttons = platform::BoxButtons::Ok;
    // The platform always asks for an icon; the closest one to each level.
    platform::BoxIcon icon = platform::BoxIcon::Information;
    switch (level) {
    case 1:
        caption += " Warning";
        buttons = platform::BoxButtons::OkCancel;
        icon = platform::BoxIcon::Warning;
        break;
    case 2:
        caption += " Error";
        buttons = platform::BoxButtons::OkCancel;
        icon = platform::BoxIcon::Error;
        break;
    case 3:
        caption += " Error";
        buttons = platform::BoxButtons::YesNoCancel;
        icon = platform::BoxIcon::Error;
        break;
    default:
        break;
    }
    const int answer = platform::messageBox(owner, text, caption.c_str(), icon, buttons);
    if (buttons == platform::BoxButtons::Ok) return POPUP_NOT_WAITED;
    switch (answer) {
    case BOX_CANCEL:
        // The developer's way to stop the run on an error.
        platform::exitProcess(-1);
    case BOX_YES:
        return POPUP_YES;
    case BOX_NO:
        return POPUP_NO;
    case BOX_OK:
    default:
        return POPUP_ACKNOWLEDGED;
    }
}

struct DetachedPopup {
    int level;
    std::string text;
};

void VZ_CDECL popupThreadMain(void* argument) {
    auto* popup = static_cast<DetachedPopup*>(argument);
    // The main window belongs to a thread that goes on running frames.
    showBox(popup->level, popup->text.c_str(), platform::desktopWindow());
    delete popup;
}

}  // namespace

void resetPopups() {
    EngineLock lock(MUTEX_PRINT);
    state().shown.clear();
    rt().popupQueue.clear();
}

int showPopup(int level, const char* text) {
    if (!text) text = "";
    if (!isMainThread()) {
        if (auto log = api()->Log) log(level, "%s", text);
        return POPUP_ACKNOWLEDGED;
    }
    if (rt().coreInitialised.load() && hasFeature("NON_BLOCKING_POPUPS")) {
        auto* popup = new DetachedPopup{level, text};
        VozerThread thread = api()->CreateThread ? api()->CreateThread("Popup", &popupThreadMain, popup, 0) : NO_THREAD;
        if (thread != NO_THREAD) return POPUP_NOT_WAITED;
        // No thread: show it here rather than lose it.
        delete popup;
    }
    return showBox(level, text, rt().shared.window);
}

int showPopupAndWait(int level, const char* text) {
    if (!text) text = "";
    if (!isMainThread()) return showPopup(level, text);
    return showBox(level, text, rt().shared.window);
}

void showQueuedPopups() {
    if (!isMainThread()) return;
    std::vector<PopupEntry> pending;
    {
        EngineLock lock(MUTEX_PRINT);
        pending.swap(rt().popupQueue);
    }
    for (const PopupEntry& entry : pending) showPopup(entry.level, entry.text.c_str());
}

}  // namespace vz::diag

namespace vz::slots {

int32_t Popup(int32_t level, const char* format, ...) {
    using namespace vz::diag;
    // The level is filtered and shown as given: a negative one is below every
    // minimum, one above 7 gets the plain box (the log counts it as an error).
    if (!format || level < minimumLogLevel() || !developerModeOn()) return POPUP_SUPPRESSED;
    PopupState& s = state();
    std::string text;
    {
        EngineLock lock(MUTEX_PRINT);
        va_list args;
        va_start(args, format);
        std::vsnprintf(s.message, sizeof s.message, format, args);
        va_end(args);
        // Copied at once: logging it below may reuse the shared buffers.
        text = s.message;
        if (rt().coreInitialised.load()) {
            std::snprintf(s.logged, sizeof s.logged, "[POPUP] %s", text.c_str());
            addLogLine(level, s.logged);
        }
        if (!s.shown.insert(text).second) return POPUP_NOT_WAITED;
        if (!isMainThread()) {
            rt().popupQueue.push_back(PopupEntry{level, text});
            return POPUP_ACKNOWLEDGED;
        }
    }
    return showPopup(level, text.c_str());
}

}  // namespace vz::slots
