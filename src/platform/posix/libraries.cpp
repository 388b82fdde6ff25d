// Shared libraries on the development host. Programs and plug-ins keep their
// Windows names in configuration files; "x.dll" is loaded as "x.so". A bare
// name is looked up beside the executable first, as Windows does.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/platform.h"

namespace vz::platform {

namespace {

thread_local uint32_t lastError = 0;

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    path[length] = '\0';
    std::string folder(path);
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

std::string hostLibraryName(const char* path) {
    std::string name(path);
    const std::string dll = ".dll";
    if (name.size() >= dll.size() && name.compare(name.size() - dll.size(), dll.size(), dll) == 0)
        name.replace(name.size() - dll.size(), dll.size(), ".so");
    return name;
}

}  // namespace

void* loadLibrary(const char* path) {
    if (!path || !*path) {
        lastError = ENOENT;
        return nullptr;
    }
    std::string name = hostLibraryName(path);
    if (name.find('/') == std::string::npos) name = executableFolder() + "/" + name;
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    lastError = library ? 0 : ENOENT;
    return library;
}

void* findSymbol(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return dlsym(library, name);
}

void freeLibrary(void* library) {
    if (library) dlclose(library);
}

uint32_t lastErrorCode() { return lastError; }

}  // namespace vz::platform
