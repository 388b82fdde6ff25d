// Filtering the log view by the input line, and the drawn form of a line:
// markup characters of the text escaped, matches in the highlight colour.
#include <cstring>

#include "diag/console_internal.h"

namespace vz::diag {

bool lineMatches(const std::string& text, const std::string& filter) {
    return filter.empty() || text.find(filter) != std::string::npos;
}

void appendEscaped(std::string& out, const char* text, size_t length) {
    const char* end = text + length;
    while (text < end) {
        const void* bar = std::memchr(text, '|', static_cast<size_t>(end - text));
        if (!bar) {
            out.append(text, end);
            return;
        }
        const char* at = static_cast<const char*>(bar);
        out.append(text, at + 1);
        out += '|';
        text = at + 1;
    }
}

void highlightedText(std::string& out, const std::string& text, const std::string& filter, const char* restore) {
    out.clear();
    if (filter.empty()) {
        appendEscaped(out, text.data(), text.size());
        return;
    }
    const size_t markup = std::strlen(HIGHLIGHT_OPEN) + std::strlen(restore);
    // The escaped length of the whole line, grown by each wrap that fits.
    size_t total = text.size();
    for (char ch : text) total += ch == '|' ? 1 : 0;
    size_t from = 0;
    for (size_t at = text.find(filter); at != std::string::npos; at = text.find(filter, from)) {
        if (total + markup > CONSOLE_HIGHLIGHT_LIMIT) break;
        total += markup;
        appendEscaped(out, text.data() + from, at - from);
        out += HIGHLIGHT_OPEN;
        appendEscaped(out, text.data() + at, filter.size());
        out += restore;
        from = at + filter.size();
    }
    appendEscaped(out, text.data() + from, text.size() - from);
}

}  // namespace vz::diag
