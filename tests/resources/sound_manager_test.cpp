// The sound manager against the recording sound library: what is loaded,
// shared, counted, hibernated, played and refused, and what the
// implementation is asked for each time.
#include <cmath>
#include <thread>

#include "sound_fixture.h"

namespace vz::soundtest {
namespace {

class SoundManagerTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        if (HasFatalFailure()) return;
        writeRes("boom.wav", std::string(100, 'w'));
        writeRes("theme.ogg", std::string(300, 'o'));
        writeRes("sfx/click.wav", std::string(7, 'c'));
        bind();
    }
};

TEST_F(SoundManagerTest, LoadingSharesOneRecordAndHibernationDropsAndReloadsItsData) {
    VozerSound* boom = slots::LoadSound("boom");
    ASSERT_NE(boom, nullptr);
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound boom boom.wav -> 1"}));
    EXPECT_STREQ(boom->fileName, "boom.wav");
    EXPECT_EQ(boom->dataSize, 100);
    EXPECT_EQ(boom->refCount, 1);
    EXPECT_EQ(boom->cacheMode, VZ_CACHE_HARDWARE);

    EXPECT_EQ(slots::LoadSound("boom"), boom);
    EXPECT_EQ(boom->refCount, 2);
    EXPECT_EQ(takeCalls(), Lines{});

    slots::ReleaseSound(boom);
    EXPECT_EQ(takeCalls(), Lines{});
    slots::ReleaseSound(boom);
    EXPECT_EQ(takeCalls(), (Lines{"FreeSound boom"}));
    EXPECT_STREQ(boom->name, "boom");  // hibernating: the name stays for a fast reload
    EXPECT_EQ(boom->cacheMode, VZ_CACHE_NOTHING);
    EXPECT_EQ(boom->dataSize, 0);
    EXPECT_EQ(boom->implData, nullptr);

    EXPECT_EQ(slots::LoadSound("boom"), boom);
    EXPECT_EQ(boom->refCount, 1);
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound boom boom.wav -> 1"}));

    // The formats are tried in order; a name with an extension is used as given.
    VozerSound* theme = slots::LoadSound("theme");
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound theme theme.wav -> 0", "LoadSound theme theme.ogg -> 1"}));
    EXPECT_STREQ(theme->fileName, "theme.ogg");
    slots::LoadSound("sfx/click.wav");
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound sfx/click.wav sfx/click.wav -> 1"}));
    EXPECT_EQ(takePopups(), Lines{});  // the extension popup is a developer aid

    rt().boot.developerMode = true;
    slots::LoadSound("sfx/click.wav");
    EXPECT_EQ(takePopups(), (Lines{"1: Sound name 'sfx/click.wav' has file extension. Remove it from the file name."}));

    // A missing file keeps its record, loaded in name only.
    VozerSound* missing = slots::LoadSound("missing");
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound missing missing.wav -> 0", "LoadSound missing missing.ogg -> 0",
                                         "LoadSound missing missing.mp3 -> 0"}));
    EXPECT_EQ(takePopups(), (Lines{"1: Sound resource 'missing' not found."}));
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->cacheMode, VZ_CACHE_HARDWARE);
    EXPECT_EQ(missing->fileName, nullptr);
}

