// The log: one in-memory list of lines for the console and, with file logging
// on, the numbered log file under user://logs. Every operation serialises on
// the engine mutex PRINT (recursive, so a line logged from inside the file
// layer while a line is being written lands in memory without deadlocking).
#include "diag/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "diag/console.h"
#include "diag/dev_overlays.h"
#include "diag/log_internal.h"
#include "platform/platform.h"

namespace vz::diag {

namespace {

struct LogState {
    std::atomic<bool> enabled{false};
    std::atomic<int32_t> minLevel{0};    // read unlocked by the level filter of Print/Log/Popup
    int32_t lineCounter = 0;
    int32_t counts[LOG_LEVEL_COUNT] = {};
    bool fileLogging = false;
    char path[LOG_PATH_BUFFER] = {};
    int32_t consoleToggleKey = 0;
    std::deque<LogLine> lines;
    // Set while a line is being appended to the file. A line raised by the
    // file layer in the meantime (same thread, PRINT is recursive) stays in
    // memory: writing it would recurse into the file layer again.
    bool writingFile = false;
    // Static buffers so that a line costs no allocation beyond its two copies.
    char message[LOG_MESSAGE_BUFFER] = {};
    char fileLine[LOG_FILE_LINE_BUFFER] = {};
};

LogState& state() {
    static LogState s;
    return s;
}

template <typename... Args>
void apiLog(int32_t level, const char* format, Args... args) {
    if (auto log = api()->Log) log(level, format, args...);
}

// vsnprintf's result as the count of characters kept in a buffer of `size`.
int32_t keptLength(int written, size_t size) {
    if (written < 0) return 0;
    return static_cast<size_t>(written) >= size ? static_cast<int32_t>(size - 1) : written;
}

// The file form of a line, into the static file buffer; returns its length.
int32_t formatFileLine(LogState& s, const LogLine& line, bool registeredName) {
    int written;
    if (registeredName) {
        written = std::snprintf(s.fileLine, sizeof s.fileLine, "%.4d: [%.2d:%.2d.%.2d] [%s]> %s", line.number,
                                line.time[3], line.time[4], line.time[5], line.threadName.c_str(), line.text.c_str());
    } else {
        written = std::snprintf(s.fileLine, sizeof s.fileLine, "%.4d: [%.2d:%.2d.%.2d] %s", line.number,
                                line.time[3], line.time[4], line.time[5], line.text.c_str());
    }
    int32_t length = keptLength(written, sizeof s.fileLine);
    if (length == 0 || s.fileLine[length - 1] != '\n') {
        // A line cut at the buffer keeps its terminator in place of the last
        // character, so the next line still starts on a line of its own.
        if (static_cast<size_t>(length) + 1 < sizeof s.fileLine) {
            s.fileLine[length++] = '\n';
            s.fileLine[length] = '\0';
        } else {
            s.fileLine[length - 1] = '\n';
        }
    }
    return length;
}

// Opened, written and closed per line, so the file is complete up to the last
// line even if the process dies. A failed open loses the line for the file
// only; it is already in memory.
void writeFileLine(LogState& s, int32_t length) {
    VozerEngineApi* table = api();
    if (!table->OpenFile || !table->WriteFile || !table->CloseFile) return;
    s.writingFile = true;
    if (VozerFile* file = table->OpenFile(s.path, "a")) {
        table->WriteFile(s.fileLine, length, file);
        table->CloseFile(file);
    }
    s.writingFile = false;
}

void addSingleLine(LogState& s, int32_t level, const char* text) {
    level = normaliseLogLevel(level);
    ++s.counts[level];
    if (level < s.minLevel.load(std::memory_order_relaxed) || !text[0]) return;

    LogLine line;
    line.level = static_cast<int16_t>(level);
    line.number = ++s.lineCounter;
    platform::localDateTime(line.time);
    line.text = text;
    bool registeredName = false;
    line.threadName = threadNameForLog(&registeredName);
    // Formatted before the line is stored and the file layer is called: a
    // line that the file layer logs meanwhile must not overwrite this one.
    const bool toFile = s.fileLogging && !s.writingFile;
    const int32_t fileLength = toFile ? formatFileLine(s, line, registeredName) : 0;
    s.lines.push_back(std::move(line));

    if (s.lines.size() > LOG_MAX_LINES) {
        // The list keeps the newest lines; "..." at the front says some are gone.
        s.lines.pop_front();
        s.lines.pop_front();
        LogLine marker;
        marker.level = 3;
        marker.number = 0;
        platform::localDateTime(marker.time);
        marker.text = "...";
        s.lines.push_front(std::move(marker));
    }
    if (toFile) writeFileLine(s, fileLength);
}

}  // namespace

void addLogLine(int32_t level, const char* text) {
    if (!text) return;
    LogState& s = state();
    EngineLock lock(MUTEX_PRINT);
    if (!s.enabled.load()) return;

    // A newline splits the text only when something follows it, so a single
    // trailing newline keeps the text one line. Pieces are copied first: the
    // caller's text may live in a buffer that a nested line reuses.
    const char* newline = std::strchr(text, '\n');
    if (!newline || !newline[1]) {
        addSingleLine(s, level, text);
        return;
    }
    std::vector<std::string> pieces;
    const char* start = text;
    for (;;) {
        const char* end = std::strchr(start, '\n');
        if (!end || !end[1]) {
            pieces.emplace_back(start);
            break;
        }
        pieces.emplace_back(start, static_cast<size_t>(end - start));
        start = end + 1;
    }
    for (const std::string& piece : pieces) {
        if (!piece.empty()) addSingleLine(s, level, piece.c_str());
    }
}

void logSummary() {
    LogState& s = state();
    if (!s.enabled.load()) return;
    int32_t errors, warnings, infos;
    {
        EngineLock lock(MUTEX_PRINT);
        errors = s.counts[2];
        warnings = s.counts[1];
        infos = s.counts[0];
    }
    if (auto print = api()->Print) {
        print("VOZER log: %d errors, %d warnings, %d infos.\n", errors, warnings, infos);
        print("%d files left open..\n", static_cast<int>(rt().openFileHandles.load()));
    }
}

void clearLogLines() {
    LogState& s = state();
    EngineLock lock(MUTEX_PRINT);
    s.lines.clear();
    s.lines.shrink_to_fit();
    s.enabled.store(false);
}

void resetDiagnostics() {
    {
        LogState& s = state();
        EngineLock lock(MUTEX_PRINT);
        s.enabled.store(false);
        s.minLevel.store(0);
        s.lineCounter = 0;
        std::memset(s.counts, 0, sizeof s.counts);
        s.fileLogging = false;
        s.path[0] = '\0';
        s.consoleToggleKey = 0;
        s.lines.clear();
        s.writingFile = false;
    }
    resetPopups();
    resetConsole();
    resetDeveloperOverlays();
}

int32_t minimumLogLevel() { return state().minLevel.load(std::memory_order_relaxed); }
bool logEnabled() { return state().enabled.load(); }

bool fileLoggingOn() {
    EngineLock lock(MUTEX_PRINT);
    return state().fileLogging;
}

std::string logFilePath() {
    EngineLock lock(MUTEX_PRINT);
    return state().path;
}

int32_t logLevelCount(int32_t level) {
    if (level < 0 || level >= LOG_LEVEL_COUNT) return 0;
    EngineLock lock(MUTEX_PRINT);
    return state().counts[level];
}

int32_t logLineCounter() {
    EngineLock lock(MUTEX_PRINT);
    return state().lineCounter;
}

std::vector<LogLine> logLinesSnapshot() {
    EngineLock lock(MUTEX_PRINT);
    return std::vector<LogLine>(state().lines.begin(), state().lines.end());
}

const std::deque<LogLine>& lockedLogLines() { return state().lines; }

int32_t consoleToggleKey() { return state().consoleToggleKey; }

namespace {

// The first free number from 0001; 9999 (overwritten) when 0001-9998 exist.
bool chooseLogFile(LogState& s) {
    VozerEngineApi* table = api();
    if (!table->GetPathEx || !table->OpenFile || !table->CloseFile) return false;
    if (table->CreateDir) {
        char folder[LOG_PATH_BUFFER];
        if (table->GetPathEx(folder, sizeof folder, VZ_PATH_USER, "logs")) table->CreateDir(folder);
    }
    int n = 1;
    for (; n < 9999; ++n) {
        if (!table->GetPathEx(s.path, sizeof s.path, VZ_PATH_USER, "logs/vozer-%.4d.log", n)) return false;
        VozerFile* existing = table->OpenFile(s.path, "rb");
        if (!existing) break;
        table->CloseFile(existing);
    }
    if (n == 9999 && !table->GetPathEx(s.path, sizeof s.path, VZ_PATH_USER, "logs/vozer-%.4d.log", n)) return false;
    return s.path[0] != '\0';
}

// Text of a fixed-size field of the Program record, which need not end in NUL.
std::string recordText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// The banner says which build and which Program wrote the file.
void writeBanner(VozerFile* file) {
    std::string title = "unknown", version, id;
    if (const VozerProgramRecord* program = rt().shared.program) {
        title = recordText(program->title, sizeof program->title);
        version = recordText(program->version, sizeof program->version);
        id = recordText(program->id, sizeof program->id);
    }
    int32_t now[6];
    platform::localDateTime(now);
    char banner[1024];
    const int written = std::snprintf(banner, sizeof banner,
                                      "VOZER log of %s %s (id '%s')\n"
                                      "VOZER core build %d, interface %d, started %.4d-%.2d-%.2d %.2d:%.2d.%.2d\n"
                                      "--------------------------------\n",
                                      title.c_str(), version.c_str(), id.c_str(), VZ_CORE_BUILD,
                                      VZ_INTERFACE_VERSION, now[0], now[1], now[2], now[3], now[4], now[5]);
    api()->WriteFile(banner, keptLength(written, sizeof banner), file);
}

}  // namespace

}  // namespace vz::diag

