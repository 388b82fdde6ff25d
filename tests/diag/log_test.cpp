// The log: file numbering and format, line splitting, levels and filtering,
// the in-memory limit, bounded formatting and failures of the file layer.
#include <atomic>
#include <map>
#include <regex>

#include "diag_fixture.h"

namespace vz::test {
namespace {

using LogTest = DiagTest;

const std::regex SHORT_LINE(R"(^(\d{4,}): \[\d\d:\d\d\.\d\d\] (.*)$)");
const std::regex NAMED_LINE(R"(^(\d{4,}): \[\d\d:\d\d\.\d\d\] \[([^\]]*)\]> (.*)$)");

TEST_F(LogTest, NewRunTakesFirstFreeNumberAndStartsWithBanner) {
    std::filesystem::create_directories(fakeFiles().root + "/logs");
    for (int n = 1; n <= 3; ++n) std::ofstream(fakeFiles().root + "/logs/vozer-000" + std::to_string(n) + ".log", std::ios::binary) << "old\n";

    startLog(true);
    EXPECT_EQ(diag::logFilePath(), "user://logs/vozer-0004.log");
    EXPECT_TRUE(diag::fileLoggingOn());
    api()->Log(VZ_ERROR, "after start %d", 7);

    const std::vector<std::string> lines = readLines(logFile());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find("VOZER"), std::string::npos);
    EXPECT_NE(lines[1].find("2966"), std::string::npos);
    EXPECT_EQ(lines[2], std::string(32, '-'));
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(^0001: \[\d\d:\d\d\.\d\d\] Logging started on \d{4}-\d\d-\d\d\.$)")))
        << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(^0002: \[\d\d:\d\d\.\d\d\] after start 7$)"))) << lines[4];
    // The older files are untouched.
    EXPECT_EQ(readWhole(fakeFiles().root + "/logs/vozer-0001.log"), "old\n");
}

TEST_F(LogTest, BannerCarriesProgramIdentityEvenWithoutTerminators) {
    VozerProgramRecord program{};
    std::memset(program.title, 'T', sizeof program.title);  // no terminator: must not be read past
    std::strcpy(program.version, "1.2.3");
    std::strcpy(program.id, "game-id");
    rt().shared.program = &program;
    startLog(true);
    const std::vector<std::string> lines = readLines(logFile());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[0].find(std::string(128, 'T') + " 1.2.3 (id 'game-id')"), std::string::npos) << lines[0];
    rt().shared.program = nullptr;
}

TEST_F(LogTest, VerboseLevelWarningDropsPrintAndSummary) {
    startLog(true, VZ_WARNING);
    EXPECT_EQ(api()->Print("info %d", 1), 0);
    EXPECT_EQ(api()->Log(VZ_INFO, "info"), 0);
    EXPECT_EQ(api()->Log(VZ_WARNING, "warned"), 6);
    diag::closeLogFile();

    const std::vector<std::string> lines = readLines(logFile());
    ASSERT_EQ(lines.size(), 4u);  // banner, dashes, the warning; no start line, no summary
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[3], match, SHORT_LINE));
    EXPECT_EQ(match[1], "0001");
    EXPECT_EQ(match[2], "warned");
    EXPECT_FALSE(diag::logEnabled());
}

TEST_F(LogTest, SummaryCountsLevelsAndOpenFiles) {
    startLog(true);
    rt().openFileHandles = 2;
    api()->Log(VZ_ERROR, "e1");
    api()->Log(9, "nine counts as an error");
    api()->Log(-4, "negative is below every minimum: dropped, not counted");
    api()->Log(VZ_WARNING, "w");
    api()->Log(5, "five");
    diag::closeLogFile();

    const std::vector<std::string> lines = readLines(logFile());
    ASSERT_GE(lines.size(), 2u);
    // Infos: the start line and the first summary line itself is counted after it is formatted.
    EXPECT_NE(lines[lines.size() - 2].find("VOZER log: 2 errors, 1 warnings, 1 infos."), std::string::npos)
        << lines[lines.size() - 2];
    EXPECT_NE(lines.back().find("2 files left open.."), std::string::npos) << lines.back();
    EXPECT_TRUE(diag::logLinesSnapshot().empty());
}

TEST_F(LogTest, LevelsAboveTheTableAreErrorsNegativeOnesAreDropped) {
    startLog(false, VZ_INFO);
    EXPECT_GT(api()->Log(9, "nine"), 0);
    EXPECT_EQ(api()->Log(-1, "minus one"), 0);
    EXPECT_GT(api()->Log(7, "seven"), 0);
    diag::resetDiagnostics();
    startLog(false, VZ_ERROR);
    EXPECT_GT(api()->Log(9, "nine"), 0);
    EXPECT_EQ(api()->Log(-1, "minus one"), 0);
    EXPECT_GT(api()->Log(7, "seven"), 0);
    EXPECT_EQ(api()->Log(VZ_WARNING, "dropped"), 0);
    const std::vector<diag::LogLine> lines = diag::logLinesSnapshot();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[1].level, 7);
    EXPECT_EQ(diag::logLevelCount(2), 1);
    EXPECT_EQ(diag::logLevelCount(7), 1);
    EXPECT_EQ(diag::logLevelCount(1), 0);
}

