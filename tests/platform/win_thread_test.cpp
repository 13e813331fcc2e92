// Threads, events and the critical section.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/testing.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"

namespace plat {
namespace {

TEST(ThreadTest, ThreadIdsAreDistinctAndNeverTheNoneValues) {
    DWORD mine = GetCurrentThreadId();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(mine, 0xFFFFFFFFu);
    EXPECT_EQ(GetCurrentThreadId(), mine);
    DWORD reported = 0;
    static std::atomic<DWORD> inside{0};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            inside = GetCurrentThreadId();
            return 7;
        },
        nullptr, 0, &reported);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(inside.load(), reported);
    EXPECT_NE(reported, mine);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
}

TEST(ThreadTest, RunningThreadReportsStillActiveAndMayBeClosedWhileRunning) {
    HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* g) -> DWORD {
            WaitForSingleObject(g, INFINITE);
            return 0;
        },
        gate, 0, nullptr);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(gate);
    Sleep(20);
    CloseHandle(gate);
}

TEST(ThreadTest, ManualResetEventStaysSetUntilResetAndTimedWaitsTimeOut) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 5), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
}

TEST(ThreadTest, AutoResetEventWakesOneWaitAndResets) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(ThreadTest, EventWakesAWaitingThread) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* e) -> DWORD { return WaitForSingleObject(e, 10000) == WAIT_OBJECT_0 ? 1 : 2; },
        event, 0, nullptr);
    Sleep(5);
    SetEvent(event);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(ThreadTest, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
    static CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            if (TryEnterCriticalSection(&section)) {
                LeaveCriticalSection(&section);
                return 1;
            }
            return 0;
        },
        nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 9;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    // A bitwise copy names the same lock, as the engine's saved state block relies on.
    CRITICAL_SECTION copy;
    std::memcpy(&copy, &section, sizeof copy);
    EXPECT_TRUE(TryEnterCriticalSection(&copy));
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
    EXPECT_EQ(section.impl, nullptr);
}

TEST(ThreadTest, CountingUnderTheCriticalSectionLosesNothing) {
    static CRITICAL_SECTION section;
    static long counter;
    counter = 0;  // a static outlives a repeated run of this test
    InitializeCriticalSection(&section);
    auto work = [](void*) -> DWORD {
        for (int i = 0; i < 10000; ++i) {
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
        }
        return 0;
    };
    HANDLE a = CreateThread(nullptr, 0, work, nullptr, 0, nullptr);
    HANDLE b = CreateThread(nullptr, 0, work, nullptr, 0, nullptr);
    WaitForSingleObject(a, INFINITE);
    WaitForSingleObject(b, INFINITE);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&section);
}

TEST(ThreadTest, CriticalSectionUsedBeforeInitialisationStopsWithAMessage) {
    CRITICAL_SECTION never{};
    EXPECT_DEATH(EnterCriticalSection(&never), "before InitializeCriticalSection");
}

}  // namespace
}  // namespace plat
