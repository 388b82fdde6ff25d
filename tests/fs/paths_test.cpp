// Virtual paths: names, resolution, GetPath, search paths, directories.
#include <cstring>
#include <thread>

#include "fs_fixture.h"

namespace vz::fstest {
namespace {

using fs::ResolvePath;

TEST(FileNames, LegalNamesAndTargets) {
    EXPECT_TRUE(fs::IsLegalFileName("ui/button.png"));
    EXPECT_TRUE(fs::IsLegalFileName("res://ui/x.png"));
    EXPECT_TRUE(fs::IsLegalFileName("user://save.dat"));
    EXPECT_TRUE(fs::IsLegalFileName("http://host/x"));
    EXPECT_FALSE(fs::IsLegalFileName(nullptr));
    EXPECT_FALSE(fs::IsLegalFileName("/etc/passwd"));
    EXPECT_FALSE(fs::IsLegalFileName("ui/../x.png"));
    EXPECT_FALSE(fs::IsLegalFileName("res://../../x"));
    EXPECT_FALSE(fs::IsLegalFileName("ui\\..\\x.png"));
    EXPECT_FALSE(fs::IsLegalFileName("C:/windows/win.ini"));
    EXPECT_FALSE(fs::IsLegalFileName("ftp://host/x"));
    // Only the first 15 characters before ':' are the target.
    EXPECT_FALSE(fs::IsLegalFileName("resresresresresres://x"));

    EXPECT_TRUE(fs::HasTargetPrefix("res://"));
    EXPECT_TRUE(fs::HasTargetPrefix("abcdefghijklm://x"));   // "://" ends at character 16
    EXPECT_FALSE(fs::HasTargetPrefix("abcdefghijklmn://x"));
    EXPECT_FALSE(fs::HasTargetPrefix("ui/a.png"));
    EXPECT_FALSE(fs::HasTargetPrefix(""));
    EXPECT_FALSE(fs::HasTargetPrefix(nullptr));
}

TEST(FileNames, NormaliseFoldsParentsAndCutsToTheBuffer) {
    char out[64];
    fs::NormalisePath(out, sizeof out, "a/b/../c");
    EXPECT_STREQ(out, "a/c");
    fs::NormalisePath(out, sizeof out, "b/../c");
    EXPECT_STREQ(out, "c");
    fs::NormalisePath(out, sizeof out, "a\\b\\..\\c\\d");
    EXPECT_STREQ(out, "a/c/d");
    fs::NormalisePath(out, sizeof out, "a/b/c/../../d");
    EXPECT_STREQ(out, "a/d");

    // A long source never writes past the buffer (ASan watches the guard).
    std::string longText(1000, 'x');
    char small[9];
    fs::NormalisePath(small, sizeof small, longText.c_str());
    EXPECT_EQ(std::string(small), std::string(8, 'x'));
    char untouched[4] = {'z', 'z', 'z', 0};
    fs::NormalisePath(untouched, 1, "abc");
    fs::NormalisePath(untouched, sizeof untouched, nullptr);
    EXPECT_STREQ(untouched, "zzz");
    // Source and destination may be the same buffer.
    char same[32] = "p/q/../r";
    fs::NormalisePath(same, sizeof same, same);
    EXPECT_STREQ(same, "p/r");
}

class PathTest : public FsTest {};

TEST_F(PathTest, ResolveMapsTargetsToTheirRoots) {
    EXPECT_EQ(ResolvePath("res://"), res_ + "/");
    EXPECT_EQ(ResolvePath("res://ui/a.png"), res_ + "/ui/a.png");
    EXPECT_EQ(ResolvePath("user://logs/vozer-0001.log"), user_ + "/logs/vozer-0001.log");
    EXPECT_EQ(ResolvePath("res://a\\b"), res_ + "/a/b");
    EXPECT_EQ(ResolvePath("http://host/x"), "");
    EXPECT_EQ(ResolvePath("ftp://x"), "");
    EXPECT_EQ(ResolvePath("ui/a.png"), "");
    EXPECT_EQ(ResolvePath(nullptr), "");
    fs::setTargetRoot(3, "");
    EXPECT_EQ(ResolvePath("res://a"), "");
}

TEST_F(PathTest, ResolveRefusesEverythingThatLeavesTheRoot) {
    const char* hostile[] = {
        "res://../../etc/passwd", "res://a/../../x", "res://a/..", "res://..", "user://a\\..\\..\\x",
        "res://C:/windows/x", "res://a/b:stream", "res://CON", "user://nul.txt", "res://a/com1.log",
        "res://lpt9", "res://dir./x", "res://x ", "res://CONOUT$",
    };
    for (const char* path : hostile) EXPECT_EQ(ResolvePath(path), "") << path;
    EXPECT_GE(countContaining("Refusing path"), 1u);
    // Names that merely look alike stay usable.
    EXPECT_NE(ResolvePath("res://console.png"), "");
    EXPECT_NE(ResolvePath("res://com10"), "");
    EXPECT_NE(ResolvePath("res://a..b/x"), "");
    EXPECT_NE(ResolvePath("res://a//b"), "");

    // 511 characters in all is the limit; nothing is cut, the path is refused.
    std::string rest(511 - res_.size() - 1, 'n');
    EXPECT_EQ(ResolvePath(("res://" + rest).c_str()).size(), 511u);
    EXPECT_EQ(ResolvePath(("res://" + rest + "n").c_str()), "");
    std::string huge = "res://" + std::string(100000, 'a');
    EXPECT_EQ(ResolvePath(huge.c_str()), "");
}

TEST_F(PathTest, UnresolveFindsTheRootAgain) {
    EXPECT_EQ(fs::UnresolvePath((res_ + "/ui/a.png").c_str()), "res://ui/a.png");
    EXPECT_EQ(fs::UnresolvePath((user_ + "/x").c_str()), "user://x");
    EXPECT_EQ(fs::UnresolvePath((res_ + "x/y").c_str()), "");  // a sibling folder sharing the prefix
    EXPECT_EQ(fs::UnresolvePath("/nowhere/x"), "");
    EXPECT_EQ(ResolvePath(fs::UnresolvePath((user_ + "/a/b").c_str()).c_str()), user_ + "/a/b");
}

TEST_F(PathTest, GetPathFormatsWithTheTargetPrefix) {
    EXPECT_STREQ(slots::GetPath(1, "logs/x%d.txt", 7), "user://logs/x7.txt");
    EXPECT_STREQ(slots::GetPath(3, ""), "res://");
    EXPECT_STREQ(slots::GetPath(0, "a"), "user://a");
    EXPECT_STREQ(slots::GetPath(4, "a"), "res://a");
    EXPECT_STREQ(slots::GetPath(9, "a"), "a");
    EXPECT_STREQ(slots::GetPath(2, nullptr), "user://");

    // Results stay valid for the next 15 calls.
    const char* first = slots::GetPath(3, "first");
    for (int i = 0; i < 15; ++i) slots::GetPath(3, "other%d", i);
    EXPECT_STREQ(first, "res://first");
    slots::GetPath(3, "sixteenth");
    EXPECT_STRNE(first, "res://first");

    // Cut to the 260-byte buffer, never past it.
    std::string longText(3000, 'q');
    const char* cut = slots::GetPath(1, "%s", longText.c_str());
    EXPECT_EQ(std::strlen(cut), 259u);
    EXPECT_EQ(std::string(cut, 7), "user://");
    EXPECT_TRUE(texts("Popup").empty());
}

TEST_F(PathTest, GetPathExWritesTheCallersBufferAndWarnsNobody) {
    char buffer[16];
    EXPECT_EQ(slots::GetPathEx(buffer, sizeof buffer, 1, "logs/x%d.txt", 7), buffer);
    EXPECT_STREQ(buffer, "user://logs/x7.");  // 15 characters and the terminator
    char guard[8] = "1234567";
    slots::GetPathEx(guard, 0, 1, "abc");
    slots::GetPathEx(guard, -5, 1, "abc");
    EXPECT_STREQ(guard, "1234567");
    EXPECT_EQ(slots::GetPathEx(nullptr, 10, 1, "x"), nullptr);
    char one[1];
    slots::GetPathEx(one, 1, 3, "x");
    EXPECT_EQ(one[0], 0);

    std::thread worker([] {
        char b[64];
        slots::GetPathEx(b, sizeof b, 3, "w");
    });
    worker.join();
    EXPECT_TRUE(texts("Popup").empty());
}

TEST_F(PathTest, GetPathOffTheMainThreadWarnsButWorks) {
    std::string result;
    std::thread worker([&] { result = slots::GetPath(3, "data/%s", "a.xml"); });
    worker.join();
    EXPECT_EQ(result, "res://data/a.xml");
    ASSERT_EQ(texts("Popup").size(), 1u);
    EXPECT_EQ(texts("Popup")[0],
              "Unsafe call to VOZER interface method GetPath. Only main thread can call the method. Use GetPathEx "
              "instead.");
}

TEST_F(PathTest, SearchPathsAreNormalisedOrderedAndReported) {
    EXPECT_EQ(slots::AddSearchPath("res://data\\sub", 0), 1);
    EXPECT_STREQ(slots::GetSearchPath(0), "res://data/sub/");
    EXPECT_EQ(slots::AddSearchPath("res://", 0), 2);
    EXPECT_EQ(slots::AddSearchPath("user://mods/", 1), 3);
    EXPECT_STREQ(slots::GetSearchPath(0), "user://mods/");
    EXPECT_STREQ(slots::GetSearchPath(2), "res://");
    EXPECT_EQ(slots::GetSearchPath(3), nullptr);
    EXPECT_EQ(slots::GetSearchPath(-1), nullptr);
    EXPECT_EQ(slots::GetSearchPathCount(), 3);

    std::vector<std::string> prints = texts("Print");
    ASSERT_GE(prints.size(), 4u);
    EXPECT_EQ(prints[prints.size() - 4], "Adding search path 'user://mods/'.");
    EXPECT_EQ(prints[prints.size() - 3], "Search path priority #1: 'user://mods/'.");
    EXPECT_EQ(prints.back(), "Search path priority #3: 'res://'.");

    // The same path again: one entry, in the new position, with a warning.
    captured().clear();
    EXPECT_EQ(slots::AddSearchPath("res://data/sub/", 1), 3);
    EXPECT_STREQ(slots::GetSearchPath(0), "res://data/sub/");
    EXPECT_STREQ(slots::GetSearchPath(1), "user://mods/");
    ASSERT_EQ(texts("Log").size(), 1u);
    EXPECT_EQ(texts("Log")[0], "Duplicate search path, removing the old one: 'res://data/sub/'");

    // Removal normalises the same way and is silent.
    captured().clear();
    slots::RemoveSearchPath("user://mods");
    slots::RemoveSearchPath("user://never/");
    slots::RemoveSearchPath("");
    slots::RemoveSearchPath(nullptr);
    EXPECT_EQ(slots::GetSearchPathCount(), 2);
    EXPECT_TRUE(captured().empty());
}

TEST_F(PathTest, SearchPathWithoutTargetIsRefusedAndLongOnesAreCut) {
    EXPECT_EQ(slots::AddSearchPath("data/", 1), 0);
    EXPECT_EQ(slots::AddSearchPath(nullptr, 1), 0);
    std::vector<std::string> popups = texts("Popup");
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0],
              "zt->AddSearchPath ('data/'): path name needs to include file system target prefix such as res:// "
              "or user://.");
    EXPECT_EQ(slots::GetSearchPathCount(), 0);

