// The main window as the runtime core sees it: creation, the runtime's side
// of its window procedure, activation and the named cursors.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vz {

// Create the main window for the requested parameters; with a host window
// only start serving its messages. False when the system refused.
bool createWindow();
// Destroy the main window (a host window is only forgotten).
void destroyWindow();
// The runtime's answer to one message of the main window (true: handled).
bool handleWindowMessage(const platform::WindowMessage& message);
// The window gained or lost the focus: tell the Program, the renderer and the
// input libraries, and release every key (the key-ups go to another window).
void setWindowActive(bool active);

// Fill the table of named cursors (once; SetCursor also fills it on demand).
void loadCursors();
// The name SetCursor selected last ("ARROW" at first, "NULL" when hidden).
std::string selectedCursorName();

}  // namespace vz