TEST_F(SoundManagerTest, GetSoundCountsOnceAndFindOnlyNeverCreates) {
    EXPECT_EQ(slots::GetSoundEx("boom", VZ_CACHE_FIND_ONLY), nullptr);
    EXPECT_EQ(takeCalls(), Lines{});
    EXPECT_EQ(messages("Print"), Lines{});

    VozerSound* boom = slots::GetSound("boom");
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound boom boom.wav -> 1"}));
    EXPECT_EQ(slots::GetSound("boom"), boom);
    EXPECT_EQ(slots::GetSoundEx("boom", VZ_CACHE_FIND_ONLY), boom);
    EXPECT_EQ(boom->refCount, 1);
    EXPECT_TRUE(boom->flags & VZ_SOUND_COUNTED);

    // LoadSound counts every time; GetSound only once, so its count is one
    // release too many and says so.
    slots::LoadSound("boom");
    slots::ReleaseSound(boom);
    EXPECT_EQ(takePopups(), Lines{});
    slots::ReleaseSound(boom);
    EXPECT_EQ(takeCalls(), (Lines{"FreeSound boom"}));
    EXPECT_EQ(takePopups(),
                (Lines{"1: Releasing sound 'boom' too many times: ref counting will get messed up. NOTE: sound "
                            "has been accessed using GetSound which increses ref count by 1 once."}));

    // Counted before: returned as it is, hibernating, not counted again.
    EXPECT_EQ(slots::GetSound("boom"), boom);
    EXPECT_EQ(boom->refCount, 0);
    EXPECT_EQ(takeCalls(), Lines{});

    // A hibernating sound that GetSound counts for the first time is in use
    // again, and so loaded again.
    VozerSound* theme = slots::LoadSound("theme");
    slots::ReleaseSound(theme);
    takeCalls();
    EXPECT_EQ(slots::GetSound("theme"), theme);
    EXPECT_EQ(theme->refCount, 1);
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound theme theme.wav -> 0", "LoadSound theme theme.ogg -> 1"}));
    EXPECT_EQ(theme->cacheMode, VZ_CACHE_HARDWARE);
}

TEST_F(SoundManagerTest, CountMisuseIsReportedAndCorrected) {
    rt().printReferenceCountChanges = true;
    VozerSound* boom = slots::LoadSound("boom");
    slots::ReleaseSound(boom);
    slots::ReleaseSound(boom);
    EXPECT_EQ(boom->refCount, 0);
    EXPECT_EQ(takePopups(), (Lines{"1: Sound 'boom' reference count less than zero."}));
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound boom boom.wav -> 1", "FreeSound boom"}));

    slots::LoadSound("boom");
    for (int i = 0; i < 4100; ++i) slots::LoadSound("boom");
    EXPECT_EQ(boom->refCount, 4096);
    const std::vector<std::string> popups = takePopups();
    ASSERT_FALSE(popups.empty());
    EXPECT_EQ(popups.front(), "1: Sound 'boom' reference count suspiciously high: capping at 4096.");

    fstest::captured().clear();
    slots::ReleaseSound(boom);
    EXPECT_EQ(messages("Log"), (Lines{"0: ReleaseSound: 'boom' ref count--: now 4095"}));

    // Placeholders are never loaded or counted, so loading and releasing them
    // any number of times is quiet.
    fstest::captured().clear();
    takeCalls();
    VozerSound* none = slots::LoadSound("!NONE");
    EXPECT_EQ(slots::LoadSound("!NONE"), none);
    slots::ReleaseSound(none);
    slots::ReleaseSound(none);
    slots::ReleaseSound(none);
    VozerSound* lower = slots::GetSoundEx("!none", 2);
    EXPECT_EQ(lower->cacheMode, 2);
    EXPECT_EQ(none->cacheMode, VZ_CACHE_HARDWARE);
    EXPECT_EQ(slots::PlaySound(none, 1.0f, 0.0f, 1.0f), nullptr);
    slots::PlayMusic(none, 1.0f, 0.0f);
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> (null)"}));
    EXPECT_EQ(takePopups(), Lines{});
}

TEST_F(SoundManagerTest, WithoutCountingAReleaseFreesTheSlotForTheNextSound) {
    rt().hibernateUnreferenced = false;
    VozerSound* boom = slots::LoadSound("boom");
    slots::LoadSound("boom");
    slots::ReleaseSound(boom);
    EXPECT_EQ(boom->name, nullptr);
    EXPECT_EQ(boom->fileName, nullptr);
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound boom boom.wav -> 1", "FreeSound boom"}));
    // The freed record plays nothing and is not released twice.
    EXPECT_EQ(slots::PlaySound(boom, 1.0f, 0.0f, 1.0f), nullptr);
    slots::ReleaseSound(boom);
    EXPECT_EQ(takeCalls(), Lines{});

    VozerSound* theme = slots::LoadSound("theme");
    EXPECT_EQ(theme, boom);  // the first free slot
    EXPECT_STREQ(theme->name, "theme");
    EXPECT_EQ(theme->refCount, 1);
    EXPECT_EQ(theme->lastPlayTime, 0u);
}

