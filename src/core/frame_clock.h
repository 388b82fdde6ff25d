// The clock the Program sees: the multimedia timer, or, with the automation
// switch VOZER_FIXED_FRAME_MS=N, a clock that every frame moves on by exactly
// N ms whatever the wall time did, so that a capture after K frames is the
// same picture on a fast machine, a slow one and an emulated one.
#pragma once

#include <cstdint>

namespace vz {

// Reads the switch; at start-up, before the Program's Init. A value that is
// not a whole number of milliseconds from 1 to FIXED_FRAME_MS_MAX is
// reported in the log and ignored.
void startFrameClock();

// What the frame after `wallDeltaMs` of wall time is handed: the wall delta,
// or the fixed step (the fixed clock then moves on by it).
int32_t nextFrameDelta(int32_t wallDeltaMs);

// The frame replaces longer steps by 30 ms, which a fixed step must not meet.
constexpr int32_t FIXED_FRAME_MS_MAX = 200;

}  // namespace vz
