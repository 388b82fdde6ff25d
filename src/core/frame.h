// The frame: input, update, drawing passes, present, and the housekeeping
// between frames.
#pragma once

#include <cstdint>

namespace vz {

// ZTI_Frame: one paced frame with the elapsed milliseconds. Main thread only.
void runFrame(int32_t deltaMs);
// Clamp a frame's time step: above 200 ms becomes 30, below 0 becomes 1.
int32_t clampFrameDelta(int32_t deltaMs);
// Apply a new resolution or window mode between frames.
void reinitialise();

}  // namespace vz