TEST_F(LogTest, NewlinesSplitOnlyWhenTextFollows) {
    startLog(true, VZ_WARNING);
    api()->Log(VZ_WARNING, "alpha\nbeta");
    api()->Log(VZ_WARNING, "solo\n");
    api()->Log(VZ_WARNING, "one\n\ntwo");
    api()->Log(VZ_WARNING, "\n");
    EXPECT_EQ(memoryTexts(), (std::vector<std::string>{"alpha", "beta", "solo\n", "one", "two", "\n"}));

    const std::string file = readWhole(logFile());
    EXPECT_NE(file.find("] solo\n0004"), std::string::npos) << "a trailing newline is not doubled";
    EXPECT_EQ(readLines(logFile()).size(), 3u + 6u);
}

TEST_F(LogTest, LongMultiLineTextIsKeptWhole) {
    startLog(false);
    const std::string first(300, 'a'), second(700, 'b');
    api()->Log(VZ_ERROR, "%s\n%s", first.c_str(), second.c_str());
    const std::vector<std::string> texts = memoryTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], first);
    EXPECT_EQ(texts[2], second);
}

TEST_F(LogTest, ConsoleOffDropsEverything) {
    rt().boot.console = false;
    startLog(true);
    api()->Log(VZ_ERROR, "lost");
    api()->Print("lost too");
    EXPECT_FALSE(diag::logEnabled());
    EXPECT_EQ(diag::logLineCounter(), 0);
    EXPECT_EQ(diag::logLevelCount(2), 0);
    EXPECT_TRUE(diag::logLinesSnapshot().empty());
    EXPECT_FALSE(std::filesystem::exists(fakeFiles().root + "/logs"));
    // And before the log starts at all, lines go nowhere either.
    diag::resetDiagnostics();
    diag::addLogLine(VZ_ERROR, "before start");
    EXPECT_EQ(diag::logLevelCount(2), 0);
}

TEST_F(LogTest, ListKeepsNewestLinesBehindAMarker) {
    startLog(false, VZ_WARNING);
    for (int i = 1; i <= 8193; ++i) api()->Log(VZ_WARNING, "line %d", i);
    std::vector<diag::LogLine> lines = diag::logLinesSnapshot();
    ASSERT_EQ(lines.size(), 8192u);
    EXPECT_EQ(lines[0].text, "...");
    EXPECT_EQ(lines[0].level, 3);
    EXPECT_EQ(lines[0].number, 0);
    EXPECT_TRUE(lines[0].threadName.empty());
    EXPECT_EQ(lines[1].text, "line 3");
    EXPECT_EQ(lines.back().text, "line 8193");
    EXPECT_EQ(lines.back().number, 8193);

    for (int i = 8194; i <= 8300; ++i) api()->Log(VZ_WARNING, "line %d", i);
    lines = diag::logLinesSnapshot();
    ASSERT_EQ(lines.size(), 8192u);
    EXPECT_EQ(lines[0].text, "...");
    EXPECT_NE(lines[1].text, "...") << "only one marker";
    EXPECT_EQ(lines.back().text, "line 8300");
}

TEST_F(LogTest, BadFormatsAreBoundedAndHarmless) {
    startLog(true);
    EXPECT_EQ(api()->Print(nullptr), 0);
    EXPECT_EQ(api()->Log(VZ_ERROR, nullptr), 0);
    diag::addLogLine(VZ_ERROR, nullptr);
    EXPECT_EQ(api()->Print("%d", 12345), 5);

    const std::string huge(10000, 'x');
    EXPECT_EQ(api()->Log(VZ_ERROR, "%s", huge.c_str()), 4095);
    const std::vector<diag::LogLine> lines = diag::logLinesSnapshot();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text.size(), 4095u);

    const std::vector<std::string> fileLines = readLines(logFile());
    ASSERT_FALSE(fileLines.empty());
    EXPECT_EQ(fileLines.back().size(), 1022u) << "1023 characters per write, the last one the newline";
    api()->Log(VZ_ERROR, "next");
    EXPECT_TRUE(std::regex_match(readLines(logFile()).back(), SHORT_LINE)) << "the cut line still ends its line";
}

