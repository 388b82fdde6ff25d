// What the Win32 window host's files share: the main window and the cursor
// shown over it.
#pragma once

#include <windows.h>

namespace vz::platform::win32 {

// The main window (ours or a host's), null when there is none.
HWND mainWindow();
// Put the cursor chosen with showCursor back over the client area (the
// class has none of its own, so the window procedure does this on WM_SETCURSOR).
void restoreCursor();

}  // namespace vz::platform::win32
