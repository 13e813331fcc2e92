// The engine lock: one recursive, strictly first-come-first-served lock that every public
// engine function and the message thread's pump pass take. Waiting threads queue in arrival
// order, each blocked on its own manual-reset event; a free lock goes only to the queue's head,
// so the thread that has just left cannot take it back past a waiter.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessra {

inline constexpr int kEngineLockQueueSize = 4096;

// Returns when the calling thread holds the lock (entering again while holding it only counts).
void EnterEngineLock();
// Undoes one enter of the calling thread; the outermost leave wakes the queue's head. A leave by
// a thread that does not hold the lock is logged and ignored.
void LeaveEngineLock();

// The message thread's variant: while queued it re-tests `quit` at least once a second and gives
// up when it reads 1. Returns 0 holding the lock, -1 after giving up (still queued: the caller
// ends its loop with RemoveEngineLockWaiter).
int EnterEngineLockUnlessQuit(const std::atomic<int>& quit);
// The message thread's leave: as LeaveEngineLock without yielding to the woken head.
void LeaveEngineLockNoYield();
// Takes the calling thread's entry out of the queue, if it has one, and passes a wake-up on to
// the new head when the removed entry was the head.
void RemoveEngineLockWaiter();

// Closes the events; the next enter builds the lock again. For shut-down, when no other thread
// uses the lock any more; while a thread holds it or is queued for it the lock is kept. Safe
// against enters running at the same time.
void TearDownEngineLock();

// Read-only views for diagnostics and tests.
struct EngineLockView {
    uint32_t depth;
    uint32_t locked;
    uint32_t owner;
    uint32_t initialised;
    int32_t waiterCount;
    uint32_t eventsAlive;  // live events of the queue, 4096 when built
};
EngineLockView InspectEngineLock();
// The id the lock knows the calling thread by.
uint32_t EngineLockThreadId();

// Holds the lock for one scope; every return path of a public function releases it.
class EngineLockScope {
public:
    EngineLockScope() { EnterEngineLock(); }
    ~EngineLockScope() { LeaveEngineLock(); }
    EngineLockScope(const EngineLockScope&) = delete;
    EngineLockScope& operator=(const EngineLockScope&) = delete;
};

}  // namespace tessra
