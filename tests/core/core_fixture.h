// A runtime with a recording renderer and Program, for tests of the spine.
#pragma once

#include <string>
#include <vector>

#include "vozer_api.h"

namespace vz::test {

struct Recorder {
    std::vector<std::string> calls;       // "update 0.030", "render", "begin 1", "end", "init 800x600w"
    std::vector<std::string> popups;      // "1: text"
    std::vector<std::string> logs;        // "3: text"
    int rendererInitFailuresLeft = 0;     // fail this many renderer Init calls
    int rendererFailWidth = 0;            // or fail every Init of this width
    bool programInitResult = true;
};

Recorder& recorder();

// Fresh runtime state, filled table (Log/Popup captured), engine mutexes, a
// recording renderer and a recording Program bound; core initialised.
void setUpRuntime();
void tearDownRuntime();

VozerProgramRecord& testProgram();

}  // namespace vz::test