TEST_F(LogTest, LogFileThatCannotBeCreatedKeepsTheMemoryLog) {
    fakeFiles().failWrite = true;
    startLog(true);
    EXPECT_FALSE(diag::fileLoggingOn());
    EXPECT_TRUE(diag::logEnabled());
    EXPECT_TRUE(memoryHas("Unable to allocate file for the logs.\n"));
    api()->Log(VZ_ERROR, "still kept");
    EXPECT_TRUE(memoryHas("still kept"));
    EXPECT_EQ(fakeFiles().appendOpens, 0);
}

TEST_F(LogTest, MissingFileLayerKeepsTheMemoryLog) {
    api()->GetPathEx = nullptr;
    startLog(true);
    EXPECT_FALSE(diag::fileLoggingOn());
    EXPECT_TRUE(memoryHas("Unable to allocate file for the logs.\n"));
}

TEST_F(LogTest, FailedAppendLosesTheLineForTheFileOnly) {
    startLog(true);
    fakeFiles().failAppend = true;
    api()->Log(VZ_ERROR, "memory only");
    fakeFiles().failAppend = false;
    api()->Log(VZ_ERROR, "both");
    EXPECT_TRUE(memoryHas("memory only"));
    const std::string file = readWhole(logFile());
    EXPECT_EQ(file.find("memory only"), std::string::npos);
    EXPECT_NE(file.find("both"), std::string::npos);
}

TEST_F(LogTest, LineLoggedByTheFileLayerDoesNotRecurse) {
    startLog(true);
    fakeFiles().logFromAppend = api();
    api()->Log(VZ_ERROR, "outer line");
    const std::vector<std::string> texts = memoryTexts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 2], "outer line");
    EXPECT_EQ(texts.back(), "nested line from the file layer");
    const std::string file = readWhole(logFile());
    EXPECT_NE(file.find("outer line"), std::string::npos) << "the outer line was not overwritten";
    EXPECT_EQ(file.find("nested line"), std::string::npos);
}

struct NamedLogArgs {
    std::atomic<bool> done{false};
};

void VZ_CDECL logFromNamedThread(void* argument) {
    api()->Log(VZ_ERROR, "from worker");
    static_cast<NamedLogArgs*>(argument)->done = true;
}

TEST_F(LogTest, ThreadNamesInMemoryAndFile) {
    startLog(true);
    api()->Log(VZ_ERROR, "from main");
    NamedLogArgs args;
    ASSERT_NE(api()->CreateThread("Worker", &logFromNamedThread, &args, 0), nullptr);
    ASSERT_TRUE(threadsFinished(5000));

    const std::vector<diag::LogLine> lines = diag::logLinesSnapshot();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].threadName, "MAIN");
    EXPECT_EQ(lines.back().threadName, "Worker");

    const std::vector<std::string> fileLines = readLines(logFile());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(fileLines[fileLines.size() - 2], match, SHORT_LINE));
    EXPECT_EQ(match[2], "from main");
    ASSERT_TRUE(std::regex_match(fileLines.back(), match, NAMED_LINE)) << fileLines.back();
    EXPECT_EQ(match[2], "Worker");
    EXPECT_EQ(match[3], "from worker");
}

constexpr int CROWD_THREADS = 300;
constexpr int CROWD_LINES = 20;

void VZ_CDECL logCrowdLines(void* argument) {
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    for (int i = 0; i < CROWD_LINES; ++i) api()->Log(VZ_WARNING, "crowd %d %d", id, i);
}

// Hundreds of threads logging at once: every line arrives once, whole, in the
// order its thread logged it, with consecutive numbers.
TEST_F(LogTest, HundredsOfThreadsLoseNoLine) {
    startLog(true, VZ_WARNING);
    for (int t = 0; t < CROWD_THREADS; ++t) {
        ASSERT_NE(api()->CreateThread("crowd", &logCrowdLines, reinterpret_cast<void*>(static_cast<intptr_t>(t)), 0),
                  nullptr);
    }
    ASSERT_TRUE(threadsFinished(30000));

    auto check = [](const std::vector<std::string>& texts, const char* where) {
        std::map<int, int> next;
        int count = 0;
        for (const std::string& text : texts) {
            int id = -1, i = -1;
            ASSERT_EQ(std::sscanf(text.c_str(), "crowd %d %d", &id, &i), 2) << where << ": torn line " << text;
            EXPECT_EQ(next[id]++, i) << where << ": thread " << id << " out of order";
            ++count;
        }
        EXPECT_EQ(count, CROWD_THREADS * CROWD_LINES) << where;
    };
    check(memoryTexts(), "memory");

    std::vector<std::string> fileTexts;
    int expectedNumber = 1;
    for (const std::string& line : readLines(logFile())) {
        std::smatch match;
        if (!std::regex_match(line, match, NAMED_LINE)) continue;
        EXPECT_EQ(std::stoi(match[1]), expectedNumber++);
        EXPECT_EQ(match[2], "crowd");
        fileTexts.push_back(match[3]);
    }
    check(fileTexts, "file");
}

}  // namespace
}  // namespace vz::test
