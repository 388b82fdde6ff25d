// The file slots of the engine API: OpenFile and friends, FindFiles, DeleteFile.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "api/engine_api.h"
#include "state/runtime_state.h"
#include "fs/files.h"
#include "fs/pak.h"
#include "fs/paths.h"
#include "platform/platform.h"

namespace vz::fs {

namespace {

// Handles given out by OpenFile and not yet closed. Knowing them lets
// CloseFile refuse a second close or a pointer it never gave out instead of
// freeing it again.
struct HandleRegistry {
    std::mutex lock;
    std::unordered_set<VozerFile*> live;
};

HandleRegistry& registry() {
    static HandleRegistry* r = new HandleRegistry;  // outlives every static that may close a file
    return *r;
}

const char* mapMode(const char* mode) {
    if (!mode) return nullptr;
    if (!std::strcmp(mode, "r") || !std::strcmp(mode, "rb")) return "rb";
    if (!std::strcmp(mode, "w") || !std::strcmp(mode, "wb")) return "wb";
    if (!std::strcmp(mode, "a") || !std::strcmp(mode, "ab")) return "ab";
    return nullptr;
}

bool endsWith(const std::string& s, const std::string& suffix, bool ignoreCase) {
    if (suffix == ".*") return true;
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = s[s.size() - suffix.size() + i], b = suffix[i];
        if (ignoreCase) {
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
            if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        }
        if (a != b) return false;
    }
    return true;
}

// The files of `osFolder` (not of its sub-folders) matching the suffix, as
// `relative` + '/' + their name.
void listLoose(const std::string& osFolder, const std::string& relative, const std::string& suffix,
               std::vector<std::string>& out) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(osFolder.c_str(), entries)) return;
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return a.name < b.name; });
    for (const auto& e : entries)
        if (!e.isDirectory && endsWith(e.name, suffix, true))
            out.push_back(relative.empty() ? e.name : relative + "/" + e.name);
}

void emptyList(VozerFileList* list) {
    for (int32_t i = 0; i < list->count; ++i) std::free(list->names[i]);
    std::free(list->names);
    *list = VozerFileList{};
}

}  // namespace

}  // namespace vz::fs

namespace vz::slots {

using namespace vz::fs;

VozerFile* OpenFile(const char* name, const char* mode) {
    if (!IsLegalFileName(name)) {
        api()->Popup(1,
                     "zt->OpenFile: Illegal file name '%s'.\nValid name can start with either res://, user://, or "
                     "relative path like ('ui/').",
                     name ? name : "(null)");
        if (name && std::strncmp(name, "https://", 8) == 0)
            api()->Log(1, "HTTPS is not supported; only http:// URLs can be opened ('%s').\n", name);
        return nullptr;
    }
    const char* binaryMode = mapMode(mode);
    if (!binaryMode) {
        api()->Popup(1,
                     "zt->OpenFile: Illegal mode '%s' while opening file '%s'\nValid modes are read (\"r\"), write "
                     "(\"w\"), and append (\"a\").",
                     mode ? mode : "(null)", name);
        return nullptr;
    }
    InnerFile* inner = nullptr;
    std::vector<FileOpener*> chain = openerChain();
    if (HasTargetPrefix(name)) {
        for (FileOpener* opener : chain)
            if ((inner = opener->Open(name, binaryMode)) != nullptr) break;
    } else if (!std::strcmp(binaryMode, "rb")) {
        for (const std::string& searchPath : searchPathsSnapshot()) {
            std::string candidate = searchPath + name;
            if (candidate.size() >= PATH_BUFFER) continue;
            for (FileOpener* opener : chain) {
                if (!opener->AcceptsSearchPaths()) continue;
                if ((inner = opener->Open(candidate.c_str(), binaryMode)) != nullptr) break;
            }
            if (inner) break;
        }
    }
    if (!inner) return nullptr;
    VozerFile* handle = makeHandle(inner);
    if (!handle) return nullptr;
    {
        std::lock_guard<std::mutex> guard(registry().lock);
        registry().live.insert(handle);
    }
    ++rt().openFileHandles;
    return handle;
}

void CloseFile(VozerFile* file) {
    if (!file) return;
    bool known;
    {
        std::lock_guard<std::mutex> guard(registry().lock);
        known = registry().live.erase(file) > 0;
    }
    if (!known || rt().openFileHandles <= 0) {
        // A second close, or a pointer that OpenFile never gave out: touching
        // it would free memory twice.
        api()->Popup(1, "CloseFile closing too many file handles!\n");
        if (!known) return;
    } else {
        --rt().openFileHandles;
    }
    if (!file->inner) api()->Popup(1, "CloseFile: inner file should always exist!\n");
    destroyHandle(file);
}

int32_t ReadFile(void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !file->inner || !buffer || bytes <= 0) return 0;
    return innerOf(file)->Read(buffer, bytes);
}

