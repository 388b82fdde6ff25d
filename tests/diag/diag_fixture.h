// Shared set-up for the log, popup, thread and mutex tests: the runtime started
// the way pre-initialisation starts it, the console on, and the file layer's
// slots replaced by stdio on a private temporary folder that stands for user://.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <chrono>
#include <thread>

#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "diag/log.h"
#include "diag/log_internal.h"

namespace vz::test {

struct FakeFiles {
    std::string root;          // the folder that user:// stands for
    bool failWrite = false;    // "wb" opens fail
    bool failAppend = false;   // "a" opens fail
    VozerEngineApi* logFromAppend = nullptr;  // when set, an "a" open logs a line itself
    int appendOpens = 0;
};

inline FakeFiles& fakeFiles() {
    static FakeFiles f;
    return f;
}

inline std::string nativePath(const char* path) {
    std::string p = path ? path : "";
    if (p.rfind("user://", 0) == 0) p = fakeFiles().root + "/" + p.substr(7);
    return p;
}

inline char* VZ_CDECL fakeGetPathEx(char* destination, int32_t size, int32_t target, const char* format, ...) {
    if (!destination || size <= 0) return destination;
    const char* prefix = target <= 2 ? "user://" : "res://";
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    std::snprintf(destination, static_cast<size_t>(size), "%s%s", prefix, text);
    return destination;
}

inline vz_bool VZ_CDECL fakeCreateDir(const char* path) {
    std::error_code error;
    std::filesystem::create_directories(nativePath(path), error);
    return std::filesystem::is_directory(nativePath(path)) ? 1 : 0;
}

inline VozerFile* VZ_CDECL fakeOpenFile(const char* name, const char* mode) {
    FakeFiles& f = fakeFiles();
    std::string m = mode ? mode : "";
    if (m == "a" || m == "ab") {
        ++f.appendOpens;
        if (f.logFromAppend) {
            VozerEngineApi* table = f.logFromAppend;
            f.logFromAppend = nullptr;  // one nested line is enough to prove the point
            table->Log(VZ_WARNING, "nested line from the file layer");
        }
        if (f.failAppend) return nullptr;
        m = "ab";
    }
    if ((m == "w" || m == "wb") && f.failWrite) return nullptr;
    if (m == "r") m = "rb";
    if (m == "w") m = "wb";
    return reinterpret_cast<VozerFile*>(std::fopen(nativePath(name).c_str(), m.c_str()));
}

inline int32_t VZ_CDECL fakeWriteFile(const void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(bytes), reinterpret_cast<FILE*>(file)));
}

inline void VZ_CDECL fakeCloseFile(VozerFile* file) {
    if (file) std::fclose(reinterpret_cast<FILE*>(file));
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits for the counted threads without logging (waitForThreads logs).
inline bool threadsFinished(int timeoutMs = 10000) {
    for (int waited = 0; liveThreadCount() > 0; waited += 5) {
        if (waited >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline void logPopupsToStderr() {
#ifdef _WIN32
    _putenv_s("VOZER_POPUPS", "log");
#else
    setenv("VOZER_POPUPS", "log", 1);
#endif
}

inline std::string makeTemporaryFolder() {
    static int counter = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path folder =
            base / ("vozer-diag-" + std::to_string(std::random_device{}()) + "-" + std::to_string(++counter));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) return folder.generic_string();
    }
}

class DiagTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPopupsToStderr();
        // Pre-initialisation order: registry lock, state reset, main thread, mutexes.
        createThreadRegistryLock();
        resetRuntimeState();
        fillEngineApi();
        recordMainThread();
        createEngineMutexes();
        diag::resetDiagnostics();

        fakeFiles() = FakeFiles{};
        fakeFiles().root = makeTemporaryFolder();
        api()->GetPathEx = &fakeGetPathEx;
        api()->CreateDir = &fakeCreateDir;
        api()->OpenFile = &fakeOpenFile;
        api()->WriteFile = &fakeWriteFile;
        api()->CloseFile = &fakeCloseFile;

        rt().boot.console = true;
        rt().boot.developerMode = true;
    }

    void TearDown() override {
        EXPECT_TRUE(threadsFinished()) << "a test left threads running";
        diag::resetDiagnostics();
        destroyEngineMutexes();
        std::error_code error;
        std::filesystem::remove_all(fakeFiles().root, error);
    }

    void startLog(bool toFile, int32_t verboseLevel = 0) {
        rt().boot.logging = toFile;
        rt().boot.verboseLevel = verboseLevel;
        diag::startLogFile();
    }

    std::string logFile() const { return nativePath(diag::logFilePath().c_str()); }

    // Texts of the in-memory lines, oldest first.
    static std::vector<std::string> memoryTexts() {
        std::vector<std::string> texts;
        for (const diag::LogLine& line : diag::logLinesSnapshot()) texts.push_back(line.text);
        return texts;
    }

    static bool memoryHas(const std::string& text) {
        for (const diag::LogLine& line : diag::logLinesSnapshot())
            if (line.text == text) return true;
        return false;
    }
};

}  // namespace vz::test
