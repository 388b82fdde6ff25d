#include <time.h>
#include <unistd.h>

#include "platform/platform.h"

namespace vz::platform {

void setTimerResolution1ms() {}  // the monotonic clock already has it

uint32_t timeMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void sleepMs(uint32_t milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

void localDateTime(int32_t out[6]) {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    out[0] = local.tm_year + 1900;
    out[1] = local.tm_mon + 1;
    out[2] = local.tm_mday;
    out[3] = local.tm_hour;
    out[4] = local.tm_min;
    out[5] = local.tm_sec;
}

}  // namespace vz::platform
