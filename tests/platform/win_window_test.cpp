// Windows and their messages: creation, the close path, activation, keys and text.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"

namespace plat {
namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(Seen{window, message, wParam, lParam});
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        g_seen.clear();
        WNDCLASSA c{};
        c.style = CS_HREDRAW | CS_VREDRAW;
        c.lpfnWndProc = RecordingProc;
        c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
        c.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        UnregisterClassA("TestClass", nullptr);
    }
    HWND Make(DWORD style = 0x80CA0000u, DWORD exStyle = 0x300) {
        RECT r{0, 0, 320, 240};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
        window_ = CreateWindowExA(exStyle, "TestClass", "title", style, 100, 50,
                                  r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr,
                                  nullptr);
        return window_;
    }
    // Dispatches everything queued; returns the messages taken, in order.
    std::vector<UINT> Pump() {
        std::vector<UINT> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg.message);
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }
    bool Saw(UINT message) const {
        for (const Seen& s : g_seen) {
            if (s.message == message) return true;
        }
        return false;
    }
    HWND window_ = nullptr;
};

TEST_F(WindowTest, CreationSendsCreateSizeAndMoveWithTheClientGeometry) {
    ASSERT_NE(Make(), nullptr);
    ASSERT_GE(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].message, WM_CREATE);
    EXPECT_EQ(g_seen[1].message, WM_SIZE);
    EXPECT_EQ(g_seen[1].lParam, MAKELPARAM(320, 240));
    EXPECT_EQ(g_seen[2].message, WM_MOVE);
    RECT client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    EXPECT_EQ(g_seen[2].lParam, MAKELPARAM(origin.x, origin.y));
}

TEST_F(WindowTest, InjectedCloseDestroysThroughTheDefaultProcedureAndQuits) {
    ASSERT_NE(Make(), nullptr);
    ShowWindow(window_, SW_SHOW);
    testing::InjectClose(window_);
    std::vector<UINT> taken = Pump();
    EXPECT_TRUE(Saw(WM_CLOSE));
    EXPECT_TRUE(Saw(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window_));
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back(), static_cast<UINT>(WM_QUIT));
}

}  // namespace
}  // namespace plat
