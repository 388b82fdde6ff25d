// The platform services of CallExtension: clipboard, opening web and mail
// addresses, file dialogs, the developer's editing dialogs, region and raw
// input. Everything the Program hands in is checked before it reaches the
// system: only addresses go to the shell (never a local file or a program),
// and nothing that could end a command line or a field early.
#include <cstring>

#include "api/engine_api.h"
#include "ext/ext_tables.h"
#include "ext/extensions.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::ext {

namespace {

constexpr size_t CLIPBOARD_MAX = 1027;
constexpr size_t REGION_MAX = 63;
constexpr size_t DIALOG_RESULT_MAX = 511;  // a 512-byte buffer
constexpr size_t ADDRESS_MAX = 2048;
constexpr size_t FILTER_MAX = 1024;
constexpr size_t EDIT_MAX = 32 * 1024;

void* mainWindow() { return rt().shared.window; }

bool startsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *prefix) return false;
    }
    return true;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Schemes the shell answers with local files or by running something rather
// than with a page, a mail form or a store.
const char* const LOCAL_SCHEMES[] = {"file", "shell", "javascript", "vbscript", "ms-msdt", "search-ms", "search"};

}  // namespace

bool shellAddress(const char* text, std::string& address) {
    address.clear();
    if (!text || strnlen(text, ADDRESS_MAX + 1) > ADDRESS_MAX) return false;
    // Games pass text from players: a quote, a space or a control character
    // would reach the handler's command line as a separate argument.
    for (const char* c = text; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u <= 0x20 || u == 0x7f || u == '"' || u == '\'' || u == '<' || u == '>' || u == '`' || u == '^' ||
            u == '|')
            return false;
    }
    if (startsWithNoCase(text, "www.") && text[4]) {
        address = std::string("http://") + text;
        return true;
    }
    // scheme ":" rest, the scheme a letter and then letters, digits, '+', '-'
    // or '.'. One letter is a drive ("C:"), so a scheme has two at least.
    size_t length = 0;
    while (isLetter(text[length]) || (length > 0 && ((text[length] >= '0' && text[length] <= '9') ||
                                                      text[length] == '+' || text[length] == '-' || text[length] == '.')))
        ++length;
    if (length < 2 || text[length] != ':') return false;
    const char* rest = text + length + 1;
    if (std::strncmp(rest, "//", 2) == 0) rest += 2;
    if (!*rest) return false;
    const std::string scheme(text, length);
    for (const char* local : LOCAL_SCHEMES)
        if (scheme.size() == std::strlen(local) && startsWithNoCase(scheme.c_str(), local)) return false;
    address = text;
    return true;
}

namespace {

Answer openAddress(const char* name, const char* text) {
    std::string address;
    if (!shellAddress(text, address)) {
        api()->Log(1,
                   "%s refused '%s': only addresses (scheme:... or www....) without spaces, quotes or control "
                   "characters are opened, never local files.\n",
                   name, shown(text).c_str());
    } else if (!platform::openWithShell(address.c_str())) {
        api()->Log(1, "%s: unable to open '%s' on this system.\n", name, shown(text).c_str());
    }
    return answer(nullptr);
}

Answer openUrl(const char* name, const char* argument) { return openAddress(name, argument); }

Answer composeMail(const char* name, const char* argument) { return openAddress(name, argument); }

Answer clipboardSet(const char*, const char* text) {
    if (text && !platform::setClipboardText(mainWindow(), text))
        api()->Log(1, "Clipboard_SetText: the clipboard is not available.\n");
    return answer(nullptr);
}

Answer clipboardGet(const char*, const char*) {
    thread_local std::string result;
    std::string text;
    platform::clipboardText(mainWindow(), text, CLIPBOARD_MAX);
    return answer(keep(result, text));
}

Answer region(const char*, const char*) {
    thread_local std::string result;
    return answer(keep(result, platform::userCountryCode().substr(0, REGION_MAX)));
}

Answer systemInfo(const char*, const char*) { return answer("DEPRECATED"); }

Answer rawInput(const char*, const char* argument) {
    if (argument && std::strcmp(argument, "Refresh") == 0) {
        if (ServiceHooks& hooks = serviceHooks(); hooks.registerRawMice) hooks.registerRawMice();
        else api()->Log(1, "RawInput Refresh: raw mouse input is not part of this runtime.\n");
    }
    return answer(nullptr);
}

}  // namespace

