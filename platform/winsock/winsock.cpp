#include "platform/winsock/winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/testing.h"
#include "platform/win/messages.h"

namespace plat {

namespace {

struct Registration {
    // Set anew whenever the socket is registered or starts to connect: what a poll found is
    // taken only for the registration it was made for, not for a later socket on the same
    // descriptor or for a state the poll did not watch.
    uint64_t generation = 0;
    HWND window = nullptr;
    UINT message = 0;
    LONG events = 0;
    LONG armed = 0;  // events that may be noticed now
    bool connecting = false;
    bool listening = false;
    bool closeSent = false;
    // Reads and closes are watched only once the socket is connected: polled before its
    // connect, a socket reads as hung up, and a close noticed then would overtake the connect.
    bool connected = false;
};

struct Layer {
    std::mutex mutex;
    int startups = 0;
    // Sockets made through this layer: each gets a number of its own, never reused, so that a
    // notice still queued for a closed socket cannot be taken for a later one.
    std::map<SOCKET, int> open;  // socket -> descriptor
    std::map<int, SOCKET> idOf;  // descriptor -> socket
    SOCKET nextId = 0x100;
    std::map<int, Registration> registered;
    uint64_t nextGeneration = 1;
    std::thread poller;
    bool pollerRunning = false;
    bool stopping = false;
    int wake[2] = {-1, -1};

