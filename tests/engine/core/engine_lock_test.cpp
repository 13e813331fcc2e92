// The engine lock under real threads: recursion, first-come-first-served hand-off, the message
// thread's give-up on quit, refused leaves and rebuilding after tear-down.
#include "engine/core/engine_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace tessra;
using namespace std::chrono_literals;

namespace {

// Polls until the condition holds; the bound only keeps a broken lock from hanging the run.
bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds bound = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The threads of a case, joined however the case ends. A failed ASSERT returns at once, and a
// std::thread still joinable when it goes ends the whole run in std::terminate instead of a
// report: on the way out `release` runs, this thread lets go of the lock it still holds, and
// then every thread is joined, so the failure is reported and the next case starts clean.
class Joined {
public:
    explicit Joined(std::function<void()> release = {}) : release_(std::move(release)) {}
    Joined(const Joined&) = delete;
    Joined& operator=(const Joined&) = delete;
    ~Joined() {
        if (release_) release_();
        for (int n = 0; n < 16 && InspectEngineLock().locked &&
                        InspectEngineLock().owner == EngineLockThreadId();
             ++n)
            LeaveEngineLock();
        Join();
    }
    void Join() {
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }
    std::thread& Add(std::thread t) {
        threads_.push_back(std::move(t));  // a deque keeps the earlier references valid
        return threads_.back();
    }

private:
    std::function<void()> release_;
    std::deque<std::thread> threads_;
};

int Waiters() {
    return InspectEngineLock().waiterCount;
}

// Order in which threads got the lock.
struct Order {
    std::mutex m;
    std::vector<std::string> names;
    void Add(const std::string& n) {
        std::lock_guard<std::mutex> g(m);
        names.push_back(n);
    }
    std::vector<std::string> Get() {
        std::lock_guard<std::mutex> g(m);
        return names;
    }
};

// A thread that enters, notes its name, holds the lock briefly and leaves.
std::thread Taker(Order& order, std::string name) {
    return std::thread([&order, name] {
        EnterEngineLock();
        order.Add(name);
        std::this_thread::sleep_for(2ms);
        LeaveEngineLock();
    });
}

void Recursion() {
    EnterEngineLock();
    EnterEngineLock();
    EXPECT_EQ(InspectEngineLock().depth, 2u);
    Order order;
    Joined joined;
    std::thread& t = joined.Add(Taker(order, "t"));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    LeaveEngineLock();
    EXPECT_EQ(InspectEngineLock().locked, 1u);
    EXPECT_EQ(InspectEngineLock().owner, EngineLockThreadId());
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(order.Get().empty());  // still held after the first leave
    LeaveEngineLock();
    t.join();
    EXPECT_EQ(order.Get(), std::vector<std::string>{"t"});
}

void FifoOrder() {
    EnterEngineLock();
    Order order;
    Joined threads;
    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back("w" + std::to_string(i));
        threads.Add(Taker(order, expected.back()));
        ASSERT_TRUE(WaitUntil([i] { return Waiters() == i + 1; }));
    }
    LeaveEngineLock();
    threads.Join();
    EXPECT_EQ(order.Get(), expected);
    EXPECT_EQ(Waiters(), 0);
}

void LeaverQueuesBehindWaiter() {
    EnterEngineLock();
    Order order;
    Joined joined;
    std::thread& t = joined.Add(Taker(order, "waiter"));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    LeaveEngineLock();
    EnterEngineLock();  // must not jump the queue
    order.Add("leaver");
    LeaveEngineLock();
    t.join();
    EXPECT_EQ(order.Get(), (std::vector<std::string>{"waiter", "leaver"}));
}

void MessageThreadGivesUpOnQuit() {
    std::atomic<int> quit{0};
    std::atomic<int> result{1};
    EnterEngineLock();
    Order order;
    Joined joined([&] { quit = 1; });
    std::thread& m = joined.Add(std::thread([&] {
        result = EnterEngineLockUnlessQuit(quit);
        if (result == 0) LeaveEngineLockNoYield();
        RemoveEngineLockWaiter();
    }));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    std::thread& b = joined.Add(Taker(order, "behind"));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 2; }));
    quit = 1;
    ASSERT_TRUE(WaitUntil([&] { return result.load() != 1; }));
    m.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_EQ(Waiters(), 1);  // only the thread behind it is left
    LeaveEngineLock();
    b.join();
    EXPECT_EQ(order.Get(), std::vector<std::string>{"behind"});
}

void MessageThreadTakesWhenFree() {
    std::atomic<int> quit{0};
    EnterEngineLock();
    std::atomic<int> result{1};
    Joined joined([&] { quit = 1; });
    std::thread& m = joined.Add(std::thread([&] {
        result = EnterEngineLockUnlessQuit(quit);
        if (result == 0) LeaveEngineLockNoYield();
    }));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    LeaveEngineLock();
    m.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(InspectEngineLock().locked, 0u);
}

