// The console's history of entered lines, the hand-over of a line to the
// Program, and completion of registered command names.
#include <cctype>
#include <string>

#include "core/input.h"
#include "diag/console_internal.h"
#include "diag/log_internal.h"
#include "ext/extensions.h"

namespace vz::diag {

namespace {

int32_t historySize(const ConsoleState& c) { return static_cast<int32_t>(c.history.size()); }

void load(ConsoleState& c, int32_t index) {
    c.input = c.history[static_cast<size_t>(index)];
    c.caret = static_cast<int32_t>(c.input.size());
}

bool startsWithIgnoringCase(const std::string& name, const std::string& prefix) {
    if (prefix.size() > name.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(name[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        // Only ASCII letters fold: bytes above 127 are compared as they are.
        const auto fold = [](unsigned char ch) { return ch < 128 ? std::tolower(ch) : ch; };
        if (fold(a) != fold(b)) return false;
    }
    return true;
}

}  // namespace

void enterInput(ConsoleState& c) {
    // Echoed with a line feed, which the log keeps as one line.
    addLogLine(0, (c.input + "\n").c_str());
    if (c.browsing && !c.history.empty()) c.history.pop_back();
    c.browsing = false;
    c.history.push_back(c.input);
    c.historyIndex = historySize(c);

    // The Program reads the text during the call; it is copied first so that
    // whatever the Program does with the console meanwhile cannot move it.
    const std::string command = c.input;
    VozerEvent event{};
    event.type = VZ_EVENT_CONSOLE_COMMAND;
    vz_set_event_pointer_at(&event, 0, command.c_str());
    c.input.clear();
    c.caret = 0;
    dispatchInputEvent(event);
}

// The index always names the entry on the input line while browsing, so Up
// and Down step through the history one entry at a time in both directions;
// the unfinished input waits as the last entry.
void historyUp(ConsoleState& c) {
    if (c.history.empty()) return;
    if (!c.browsing) {
        c.history.push_back(c.input);
        c.browsing = true;
        c.historyIndex = historySize(c) - 1;
    }
    if (c.historyIndex > 0) --c.historyIndex;
    if (c.historyIndex >= historySize(c)) c.historyIndex = historySize(c) - 1;
    load(c, c.historyIndex);
}

void historyDown(ConsoleState& c) {
    if (c.history.empty() || !c.browsing || c.historyIndex >= historySize(c)) return;
    c.historyIndex = (c.historyIndex + 1) % historySize(c);
    load(c, c.historyIndex);
}

void completeInput(ConsoleState& c) {
    for (const std::string& name : ext::consoleCommands()) {
        if (!startsWithIgnoringCase(name, c.input)) continue;
        c.input = name.substr(0, CONSOLE_INPUT_MAX);
        c.caret = static_cast<int32_t>(c.input.size());
        return;
    }
}

}  // namespace vz::diag