    // A program that ends without WSACleanup: the poller is stopped and joined, as a joinable
    // thread destroyed at exit would end the program with std::terminate.
    ~Layer();
};

Layer& TheLayer() {
    static Layer layer;
    return layer;
}

std::atomic<void (*)(int)> g_pollHook{nullptr};

std::atomic<uint64_t> g_socketCalls{0};
std::atomic<bool> g_pollerAlive{false};
thread_local int t_lastError = 0;

int ErrnoToWsa(int e) {
    switch (e) {
        case EAGAIN:
            return WSAEWOULDBLOCK;
        case EINPROGRESS:
            return WSAEWOULDBLOCK;
        case EALREADY:
            return WSAEINPROGRESS;
        case EINTR:
            return WSAEINTR;
        case EBADF:
        case ENOTSOCK:
            return WSAENOTSOCK;
        case EADDRINUSE:
            return WSAEADDRINUSE;
        case ENETUNREACH:
            return WSAENETUNREACH;
        case ECONNABORTED:
            return WSAECONNABORTED;
        case ECONNRESET:
        case EPIPE:
            return WSAECONNRESET;
        case ENOTCONN:
            return WSAENOTCONN;
        case ETIMEDOUT:
            return WSAETIMEDOUT;
        case ECONNREFUSED:
            return WSAECONNREFUSED;
        case EMFILE:
        case ENFILE:
            return WSAEMFILE;
        case EFAULT:
            return WSAEFAULT;
        default:
            return WSAEINVAL;
    }
}

int Fail(int wsaError) {
    t_lastError = wsaError;
    return SOCKET_ERROR;
}

// Counts the call; false (with WSANOTINITIALISED) before WSAStartup.
bool Enter() {
    g_socketCalls.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(TheLayer().mutex);
    if (TheLayer().startups == 0) {
        t_lastError = WSANOTINITIALISED;
        return false;
    }
    return true;
}

// The descriptor of a socket, or -1; the caller holds the mutex.
int FdOfLocked(Layer& layer, SOCKET s) {
    auto it = layer.open.find(s);
    return it == layer.open.end() ? -1 : it->second;
}

int FdOf(SOCKET s) {
    std::lock_guard<std::mutex> lock(TheLayer().mutex);
    return FdOfLocked(TheLayer(), s);
}

SOCKET AddSocketLocked(Layer& layer, int fd) {
    const SOCKET id = layer.nextId++;
    layer.open[id] = fd;
    layer.idOf[fd] = id;
    return id;
}

void WakePoller(Layer& layer) {
    if (layer.wake[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(layer.wake[1], &c, 1);
    }
}

// Re-enables an event of a registered socket (called after the call that re-enables it).
void Rearm(int fd, LONG event) {
    Layer& layer = TheLayer();
    std::lock_guard<std::mutex> lock(layer.mutex);
    auto it = layer.registered.find(fd);
    if (it == layer.registered.end() || (it->second.events & event) == 0) return;
    if ((it->second.armed & event) != 0) return;
    it->second.armed |= event;
    WakePoller(layer);
}

void PollerLoop(Layer* layerOf) {
    Layer& layer = *layerOf;
    struct Notice {
        HWND window;
        UINT message;
        SOCKET socket;
        LPARAM lParam;
    };
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<uint64_t> generations;  // of each polled registration, by index
        {
            std::lock_guard<std::mutex> lock(layer.mutex);
            if (layer.stopping) break;
            fds.push_back({layer.wake[0], POLLIN, 0});
            generations.push_back(0);
            for (auto& [fd, reg] : layer.registered) {
                short want = 0;
                if (reg.connecting) {
                    want |= POLLOUT;
                } else if (reg.listening) {
                    if (reg.armed & FD_ACCEPT) want |= POLLIN;
                } else if (reg.connected) {
                    if (!reg.closeSent && (reg.armed & (FD_READ | FD_CLOSE))) want |= POLLIN;
                    if (reg.armed & FD_WRITE) want |= POLLOUT;
                }
                if (want != 0) {
                    fds.push_back({fd, want, 0});
                    generations.push_back(reg.generation);
                }
            }
        }
        int ready = ::poll(fds.data(), fds.size(), -1);
        if (ready < 0) continue;
        if (auto hook = g_pollHook.load()) hook(ready - (fds[0].revents != 0 ? 1 : 0));
        if (fds[0].revents & POLLIN) {
            char buf[64];
            while (::read(layer.wake[0], buf, sizeof buf) > 0) {
            }
        }
        std::vector<Notice> notices;
        {
            std::lock_guard<std::mutex> lock(layer.mutex);
            for (size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0) continue;
                auto it = layer.registered.find(fds[i].fd);
                if (it == layer.registered.end() || it->second.generation != generations[i])
                    continue;
                Registration& reg = it->second;
                const int fd = fds[i].fd;
                auto post = [&](LONG event, int error) {
                    if (reg.events & event)
                        notices.push_back({reg.window, reg.message, layer.idOf[fd],
                                           WSAMAKESELECTREPLY(event, error)});
                };
                if (reg.connecting) {
                    int err = 0;
                    socklen_t len = sizeof err;
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    reg.connecting = false;
                    reg.connected = err == 0;
                    post(FD_CONNECT, err == 0 ? 0 : ErrnoToWsa(err));
                    if (err == 0 && (reg.armed & FD_WRITE)) {
                        reg.armed &= ~FD_WRITE;
                        post(FD_WRITE, 0);
                    } else if (err != 0) {
                        reg.closeSent = true;
                        reg.armed = 0;
                    }
                    continue;
                }
                if (reg.listening) {
                    if ((fds[i].revents & POLLIN) && (reg.armed & FD_ACCEPT)) {
                        reg.armed &= ~FD_ACCEPT;
                        post(FD_ACCEPT, 0);
                    }
                    continue;
                }
                // Listed before its connect began: nothing to tell yet.
                if (!reg.connected) continue;
                if ((fds[i].revents & POLLOUT) && (reg.armed & FD_WRITE)) {
                    reg.armed &= ~FD_WRITE;
                    post(FD_WRITE, 0);
                }
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    char c;
                    ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
                    if (n > 0) {
                        if (reg.armed & FD_READ) {
                            reg.armed &= ~FD_READ;
                            post(FD_READ, 0);
                        }
                    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                        // The peer closed (or the connection broke) and nothing is left to read.
                        int err = n == 0 ? 0 : ErrnoToWsa(errno);
                        reg.closeSent = true;
                        reg.armed &= ~(FD_READ | FD_CLOSE);
                        post(FD_CLOSE, err);
                    }
                }
            }
        }
        for (const Notice& n : notices)
            PostMessageA(n.window, n.message, static_cast<WPARAM>(n.socket), n.lParam);
    }
}

void StartPollerLocked(Layer& layer) {
    if (layer.pollerRunning) return;
    if (::pipe(layer.wake) != 0) return;
    ::fcntl(layer.wake[0], F_SETFL, O_NONBLOCK);
    ::fcntl(layer.wake[1], F_SETFL, O_NONBLOCK);
    layer.stopping = false;
    layer.pollerRunning = true;
    g_pollerAlive = true;
    layer.poller = std::thread(PollerLoop, &layer);
}

