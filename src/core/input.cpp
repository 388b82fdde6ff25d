#include "core/input.h"

#include <utility>
#include <vector>

#include "api/threads.h"
#include "core/program_binding.h"
#include "state/runtime_state.h"

namespace vz {

void queueInputEvent(const VozerEvent& event) {
    EngineLock lock(MUTEX_CORE_IMP);
    rt().inputQueue.push_back(event);
}

void deliverQueuedInputEvents() {
    std::vector<VozerEvent> events;
    {
        EngineLock lock(MUTEX_CORE_IMP);
        events.swap(rt().inputQueue);
    }
    for (const VozerEvent& event : events) sendProgramEvent(event);
}

void clearInputState() {
    EngineLock lock(MUTEX_CORE_IMP);
    rt().inputQueue.clear();
    clearKeyState();
}

}  // namespace vz
