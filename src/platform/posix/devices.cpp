// The development host's cursors, raw mice and DirectX: none of them exist
// here, so the headless host stands in for them. Tests set up raw mice and
// pointer speed (headless.h); VOZER_DIRECTX_VERSION ("8.1", "9.0c", "0" for
// none) makes the host report a DirectX version.
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/headless.h"

namespace vz::platform {

namespace {

struct Devices {
    char systemCursors[12] = {};  // one token per SystemCursor
    char programCursors[2] = {};  // resources 104 and 105
    void* shown = nullptr;
    bool rawAvailable = false;
    std::vector<headless::RawDevice> rawDevices;
    uint32_t registrationError = 0;
    int32_t pointerSpeed = 10;
};

Devices& devices() {
    static Devices d;
    return d;
}

}  // namespace

void* systemCursor(SystemCursor which) { return &devices().systemCursors[static_cast<int>(which)]; }

void* programCursor(int id) {
    if (id == 104 || id == 105) return &devices().programCursors[id - 104];
    return nullptr;
}

void showCursor(void* cursor) { devices().shown = cursor; }

bool rawInputAvailable() { return devices().rawAvailable; }

int listRawMice(void** out, int capacity, int scanLimit) {
    int count = 0;
    int scanned = 0;
    for (const headless::RawDevice& device : devices().rawDevices) {
        if (scanned++ >= scanLimit || count >= capacity) break;
        if (device.mouse) out[count++] = device.handle;
    }
    return count;
}

bool registerRawMouseInput(uint32_t& errorCode) {
    errorCode = devices().registrationError;
    return errorCode == 0;
}

bool readRawMouse(void* handle, RawMouseRecord& out) {
    if (!handle) return false;
    out = *static_cast<const RawMouseRecord*>(handle);
    return true;
}

int32_t pointerSpeed() { return devices().pointerSpeed; }

// The headless host answers with VOZER_DIRECTX_VERSION, after
// VOZER_DIRECTX_DELAY_MS when that is set: a slow provider to test against.
bool directXProviderIsSlow() { return !environment("VOZER_DIRECTX_DELAY_MS").empty(); }

bool directXVersionFromDiagnostics(DirectXVersion& out) {
    const int delay = std::atoi(environment("VOZER_DIRECTX_DELAY_MS").c_str());
    if (delay > 0) sleepMs(static_cast<uint32_t>(delay));
    const std::string value = environment("VOZER_DIRECTX_VERSION");
    if (value.empty()) return false;
    out = DirectXVersion{};
    char* end = nullptr;
    out.major = static_cast<int32_t>(std::strtol(value.c_str(), &end, 10));
    if (*end == '.') out.minor = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
    if (std::isalpha(static_cast<unsigned char>(*end))) out.letter = *end;
    return true;
}

bool directXVersionFromFiles(DirectXVersion&) { return false; }

namespace headless {

void* shownCursor() { return devices().shown; }

void setRawDevices(const std::vector<RawDevice>& list) {
    devices().rawDevices = list;
    devices().rawAvailable = true;
}

void failRawRegistration(uint32_t errorCode) { devices().registrationError = errorCode; }
void setPointerSpeed(int32_t speed) { devices().pointerSpeed = speed; }

}  // namespace headless
}  // namespace vz::platform
