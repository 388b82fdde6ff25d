// Message plumbing shared by the XML reader and Vudozar.
//
// Both are used before the engine API table exists (the boot configuration is
// read early in start-up), so their messages fall back to standard output when
// there is no table to send them through.
#pragma once

#include <cstdarg>

namespace vz {
namespace data {

// True once the engine API table can carry messages and file requests.
bool engineApiReady();

// Popup(level, ...) through the engine API table, or standard output without it.
void reportPopup(int level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Print(...) through the engine API table, or standard output without it.
void reportPrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace data
}  // namespace vz
