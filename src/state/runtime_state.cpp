#include "state/runtime_state.h"

#include <new>

namespace vz {

namespace {
alignas(RuntimeState) unsigned char storage[sizeof(RuntimeState)];
}  // namespace

namespace detail {
RuntimeState* runtimeRecord = nullptr;

RuntimeState& createRuntimeRecord() {
    if (!runtimeRecord) runtimeRecord = new (storage) RuntimeState();
    return *runtimeRecord;
}
}  // namespace detail

void resetRuntimeState() {
    if (detail::runtimeRecord) detail::runtimeRecord->~RuntimeState();
    detail::runtimeRecord = new (storage) RuntimeState();
}

}  // namespace vz
