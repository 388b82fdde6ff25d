#include "state/runtime_state.h"

#include <new>

namespace vz {

namespace {
alignas(RuntimeState) unsigned char storage[sizeof(RuntimeState)];
RuntimeState* instance = nullptr;
}  // namespace

RuntimeState& rt() {
    if (!instance) instance = new (storage) RuntimeState();
    return *instance;
}

void resetRuntimeState() {
    if (instance) instance->~RuntimeState();
    instance = new (storage) RuntimeState();
}

}  // namespace vz
