// The key state and value tables the Program polls: one 32-bit state and one
// float per key code. For keys and buttons (codes below 800) bit 1 means held
// down and bit 0 "went down since the Program last asked".
//
// The window host writes the tables on the main thread while the Program may
// read them on any thread without a lock, so every entry is a lone atomic
// word: reading a key clears its bit 0 in the same step, and a key-up written
// meanwhile is never overwritten by the reader's "held" value.
#include <atomic>

#include "api/engine_api.h"
#include "core/input.h"
#include "vozer_keys.h"

namespace vz {

namespace {

struct KeyTables {
    std::atomic<uint32_t> states[VZ_KEY_TABLE_SIZE];
    std::atomic<float> values[VZ_KEY_TABLE_SIZE];
};

KeyTables& tables() {
    static KeyTables t{};
    return t;
}

bool inRange(int32_t key) { return key >= 0 && key < VZ_KEY_TABLE_SIZE; }

}  // namespace

void clearKeyState() {
    KeyTables& t = tables();
    for (int32_t i = 0; i < VZ_KEY_TABLE_SIZE; ++i) {
        t.states[i].store(0, std::memory_order_relaxed);
        t.values[i].store(0.0f, std::memory_order_relaxed);
    }
}

uint32_t peekKeyState(int32_t key) {
    return inRange(key) ? tables().states[key].load(std::memory_order_relaxed) : 0;
}

namespace slots {

// Reading a key consumes its "went down" bit, so a press is seen once.
uint32_t GetKeyState(int32_t key) {
    if (!inRange(key)) return 0;
    if (key >= VZ_FIRST_VALUE_CODE) return tables().states[key].load(std::memory_order_relaxed);
    return tables().states[key].fetch_and(~VZ_KEY_WENT_DOWN, std::memory_order_relaxed);
}

void SetKeyState(int32_t key, uint32_t value) {
    if (inRange(key)) tables().states[key].store(value, std::memory_order_relaxed);
}

float GetAxis(int32_t index) {
    return inRange(index) ? tables().values[index].load(std::memory_order_relaxed) : 0.0f;
}

void SetAxis(int32_t index, float value) {
    if (inRange(index)) tables().values[index].store(value, std::memory_order_relaxed);
}

}  // namespace slots
}  // namespace vz
