// File slots over loose files: names, modes, handle counting, reads and
// writes, seeking, FindFiles and DeleteFile.
#include "fs_fixture.h"

namespace vz::fstest {
namespace {

class FileTest : public FsTest {};

TEST_F(FileTest, IllegalNamesAndModesAreRefusedWithTheirMessages) {
    EXPECT_EQ(slots::OpenFile("/etc/passwd", "r"), nullptr);
    EXPECT_EQ(slots::OpenFile("ui/../x.png", "r"), nullptr);
    EXPECT_EQ(slots::OpenFile(nullptr, "r"), nullptr);
    std::vector<std::string> popups = texts("Popup");
    ASSERT_EQ(popups.size(), 3u);
    EXPECT_EQ(popups[0],
              "zt->OpenFile: Illegal file name '/etc/passwd'.\nValid name can start with either res://, user://, or "
              "relative path like ('ui/').");

    captured().clear();
    writeRes("a.txt", "x");
    EXPECT_EQ(slots::OpenFile("res://a.txt", "rw"), nullptr);
    EXPECT_EQ(slots::OpenFile("res://a.txt", nullptr), nullptr);
    EXPECT_EQ(slots::OpenFile("res://a.txt", "r+"), nullptr);
    popups = texts("Popup");
    ASSERT_EQ(popups.size(), 3u);
    EXPECT_EQ(popups[0],
              "zt->OpenFile: Illegal mode 'rw' while opening file 'res://a.txt'\nValid modes are read (\"r\"), "
              "write (\"w\"), and append (\"a\").");
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

TEST_F(FileTest, WriteAppendReadRoundTripInBinary) {
    VozerFile* f = slots::OpenFile("user://save.dat", "w");
    ASSERT_NE(f, nullptr);
    const char data[] = {'a', '\r', '\n', 0, 'b'};
    EXPECT_EQ(slots::WriteFile(data, sizeof data, f), 5);
    slots::FlushFile(f);
    slots::CloseFile(f);
    f = slots::OpenFile("user://save.dat", "a");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(slots::WriteFileBlocks("xyzw", 2, 2, f), 4);
    slots::CloseFile(f);
    EXPECT_EQ(contents("user://save.dat"), std::string(data, sizeof data) + "xyzw");
    // Reading a file opened for reading never writes.
    f = slots::OpenFile("user://save.dat", "r");
    EXPECT_EQ(slots::WriteFile("q", 1, f), 0);
    EXPECT_EQ(f->size, 9u);
    EXPECT_STREQ(f->name, "user://save.dat");
    slots::CloseFile(f);
    EXPECT_EQ(contents("user://missing.dat"), "<none>");
    EXPECT_TRUE(texts("Popup").empty());
}

TEST_F(FileTest, SeekTellAndByteReadsThroughBothSlotPairs) {
    writeRes("n.bin", "0123456789");
    VozerFile* f = slots::OpenFile("res://n.bin", "r");
    ASSERT_NE(f, nullptr);
    VozerEngineApi* t = api();
    EXPECT_EQ(t->SeekFile, t->SeekFile40);
    EXPECT_EQ(t->TellFile, t->TellFile41);
    EXPECT_TRUE(t->SeekFile(f, 3, 0));
    EXPECT_EQ(t->TellFile41(f), 3);
    EXPECT_TRUE(t->SeekFile40(f, 2, 1));
    EXPECT_EQ(t->TellFile(f), 5);
    EXPECT_EQ(slots::ReadFileByte(f), '5');
    EXPECT_TRUE(slots::SeekFile(f, -1, 2));
    EXPECT_EQ(slots::ReadFileByte(f), '9');
    EXPECT_EQ(slots::ReadFileByte(f), 0);  // end of file
    EXPECT_FALSE(slots::SeekFile(f, 0, 3));
    EXPECT_FALSE(slots::SeekFile(f, -100, 0));
    char buffer[16];
    slots::SeekFile(f, 0, 0);
    EXPECT_EQ(slots::ReadFileBlocks(buffer, 3, 2, f), 6);
    // size x count past 32 bits, or negative, reads nothing.
    EXPECT_EQ(slots::ReadFileBlocks(buffer, 0x10000, 0x10001, f), 0);
    EXPECT_EQ(slots::ReadFileBlocks(buffer, -1, 4, f), 0);
    EXPECT_EQ(slots::ReadFile(buffer, -4, f), 0);
    EXPECT_EQ(slots::ReadFile(nullptr, 4, f), 0);
    slots::CloseFile(f);
    // A null handle is harmless everywhere.
    EXPECT_EQ(slots::ReadFile(buffer, 1, nullptr), 0);
    EXPECT_EQ(slots::TellFile(nullptr), 0);
    EXPECT_EQ(slots::ReadFileByte(nullptr), 0);
    slots::FlushFile(nullptr);
    slots::CloseFile(nullptr);
}

TEST_F(FileTest, HandleCountAndExtraClosesArePopups) {
    writeRes("a.txt", "x");
    VozerFile* a = slots::OpenFile("res://a.txt", "r");
    VozerFile* b = slots::OpenFile("res://a.txt", "r");
    EXPECT_EQ(rt().openFileHandles.load(), 2);
    slots::CloseFile(a);
    slots::CloseFile(b);
    EXPECT_EQ(rt().openFileHandles.load(), 0);
    EXPECT_TRUE(texts("Popup").empty());
    // A second close of the same handle is reported, not freed again, each time.
    slots::CloseFile(b);
    slots::CloseFile(a);
    std::vector<std::string> popups = texts("Popup");
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0], "CloseFile closing too many file handles!\n");
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

TEST_F(FileTest, RelativeNamesFollowSearchPathPriorityAndOnlyRead) {
    writeRes("low/ui/a.png", "low");
    writeRes("high/ui/a.png", "high");
    writeRes("low/ui/only.png", "only-low");
    slots::AddSearchPath("res://low/", 0);
    EXPECT_EQ(contents("ui/a.png"), "low");
    slots::AddSearchPath("res://high/", 1);
    EXPECT_EQ(contents("ui/a.png"), "high");
    EXPECT_EQ(contents("ui/only.png"), "only-low");
    EXPECT_EQ(slots::OpenFile("ui/a.png", "w"), nullptr);
    EXPECT_EQ(slots::OpenFile("ui/new.png", "a"), nullptr);
    EXPECT_EQ(readOs(res_ + "/high/ui/a.png"), "high");
    // A folder is not a file.
    EXPECT_EQ(slots::OpenFile("res://low/ui", "r"), nullptr);
    EXPECT_EQ(rt().openFileHandles.load(), 0);
}

TEST_F(FileTest, DeleteFileOnlyInsideTheRoots) {
    writeRes("gone.txt", "x");
    writeOs(base_ + "/outside.txt", "keep");
    EXPECT_EQ(slots::DeleteFile("res://gone.txt"), 1);
    EXPECT_EQ(slots::DeleteFile("res://gone.txt"), 0);
    EXPECT_EQ(slots::DeleteFile("res://../outside.txt"), 0);
    EXPECT_EQ(slots::DeleteFile("outside.txt"), 0);
    EXPECT_EQ(slots::DeleteFile(nullptr), 0);
    EXPECT_EQ(readOs(base_ + "/outside.txt"), "keep");
}

std::vector<std::string> names(const VozerFileList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.count; ++i) out.push_back(list.names[i]);
    return out;
}

TEST_F(FileTest, FindFilesListsPaksThenLooseFilesPerSearchPath) {
    writePak(res_ + "/data.pak", {entry("sounds/a.ogg", "1"), entry("sounds/b.wav", "2"), entry("sounds/sub/c.ogg", "3"),
                                  entry("soundsx/d.ogg", "4"), entry("music/e.ogg", "5")});
    writeRes("data/sounds/loose.ogg", "6");
    writeRes("data/sounds/LOUD.OGG", "7");
    writeRes("data/sounds/deeper/f.ogg", "8");
    writeRes("more/sounds/g.ogg", "9");
    slots::AddSearchPath("res://data/", 0);
    slots::AddSearchPath("res://more/", 0);

    // Pak entries below the directory at any depth (a pak has names, not
    // folders), then the loose files of the directory itself: recursing is
    // never done, asked for or not.
    VozerFileList list{};
    for (vz_bool recurse : {0, 1}) {
        EXPECT_EQ(slots::FindFiles(&list, "sounds/", "*.ogg", recurse), 1);
        EXPECT_EQ(names(list), (std::vector<std::string>{"sounds/a.ogg", "sounds/sub/c.ogg", "sounds/LOUD.OGG",
                                                          "sounds/loose.ogg", "sounds/g.ogg"}));
        slots::FreeFileList(&list);
        EXPECT_EQ(list.count, 0);
        EXPECT_EQ(list.names, nullptr);
    }
    EXPECT_TRUE(texts("Popup").empty());

    EXPECT_EQ(slots::FindFiles(&list, "sounds", "*.mp3", 0), 0);
    EXPECT_EQ(list.count, 0);
    // Many names: the list grows past its first 32 entries.
    for (int i = 0; i < 100; ++i) writeRes("more/many/f" + std::to_string(i) + ".txt", "x");
    EXPECT_EQ(slots::FindFiles(&list, "many", "*.txt", 0), 1);
    EXPECT_EQ(list.count, 100);
    EXPECT_GE(list.capacity, 100);
    slots::FreeFileList(&list);
    slots::FreeFileList(nullptr);
}

TEST_F(FileTest, FindFilesRefusalsHaveTheirMessages) {
    VozerFileList list{};
    EXPECT_EQ(slots::FindFiles(&list, "user://saves", "*.sav", 0), 0);
    EXPECT_EQ(slots::FindFiles(&list, "res://data", "*.ogg", 1), 0);
    EXPECT_EQ(slots::FindFiles(&list, "data", "a*.ogg", 0), 0);
    EXPECT_EQ(slots::FindFiles(&list, nullptr, "*.ogg", 0), 0);
    EXPECT_EQ(slots::FindFiles(&list, "data", nullptr, 0), 0);
    EXPECT_EQ(slots::FindFiles(nullptr, "data", "*.ogg", 0), 0);
    EXPECT_EQ(slots::FindFiles(&list, "../..", "*.ogg", 0), 0);
    std::vector<std::string> popups = texts("Popup");
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0],
              "ZTFS_FindFiles should be passed only res:// paths or paths without prefix. 'user://' not permitted. "
              "Returning 0 files.\n");
    EXPECT_EQ(popups[1],
              "FindFiles subdir recursing is not implemented yet for external files. Forcing parm recurse_subdirs "
              "to false.\n");
    EXPECT_EQ(popups[2], "FindFiles with prefixes is not implemented yet.'\n");
    EXPECT_EQ(popups[3],
              "FindFiles wildcard 'a*.ogg' is not implemented yet for file paks. Please use simple wildcards like "
              "'*.ogg'\n");
    EXPECT_EQ(list.count, 0);
}

}  // namespace
}  // namespace vz::fstest
