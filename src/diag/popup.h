// Message boxes raised by the runtime and the Program.
#pragma once

namespace vz::diag {

// Show a message box at `level` now, on the calling thread (the caption and
// icon follow the level). Returns the box's answer.
int showPopup(int level, const char* text);
// Show the popups queued by other threads, in order, and empty the queue.
// Main thread, between frames.
void showQueuedPopups();

}  // namespace vz::diag
