// The socket layer and the HTTP client on the loopback address. Every exchange runs a bounded
// number of pump passes; the few seconds of the safety stop only keep a fault from hanging.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/core/network.h"
#include "platform/testing.h"
#include "platform/winsock/winsock.h"

namespace {

using namespace tessra;
using namespace tessra::sjis_literals;

uint32_t Loopback() {
    return htonl(INADDR_LOOPBACK);
}

// Runs pump passes until the condition holds: at most 20000 passes, stopped early by a safety
// bound of a few seconds.
bool PumpUntil(const std::function<bool()>& cond) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int pass = 0; pass < 20000; ++pass) {
        PumpNetworkMessages(1);
        StepAllHttpTransfers();
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return cond();
}

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::testing::Reset();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               (std::string("network_") + info->name() + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        SetLogStartDirectory(dir_.c_str());
        GetLogState().logOff = 0;
        InitLogFile();
        allocsBefore_ = GetAllocStats().count;
    }
    void TearDown() override {
        TerminateNetwork();
        EXPECT_FALSE(plat::testing::SocketPollerRunning());
        EXPECT_EQ(GetAllocStats().count, allocsBefore_) << "blocks left allocated";
        SetLogStartDirectory(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string ReadLog() const {
        std::ifstream f(dir_ / GetLogState().fileName, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    // A listening handle pair: the accepted one and the connecting one, both connected.
    void Connect(int framed, EngineHandle* server, EngineHandle* client) {
        ASSERT_EQ(StartNetwork(), 0);
        const int port = ListenNetWork(0, framed);
        ASSERT_GT(port, 0);
        *client = ConnectNetWork(Loopback(), port, framed);
        ASSERT_GE(*client, 0);
        *server = -1;
        ASSERT_TRUE(PumpUntil([&] {
            if (*server < 0) *server = TakeAcceptedNetWork();
            return *server >= 0 && GetNetWorkAcceptState(*client) == 1;
        }));
        EXPECT_EQ(*server & kHandleKindMask, kNetworkHandleKind);
        EXPECT_EQ(GetNetWorkAcceptState(*server), 1);
    }
    std::string Receive(EngineHandle handle, int n) {
        std::string out(static_cast<size_t>(n), '\0');
        EXPECT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) >= n; }));
        EXPECT_EQ(NetWorkRecv(handle, out.data(), n), 0);
        return out;
    }
    std::filesystem::path dir_;
    int32_t allocsBefore_ = 0;
};

std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>(x >> 16);
    }
    return s;
}

TEST(RingBufferTest, AppendsAndReadsAcrossTheEnd) {
    RingBuffer ring{};
    ASSERT_EQ(AppendRingBuffer(&ring, "0123456789", 10), 0);
    EXPECT_EQ(ring.capacity, 1010);  // held + n + 1000
    std::vector<char> sink(1000);
    ASSERT_EQ(ReadRingBuffer(&ring, sink.data(), 8, 0), 0);
    const std::string big = Pattern(1005, 1);
    ASSERT_EQ(AppendRingBuffer(&ring, big.data(), 1005), 0);  // fits, wraps past the end
    EXPECT_EQ(ring.capacity, 1010);
    EXPECT_LT(ring.writeIndex, ring.readIndex);
    char two[2];
    ASSERT_EQ(ReadRingBuffer(&ring, two, 2, 1), 0);  // a peek leaves the bytes
    EXPECT_EQ(std::string(two, 2), "89");
    EXPECT_EQ(ring.held, 1007);
    std::string out(1007, '\0');
    ASSERT_EQ(ReadRingBuffer(&ring, out.data(), 1007, 0), 0);
    EXPECT_EQ(out, "89" + big);
    EXPECT_EQ(ReadRingBuffer(&ring, out.data(), 1, 0), -1);
    // Growing keeps a wrapped content in order from index 0.
    ASSERT_EQ(AppendRingBuffer(&ring, big.data(), 1005), 0);
    ASSERT_EQ(ReadRingBuffer(&ring, sink.data(), 900, 0), 0);
    ASSERT_EQ(AppendRingBuffer(&ring, big.data(), 1005), 0);
    EXPECT_EQ(ring.readIndex, 0);
    out.assign(1110, '\0');
    ASSERT_EQ(ReadRingBuffer(&ring, out.data(), 1110, 0), 0);
    EXPECT_EQ(out, big.substr(900) + big);
    FreeRingBuffer(&ring);
    EXPECT_EQ(ring.data, nullptr);
}

