// Binding the sound library: a library that is missing, refuses to start or
// hands out no object leaves the null implementation bound, with the
// messages that say so, and the sound slots keep answering.
#include "sound_fixture.h"

namespace vz::soundtest {
namespace {

bool hasLine(const Lines& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

TEST_F(SoundTest, ALibraryThatDoesNotWorkLeavesTheNullImplementation) {
    struct Case {
        const char* library;
        const char* controls;
        const char* error;
        const char* calls;
    };
    const Case cases[] = {
        {"sndmod_missing.dll", "", "2: [FATAL] SoundImp Library not found or bad (error code ", ""},
        {LIBRARY, "init-fails", nullptr, "GetInterface -> 1\nInit sounds-disabled=0 -> 0\n"},
        {LIBRARY, "no-interface", "2: [FATAL] SoundImp Library, GetInterface failed.\n", "GetInterface -> 0\n"},
    };
    writeRes("boom.wav", "RIFF");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controls);
        rt().soundName = c.library;
        control_(c.controls);
        fstest::captured().clear();
        startSoundImplementation();
        EXPECT_EQ(rt().sound, nullSoundImp());
        EXPECT_EQ(std::string(calls_()), c.calls);
        const Lines logs = messages("Log");
        if (c.error) {
            EXPECT_TRUE(hasLine(logs, c.error)) << testing::PrintToString(logs);
        }
        EXPECT_TRUE(hasLine(logs, "1: No Sound Implementation available.")) << testing::PrintToString(logs);

        // Silence, but every slot answers: sounds load in name only.
        VozerSound* boom = slots::LoadSound("boom");
        ASSERT_NE(boom, nullptr);
        EXPECT_STREQ(boom->fileName, "boom.wav");
        EXPECT_EQ(slots::PlaySound(boom, 1.0f, 0.0f, 1.0f), nullptr);
        slots::PlayMusic(boom, 1.0f, 1.0f);
        EXPECT_EQ(slots::GetCurrentMusic(), nullptr);
        slots::StopMusic(1.0f);
        slots::ReleaseSound(boom);
        EXPECT_EQ(takePopups(), Lines{});

        rt().sound->ops->Shutdown(rt().sound);
        unbindSound();
        sound::resetPool();
        clear_();
    }
}

}  // namespace
}  // namespace vz::soundtest
