// The engine lock. The guard mutex is held only for the few steps of an enter or a leave, never
// while a thread waits: a waiter blocks on the manual-reset event of its own queue entry, and the
// event travels with the entry as the entries in front of it leave.
#include "engine/core/engine_lock.h"

#include "engine/base/log.h"
#include "engine/base/sjis.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessra {
namespace {

using namespace sjis_literals;

// A manual-reset event: stays signalled until reset, so a signal that comes before the wait is
// not lost.
class LockEvent {
public:
    void Set() {
        std::lock_guard<std::mutex> g(mutex_);
        signalled_ = true;
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard<std::mutex> g(mutex_);
        signalled_ = false;
    }
    void Wait() {
        std::unique_lock<std::mutex> g(mutex_);
        cv_.wait(g, [this] { return signalled_; });
    }
    // True when signalled within the time.
    bool WaitFor(std::chrono::milliseconds ms) {
        std::unique_lock<std::mutex> g(mutex_);
        return cv_.wait_for(g, ms, [this] { return signalled_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

struct QueueEntry {
    uint32_t threadId;
    LockEvent* event;
};

constexpr uint32_t kNoOwner = 0xFFFFFFFFu;

struct EngineLockRecord {
    uint32_t depth = 0;
    uint32_t locked = 0;
    uint32_t owner = 0;
    QueueEntry queue[kEngineLockQueueSize] = {};
    std::atomic<uint32_t> initialised{0};
    int32_t waiterCount = 0;
    std::mutex guard;
};

EngineLockRecord g_lock;
std::atomic<uint32_t> g_nextThreadId{1};

void ReportRefusedLeave(uint32_t id) {
    // AppendLogFormat ends the line itself.
    AppendLogFormat("%s%u",
                    "エンジンロックを持っていないスレッドの解放を無視しました スレッド:"_sjis, id);
}

// Builds the queue's events when they are missing. Guard held: building, entering and tearing
// down all happen under the one guard, so no thread can find the events gone between its check
// and its use.
void EnsureBuiltLocked() {
    if (g_lock.initialised.load(std::memory_order_relaxed) == 1) return;
    for (auto& entry : g_lock.queue) {
        if (entry.event == nullptr) entry.event = new LockEvent;
        entry.event->Reset();
    }
    g_lock.initialised.store(1, std::memory_order_release);
}

// Position of the thread's entry in the queue, or -1. Guard held.
int FindQueued(uint32_t id) {
    for (int i = 0; i < g_lock.waiterCount; ++i)
        if (g_lock.queue[i].threadId == id) return i;
    return -1;
}

// Takes entry `pos` out of the queue: the entries behind it move down, its event goes to the
// last used position with thread id 0, so the events stay a permutation over the positions.
// Guard held.
void RemoveAt(int pos) {
    LockEvent* kept = g_lock.queue[pos].event;
    int n = g_lock.waiterCount;
    for (int i = pos; i + 1 < n; ++i) g_lock.queue[i] = g_lock.queue[i + 1];
    g_lock.queue[n - 1] = QueueEntry{0, kept};
    g_lock.waiterCount = n - 1;
}

// One enter; with `quit` the message thread's variant. 0 holding the lock, -1 after giving up.
int EnterImpl(const std::atomic<int>* quit) {
    const uint32_t me = EngineLockThreadId();
    for (;;) {
        LockEvent* myEvent = nullptr;
        {
            std::unique_lock<std::mutex> g(g_lock.guard);
            EnsureBuiltLocked();
            const int n = g_lock.waiterCount;
            bool take = false;
            if (g_lock.locked == 1) {
                take = g_lock.owner == me;
            } else if (n == 0 || g_lock.owner == me) {
                take = true;
            } else if (g_lock.queue[0].threadId == me) {
                RemoveAt(0);
                take = true;
            }
            if (take) {
                ++g_lock.depth;
                g_lock.locked = 1;
                g_lock.owner = me;
                return 0;
            }
            // A thread woken while not entitled to the lock (a stale signal) keeps its place
            // instead of queueing a second time.
            int pos = FindQueued(me);
            if (pos < 0) {
                if (n == kEngineLockQueueSize) {
                    g.unlock();
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                pos = n;
                g_lock.queue[pos].threadId = me;
                g_lock.queue[pos].event->Reset();
                g_lock.waiterCount = n + 1;
            }
            myEvent = g_lock.queue[pos].event;
        }
        if (quit == nullptr) {
            myEvent->Wait();
            myEvent->Reset();
            continue;
        }
        bool signalled = myEvent->WaitFor(std::chrono::milliseconds(0));
        while (!signalled && quit->load() != 1)
            signalled = myEvent->WaitFor(std::chrono::milliseconds(1000));
        myEvent->Reset();
        if (quit->load() == 1) return -1;
    }
}

void LeaveImpl(bool yield) {
    const uint32_t me = EngineLockThreadId();
    bool woke = false;
    bool refused = false;
    {
        std::lock_guard<std::mutex> g(g_lock.guard);
        // A leave without a matching enter would wrap the depth or free a lock that another
        // thread holds: refuse it.
        if (g_lock.locked != 1 || g_lock.owner != me || g_lock.depth == 0) {
            refused = true;
        } else {
            if (g_lock.depth == 1) {
                g_lock.locked = 0;
                g_lock.owner = kNoOwner;
                // Signalled under the guard: once the guard is let go the head may give up its
                // place and a tear-down may close the event.
                if (g_lock.waiterCount > 0) {
                    g_lock.queue[0].event->Set();
                    woke = true;
                }
            }
            --g_lock.depth;
        }
    }
    if (refused) {
        ReportRefusedLeave(me);
        return;
    }
    if (woke && yield) std::this_thread::yield();
}

}  // namespace

uint32_t EngineLockThreadId() {
    thread_local uint32_t id = g_nextThreadId.fetch_add(1);
    return id;
}

void EnterEngineLock() {
    EnterImpl(nullptr);
}

void LeaveEngineLock() {
    LeaveImpl(true);
}

int EnterEngineLockUnlessQuit(const std::atomic<int>& quit) {
    return EnterImpl(&quit);
}

void LeaveEngineLockNoYield() {
    LeaveImpl(false);
}

void RemoveEngineLockWaiter() {
    const uint32_t me = EngineLockThreadId();
    std::lock_guard<std::mutex> g(g_lock.guard);
    const int pos = FindQueued(me);
    if (pos < 0) return;
    RemoveAt(pos);
    if (pos == 0 && g_lock.waiterCount > 0) g_lock.queue[0].event->Set();
}

void TearDownEngineLock() {
    std::lock_guard<std::mutex> g(g_lock.guard);
    if (g_lock.initialised.load() != 1) return;
    // A thread that holds the lock or waits for it still needs the events; keep them for it.
    if (g_lock.waiterCount > 0 || g_lock.locked == 1) return;
    g_lock.initialised.store(0);
    for (auto& entry : g_lock.queue) {
        delete entry.event;
        entry = QueueEntry{0, nullptr};
    }
}

EngineLockView InspectEngineLock() {
    std::lock_guard<std::mutex> g(g_lock.guard);
    EngineLockView v{g_lock.depth,       g_lock.locked,
                     g_lock.owner,       g_lock.initialised.load(),
                     g_lock.waiterCount, 0};
    for (const auto& entry : g_lock.queue)
        if (entry.event != nullptr) ++v.eventsAlive;
    return v;
}

}  // namespace tessra
