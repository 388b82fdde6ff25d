// Engine mutexes, named mutexes, threads, the main-loop lock and the clock.
#include <atomic>
#include <chrono>
#include <thread>

#include "../diag/diag_fixture.h"
#include "diag/popup.h"

namespace vz::test {
namespace {

class ThreadsTest : public DiagTest {
protected:
    void SetUp() override {
        DiagTest::SetUp();
        startLog(false);
        rt().coreInitialised = true;  // so that popups are logged where the tests can see them
    }
    static int popupsAbout(const std::string& text) {
        int n = 0;
        for (const std::string& line : memoryTexts()) n += line == "[POPUP] " + text;
        return n;
    }
};

TEST_F(ThreadsTest, EngineMutexNames) {
    EXPECT_STREQ(engineMutexName(MUTEX_PRINT), "PRINT");
    EXPECT_STREQ(engineMutexName(MUTEX_MAIN_LOOP), "MAIN_LOOP");
    EXPECT_STREQ(engineMutexName(MUTEX_CORE_IMP), "CORE_IMP");
    EXPECT_STREQ(engineMutexName(-1), "UNKNOWN");
    EXPECT_STREQ(engineMutexName(ENGINE_MUTEX_COUNT), "UNKNOWN");
    EXPECT_EQ(engineMutex(ENGINE_MUTEX_COUNT), nullptr);
    lockEngineMutex(99);  // outside the table: nothing
    unlockEngineMutex(-5);
}

TEST_F(ThreadsTest, LockedByteIsAFlagNotACount) {
    const std::string warning = "Trying to unlock mutex 'GET_BITMAP' which is not locked!";
    lockEngineMutex(MUTEX_GET_BITMAP);
    lockEngineMutex(MUTEX_GET_BITMAP);
    unlockEngineMutex(MUTEX_GET_BITMAP);
    EXPECT_EQ(popupsAbout(warning), 0);
    unlockEngineMutex(MUTEX_GET_BITMAP);
    EXPECT_EQ(popupsAbout(warning), 1) << "the second unlock finds the flag cleared";
    // Both levels were released nevertheless: another thread gets it at once.
    std::atomic<bool> got{false};
    std::thread other([&] {
        lockEngineMutex(MUTEX_GET_BITMAP);
        got = true;
        unlockEngineMutex(MUTEX_GET_BITMAP);
    });
    other.join();
    EXPECT_TRUE(got);
}

TEST_F(ThreadsTest, UnbalancedUnlocksAreReportedNotFatal) {
    unlockEngineMutex(MUTEX_GFX_HW);
    EXPECT_EQ(popupsAbout("Trying to unlock mutex 'GFX_HW' which is not locked!"), 1);
    unlockEngineMutex(MUTEX_PRINT);  // PRINT is exempt: the popup itself needs it
    for (const std::string& line : memoryTexts()) EXPECT_EQ(line.find("'PRINT'"), std::string::npos);

    // Another thread cannot release a lock the main thread holds.
    lockEngineMutex(MUTEX_RESOURCE_QUEUE);
    std::thread intruder([] { unlockEngineMutex(MUTEX_RESOURCE_QUEUE); });
    intruder.join();
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        lockEngineMutex(MUTEX_RESOURCE_QUEUE);
        got = true;
        unlockEngineMutex(MUTEX_RESOURCE_QUEUE);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got) << "the intruder's unlock released the main thread's lock";
    unlockEngineMutex(MUTEX_RESOURCE_QUEUE);
    waiter.join();
    EXPECT_TRUE(got);
}

TEST_F(ThreadsTest, MissingEngineMutexesAreIgnored) {
    destroyEngineMutexes();
    lockEngineMutex(MUTEX_GET_PATH);
    unlockEngineMutex(MUTEX_GET_PATH);
    { EngineLock guard(MUTEX_GET_FONT); }
    EXPECT_EQ(engineMutex(MUTEX_GET_PATH), nullptr);
    EXPECT_STREQ(currentThreadName(), "");
    createThreadRegistryLock();
    createEngineMutexes();
}

TEST_F(ThreadsTest, NamedMutexesAreFoundByName) {
    VozerMutex* a = api()->CreateMutex("assets");
    VozerMutex* b = api()->CreateMutex("assets");
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_NE(api()->CreateMutex("other"), a);
    VozerMutex* n1 = api()->CreateMutex(nullptr);
    VozerMutex* n2 = api()->CreateMutex(nullptr);
    VozerMutex* e1 = api()->CreateMutex("");
    EXPECT_NE(n1, n2);
    EXPECT_NE(n1, e1);
    EXPECT_TRUE(memoryHas("Created Mutex 'assets'.."));
    EXPECT_TRUE(memoryHas("Created Mutex ''.."));
    api()->DestroyMutex(n1);
    api()->DestroyMutex(n2);
}

TEST_F(ThreadsTest, DestroyedMutexIsForgotten) {
    VozerMutex* first = api()->CreateMutex("temp");
    api()->DestroyMutex(first);
    VozerMutex* second = api()->CreateMutex("temp");
    ASSERT_NE(second, nullptr);
    api()->LockMutex(second);
    api()->UnlockMutex(second);
    api()->DestroyMutex(second);
    api()->DestroyMutex(second);  // again: reported, not freed twice
    api()->DestroyMutex(nullptr);
    api()->DestroyMutex(engineMutex(MUTEX_GET_SOUND));  // not the Program's: left alone
    EXPECT_NE(engineMutex(MUTEX_GET_SOUND), nullptr);
    int reports = 0;
    for (const std::string& line : memoryTexts()) reports += line.rfind("ZT_DestroyMutex:", 0) == 0;
    EXPECT_EQ(reports, 2);
    // Shutdown destroys what is left in the registry; a later CreateMutex starts afresh.
    api()->CreateMutex("left over");
}

TEST_F(ThreadsTest, NamedMutexIsRecursiveAndExclusive) {
    VozerMutex* m = api()->CreateMutex("pair");
    api()->LockMutex(m);
    api()->LockMutex(m);
    std::atomic<bool> got{false};
    std::thread other([&] {
        api()->LockMutex(m);
        got = true;
        api()->UnlockMutex(m);
    });
    api()->UnlockMutex(m);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(got) << "one level is still held";
    api()->UnlockMutex(m);
    other.join();
    EXPECT_TRUE(got);

    api()->UnlockMutex(m);  // not held: reported, nothing released
    EXPECT_TRUE(memoryHas("Trying to unlock mutex 'pair' which is not locked!"));
    api()->LockMutex(nullptr);
    api()->UnlockMutex(nullptr);
}

struct ThreadProbe {
    std::atomic<bool> ran{false};
    std::atomic<bool> wasMain{true};
    std::atomic<uint32_t> id{0};
    std::string name;
    std::atomic<bool> release{false};
};

void VZ_CDECL probeThread(void* argument) {
    auto* p = static_cast<ThreadProbe*>(argument);
    p->wasMain = api()->IsMainThread() != 0;
    p->id = api()->GetThreadId();
    p->name = currentThreadName();
    p->ran = true;
}

void VZ_CDECL returnAtOnce(void*) {}

void VZ_CDECL waitForRelease(void* argument) {
    auto* p = static_cast<ThreadProbe*>(argument);
    while (!p->release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(ThreadsTest, ThreadsAreNamedCountedAndNotMain) {
    EXPECT_EQ(api()->IsMainThread(), 1);
    ThreadProbe probe;
    ASSERT_NE(api()->CreateThread("Streamer", &probeThread, &probe, 0), nullptr);
    ASSERT_TRUE(threadsFinished());
    EXPECT_TRUE(probe.ran);
    EXPECT_FALSE(probe.wasMain);
    EXPECT_NE(probe.id.load(), api()->GetThreadId());
    EXPECT_EQ(probe.name, "Streamer");
    EXPECT_STREQ(currentThreadName(), "") << "the main thread has no name";

    for (int i = 0; i < 50; ++i) ASSERT_NE(api()->CreateThread(nullptr, &returnAtOnce, nullptr, 0), nullptr);
    EXPECT_TRUE(threadsFinished());
    EXPECT_EQ(liveThreadCount(), 0);
}

TEST_F(ThreadsTest, RefusedThreads) {
    ThreadProbe probe;
    EXPECT_EQ(api()->CreateThread("flags", &probeThread, &probe, 1), reinterpret_cast<VozerThread>(intptr_t{-1}));
    EXPECT_EQ(liveThreadCount(), 0);
    EXPECT_EQ(popupsAbout("ZT_CreateThread flags parm must be set to zero - reserved for future use."), 1);
    EXPECT_EQ(api()->CreateThread("no entry", nullptr, nullptr, 0), reinterpret_cast<VozerThread>(intptr_t{-1}));
    EXPECT_EQ(liveThreadCount(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(probe.ran);
}

TEST_F(ThreadsTest, ShutdownWaitEndsInTime) {
    ThreadProbe probe;
    ASSERT_NE(api()->CreateThread("Stuck", &waitForRelease, &probe, 0), nullptr);
    EXPECT_FALSE(waitForThreads(200));
    EXPECT_TRUE(memoryHas("Waiting for threads to exit... (1 threads)"));
    EXPECT_TRUE(memoryHas("Time out: 1 threads left running!"));
    probe.release = true;
    EXPECT_TRUE(waitForThreads(3000));
}

TEST_F(ThreadsTest, MainLoopLockIsForWorkersOnly) {
    // The frame holds MAIN_LOOP; the main thread's own LockMainLoop must not wait.
    lockEngineMutex(MUTEX_MAIN_LOOP);
    api()->LockMainLoop();
    api()->UnlockMainLoop();

    std::atomic<int> stage{0};
    struct Args {
        std::atomic<int>* stage;
    } args{&stage};
    auto worker = [](void* a) {
        auto* s = static_cast<Args*>(a)->stage;
        api()->LockMainLoop();
        *s = 1;
        api()->UnlockMainLoop();
    };
    ASSERT_NE(api()->CreateThread("Worker", worker, &args, 0), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(stage, 0) << "a worker waits while the frame runs";
    unlockEngineMutex(MUTEX_MAIN_LOOP);
    EXPECT_TRUE(threadsFinished());
    EXPECT_EQ(stage, 1);
    EXPECT_EQ(popupsAbout("Trying to unlock mutex 'MAIN_LOOP' which is not locked!"), 0);
}

TEST_F(ThreadsTest, ClockAndDate) {
    int32_t now[6] = {};
    api()->GetDateTime(now);
    EXPECT_GE(now[0], 2000);
    EXPECT_LE(now[0], 9999);
    EXPECT_GE(now[1], 1);
    EXPECT_LE(now[1], 12);
    EXPECT_GE(now[2], 1);
    EXPECT_LE(now[2], 31);
    EXPECT_LE(now[3], 23);
    api()->GetDateTime(nullptr);

    const uint32_t before = api()->GetTime();
    EXPECT_LT(before, 60000u) << "counted from the runtime's start";
    api()->Sleep(20);
    EXPECT_GE(api()->GetTime() - before, 15u);
}

}  // namespace
}  // namespace vz::test
