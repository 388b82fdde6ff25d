#include <windows.h>

#include "platform/platform.h"

namespace vz::platform {

void* loadLibrary(const char* path) {
    if (!path || !*path) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<void*>(LoadLibraryA(path));
}

void* findSymbol(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

uint32_t lastErrorCode() { return GetLastError(); }

}  // namespace vz::platform
