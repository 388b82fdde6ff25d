// The key state and value tables the Program polls: one 32-bit state and one
// float per key code. For keys and buttons (codes below 800) bit 1 means held
// down and bit 0 "went down since the Program last asked".
#include <cstring>

#include "api/engine_api.h"
#include "core/input.h"

namespace vz {

namespace {

constexpr int32_t KEY_TABLE_SIZE = 2048;
constexpr int32_t FIRST_ANALOGUE_CODE = 800;

struct KeyTables {
    uint32_t states[KEY_TABLE_SIZE];
    float values[KEY_TABLE_SIZE];
};

KeyTables& tables() {
    static KeyTables t{};
    return t;
}

bool inRange(int32_t key) { return key >= 0 && key < KEY_TABLE_SIZE; }

}  // namespace

void clearKeyState() { std::memset(&tables(), 0, sizeof(KeyTables)); }

namespace slots {

// Reading a key consumes its "went down" bit, so a press is seen once.
uint32_t GetKeyState(int32_t key) {
    if (!inRange(key)) return 0;
    const uint32_t state = tables().states[key];
    if (key < FIRST_ANALOGUE_CODE) tables().states[key] = state & ~1u;
    return state;
}

void SetKeyState(int32_t key, uint32_t value) {
    if (inRange(key)) tables().states[key] = value;
}

float GetAxis(int32_t index) { return inRange(index) ? tables().values[index] : 0.0f; }

void SetAxis(int32_t index, float value) {
    if (inRange(index)) tables().values[index] = value;
}

}  // namespace slots
}  // namespace vz