    std::string longPath = "res://" + std::string(2000, 'd');
    EXPECT_EQ(slots::AddSearchPath(longPath.c_str(), 0), 1);
    std::string stored = slots::GetSearchPath(0);
    EXPECT_EQ(stored.size(), 511u);
    EXPECT_EQ(stored.back(), '/');
}

TEST_F(PathTest, SearchPathPointersSurviveOtherChanges) {
    slots::AddSearchPath("res://a/", 0);
    const char* kept = slots::GetSearchPath(0);
    for (int i = 0; i < 100; ++i) {
        std::string p = "res://p" + std::to_string(i) + "/";
        slots::AddSearchPath(p.c_str(), 1);
    }
    for (int i = 0; i < 50; ++i) {
        std::string p = "res://p" + std::to_string(i) + "/";
        slots::RemoveSearchPath(p.c_str());
    }
    EXPECT_STREQ(kept, "res://a/");
}

TEST_F(PathTest, CreateDirMakesEveryParentAndLogs) {
    EXPECT_EQ(slots::CreateDir("user://saves/slot1/deep"), 1);
    EXPECT_TRUE(platform::isDirectory((user_ + "/saves/slot1/deep").c_str()));
    EXPECT_EQ(slots::CreateDir("user://saves/slot1/deep/"), 1);  // already there: no error
    ASSERT_FALSE(texts("Log").empty());
    EXPECT_EQ(texts("Log")[0], "Creating Directory: 'user://saves/slot1/deep'..\n");
    EXPECT_EQ(captured()[0].level, 3);
    EXPECT_EQ(slots::CreateDir("user://../escape"), 0);
    EXPECT_FALSE(platform::isDirectory((base_ + "/escape").c_str()));
    EXPECT_EQ(slots::CreateDir("http://x/y"), 0);
    EXPECT_EQ(slots::CreateDir(nullptr), 0);
}

