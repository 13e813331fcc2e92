// The network layer's readers on a loopback pair: FUZZ_NETWORK_FRAMED 1 feeds the bytes to a
// framed handle (length-prefixed messages) from a raw peer; 0 serves them as the answer to an
// HTTP GET into memory. Whatever arrives, the handle gives back no more than was sent, the
// transfer ends, and closing leaves no tracked block behind.
//
// What the machine refuses this harness's own sockets (a socket, a loopback connect, after some
// tries) is no finding of the layer: it is reported on a "fuzz environment:" line and the input
// is skipped. The harness closes its sockets with a zero linger, so a long run leaves no
// thousands of its connections waiting out TIME_WAIT on the loopback's ports.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/core/network.h"
#include "fuzz_support.h"

using namespace tessra;

namespace {

int g_listenPort = -1;  // the engine's framed listener
int g_rawServer = -1;   // a raw listener that serves HTTP answers
int g_rawServerPort = 0;

void StartOnce() {
    if (NetworkStarted()) return;
    if (StartNetwork() != 0) fuzz::Fail("network did not start");
    // The layer ends at exit, before the statics it logs through: the text cache is made
    // before the handler is registered, so it is destroyed after the handler has run.
    (void)SjisText("");
    std::atexit([] { TerminateNetwork(); });
    g_listenPort = ListenNetWork(0, 1);
    if (g_listenPort <= 0) fuzz::Fail("no listener");
    g_rawServer = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(g_rawServer, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(g_rawServer, 4);
    socklen_t len = sizeof a;
    ::getsockname(g_rawServer, reinterpret_cast<sockaddr*>(&a), &len);
    g_rawServerPort = ntohs(a.sin_port);
}

template <typename Cond>
bool PumpUntil(Cond cond) {
    // A loopback pair answers within milliseconds; five seconds is a hang even on a machine
    // busy with other work (half a second was not).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        PumpNetworkMessages(1);
        StepAllHttpTransfers();
        if (cond()) return true;
        ::usleep(50);
    }
    return cond();
}

// The machine refused the harness something: said on its own line, apart from the findings.
void EnvironmentFailure(const char* what, int error) {
    std::fprintf(stderr, "fuzz environment: %s (%s), input skipped\n", what, std::strerror(error));
}

// Closes a socket of the harness with a reset instead of a FIN, so it leaves no TIME_WAIT.
void CloseAtOnce(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

// A raw connection to the loopback port, tried for up to about two seconds; -1 (said as an
// environment failure) when the machine keeps refusing it.
int RawConnect(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    int error = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt > 0) ::usleep(useconds_t(attempt) * 10000);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) {
            error = errno;
            continue;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
        error = errno;
        CloseAtOnce(fd);
    }
    EnvironmentFailure("no loopback connection to the framed listener", error);
    return -1;
}

void SendAll(int fd, const uint8_t* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += size_t(n);
    }
}

void FramedReceive(const uint8_t* data, size_t size) {
    const int peer = RawConnect(g_listenPort);
    if (peer < 0) return;
    EngineHandle handle = -1;
    if (!PumpUntil([&] { return (handle = TakeAcceptedNetWork()) >= 0; }))
        fuzz::Fail("the framed connection was not accepted");
    SendAll(peer, data, size);
    ::shutdown(peer, SHUT_WR);
    size_t taken = 0;
    std::vector<uint8_t> buffer(4096);
    PumpUntil([&] {
        for (int length; (length = GetNetWorkDataLength(handle)) > 0;) {
            const int n = std::min<int>(length, int(buffer.size()));
            fuzz::Require(NetWorkRecv(handle, buffer.data(), n) == 0, "waiting bytes not given");
            taken += size_t(n);
            fuzz::Require(taken <= size, "received more than was sent");
        }
        // Closed by the peer (0), or broken by what it sent (-1: the handle's error flag).
        return GetNetWorkAcceptState(handle) != 1;
    });
    CloseAtOnce(peer);
    CloseNetWorkHandle(handle);
}

void HttpAnswer(const uint8_t* data, size_t size) {
    void* block = nullptr;
    int32_t length = -1;
    const int slot = BeginHttpTransfer(HttpMethod::Get, "127.0.0.1", g_rawServerPort, "/f", nullptr,
                                       &block, &length, nullptr, 0);
    if (slot < 0) fuzz::Fail("no transfer slot");
    // Serve the answer by hand: take the request, send the bytes, close.
    int client = -1;
    std::string request;
    int result = -1, code = -1;
    const bool ended = PumpUntil([&] {
        if (client < 0) {
            pollfd p{g_rawServer, POLLIN, 0};
            if (::poll(&p, 1, 0) == 1) {
                client = ::accept(g_rawServer, nullptr, nullptr);
                ::fcntl(client, F_SETFL, O_NONBLOCK);
            }
        } else if (request.find("\r\n\r\n") == std::string::npos) {
            char c[512];
            const ssize_t n = ::recv(client, c, sizeof c, 0);
            if (n > 0) request.append(c, size_t(n));
            if (request.find("\r\n\r\n") != std::string::npos) {
                SendAll(client, data, size);
                ::shutdown(client, SHUT_WR);
            }
        }
        return GetHttpTransferResult(slot, &result, &code) == 1;
    });
    fuzz::Require(ended, "the transfer never ended");
    if (result == 0) {
        fuzz::Require(block != nullptr || length == 0, "a finished transfer without its body");
        fuzz::Require(length >= 0 && size_t(length) <= size, "a body longer than the answer");
        if (block) fuzz::Touch(block, size_t(length));
    } else {
        fuzz::Require(block == nullptr, "a failed transfer kept a body");
    }
    FreeTagged(block);
    DeleteHttpTransfer(slot);
    if (client >= 0) CloseAtOnce(client);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    StartOnce();
    fuzz::TrackedBlocks blocks;
    if (FUZZ_NETWORK_FRAMED)
        FramedReceive(data, size);
    else
        HttpAnswer(data, size);
    blocks.Check("the network layer left tracked blocks behind");
    return 0;
}
