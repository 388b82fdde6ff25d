// The console's state and the operations its files share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vozer_types.h"

namespace vz::diag {

// Characters the input line holds at most (a terminator follows).
constexpr size_t CONSOLE_INPUT_MAX = 512;
// A line whose highlighted form would grow past this many characters keeps
// the rest of its matches plain.
constexpr size_t CONSOLE_HIGHLIGHT_LIMIT = 512;
// Colour markup around a match of the filter.
constexpr const char* HIGHLIGHT_OPEN = "|#1199ff|";

struct ConsoleState {
    bool open = false;
    float slide = 0.0f;   // 0 hidden .. 1 fully down
    float blink = 0.0f;   // caret phase, 0..1
    int32_t scroll = 0;   // matching lines hidden below the bottom
    std::string input;    // at most CONSOLE_INPUT_MAX characters
    int32_t caret = 0;    // 0..input.size()
    std::vector<std::string> history;
    int32_t historyIndex = 0;
    // True while Up has put the unfinished input at the end of the history.
    bool browsing = false;
    // Ctrl+V pastes once per hold of Control.
    bool pasteArmed = true;
    VozerFont* font = nullptr;
    bool fontTried = false;
    bool fontBuiltIn = false;
};
ConsoleState& consoleState();

// The size of the screen the player sees in pixels (the renderer's, or the
// Program's before the renderer has one): the console and the overlays
// cover it whatever the Program's reference size is.
void screenSize(float& width, float& height);

// The toggle character: the low 8 bits of the configured key.
int32_t toggleCharacter();

// Input editing (console.cpp). insertTyped: one character above 31 at the
// caret while the line has room. insertPasted: clipboard text at the caret:
// line breaks and tabs become one space, other control characters go, and
// the text stops at the line's limit without splitting a UTF-8 sequence.
void insertTyped(ConsoleState& c, int32_t character);
void insertPasted(ConsoleState& c, const char* text);

// History and completion (console_history.cpp).
// Enter: echo into the log, record in the history, send event 7, clear.
void enterInput(ConsoleState& c);
void historyUp(ConsoleState& c);
void historyDown(ConsoleState& c);
// Tab: the first registered command that begins with the input (ASCII
// letters compared without case; an empty input takes the first).
void completeInput(ConsoleState& c);

// Filtering (console_filter.cpp).
// Whether a log line is shown for `filter` (case-sensitive substring; an
// empty filter shows every line).
bool lineMatches(const std::string& text, const std::string& filter);
// Text safe to hand to the text layout: a '|' of the text is doubled, so a
// log line or an input can never start a markup section (colours, images).
void appendEscaped(std::string& out, const char* text, size_t length);
// The drawn form of a log line: escaped, each occurrence of `filter` wrapped
// in the highlight colour and followed by `restore` ("|#rrggbb|", the line's
// own colour), while the result stays within CONSOLE_HIGHLIGHT_LIMIT.
void highlightedText(std::string& out, const std::string& text, const std::string& filter, const char* restore);

// The built-in font (console_font.cpp): fills an empty font record with
// LATIN-1 glyphs of printable ASCII (other bytes show '?').
void fillBuiltInFont(VozerFont* font);

}  // namespace vz::diag