TEST_F(SoundManagerTest, BadRequestsGetTheirAnswersAndTouchNothing) {
    // The 257th distinct sound.
    std::vector<VozerSound*> sounds;
    for (int i = 0; i < sound::POOL_SIZE; ++i) sounds.push_back(slots::LoadSound(("s" + std::to_string(i)).c_str()));
    EXPECT_EQ(std::count(sounds.begin(), sounds.end(), nullptr), 0);
    takePopups();
    takeCalls();
    EXPECT_EQ(slots::LoadSound("one-too-many"), nullptr);
    EXPECT_EQ(slots::GetSound("one-too-many"), nullptr);
    EXPECT_EQ(takePopups(), (Lines{"2:  ! Vozer out of free sounds.", "2:  ! Vozer out of free sounds."}));
    EXPECT_EQ(takeCalls(), Lines{});
    EXPECT_EQ(slots::LoadSound("s17"), sounds[17]);  // existing names are still served
    sound::resetPool();

    // Null names: a record with an empty name, and a complaint naming the slot.
    VozerSound* unnamed = slots::LoadSound(nullptr);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_STREQ(unnamed->name, "");
    EXPECT_EQ(slots::GetSoundEx(nullptr, VZ_CACHE_HARDWARE), unnamed);
    const std::vector<std::string> popups = takePopups();
    EXPECT_EQ(popups.front(), "1: zt->LoadSound called with null parameter (forbidden).");
    EXPECT_NE(std::find(popups.begin(), popups.end(), "1: ZT_GetSoundEx called with null parameter (forbidden)."),
              popups.end());

    // A name too long to carry an extension is not found; no cut-short
    // name reaches the implementation.
    takeCalls();
    const std::string longName(600, 'n');
    VozerSound* tooLong = slots::LoadSound(longName.c_str());
    ASSERT_NE(tooLong, nullptr);
    EXPECT_EQ(takeCalls(), Lines{});
    EXPECT_EQ(takePopups().size(), 1u);

    // Records that are not the pool's are ignored by every slot.
    VozerSound foreign{};
    char name[] = "boom";
    foreign.name = name;
    foreign.refCount = 1;
    slots::ReleaseSound(&foreign);
    slots::SetSoundCacheMode(&foreign, VZ_CACHE_NOTHING);
    EXPECT_EQ(slots::PlaySound(&foreign, 1.0f, 0.0f, 1.0f), nullptr);
    slots::PlayMusic(&foreign, 1.0f, 0.0f);
    slots::ReleaseSound(nullptr);
    EXPECT_EQ(slots::PlaySound(nullptr, 1.0f, 0.0f, 1.0f), nullptr);
    slots::PlayMusic(nullptr, 1.0f, 0.0f);
    EXPECT_EQ(foreign.refCount, 1);
    EXPECT_EQ(takeCalls(), Lines{});
}