TEST_F(PathTest, FindInSearchPathsPrefersExistingFilesAndCleansUpProbes) {
    writeRes("b/font.xml", "b");
    slots::AddSearchPath("res://a/", 0);
    slots::AddSearchPath("res://b/", 0);
    EXPECT_STREQ(fs::FindInSearchPaths("font.xml", true), "res://b/font.xml");
    EXPECT_EQ(fs::FindInSearchPaths("missing.xml", true), nullptr);

    // Not existing anywhere: the first place it could be created, and the probe is removed again.
    platform::createDirectory((res_ + "/a").c_str(), false);
    EXPECT_STREQ(fs::FindInSearchPaths("new.mft", false), "res://a/new.mft");
    EXPECT_EQ(readOs(res_ + "/a/new.mft"), "");
    std::FILE* probe = std::fopen((res_ + "/a/new.mft").c_str(), "rb");
    EXPECT_EQ(probe, nullptr);
    if (probe) std::fclose(probe);
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

// The development host's folders come from the environment; Win32 asks the shell.
#ifndef _WIN32
TEST_F(PathTest, RootsComeFromTheFoldersAndIdentity) {
    setenv("VOZER_USER_ROOT", (base_ + "/data").c_str(), 1);
    setenv("VOZER_RES_ROOT", (base_ + "/prog\\bin/../game").c_str(), 1);
    rt().developerPathName = "";
    rt().titlePathName = "My Game/2";
    fs::initPathRoots();
    EXPECT_EQ(fs::targetRoot(1), base_ + "/data/Korvid/My_Game_2");
    EXPECT_EQ(fs::targetRoot(0), base_ + "/data/Korvid/My_Game_2");
    EXPECT_EQ(fs::targetRoot(3), base_ + "/prog/game");
    EXPECT_FALSE(platform::isDirectory(fs::targetRoot(1).c_str())) << "no folders before the identity is known";
    fs::rebuildUserPaths();
    EXPECT_TRUE(platform::isDirectory(fs::targetRoot(1).c_str()));

    rt().developerPathName = "Studio";
    rt().titlePathName = "";
    fs::rebuildUserPaths();
    EXPECT_EQ(fs::targetRoot(1), base_ + "/data/Studio/unknown");
    unsetenv("VOZER_USER_ROOT");
    unsetenv("VOZER_RES_ROOT");
}
#endif

}  // namespace
}  // namespace vz::fstest