void StopPoller(Layer& layer) {
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        if (!layer.pollerRunning) return;
        layer.stopping = true;
        WakePoller(layer);
    }
    layer.poller.join();
    std::lock_guard<std::mutex> lock(layer.mutex);
    ::close(layer.wake[0]);
    ::close(layer.wake[1]);
    layer.wake[0] = layer.wake[1] = -1;
    layer.pollerRunning = false;
    g_pollerAlive = false;
}

Layer::~Layer() {
    StopPoller(*this);
}

}  // namespace

int WSAStartup(WORD version, WSADATA* data) {
    g_socketCalls.fetch_add(1, std::memory_order_relaxed);
    if (data == nullptr) return WSAEFAULT;
    data->wVersion = version;
    data->wHighVersion = 0x0202;
    std::lock_guard<std::mutex> lock(TheLayer().mutex);
    ++TheLayer().startups;
    return 0;
}

int WSACleanup() {
    if (!Enter()) return SOCKET_ERROR;
    Layer& layer = TheLayer();
    bool last;
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        last = --layer.startups == 0;
    }
    if (!last) return 0;
    StopPoller(layer);
    std::lock_guard<std::mutex> lock(layer.mutex);
    for (auto& [id, fd] : layer.open) ::close(fd);
    layer.open.clear();
    layer.idOf.clear();
    layer.registered.clear();
    return 0;
}

int WSAGetLastError() {
    return t_lastError;
}

SOCKET socket(int family, int type, int protocol) {
    if (!Enter()) return INVALID_SOCKET;
    if (family != AF_INET || type != SOCK_STREAM) {
        t_lastError = WSAEINVAL;
        return INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        t_lastError = ErrnoToWsa(errno);
        return INVALID_SOCKET;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    std::lock_guard<std::mutex> lock(TheLayer().mutex);
    return AddSocketLocked(TheLayer(), fd);
}

int bind(SOCKET s, const sockaddr* address, int length) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0) return Fail(WSAENOTSOCK);
    if (::bind(sfd, address, static_cast<socklen_t>(length)) != 0) return Fail(ErrnoToWsa(errno));
    return 0;
}

int listen(SOCKET s, int backlog) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0) return Fail(WSAENOTSOCK);
    if (::listen(sfd, backlog) != 0) return Fail(ErrnoToWsa(errno));
    Layer& layer = TheLayer();
    std::lock_guard<std::mutex> lock(layer.mutex);
    auto it = layer.registered.find(sfd);
    if (it != layer.registered.end()) it->second.listening = true;
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
    if (!Enter()) return INVALID_SOCKET;
    const int sfd = FdOf(s);
    if (sfd < 0) {
        t_lastError = WSAENOTSOCK;
        return INVALID_SOCKET;
    }
    socklen_t len = length != nullptr ? static_cast<socklen_t>(*length) : 0;
    int fd = ::accept4(sfd, address, length != nullptr ? &len : nullptr, SOCK_CLOEXEC);
    const int err = errno;
    Rearm(sfd, FD_ACCEPT);
    if (fd < 0) {
        t_lastError = ErrnoToWsa(err);
        return INVALID_SOCKET;
    }
    if (length != nullptr) *length = static_cast<int>(len);
    Layer& layer = TheLayer();
    std::lock_guard<std::mutex> lock(layer.mutex);
    const SOCKET id = AddSocketLocked(layer, fd);
    // An accepted socket takes the listening socket's registration, as on the desktop.
    auto it = layer.registered.find(sfd);
    if (it != layer.registered.end()) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        Registration reg = it->second;
        reg.listening = false;
        reg.connecting = false;
        reg.closeSent = false;
        reg.connected = true;
        reg.armed = reg.events;
        reg.generation = layer.nextGeneration++;
        layer.registered[fd] = reg;
        WakePoller(layer);
    }
    return id;
}

