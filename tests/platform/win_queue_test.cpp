// Per-thread queues: filters, posting between threads, sending between threads.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace plat {
namespace {

std::atomic<DWORD> g_procThread{0};

LRESULT EchoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) {
        g_procThread = GetCurrentThreadId();
        return static_cast<LRESULT>(wParam * 2);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        WNDCLASSA c{};
        c.lpfnWndProc = EchoProc;
        c.lpszClassName = "QueueClass";
        ASSERT_NE(RegisterClassA(&c), 0);
        window_ = CreateWindowExA(0, "QueueClass", "", 0x80CA0000u, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // Unregistering lets go of the class's instance lock and removes its file; without it every
    // run left a lock file behind in the runtime directory.
    void TearDown() override {
        DestroyWindow(window_);
        UnregisterClassA("QueueClass", nullptr);
    }
    HWND window_ = nullptr;
};

TEST_F(QueueTest, ThreadMessageIsSeenOnlyWithTheThreadFilter) {
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 3, 4));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, WM_USER + 7);
    // Not removed by a look; removed by a take.
    ASSERT_TRUE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(msg.lParam, 4);
    EXPECT_FALSE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, WindowMessageIsNotSeenWithTheThreadFilter) {
    ASSERT_TRUE(PostMessageA(window_, WM_USER, 0, 0));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window_);
}

TEST_F(QueueTest, RangeFilterTakesOnlyMessagesInsideItAndKeepsOrder) {
    PostMessageA(window_, WM_USER + 5, 0, 0);
    PostMessageA(window_, WM_USER + 1, 1, 0);
    PostMessageA(window_, WM_USER + 1, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
}

TEST_F(QueueTest, PostQuitMessageIsAThreadMessage) {
    PostQuitMessage(3);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

struct PostFromThread {
    HWND window;
    DWORD target;
};

TEST_F(QueueTest, AnyThreadMayPostToTheWindowAndToThisThread) {
    PostFromThread args{window_, GetCurrentThreadId()};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<PostFromThread*>(p);
            PostMessageA(a->window, WM_USER + 2, 0, 0);
            PostThreadMessageA(a->target, WM_USER + 3, 0, 0);
            return 0;
        },
        &args, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    ASSERT_TRUE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 3);
}

TEST_F(QueueTest, AnotherThreadPumpsOnlyItsOwnQueue) {
    PostMessageA(window_, WM_USER, 0, 0);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            MSG msg;
            return PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) ? 1 : 0;
        },
        nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 0u);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, PostingToAnUnknownThreadOrAFullQueueFails) {
    EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0u, WM_USER, 0, 0));
    int posted = 0;
    while (PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0) && posted < 20000) ++posted;
    EXPECT_EQ(posted, 10000);
}

TEST_F(QueueTest, PostingToAThreadThatHasEndedFails) {
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, &id);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));
}

TEST_F(QueueTest, SendFromAnotherThreadRunsOnTheOwnerWhenItPumps) {
    struct Args {
        HWND window;
        std::atomic<LRESULT> result{0};
    } args;
    args.window = window_;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            a->result = SendMessageA(a->window, WM_USER + 1, 21, 0);
            return 0;
        },
        &args, 0, nullptr);
    MSG msg;
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        Sleep(1);
    }
    CloseHandle(thread);
    EXPECT_EQ(args.result.load(), 42);
    EXPECT_EQ(g_procThread.load(), GetCurrentThreadId());
    EXPECT_EQ(SendMessageA(window_, WM_USER + 1, 5, 0), 10);
}

TEST_F(QueueTest, DispatchOfAThreadMessageCallsNoProcedure) {
    MSG msg{};
    msg.message = WM_USER + 1;
    msg.wParam = 4;
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    msg.hwnd = window_;
    EXPECT_EQ(DispatchMessageA(&msg), 8);
}

}  // namespace
}  // namespace plat
