// The socket layer's notices: a socket selected before its connect must tell of the connect
// first, never of a close, whatever the poller saw of it while it was still unconnected.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "platform/winsock/winsock.h"

namespace plat {
namespace {

constexpr UINT kSocketMessage = WM_USER + 7;

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.lpszClassName = "WinsockTestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
        window_ = CreateWindowExA(0, "WinsockTestClass", "", 0x80CA0000u, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        WSADATA data{};
        ASSERT_EQ(WSAStartup(0x0202, &data), 0);
    }
    void TearDown() override {
        WSACleanup();
        DestroyWindow(window_);
        UnregisterClassA("WinsockTestClass", nullptr);
    }
    // The socket events noticed for `s` until `last` arrives (or a few seconds pass).
    std::vector<int> EventsUntil(SOCKET s, int last) {
        std::vector<int> events;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            MSG msg;
            while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
                if (msg.message != kSocketMessage || static_cast<SOCKET>(msg.wParam) != s) continue;
                events.push_back(WSAGETSELECTEVENT(msg.lParam));
                if (events.back() == last) return events;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return events;
    }
    HWND window_ = nullptr;
};

TEST_F(WinsockTest, ASocketSelectedBeforeItsConnectTellsOfTheConnectFirst) {
    const SOCKET server = plat::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(plat::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(plat::listen(server, 4), 0);
    int length = sizeof a;
    ASSERT_EQ(plat::getsockname(server, reinterpret_cast<sockaddr*>(&a), &length), 0);

    for (int round = 0; round < 3; ++round) {
        const SOCKET client = plat::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(WSAAsyncSelect(client, window_, kSocketMessage, FD_CONNECT | FD_READ | FD_CLOSE),
                  0);
        // Time for the poller to look at the unconnected socket, which polls as hung up.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        plat::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const std::vector<int> events = EventsUntil(client, FD_CONNECT);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), FD_CONNECT) << "round " << round;
        const SOCKET accepted = plat::accept(server, nullptr, nullptr);
        ASSERT_NE(accepted, INVALID_SOCKET);
        closesocket(accepted);
        // The peer's close comes after the connect.
        EXPECT_EQ(EventsUntil(client, FD_CLOSE).back(), FD_CLOSE);
        closesocket(client);
    }
    closesocket(server);
}

}  // namespace
}  // namespace plat
