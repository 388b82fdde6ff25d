// Folders and files on the development host. There is no all-users data
// folder here, so one per-installation folder stands for both application-data
// targets; tests and CI point it (and the resource folder) into a temporary
// directory through the environment.
#include "platform/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>

namespace vz::platform {

namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home ? std::string(home) : std::string();
}

// mkdir -p for the folders we hand out: the system would create them on Win32.
void createAll(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') createDirectory(path.substr(0, i).c_str(), false);
    }
}

std::string dataFolder() {
    const char* root = std::getenv("VOZER_USER_ROOT");
    if (root && *root) return withoutTrailingSlash(root);
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return withoutTrailingSlash(xdg) + "/vozer";
    std::string home = homeFolder();
    if (home.empty()) return std::string();
    return withoutTrailingSlash(home) + "/.local/share/vozer";
}

}  // namespace

std::string systemFolder(SystemFolder which) {
    std::string path;
    switch (which) {
    case SystemFolder::UserAppData:
    case SystemFolder::SharedAppData: path = dataFolder(); break;
    case SystemFolder::Documents: {
        const char* docs = std::getenv("XDG_DOCUMENTS_DIR");
        if (docs && *docs) path = withoutTrailingSlash(docs);
        else if (!homeFolder().empty()) path = withoutTrailingSlash(homeFolder()) + "/Documents";
        break;
    }
    case SystemFolder::Desktop: {
        const char* desk = std::getenv("XDG_DESKTOP_DIR");
        if (desk && *desk) path = withoutTrailingSlash(desk);
        else if (!homeFolder().empty()) path = withoutTrailingSlash(homeFolder()) + "/Desktop";
        break;
    }
    }
    if (!path.empty()) createAll(path);
    return path;
}

std::string programFolder() {
    const char* res = std::getenv("VOZER_RES_ROOT");
    if (res && *res) return withoutTrailingSlash(res);
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return std::string();
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

bool createDirectory(const char* path, bool /*everyoneMayWrite*/) {
    if (!path || !*path) return false;
    // Shared folders get their sharing from the umask and the folder's owner here.
    if (::mkdir(path, 0777) == 0) return true;
    return isDirectory(path);
}

bool deleteFile(const char* path) {
    if (!path || !*path || isDirectory(path)) return false;
    return ::unlink(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    if (!from || !to || !*from || !*to) return false;
    return ::rename(from, to) == 0;
}

bool isDirectory(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool listDirectory(const char* path, std::vector<DirectoryEntry>& out) {
    out.clear();
    DIR* dir = path ? ::opendir(path) : nullptr;
    if (!dir) return false;
    std::string base = path;
    if (!base.empty() && base.back() != '/') base += '/';
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        DirectoryEntry entry;
        entry.name = name;
        if (e->d_type == DT_DIR) entry.isDirectory = true;
        else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) entry.isDirectory = isDirectory((base + name).c_str());
        out.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

std::FILE* openFile(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    // A directory opens for reading on Linux; on Win32 it does not. Keep the hosts alike.
    if (isDirectory(path)) return nullptr;
    return std::fopen(path, mode);
}

bool seekFile(std::FILE* file, int64_t offset, int origin) {
    static_assert(sizeof(off_t) >= 8, "large file offsets are needed for paks up to 4 GB");
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return ::fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

int64_t tellFile(std::FILE* file) { return static_cast<int64_t>(::ftello(file)); }

}  // namespace vz::platform
