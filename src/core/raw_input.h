// Raw-input mice: with the MULTIMOUSE setting every physical mouse is told
// apart. Mouse n (1..10, in the system's device-list order) moves a pointer of
// its own over the Program's screen and has its own block of key codes
// (VZ_MOUSE_CODE(n, ...) in vozer_keys.h).
#pragma once

namespace vz {

// Look the raw-input functions up and register for mouse input. Later calls
// succeed at once; false when the system has no raw input or refuses it.
bool registerRawMice();
// Forget the devices and register again, so that mice plugged in since are
// seen (the extension function "RawInput" with "Refresh").
bool refreshRawMice();
// Number of raw mice found at the last registration.
int rawMouseCount();
// One raw-input message: movement and button transitions of a known mouse go
// to its block and to the Program as events 2, 6 and 5. Records of other
// devices, unknown mice and unreadable records are ignored. Main thread.
void handleRawInput(void* handle);
// Forget the registration and the pointer positions (tests, shutdown).
void resetRawMice();

}  // namespace vz
