// The console's state, its place in the input dispatch and the editing of
// its input line.
#include "diag/console.h"

#include <algorithm>
#include <cstring>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/input.h"
#include "diag/console_internal.h"
#include "diag/log_internal.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz::diag {

namespace {

constexpr float SLIDE_PER_SECOND = 4.0f;  // a full slide takes a quarter second
constexpr int32_t PAGE_LINES = 4;
constexpr int32_t WHEEL_NOTCH = 120;

// Virtual-key codes the console answers.
constexpr int32_t KEY_TAB = 0x09;
constexpr int32_t KEY_PAGE_UP = 0x21;
constexpr int32_t KEY_PAGE_DOWN = 0x22;
constexpr int32_t KEY_END = 0x23;
constexpr int32_t KEY_HOME = 0x24;
constexpr int32_t KEY_LEFT = 0x25;
constexpr int32_t KEY_UP = 0x26;
constexpr int32_t KEY_RIGHT = 0x27;
constexpr int32_t KEY_DOWN = 0x28;
constexpr int32_t KEY_CONTROL = 0x11;
constexpr int32_t KEY_C = 'C';
constexpr int32_t KEY_V = 'V';

constexpr int32_t CHAR_BACKSPACE = 8;
constexpr int32_t CHAR_RETURN = 13;
constexpr int32_t CHAR_DELETE = 127;

void mirrorIntoProgram(bool open) {
    if (VozerProgramRecord* program = rt().shared.program) program->display.consoleOpen = open ? 1 : 0;
}

bool controlHeld() { return (peekKeyState(KEY_CONTROL) & VZ_KEY_HELD) != 0; }

// A character event's code as the window host delivers it: 0..255 from an
// ANSI window, or a byte read as signed (-128..-1).
bool isToggleCharacter(int32_t code) {
    const int32_t toggle = toggleCharacter();
    return toggle != 0 && code >= -128 && code < 256 && (code & 0xFF) == toggle;
}

// Every log line, each ending in a line feed, for the clipboard.
std::string logAsText() {
    std::string text;
    EngineLock lock(MUTEX_PRINT);
    for (const LogLine& line : lockedLogLines()) {
        text += line.text;
        if (text.empty() || text.back() != '\n') text += '\n';
    }
    return text;
}

void copyLogToClipboard() {
    if (auto call = api()->CallExtension) {
        const std::string text = logAsText();
        call("Clipboard_SetText", const_cast<char*>(text.c_str()));
    }
}

void pasteFromClipboard(ConsoleState& c) {
    auto call = api()->CallExtension;
    if (!call) return;
    insertPasted(c, static_cast<const char*>(call("Clipboard_GetText", nullptr)));
}

void handleCharacter(ConsoleState& c, int32_t code) {
    if (code == CHAR_BACKSPACE) {
        if (c.caret > 0) c.input.erase(static_cast<size_t>(--c.caret), 1);
    } else if (code == CHAR_RETURN) {
        enterInput(c);
    } else {
        insertTyped(c, code);
    }
}

void handleKeyDown(ConsoleState& c, int32_t key) {
    const int32_t length = static_cast<int32_t>(c.input.size());
    switch (key) {
    case KEY_HOME: c.caret = 0; break;
    case KEY_END: c.caret = length; break;
    case KEY_LEFT: if (c.caret > 0) --c.caret; break;
    case KEY_RIGHT: if (c.caret < length) ++c.caret; break;
    case KEY_PAGE_UP: c.scroll += PAGE_LINES; break;
    case KEY_PAGE_DOWN: c.scroll = c.scroll > PAGE_LINES ? c.scroll - PAGE_LINES : 0; break;
    case KEY_TAB: if (toggleCharacter() != '\t') completeInput(c); break;
    case KEY_UP: historyUp(c); break;
    case KEY_DOWN: historyDown(c); break;
    default: break;
    }
    if (controlHeld()) {
        if (key == KEY_V && c.pasteArmed) {
            c.pasteArmed = false;
            pasteFromClipboard(c);
        } else if (key == KEY_C) {
            copyLogToClipboard();
        }
    }
}

}  // namespace

ConsoleState& consoleState() {
    static ConsoleState s;
    return s;
}

int32_t toggleCharacter() { return consoleToggleKey() & 0xFF; }

