// Threads, events, waits and the critical section.
//
// Thread and event handles are pointer-sized values from a counter; CloseHandle releases one,
// and a closed or unknown handle fails cleanly instead of touching freed memory. Thread ids
// are never 0 or 0xFFFFFFFF; every thread gets one on first use, including threads not made
// here.
#pragma once

#include "platform/win/types.h"

namespace plat {

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD STILL_ACTIVE = 259;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

// Starts a thread at once (the attributes, stack size and flags are not used). The thread ends
// when its routine returns; the return value is its exit code. 0 on failure.
HANDLE CreateThread(void* attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD flags, DWORD* threadId);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// STILL_ACTIVE while the thread runs, then its exit code.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Events: manual-reset ones stay signalled until reset; auto-reset ones wake one waiter and
// reset. The attributes and the name are not used.
HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits for an event to be signalled or a thread to end; the time-out is in real milliseconds
// (0 tests without waiting; INFINITE waits for ever).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// FALSE for an unknown handle. Closing a running thread's handle lets the thread run on.
BOOL CloseHandle(HANDLE object);

// A recursive lock held by one thread at a time. Plain data, so a block holding one may be
// copied bitwise; InitializeCriticalSection must come before use and DeleteCriticalSection
// after the last.
struct CRITICAL_SECTION {
    void* impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

}  // namespace plat
