// Pak archives: serving entries, entry windows, damaged paks, and the
// vozer-pak functions end to end.
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "fs/pak_tool.h"
#include "fs_fixture.h"

namespace vz::fstest {
namespace {

class PakTest : public FsTest {};

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

TEST_F(PakTest, EntriesHideLooseFilesAndMatchWithoutCase) {
    writePak(res_ + "/ui.pak", {entry("A.PNG", "from-pak"), entry("deep/b.txt", "deep")});
    writeRes("ui/a.png", "loose");
    writeRes("ui/c.png", "loose-c");
    EXPECT_EQ(contents("res://ui/a.png"), "from-pak");
    EXPECT_EQ(contents("res://ui/DEEP/B.TXT"), "deep");
    EXPECT_EQ(contents("res://ui/c.png"), "loose-c");  // not in the pak: the loose file
    std::vector<std::string> prints = texts("Print");
    EXPECT_EQ(std::count(prints.begin(), prints.end(), "Opening new pak 'res://ui.pak'.\n"), 1);

    VozerFile* f = slots::OpenFile("res://ui/a.png", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 8u);
    EXPECT_STREQ(f->name, "res://ui/a.png");
    // An open entry holds its own handle on the pak, besides the pak's own.
    EXPECT_EQ(rt().openFileHandles.load(), 3);
    slots::CloseFile(f);
    EXPECT_EQ(rt().openFileHandles.load(), 1);
    fs::shutdownFiles();
    EXPECT_EQ(rt().openFileHandles.load(), 0);

    // Writing never goes to a pak; without the pak the loose file serves.
    std::remove((res_ + "/ui.pak").c_str());
    EXPECT_EQ(contents("res://ui/a.png"), "loose");
    EXPECT_EQ(slots::OpenFile("ui/a.png", "w"), nullptr);
}

TEST_F(PakTest, RelativeNamesReachPaksThroughSearchPaths) {
    writePak(res_ + "/data.pak", {entry("fonts/x.mft", "font")});
    slots::AddSearchPath("res://data/", 0);
    EXPECT_EQ(contents("fonts/x.mft"), "font");
    EXPECT_STREQ(fs::FindInSearchPaths("fonts/X.MFT", true), "res://data/fonts/X.MFT");
}

TEST_F(PakTest, EntryReadsAndSeeksStayInsideTheEntry) {
    writePak(res_ + "/p.pak", {entry("first", "AAAA"), entry("mid", "0123456789"), entry("last", "ZZZZ")});
    VozerFile* f = slots::OpenFile("res://p/mid", "r");
    ASSERT_NE(f, nullptr);
    char buffer[64];
    EXPECT_EQ(slots::ReadFile(buffer, sizeof buffer, f), 10);  // not a byte of "last"
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(slots::ReadFile(buffer, sizeof buffer, f), 0);
    EXPECT_EQ(slots::ReadFileByte(f), 0);
    EXPECT_TRUE(slots::SeekFile(f, -3, 2));
    EXPECT_EQ(slots::TellFile(f), 7);
    EXPECT_EQ(slots::ReadFileByte(f), '7');
    EXPECT_TRUE(slots::SeekFile(f, -2, 1));
    EXPECT_EQ(slots::ReadFileByte(f), '6');
    EXPECT_FALSE(slots::SeekFile(f, -1, 0));  // before the entry: refused, position kept
    EXPECT_EQ(slots::TellFile(f), 7);
    EXPECT_TRUE(slots::SeekFile(f, 100, 0));   // past the end: allowed, reads nothing
    EXPECT_EQ(slots::ReadFile(buffer, 4, f), 0);
    EXPECT_TRUE(slots::SeekFile(f, 0, 0));
    EXPECT_EQ(slots::ReadFileBlocks(buffer, 4, 4, f), 10);
    EXPECT_EQ(slots::WriteFile("x", 1, f), 0);
    slots::CloseFile(f);
}

TEST_F(PakTest, OverlappingAndSharedEntriesReadTheirOwnWindows) {
    std::vector<uint8_t> bytes = fs::buildPak({entry("whole", "abcdefgh"), entry("inner", "x"), entry("zero", "")});
    // Point "inner" into the middle of "whole" (offset 16 + 2, 3 bytes).
    uint32_t directory = get32(bytes, 8);
    size_t innerRecord = directory + 4 + (5 + 1 + 16) + 6;  // after "whole" record and "inner\0"
    put32(bytes, innerRecord, 18);
    put32(bytes, innerRecord + 4, 3);
    writeOs(res_ + "/o.pak", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(contents("res://o/whole"), "abcdefgh");
    EXPECT_EQ(contents("res://o/inner"), "cde");
    EXPECT_EQ(contents("res://o/zero"), "");
    EXPECT_EQ(contents("res://o/none"), "<none>");
}

TEST_F(PakTest, NamesNoPathCanReachAreLeftOutAndLongNamesCut) {
    std::string longName(700, 'n');
    writePak(res_ + "/h.pak", {entry("../escape", "1"), entry("/abs", "2"), entry("c:/x", "3"), entry("a\\b", "4"),
                               entry("ok", "5"), entry(longName, "6")});
    EXPECT_EQ(contents("res://h/ok"), "5");
    EXPECT_EQ(countContaining("4 entries with names that no path can reach"), 1u);
    VozerFileList list{};
    slots::AddSearchPath("res://h/", 0);
    EXPECT_EQ(slots::FindFiles(&list, "", "*.*", 0), 1);
    ASSERT_EQ(list.count, 2);
    EXPECT_STREQ(list.names[0], "ok");
    EXPECT_EQ(std::strlen(list.names[1]), fs::PAK_NAME_MAX);
    slots::FreeFileList(&list);
}

// Each damaged pak is refused with a message, once, and the game goes on
// with the loose file and with its other search paths.
TEST_F(PakTest, DamagedPaksAreRefusedAndTheGameGoesOn) {
    const std::vector<uint8_t> good = fs::buildPak({entry("a.txt", "pak-a"), entry("b.txt", "pak-b")});
    const uint32_t directory = get32(good, 8);
    struct Damage {
        const char* what;
        const char* reason;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const std::vector<Damage> damages = {
        {"wrong magic", "wrong magic", [](auto& b) { b[4] = 'X'; }},
        {"too short", "too short", [](auto& b) { b.resize(10); }},
        {"size lies (smaller)", "declares", [&](auto& b) { put32(b, 12, static_cast<uint32_t>(b.size() - 1)); }},
        {"size lies (larger)", "declares", [&](auto& b) { put32(b, 12, static_cast<uint32_t>(b.size() + 100)); }},
        {"directory past the end", "directory offset", [&](auto& b) { put32(b, 8, static_cast<uint32_t>(b.size())); }},
        {"directory in the header", "directory offset", [&](auto& b) { put32(b, 8, 4); }},
        {"absurd count", "entry count", [&](auto& b) { put32(b, directory, 0x7fffffff); }},
        {"count one too many", "entry count", [&](auto& b) { put32(b, directory, 3); }},
        {"entry past the end", "reaches past the end",
         [&](auto& b) { put32(b, directory + 4 + 6, static_cast<uint32_t>(b.size() - 2)); }},
        {"entry size wraps", "reaches past the end",
         [&](auto& b) {
             put32(b, directory + 4 + 6, 16);
             put32(b, directory + 4 + 10, 0xfffffff8u);
         }},
        {"name without NUL", "without its terminating NUL",
         [&](auto& b) {
             // One entry whose name runs to the end of the file.
             b.resize(directory + 4 + 20);
             put32(b, directory, 1);
             for (size_t i = directory + 4; i < b.size(); ++i) b[i] = 'n';
             put32(b, 12, static_cast<uint32_t>(b.size()));
         }},
        {"directory cut inside an entry", "ends inside entry",
         [&](auto& b) {
             b.resize(b.size() - 3);
             put32(b, 12, static_cast<uint32_t>(b.size()));
         }},
    };
    writeRes("loose/a.txt", "loose-a");
    writeRes("other/b.txt", "other-b");
    slots::AddSearchPath("res://loose/", 0);
    slots::AddSearchPath("res://other/", 0);
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        fs::shutdownFiles();
        captured().clear();
        std::vector<uint8_t> bytes = good;
        d.apply(bytes);
        writeOs(res_ + "/loose.pak", std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(contents("res://loose/a.txt"), "loose-a");
        EXPECT_EQ(contents("a.txt"), "loose-a");
        EXPECT_EQ(contents("b.txt"), "other-b");
        std::vector<std::string> logs = texts("Log");
        ASSERT_EQ(logs.size(), 1u) << "reported once, however often it is asked for";
        EXPECT_NE(logs[0].find("Pak 'res://loose.pak' is damaged and ignored"), std::string::npos) << logs[0];
        EXPECT_NE(logs[0].find(d.reason), std::string::npos) << logs[0];
        EXPECT_EQ(rt().openFileHandles.load(), 0);
    }
    // Repaired on disk: picked up by the next open.
    writeOs(res_ + "/loose.pak", std::string(good.begin(), good.end()));
    EXPECT_EQ(contents("a.txt"), "pak-a");
}

TEST_F(PakTest, ThreadsOpeningTheSamePakShareOneCopy) {
    std::vector<fs::PakSource> entries;
    for (int i = 0; i < 20; ++i) entries.push_back(entry("e" + std::to_string(i), std::string(100 + i, 'a' + i % 26)));
    writePak(res_ + "/t.pak", entries);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 50; ++k) {
                int i = (t * 7 + k) % 20;
                if (contents(("res://t/e" + std::to_string(i)).c_str()) != std::string(100 + i, 'a' + i % 26)) ++wrong;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(texts("Print"), std::vector<std::string>{"Opening new pak 'res://t.pak'.\n"});
    EXPECT_EQ(rt().openFileHandles.load(), 1);
}

TEST_F(PakTest, AnEmptyPakIsValid) {
    writePak(res_ + "/e.pak", {});
    writeRes("e/x", "loose");
    EXPECT_EQ(contents("res://e/x"), "loose");
    EXPECT_TRUE(texts("Log").empty());
}

TEST_F(PakTest, ParsingFromMemoryCutsNoCorners) {
    std::vector<uint8_t> bytes = fs::buildPak({entry("x", "12345"), entry("X", "second of that name")});
    VozerFile* h = fs::makeHandle(new fs::MemoryFile("mem.pak", bytes.data(), bytes.size()));
    fs::Pak pak;
    std::string why;
    ASSERT_TRUE(fs::parsePak(h, pak, why)) << why;
    ASSERT_EQ(pak.entries.size(), 2u);
    EXPECT_EQ(pak.find("X"), &pak.entries[0]);  // the first of equal names wins
    EXPECT_EQ(pak.find(nullptr), nullptr);
    auto* file = new fs::PakEntryFile("x", "mem.pak", pak.entries[0].offset, pak.entries[0].size,
                                      fs::makeHandle(new fs::MemoryFile("mem.pak", bytes.data(), bytes.size())), false);
    ASSERT_TRUE(file->Seek(0, 0));
    char out[16];
    EXPECT_EQ(file->Read(out, sizeof out), 5);
    EXPECT_EQ(std::string(out, 5), "12345");
    file->Close();
    fs::destroyHandle(h);
}

// --- vozer-pak ----------------------------------------------------------------------------

std::string fileBytes(int i) {
    // Sizes 0 .. ~3 KB, contents that differ per file and per position.
    std::string s(static_cast<size_t>((i * 37) % 3001), '\0');
    for (size_t k = 0; k < s.size(); ++k) s[k] = static_cast<char>((i * 131 + k * 7) & 0xff);
    return s;
}

TEST_F(PakTest, ToolRoundTripOfAThousandFiles) {
    const std::string source = base_ + "/src";
    for (int i = 0; i < 1000; ++i) {
        std::string name = "dir" + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin";
        writeOs(source + "/" + name, fileBytes(i));
    }
    std::vector<fs::PakInput> inputs;
    std::string why;
    ASSERT_TRUE(fs::collectFolder(source, inputs, why)) << why;
    ASSERT_EQ(inputs.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(inputs.begin(), inputs.end(),
                               [](const fs::PakInput& a, const fs::PakInput& b) { return a.name < b.name; }));
    ASSERT_TRUE(fs::writePakFile(res_ + "/game.pak", inputs, why)) << why;

    // The same folder gives the same bytes.
    ASSERT_TRUE(fs::writePakFile(base_ + "/again.pak", inputs, why)) << why;
    EXPECT_EQ(readOs(res_ + "/game.pak"), readOs(base_ + "/again.pak"));

    // The runtime reads every entry back, byte for byte.
    for (int i = 0; i < 1000; ++i) {
        std::string name = "dir" + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin";
        ASSERT_EQ(contents(("res://game/" + name).c_str()), fileBytes(i)) << name;
    }
    EXPECT_EQ(rt().openFileHandles.load(), 1);  // the pak's own handle

    // And the tool unpacks it to the same tree.
    std::vector<std::string> refused;
    ASSERT_TRUE(fs::extractPakFile(res_ + "/game.pak", base_ + "/out", refused, why)) << why;
    EXPECT_TRUE(refused.empty());
    for (const fs::PakInput& in : inputs) ASSERT_EQ(readOs(base_ + "/out/" + in.name), readOs(in.osPath)) << in.name;
}

TEST_F(PakTest, ToolRefusesNamesThatLeaveTheFolder) {
    EXPECT_TRUE(fs::isSafeEntryName("a/b.png"));
    for (const char* bad : {"../x", "a/../../x", "/abs", "C:/x", "a\\b", "", "a//b", "a/", "con", "a/NUL.txt",
                            "dots./x", "a/b ", "x\ny"})
        EXPECT_FALSE(fs::isSafeEntryName(bad)) << bad;

    // A pak made by someone else with a hostile name: refused, the rest unpacked.
    std::vector<uint8_t> bytes = fs::buildPak({entry("good.txt", "g"), entry("evil", "e"), entry("aux.txt", "a")});
    std::string text(bytes.begin(), bytes.end());
    size_t at = text.find("evil");
    text.replace(at, 4, "..xx");  // same length keeps the layout; ".." names are dropped by the reader
    writeOs(base_ + "/hostile.pak", text);
    std::vector<std::string> refused;
    std::string why;
    ASSERT_TRUE(fs::extractPakFile(base_ + "/hostile.pak", base_ + "/out", refused, why)) << why;
    EXPECT_EQ(readOs(base_ + "/out/good.txt"), "g");
    EXPECT_EQ(refused, std::vector<std::string>{"aux.txt"});

    // Refused input names when building.
    std::vector<fs::PakInput> inputs;
    ASSERT_TRUE(fs::collectFolder(base_ + "/out", inputs, why));
    EXPECT_FALSE(fs::writePakFile(base_ + "/out/self.pak", {{"self.pak", base_ + "/out/self.pak"}}, why));
    inputs = {{"../up", base_ + "/hostile.pak"}};
    EXPECT_FALSE(fs::writePakFile(base_ + "/bad.pak", inputs, why));
    EXPECT_NE(why.find("cannot be opened"), std::string::npos);
    EXPECT_FALSE(fs::collectFolder(base_ + "/missing", inputs, why));
    std::vector<fs::PakEntry> entries;
    EXPECT_FALSE(fs::readPakFile(base_ + "/missing.pak", entries, why));
}

}  // namespace
}  // namespace vz::fstest
