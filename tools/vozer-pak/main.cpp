// vozer-pak: build, list and unpack the engine's pak archives.
//
//   vozer-pak create <folder> <file.pak>   every file below the folder, sorted by name
//   vozer-pak list <file.pak>              offset, size and name of every entry
//   vozer-pak extract <file.pak> <folder>  unpack; names that would leave the folder are refused
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "fs/pak_tool.h"

namespace {

// The pak reader reports through the engine API; here that is the console.
int32_t printToStderr(int32_t level, const char* format, va_list args) {
    std::fprintf(stderr, "vozer-pak: %s", level >= VZ_WARNING ? "warning: " : "");
    int n = std::vfprintf(stderr, format, args);
    if (format[0] && format[std::strlen(format) - 1] != '\n') std::fputc('\n', stderr);
    return n;
}
int32_t toolPrint(const char*, ...) { return 0; }
int32_t toolLog(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t n = printToStderr(level, format, args);
    va_end(args);
    return n;
}
int32_t toolPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t n = printToStderr(level < VZ_WARNING ? VZ_WARNING : level, format, args);
    va_end(args);
    return n;
}

int usage() {
    std::fprintf(stderr,
                 "usage: vozer-pak create <folder> <file.pak>\n"
                 "       vozer-pak list <file.pak>\n"
                 "       vozer-pak extract <file.pak> <folder>\n"
                 "A pak named ui.pak beside the game serves every res://ui/... file.\n");
    return 2;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "vozer-pak: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    vz::fillEngineApi();
    vz::api()->Print = &toolPrint;
    vz::api()->Log = &toolLog;
    vz::api()->Popup = &toolPopup;

    if (argc < 2) return usage();
    std::string command = argv[1];
    std::string why;
    if (command == "create" && argc == 4) {
        std::vector<vz::fs::PakInput> inputs;
        if (!vz::fs::collectFolder(argv[2], inputs, why)) return fail(why);
        if (!vz::fs::writePakFile(argv[3], inputs, why)) return fail(why);
        std::printf("%s: %zu files\n", argv[3], inputs.size());
        return 0;
    }
    if (command == "list" && argc == 3) {
        std::vector<vz::fs::PakEntry> entries;
        if (!vz::fs::readPakFile(argv[2], entries, why)) return fail(why);
        for (const auto& e : entries) std::printf("%10u %10u  %s\n", e.offset, e.size, e.name.c_str());
        return 0;
    }
    if (command == "extract" && argc == 4) {
        std::vector<std::string> refused;
        if (!vz::fs::extractPakFile(argv[2], argv[3], refused, why)) return fail(why);
        for (const auto& name : refused)
            std::fprintf(stderr, "vozer-pak: refused '%s': it would land outside '%s'\n", name.c_str(), argv[3]);
        return refused.empty() ? 0 : 1;
    }
    return usage();
}
