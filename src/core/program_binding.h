// Binding of the Program library (prog.dll) and calls into its entries.
#pragma once

#include "vozer_program.h"

namespace vz {

// Load "prog.dll" and obtain its record. A missing library ends the process
// (exit code 1) after telling the player; a bad one returns null.
VozerProgramRecord* bindProgram();
// Forget the Program's record and unload its library (unless `unload` is
// false: a worker thread may still be running the Program's code).
void unbindProgram(bool unload = true);
// The built-in Program put in place of one with the wrong interface version.
VozerProgramRecord* fallbackProgram();

// Send an event when the Program has an event entry; 0 otherwise. A fault
// inside the entry ends the run (program_entries.h).
int32_t sendProgramEvent(int32_t type, int32_t word1 = 0, int32_t word2 = 0);
int32_t sendProgramEvent(const VozerEvent& event);

}  // namespace vz
