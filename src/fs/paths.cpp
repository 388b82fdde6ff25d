// Virtual paths, target roots, GetPath/GetPathEx, the search-path list and
// directory creation.
#include "fs/paths.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "platform/platform.h"

namespace vz::fs {

namespace {

// Text before "://" may be at most this long to count as a target.
constexpr size_t TARGET_NAME_MAX = 16;
constexpr size_t ROOT_MAX = 259;
constexpr size_t RESOLVED_MAX = 511;
constexpr size_t FORMAT_BUFFER = 2048;
constexpr int ROTATING_BUFFERS = 16;

struct PathState {
    // Folders as the system gave them: user data, shared data, documents, desktop, program.
    std::string folders[5];
    std::string roots[TARGET_COUNT];
    std::mutex rootsLock;  // roots change on the main thread but are read everywhere

    std::mutex searchLock;
    // unique_ptr keeps each text where it is, so GetSearchPath's pointer stays
    // valid while other entries come and go.
    std::vector<std::unique_ptr<std::string>> searchPaths;

    char getPathBuffers[ROTATING_BUFFERS][SHORT_PATH_BUFFER] = {};
    int getPathIndex = 0;
    char findBuffers[ROTATING_BUFFERS][SHORT_PATH_BUFFER] = {};
    int findIndex = 0;
};

PathState& state() {
    static PathState* s = new PathState;  // outlives every static that may still use paths
    return *s;
}

// Position of "://" when the text before it is a possible target name; npos otherwise.
size_t targetSeparator(const char* path) {
    if (!path) return std::string::npos;
    for (size_t i = 0; i <= TARGET_NAME_MAX; ++i) {
        if (path[i] == 0) return std::string::npos;
        if (path[i] == ':' && path[i + 1] == '/' && path[i + 2] == '/') return i;
    }
    return std::string::npos;
}

// Copy text into a buffer of `size` bytes, cut to fit, always terminated.
void copyCut(char* out, size_t size, const std::string& text) {
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

const char* prefixOf(int target) {
    if (target >= 0 && target <= 2) return "user://";
    if (target == 3 || target == 4) return "res://";
    return "";
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != b[i]) return false;
    }
    return true;
}

// Win32 opens a device instead of a file for these names, whatever the folder
// or extension; a game must not be steered into them by a data file.
bool isDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : devices)
        if (equalsNoCase(base, d)) return true;
    if (base.size() == 4 && (equalsNoCase(base.substr(0, 3), "COM") || equalsNoCase(base.substr(0, 3), "LPT")) &&
        base[3] >= '1' && base[3] <= '9')
        return true;
    return false;
}

bool staysInsideRootImpl(const std::string& rest) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        std::string component = rest.substr(start, end - start);
        if (component == "..") return false;
        if (component.find(':') != std::string::npos) return false;
        // Win32 drops trailing dots and spaces, so "a." would alias "a".
        if (!component.empty() && component != "." && (component.back() == '.' || component.back() == ' '))
            return false;
        if (!component.empty() && isDeviceName(component)) return false;
        start = end + 1;
    }
    return true;
}

std::string identityComponent(const std::string& name, const char* fallback, bool strict) {
    if (name.empty()) return fallback;
    std::string out = name;
    for (char& c : out) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (strict ? !ok : (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32)) c = '_';
    }
    if (out == "." || out == "..") out = fallback;
    return out;
}

std::string normaliseSearchPath(const char* path) {
    std::string s(path, strnlen(path, RESOLVED_MAX));
    for (char& c : s)
        if (c == '\\') c = '/';
    if (s.empty() || s.back() != '/') {
        if (s.size() >= RESOLVED_MAX) s.resize(RESOLVED_MAX - 1);
        s += '/';
    }
    return s;
}

bool underUserRoot(const std::string& osPath) {
    PathState& s = state();
    std::lock_guard<std::mutex> guard(s.rootsLock);
    for (int t = 0; t <= 2; ++t) {
        const std::string& root = s.roots[t];
        if (!root.empty() && osPath.compare(0, root.size(), root) == 0 &&
            (osPath.size() == root.size() || osPath[root.size()] == '/'))
            return true;
    }
    return false;
}

}  // namespace

