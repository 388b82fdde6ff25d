// Input events between the window host and the Program, and the key state
// and value tables they update.
#pragma once

#include <cstdint>

#include "vozer_program.h"

namespace vz {

// Whether something before the Program took the event (the developer
// console claims its toggle key and, while open, the keyboard).
using InputFilter = bool (*)(const VozerEvent& event);

// The one way events reach the Program: the console's filter first, then the
// Program's event entry. Returns the Program's answer (0 when it has no entry
// or the filter took the event). Main thread.
int32_t dispatchInputEvent(const VozerEvent& event);
// Put the console in front of the Program (null removes it).
void setInputFilter(InputFilter filter);

// Key and mouse events either go out at once or, with queuing on (and always
// when posted off the main thread), wait under RESOURCE_QUEUE for the next
// frame. Windows delivers its messages on the main thread: queuing is off
// unless a host that reads input elsewhere switches it on.
void setInputQueuing(bool on);
// Hand the queued events out in arrival order and empty the queue (frame start).
void deliverQueuedInputEvents();

// Key down (8) or up (9): stores 3 or 0 for codes 1..2047, then sends the event.
void postKeyEvent(int32_t kind, int32_t code);
// A character (event 1).
void postCharEvent(int32_t character);
// Mouse moved (2), wheel (4), button up (5) or down (6) for mouse 0 (the
// system pointer) or a raw-input mouse 1..10. x and y are window pixels: they
// are mapped to the Program's coordinates and stored in the mouse's block (and
// for mouse 0 in the base codes) before the event goes out. `button` is the
// button's key code, or the wheel delta.
void postMouseEvent(int32_t kind, int32_t mouse, float x, float y, int32_t button);
// A mouse event whose position is already in the Program's coordinates and
// stored by the caller (raw-input mice).
void sendMouseEvent(int32_t kind, int32_t mouse, float x, float y, int32_t button);
// Activation change (10): byte 1 when the window lost the focus. Nothing while quitting.
void postActivationEvent(bool active);
// The last position of the system pointer in window pixels (for wheel events).
void lastPointerPosition(float& x, float& y);

// Forget queued events and key and axis state (after a mode change).
void clearInputState();
// A key's state without consuming its "went down" bit (the runtime's own
// overlays read keys the Program also polls).
uint32_t peekKeyState(int32_t code);
// Zero the key state and value tables.
void clearKeyState();

}  // namespace vz
