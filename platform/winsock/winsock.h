// The socket calls over POSIX IPv4 sockets, with the asynchronous select notification: a poller
// thread watches the registered sockets and posts the chosen window message through the window
// queues, one notice per event until the call that re-enables it (recv after FD_READ, accept
// after FD_ACCEPT, a send that would block or is cut short before the next FD_WRITE), FD_CLOSE
// once. The poller starts with the first registration and stops at WSACleanup (or at exit).
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "platform/win/types.h"

namespace plat {

using SOCKET = uintptr_t;
inline constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
inline constexpr int SOCKET_ERROR = -1;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
};

// Error codes of WSAGetLastError.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

// Events of WSAAsyncSelect; the notice's long parameter holds the event in its low word and
// the error code in its high word.
inline constexpr LONG FD_READ = 0x01;
inline constexpr LONG FD_WRITE = 0x02;
inline constexpr LONG FD_OOB = 0x04;
inline constexpr LONG FD_ACCEPT = 0x08;
inline constexpr LONG FD_CONNECT = 0x10;
inline constexpr LONG FD_CLOSE = 0x20;

constexpr LPARAM WSAMAKESELECTREPLY(int event, int error) {
    return static_cast<LPARAM>((static_cast<uint32_t>(error) << 16) | (event & 0xFFFF));
}
constexpr int WSAGETSELECTEVENT(LPARAM lParam) {
    return static_cast<int>(lParam & 0xFFFF);
}
constexpr int WSAGETSELECTERROR(LPARAM lParam) {
    return static_cast<int>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFF);
}

// Every call below except WSAGetLastError fails with WSANOTINITIALISED before WSAStartup.
int WSAStartup(WORD version, WSADATA* data);
// Stops the poller, closes every socket still open and ends the layer's use.
int WSACleanup();
int WSAGetLastError();

// Only AF_INET stream sockets.
SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* length);
// On a socket registered with WSAAsyncSelect, fails with WSAEWOULDBLOCK and reports its end as
// FD_CONNECT (with the error code) later.
int connect(SOCKET s, const sockaddr* address, int length);
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);
int closesocket(SOCKET s);
// The port a bound socket has (network order in sin_port).
int getsockname(SOCKET s, sockaddr* address, int* length);
// The IPv4 address (network order) of a host name or dotted address; FALSE when unknown.
BOOL LookupHostIPv4(const char* host, uint32_t* address);

// Registers the socket for the events (0 stops its notices) and makes it non-blocking.
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, LONG events);

}  // namespace plat
