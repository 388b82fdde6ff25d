// The end of a run.
#pragma once

namespace vz {

// Wait for workers, shut the Program down, release everything, unload the
// plug-ins and the Program, close the files and the log. Main thread, once.
// False when the Program's Shutdown faulted (everything else was still done).
bool shutdown();
// Release every texture and stop the renderer (also before each renderer start).
void shutdownRenderer();

}  // namespace vz
