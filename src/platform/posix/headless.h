// Controls of the development host's headless window host, for tests. The
// headless host keeps the same contract as the Windows one: messages posted
// here reach the runtime's window handler when messages are pumped, in order,
// and only while the window they were posted to still exists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vz::platform::headless {

// Post a message to the main window (`text` is copied for FilesDropped).
void postMessage(const WindowMessage& message, const std::string& text = std::string());
// The answer the handler gave to the last message pumped (true: handled).
bool lastAnswer();
// Whether the host answers for a host window (useHostWindow).
bool servesHostWindow();
// The request of the last createMainWindow.
WindowRequest lastWindowRequest();

// The cursor shown over the window (null: hidden).
void* shownCursor();

// One entry of the input device list.
struct RawDevice {
    void* handle;
    bool mouse;
};
// The input devices the host reports, in list order; raw input is available
// only after this was called. A raw-input handle on this host is the address
// of a RawMouseRecord.
void setRawDevices(const std::vector<RawDevice>& devices);
// Make registration fail with this error code (0: succeed).
void failRawRegistration(uint32_t errorCode);
void setPointerSpeed(int32_t speed);

}  // namespace vz::platform::headless