bool staysInsideRoot(const std::string& relative) { return staysInsideRootImpl(relative); }

// --- Start-up -------------------------------------------------------------------

void InitFolders() {
    PathState& s = state();
    using platform::SystemFolder;
    s.folders[0] = platform::systemFolder(SystemFolder::UserAppData);
    s.folders[1] = platform::systemFolder(SystemFolder::SharedAppData);
    s.folders[2] = platform::systemFolder(SystemFolder::Documents);
    s.folders[3] = platform::systemFolder(SystemFolder::Desktop);
    std::string program = platform::programFolder();
    char normalised[PATH_BUFFER];
    NormalisePath(normalised, sizeof normalised, program.c_str());
    s.folders[4] = program.empty() ? std::string() : std::string(normalised);
    for (std::string& f : s.folders)
        for (char& c : f)
            if (c == '\\') c = '/';
}

void InitTargetRoots(bool createFolders) {
    PathState& s = state();
    std::string developer = identityComponent(rt().developerPathName, "Korvid", false);
    std::string program = identityComponent(rt().titlePathName, "unknown", true);
    std::string roots[TARGET_COUNT];
    if (!s.folders[0].empty()) roots[0] = s.folders[0] + "/" + developer + "/" + program;
    if (!s.folders[1].empty()) roots[1] = s.folders[1] + "/" + developer + "/" + program;
    roots[2] = s.folders[2];
    roots[3] = s.folders[4];
    roots[4] = s.folders[3];
    for (int t = 0; t < TARGET_COUNT; ++t) {
        // A root cut short would be some other folder: better none at all.
        if (roots[t].size() > ROOT_MAX) {
            api()->Log(VZ_ERROR, "Folder of %s is longer than %d characters and cannot be used: '%s'\n",
                       prefixOf(t), static_cast<int>(ROOT_MAX), roots[t].c_str());
            roots[t].clear();
        }
    }
    {
        std::lock_guard<std::mutex> guard(s.rootsLock);
        for (int t = 0; t < TARGET_COUNT; ++t) s.roots[t] = roots[t];
    }
    // user:// resolves to the shared folder, so it is created as well as the
    // per-user one: the first save must not fail for want of its folder.
    // (Not before the Program's identity is known: that would leave folders
    // named after the defaults behind.)
    if (!createFolders) return;
    if (!roots[0].empty()) createOsDirectory((roots[0] + "/").c_str());
    if (!roots[1].empty()) createOsDirectory((roots[1] + "/").c_str());
}

void initPathRoots() {
    InitFolders();
    InitTargetRoots(false);
}

void rebuildUserPaths() { InitTargetRoots(true); }

std::string targetRoot(int target) {
    if (target < 0 || target >= TARGET_COUNT) return std::string();
    std::lock_guard<std::mutex> guard(state().rootsLock);
    return state().roots[target];
}

void setTargetRoot(int target, const std::string& root) {
    if (target < 0 || target >= TARGET_COUNT) return;
    std::string r = root;
    for (char& c : r)
        if (c == '\\') c = '/';
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    std::lock_guard<std::mutex> guard(state().rootsLock);
    state().roots[target] = r;
}

// --- Names ---------------------------------------------------------------------

bool HasTargetPrefix(const char* path) {
    size_t at = targetSeparator(path);
    return at != std::string::npos && at + 3 <= TARGET_NAME_MAX;
}

bool IsLegalFileName(const char* name) {
    if (!name || name[0] == '/') return false;
    if (std::strstr(name, "..")) return false;
    const char* colon = std::strchr(name, ':');
    if (colon) {
        std::string target(name, std::min<size_t>(static_cast<size_t>(colon - name), 15));
        if (target != "res" && target != "user" && target != "http") return false;
    }
    return true;
}

void NormalisePath(char* dst, size_t size, const char* src) {
    if (!dst || !src || size <= 1) return;
    std::string s(src, strnlen(src, size - 1));
    for (char& c : s)
        if (c == '\\') c = '/';
    for (;;) {
        size_t up = s.find("/../");
        if (up == std::string::npos) break;
        size_t before = up == 0 ? std::string::npos : s.rfind('/', up - 1);
        size_t from = before == std::string::npos ? 0 : before + 1;
        s.erase(from, up + 4 - from);
    }
    std::memcpy(dst, s.c_str(), s.size() + 1);
}