int32_t WriteFile(const void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !file->inner || !buffer || bytes <= 0) return 0;
    return innerOf(file)->Write(buffer, bytes);
}

void FlushFile(VozerFile* file) {
    if (file && file->inner) innerOf(file)->Flush();
}

int32_t TellFile(VozerFile* file) {
    if (!file || !file->inner) return 0;
    int64_t at = innerOf(file)->Tell();
    return at < 0 ? -1 : at > INT32_MAX ? INT32_MAX : static_cast<int32_t>(at);
}

vz_bool SeekFile(VozerFile* file, int32_t offset, int32_t origin) {
    if (!file || !file->inner || origin < 0 || origin > 2) return 0;
    return innerOf(file)->Seek(offset, origin) ? 1 : 0;
}

int32_t ReadFileByte(VozerFile* file) {
    uint8_t byte = 0;
    if (!file || !file->inner || innerOf(file)->Read(&byte, 1) != 1) return 0;
    return byte;
}

int32_t ReadFileBlocks(void* buffer, int32_t size, int32_t count, VozerFile* file) {
    int64_t total = static_cast<int64_t>(size) * count;
    if (size < 0 || count < 0 || total > INT32_MAX) return 0;
    return ReadFile(buffer, static_cast<int32_t>(total), file);
}

int32_t WriteFileBlocks(const void* buffer, int32_t size, int32_t count, VozerFile* file) {
    int64_t total = static_cast<int64_t>(size) * count;
    if (size < 0 || count < 0 || total > INT32_MAX) return 0;
    return WriteFile(buffer, static_cast<int32_t>(total), file);
}

vz_bool DeleteFile(const char* path) {
    std::string resolved = ResolvePath(path);
    if (resolved.empty()) return 0;
    return platform::deleteFile(resolved.c_str()) ? 1 : 0;
}

vz_bool FindFiles(VozerFileList* list, const char* directory, const char* wildcard, vz_bool recurse) {
    if (!list) return 0;
    // The list may arrive uninitialised, so its old contents are not freed
    // here: that is FreeFileList's job.
    *list = VozerFileList{};
    if (!directory || !wildcard) return 0;
    bool prefixed = HasTargetPrefix(directory);
    if (prefixed) {
        std::string target(directory, static_cast<size_t>(std::strstr(directory, "://") - directory));
        if (target != "res") {
            api()->Popup(1,
                         "ZTFS_FindFiles should be passed only res:// paths or paths without prefix. '%s://' not "
                         "permitted. Returning 0 files.\n",
                         target.c_str());
            return 0;
        }
        if (recurse) {
            api()->Popup(1,
                         "FindFiles subdir recursing is not implemented yet for external files. Forcing parm "
                         "recurse_subdirs to false.\n");
        }
    }
    if (std::strncmp(wildcard, "*.", 2) != 0) {
        api()->Popup(1,
                     "FindFiles wildcard '%s' is not implemented yet for file paks. Please use simple wildcards "
                     "like '*.ogg'\n",
                     wildcard);
        return 0;
    }
    const std::string suffix = wildcard + 1;
    if (prefixed) {
        api()->Popup(1, "FindFiles with prefixes is not implemented yet.'\n");
        return 0;
    }
    std::string dir = directory;
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    // The directory names a place below every search path; it may not climb out of them.
    if (!IsLegalFileName(dir.c_str()) && !dir.empty()) return 0;

    // Sub-directories of loose folders are never searched. A pak has no
    // directories, only names: every entry below the directory is listed, at
    // any depth; "sounds" does not take in "soundtrack/...".
    std::vector<std::string> found;
    for (const std::string& searchPath : searchPathsSnapshot()) {
        std::string pakFileName, unused;
        if (splitPakPath(searchPath.c_str(), pakFileName, unused)) {
            if (const Pak* pak = pakOpener().pakFor(pakFileName)) {
                for (const PakEntry& e : pak->entries) {
                    if (e.name.compare(0, dir.size(), dir) != 0) continue;
                    if (!dir.empty() && e.name.size() > dir.size() && e.name[dir.size()] != '/') continue;
                    if (endsWith(e.name, suffix, false)) found.push_back(e.name);
                }
            }
        }
        std::string folder = ResolvePath((searchPath + dir).c_str());
        if (folder.empty()) continue;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        listLoose(folder, dir, suffix, found);
    }
    for (const std::string& name : found) appendToFileList(list, name);
    if (list->count == 0) {
        emptyList(list);
        return 0;
    }
    return 1;
}

void FreeFileList(VozerFileList* list) {
    if (list) emptyList(list);
}

}  // namespace vz::slots
