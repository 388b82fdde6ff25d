// A file layer on temporary folders: res:// and user:// point into a fresh
// directory per test, the message slots are captured, and the openers, paks
// and search paths start empty.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "fs/files.h"
#include "fs/pak.h"
#include "fs/paths.h"
#include "platform/platform.h"

namespace vz::fstest {

struct Captured {
    std::string slot;  // "Print", "Log", "Popup"
    int level;
    std::string text;
};

inline std::vector<Captured>& captured() {
    static std::vector<Captured> messages;
    return messages;
}

inline void record(const char* slot, int level, const char* format, va_list args) {
    char text[8192];
    std::vsnprintf(text, sizeof text, format, args);
    static std::mutex lock;  // worker threads of a test report too
    std::lock_guard<std::mutex> hold(lock);
    captured().push_back(Captured{slot, level, text});
}

inline int32_t fakePrint(const char* format, ...) {
    va_list a;
    va_start(a, format);
    record("Print", 0, format, a);
    va_end(a);
    return 0;
}
inline int32_t fakeLog(int32_t level, const char* format, ...) {
    va_list a;
    va_start(a, format);
    record("Log", level, format, a);
    va_end(a);
    return 0;
}
inline int32_t fakePopup(int32_t level, const char* format, ...) {
    va_list a;
    va_start(a, format);
    record("Popup", level, format, a);
    va_end(a);
    return 0;
}

class FsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRuntimeState();
        fillEngineApi();
        recordMainThread();
        createEngineMutexes();
        api()->Print = &fakePrint;
        api()->Log = &fakeLog;
        api()->Popup = &fakePopup;
        captured().clear();
        base_ = freshTempFolder();
        ASSERT_FALSE(base_.empty());
        res_ = base_ + "/res";
        user_ = base_ + "/user";
        ASSERT_TRUE(platform::createDirectory(res_.c_str(), false));
        ASSERT_TRUE(platform::createDirectory(user_.c_str(), false));
        for (int t = 0; t < fs::TARGET_COUNT; ++t) fs::setTargetRoot(t, t >= 3 ? res_ : user_);
        fs::shutdownFiles();
        fs::clearSearchPaths();
        rt().openFileHandles = 0;
    }

    void TearDown() override {
        fs::shutdownFiles();
        fs::clearSearchPaths();
        destroyEngineMutexes();
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }

    // A new folder under the system's temporary folder, '/'-separated.
    static std::string freshTempFolder() {
        std::error_code error;
        std::filesystem::path temp = std::filesystem::temp_directory_path(error);
        if (error) return std::string();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate = temp / ("vozer-fs-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error)) return candidate.generic_string();
        }
        return std::string();
    }

    // Write bytes to an operating-system path below the res:// root, making folders.
    void writeRes(const std::string& relative, const std::string& bytes) { writeOs(res_ + "/" + relative, bytes); }
    static void writeOs(const std::string& path, const std::string& bytes) {
        for (size_t i = 1; i < path.size(); ++i)
            if (path[i] == '/') platform::createDirectory(path.substr(0, i).c_str(), false);
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string readOs(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void writePak(const std::string& path, const std::vector<fs::PakSource>& entries) {
        std::vector<uint8_t> bytes = fs::buildPak(entries);
        writeOs(path, std::string(bytes.begin(), bytes.end()));
    }
    static fs::PakSource entry(const std::string& name, const std::string& data) {
        return fs::PakSource{name, std::vector<uint8_t>(data.begin(), data.end())};
    }

    // Everything readable from an open file.
    static std::string readAll(VozerFile* file) {
        std::string out;
        char buffer[4096];
        int32_t n;
        while ((n = slots::ReadFile(buffer, sizeof buffer, file)) > 0) out.append(buffer, static_cast<size_t>(n));
        return out;
    }
    // Whole file through OpenFile; "<none>" when it does not open.
    static std::string contents(const char* name) {
        VozerFile* f = slots::OpenFile(name, "r");
        if (!f) return "<none>";
        std::string out = readAll(f);
        slots::CloseFile(f);
        return out;
    }

    static std::vector<std::string> texts(const char* slot) {
        std::vector<std::string> out;
        for (const Captured& c : captured())
            if (c.slot == slot) out.push_back(c.text);
        return out;
    }
    static size_t countContaining(const std::string& part) {
        size_t n = 0;
        for (const Captured& c : captured())
            if (c.text.find(part) != std::string::npos) ++n;
        return n;
    }

    std::string base_, res_, user_;
};

}  // namespace vz::fstest
