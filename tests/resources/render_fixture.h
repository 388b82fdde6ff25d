// A runtime with the real headless renderer library (loaded and started the
// way the runtime does it) and a Program record, res:// and user:// in a fresh
// temporary folder, and the message slots captured. The renderer's journal
// shows what the drawing path asked it to draw. Shared by the api and
// resources tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/shutdown.h"
#include "core/startup.h"
#include "fs/files.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "resources/bitmap_pool.h"
#include "resources/resource_queue.h"
#include "state/runtime_state.h"

namespace vz::test {

struct Messages {
    std::vector<std::string> popups;  // "level: text"
    std::vector<std::string> logs;    // Print and Log: "level: text"
    std::vector<std::string> events;  // "17 name"
};

inline Messages& messages() {
    static Messages m;
    return m;
}

inline std::string formatted(const char* format, va_list args) {
    char text[2048];
    std::vsnprintf(text, sizeof text, format ? format : "(null)", args);
    return text;
}

inline int32_t VZ_CDECL capturePrint(const char* format, ...) {
    va_list a;
    va_start(a, format);
    messages().logs.push_back("0: " + formatted(format, a));
    va_end(a);
    return 0;
}
inline int32_t VZ_CDECL captureLog(int32_t level, const char* format, ...) {
    va_list a;
    va_start(a, format);
    messages().logs.push_back(std::to_string(level) + ": " + formatted(format, a));
    va_end(a);
    return 0;
}
inline int32_t VZ_CDECL capturePopup(int32_t level, const char* format, ...) {
    va_list a;
    va_start(a, format);
    messages().popups.push_back(std::to_string(level) + ": " + formatted(format, a));
    va_end(a);
    return 0;
}
inline int32_t VZ_CDECL recordEvent(VozerEvent event) {
    std::string text = std::to_string(event.type);
    if (event.type == VZ_EVENT_RENDER_TARGET_LOST) {
        const auto* bitmap = static_cast<const VozerBitmap*>(vz_event_pointer(&event));
        text += std::string(" ") + (bitmap && bitmap->name ? bitmap->name : "?");
    }
    messages().events.push_back(text);
    return 0;
}

inline size_t countContaining(const std::vector<std::string>& lines, const std::string& part) {
    size_t n = 0;
    for (const std::string& line : lines) n += line.find(part) != std::string::npos;
    return n;
}

class RenderFixture : public ::testing::Test {
protected:
    // Programs that ask for unreferenced resources to hibernate turn counting on.
    virtual bool hibernates() const { return true; }

    void SetUp() override {
        messages() = Messages{};
        createThreadRegistryLock();
        resetRuntimeState();
        clearEngineApi();
        fillEngineApi();
        zt = api();
        zt->Print = capturePrint;
        zt->Log = captureLog;
        zt->Popup = capturePopup;
        recordMainThread();
        createEngineMutexes();

        base_ = freshTempFolder();
        ASSERT_FALSE(base_.empty());
        res_ = base_ + "/res";
        ASSERT_TRUE(platform::createDirectory(res_.c_str(), false));
        ASSERT_TRUE(platform::createDirectory((base_ + "/user").c_str(), false));
        for (int t = 0; t < fs::TARGET_COUNT; ++t) fs::setTargetRoot(t, t >= 3 ? res_ : base_ + "/user");
        fs::clearSearchPaths();
        zt->AddSearchPath("res://", 1);

        std::memset(&program, 0, sizeof program);
        program.interfaceVersion = VZ_INTERFACE_VERSION;
        program.api = zt;
        program.display.width = 800;
        program.display.height = 600;
        program.display.windowed = 1;
        program.display.hibernateUnreferenced = hibernates() ? 1 : 0;
        rt().hibernateUnreferenced = hibernates();  // as initialisation copies it
        program.OnEvent = recordEvent;
        RuntimeState& state = rt();
        state.shared.program = &program;
        state.requested = program.display;
        state.rendererParams = program.display;
        state.renderTargets.assign(1, nullptr);

        library_ = platform::loadLibrary(rendererPath().c_str());
        ASSERT_NE(library_, nullptr) << "the headless renderer is built beside the tests: " << rendererPath();
        auto getInterface =
            reinterpret_cast<VozerRendImpGetInterfaceFn>(platform::findSymbol(library_, VZ_RENDIMP_EXPORT));
        ASSERT_NE(getInterface, nullptr);
        state.renderer = getInterface();
        state.renderer->ops->SetEngineApi(state.renderer, zt);
        ASSERT_TRUE(initialiseRenderer());
        state.coreInitialised = true;
        extension("Journal", "Start");
    }

    void TearDown() override {
        shutdownRenderer();
        EXPECT_EQ(extension("Journal", "Textures").substr(0, 7), "live 0 ") << "every texture is released";
        clearBitmapPool();
        extension("Journal", "Stop");
        rt().renderer = nullptr;
        platform::freeLibrary(library_);
        fs::shutdownFiles();
        fs::clearSearchPaths();
        destroyEngineMutexes();
        resetRuntimeState();
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }

    std::string extension(const char* category, const char* name) {
        VozerRendImp* r = rt().renderer;
        const char* answer = r ? r->ops->Extension(r, category, name) : nullptr;
        return answer ? answer : "";
    }

    // The journal lines since the last call.
    std::vector<std::string> journal() {
        std::vector<std::string> lines;
        std::istringstream in(extension("Journal", "Take"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Journal lines that start with `prefix`.
    std::vector<std::string> journalOf(const std::string& prefix) {
        std::vector<std::string> lines;
        for (const std::string& line : journal())
            if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
        return lines;
    }

    // The four corners of a "quad" journal line as {x, y}.
    static std::vector<std::pair<float, float>> corners(const std::string& quadLine) {
        std::vector<std::pair<float, float>> result;
        std::istringstream in(quadLine);
        std::string word;
        in >> word >> word;  // "quad", the bitmap
        while (in >> word) {
            float x = 0, y = 0;
            std::sscanf(word.c_str(), "%f,%f", &x, &y);
            result.emplace_back(x, y);
        }
        return result;
    }

    // A bitmap of the given size filled with one colour, uploaded.
    VozerBitmap* solidBitmap(const char* name, int32_t width, int32_t height, uint32_t color) {
        VozerBitmap* bitmap = zt->CreateBitmap(name, width, height, 0);
        if (!bitmap) return nullptr;
        for (int32_t i = 0; i < width * height; ++i) bitmap->pixels[i] = color;
        zt->RefreshBitmap(bitmap);
        return bitmap;
    }

    static std::string freshTempFolder() {
        std::error_code error;
        std::filesystem::path temp = std::filesystem::temp_directory_path(error);
        if (error) return std::string();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate = temp / ("vozer-draw-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error)) return candidate.generic_string();
        }
        return std::string();
    }

    static std::string rendererPath() {
#ifdef _WIN32
        return std::string("Z:") + VOZER_TEST_BINARY_DIR + "/core/gfxmod_null.dll";
#else
        return std::string(VOZER_TEST_BINARY_DIR) + "/core/gfxmod_null.so";
#endif
    }

    VozerEngineApi* zt = nullptr;
    VozerProgramRecord program{};
    std::string base_, res_;
    void* library_ = nullptr;
};

}  // namespace vz::test