TEST_F(SoundManagerTest, OneSoundStartsAtMostOncePer50Milliseconds) {
    VozerSound* boom = slots::LoadSound("boom");
    takeCalls();
    EXPECT_EQ(slots::PlaySound(boom, 0.5f, -1.0f, 1.0f), reinterpret_cast<VozerChannel>(1));
    clock() += 49;
    EXPECT_EQ(slots::PlaySound(boom, 1.0f, 0.0f, 1.0f), nullptr);
    clock() += 1;
    EXPECT_EQ(slots::PlaySound(boom, NAN, 2.0f, 1.0f), reinterpret_cast<VozerChannel>(2));
    EXPECT_EQ(takeCalls(), (Lines{"PlaySound boom 0.500 -1.000 1.000 -> #1",
                                         "PlaySound boom nan 2.000 1.000 -> #2"}));
    EXPECT_EQ(boom->lastPlayTime, 1050u);

    // Channels pass through; a null channel never reaches the implementation.
    VozerChannel channel = reinterpret_cast<VozerChannel>(2);
    slots::ChannelOpA(channel);
    slots::ChannelOpF(channel, 0.25f);
    EXPECT_EQ(slots::ChannelOpG(channel), 1);
    EXPECT_EQ(slots::ChannelOpH(channel), 7);
    slots::FadeOutSound(channel, 2.0f);
    slots::SoundCommand(3);
    slots::ChannelOpA(nullptr);
    slots::ChannelOpB(nullptr, 1.0f);
    EXPECT_EQ(slots::ChannelOpG(nullptr), 0);
    EXPECT_EQ(slots::ChannelOpH(nullptr), 0);
    slots::FadeOutSound(nullptr, 1.0f);
    EXPECT_EQ(takeCalls(), (Lines{"ChannelOpA #2", "ChannelOpF #2 0.250", "ChannelOpG #2 -> 1",
                                         "ChannelOpH #2 -> 7", "SlideSoundVolume #2 -0.100 2.000", "SoundCommand 3"}));

    // A sound whose file is missing reaches the implementation, which plays nothing.
    VozerSound* missing = slots::LoadSound("missing");
    takeCalls();
    EXPECT_EQ(slots::PlaySound(missing, 1.0f, 0.0f, 1.0f), nullptr);
    EXPECT_EQ(takeCalls(), (Lines{"PlaySound missing 1.000 0.000 1.000 -> #0"}));
}

TEST_F(SoundManagerTest, MusicFadesSlidesSwitchesAndStops) {
    VozerSound* theme = slots::LoadSound("theme");
    VozerSound* boom = slots::LoadSound("boom");
    takeCalls();
    auto frame = [] {
        rt().sound->ops->FrameBegin(rt().sound);
        rt().sound->ops->FrameEnd(rt().sound);
    };

    slots::PlayMusic(theme, 0.5f, 2.0f);
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> (null)", "PlayMusic theme 0.500 2.000"}));
    clock() += 1999;
    frame();
    clock() += 1;
    frame();
    EXPECT_EQ(takeCalls(), (Lines{"FrameBegin", "FrameEnd", "FrameBegin",
                                         "music-volume 0.500 reached after 2000 ms", "FrameEnd"}));

    // The music already playing only slides to the new volume, over a second.
    slots::PlayMusic(theme, 0.8f, 3.0f);
    clock() += 1000;
    frame();
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> theme", "SlideMusicVolume 0.800 1.000", "FrameBegin",
                                         "music-volume 0.800 reached after 1000 ms", "FrameEnd"}));

    // Other music: the old one fades out over a second first; a silent
    // start needs no fade-in.
    slots::PlayMusic(boom, 0.0f, 5.0f);
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> theme", "StopMusic 1.000",
                                         "PlayMusic boom 0.000 0.000", "music-volume 0.000 reached after 0 ms"}));
    EXPECT_EQ(slots::GetCurrentMusic(), boom);

    slots::StopMusic(0.5f);
    slots::StopMusic(0.5f);  // nothing playing any more
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> boom", "StopMusic 0.500"}));

    // Out-of-range and NaN values are clamped; complaints only in developer mode.
    slots::PlayMusic(theme, 1.5f, NAN);
    slots::SlideMusicVolume(-2.0f, -1.0f);
    slots::SetMusicVolume(NAN);
    slots::SetMusicVolume(7.0f);
    EXPECT_EQ(takePopups(), Lines{});
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> (null)", "PlayMusic theme 1.000 0.000",
                                         "music-volume 1.000 reached after 0 ms", "SlideMusicVolume 0.000 0.000",
                                         "music-volume 0.000 reached after 0 ms", "SetMusicVolume 0.000",
                                         "SetMusicVolume 1.000"}));

    rt().boot.developerMode = true;
    slots::PlayMusic(boom, 1.5f, 11.0f);
    slots::SlideMusicVolume(NAN, 12.0f);
    slots::StopMusic(8.0f);
    slots::SetMusicLooping(1);
    EXPECT_EQ(takePopups(), (Lines{"1: ZT_PlayMusic: Fade in time is suspiciously high (11)",
                                          "1: ZT_PlayMusic: Volume parameter out of range 0..1 (1.5)",
                                          "1: ZT_SlideMusicVolume: slide_time is suspiciously high (12)",
                                          "1: ZT_SlideMusicVolume: target_volume parameter out of range 0..1 (nan)",
                                          "1: Fade out time in ZT_StopMusic suspiciously high (8)",
                                          "1: SetMusicLooping is deprecated: music is always looping."}));
    EXPECT_EQ(takeCalls(), (Lines{"GetCurrentMusic -> theme", "StopMusic 1.000", "PlayMusic boom 1.000 11.000",
                                         "SlideMusicVolume 0.000 12.000", "StopMusic 8.000"}));

    // Releasing the music drops its data; the implementation stops it.
    slots::PlayMusic(theme, 1.0f, 0.0f);
    takeCalls();
    slots::ReleaseSound(theme);
    EXPECT_EQ(takeCalls(), (Lines{"FreeSound theme"}));
    EXPECT_EQ(slots::GetCurrentMusic(), nullptr);
}