TEST_F(NetworkTest, NotStartedMakesNoSocketCallThreadOrAllocation) {
    const uint64_t calls = plat::testing::SocketCallCount();
    const int32_t blocks = GetAllocStats().count;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PumpNetworkMessages(1), 0);
        EXPECT_EQ(StepAllHttpTransfers(), 0);
    }
    EXPECT_EQ(HandleSocketEvent(5, plat::FD_READ), 0);
    EXPECT_EQ(NetWorkSend(kNetworkHandleKind, "x", 1), -1);
    EXPECT_EQ(GetNetWorkDataLength(kNetworkHandleKind), -1);
    EXPECT_EQ(AcceptNetWork(), -1);
    EXPECT_EQ(ConnectNetWork(Loopback(), 1, 1), -1);
    EXPECT_EQ(BeginHttpTransfer(HttpMethod::Get, "127.0.0.1", 1, "/", nullptr, nullptr, nullptr,
                                nullptr, 0),
              -1);
    EXPECT_EQ(DeleteAllHttpTransfers(), 0);
    EXPECT_EQ(TerminateNetwork(), 0);
    EXPECT_EQ(plat::testing::SocketCallCount(), calls);
    EXPECT_FALSE(plat::testing::SocketPollerRunning());
    EXPECT_EQ(GetAllocStats().count, blocks);
    EXPECT_EQ(ReadLog().find("ネットワーク"_sjis), std::string::npos);
}

TEST_F(NetworkTest, FramedMessagesBothWays) {
    EngineHandle server, client;
    Connect(1, &server, &client);
    EXPECT_TRUE(plat::testing::SocketPollerRunning());
    ASSERT_EQ(NetWorkSend(client, "hello", 5), 0);
    EXPECT_EQ(Receive(server, 5), "hello");
    ASSERT_EQ(NetWorkSend(server, "good day", 8), 0);
    char peek[4];
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(client) == 8; }));
    ASSERT_EQ(NetWorkRecvToPeek(client, peek, 4), 0);
    EXPECT_EQ(GetNetWorkDataLength(client), 8);
    EXPECT_EQ(Receive(client, 8), "good day");
    EXPECT_EQ(NetWorkRecv(client, peek, 1), -1);  // nothing waits

    // 600 bytes make the receive ring 1600 long; once read, the next 1200 wrap past its end.
    const std::string first = Pattern(600, 2), second = Pattern(1200, 3);
    ASSERT_EQ(NetWorkSend(client, first.data(), 600), 0);
    EXPECT_EQ(Receive(server, 600), first);
    ASSERT_EQ(NetWorkSend(client, second.data(), 1200), 0);
    EXPECT_EQ(Receive(server, 1200), second);

    // One message larger than both socket buffers together.
    const std::string huge = Pattern(12 * 1024 * 1024, 4);
    ASSERT_EQ(NetWorkSend(server, huge.data(), static_cast<int32_t>(huge.size())), 0);
    // Until the message is whole, none of it counts as waiting.
    PumpNetworkMessages(1);
    const int waiting = GetNetWorkDataLength(client);
    EXPECT_TRUE(waiting == 0 || waiting == static_cast<int>(huge.size()));
    EXPECT_TRUE(Receive(client, static_cast<int>(huge.size())) == huge);
}

