// Calls into the Program's five entries. The Program is built elsewhere and
// its faults are not the runtime's to survive: a fault inside an entry is
// logged with the entry's name and the faulting address, the player is told,
// and the run ends with PROGRAM_CRASH_EXIT_CODE instead of hanging in the
// system's crash handling. Shutdown is the exception: the resources the
// Program kept are still released and reported before the run ends.
#pragma once

#include <cstdint>

#include "vozer_program.h"

namespace vz {

// The exit code of a run ended by a fault inside the Program.
constexpr int PROGRAM_CRASH_EXIT_CODE = 3;

// Each call does nothing (and answers as an empty entry would) when the
// Program has no such entry. Main thread.
bool callProgramInit();                          // Init's answer
void callProgramUpdate(float seconds);
void callProgramRender(float seconds);
int32_t callProgramOnEvent(const VozerEvent& event);  // the event's answer
// False when Shutdown faulted: the fault has been reported, the caller
// releases what it can and ends with PROGRAM_CRASH_EXIT_CODE.
bool callProgramShutdown();

}  // namespace vz
