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

// Whether `text` is an address the shell may open for a game: "www." or a
// scheme of two letters or more, not one that reaches local files or runs
// something, and no quotes, spaces or control characters. `address` is what
// goes to the shell (http:// before a "www." address).
bool shellAddress(const char* text, std::string& address);

// A file dialog's filter from the Program: the system's form, description
// and pattern pairs each ended by a NUL and the list by a second one
// ("Text\0*.txt\0\0"), or the same written with bars ("Text|*.txt"). `out`
// holds the pairs with each part NUL-ended. False for text that cannot be a
// filter (control characters, an empty part inside, more than 1024 bytes).
bool dialogFilter(const char* text, std::string& out);

// The editing dialogs show backspace, tab, line feed, carriage return, the
// double quote and the backslash as backslash escapes, and read them back.
std::string escapeForEditing(const std::string& text);
std::string unescapeAfterEditing(const std::string& text);

}  // namespace vz::ext