TEST_F(NetworkTest, PlainLinesAndTheCallersBufferSize) {
    EngineHandle server, client;
    Connect(0, &server, &client);
    const std::string text = "first line\r\nsecond";
    ASSERT_EQ(NetWorkSend(client, text.data(), static_cast<int32_t>(text.size())), 0);
    char line[64];
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 18; }));
    EXPECT_EQ(RecvNetWorkLine(server, line, sizeof line), 12);
    EXPECT_STREQ(line, "first line\r\n");
    EXPECT_EQ(RecvNetWorkLine(server, line, sizeof line), -1);  // no whole line yet
    ASSERT_EQ(NetWorkSend(client, " part\n", 6), 0);
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 12; }));
    // A buffer of 5 bytes takes 4 of the line and its 0; nothing past it is written.
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(RecvNetWorkLine(server, small, 5), 4);
    EXPECT_STREQ(small, "seco");
    EXPECT_EQ(std::string(small + 5, 3), "###");
    EXPECT_EQ(GetNetWorkDataLength(server), 0);
}

TEST_F(NetworkTest, CloseSendsWhatIsPending) {
    EngineHandle server, client;
    Connect(1, &server, &client);
    const std::string data = Pattern(300 * 1024, 5);
    ASSERT_EQ(NetWorkSend(client, data.data(), static_cast<int32_t>(data.size())), 0);
    ASSERT_EQ(CloseNetWorkHandle(client), 0);
    EXPECT_TRUE(Receive(server, static_cast<int>(data.size())) == data);
    EXPECT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(server) == 0; }));
    // The closed handle is gone, and stays refused when its slot is taken again.
    EXPECT_EQ(GetNetWorkDataLength(client), -1);
    EXPECT_NE(
        ReadLog().find("有効なネットワークハンドルではありません in GetNetWorkDataLength\r\n"_sjis),
        std::string::npos);
}

TEST_F(NetworkTest, BadAndStaleHandlesAreRefusedWithTheirNames) {
    ASSERT_EQ(StartNetwork(), 0);
    const int port = ListenNetWork(0, 1);
    ASSERT_GT(port, 0);
    const EngineHandle first = ConnectNetWork(Loopback(), port, 1);
    ASSERT_GE(first, 0);
    ASSERT_EQ(CloseNetWorkHandle(first), 0);
    const EngineHandle again = ConnectNetWork(Loopback(), port, 1);
    ASSERT_GE(again, 0);
    EXPECT_EQ(HandleSlot(again), HandleSlot(first));
    EXPECT_NE(again, first);
    char buf[8];
    EXPECT_EQ(NetWorkRecv(first, buf, 1), -1);                                 // stale
    EXPECT_EQ(NetWorkSend(kGraphHandleKind | HandleSlot(again), "x", 1), -1);  // wrong kind
    EXPECT_EQ(GetNetWorkAcceptState(kNetworkHandleKind | 4096), -1);           // empty slot
    EXPECT_EQ(GetNetWorkDataLength(-1), -1);
    const std::string log = ReadLog();
    for (const char* name : {"NetWorkRecv\r\n", "NetWorkSend\r\n", "GetNetWorkAcceptStateh\r\n",
                             "GetNetWorkDataLength\r\n"}) {
        EXPECT_NE(log.find(std::string("有効なネットワークハンドルではありません in "_sjis) + name),
                  std::string::npos)
            << name;
    }
    // A socket notice for a socket without a record.
    HandleSocketEvent(100000, plat::FD_READ);
    EXPECT_NE(ReadLog().find("通信エラー No.1\r\n"_sjis), std::string::npos);
}