void RebuiltAfterTearDown() {
    EnterEngineLock();
    LeaveEngineLock();
    EXPECT_EQ(InspectEngineLock().initialised, 1u);
    EXPECT_EQ(InspectEngineLock().eventsAlive, uint32_t(kEngineLockQueueSize));
    TearDownEngineLock();
    EXPECT_EQ(InspectEngineLock().initialised, 0u);
    EXPECT_EQ(InspectEngineLock().eventsAlive, 0u);
    Order order;
    EnterEngineLock();
    EXPECT_EQ(InspectEngineLock().eventsAlive, uint32_t(kEngineLockQueueSize));
    Joined joined;
    std::thread& t = joined.Add(Taker(order, "t"));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    LeaveEngineLock();
    t.join();
    EXPECT_EQ(order.Get(), std::vector<std::string>{"t"});
}

void RefusedLeaves() {
    LeaveEngineLock();  // never entered: ignored, the depth does not wrap
    EXPECT_EQ(InspectEngineLock().depth, 0u);
    EXPECT_EQ(InspectEngineLock().locked, 0u);
    EnterEngineLock();
    std::thread stranger([] { LeaveEngineLock(); });
    stranger.join();
    EXPECT_EQ(InspectEngineLock().locked, 1u);
    EXPECT_EQ(InspectEngineLock().depth, 1u);
    EXPECT_EQ(InspectEngineLock().owner, EngineLockThreadId());
    LeaveEngineLock();
    EXPECT_EQ(InspectEngineLock().locked, 0u);
}

void RaceFreeFirstUse() {
    // Many threads meet the unbuilt lock at once; the counter is guarded only by the lock.
    int counter = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&counter] {
            for (int k = 0; k < 200; ++k) {
                EnterEngineLock();
                ++counter;
                LeaveEngineLock();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 1600);
    EXPECT_EQ(InspectEngineLock().eventsAlive, uint32_t(kEngineLockQueueSize));
    EXPECT_EQ(Waiters(), 0);
}

// While one thread holds the lock, shut-down's tear-down keeps it: a thread that queues behind
// the holder needs its entry's event.
void TearDownKeptWhileHeld() {
    std::atomic<bool> holding{false}, release{false};
    Order order;
    Joined joined([&] { release = true; });
    std::thread& holder = joined.Add(std::thread([&] {
        EnterEngineLock();
        holding = true;
        while (!release) std::this_thread::sleep_for(1ms);
        LeaveEngineLock();
    }));
    ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));
    TearDownEngineLock();
    EXPECT_EQ(InspectEngineLock().initialised, 1u);
    EXPECT_EQ(InspectEngineLock().eventsAlive, uint32_t(kEngineLockQueueSize));
    std::thread& t = joined.Add(Taker(order, "t"));
    ASSERT_TRUE(WaitUntil([] { return Waiters() == 1; }));
    release = true;
    holder.join();
    t.join();
    EXPECT_EQ(order.Get(), std::vector<std::string>{"t"});
    TearDownEngineLock();  // now nobody uses it
    EXPECT_EQ(InspectEngineLock().eventsAlive, 0u);
}

// Threads keep entering (and queueing behind each other) while shut-down tears the lock down
// again and again: every enter must find a built lock with live events.
void EnterWhileTearingDown() {
    std::atomic<bool> stop{false};
    int counter = 0;
    int entered = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            while (!stop) {
                EnterEngineLock();
                ++counter;
                ++entered;
                LeaveEngineLock();
            }
        });
    for (int k = 0; k < 3000; ++k) {
        TearDownEngineLock();
        if ((k & 63) == 0) std::this_thread::yield();
    }
    stop = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, entered);
    EXPECT_EQ(Waiters(), 0);
    EXPECT_EQ(InspectEngineLock().locked, 0u);
    TearDownEngineLock();
    EXPECT_EQ(InspectEngineLock().eventsAlive, 0u);
}

struct LockCase {
    const char* name;
    void (*run)();
};

const LockCase kCases[] = {
    {"Recursion", Recursion},
    {"FifoOrder", FifoOrder},
    {"LeaverQueuesBehindWaiter", LeaverQueuesBehindWaiter},
    {"MessageThreadGivesUpOnQuit", MessageThreadGivesUpOnQuit},
    {"MessageThreadTakesWhenFree", MessageThreadTakesWhenFree},
    {"RebuiltAfterTearDown", RebuiltAfterTearDown},
    {"RefusedLeaves", RefusedLeaves},
    {"RaceFreeFirstUse", RaceFreeFirstUse},
    {"TearDownKeptWhileHeld", TearDownKeptWhileHeld},
    {"EnterWhileTearingDown", EnterWhileTearingDown},
};

class EngineLockTest : public ::testing::TestWithParam<LockCase> {};

TEST_P(EngineLockTest, Holds) {
    GetParam().run();
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineLockTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
