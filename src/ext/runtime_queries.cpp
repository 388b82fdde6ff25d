// The runtime queries of CallExtension: language, console commands, the
// Program's and the platform's facts, dates, development switches, memory
// estimates and the path-switching functions.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

#include "api/engine_api.h"
#include "core/boot_config.h"
#include "core/startup.h"
#include "ext/ext_tables.h"
#include "ext/extensions.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::ext {

namespace {

constexpr size_t COMMAND_NAME_MAX = 255;
constexpr size_t COMMANDS_MAX = 4096;
constexpr size_t ROOT_MAX = 259;
constexpr int32_t FIRST_MEMORY_VALUE = 2001;
constexpr int32_t SCREEN_SIZE_LARGE = 2;

const char* const PLATFORM_NAMES[] = {"UNKNOWN",   "WINDOWS", "MAC",  "IOS",        "BADA",
                                      "ANDROID",   "QT",      "WEBOS", "QNX",       "PSP",
                                      "PS_VITA",   "LINUX",   "WINDOWS_RT", "WINDOWS_PHONE", "FLASH"};
const char* const SCREEN_SIZE_NAMES[] = {"SMALL", "MEDIUM", "LARGE"};

struct QueryState {
    std::mutex lock;
    std::vector<std::string> commands;
};

QueryState& state() {
    static QueryState* s = new QueryState;  // read by the console until the process ends
    return *s;
}

// The facts gathered once (the network query may take a moment).
struct PlatformFacts {
    platform::SystemFacts system;
    std::string uniqueId;
};

const PlatformFacts& facts() {
    static const PlatformFacts f = [] {
        PlatformFacts out;
        out.system = platform::systemFacts();
        out.uniqueId = platform::networkAdapterAddress();
        if (out.uniqueId.size() < 3) {
            char text[48];
            std::snprintf(text, sizeof text, "TIME%xx%x", static_cast<unsigned>(std::time(nullptr)),
                          static_cast<unsigned>(std::random_device{}()));
            out.uniqueId = text;
        }
        return out;
    }();
    return f;
}

// Index of the first name equal to `part`, else of the first name that begins
// with it; -1 when none does.
template <size_t N>
int matchName(const char* const (&names)[N], const std::string& part) {
    for (size_t i = 0; i < N; ++i)
        if (part == names[i]) return static_cast<int>(i);
    for (size_t i = 0; i < N && !part.empty(); ++i)
        if (std::strncmp(names[i], part.c_str(), part.size()) == 0) return static_cast<int>(i);
    return -1;
}

Answer language(const char*, const char*) {
    static const char* const languages[][2] = {
        {"English", "en"}, {"Spanish", "es"}, {"French", "fr"},   {"Italian", "it"}, {"Portuguese", "pt"},
        {"German", "de"},  {"Mandarin", "mdr"}, {"Chinese", "zh"}, {"Japanese", "ja"}, {"Korean", "ko"},
        {"Arabic", "ar"},  {"Hindi", "hi"},   {"Urdu", "ur"},      {"Bengali", "bn"}, {"Punjabi", "pa"},
        {"Russian", "ru"}};
    const std::string& line = rt().commandLine;
    for (const auto& entry : languages)
        if (line.find(entry[0]) != std::string::npos) return answer(entry[1]);
    return NOT_MINE;  // the plug-ins may know
}

Answer addConsoleCommand(const char*, const char* name) {
    if (!name || !*name || strnlen(name, COMMAND_NAME_MAX + 1) > COMMAND_NAME_MAX) {
        api()->Log(1, "Console_AddCommand: command name '%s' is empty or longer than %d characters.\n",
                   shown(name).c_str(), static_cast<int>(COMMAND_NAME_MAX));
        return answer(nullptr);
    }
    QueryState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const std::string& known : s.commands)
        if (known == name) return answer(nullptr);
    if (s.commands.size() >= COMMANDS_MAX) {
        api()->Log(1, "Console_AddCommand: more than %d commands; '%s' not added.\n", static_cast<int>(COMMANDS_MAX),
                   name);
        return answer(nullptr);
    }
    s.commands.push_back(name);
    return answer(nullptr);
}

Answer renderer(const char*, const char* argument) {
    if (!argument || std::strcmp(argument, "EyeMode") != 0) return answer(nullptr);
    const int32_t pass = rt().currentPass;
    return answer(pass == 1 ? "Left" : pass == 2 ? "Right" : "Mono");
}

Answer programInfo(const char*, const char* argument) {
    thread_local std::string id, features;
    if (!argument) return answer(nullptr);
    const RuntimeState& s = rt();
    if (std::strcmp(argument, "ProgramId") == 0) {
        const VozerProgramRecord* program = s.shared.program;
        if (!program) return answer("null");
        return answer(keep(id, std::string(program->id, strnlen(program->id, sizeof program->id))));
    }
    if (std::strcmp(argument, "Features") == 0) {
        const std::vector<std::string>& lists = s.boot.featureLists;
        std::string text = lists.empty() ? std::string() : lists[0];
        if (lists.size() > 1 && !lists[0].empty() && !lists[1].empty()) text += "," + lists[1];
        return answer(keep(features, text));
    }
    return answer(nullptr);
}

Answer productValue(const char*, const char* key) { return answer(key ? vz::productValue(key) : nullptr); }

