// Platform services and facts on the development host. It has no desktop, so
// the clipboard, the shell and the dialogs are not available; the facts come
// from uname, the locale environment and the network interfaces.
#include "platform/platform.h"

#include <dirent.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace vz::platform {

namespace {

constexpr int32_t PLATFORM_LINUX = 11;

// "de_DE.UTF-8" from the first locale variable that is set.
std::string localeName() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return std::string();
}

// Two or three letters of one case: "de", "DE" (not "C" or "POSIX").
bool isCode(const std::string& text, bool upper) {
    if (text.size() < 2 || text.size() > 3) return false;
    for (char c : text)
        if (upper ? !(c >= 'A' && c <= 'Z') : !(c >= 'a' && c <= 'z')) return false;
    return true;
}

}  // namespace

bool setClipboardText(void*, const char*) { return false; }

bool clipboardText(void*, std::string& out, size_t) {
    out.clear();
    return false;
}

bool openWithShell(const char*) { return false; }

bool fileDialog(void*, bool, const std::string&, std::string& chosen) {
    chosen.clear();
    return false;
}

bool editTextDialog(void*, const char*, const std::string&, std::string&) { return false; }

SystemFacts systemFacts() {
    SystemFacts facts;
    facts.implementation = "ZT_Posix";
    facts.platformId = PLATFORM_LINUX;
    utsname name{};
    if (::uname(&name) == 0) {
        facts.osMajor = name.sysname;
        int major = 0, minor = 0, build = 0;
        std::sscanf(name.release, "%d.%d.%d", &major, &minor, &build);
        facts.osMinor = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
    }
    return facts;
}

std::string networkAdapterAddress() {
    DIR* folder = ::opendir("/sys/class/net");
    if (!folder) return std::string();
    std::string found;
    std::string first;  // names in a fixed order, so the answer does not change between runs
    while (dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == "lo") continue;
        std::ifstream in("/sys/class/net/" + name + "/address");
        std::string address;
        if (!(in >> address) || address.size() != 17 || address == "00:00:00:00:00:00") continue;
        if (!first.empty() && name > first) continue;
        first = name;
        found.clear();
        for (char c : address)
            if (c != ':') found += c;
    }
    ::closedir(folder);
    return found.size() == 12 ? found + "\n" : std::string();
}

std::string userCountryCode() {
    const std::string locale = localeName();
    const size_t underscore = locale.find('_');
    if (underscore == std::string::npos) return std::string();
    const std::string country = locale.substr(underscore + 1, locale.find_first_of(".@", underscore) - underscore - 1);
    return isCode(country, true) ? country : std::string();
}

}  // namespace vz::platform