namespace vz::diag {

void startLogFile() {
    LogState& s = state();
    {
        EngineLock lock(MUTEX_PRINT);
        const BootSettings& boot = rt().boot;
        s.consoleToggleKey = boot.consoleToggleKey;
        s.minLevel.store(boot.verboseLevel);
        std::memset(s.counts, 0, sizeof s.counts);
        s.lineCounter = 0;
        s.path[0] = '\0';
        s.fileLogging = false;
        s.lines.clear();
        s.enabled.store(false);
        if (!boot.console) return;
    }

    bool fileFailed = false;
    if (rt().boot.logging) {
        EngineLock lock(MUTEX_PRINT);
        VozerFile* file = chooseLogFile(s) ? api()->OpenFile(s.path, "wb") : nullptr;
        if (file) {
            writeBanner(file);
            api()->CloseFile(file);
            s.fileLogging = true;
        } else {
            s.path[0] = '\0';
            fileFailed = true;
        }
    }
    // Without a file the in-memory log still starts: the console is still
    // useful, and the warning below then reaches it.
    s.enabled.store(true);
    if (fileFailed) apiLog(VZ_WARNING, "Unable to allocate file for the logs.\n");

    int32_t today[6];
    platform::localDateTime(today);
    if (auto print = api()->Print) print("Logging started on %.2d-%.2d-%.2d.", today[0], today[1], today[2]);
}

void closeLogFile() {
    logSummary();
    clearLogLines();
}

}  // namespace vz::diag

// ---------------------------------------------------------------------------
// [SECTION] Engine API: Print and Log
// ---------------------------------------------------------------------------

namespace vz::diag {
namespace {

// Print and Log: filter before formatting, then one line under PRINT.
// A negative level is below every minimum; the line keeps the normalised one.
int32_t logFormatted(int32_t level, const char* format, va_list args) {
    if (!format || level < minimumLogLevel()) return 0;
    LogState& s = state();
    EngineLock lock(MUTEX_PRINT);
    const int written = std::vsnprintf(s.message, sizeof s.message, format, args);
    addLogLine(level, s.message);
    return keptLength(written, sizeof s.message);
}

}  // namespace
}  // namespace vz::diag

namespace vz::slots {

int32_t Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int32_t logged = diag::logFormatted(VZ_INFO, format, args);
    va_end(args);
    return logged;
}

int32_t Log(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int32_t logged = diag::logFormatted(level, format, args);
    va_end(args);
    return logged;
}

}  // namespace vz::slots
