// Raw mouse input on Win32. The three user32 functions are looked up at run
// time, so the runtime still starts on systems without them.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace vz::platform {

namespace {

using RegisterDevicesFn = BOOL(WINAPI*)(PCRAWINPUTDEVICE, UINT, UINT);
using GetDataFn = UINT(WINAPI*)(HRAWINPUT, UINT, LPVOID, PUINT, UINT);
using GetDeviceListFn = UINT(WINAPI*)(PRAWINPUTDEVICELIST, PUINT, UINT);

constexpr UINT RAW_FAILED = static_cast<UINT>(-1);

struct RawInputApi {
    bool lookedUp = false;
    RegisterDevicesFn registerDevices = nullptr;
    GetDataFn getData = nullptr;
    GetDeviceListFn getDeviceList = nullptr;
    std::vector<BYTE> record;  // reused for every message, grown as needed
};

RawInputApi& rawApi() {
    static RawInputApi a;
    if (!a.lookedUp) {
        a.lookedUp = true;
        if (void* user32 = GetModuleHandleA("user32.dll")) {
            a.registerDevices = reinterpret_cast<RegisterDevicesFn>(findSymbol(user32, "RegisterRawInputDevices"));
            a.getData = reinterpret_cast<GetDataFn>(findSymbol(user32, "GetRawInputData"));
            a.getDeviceList = reinterpret_cast<GetDeviceListFn>(findSymbol(user32, "GetRawInputDeviceList"));
        }
    }
    return a;
}

}  // namespace

bool rawInputAvailable() {
    const RawInputApi& a = rawApi();
    return a.registerDevices && a.getData && a.getDeviceList;
}

int listRawMice(void** out, int capacity, int scanLimit) {
    const RawInputApi& a = rawApi();
    if (!a.getDeviceList) return 0;
    std::vector<RAWINPUTDEVICELIST> list;
    UINT count = 0;
    // The list may grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (a.getDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == RAW_FAILED) return 0;
        list.resize(count);
        if (count == 0) return 0;
        const UINT read = a.getDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST));
        if (read != RAW_FAILED) {
            list.resize(read);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
        list.clear();
    }
    int mice = 0;
    for (size_t i = 0; i < list.size() && static_cast<int>(i) < scanLimit && mice < capacity; ++i) {
        if (list[i].dwType == RIM_TYPEMOUSE) out[mice++] = list[i].hDevice;
    }
    return mice;
}

bool registerRawMouseInput(uint32_t& errorCode) {
    const RawInputApi& a = rawApi();
    errorCode = 0;
    if (!a.registerDevices) return false;
    RAWINPUTDEVICE device{};
    device.usUsagePage = 1;  // generic desktop
    device.usUsage = 2;      // mouse
    device.dwFlags = 0;
    device.hwndTarget = nullptr;  // the window that has the focus
    if (a.registerDevices(&device, 1, sizeof device)) return true;
    errorCode = GetLastError();
    return false;
}

bool readRawMouse(void* handle, RawMouseRecord& out) {
    RawInputApi& a = rawApi();
    if (!a.getData || !handle) return false;
    auto input = static_cast<HRAWINPUT>(handle);
    UINT size = 0;
    if (a.getData(input, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return false;
    constexpr size_t MOUSE_RECORD = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
    if (size < MOUSE_RECORD) return false;  // another device's record, or a short one
    if (a.record.size() < size) a.record.resize(size);
    const UINT read = a.getData(input, RID_INPUT, a.record.data(), &size, sizeof(RAWINPUTHEADER));
    if (read == RAW_FAILED || read < MOUSE_RECORD) return false;
    RAWINPUTHEADER header;
    std::memcpy(&header, a.record.data(), sizeof header);
    if (header.dwType != RIM_TYPEMOUSE || header.dwSize < MOUSE_RECORD) return false;
    RAWMOUSE mouse;
    std::memcpy(&mouse, a.record.data() + offsetof(RAWINPUT, data), sizeof mouse);
    out.device = header.hDevice;
    out.absolute = (mouse.usFlags & MOUSE_MOVE_ABSOLUTE) != 0;
    out.lastX = mouse.lLastX;
    out.lastY = mouse.lLastY;
    out.buttons = mouse.usButtonFlags;
    return true;
}

int32_t pointerSpeed() {
    int speed = 10;
    if (!SystemParametersInfoA(SPI_GETMOUSESPEED, 0, &speed, 0)) return 10;
    return speed < 1 ? 1 : speed > 20 ? 20 : speed;
}

}  // namespace vz::platform
