// Message boxes raised by the runtime and the Program.
#pragma once

namespace vz::diag {

// Show a message box at `level` now, on the calling thread (the caption and
// icon follow the level). Returns the box's answer.
int showPopup(int level, const char* text);
// As showPopup, but the box is always shown on the calling thread and waited
// for, even with NON_BLOCKING_POPUPS: for messages after which the run ends.
int showPopupAndWait(int level, const char* text);
// Show the popups queued by other threads, in order, and empty the queue.
// Main thread, between frames.
void showQueuedPopups();

}  // namespace vz::diag
