// Text that reaches the console from outside: clipboard text pasted into the
// input line (any bytes, any length) and log lines drawn with a filter. The
// line must stay within its limit, hold no control character, and a drawn
// line must never open a markup section of its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "diag/console_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte splits the input into a filter and a text.
    const size_t split = size ? data[0] % (size) : 0;
    const std::string filter(reinterpret_cast<const char*>(data) + (size ? 1 : 0), split ? split - 1 : 0);
    const std::string text(reinterpret_cast<const char*>(data) + (split ? split : (size ? 1 : 0)),
                           size - (split ? split : (size ? 1 : 0)));

    vz::diag::ConsoleState console;
    console.input = filter.substr(0, vz::diag::CONSOLE_INPUT_MAX);
    console.caret = static_cast<int32_t>(console.input.size() / 2);
    vz::diag::insertPasted(console, text.c_str());
    if (console.input.size() > vz::diag::CONSOLE_INPUT_MAX) std::abort();
    if (console.caret < 0 || static_cast<size_t>(console.caret) > console.input.size()) std::abort();

    std::string drawn;
    vz::diag::highlightedText(drawn, text, filter, "|#ffffff|");
    // Outside the markup the console adds, every '|' comes doubled.
    std::string plain;
    for (size_t i = 0; i < drawn.size(); ++i) {
        if (drawn.compare(i, 9, vz::diag::HIGHLIGHT_OPEN) == 0 || drawn.compare(i, 9, "|#ffffff|") == 0) {
            i += 8;
            continue;
        }
        if (drawn[i] == '|') {
            if (i + 1 >= drawn.size() || drawn[i + 1] != '|') std::abort();
            ++i;
        }
        plain += drawn[i];
    }
    if (plain != text) std::abort();
    return 0;
}
