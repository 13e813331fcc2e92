// The socket layer's notices: a socket selected before its connect must tell of the connect
// first, never of a close, whatever the poller saw of it while it was still unconnected; what
// the poller found for a closed socket is not told of a later one on the same descriptor; and a
// program that ends without WSACleanup ends normally.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "platform/winsock/winsock.h"

namespace plat {
namespace {

constexpr UINT kSocketMessage = WM_USER + 7;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = port;
    return a;
}

// A listening socket on a free loopback port (`at` gets its address).
SOCKET Listen(sockaddr_in* at) {
    const SOCKET s = plat::socket(AF_INET, SOCK_STREAM, 0);
    *at = Loopback(0);
    int length = sizeof *at;
    if (plat::bind(s, reinterpret_cast<sockaddr*>(at), sizeof *at) != 0 ||
        plat::listen(s, 4) != 0 ||
        plat::getsockname(s, reinterpret_cast<sockaddr*>(at), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

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
    sockaddr_in a{};
    const SOCKET server = Listen(&a);
    ASSERT_NE(server, INVALID_SOCKET);

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

// Between the poller's poll and its look at what it found, the socket it found readable is
// closed and a listening socket made on the same descriptor.
struct Swap {
    HWND window = nullptr;
    SOCKET closing = INVALID_SOCKET;
    std::atomic<int> rounds{0};  // polls since the swap, the swap's own included
    std::atomic<SOCKET> opened{INVALID_SOCKET};
    std::atomic<int> openedDescriptor{-1};
} g_swap;

void SwapWhenFoundReady(int ready) {
    if (g_swap.rounds.load() > 0) {
        ++g_swap.rounds;
        return;
    }
    if (ready == 0) return;
    closesocket(g_swap.closing);
    sockaddr_in at{};
    const SOCKET listening = Listen(&at);
    WSAAsyncSelect(listening, g_swap.window, kSocketMessage, FD_ACCEPT);
    g_swap.openedDescriptor = testing::SocketDescriptor(listening);
    g_swap.opened = listening;
    g_swap.rounds = 1;
}

TEST_F(WinsockTest, WhatWasFoundForAClosedSocketIsNotToldOfTheNextOnItsDescriptor) {
    sockaddr_in a{};
    const SOCKET server = Listen(&a);
    ASSERT_NE(server, INVALID_SOCKET);
    const SOCKET reading = plat::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(plat::connect(reading, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const SOCKET peer = plat::accept(server, nullptr, nullptr);
    ASSERT_NE(peer, INVALID_SOCKET);
    ASSERT_EQ(WSAAsyncSelect(reading, window_, kSocketMessage, FD_READ | FD_CLOSE), 0);
    const int descriptor = testing::SocketDescriptor(reading);
    g_swap.window = window_;
    g_swap.closing = reading;
    testing::SetSocketPollHook(SwapWhenFoundReady);
    ASSERT_EQ(plat::send(peer, "x", 1, 0), 1);
    // Once the swap is made, a call that wakes the poller brings a second round, which begins
    // only when the first has told all it had to tell.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto waitForRounds = [&](int n) {
        while (g_swap.rounds.load() < n && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    waitForRounds(1);
    closesocket(plat::socket(AF_INET, SOCK_STREAM, 0));
    waitForRounds(2);
    testing::SetSocketPollHook(nullptr);
    ASSERT_GE(g_swap.rounds.load(), 2);
    const SOCKET listening = g_swap.opened.load();
    ASSERT_EQ(g_swap.openedDescriptor.load(), descriptor) << "the descriptor was not reused";
    // Nobody has connected to the listening socket: nothing may be told of it.
    MSG msg;
    while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
        EXPECT_FALSE(msg.message == kSocketMessage && static_cast<SOCKET>(msg.wParam) == listening)
            << "event " << WSAGETSELECTEVENT(msg.lParam);
    }
    // A real connection is told of as usual.
    sockaddr_in at{};
    int length = sizeof at;
    ASSERT_EQ(plat::getsockname(listening, reinterpret_cast<sockaddr*>(&at), &length), 0);
    const SOCKET client = plat::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(plat::connect(client, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    EXPECT_EQ(EventsUntil(listening, FD_ACCEPT), std::vector<int>{FD_ACCEPT});
    const SOCKET accepted = plat::accept(listening, nullptr, nullptr);
    EXPECT_NE(accepted, INVALID_SOCKET);
    closesocket(accepted);
    closesocket(client);
    closesocket(listening);
    closesocket(peer);
    closesocket(server);
}

TEST(WinsockDeathTest, AProgramThatEndsWithoutCleanupEndsNormally) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WSADATA data{};
            WSAStartup(0x0202, &data);
            const SOCKET s = plat::socket(AF_INET, SOCK_STREAM, 0);
            WSAAsyncSelect(s, nullptr, kSocketMessage, FD_READ);
            std::exit(testing::SocketPollerRunning() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace plat
