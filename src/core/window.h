// The main window as the runtime core sees it.
#pragma once

namespace vz {

// Create the main window for the requested parameters (nothing with a host window).
bool createWindow();
void destroyWindow();
// The cursors of the window host.
void loadCursors();

}  // namespace vz