std::string ResolvePath(const char* virtualPath) {
    size_t at = targetSeparator(virtualPath);
    if (at == std::string::npos) return std::string();
    std::string target(virtualPath, at);
    std::string root;
    if (target == "res") root = targetRoot(3);
    else if (target == "user") root = targetRoot(1);
    if (root.empty()) return std::string();
    const char* restStart = virtualPath + at + 3;
    size_t restLength = strnlen(restStart, RESOLVED_MAX + 1);
    if (root.size() + 1 + restLength > RESOLVED_MAX) return std::string();
    std::string rest(restStart, restLength);
    for (char& c : rest)
        if (c == '\\') c = '/';
    if (!staysInsideRoot(rest)) {
        api()->Log(VZ_WARNING, "Refusing path '%s': it names something outside its folder or a device.\n",
                   virtualPath);
        return std::string();
    }
    return root + "/" + rest;
}

std::string UnresolvePath(const char* osPath) {
    if (!osPath) return std::string();
    std::string path = osPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    // The roots that virtual paths resolve to come first, so the result names
    // the same file when it is resolved again.
    static const int order[TARGET_COUNT] = {1, 3, 0, 2, 4};
    for (int t : order) {
        std::string root = targetRoot(t);
        if (root.empty() || path.compare(0, root.size(), root) != 0) continue;
        if (path.size() == root.size()) return prefixOf(t);
        if (path[root.size()] != '/') continue;
        return std::string(prefixOf(t)) + path.substr(root.size() + 1);
    }
    return std::string();
}

// --- Search paths ----------------------------------------------------------------

std::vector<std::string> searchPathsSnapshot() {
    PathState& s = state();
    std::lock_guard<std::mutex> guard(s.searchLock);
    std::vector<std::string> out;
    out.reserve(s.searchPaths.size());
    for (const auto& p : s.searchPaths) out.push_back(*p);
    return out;
}

void clearSearchPaths() {
    PathState& s = state();
    std::lock_guard<std::mutex> guard(s.searchLock);
    s.searchPaths.clear();
}

const char* FindInSearchPaths(const char* relative, bool existingOnly) {
    if (!relative) return nullptr;
    PathState& s = state();
    EngineLock lock(MUTEX_GET_PATH);
    for (const std::string& searchPath : searchPathsSnapshot()) {
        std::string candidate = searchPath + relative;
        // A candidate cut to fit the buffer would name another file.
        if (candidate.size() >= SHORT_PATH_BUFFER) continue;
        VozerFile* file = slots::OpenFile(candidate.c_str(), "rb");
        if (!file && !existingOnly) {
            file = slots::OpenFile(candidate.c_str(), "wb");
            if (file) {
                slots::CloseFile(file);
                file = nullptr;
                slots::DeleteFile(candidate.c_str());
            } else {
                continue;
            }
        } else if (file) {
            slots::CloseFile(file);
        } else {
            continue;
        }
        s.findIndex = (s.findIndex + 1) % ROTATING_BUFFERS;
        char* out = s.findBuffers[s.findIndex];
        std::memcpy(out, candidate.c_str(), candidate.size() + 1);
        return out;
    }
    return nullptr;
}

bool createOsDirectory(const char* osPath) {
    if (!osPath || !*osPath) return false;
    EngineLock lock(MUTEX_CREATE_DIR);
    std::string path = osPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.back() != '/') path += '/';
    bool everyone = underUserRoot(path.substr(0, path.size() - 1));
    // Never try to create the root of a drive or a share: only the folders below it.
    size_t first = 1;
    if (path.size() > 2 && path[1] == ':') first = 3;
    else if (path.compare(0, 2, "//") == 0) {
        size_t server = path.find('/', 2);
        size_t share = server == std::string::npos ? std::string::npos : path.find('/', server + 1);
        if (share == std::string::npos) return false;
        first = share + 1;
    }
    for (size_t i = first; i < path.size(); ++i) {
        if (path[i] != '/' || path[i - 1] == '/') continue;
        platform::createDirectory(path.substr(0, i).c_str(), everyone);
    }
    return platform::isDirectory(path.substr(0, path.size() - 1).c_str());
}

}  // namespace vz::fs