int connect(SOCKET s, const sockaddr* address, int length) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0) return Fail(WSAENOTSOCK);
    if (::connect(sfd, address, static_cast<socklen_t>(length)) == 0) {
        // Loopback connections may complete at once; the notice still follows.
        Layer& layer = TheLayer();
        std::lock_guard<std::mutex> lock(layer.mutex);
        auto it = layer.registered.find(sfd);
        if (it == layer.registered.end()) return 0;
        it->second.connecting = true;
        it->second.generation = layer.nextGeneration++;
        WakePoller(layer);
        return Fail(WSAEWOULDBLOCK);
    }
    const int err = errno;
    if (err == EINPROGRESS) {
        Layer& layer = TheLayer();
        std::lock_guard<std::mutex> lock(layer.mutex);
        auto it = layer.registered.find(sfd);
        if (it != layer.registered.end()) {
            it->second.connecting = true;
            it->second.generation = layer.nextGeneration++;
            WakePoller(layer);
        }
    }
    return Fail(ErrnoToWsa(err));
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0) return Fail(WSAENOTSOCK);
    const int sysFlags = (flags & 0x2) ? MSG_PEEK : 0;  // MSG_PEEK has the same value 2
    ssize_t n = ::recv(sfd, buffer, static_cast<size_t>(length), sysFlags);
    const int err = errno;
    if ((flags & 0x2) == 0) Rearm(sfd, FD_READ);
    if (n < 0) return Fail(ErrnoToWsa(err));
    return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0) return Fail(WSAENOTSOCK);
    ssize_t n = ::send(sfd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0) {
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK) Rearm(sfd, FD_WRITE);
        return Fail(ErrnoToWsa(err));
    }
    // A send cut short re-enables FD_WRITE as a refused one does: the caller stops there and
    // waits for the notice.
    if (n < length) Rearm(sfd, FD_WRITE);
    return static_cast<int>(n);
}

int closesocket(SOCKET s) {
    if (!Enter()) return SOCKET_ERROR;
    Layer& layer = TheLayer();
    std::lock_guard<std::mutex> lock(layer.mutex);
    const int fd = FdOfLocked(layer, s);
    if (fd < 0) return Fail(WSAENOTSOCK);
    layer.open.erase(s);
    layer.idOf.erase(fd);
    layer.registered.erase(fd);
    ::close(fd);
    WakePoller(layer);
    return 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    if (!Enter()) return SOCKET_ERROR;
    const int sfd = FdOf(s);
    if (sfd < 0 || length == nullptr) return Fail(WSAENOTSOCK);
    socklen_t len = static_cast<socklen_t>(*length);
    if (::getsockname(sfd, address, &len) != 0) return Fail(ErrnoToWsa(errno));
    *length = static_cast<int>(len);
    return 0;
}

BOOL LookupHostIPv4(const char* host, uint32_t* address) {
    if (!Enter()) return FALSE;
    if (host == nullptr || address == nullptr) return FALSE;
    in_addr direct{};
    if (::inet_pton(AF_INET, host, &direct) == 1) {
        *address = direct.s_addr;
        return TRUE;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        t_lastError = WSAHOST_NOT_FOUND;
        return FALSE;
    }
    *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return TRUE;
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, LONG events) {
    if (!Enter()) return SOCKET_ERROR;
    Layer& layer = TheLayer();
    std::lock_guard<std::mutex> lock(layer.mutex);
    const int fd = FdOfLocked(layer, s);
    if (fd < 0) return Fail(WSAENOTSOCK);
    if (events == 0) {
        layer.registered.erase(fd);
        WakePoller(layer);
        return 0;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Registration reg;
    auto old = layer.registered.find(fd);
    if (old != layer.registered.end()) reg = old->second;
    reg.window = window;
    reg.message = message;
    reg.events = events;
    reg.armed = events;
    reg.generation = layer.nextGeneration++;
    int accepting = 0;
    socklen_t len = sizeof accepting;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &len) == 0 && accepting)
        reg.listening = true;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (!reg.connecting && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0)
        reg.connected = true;
    layer.registered[fd] = reg;
    StartPollerLocked(layer);
    WakePoller(layer);
    return 0;
}

}  // namespace plat

namespace plat::testing {

uint64_t SocketCallCount() {
    return g_socketCalls.load();
}

bool SocketPollerRunning() {
    return g_pollerAlive.load();
}

void SetSocketPollHook(void (*hook)(int ready)) {
    g_pollHook = hook;
}

int SocketDescriptor(SOCKET s) {
    return FdOf(s);
}

}  // namespace plat::testing