// A raw peer on the loopback address, outside the layer.
int RawConnect(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST_F(NetworkTest, HugeFrameLengthIsRefusedBeforeAllocating) {
    ASSERT_EQ(StartNetwork(), 0);
    const int port = ListenNetWork(0, 1);
    ASSERT_GT(port, 0);
    const int fd = RawConnect(port);
    ASSERT_GE(fd, 0);
    EngineHandle server = -1;
    ASSERT_TRUE(
        PumpUntil([&] { return (server = server >= 0 ? server : TakeAcceptedNetWork()) >= 0; }));
    const int64_t before = GetAllocStats().totalSize;
    const unsigned char length[4] = {0x00, 0x00, 0x00, 0x80};  // 2 GB, little-endian
    ASSERT_EQ(::send(fd, length, 4, 0), 4);
    ASSERT_EQ(::send(fd, "abcd", 4, 0), 4);
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == -1; }));
    EXPECT_LT(GetAllocStats().totalSize - before, 1 << 20);
    const std::string log = ReadLog();
    EXPECT_NE(
        log.find(
            "受信データを保存するリングバッファのリサイズに失敗しました(データサイズ -2147483648 byte)"_sjis),
        std::string::npos);
    EXPECT_NE(
        log.find(
            "このネットワークハンドルにはエラーが発生しています in GetNetWorkDataLength\r\n"_sjis),
        std::string::npos);
    // The connection was closed: the peer reads its end.
    char c;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_LE(::recv(fd, &c, 1, 0), 0);
    ::close(fd);
}

TEST_F(NetworkTest, ALengthWithinTheLimitReservesOnlyAsTheBytesCome) {
    ASSERT_EQ(StartNetwork(), 0);
    const int port = ListenNetWork(0, 1);
    ASSERT_GT(port, 0);
    const int fd = RawConnect(port);
    ASSERT_GE(fd, 0);
    EngineHandle server = -1;
    ASSERT_TRUE(
        PumpUntil([&] { return (server = server >= 0 ? server : TakeAcceptedNetWork()) >= 0; }));
    const int64_t before = GetAllocStats().totalSize;
    // 60 MB announced, three bytes sent: the message is incomplete, nothing waits, and what
    // is held stays near the bytes that came rather than the length claimed.
    const unsigned char length[4] = {0x00, 0x00, 0xC0, 0x03};
    ASSERT_EQ(::send(fd, length, 4, 0), 4);
    ASSERT_EQ(::send(fd, "abc", 3, 0), 3);
    for (int i = 0; i < 50; ++i) PumpNetworkMessages(1);
    EXPECT_EQ(GetNetWorkDataLength(server), 0);
    EXPECT_LT(GetAllocStats().totalSize - before, 2 << 20);
    ::close(fd);
}

