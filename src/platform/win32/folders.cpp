// Folders and files on Windows: the shell's application-data, documents and
// desktop folders, the program's own folder, and directory creation that lets
// every user of the machine write the shared data folder (a game installed by
// one user is played and saved by others).
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <cstring>

namespace vz::platform {

namespace {

std::string toForwardSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    while (path.size() > 3 && path.back() == '/') path.pop_back();
    return path;
}

std::string toBackslashes(const char* path) {
    std::string s = path;
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// Everyone, full control, inherited by sub-folders and files. The pieces are
// owned by this object and freed when it goes.
class EveryoneMayWrite {
public:
    EveryoneMayWrite() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid_)) {
            sid_ = nullptr;
            return;
        }
        EXPLICIT_ACCESSA access;
        std::memset(&access, 0, sizeof access);
        access.grfAccessPermissions = GENERIC_ALL;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = static_cast<LPSTR>(sid_);
        if (SetEntriesInAclA(1, &access, nullptr, &acl_) != ERROR_SUCCESS) {
            acl_ = nullptr;
            return;
        }
        descriptor_ = static_cast<PSECURITY_DESCRIPTOR>(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
        if (!descriptor_) return;
        if (!InitializeSecurityDescriptor(descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(descriptor_, TRUE, acl_, FALSE)) {
            LocalFree(descriptor_);
            descriptor_ = nullptr;
            return;
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~EveryoneMayWrite() {
        if (descriptor_) LocalFree(descriptor_);
        if (acl_) LocalFree(acl_);
        if (sid_) FreeSid(sid_);
    }
    EveryoneMayWrite(const EveryoneMayWrite&) = delete;
    EveryoneMayWrite& operator=(const EveryoneMayWrite&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return descriptor_ ? &attributes_ : nullptr; }

    // Put the access list on an existing folder. Some systems (Wine among
    // them) take no notice of the list handed to CreateDirectory, so it is
    // applied once more after creation.
    void applyTo(const std::string& folder) {
        if (!acl_) return;
        SetNamedSecurityInfoA(const_cast<LPSTR>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl_, nullptr);
    }

private:
    PSID sid_ = nullptr;
    PACL acl_ = nullptr;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::string systemFolder(SystemFolder which) {
    int csidl = CSIDL_APPDATA;
    switch (which) {
    case SystemFolder::UserAppData: csidl = CSIDL_APPDATA; break;
    case SystemFolder::SharedAppData: csidl = CSIDL_COMMON_APPDATA; break;
    case SystemFolder::Documents: csidl = CSIDL_PERSONAL; break;
    case SystemFolder::Desktop: csidl = CSIDL_DESKTOPDIRECTORY; break;
    }
    char path[MAX_PATH + 1] = {0};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    path[MAX_PATH] = 0;
    return toForwardSlashes(path);
}

std::string programFolder() {
    char path[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string module(path, n);
    size_t cut = module.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    return toForwardSlashes(module.substr(0, cut));
}

bool createDirectory(const char* path, bool everyoneMayWrite) {
    if (!path || !*path) return false;
    std::string native = toBackslashes(path);
    if (everyoneMayWrite) {
        EveryoneMayWrite security;
        if (SECURITY_ATTRIBUTES* sa = security.attributes()) {
            if (CreateDirectoryA(native.c_str(), sa)) {
                security.applyTo(native);
                return true;
            }
        }
    }
    // Without the access list (or when the system refused it) a plain folder
    // still lets this user save.
    if (CreateDirectoryA(native.c_str(), nullptr)) return true;
    return isDirectory(path);
}

bool deleteFile(const char* path) {
    if (!path || !*path) return false;
    return DeleteFileA(toBackslashes(path).c_str()) != 0;
}

bool replaceFile(const char* from, const char* to) {
    if (!from || !to || !*from || !*to) return false;
    return MoveFileExA(toBackslashes(from).c_str(), toBackslashes(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool isDirectory(const char* path) {
    if (!path || !*path) return false;
    DWORD attributes = GetFileAttributesA(toBackslashes(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool listDirectory(const char* path, std::vector<DirectoryEntry>& out) {
    out.clear();
    if (!path) return false;
    std::string pattern = toBackslashes(path);
    if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!std::strcmp(data.cFileName, ".") || !std::strcmp(data.cFileName, "..")) continue;
        DirectoryEntry entry;
        entry.name = data.cFileName;
        entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

std::FILE* openFile(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    return std::fopen(path, mode);
}

bool seekFile(std::FILE* file, int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return _fseeki64(file, offset, whence) == 0;
}

int64_t tellFile(std::FILE* file) { return _ftelli64(file); }

}  // namespace vz::platform
