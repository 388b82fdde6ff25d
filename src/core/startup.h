// Process entry and the two-stage start-up of the runtime.
#pragma once

#include <string>

#include "vozer_program.h"

namespace vz {

// The whole run: pre-initialisation, main loop, shutdown. Returns the exit code.
int runProcess(const char* commandLine);

// Bind the Program, read the configuration, start the log, choose the mode.
// `hostWindow` is an existing window to draw into (null: the runtime makes one).
bool preInitialise(void* hostWindow);
// Window, renderer, input, sound, then the Program's Init.
bool fullInitialise();
// Start (or restart) the renderer with the requested parameters, with the
// designed retries; true once it is ready.
bool initialiseRenderer();
// Pace frames until a quit is requested, then shut down. Returns the exit code.
int mainLoop();

// Identity check: fill the developer and title path names from the Program
// record and warn about every missing identity field.
void checkProgramIdentity();
// Title path name: everything but '-', digits and letters becomes '_'.
std::string titlePathNameOf(const char* title);

// Normalise display parameters before a renderer (re)initialisation.
void normaliseDisplayParams(VozerDisplayParams& params);

}  // namespace vz
