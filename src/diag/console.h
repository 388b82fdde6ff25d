// The developer console: a drop-down overlay over the game that shows the
// in-memory log, filters it by the text on its input line and hands entered
// lines to the Program as console-command events (7). It exists only while
// the log does (the boot setting `console`); main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vozer_program.h"
#include "vozer_types.h"

namespace vz::diag {

// After the log has started: puts the console in front of the Program in the
// input dispatch. Closed, with an empty input line and history.
void startConsole();
// Before the fonts are released at exit: gives the console font back.
void shutdownConsole();
// Back to the state at program start, the font forgotten without a release
// (tests; the font pool is reset separately).
void resetConsole();

// Once per frame: the slide moves by 4 x dt towards open or closed and the
// caret's blink timer advances. Nothing while the log is disabled.
void UpdateConsole(float dt);
// Once per frame, in screen pixels after the Program has drawn. Nothing while
// the log is disabled or the console is fully up.
void DrawConsole();
// Opens or closes the console (forced closed while the log is disabled) and
// mirrors the state into the Program record.
void ToggleConsole();
// An event for the open console: true when consumed (every event is while
// the log is enabled).
bool ConsoleHandleEvent(const VozerEvent& event);
// The input dispatch's filter: the toggle character toggles and goes no
// further; while open, every event except a console command is the console's.
bool consoleInputFilter(const VozerEvent& event);

// What the console shows, for the overlays and tests.
bool consoleOpen();
float consoleSlide();
const std::string& consoleInput();
int32_t consoleCaret();
int32_t consoleScrollOffset();
const std::vector<std::string>& consoleHistory();
// The console font, loaded on first use: "core/console.mft", or the built-in
// font when that file is missing, empty or unreadable. Null only when no font
// record can be had at all (the pool is full).
VozerFont* consoleFont();
// Whether consoleFont() is the built-in font.
bool consoleFontIsBuiltIn();

}  // namespace vz::diag