TEST_F(SoundManagerTest, SoundsAreLoadedAgainIntoANewlyBoundLibrary) {
    VozerSound* boom = slots::LoadSound("boom");
    VozerSound* theme = slots::LoadSound("theme");
    VozerSound* sleeping = slots::LoadSound("sfx/click.wav");
    slots::ReleaseSound(sleeping);
    slots::LoadSound("!NONE");
    // The file goes away while the game runs.
    std::filesystem::remove(res_ + "/theme.ogg");
    takeCalls();
    fstest::captured().clear();

    rt().sound->ops->Shutdown(rt().sound);
    unbindSound();
    startSoundImplementation();
    reloadSounds();
    EXPECT_EQ(takeCalls(), (Lines{"Shutdown", "GetInterface -> 1", "Init sounds-disabled=0 -> 1",
                                         "LoadSound boom boom.wav -> 1", "LoadSound theme theme.wav -> 0",
                                         "LoadSound theme theme.ogg -> 0", "LoadSound theme theme.mp3 -> 0"}));
    const Lines logs = messages("Log");
    EXPECT_NE(std::find(logs.begin(), logs.end(), "1: Unable to reload sound 'theme'"), logs.end());
    EXPECT_NE(boom->implData, nullptr);
    EXPECT_EQ(theme->implData, nullptr);
    EXPECT_EQ(sleeping->cacheMode, VZ_CACHE_NOTHING);

    // The hibernating one is loaded once when it is wanted again.
    slots::LoadSound("sfx/click.wav");
    EXPECT_EQ(takeCalls(), (Lines{"LoadSound sfx/click.wav sfx/click.wav -> 1"}));
}

int32_t VZ_CDECL quietPrint(const char*, ...) { return 0; }
int32_t VZ_CDECL quietMessage(int32_t, const char*, ...) { return 0; }

TEST_F(SoundManagerTest, ThreadsSharingSoundsKeepTheCountsRight) {
    constexpr int THREADS = 4, ROUNDS = 300;
    api()->Print = quietPrint;  // the captured messages are for one thread
    api()->Log = quietMessage;
    api()->Popup = quietMessage;
    slots::LoadSound("boom");  // held throughout: never hibernates
    takeCalls();
    std::vector<std::thread> workers;
    for (int t = 0; t < THREADS; ++t) {
        workers.emplace_back([t] {
            const std::string own = "own" + std::to_string(t);
            for (int i = 0; i < ROUNDS; ++i) {
                VozerSound* shared = slots::LoadSound("boom");
                slots::GetSound(own.c_str());
                slots::GetSound("everyone");
                slots::ReleaseSound(shared);
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    VozerSound* boom = slots::GetSoundEx("boom", VZ_CACHE_FIND_ONLY);
    EXPECT_EQ(boom->refCount, 1);
    EXPECT_EQ(slots::GetSoundEx("everyone", VZ_CACHE_FIND_ONLY)->refCount, 1);
    EXPECT_EQ(sound::usedSlots(), 2 + THREADS);
    for (const std::string& line : takeCalls()) {
        EXPECT_EQ(line.find("(was loaded)"), std::string::npos) << line;
        EXPECT_EQ(line.find("FreeSound boom"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace vz::soundtest
