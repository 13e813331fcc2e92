// Clocks: real ones from CLOCK_MONOTONIC and the local time, or the fake clock of the tests.
#include <sched.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"

namespace plat {
namespace {

std::atomic<bool> g_fake{false};
std::atomic<uint64_t> g_fakeMicroseconds{0};
std::atomic<bool> g_sleepAdvances{true};
// 0: every thread's sleeps move the fake clock; else only this thread's, the others sleep.
std::atomic<DWORD> g_sleepThread{0};

bool SleepAdvances() {
    if (!g_fake.load(std::memory_order_acquire) || !g_sleepAdvances.load()) return false;
    const DWORD only = g_sleepThread.load();
    return only == 0 || only == GetCurrentThreadId();
}
std::atomic<void (*)(DWORD)> g_sleepObserver{nullptr};

std::mutex g_localTimeMutex;
bool g_fakeLocalTime = false;
int64_t g_fakeLocalBase = 0;    // the set date, as microseconds of a UTC calendar
uint64_t g_fakeLocalSetAt = 0;  // clock microseconds when it was set

uint64_t MonotonicNanoseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

// Microseconds of whichever clock is in force.
uint64_t NowMicroseconds() {
    if (g_fake.load(std::memory_order_acquire)) {
        return g_fakeMicroseconds.load(std::memory_order_acquire);
    }
    return MonotonicNanoseconds() / 1000u;
}

// Runs a switch of the clock with the fake local date held where it is: the date moves on with
// the clock, and a reading of one clock must not be measured against a reading of another.
template <typename Switch>
void SwitchClock(Switch change) {
    std::lock_guard<std::mutex> lock(g_localTimeMutex);
    if (g_fakeLocalTime) {
        g_fakeLocalBase += static_cast<int64_t>(NowMicroseconds() - g_fakeLocalSetAt);
    }
    change();
    g_fakeLocalSetAt = NowMicroseconds();
}

// The real clock counts from boot, so a fresh machine still reads well above 0; the offset
// keeps it so even on a machine that booted a moment ago.
constexpr uint64_t kRealClockOffsetMs = 0x10000;

}  // namespace

DWORD timeGetTime() {
    if (g_fake.load(std::memory_order_acquire)) {
        return static_cast<DWORD>(g_fakeMicroseconds.load(std::memory_order_acquire) / 1000u);
    }
    return static_cast<DWORD>(MonotonicNanoseconds() / 1000000u + kRealClockOffsetMs);
}

DWORD GetTickCount() {
    return timeGetTime();
}

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
    if (caps == nullptr || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

UINT timeBeginPeriod(UINT period) {
    return (period >= 1 && period <= 1000000) ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

UINT timeEndPeriod(UINT period) {
    return timeBeginPeriod(period);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    if (g_fake.load(std::memory_order_acquire)) {
        count->QuadPart = static_cast<int64_t>(g_fakeMicroseconds.load(std::memory_order_acquire));
    } else {
        count->QuadPart = static_cast<int64_t>(MonotonicNanoseconds());
    }
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = g_fake.load(std::memory_order_acquire) ? 1000000 : 1000000000;
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    if (SleepAdvances()) {
        g_fakeMicroseconds.fetch_add(static_cast<uint64_t>(milliseconds) * 1000u);
        if (auto observer = g_sleepObserver.load()) observer(milliseconds);
        sched_yield();
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0) {
        // interrupted by a signal: sleep the rest
    }
}

void SleepMicroseconds(uint64_t microseconds) {
    if (SleepAdvances()) {
        g_fakeMicroseconds.fetch_add(microseconds);
        sched_yield();
        return;
    }
    if (microseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts;
    ts.tv_sec = static_cast<time_t>(microseconds / 1000000u);
    ts.tv_nsec = static_cast<long>(microseconds % 1000000u) * 1000L;
    while (nanosleep(&ts, &ts) != 0) {
        // interrupted by a signal: sleep the rest
    }
}

uint64_t GetMicrosecondClock() {
    return NowMicroseconds();
}

void GetLocalTime(SYSTEMTIME* out) {
    if (out == nullptr) return;
    tm parts;
    std::memset(&parts, 0, sizeof parts);
    int milliseconds = 0;
    {
        std::lock_guard<std::mutex> lock(g_localTimeMutex);
        if (g_fakeLocalTime) {
            int64_t now =
                g_fakeLocalBase + static_cast<int64_t>(NowMicroseconds() - g_fakeLocalSetAt);
            time_t t = static_cast<time_t>(now / 1000000);
            gmtime_r(&t, &parts);
            milliseconds = static_cast<int>((now / 1000) % 1000);
        } else {
            timespec ts;
            clock_gettime(CLOCK_REALTIME, &ts);
            localtime_r(&ts.tv_sec, &parts);
            milliseconds = static_cast<int>(ts.tv_nsec / 1000000L);
        }
    }
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    out->wSecond = static_cast<WORD>(parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(milliseconds);
}

namespace testing {

void SetFakeClock(uint32_t milliseconds) {
    SwitchClock([milliseconds] {
        g_fakeMicroseconds.store(static_cast<uint64_t>(milliseconds) * 1000u);
        g_fake.store(true, std::memory_order_release);
    });
}

void AdvanceFakeClock(uint32_t milliseconds) {
    g_fakeMicroseconds.fetch_add(static_cast<uint64_t>(milliseconds) * 1000u);
}

void AdvanceFakeClockMicroseconds(uint64_t microseconds) {
    g_fakeMicroseconds.fetch_add(microseconds);
}

}  // namespace testing

namespace detail {
void SetSleepObserver(void (*observer)(DWORD milliseconds)) {
    g_sleepObserver.store(observer);
}
}  // namespace detail

namespace testing {

void SetSleepAdvancesFakeClock(bool advances) {
    g_sleepAdvances.store(advances);
}

void SetFakeClockSleeperThread(bool onlyThisThread) {
    g_sleepThread.store(onlyThisThread ? GetCurrentThreadId() : 0);
}

void UseRealClock() {
    SwitchClock([] { g_fake.store(false, std::memory_order_release); });
}

bool IsFakeClock() {
    return g_fake.load();
}

void SetFakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    tm parts;
    std::memset(&parts, 0, sizeof parts);
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    std::lock_guard<std::mutex> lock(g_localTimeMutex);
    g_fakeLocalBase = static_cast<int64_t>(timegm(&parts)) * 1000000;
    g_fakeLocalSetAt = NowMicroseconds();
    g_fakeLocalTime = true;
}

void UseRealLocalTime() {
    std::lock_guard<std::mutex> lock(g_localTimeMutex);
    g_fakeLocalTime = false;
}

}  // namespace testing

namespace detail {

void ResetClockControls() {
    testing::UseRealClock();
    testing::UseRealLocalTime();
    g_sleepAdvances.store(true);
    g_sleepThread.store(0);
    g_fakeMicroseconds.store(0);
}

}  // namespace detail
}  // namespace plat
