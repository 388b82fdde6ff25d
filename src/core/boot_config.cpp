// Reading the boot configuration (prog.xml, developer.xml) into the runtime
// state and the Program record, and opening the packages it lists.
#include "core/boot_config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "core/key_names.h"
#include "core/plugin_binding.h"
#include "state/runtime_state.h"
#include "data/vudozar.h"
#include "diag/popup.h"
#include "platform/platform.h"

namespace vz {

namespace {

using vudozar::Array;
using vudozar::Database;
using vudozar::Node;

constexpr const char* PLATFORM_NAMES[] = {"UNKNOWN", "WINDOWS",  "MAC",   "IOS",     "BADA",
                                          "ANDROID", "QT",       "WEBOS", "QNX",     "PSP",
                                          "PS_VITA", "LINUX",    "WINDOWS_RT", "WINDOWS_PHONE",
                                          "FLASH"};
constexpr const char* SIZE_CLASS_NAMES[] = {"SMALL", "MEDIUM", "LARGE"};
// What this build reports about itself.
constexpr int RUNNING_PLATFORM = 1;   // WINDOWS
constexpr int RUNNING_SIZE_CLASS = 2; // LARGE
constexpr size_t VARIANT_KEY_CAPACITY = 63;
constexpr size_t PACKAGE_LIST_LIMIT = 511;
constexpr int PACKAGE_ENTRY_LIMIT = 32;
constexpr size_t CONDITION_CAPACITY = 63;
// The longest frame period fps_limit may set (a limit just above -2).
constexpr double MAX_FRAME_PERIOD_MS = 10000.0;

struct AudioFormats {
    const char* music;
    const char* effects;
};

AudioFormats standardAudioFormats(int platform) {
    switch (platform) {
        case 1: case 2: case 14: return {"OGG_44100", "OGG_44100"};
        case 11: return {"OGG_44100", "WAV_22050_MONO"};
        case 3: return {"MP3_44100", "WAV_22050"};
        case 5: case 6: case 10: return {"MP3_44100", "WAV_22050_MONO"};
        case 4: case 7: case 8: case 9: case 12: case 13: return {"MP3_22050_STEREO", "WAV_22050_MONO"};
        default: return {"UNKNOWN", "UNKNOWN"};
    }
}

// The platform number of a variant name, by prefix; the longer Windows names
// are tested before "WINDOWS" so that WINDOWS_RT is not read as WINDOWS.
int platformOfVariant(const std::string& name) {
    auto startsWith = [&](const char* prefix) { return name.compare(0, std::strlen(prefix), prefix) == 0; };
    if (startsWith("WINDOWS_RT")) return 12;
    if (startsWith("WINDOWS_PHONE")) return 13;
    if (startsWith("WINDOWS")) return 1;
    for (int i = 2; i < static_cast<int>(sizeof PLATFORM_NAMES / sizeof *PLATFORM_NAMES); ++i) {
        if (startsWith(PLATFORM_NAMES[i])) return i;
    }
    return 0;
}

bool isTrue(const char* value) { return value && (value[0] == '1' || value[0] == 't'); }

// "WxH": each part a decimal number, a missing part reads as 0.
void parseSize(const char* value, int32_t& width, int32_t& height) {
    width = std::atoi(value);
    const char* x = std::strchr(value, 'x');
    height = x ? std::atoi(x + 1) : 0;
}

// Copy into a fixed identity field of the Program record, cut to fit.
void copyField(char* field, size_t size, const char* value) {
    std::memset(field, 0, size);
    std::strncpy(field, value, size - 1);
}

void appendFeatures(std::string& list, const char* features) {
    if (!list.empty()) list += ',';
    list += features;
}

void readIdentity(const Node* node, VozerProgramRecord* program) {
    if (const char* v = vudozar::GetValue(node, "name")) copyField(program->title, sizeof program->title, v);
    if (const char* v = vudozar::GetValue(node, "developer"))
        copyField(program->developerName, sizeof program->developerName, v);
    if (const char* v = vudozar::GetValue(node, "version")) copyField(program->version, sizeof program->version, v);
}

void readLocale(const Node* node) {
    const char* value = vudozar::GetValue(node, "locale");
    if (!value) return;
    std::string locale = value;
    if (locale == "auto") {
        const char* language = static_cast<const char*>(api()->CallExtension("GetLanguage", nullptr));
        if (language) {
            locale = language;
            for (char& c : locale) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    rt().boot.locale = locale;
}

void readManifest(const Node* node) {
    const char* value = vudozar::GetValue(node, "manifest");
    if (!value) return;
    std::string list = value;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string name = list.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        char path[512];
        api()->GetPathEx(path, sizeof path, VZ_PATH_RESOURCE, "%s", name.c_str());
        const Database* database = vudozar::GetDatabase(path);
        if (const Array* first = vudozar::GetArrayAt(database, 0))
            rt().boot.manifest.insert(rt().boot.manifest.begin(), first);
    }
}

void readApplication(const Node* node, VozerProgramRecord* program) {
    BootSettings& boot = rt().boot;
    if (const char* v = vudozar::GetValue(node, "program_id")) copyField(program->id, sizeof program->id, v);
    readIdentity(node, program);
    readLocale(node);
    if (const char* v = vudozar::GetValue(node, "fps_limit")) {
        // A limit of -2 or less has no period (a division by zero, or a
        // negative period that never waits): the default period stays.
        const double divisor = std::atof(v) + 2.0;
        if (divisor > 0.0 && 1000.0 / divisor <= MAX_FRAME_PERIOD_MS)
            program->display.framePeriodMs = static_cast<int32_t>(1000.0 / divisor);
        else
            api()->Log(VZ_WARNING, "fps_limit '%s' gives no frame period; keeping %d ms.\n", v,
                       program->display.framePeriodMs);
    }
    if (const char* v = vudozar::GetValue(node, "features")) {
        boot.featureLists[0] = v;
        if (listHasToken(v, "MULTITOUCH") || listHasToken(v, "MULTIMOUSE")) program->display.multimouse = 1;
        if (listHasToken(v, "AUTOSCALE")) boot.autoscale = true;
    }
    if (const char* v = vudozar::GetValue(node, "reference_resolution"))
        parseSize(v, program->display.referenceWidth, program->display.referenceHeight);
    if (const char* v = vudozar::GetValue(node, "packages")) boot.packages[0] = v;
    readManifest(node);
}

void readDeveloper(const Node* node, VozerProgramRecord* program) {
    RuntimeState& state = rt();
    BootSettings& boot = state.boot;
    if (isTrue(vudozar::GetValue(node, "developer_mode"))) {
        boot.developerMode = true;
        state.soundName = "sndmod_a.dll";
        appendFeatures(boot.featureLists[0], "DEVELOPER_MODE");
    }
    if (const char* v = vudozar::GetValue(node, "logging")) boot.logging = isTrue(v);
    if (const char* v = vudozar::GetValue(node, "logging_verbose_level")) {
        boot.verboseLevel = 0;
        static const char* const LEVELS[] = {"INFO", "WARNING", "ERROR", "SYSTEM"};
        for (int level = 0; level < 4; ++level) {
            if (std::strstr(v, LEVELS[level])) {
                boot.verboseLevel = level;
                break;
            }
        }
    }
    if (const char* v = vudozar::GetValue(node, "console")) boot.console = isTrue(v);
    if (const char* v = vudozar::GetValue(node, "features")) appendFeatures(boot.featureLists[0], v);
    if (const char* v = vudozar::GetValue(node, "console_toggle_key")) boot.consoleToggleKey = keyCodeFromName(v);
    if (const char* v = vudozar::GetValue(node, "force_variant")) {
        boot.forceVariant = true;
        boot.forcedVariant = v;
    }
    if (const char* v = vudozar::GetValue(node, "force_resolution")) {
        boot.forceResolution = true;
        parseSize(v, boot.forcedWidth, boot.forcedHeight);
        program->display.width = boot.forcedWidth;
        program->display.height = boot.forcedHeight;
        boot.deviceWidth = boot.forcedWidth;
        boot.deviceHeight = boot.forcedHeight;
    }
    if (const char* v = vudozar::GetValue(node, "force_windowed")) program->display.windowed = isTrue(v) ? 1 : 0;
}

void warnDeprecatedVariants(const Array* variants) {
    for (int i = 0; i < vudozar::GetNodeCount(variants); ++i) {
        const Node* node = vudozar::GetNodeAt(variants, i);
        if (node->id && std::strcmp(node->id, "METRO") == 0)
            diag::showPopup(VZ_WARNING, "Deprecated variant id METRO found in prog.xml. Replace it with WINDOWS_RT.");
        for (const vudozar::Pair& pair : node->pairs) {
            for (const char* key : {"program_library", "music_format", "sound_fx_format"}) {
                if (std::strcmp(pair.key, key) != 0) continue;
                char text[128];
                std::snprintf(text, sizeof text, "Deprecated parm '%s' in prog.xml. Remove it.", key);
                diag::showPopup(VZ_WARNING, text);
            }
        }
    }
}

// Pick the package of one audio kind; a deprecated key in the variant warns.
std::string audioPackage(const Node* variant, const char* key, const char* prefix, const char* standard,
                         const std::string& platformName, const char* sameText, const char* differentText) {
    const char* value = vudozar::GetValue(variant, key);
    if (!value) return std::string(prefix) + standard;
    char text[1024];
    if (std::strcmp(value, standard) == 0)
        std::snprintf(text, sizeof text, sameText, platformName.c_str(), value, standard);
    else
        std::snprintf(text, sizeof text, differentText, platformName.c_str(), value, standard, value);
    diag::showPopup(VZ_WARNING, text);
    std::string format = value;
    if (format.compare(0, 6, "@open:") == 0) format.erase(0, 6);
    return prefix + format;
}

void readVariant(const Array* variants, const std::string& variantKey, VozerProgramRecord* program) {
    RuntimeState& state = rt();
    BootSettings& boot = state.boot;
    VozerEngineApi* a = api();
    if (boot.developerMode) warnDeprecatedVariants(variants);

    const std::string platformName = boot.forceVariant ? boot.forcedVariant : PLATFORM_NAMES[RUNNING_PLATFORM];
    const Node* node = variantKey.empty() ? nullptr : vudozar::FindNode(variants, variantKey.c_str());
    if (!node) node = vudozar::FindNode(variants, platformName.c_str());
    if (!node) {
        // Fatal: the player must see why the game ends, developer mode or not.
        char text[512];
        std::snprintf(text, sizeof text,
                      "No build variant found for current platform id '%s'.\n\nUse force_variant to use another "
                      "platform for development purposes.",
                      platformName.c_str());
        diag::showPopup(VZ_ERROR, text);
        platform::exitProcess(-1);
    }
    boot.variantId = node->id ? node->id : "";
    boot.variantNode = node;

    readIdentity(node, program);
    if (const char* v = vudozar::GetValue(node, "renderer_implementation")) {
        state.rendererName = v;
        if (state.rendererName.find(".dll") == std::string::npos) state.rendererName += ".dll";
        bindRendererIfUnbound();
    }
    if (const char* v = vudozar::GetValue(node, "input_implementations")) {
        std::string name = v;
        if (name.find(".dll") == std::string::npos) name += ".dll";
        state.inputNames.assign(1, name);
    }
    if (vudozar::GetValue(node, "input_implementation"))
        a->Popup(VZ_WARNING,
                 "In prog.xml parameter input_implementation is not in use: use input_implementations instead "
                 "(note the s).");
    if (const char* v = vudozar::GetValue(node, "reference_resolution"))
        parseSize(v, program->display.referenceWidth, program->display.referenceHeight);
    readLocale(node);
    if (!boot.forceResolution) {
        if (const char* v = vudozar::GetValue(node, "resolutions")) boot.supportedResolutions = v;
        a->Log(VZ_SYSTEM, "Supported resolutions: '%s'.", boot.supportedResolutions.c_str());
    }
    if (const char* v = vudozar::GetValue(node, "features")) {
        boot.featureLists[1] = v;
        if (listHasToken(v, "MULTITOUCH") || listHasToken(v, "MULTIMOUSE")) program->display.multimouse = 1;
    }
    if (boot.forceVariant && !boot.forceResolution) program->display.windowed = 1;

    const AudioFormats standard = standardAudioFormats(platformOfVariant(platformName));
    boot.packages[3] = audioPackage(
        node, "music_format", "data-music-", standard.music, platformName,
        "prog.xml:%s defines deprecated 'music_format' parameter '%s'. Just remove it.\n\nThis platform always "
        "uses music format '%s'.\n\nSee VOZER/docs/audio-formats-per-platform.txt for more info.",
        "prog.xml:%s defines deprecated 'music_format' parameter '%s' but the value differs from platform "
        "standard ('%s'). To fix the issue:\n1) Remove 'music_format' from prog.xml for this variant, and\n2) "
        "Add data-music-%s to addon_packages.\n\nSee VOZER/docs/audio-formats-per-platform.txt for more info.");
    boot.packages[2] = audioPackage(
        node, "sound_fx_format", "data-sfx-", standard.effects, platformName,
        "prog.xml:%s defines deprecated 'sound_fx_format' parameter '%s'. Just remove it.\n\nThis platform "
        "always uses sound effect format '%s'.\n\nSee VOZER/docs/audio-formats-per-platform.txt for more info.",
        "prog.xml:%s defines deprecated 'sound_fx_format' parameter '%s' but the value differs from platform "
        "standard ('%s'). To fix the issue:\n1) Remove 'sound_fx_format' from prog.xml for this variant, "
        "and\n2) Add data-sfx-%s to addon_packages.\n\nSee VOZER/docs/audio-formats-per-platform.txt for more "
        "info.");

    if (const char* v = vudozar::GetValue(node, "addon_packages")) boot.packages[1] = v;
    if (const char* v = vudozar::GetValue(node, "sound_implementation")) {
        state.soundName = v;
        if (state.soundName.find(".dll") == std::string::npos) state.soundName += ".dll";
    }
    readManifest(node);
}

// "res" conditions: an operator, then WxH with "*" for any.
bool resConditionHolds(const char* text, int width, int height) {
    enum class Op { Equal, AtLeast, AtMost } op = Op::Equal;
    const char* rest = text + 3;
    if (std::strncmp(rest, "==", 2) == 0) {
        rest += 2;
    } else if (std::strncmp(rest, ">=", 2) == 0) {
        op = Op::AtLeast;
        rest += 2;
    } else if (std::strncmp(rest, "<=", 2) == 0) {
        op = Op::AtMost;
        rest += 2;
    } else if (*rest == '>' || *rest == '<') {
        api()->Log(VZ_WARNING, "prog.xml: res comparison needs to be ==, >=, or <=. '%s' is not supported.", text);
        op = *rest == '>' ? Op::AtLeast : Op::AtMost;
        rest += 1;
    } else if (*rest == '=') {
        rest += 1;
    }
    auto partHolds = [op](const char* part, int actual) {
        if (*part == '*') return true;
        const int wanted = std::atoi(part);
        switch (op) {
            case Op::AtLeast: return actual >= wanted;
            case Op::AtMost: return actual <= wanted;
            default: return actual == wanted;
        }
    };
    const char* x = std::strchr(rest, 'x');
    return partHolds(rest, width) && partHolds(x ? x + 1 : "", height);
}

void openPackageList(const std::string& list, vz_bool priority) {
    if (list.empty() || list.size() > PACKAGE_LIST_LIMIT) return;
    const VozerProgramRecord* program = rt().shared.program;
    const int width = program ? program->display.width : 0;
    const int height = program ? program->display.height : 0;
    VozerEngineApi* a = api();
    size_t start = 0;
    for (int entries = 0; entries < PACKAGE_ENTRY_LIMIT && start < list.size(); ++entries) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        start = end + 1;
        if (!entry.empty() && entry[0] == '@') {
            const size_t colon = entry.find(':');
            if (colon == std::string::npos) continue;
            const std::string condition = entry.substr(1, std::min(colon - 1, CONDITION_CAPACITY));
            if (!packageConditionHolds(condition.c_str(), width, height)) continue;
            entry.erase(0, colon + 1);
        }
        if (entry.size() <= 1) continue;
        char path[512];
        a->GetPathEx(path, sizeof path, VZ_PATH_RESOURCE, "%s", entry.c_str());
        a->AddSearchPath(path, priority);
    }
}

}  // namespace

bool packageConditionHolds(const char* condition, int width, int height) {
    if (std::strncmp(condition, "resolution", 10) == 0) {
        const char* size = condition + 10;
        if (*size == '=') ++size;
        int32_t w = 0, h = 0;
        parseSize(size, w, h);
        return (w == width && h == height) || (w == height && h == width);
    }
    if (std::strncmp(condition, "res", 3) == 0) return resConditionHolds(condition, width, height);
    if (std::strncmp(condition, "feature=", 8) == 0) return hasFeature(condition + 8);
    if (std::strncmp(condition, "open", 4) == 0) return true;
    return false;
}

bool applyBootConfiguration(const Database* prog, const Database* developer) {
    RuntimeState& state = rt();
    BootSettings& boot = state.boot;
    VozerProgramRecord* program = state.shared.program;
    if (!program || !prog) return false;
    boot.featureLists.assign(2, std::string());

    std::string variantKey = std::string(PLATFORM_NAMES[RUNNING_PLATFORM]) + "/" + SIZE_CLASS_NAMES[RUNNING_SIZE_CLASS];
    variantKey.resize(std::min(variantKey.size(), VARIANT_KEY_CAPACITY));

    if (const Array* parameters = vudozar::FindArray(prog, "PARAMETERS")) {
        const Node* application = vudozar::FindNode(parameters, "APPLICATION");
        boot.applicationNode = application;
        if (application) readApplication(application, program);
        const Node* developerNode =
            vudozar::FindNode(vudozar::FindArray(developer, "PARAMETERS"), "DEVELOPER");
        if (!developerNode) developerNode = vudozar::FindNode(parameters, "DEVELOPER");
        if (developerNode) readDeveloper(developerNode, program);
        if (boot.forceVariant) variantKey.clear();
    }
    if (const Array* variants = vudozar::FindArray(prog, "VARIANTS")) readVariant(variants, variantKey, program);

    if (boot.developerMode) {
        const Node* developerNode = vudozar::FindNode(vudozar::FindArray(developer, "PARAMETERS"), "DEVELOPER");
        if (!developerNode) developerNode = vudozar::FindNode(vudozar::FindArray(prog, "PARAMETERS"), "DEVELOPER");
        if (const char* v = vudozar::GetValue(developerNode, "developer_packages")) boot.packages[4] = v;
    }
    return true;
}

bool readBootConfiguration() {
    RuntimeState& state = rt();
    state.rendererName = "gfxmod_d3d8.dll";
    state.soundName = "sndmod_b.dll";
    state.boot.byteOrder = 1234;
    if (!state.shared.program) return false;

    VozerEngineApi* a = api();
    VozerFile* file = a->OpenFile("res://prog.xml", "rb");
    if (!file) {
        diag::showPopup(VZ_ERROR, "Cannot find prog.xml. It should be located in res://.");
        return false;
    }
    a->CloseFile(file);
    const Database* prog = vudozar::GetDatabase("res://prog.xml");
    if (!prog) return false;

    const Database* developer = nullptr;
    if (VozerFile* developerFile = a->OpenFile("res://developer.xml", "rb")) {
        a->CloseFile(developerFile);
        developer = vudozar::GetDatabase("res://developer.xml");
    }
    return applyBootConfiguration(prog, developer);
}

void openResourcePackages() {
    const BootSettings& boot = rt().boot;
    for (int i = 0; i < 4; ++i) openPackageList(boot.packages[i], 1);
    openPackageList(boot.packages[4], 0);
}

const char* productValue(const char* key) {
    const BootSettings& boot = rt().boot;
    if (const char* value = vudozar::GetValue(boot.variantNode, key)) return value;
    return vudozar::GetValue(boot.applicationNode, key);
}

}  // namespace vz