void insertTyped(ConsoleState& c, int32_t character) {
    // Characters are bytes of the window's code page; DEL (Ctrl+Backspace)
    // and anything beyond a byte are not text.
    if (character <= 31 || character == CHAR_DELETE || character > 255) return;
    if (c.input.size() >= CONSOLE_INPUT_MAX) return;
    c.input.insert(static_cast<size_t>(c.caret), 1, static_cast<char>(character));
    ++c.caret;
}

void insertPasted(ConsoleState& c, const char* text) {
    if (!text) return;
    std::string clean;
    bool lastWasBreak = false;
    for (const char* p = text; *p; ++p) {
        const unsigned char ch = static_cast<unsigned char>(*p);
        const bool lineBreak = ch == '\r' || ch == '\n' || ch == '\t';
        if (lineBreak) {
            // "\r\n" and runs of breaks become one space.
            if (!lastWasBreak) clean += ' ';
        } else if (ch >= 32 && ch != CHAR_DELETE) {
            clean += static_cast<char>(ch);
        }
        lastWasBreak = lineBreak;
    }
    const size_t room = CONSOLE_INPUT_MAX - std::min(CONSOLE_INPUT_MAX, c.input.size());
    size_t take = std::min(room, clean.size());
    // A cut inside a multi-byte UTF-8 sequence steps back to its lead byte.
    if (take < clean.size()) {
        size_t lead = take;
        while (lead > 0 && (static_cast<unsigned char>(clean[lead]) & 0xC0) == 0x80) --lead;
        if (lead < take && (static_cast<unsigned char>(clean[lead]) & 0xC0) == 0xC0) take = lead;
    }
    c.input.insert(static_cast<size_t>(c.caret), clean, 0, take);
    c.caret += static_cast<int32_t>(take);
}

void startConsole() {
    ConsoleState& c = consoleState();
    c.open = false;
    c.slide = 0.0f;
    mirrorIntoProgram(false);
    // Without the log there is no console, and every character is the Program's.
    setInputFilter(logEnabled() ? &consoleInputFilter : nullptr);
}

void shutdownConsole() {
    ConsoleState& c = consoleState();
    if (c.font && api()->ReleaseFont) api()->ReleaseFont(c.font);
    c.font = nullptr;
    c.fontTried = false;
    c.open = false;
    c.slide = 0.0f;
    setInputFilter(nullptr);
}

void resetConsole() {
    consoleState() = ConsoleState{};
    setInputFilter(nullptr);
}

void UpdateConsole(float dt) {
    if (!logEnabled()) return;
    ConsoleState& c = consoleState();
    const float step = SLIDE_PER_SECOND * dt;
    c.slide = c.open ? std::min(1.0f, c.slide + step) : std::max(0.0f, c.slide - step);
    c.blink += dt;
    while (c.blink >= 1.0f) c.blink -= 1.0f;
    if (c.blink < 0.0f) c.blink = 0.0f;
}

void ToggleConsole() {
    ConsoleState& c = consoleState();
    c.open = logEnabled() ? !c.open : false;
    mirrorIntoProgram(c.open);
}

bool ConsoleHandleEvent(const VozerEvent& event) {
    if (!logEnabled()) return false;
    ConsoleState& c = consoleState();
    const VozerInputEvent in = vz_input_event(event);
    if (!controlHeld()) c.pasteArmed = true;
    switch (event.type) {
    case VZ_EVENT_CHAR: handleCharacter(c, in.code); break;
    case VZ_EVENT_KEY_DOWN: handleKeyDown(c, in.code); break;
    case VZ_EVENT_MOUSE_WHEEL:
        c.scroll += in.button / WHEEL_NOTCH;
        if (c.scroll < 0) c.scroll = 0;
        break;
    default: break;
    }
    return true;
}

bool consoleInputFilter(const VozerEvent& event) {
    if (event.type == VZ_EVENT_CHAR && isToggleCharacter(event.words[0])) {
        ToggleConsole();
        return true;
    }
    if (!consoleState().open || event.type == VZ_EVENT_CONSOLE_COMMAND) return false;
    return ConsoleHandleEvent(event);
}

bool consoleOpen() { return consoleState().open; }
float consoleSlide() { return consoleState().slide; }
const std::string& consoleInput() { return consoleState().input; }
int32_t consoleCaret() { return consoleState().caret; }
int32_t consoleScrollOffset() { return consoleState().scroll; }
const std::vector<std::string>& consoleHistory() { return consoleState().history; }
bool consoleFontIsBuiltIn() { return consoleState().fontBuiltIn; }

}  // namespace vz::diag