// --- Slots -----------------------------------------------------------------------

namespace vz::slots {

using fs::FORMAT_BUFFER;

const char* GetPath(int32_t target, const char* format, ...) {
    if (!isMainThread())
        api()->Popup(1, "Unsafe call to VOZER interface method GetPath. Only main thread can call the method. "
                        "Use GetPathEx instead.");
    char work[FORMAT_BUFFER];
    work[0] = 0;
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(work, sizeof work, format, args);
        va_end(args);
    }
    fs::PathState& s = fs::state();
    EngineLock lock(MUTEX_GET_PATH);
    s.getPathIndex = (s.getPathIndex + 1) % fs::ROTATING_BUFFERS;
    char* out = s.getPathBuffers[s.getPathIndex];
    fs::copyCut(out, fs::SHORT_PATH_BUFFER, std::string(fs::prefixOf(target)) + work);
    return out;
}

char* GetPathEx(char* destination, int32_t size, int32_t target, const char* format, ...) {
    if (!destination || size <= 0) return destination;
    char work[FORMAT_BUFFER];
    work[0] = 0;
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(work, sizeof work, format, args);
        va_end(args);
    }
    fs::copyCut(destination, static_cast<size_t>(size), std::string(fs::prefixOf(target)) + work);
    return destination;
}

vz_bool CreateDir(const char* path) {
    if (!path) return 0;
    api()->Log(3, "Creating Directory: '%s'..\n", path);
    std::string resolved = fs::ResolvePath(path);
    if (resolved.empty()) return 0;
    return fs::createOsDirectory(resolved.c_str()) ? 1 : 0;
}

int32_t AddSearchPath(const char* path, vz_bool highPriority) {
    fs::PathState& s = fs::state();
    if (!path || !fs::HasTargetPrefix(path)) {
        api()->Popup(1,
                     "zt->AddSearchPath ('%s'): path name needs to include file system target prefix such as "
                     "res:// or user://.",
                     path ? path : "(null)");
        return GetSearchPathCount();
    }
    std::string normalised = fs::normaliseSearchPath(path);
    bool duplicate = false;
    std::vector<std::string> listing;
    {
        std::lock_guard<std::mutex> guard(s.searchLock);
        for (auto it = s.searchPaths.begin(); it != s.searchPaths.end(); ++it) {
            if (**it == normalised) {
                s.searchPaths.erase(it);
                duplicate = true;
                break;
            }
        }
        auto entry = std::make_unique<std::string>(normalised);
        if (highPriority) s.searchPaths.insert(s.searchPaths.begin(), std::move(entry));
        else s.searchPaths.push_back(std::move(entry));
        for (const auto& p : s.searchPaths) listing.push_back(*p);
    }
    // Logged outside the list's lock: the log may itself open files.
    if (duplicate) api()->Log(1, "Duplicate search path, removing the old one: '%s'", normalised.c_str());
    api()->Print("Adding search path '%s'.", normalised.c_str());
    for (size_t i = 0; i < listing.size(); ++i)
        api()->Print("Search path priority #%d: '%s'.", static_cast<int>(i + 1), listing[i].c_str());
    return static_cast<int32_t>(listing.size());
}

void RemoveSearchPath(const char* path) {
    if (!path || !*path) return;
    std::string normalised = fs::normaliseSearchPath(path);
    fs::PathState& s = fs::state();
    std::lock_guard<std::mutex> guard(s.searchLock);
    for (auto it = s.searchPaths.begin(); it != s.searchPaths.end(); ++it) {
        if (**it == normalised) {
            s.searchPaths.erase(it);
            return;
        }
    }
}

const char* GetSearchPath(int32_t index) {
    fs::PathState& s = fs::state();
    std::lock_guard<std::mutex> guard(s.searchLock);
    if (index < 0 || static_cast<size_t>(index) >= s.searchPaths.size()) return nullptr;
    return s.searchPaths[static_cast<size_t>(index)]->c_str();
}

int32_t GetSearchPathCount(void) {
    fs::PathState& s = fs::state();
    std::lock_guard<std::mutex> guard(s.searchLock);
    return static_cast<int32_t>(s.searchPaths.size());
}

}  // namespace vz::slots
