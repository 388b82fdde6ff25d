#include "core/key_names.h"

#include <cstring>

namespace vz {

namespace {

struct KeyName {
    const char* name;
    int32_t code;
};

// Searched in this order; the first exact match wins.
constexpr KeyName KEY_NAMES[] = {
    {"BACK", 8},           {"BACKSPACE", 8},      {"TAB", 9},           {"CLEAR", 12},
    {"RETURN", 13},        {"SHIFT", 16},         {"CONTROL", 17},      {"ALT", 18},
    {"ESCAPE", 27},        {"SPACE", 32},         {"PAGEUP", 33},       {"PAGEDOWN", 34},
    {"END", 35},           {"HOME", 36},          {"LEFT", 37},         {"UP", 38},
    {"RIGHT", 39},         {"DOWN", 40},          {"SELECT", 41},       {"PRINT", 42},
    {"EXECUTE", 43},       {"INSERT", 45},        {"DELETE", 46},       {"HELP", 47},
    {"MENU", 300},         {"MOUSE_X", 504},      {"MOUSE_Y", 505},     {"MOUSE_Z", 506},
    {"MOUSE_WHEEL", 507},  {"MOUSE_BUTTON_0", 510}, {"MOUSE_BUTTON_LEFT", 510},
    {"MOUSE_BUTTON_1", 511}, {"MOUSE_BUTTON_RIGHT", 511}, {"MOUSE_BUTTON_2", 512},
    {"MOUSE_BUTTON_3", 513}, {"MOUSE_BUTTON_4", 514}, {"MOUSE_BUTTON_5", 515},
    {"MOUSE_BUTTON_6", 516}, {"MOUSE_BUTTON_7", 517}, {"ACCELEROMETER_X", 1610},
    {"ACCELEROMETER_Y", 1611}, {"ACCELEROMETER_Z", 1612}, {"VOLUME_UP", 1632},
    {"VOLUME_DOWN", 1633},
};

}  // namespace

int32_t keyCodeFromName(const char* name) {
    if (!name) return 0;
    for (const KeyName& key : KEY_NAMES) {
        if (std::strcmp(key.name, name) == 0) return key.code;
    }
    if (name[0] && !name[1]) {
        const char c = name[0];
        if (c >= '0' && c <= '9') return c;
        if (c >= 'A' && c <= 'Z') return c;
        if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    }
    return 0;
}

}  // namespace vz
