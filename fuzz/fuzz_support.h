// What every fuzz target shares: messages are formatted (that is part of
// what runs) but go nowhere, and a broken promise of the code under test
// stops the run so that the fuzzer keeps the input.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "api/engine_api.h"

namespace vz::fuzz {

inline int32_t VZ_CDECL quietPrint(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    return 0;
}

inline int32_t VZ_CDECL quietLevel(int32_t, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    return 0;
}

inline void silenceMessages() {
    VozerEngineApi* table = vz::api();
    table->Print = &quietPrint;
    table->Log = &quietLevel;
    table->Popup = &quietLevel;
}

inline void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace vz::fuzz
