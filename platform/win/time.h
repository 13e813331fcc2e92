// Clocks and sleeping: the multimedia timer's millisecond count, the high-resolution counter,
// local date and time. Tests can replace every clock with a fake one (platform/testing.h).
#pragma once

#include "platform/win/types.h"

namespace plat {

// Milliseconds of an uptime-like clock: 32-bit, wraps after about 49.7 days, never 0 near the
// program's start. Compare two readings by unsigned subtraction.
DWORD timeGetTime();
DWORD GetTickCount();

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
constexpr UINT TIMERR_NOERROR = 0;
constexpr UINT TIMERR_NOCANDO = 97;
// 1 ms to 1000000 ms.
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
// Sleeps already have 1 ms granularity here; a period outside the caps fails.
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);

struct LARGE_INTEGER {
    int64_t QuadPart;
};
// A monotonic counter and its ticks per second (never 0).
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Sleeps n ms; 0 gives up the rest of the time slice. With a fake clock that sleeps advance,
// the fake clock moves on by n instead of the thread sleeping.
void Sleep(DWORD milliseconds);
// Sleeps n microseconds, for waits finer than a millisecond (the retrace clock's); with a fake
// clock that sleeps advance, the fake clock moves on by n instead.
void SleepMicroseconds(uint64_t microseconds);
// Microseconds of the clock in force (the fake clock's own count when it is on).
uint64_t GetMicrosecondClock();

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1..12
    WORD wDayOfWeek;  // 0 Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

namespace detail {
// Called with n by every Sleep(n) that the fake clock takes instead of sleeping (the stepped
// sound mixer follows it in tests); null for none.
void SetSleepObserver(void (*observer)(DWORD milliseconds));
}  // namespace detail

}  // namespace plat