bool dialogFilter(const char* text, std::string& out) {
    out.clear();
    if (!text || !*text) return true;
    const size_t first = strnlen(text, FILTER_MAX + 1);
    if (first > FILTER_MAX) return false;
    std::string filter;
    if (std::memchr(text, '|', first)) {
        // The bar form ends at its one NUL.
        filter.assign(text, first);
        for (char& c : filter)
            if (c == '|') c = '\0';
        filter += '\0';
    } else {
        // Parts up to the empty one, never more than FILTER_MAX bytes in all.
        size_t at = 0;
        for (;;) {
            if (at > FILTER_MAX) return false;
            const size_t length = strnlen(text + at, FILTER_MAX + 1 - at);
            if (at + length > FILTER_MAX) return false;
            if (length == 0) break;
            filter.append(text + at, length + 1);
            at += length + 1;
        }
    }
    size_t parts = 0;
    for (char c : filter) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\0') return false;
        parts += c == '\0';
    }
    for (size_t i = 0; i + 1 < filter.size(); ++i)
        if (!filter[i] && !filter[i + 1]) return false;  // an empty part inside the list
    if (parts % 2) filter += '\0';  // a description without its pattern: an empty pattern
    out = filter;
    return true;
}

namespace {

// The chosen path with the program folder replaced by "res:/", so files
// inside it come back as res:// paths.
std::string virtualDialogResult(const std::string& chosen) {
    char normalised[fs::PATH_BUFFER];
    fs::NormalisePath(normalised, sizeof normalised, chosen.c_str());
    std::string path = normalised;
    const std::string root = fs::targetRoot(3);
    bool inside = !root.empty() && path.size() > root.size() && path[root.size()] == '/';
    for (size_t i = 0; inside && i < root.size(); ++i) {
        char a = path[i], b = root[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        inside = a == b;
    }
    if (inside) path = "res:/" + path.substr(root.size());
    return path.substr(0, DIALOG_RESULT_MAX);
}

Answer dialog(const char* name, const char* argument, bool save) {
    thread_local std::string openResult, saveResult;
    std::string filter, chosen;
    if (!dialogFilter(argument, filter)) {
        api()->Log(1, "%s: the filter '%s' is not usable.\n", name, shown(argument).c_str());
        return answer(nullptr);
    }
    if (!platform::fileDialog(mainWindow(), save, filter, chosen)) return answer(nullptr);
    return answer(keep(save ? saveResult : openResult, virtualDialogResult(chosen)));
}

Answer openDialog(const char* name, const char* argument) { return dialog(name, argument, false); }
Answer saveDialog(const char* name, const char* argument) { return dialog(name, argument, true); }

}  // namespace

// Control characters a one-line edit box cannot show, written as escapes; the
// backslash itself too, so that editing gives back exactly what was shown.
std::string escapeForEditing(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

std::string unescapeAfterEditing(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'b': out += '\b'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += text[i];
        }
    }
    return out;
}

namespace {

Answer editValue(const char*, const char* argument) {
    thread_local std::string result;
    std::string text = argument ? escapeForEditing(std::string(argument, strnlen(argument, EDIT_MAX)))
                                : std::string("<insert text here>");
    if (!platform::editTextDialog(mainWindow(), "Edit value", std::string(), text)) return answer(nullptr);
    return answer(keep(result, unescapeAfterEditing(text)));
}

// The description's first three lines are the component's name, parent and
// the component it inherits from.
Answer editUiComponent(const char*, const char* argument) {
    thread_local std::string result;
    if (!argument) return answer(nullptr);
    const std::string description(argument, strnlen(argument, EDIT_MAX));
    std::string lines[3];
    size_t at = 0;
    for (std::string& line : lines) {
        if (at > description.size()) break;
        size_t end = description.find('\n', at);
        if (end == std::string::npos) end = description.size();
        line = description.substr(at, end - at);
        at = end + 1;
    }
    const std::string heading = "Name: '" + lines[0] + "'\nParent: '" + lines[1] + "'\nInherit: '" + lines[2] + "'\n";
    std::string text = escapeForEditing(description);
    if (!platform::editTextDialog(mainWindow(), "Edit UI component", heading, text)) return answer(nullptr);
    return answer(keep(result, unescapeAfterEditing(text)));
}

}  // namespace

const std::vector<Entry>& platformServices() {
    static const std::vector<Entry> table = {
        {"Clipboard_SetText", false, clipboardSet},
        {"Clipboard_GetText", false, clipboardGet},
        {"OpenURL", false, openUrl},
        {"IPHONE_OpenURL", false, openUrl},
        {"ComposeMail", false, composeMail},
        {"GetRegion", false, region},
        {"SystemInfo", false, systemInfo},
        {"RawInput", false, rawInput},
        {"OpenFileDialog", false, openDialog},
        {"SaveFileDialog", false, saveDialog},
        {"EditValue", true, editValue},
        {"EditUIComp", false, editUiComponent},
    };
    return table;
}

}  // namespace vz::ext
