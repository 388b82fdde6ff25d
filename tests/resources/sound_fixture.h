// The sound manager with the recording sound library (tests/sound_libs/record)
// bound through the real binding path, on a file layer of temporary folders.
// The library writes down every call it receives; takeCalls() hands over what
// it wrote since the last look, so each step of a test checks exactly what
// the manager asked of the implementation.
#pragma once

#include <sstream>

#include "../fs/fs_fixture.h"
#include "core/plugin_binding.h"
#include "resources/resource_queue.h"
#include "resources/sound_pool.h"

namespace vz::soundtest {

#if defined(_WIN32)
constexpr const char* LIBRARY = "sndmod_record.dll";
#else
constexpr const char* LIBRARY = "sndmod_record.so";
#endif

inline uint32_t& clock() {
    static uint32_t now = 1000;
    return now;
}
inline uint32_t fakeTime() { return clock(); }

class SoundTest : public fstest::FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        if (HasFatalFailure()) return;
        clock() = 1000;
        api()->GetTime = &fakeTime;
        rt().shared.api = api();
        std::memset(&program_, 0, sizeof program_);
        program_.display.hibernateUnreferenced = 1;
        rt().shared.program = &program_;
        rt().hibernateUnreferenced = true;  // as initialisation copies it
        sound::resetPool();

        writeOs(res_ + "/core/" + LIBRARY, readOs(std::string(VOZER_TEST_BINARY_DIR) + "/testsounds/" + LIBRARY));
        // Our own hold on the library: its controls must be set before the
        // runtime binds it, and the binding loads this same module.
        library_ = platform::loadLibrary((res_ + "/core/" + LIBRARY).c_str());
        ASSERT_NE(library_, nullptr);
        control_ = reinterpret_cast<void(VZ_CDECL*)(const char*)>(platform::findSymbol(library_, "VozerTestSound_Control"));
        calls_ = reinterpret_cast<const char*(VZ_CDECL*)()>(platform::findSymbol(library_, "VozerTestSound_Calls"));
        clear_ = reinterpret_cast<void(VZ_CDECL*)()>(platform::findSymbol(library_, "VozerTestSound_Clear"));
        ASSERT_TRUE(control_ && calls_ && clear_);
        control_("");
        clear_();
        slots::AddSearchPath("res://", 1);
        rt().soundName = LIBRARY;
    }

    void TearDown() override {
        if (rt().sound) rt().sound->ops->Shutdown(rt().sound);
        unbindSound();
        sound::resetPool();
        if (clear_) clear_();
        if (library_) platform::freeLibrary(library_);
        rt().shared.program = nullptr;
        rt().hibernateUnreferenced = false;
        FsTest::TearDown();
    }

    // Bind and start the configured library as full initialisation does.
    void bind(const char* controls = "") {
        control_(controls);
        startSoundImplementation();
        takeCalls();
        fstest::captured().clear();
    }

    std::vector<std::string> takeCalls() {
        std::vector<std::string> lines;
        std::istringstream in(calls_());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        clear_();
        return lines;
    }

    // Captured messages of one slot ("Popup", "Log", "Print") as "level: text".
    static std::vector<std::string> messages(const char* slot) {
        std::vector<std::string> out;
        for (const fstest::Captured& c : fstest::captured())
            if (c.slot == slot) out.push_back(std::to_string(c.level) + ": " + c.text);
        return out;
    }
    static std::vector<std::string> takePopups() {
        std::vector<std::string> out = messages("Popup");
        fstest::captured().clear();
        return out;
    }

    VozerProgramRecord program_{};
    void* library_ = nullptr;
    void(VZ_CDECL* control_)(const char*) = nullptr;
    const char*(VZ_CDECL* calls_)() = nullptr;
    void(VZ_CDECL* clear_)() = nullptr;
};

using Lines = std::vector<std::string>;

}  // namespace vz::soundtest
