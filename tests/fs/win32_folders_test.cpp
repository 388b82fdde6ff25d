// The Windows port's folders: the system's application-data folders behind
// user://, the program's folder behind res://, and the access list that lets
// every user of the machine write the shared data folder. Run under Wine.
#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include "fs_fixture.h"

namespace vz::fstest {
namespace {

std::string shellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    std::string folder = path;
    for (char& c : folder)
        if (c == '\\') c = '/';
    return folder;
}

// Whether the folder's access list gives the Everyone group write access to
// it and, by inheritance, to everything created below it.
bool everyoneMayWrite(const std::string& folder) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool allowed = false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (acl && AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        for (DWORD i = 0; i < acl->AceCount && !allowed; ++i) {
            ACE_HEADER* header = nullptr;
            if (!GetAce(acl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE)
                continue;
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            // The write bits themselves: FILE_GENERIC_WRITE also holds the
            // synchronise and read-control rights that reading has too.
            const bool writes = (ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL)) != 0;
            const BYTE inherits = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
            allowed = writes && (header->AceFlags & inherits) == inherits &&
                      EqualSid(reinterpret_cast<PSID>(&ace->SidStart), everyone);
        }
        FreeSid(everyone);
    }
    LocalFree(descriptor);
    return allowed;
}

using Win32FoldersTest = FsTest;

TEST_F(Win32FoldersTest, SystemFoldersComeFromTheShell) {
    using platform::SystemFolder;
    EXPECT_EQ(platform::systemFolder(SystemFolder::UserAppData), shellFolder(CSIDL_APPDATA));
    EXPECT_EQ(platform::systemFolder(SystemFolder::SharedAppData), shellFolder(CSIDL_COMMON_APPDATA));
    EXPECT_EQ(platform::systemFolder(SystemFolder::Documents), shellFolder(CSIDL_PERSONAL));
    EXPECT_FALSE(platform::systemFolder(SystemFolder::SharedAppData).empty());

    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string folder = module;
    folder.resize(folder.find_last_of("\\/"));
    for (char& c : folder)
        if (c == '\\') c = '/';
    EXPECT_EQ(platform::programFolder(), folder);
}

TEST_F(Win32FoldersTest, UserDataLivesInTheSharedFolderUnderTheIdentity) {
    rt().developerPathName = "Vozer Tests";
    rt().titlePathName = "Folder_Test";
    fs::initPathRoots();
    fs::rebuildUserPaths();
    const std::string shared = shellFolder(CSIDL_COMMON_APPDATA) + "/Vozer Tests/Folder_Test";
    EXPECT_EQ(fs::targetRoot(1), shared);
    EXPECT_EQ(fs::targetRoot(0), shellFolder(CSIDL_APPDATA) + "/Vozer Tests/Folder_Test");
    EXPECT_TRUE(platform::isDirectory(shared.c_str()));
    EXPECT_EQ(fs::ResolvePath("user://saves/one.sav"), shared + "/saves/one.sav");
}

TEST_F(Win32FoldersTest, SharedFoldersLetEveryUserWrite) {
    const std::string shared = base_ + "/shared";
    const std::string plain = base_ + "/plain";
    ASSERT_TRUE(platform::createDirectory(shared.c_str(), true));
    ASSERT_TRUE(platform::createDirectory(plain.c_str(), false));
    EXPECT_TRUE(everyoneMayWrite(shared));
    EXPECT_FALSE(everyoneMayWrite(plain));
    // Creating it again is not an error.
    EXPECT_TRUE(platform::createDirectory(shared.c_str(), true));
}

TEST_F(Win32FoldersTest, CreateDirMakesEveryMissingParent) {
    EXPECT_EQ(api()->CreateDir("user://a/b/c/"), 1);
    EXPECT_TRUE(platform::isDirectory((user_ + "/a/b/c").c_str()));
    EXPECT_EQ(api()->CreateDir("user://a/b/c"), 1);
}

}  // namespace
}  // namespace vz::fstest
#endif
