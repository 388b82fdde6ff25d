#include <windows.h>
#include <mmsystem.h>

#include "platform/platform.h"

namespace vz::platform {

void setTimerResolution1ms() { timeBeginPeriod(1); }

uint32_t timeMs() { return timeGetTime(); }

void sleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

void localDateTime(int32_t out[6]) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    out[0] = local.wYear;
    out[1] = local.wMonth;
    out[2] = local.wDay;
    out[3] = local.wHour;
    out[4] = local.wMinute;
    out[5] = local.wSecond;
}

}  // namespace vz::platform
