// The platform services of CallExtension: clipboard, opening web and mail
// addresses, file dialogs, the developer's editing dialogs, region and raw
// input. Everything the Program hands in is checked before it reaches the
// system: only web and mail addresses go to the shell, and nothing that
// could end a command line or a field early.
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

// Only addresses with one of the schemes, no spaces, quotes or control
// characters: the shell would run a program named instead, and a quote or
// space would reach the handler's command line as a separate argument.
bool safeAddress(const char* address, const char* const* schemes, size_t schemeCount) {
    if (!address || strnlen(address, ADDRESS_MAX + 1) > ADDRESS_MAX) return false;
    bool schemeOk = false;
    for (size_t i = 0; i < schemeCount; ++i)
        if (startsWithNoCase(address, schemes[i]) && address[std::strlen(schemes[i])]) schemeOk = true;
    if (!schemeOk) return false;
    for (const char* c = address; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u <= 0x20 || u == 0x7f || u == '"' || u == '<' || u == '>' || u == '`' || u == '^' || u == '|')
            return false;
    }
    return true;
}

Answer openAddress(const char* name, const char* address, const char* const* schemes, size_t schemeCount) {
    if (!safeAddress(address, schemes, schemeCount)) {
        api()->Log(1, "%s refused '%s': only %s addresses without spaces, quotes or control characters are opened.\n",
                   name, shown(address).c_str(), schemeCount > 1 ? "http:// and https://" : "mailto:");
    } else if (!platform::openWithShell(address)) {
        api()->Log(1, "%s: unable to open '%s' on this system.\n", name, shown(address).c_str());
    }
    return answer(nullptr);
}

Answer openUrl(const char* name, const char* argument) {
    static const char* const schemes[] = {"http://", "https://"};
    return openAddress(name, argument, schemes, 2);
}

Answer composeMail(const char* name, const char* argument) {
    static const char* const schemes[] = {"mailto:"};
    return openAddress(name, argument, schemes, 1);
}

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

// "Images|*.png;*.jpg|All files|*.*" (or a lone pattern) as the system's list
// of NUL-ended parts. False for text that cannot be a filter.
bool filterPairs(const char* text, std::string& out) {
    out.clear();
    if (!text || !*text) return true;
    const size_t length = strnlen(text, FILTER_MAX + 1);
    if (length > FILTER_MAX) return false;
    std::string filter(text, length);
    for (char c : filter)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    if (filter.find('|') == std::string::npos) filter = filter + "|" + filter;
    size_t parts = 1;
    for (char& c : filter)
        if (c == '|') {
            c = '\0';
            ++parts;
        }
    if (parts % 2) filter += '\0';  // a description without its pattern: an empty pattern
    out = filter + '\0';
    return true;
}

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
    if (!filterPairs(argument, filter)) {
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
