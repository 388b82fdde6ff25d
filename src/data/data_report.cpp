#include "data/data_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/engine_api.h"

namespace vz {
namespace data {

namespace {

// Same size as the log's own format buffer: a message longer than that would
// be cut there anyway.
constexpr size_t MESSAGE_CAPACITY = 4096;

// Without the engine there is no log: messages go to standard output, one
// line each.
void writeLine(const char* text) {
    const size_t length = std::strlen(text);
    std::fputs(text, stdout);
    if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Formatted here, passed on as data: the text may hold '%' from a file.
void report(bool popup, int level, const char* format, va_list args) {
    char text[MESSAGE_CAPACITY];
    std::vsnprintf(text, sizeof text, format, args);
    const VozerEngineApi* table = api();
    if (popup && table && table->Popup) {
        table->Popup(level, "%s", text);
    } else if (!popup && table && table->Print) {
        table->Print("%s", text);
    } else {
        writeLine(text);
    }
}

}  // namespace

bool engineApiReady() {
    const VozerEngineApi* table = api();
    return table && table->Print && table->Popup && table->OpenFile && table->ReadFile &&
           table->SeekFile && table->TellFile && table->CloseFile;
}

void reportPopup(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    report(true, level, format, args);
    va_end(args);
}

void reportPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    report(false, VZ_INFO, format, args);
    va_end(args);
}

}  // namespace data
}  // namespace vz