Answer platformInfo(const char*, const char* key) {
    thread_local std::string minor, id, width, height;
    if (!key) return answer(nullptr);
    const PlatformFacts& f = facts();
    const RuntimeState& s = rt();
    const std::string k = key;
    if (k == "DeviceModel") return answer("PC");
    if (k == "OSMajor") return answer(f.system.osMajor.c_str());
    if (k == "OSMinor") return answer(keep(minor, f.system.osMinor));
    if (k == "VozerImp") return answer(f.system.implementation.c_str());
    if (k == "UniqueId") return answer(keep(id, f.uniqueId));
    if (k == "GPUDesc" || k == "CPUDesc") return answer("");
    if (k == "DesktopWidth") return answer(keep(width, std::to_string(s.displayInfo.desktopWidth)));
    if (k == "DesktopHeight") return answer(keep(height, std::to_string(s.displayInfo.desktopHeight)));
    const bool forced = s.boot.forceVariant && !s.boot.forcedVariant.empty();
    const std::string& variant = s.boot.forcedVariant;
    const size_t slash = variant.find('/');
    if (k == "PlatformId") {
        int platform = f.system.platformId;
        if (forced) platform = matchName(PLATFORM_NAMES, variant.substr(0, slash));
        return answer(platform >= 0 && platform < 15 ? PLATFORM_NAMES[platform] : "UNKNOWN");
    }
    if (k == "ScreenSizeId") {
        int size = SCREEN_SIZE_LARGE;
        if (forced && slash != std::string::npos) size = matchName(SCREEN_SIZE_NAMES, variant.substr(slash + 1));
        return answer(SCREEN_SIZE_NAMES[size >= 0 ? size : SCREEN_SIZE_LARGE]);
    }
    return answer(nullptr);
}

Answer date(const char* name, const char*) {
    thread_local std::string day, stamp;
    int32_t now[6];
    platform::localDateTime(now);
    char text[32];
    if (std::strcmp(name, "GetDate") == 0) {
        std::snprintf(text, sizeof text, "%d-%.2d-%.2d", now[0], now[1], now[2]);
        return answer(keep(day, text));
    }
    std::snprintf(text, sizeof text, "%d-%.2d-%.2d:%.2d-%.2d", now[0], now[1], now[2], now[3], now[4]);
    return answer(keep(stamp, text));
}

Answer hacks(const char*, const char* argument) {
    if (argument && std::strcmp(argument, "AllowAllResolutions") == 0) rt().allowAllResolutions = true;
    return answer(nullptr);
}

Answer userInterface(const char*, const char* argument) {
    if (argument && (std::strcmp(argument, "BeginKeyboardInput") == 0 || std::strcmp(argument, "EndKeyboardInput") == 0))
        api()->Popup(1, "Unimplemented.");
    return answer(nullptr);
}

Answer refreshMemoryEstimates(const char*, const char*) {
    float estimates[5] = {};
    ServiceHooks& hooks = serviceHooks();
    if (!hooks.estimateMemoryUsage) {
        api()->Log(1, "RefreshMemUsageEstimates: the resource usage report is not part of this runtime.\n");
    } else if (hooks.estimateMemoryUsage(estimates)) {
        for (int32_t i = 0; i < 5; ++i) api()->SetAxis(FIRST_MEMORY_VALUE + i, estimates[i]);
    }
    return answer(nullptr);
}

Answer listResourceUsage(const char*, const char*) {
    if (ServiceHooks& hooks = serviceHooks(); hooks.listResourceUsage) hooks.listResourceUsage();
    else api()->Log(1, "ListResourceUsage: the resource usage report is not part of this runtime.\n");
    return answer(nullptr);
}

Answer switchProgramBasePath(const char*, const char* name) {
    if (!name || std::strstr(name, "..")) {
        api()->Log(1, "SwitchProgramBasePath new path parameter invalid.");
        return answer(nullptr);
    }
    std::string folder = titlePathNameOf(name);
    rt().titlePathName = folder.empty() ? "unknown" : folder;
    fs::rebuildUserPaths();
    if (rt().boot.logging) api()->CreateDir("user://logs");
    return answer(nullptr);
}

Answer switchDataPath(const char* name, const char* folder) {
    const int target = std::strcmp(name, "SwitchUserDataPath") == 0 ? 0 : 1;
    if (folder && strnlen(folder, ROOT_MAX + 1) > ROOT_MAX) {
        api()->Log(1, "%s: the folder '%s' is longer than %d characters; nothing changed.\n", name,
                   shown(folder).c_str(), static_cast<int>(ROOT_MAX));
        return answer(nullptr);
    }
    fs::setTargetRoot(target, folder ? folder : "");
    return answer(nullptr);
}

}  // namespace

std::vector<std::string> consoleCommands() {
    QueryState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.commands;
}

void resetQueryState() {
    QueryState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.commands.clear();
}

const std::vector<Entry>& runtimeQueries() {
    static const std::vector<Entry> table = {
        {"GetLanguage", false, language},
        {"Console_AddCommand", false, addConsoleCommand},
        {"Renderer", false, renderer},
        {"ProgramInfo", false, programInfo},
        {"GetProductValue", false, productValue},
        {"PlatformInfo", false, platformInfo},
        {"GetDate", false, date},
        {"GetTimeStamp", false, date},
        {"Hacks", false, hacks},
        {"UI", false, userInterface},
        {"RefreshMemUsageEstimates", false, refreshMemoryEstimates},
        {"ListResourceUsage", false, listResourceUsage},
        {"SwitchProgramBasePath", false, switchProgramBasePath},
        {"SwitchUserDataPath", false, switchDataPath},
        {"SwitchSharedUserDataPath", false, switchDataPath},
    };
    return table;
}

}  // namespace vz::ext