// A small HTTP server in the test: serves one connection with a canned response and keeps the
// request bytes it read (through the blank line, CR LF or bare LF, and the Content-Length body,
// if any).
class TinyHttpServer {
public:
    explicit TinyHttpServer(std::string response) : response_(std::move(response)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 1);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TinyHttpServer() {
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    std::string Request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }

private:
    void Serve() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) return;
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        size_t want = std::string::npos;
        char buf[4096];
        for (int i = 0; i < 1000; ++i) {
            pollfd q{c, POLLIN, 0};
            if (::poll(&q, 1, 5000) != 1) break;
            ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            request_.append(buf, static_cast<size_t>(n));
            const size_t crlf = request_.find("\r\n\r\n"), lf = request_.find("\n\n");
            const size_t end = std::min(crlf, lf);
            if (end != std::string::npos && want == std::string::npos) {
                want = end + (end == crlf ? 4 : 2);
                const size_t cl = request_.find("Content-Length: ");
                if (cl != std::string::npos && cl < end)
                    want += std::stoul(request_.substr(cl + 16));
            }
            if (want != std::string::npos && request_.size() >= want) break;
        }
        size_t sent = 0;
        while (sent < response_.size()) {
            ssize_t n = ::send(c, response_.data() + sent, response_.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::close(c);
    }
    std::string response_;
    std::string request_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

struct HttpCase {
    const char* name;
    HttpMethod method;
    std::string response;
    bool toFile;
    int result;
    int errorCode;
    std::string body;  // expected body
};

TEST_F(NetworkTest, HttpTransfers) {
    const std::string longBody = Pattern(10000, 7);
    // clang-format off
    const HttpCase cases[] = {
        {"get memory with length", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n\r\nhello", false, 0, 0, "hello"},
        {"get file without length", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\n" + longBody, true, 0, 0, longBody},
        {"get file with length", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\nContent-Length: 10000\r\n\r\n" + longBody, true, 0, 0, longBody},
        {"get memory without length", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\n\r\n" + longBody, false, 0, 0, longBody},
        {"not found", HttpMethod::Get, "HTTP/1.0 404 Not Found\r\n\r\n", false, 2, 1, ""},
        {"other status", HttpMethod::Get, "HTTP/1.0 500 Oops\r\n\r\n", false, 2, 0, ""},
        {"post", HttpMethod::Post, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", false, 0, 0,
         "ok"},
        {"head", HttpMethod::Head, "HTTP/1.0 200 OK\r\nContent-Length: 99\r\n\r\n", false, 0, 0,
         ""},
        {"huge length for memory", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\nabc", false, 2, 2, ""},
        // Closed inside the status line or the headers: the cut line never ends, so the
        // transfer fails instead of waiting for ever.
        {"status line cut", HttpMethod::Get, "HTTP/1.0 200 OK", false, 2, 3, ""},
        // A length near the limit with three bytes behind it: refused as cut short. (That the
        // block grows with the body instead of being made at the stated 60 MB at once is held
        // by the HTTP fuzz target's 64 MB allocation limit; here the whole exchange can fall
        // between two samples of the peak.)
        {"large length, short body", HttpMethod::Get,
         "HTTP/1.0 200 OK\r\nContent-Length: 60000000\r\n\r\nabc", false, 2, 3, ""},
        {"headers cut", HttpMethod::Get, "HTTP/1.0 200 OK\r\nContent-Length: 5", false, 2, 3,
         ""},
    };
    // clang-format on
    ASSERT_EQ(StartNetwork(), 0);
    for (const HttpCase& c : cases) {
        SCOPED_TRACE(c.name);
        TinyHttpServer server(c.response);
        const std::string file = (dir_ / "body.bin").string();
        void* block = nullptr;
        int32_t size = -1;
        const int64_t before = GetAllocStats().totalSize;
        const char* post = "a=1&b=2";
        const int slot = BeginHttpTransfer(c.method, "127.0.0.1", server.port(), "/x/y.txt",
                                           c.toFile ? file.c_str() : nullptr, &block, &size, post,
                                           c.method == HttpMethod::Post ? 7 : 0);
        ASSERT_GE(slot, 0);
        int result = -1, code = -1;
        int64_t peak = 0;
        ASSERT_TRUE(PumpUntil([&] {
            peak = std::max(peak, GetAllocStats().totalSize - before);
            return GetHttpTransferResult(slot, &result, &code) == 1;
        }));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(code, c.errorCode);
        EXPECT_LT(GetAllocStats().totalSize - before, 1 << 20);
        EXPECT_LE(peak, 2 << 20) << "memory held while the transfer ran";
        // The request texts byte for byte: GET with CR LF, POST and HEAD with bare LF, HEAD
        // without a host line.
        const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port());
        const std::string request = server.Request();
        switch (c.method) {
            case HttpMethod::Get:
                EXPECT_EQ(request,
                          "GET /x/y.txt HTTP/1.0\r\n" + host + "\r\nConnection: close\r\n\r\n");
                break;
            case HttpMethod::Post:
                EXPECT_EQ(request,
                          "POST /x/y.txt HTTP/1.0\n" + host + "\nContent-Length: 7\n\na=1&b=2");
                break;
            case HttpMethod::Head:
                EXPECT_EQ(request, "HEAD /x/y.txt HTTP/1.0\n\n");
                break;
        }
        if (c.result == 0 && c.toFile) {
            std::ifstream f(file, std::ios::binary);
            std::stringstream s;
            s << f.rdbuf();
            EXPECT_TRUE(s.str() == c.body);
        } else if (c.result == 0 && c.method != HttpMethod::Head) {
            ASSERT_NE(block, nullptr);
            ASSERT_EQ(size, static_cast<int32_t>(c.body.size()));
            EXPECT_TRUE(std::string(static_cast<char*>(block), c.body.size()) == c.body);
        } else {
            EXPECT_EQ(block, nullptr);
        }
        FreeTagged(block);
        EXPECT_EQ(DeleteHttpTransfer(slot), 0);
        EXPECT_EQ(GetHttpTransferResult(slot, &result, &code), -1);
    }
    EXPECT_NE(ReadLog().find("接続に失敗しました (戻り値:404)"_sjis), std::string::npos);
    EXPECT_NE(ReadLog().find("接続に失敗しました (戻り値:500)"_sjis), std::string::npos);
}

TEST_F(NetworkTest, ClearingTheTransferTableClearsEverySlot) {
    ASSERT_EQ(StartNetwork(), 0);
    const int port = ListenNetWork(0, 0);
    ASSERT_GT(port, 0);
    for (int i = 0; i < kHttpTransferCount; ++i) {
        ASSERT_EQ(BeginHttpTransfer(HttpMethod::Head, "127.0.0.1", port, "/", nullptr, nullptr,
                                    nullptr, nullptr, 0),
                  i);
    }
    EXPECT_EQ(BeginHttpTransfer(HttpMethod::Head, "127.0.0.1", port, "/", nullptr, nullptr, nullptr,
                                nullptr, 0),
              -1);
    ClearHttpTransferTable();
    EXPECT_EQ(GetHttpTransferResult(kHttpTransferCount - 1, nullptr, nullptr), -1);
    EXPECT_EQ(GetHttpTransferResult(0, nullptr, nullptr), -1);
}

TEST_F(NetworkTest, TerminateLogsAndStopsThePoller) {
    EngineHandle server, client;
    Connect(1, &server, &client);
    EXPECT_EQ(TerminateNetwork(), 0);
    EXPECT_FALSE(plat::testing::SocketPollerRunning());
    EXPECT_FALSE(NetworkStarted());
    const std::string log = ReadLog();
    const size_t begin = log.find("ネットワーク関連の終了処理を行います \r\n"_sjis);
    ASSERT_NE(begin, std::string::npos);
    EXPECT_NE(log.find("ネットワーク関連の終了処理は完了しました\r\n"_sjis, begin),
              std::string::npos);
}

}  // namespace

namespace {

// A notice still queued for a closed socket must not be taken for a socket made after it.
TEST(WinsockTest, SocketNumbersAreNotReused) {
    plat::WSADATA data;
    ASSERT_EQ(plat::WSAStartup(0x0202, &data), 0);
    const plat::SOCKET first = plat::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(first, plat::INVALID_SOCKET);
    ASSERT_EQ(plat::closesocket(first), 0);
    const plat::SOCKET second = plat::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(second, plat::INVALID_SOCKET);
    EXPECT_NE(second, first);
    char c;
    EXPECT_EQ(plat::recv(first, &c, 1, 0), plat::SOCKET_ERROR);
    EXPECT_EQ(plat::WSAGetLastError(), plat::WSAENOTSOCK);
    EXPECT_EQ(plat::closesocket(second), 0);
    EXPECT_EQ(plat::WSACleanup(), 0);
    EXPECT_EQ(plat::socket(AF_INET, SOCK_STREAM, 0), plat::INVALID_SOCKET);
    EXPECT_EQ(plat::WSAGetLastError(), plat::WSANOTINITIALISED);
}

}  // namespace
