#include "tool_api.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz::tool {

namespace {

const char* name = "vozer";
bool verbose = false;
bool popupRaised = false;

int32_t report(int32_t level, const char* format, va_list args) {
    char text[4096];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    size_t length = std::strlen(text);
    while (length && text[length - 1] == '\n') text[--length] = '\0';
    if (!length) return 0;
    std::fprintf(stderr, "%s: %s%s\n", name, level >= VZ_WARNING ? "warning: " : "", text);
    return static_cast<int32_t>(length);
}
int32_t VZ_CDECL toolPrint(const char* format, ...) {
    if (!verbose) return 0;
    va_list args;
    va_start(args, format);
    const int32_t n = report(0, format, args);
    va_end(args);
    return n;
}
int32_t VZ_CDECL toolLog(int32_t level, const char* format, ...) {
    if (level < VZ_WARNING && !verbose) return 0;
    va_list args;
    va_start(args, format);
    const int32_t n = report(level, format, args);
    va_end(args);
    return n;
}
int32_t VZ_CDECL toolPopup(int32_t level, const char* format, ...) {
    popupRaised = true;
    va_list args;
    va_start(args, format);
    const int32_t n = report(level < VZ_WARNING ? VZ_WARNING : level, format, args);
    va_end(args);
    return n;
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::FILE* stream(VozerFile* file) { return reinterpret_cast<std::FILE*>(file); }

VozerFile* VZ_CDECL toolOpenFile(const char* fileName, const char* mode) {
    if (!fileName || !mode) return nullptr;
    const bool writing = mode[0] == 'w' || mode[0] == 'a';
    const char* binaryMode = mode[0] == 'w' ? "wb" : mode[0] == 'a' ? "ab" : "rb";
    std::FILE* file = std::fopen(fileName, binaryMode);
    if (!file && !writing && !isAbsolute(fileName))
        for (const std::string& folder : searchFolders())
            if ((file = std::fopen((folder + "/" + fileName).c_str(), binaryMode)) != nullptr) break;
    return reinterpret_cast<VozerFile*>(file);
}
void VZ_CDECL toolCloseFile(VozerFile* file) {
    if (file) std::fclose(stream(file));
}
int32_t VZ_CDECL toolReadFile(void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(bytes), stream(file)));
}
int32_t VZ_CDECL toolWriteFile(const void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(bytes), stream(file)));
}
vz_bool VZ_CDECL toolSeekFile(VozerFile* file, int32_t offset, int32_t origin) {
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    return file && std::fseek(stream(file), offset, whence) == 0 ? 1 : 0;
}
int32_t VZ_CDECL toolTellFile(VozerFile* file) { return file ? static_cast<int32_t>(std::ftell(stream(file))) : 0; }
int32_t VZ_CDECL toolReadFileByte(VozerFile* file) {
    const int c = file ? std::fgetc(stream(file)) : EOF;
    return c == EOF ? 0 : c;
}

}  // namespace

void installToolApi(const char* toolName) {
    name = toolName;
    fillEngineApi();
    VozerEngineApi* a = api();
    a->Print = &toolPrint;
    a->Log = &toolLog;
    a->Popup = &toolPopup;
    a->OpenFile = &toolOpenFile;
    a->CloseFile = &toolCloseFile;
    a->ReadFile = &toolReadFile;
    a->WriteFile = &toolWriteFile;
    a->SeekFile = a->SeekFile40 = &toolSeekFile;
    a->TellFile = a->TellFile41 = &toolTellFile;
    a->ReadFileByte = &toolReadFileByte;
    rt().pixelByteOrder = 0;
}

void setVerbose(bool on) { verbose = on; }

std::vector<std::string>& searchFolders() {
    static std::vector<std::string> folders;
    return folders;
}

bool failed() { return popupRaised; }
void clearFailed() { popupRaised = false; }

}  // namespace vz::tool
