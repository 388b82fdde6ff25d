// The three tables CallExtension asks in order, and what their handlers share.
#pragma once

#include <string>
#include <vector>

namespace vz::ext {

// A handler's answer: whether it recognised the name, and the result (null is
// a valid result of a recognised name and ends the search all the same).
struct Answer {
    bool recognised;
    const char* text;
};
constexpr Answer NOT_MINE{false, nullptr};
inline Answer answer(const char* text) { return Answer{true, text}; }

using Handler = Answer (*)(const char* name, const char* argument);

struct Entry {
    const char* name;
    bool prefix;  // the name matches every name beginning with it
    Handler handler;
};

// Platform services (clipboard, shell, dialogs), runtime queries, and the
// developer-mode simulations.
const std::vector<Entry>& platformServices();
const std::vector<Entry>& runtimeQueries();
const std::vector<Entry>& developerSimulations();

// The state behind the tables, back to its start (tests).
void resetQueryState();
void resetSimulationState();

// Result text that stays valid until the next call that fills the same slot
// on the same thread. Each name keeps its own slot, so results of different
// names never overwrite each other.
const char* keep(std::string& slot, std::string text);

// Text from the Program, for a log line: control characters become '?' and the
// text is cut at 200 bytes; null reads "(null)".
std::string shown(const char* text);

// The user's language (ISO 639) when no Program nor plug-in named one.
const char* systemLanguage();

// The editing dialogs show backspace, tab, line feed, carriage return, the
// double quote and the backslash as backslash escapes, and read them back.
std::string escapeForEditing(const std::string& text);
std::string unescapeAfterEditing(const std::string& text);

}  // namespace vz::ext
