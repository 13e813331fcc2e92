// Clocks: the millisecond clock and its wrap, the counter, sleeping and the local time.
#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/win/time.h"

namespace plat {
namespace {

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { testing::Reset(); }
    void TearDown() override { testing::Reset(); }
};

TEST_F(ClockTest, RealClockIsNotZeroAndMovesForward) {
    DWORD a = timeGetTime();
    EXPECT_NE(a, 0u);
    Sleep(2);
    DWORD b = timeGetTime();
    EXPECT_GE(static_cast<DWORD>(b - a), 2u);
    EXPECT_EQ(GetTickCount() - b < 1000u, true);
}

TEST_F(ClockTest, CounterFrequencyIsNeverZeroAndTheCounterAdvances) {
    LARGE_INTEGER f;
    LARGE_INTEGER a;
    LARGE_INTEGER b;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_GT(f.QuadPart, 0);
    QueryPerformanceCounter(&a);
    Sleep(1);
    QueryPerformanceCounter(&b);
    EXPECT_GT(b.QuadPart, a.QuadPart);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST_F(ClockTest, FakeClockMovesOnlyWhenAdvancedOrSlept) {
    testing::SetFakeClock(1000);
    EXPECT_EQ(timeGetTime(), 1000u);
    EXPECT_EQ(timeGetTime(), 1000u);
    testing::AdvanceFakeClock(16);
    EXPECT_EQ(timeGetTime(), 1016u);
    Sleep(17);
    EXPECT_EQ(timeGetTime(), 1033u);
    LARGE_INTEGER f;
    LARGE_INTEGER c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    EXPECT_EQ(c.QuadPart * 1000 / f.QuadPart, 1033);
    testing::SetSleepAdvancesFakeClock(false);
    Sleep(1);
    EXPECT_EQ(timeGetTime(), 1033u);
}

TEST_F(ClockTest, ClockWrapsWithoutBreakingAWaitThatComparesByDifference) {
    testing::SetFakeClock(0xFFFFFFF0u);
    DWORD start = timeGetTime();
    int sleeps = 0;
    // The wait every pacing loop makes: until n ms have passed, by unsigned difference.
    while (static_cast<DWORD>(timeGetTime() - start) < 40u && sleeps < 1000) {
        Sleep(1);
        ++sleeps;
    }
    EXPECT_EQ(sleeps, 40);
    EXPECT_EQ(timeGetTime(), 0x18u);  // wrapped past 0
}

TEST_F(ClockTest, TimerCapsAndPeriods) {
    TIMECAPS caps;
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeGetDevCaps(nullptr, sizeof caps), TIMERR_NOCANDO);
}

TEST_F(ClockTest, FakeLocalTimeIsGivenBackAndMovesOnWithTheClock) {
    testing::SetFakeClock(5000);
    testing::SetFakeLocalTime(2008, 12, 31, 23, 59, 59);
    SYSTEMTIME t;
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2008);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 31);
    EXPECT_EQ(t.wHour, 23);
    EXPECT_EQ(t.wMinute, 59);
    EXPECT_EQ(t.wSecond, 59);
    EXPECT_EQ(t.wDayOfWeek, 3);  // a Wednesday
    testing::AdvanceFakeClock(1000);
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2009);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wSecond, 0);
}

TEST_F(ClockTest, FakeLocalTimeHoldsItsDateWhenTheClockUnderItIsSwitched) {
    // Set on the real clock, then the fake one (even set backwards), then the real one again:
    // the date goes on from where it was, never from a reading of the other clock.
    testing::SetFakeLocalTime(2008, 12, 31, 23, 59, 30);
    testing::SetFakeClock(5000);
    SYSTEMTIME t;
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2008);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 31);
    testing::AdvanceFakeClock(31000);
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(before.wYear, 2009);
    EXPECT_EQ(before.wMonth, 1);
    EXPECT_EQ(before.wDay, 1);
    testing::SetFakeClock(0);
    GetLocalTime(&t);
    EXPECT_EQ(t.wDay, before.wDay);
    EXPECT_EQ(t.wSecond, before.wSecond);
    EXPECT_EQ(t.wMilliseconds, before.wMilliseconds);
    testing::UseRealClock();
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2009);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 1);
}

TEST_F(ClockTest, RealLocalTimeHasPlausibleFields) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    EXPECT_GE(t.wYear, 2020);
    EXPECT_GE(t.wMonth, 1);
    EXPECT_LE(t.wMonth, 12);
    EXPECT_GE(t.wDay, 1);
    EXPECT_LE(t.wDay, 31);
    EXPECT_LE(t.wHour, 23);
}

}  // namespace
}  // namespace plat
