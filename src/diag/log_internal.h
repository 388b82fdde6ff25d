// The log's state and line operation, for the popups, the developer console
// and the runtime core. The Program reaches the log only through the engine
// API's Print, Log and Popup.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vz::diag {

constexpr int32_t LOG_LEVEL_COUNT = 8;
constexpr size_t LOG_MAX_LINES = 8192;
constexpr size_t LOG_MESSAGE_BUFFER = 4096;   // Print/Log/Popup text, cut at 4095 characters
constexpr size_t LOG_FILE_LINE_BUFFER = 1024; // one file write, cut at 1023 characters
constexpr size_t LOG_PATH_BUFFER = 260;

struct LogLine {
    int16_t level = 0;            // normalised, 0..7
    int32_t number = 0;           // 1 for the first line; 0 for the overflow marker
    int32_t time[6] = {};         // local year, month, day, hour, minute, second
    std::string text;
    std::string threadName;       // empty for the overflow marker
};

// A level outside 0..7 counts as ERROR.
inline int32_t normaliseLogLevel(int32_t level) { return (level < 0 || level > 7) ? 2 : level; }

// The line operation: splits multi-line text, counts the level, filters, keeps
// the line in memory and appends it to the log file. Any thread; takes PRINT.
void addLogLine(int32_t level, const char* text);
// "VOZER log: ..." and the open-file count, at shutdown.
void logSummary();
// Free every line and stop the log (shutdown).
void clearLogLines();

// Put the log and the popup bookkeeping back to their state at program start
// (start-up of a fresh run; tests).
void resetDiagnostics();

// Lowest level that is logged (from the boot settings when the log started).
int32_t minimumLogLevel();
bool logEnabled();
bool fileLoggingOn();
// The log file's virtual path ("" when there is none).
std::string logFilePath();
// Lines counted at a normalised level since the log started; 0 outside 0..7.
int32_t logLevelCount(int32_t level);
// Lines actually added since the log started.
int32_t logLineCounter();
// A copy of the in-memory lines, oldest first (takes PRINT).
std::vector<LogLine> logLinesSnapshot();
// The in-memory lines themselves, oldest first, for a reader that holds PRINT
// for as long as it looks at them (the console reads the few it shows without
// copying the rest). Numbers run without gaps from the first line on; an
// overflow marker (number 0) may stand before them.
const std::deque<LogLine>& lockedLogLines();
// The console's toggle key, copied from the boot settings when the log started.
int32_t consoleToggleKey();

// Popup bookkeeping (popup.cpp).
void resetPopups();

}  // namespace vz::diag
