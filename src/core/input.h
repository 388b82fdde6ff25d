// Input events between the window host and the Program.
#pragma once

#include "vozer_program.h"

namespace vz {

// Queue an event for the next frame (any thread).
void queueInputEvent(const VozerEvent& event);
// Hand the queued events to the Program in arrival order and empty the queue.
void deliverQueuedInputEvents();
// Forget queued events and key and axis state (after a mode change).
void clearInputState();
// Zero the key state and value tables.
void clearKeyState();

}  // namespace vz
