#include "engine/core/network.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "platform/win/file.h"
#include "platform/win/messages.h"
#include "platform/win/time.h"
#include "platform/win/window.h"
#include "platform/winsock/winsock.h"

namespace tessra {

using namespace sjis_literals;

namespace {

constexpr plat::LONG kRecordEvents = plat::FD_READ | plat::FD_WRITE | plat::FD_CLOSE;  // 35
constexpr int32_t kNewSlotLimit = 4096;  // new handles take slots below this
constexpr uint32_t kCloseLimitMs = 1000;
constexpr int32_t kHttpChunk = 4096;
// The most a stated Content-Length reserves before its body arrives.
constexpr int64_t kHttpFirstBlock = 1 << 20;
// A framed message's room is reserved as its bytes come, this much at a time, so that a length
// word alone (up to the 64 MB limit) costs no more than the bytes that follow it.
constexpr int32_t kFramedReserveStep = 1 << 20;
constexpr const char* kLayerWindowClass = "TessraNetworkWindow";

struct NetWorkRecord {
    int32_t inUse;
    int32_t error;
    int32_t connected;
    int32_t closed;
    int32_t framed;
    int32_t mode2;
    int32_t check;
    plat::SOCKET socket;
    int32_t expected;    // bytes still expected of the incoming message
    int32_t partial;     // bytes of the incoming message already in the receive ring
    int32_t lengthHave;  // bytes of the incoming length prefix read so far
    uint8_t lengthBytes[4];
    RingBuffer recv;
    RingBuffer send;
    int32_t sendMessageLeft;
    int32_t sendPrefixLeft;
    uint8_t sendPrefix[4];
    uint32_t ip;
    int32_t port;
    EngineHandle handle;
    int32_t recvBusy;
    int32_t sendBusy;
    NetWorkRecord* prev;
    NetWorkRecord* next;
};

struct HttpTransferRecord {
    int32_t inUse;
    int32_t state;  // 0 send the request, 1 status, 2 headers, 3 body, 4 done
    HttpMethod kind;
    EngineHandle net;
    int32_t destination;  // 0 a file, 1 a memory block
    plat::FileHandle file;
    void** memoryOut;
    int32_t* memorySize;
    char* block;
    int32_t blockCapacity;
    int32_t contentLength;  // -1 while unknown
    int32_t received;
    char host[256];
    char path[1024];
    int32_t port;
    char* postBody;
    int32_t postLength;
    int32_t finished;
    int32_t result;
    int32_t errorCode;
};

struct NetworkLayer {
    int32_t started;
    plat::HWND window;
    plat::SOCKET listenSocket;
    int32_t listenFramed;
    int32_t createFramed;  // the setting new records copy
    HandleTable<NetWorkRecord, kNetWorkSlotCount> table;
    NetWorkRecord* head;
    std::deque<EngineHandle>* accepted;
};

NetworkLayer g_network{};
HttpTransferRecord g_httpTransfers[kHttpTransferCount];

void WrapRingIndices(RingBuffer* ring) {
    if (ring->readIndex == ring->capacity) ring->readIndex = 0;
    if (ring->writeIndex == ring->capacity) ring->writeIndex = 0;
}

void* Alloc(size_t size) {
    return AllocTagged(size, __FILE__, __LINE__);
}

int ErrorFlagLog(const char* name) {
    AppendLog("このネットワークハンドルにはエラーが発生しています in "_sjis);
    AppendLog(name);
    return AppendLog("\n");
}

int BadHandleLog(const char* name) {
    AppendLog("有効なネットワークハンドルではありません in "_sjis);
    AppendLog(name);
    return AppendLog("\n");
}

// The record of a handle, logging the refusal under the entry point's name; null when refused.
NetWorkRecord* RecordFor(EngineHandle handle, const char* name, bool refuseOnError = true) {
    if (!g_network.started) return nullptr;
    NetWorkRecord* record = g_network.table.Find(handle, kNetworkHandleKind);
    if (record == nullptr) {
        BadHandleLog(name);
        return nullptr;
    }
    if (refuseOnError && record->error) {
        ErrorFlagLog(name);
        return nullptr;
    }
    return record;
}

NetWorkRecord* FindBySocket(plat::SOCKET s) {
    for (NetWorkRecord* r = g_network.head; r != nullptr; r = r->next)
        if (r->socket == s) return r;
    return nullptr;
}

NetWorkRecord* NewRecord(plat::SOCKET s, int framed) {
    int32_t slot = -1;
    for (int32_t i = 0; i < kNewSlotLimit; ++i) {
        if (g_network.table.records[i] == nullptr) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return nullptr;
    auto* record =
        static_cast<NetWorkRecord*>(AllocTaggedZeroed(sizeof(NetWorkRecord), __FILE__, __LINE__));
    if (record == nullptr) return nullptr;
    record->inUse = 1;
    record->framed = framed;
    record->socket = s;
    record->check = g_network.table.checkCounter;
    g_network.table.checkCounter = NextHandleCheck(g_network.table.checkCounter);
    record->handle = MakeEngineHandle(kNetworkHandleKind, record->check, slot);
    g_network.table.Occupy(slot, record);
    record->next = g_network.head;
    if (g_network.head != nullptr) g_network.head->prev = record;
    g_network.head = record;
    return record;
}

void DropRecord(NetWorkRecord* record) {
    if (record->prev != nullptr)
        record->prev->next = record->next;
    else
        g_network.head = record->next;
    if (record->next != nullptr) record->next->prev = record->prev;
    g_network.table.Vacate(HandleSlot(record->handle));
    FreeRingBuffer(&record->recv);
    FreeRingBuffer(&record->send);
    FreeTagged(record);
}

// Closes the socket of a broken connection; the record stays for its handle's owner.
void CloseRecordSocket(NetWorkRecord* record) {
    if (record->socket != plat::INVALID_SOCKET) {
        plat::WSAAsyncSelect(record->socket, g_network.window, 0, 0);
        plat::closesocket(record->socket);
        record->socket = plat::INVALID_SOCKET;
    }
    record->connected = 0;
    record->closed = 1;
}

bool WouldBlock() {
    return plat::WSAGetLastError() == plat::WSAEWOULDBLOCK;
}

int RecvSocketBody(NetWorkRecord* record) {
    if (record->socket == plat::INVALID_SOCKET) return 0;
    char chunk[4096];
    for (;;) {
        if (!record->framed) {
            int n = plat::recv(record->socket, chunk, sizeof chunk, 0);
            if (n == 0) return 0;
            if (n < 0) return WouldBlock() ? 0 : AppendNetworkErrorLog("recv");
            if (AppendRingBuffer(&record->recv, chunk, n) < 0) {
                record->error = 1;
                return -1;
            }
            continue;
        }
        if (record->expected == 0 && record->lengthHave < 4) {
            int n = plat::recv(record->socket,
                               reinterpret_cast<char*>(record->lengthBytes) + record->lengthHave,
                               4 - record->lengthHave, 0);
            if (n == 0) return 0;
            if (n < 0) return WouldBlock() ? 0 : AppendNetworkErrorLog("recv");
            record->lengthHave += n;
            if (record->lengthHave < 4) continue;
            const uint32_t length = static_cast<uint32_t>(record->lengthBytes[0]) |
                                    (static_cast<uint32_t>(record->lengthBytes[1]) << 8) |
                                    (static_cast<uint32_t>(record->lengthBytes[2]) << 16) |
                                    (static_cast<uint32_t>(record->lengthBytes[3]) << 24);
            // A length past the limit is refused before anything is reserved for it.
            if (length > static_cast<uint32_t>(kMaxNetWorkMessageBytes) ||
                ReserveRingBuffer(static_cast<int32_t>(std::min<uint32_t>(
                                      length, static_cast<uint32_t>(kFramedReserveStep))),
                                  &record->recv) < 0) {
                AppendLogFormat(
                    "受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)"_sjis,
                    static_cast<int>(length));
                record->error = 1;
                CloseRecordSocket(record);
                return -1;
            }
            record->expected = static_cast<int32_t>(length);
            record->partial = 0;
            if (length == 0) {
                record->lengthHave = 0;
                continue;
            }
        }
        // The message bytes go straight into the ring, in two parts when it wraps; a full ring
        // grows by the next step of what the message still needs.
        RingBuffer* ring = &record->recv;
        if (ring->held == ring->capacity &&
            ReserveRingBuffer(std::min(record->expected, kFramedReserveStep), ring) < 0) {
            record->error = 1;
            CloseRecordSocket(record);
            return -1;
        }
        WrapRingIndices(ring);
        int32_t room = ring->writeIndex >= ring->readIndex && ring->held < ring->capacity
                           ? ring->capacity - ring->writeIndex
                           : ring->readIndex - ring->writeIndex;
        int32_t want = record->expected < room ? record->expected : room;
        int n = plat::recv(record->socket, ring->data + ring->writeIndex, want, 0);
        if (n == 0) return 0;
        if (n < 0) return WouldBlock() ? 0 : AppendNetworkErrorLog("recv");
        ring->writeIndex += n;
        ring->held += n;
        WrapRingIndices(ring);
        record->expected -= n;
        record->partial += n;
        if (record->expected == 0) {
            record->partial = 0;
            record->lengthHave = 0;
            return 0;  // a whole message; the next read notice brings the rest
        }
    }
}

int SendSocketBody(NetWorkRecord* record) {
    if (record->socket == plat::INVALID_SOCKET) return 0;
    RingBuffer* ring = &record->send;
    for (;;) {
        if (record->framed) {
            if (record->sendPrefixLeft > 0) {
                const int offset = 4 - record->sendPrefixLeft;
                int n =
                    plat::send(record->socket, reinterpret_cast<char*>(record->sendPrefix) + offset,
                               record->sendPrefixLeft, 0);
                if (n < 0) return WouldBlock() ? 0 : AppendNetworkErrorLog("send");
                record->sendPrefixLeft -= n;
                if (record->sendPrefixLeft > 0) return 0;
                continue;
            }
            if (record->sendMessageLeft == 0) {
                if (ring->held == 0) return 0;
                // A message is everything queued when it starts.
                const uint32_t length = static_cast<uint32_t>(ring->held);
                for (int i = 0; i < 4; ++i)
                    record->sendPrefix[i] = static_cast<uint8_t>(length >> (8 * i));
                record->sendMessageLeft = ring->held;
                record->sendPrefixLeft = 4;
                continue;
            }
        } else if (ring->held == 0) {
            return 0;
        }
        WrapRingIndices(ring);
        int32_t contiguous = ring->capacity - ring->readIndex;
        if (contiguous > ring->held) contiguous = ring->held;
        int32_t offer = contiguous;
        if (record->framed && offer > record->sendMessageLeft) offer = record->sendMessageLeft;
        int n = plat::send(record->socket, ring->data + ring->readIndex, offer, 0);
        if (n < 0) return WouldBlock() ? 0 : AppendNetworkErrorLog("send");
        ring->readIndex += n;
        ring->held -= n;
        WrapRingIndices(ring);
        if (record->framed) record->sendMessageLeft -= n;
        if (n < offer) return 0;
    }
}

int RecvSocket(NetWorkRecord* record) {
    if (record->error) return ErrorFlagLog("RecvSocket");
    if (record->recvBusy) return 0;
    record->recvBusy = 1;
    int result = RecvSocketBody(record);
    record->recvBusy = 0;
    return result;
}

int SendSocket(NetWorkRecord* record) {
    if (record->error) return ErrorFlagLog("SendSocket");
    if (record->sendBusy) return 0;
    record->sendBusy = 1;
    int result = SendSocketBody(record);
    record->sendBusy = 0;
    return result;
}

int32_t WaitingBytes(const NetWorkRecord* record) {
    return record->recv.held - (record->framed ? record->partial : 0);
}

plat::LRESULT LayerWindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                              plat::LPARAM lParam) {
    if (message == kSocketMessage) return HandleSocketEvent(wParam, lParam);
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

// --- HTTP helpers ----------------------------------------------------------------------------

int SendText(HttpTransferRecord* t, const char* text, int32_t n) {
    return NetWorkSend(t->net, text, n);
}

// One line of the response, without its CR LF; -1 when no whole line waits.
int TakeResponseLine(HttpTransferRecord* t, char* line, int32_t size) {
    int n = RecvNetWorkLine(t->net, line, size);
    if (n < 0) return -1;
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    return n;
}

NetWorkRecord* TransferRecord(HttpTransferRecord* t) {
    return g_network.table.Find(t->net, kNetworkHandleKind);
}

int StepRequest(int slot) {
    HttpTransferRecord* t = &g_httpTransfers[slot];
    NetWorkRecord* record = TransferRecord(t);
    if (record == nullptr || !record->connected) return 0;  // still connecting
    char request[2048];
    int n = 0;
    switch (t->kind) {
        case HttpMethod::Get:
            n = std::snprintf(request, sizeof request,
                              "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                              t->path, t->host, t->port);
            break;
        // POST and HEAD end their lines with a bare LF, which servers take as well; only GET
        // sends CR LF. HEAD names no host.
        case HttpMethod::Post:
            n = std::snprintf(request, sizeof request,
                              "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n", t->path,
                              t->host, t->port, t->postLength);
            break;
        case HttpMethod::Head:
            n = std::snprintf(request, sizeof request, "HEAD %s HTTP/1.0\n\n", t->path);
            break;
    }
    if (n < 0 || n >= static_cast<int>(sizeof request)) return CloseHttpTransfer(slot, 2, 3);
    if (SendText(t, request, n) < 0) return CloseHttpTransfer(slot, 2, 3);
    if (t->kind == HttpMethod::Post && t->postLength > 0 &&
        SendText(t, t->postBody, t->postLength) < 0)
        return CloseHttpTransfer(slot, 2, 3);
    t->state = 1;
    return 0;
}

int StepStatus(int slot) {
    HttpTransferRecord* t = &g_httpTransfers[slot];
    char line[256];
    if (TakeResponseLine(t, line, sizeof line) < 0) return 0;
    const char* blank = std::strchr(line, ' ');
    const int code = blank != nullptr ? std::atoi(blank + 1) : 0;
    if (code == 200) {
        t->state = 2;
        return 0;
    }
    if (t->kind == HttpMethod::Get) AppendLogFormat("接続に失敗しました (戻り値:%d)"_sjis, code);
    return CloseHttpTransfer(slot, 2, code == 404 ? 1 : 0);
}

// Grows the memory block to hold at least `need` bytes; false when it cannot.
bool GrowBlock(HttpTransferRecord* t, int32_t need) {
    if (need <= t->blockCapacity) return true;
    int64_t capacity = t->blockCapacity > 0 ? t->blockCapacity : kHttpChunk;
    while (capacity < need) capacity *= 2;
    if (capacity > kMaxNetWorkMessageBytes) capacity = kMaxNetWorkMessageBytes;
    if (capacity < need) return false;
    char* block = static_cast<char*>(Alloc(static_cast<size_t>(capacity)));
    if (block == nullptr) return false;
    if (t->block != nullptr) {
        std::memcpy(block, t->block, static_cast<size_t>(t->received));
        FreeTagged(t->block);
    }
    t->block = block;
    t->blockCapacity = static_cast<int32_t>(capacity);
    return true;
}

int StepHeaders(int slot) {
    HttpTransferRecord* t = &g_httpTransfers[slot];
    char line[256];
    while (TakeResponseLine(t, line, sizeof line) >= 0) {
        if (std::strchr(line, ':') == nullptr) {
            if (t->kind == HttpMethod::Head) return CloseHttpTransfer(slot, 0, 0);
            t->state = 3;
            if (t->contentLength == 0) return CloseHttpTransfer(slot, 0, 0);
            return 0;
        }
        if (std::strncmp(line, "Content-Length:", 15) == 0) {
            const long long length = std::atoll(line + 15);
            if (length < 0) return CloseHttpTransfer(slot, 2, 2);
            if (t->destination == 1 && t->kind != HttpMethod::Head) {
                // A body for memory past the limit is refused before anything is allocated.
                if (length > kMaxNetWorkMessageBytes) return CloseHttpTransfer(slot, 2, 2);
                // Room for the first megabyte at most: the block grows as the body arrives, so
                // a stated length the peer never sends costs nothing.
                const int64_t first = length < kHttpFirstBlock ? length : kHttpFirstBlock;
                if (!GrowBlock(t, first > 0 ? static_cast<int32_t>(first) : 1))
                    return CloseHttpTransfer(slot, 2, 2);
            }
            t->contentLength = length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
        }
    }
    return 0;
}

int StepBody(int slot) {
    HttpTransferRecord* t = &g_httpTransfers[slot];
    char chunk[kHttpChunk];
    for (;;) {
        int32_t waiting = GetNetWorkDataLength(t->net);
        if (waiting <= 0) break;
        int32_t take = waiting < kHttpChunk ? waiting : kHttpChunk;
        if (t->contentLength >= 0 && take > t->contentLength - t->received)
            take = t->contentLength - t->received;
        if (take <= 0) break;
        if (t->destination == 0) {
            if (NetWorkRecv(t->net, chunk, take) < 0) return CloseHttpTransfer(slot, 2, 3);
            uint32_t written = 0;
            if (!plat::WriteFile(t->file, chunk, static_cast<uint32_t>(take), &written, nullptr) ||
                written != static_cast<uint32_t>(take))
                return CloseHttpTransfer(slot, 2, 3);
        } else {
            if (static_cast<int64_t>(t->received) + take > kMaxNetWorkMessageBytes ||
                !GrowBlock(t, t->received + take))
                return CloseHttpTransfer(slot, 2, 2);
            if (NetWorkRecv(t->net, t->block + t->received, take) < 0)
                return CloseHttpTransfer(slot, 2, 3);
        }
        t->received += take;
    }
    if (t->contentLength >= 0 && t->received >= t->contentLength)
        return CloseHttpTransfer(slot, 0, 0);
    return 0;
}

}  // namespace

// --- Ring buffers ----------------------------------------------------------------------------

int ReserveRingBuffer(int32_t n, RingBuffer* ring) {
    if (n < 0) return -1;
    if (static_cast<int64_t>(ring->held) + n <= ring->capacity) return 0;
    const int64_t size = static_cast<int64_t>(ring->held) + n + 1000;
    char* data = size <= INT32_MAX ? static_cast<char*>(Alloc(static_cast<size_t>(size))) : nullptr;
    if (data == nullptr) {
        FreeRingBuffer(ring);
        AppendLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)"_sjis,
                        static_cast<int>(size));
        return -1;
    }
    // The held bytes move to index 0, in order.
    const int32_t held = ring->held;
    if (held > 0) ReadRingBuffer(ring, data, held, 1);
    FreeTagged(ring->data);
    ring->data = data;
    ring->capacity = static_cast<int32_t>(size);
    ring->readIndex = 0;
    ring->writeIndex = held;
    ring->held = held;
    return 0;
}

int AppendRingBuffer(RingBuffer* ring, const void* data, int32_t n) {
    if (n < 0 || ReserveRingBuffer(n, ring) < 0) {
        AppendLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)"_sjis,
                        n);
        return -1;
    }
    const char* from = static_cast<const char*>(data);
    while (n > 0) {
        WrapRingIndices(ring);
        int32_t room = ring->capacity - ring->writeIndex;
        int32_t part = n < room ? n : room;
        std::memcpy(ring->data + ring->writeIndex, from, static_cast<size_t>(part));
        ring->writeIndex += part;
        ring->held += part;
        from += part;
        n -= part;
    }
    WrapRingIndices(ring);
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* out, int32_t n, int peek) {
    if (n < 0 || n > ring->held) return -1;
    char* to = static_cast<char*>(out);
    int32_t index = ring->readIndex;
    int32_t left = n;
    while (left > 0) {
        if (index == ring->capacity) index = 0;
        int32_t part = ring->capacity - index;
        if (part > left) part = left;
        if (to != nullptr) std::memcpy(to, ring->data + index, static_cast<size_t>(part));
        if (to != nullptr) to += part;
        index += part;
        left -= part;
    }
    if (!peek) {
        ring->readIndex = index;
        ring->held -= n;
        WrapRingIndices(ring);
    }
    return 0;
}

int FreeRingBuffer(RingBuffer* ring) {
    FreeTagged(ring->data);
    *ring = RingBuffer{};
    return 0;
}

// --- Network handles ---------------------------------------------------------------------------

int AppendNetworkErrorLog(const char* format, ...) {
    const int code = plat::WSAGetLastError();
    char text[512];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    AppendLogFormat("ネットワークログ。%s[%d]"_sjis, text, code);
    return -1;
}

plat::LRESULT HandleSocketEvent(plat::WPARAM socket, plat::LPARAM event) {
    if (!g_network.started) return 0;
    const plat::SOCKET s = static_cast<plat::SOCKET>(socket);
    const int what = plat::WSAGETSELECTEVENT(event);
    const int error = plat::WSAGETSELECTERROR(event);
    if (what == plat::FD_ACCEPT && s == g_network.listenSocket) {
        AcceptNetWork();
        return 0;
    }
    NetWorkRecord* record = FindBySocket(s);
    if (record == nullptr) {
        AppendLog("通信エラー No.1\n"_sjis);
        return 0;
    }
    switch (what) {
        case plat::FD_READ:
            RecvSocket(record);
            break;
        case plat::FD_WRITE:
            SendSocket(record);
            break;
        case plat::FD_CONNECT:
            if (error == 0)
                record->connected = 1;
            else
                CloseRecordSocket(record);
            break;
        case plat::FD_CLOSE:
            RecvSocket(record);
            record->connected = 0;
            record->closed = 1;
            break;
        default:
            break;
    }
    return 0;
}

EngineHandle AcceptNetWork() {
    if (!g_network.started || g_network.listenSocket == plat::INVALID_SOCKET) return -1;
    sockaddr_in peer{};
    int length = sizeof peer;
    plat::SOCKET s =
        plat::accept(g_network.listenSocket, reinterpret_cast<sockaddr*>(&peer), &length);
    if (s == plat::INVALID_SOCKET) return AppendNetworkErrorLog("%s", "acceptに失敗しました"_sjis);
    bool full = true;
    for (int32_t i = 0; i < kNewSlotLimit; ++i) {
        if (g_network.table.records[i] == nullptr) {
            full = false;
            break;
        }
    }
    if (full) {
        plat::closesocket(s);
        return AppendLog("空きソケットデータがなかったので accept を拒否しました \n"_sjis);
    }
    NetWorkRecord* record = NewRecord(s, g_network.listenFramed);
    if (record == nullptr) {
        plat::closesocket(s);
        return AppendLog("ソケット用のメモリの確保に失敗しました\n"_sjis);
    }
    record->ip = peer.sin_addr.s_addr;
    record->port = ntohs(peer.sin_port);
    if (plat::WSAAsyncSelect(s, g_network.window, kSocketMessage, kRecordEvents) != 0) {
        AppendNetworkErrorLog("%s", "WSAAsyncSelectのエラー in AcceptNetWork"_sjis);
        plat::closesocket(s);
        DropRecord(record);
        return -1;
    }
    record->connected = 1;
    g_network.accepted->push_back(record->handle);
    return record->handle;
}

int GetNetWorkAcceptState(EngineHandle handle) {
    NetWorkRecord* record = RecordFor(handle, "GetNetWorkAcceptStateh");
    if (record == nullptr) return -1;
    return record->connected ? 1 : 0;
}

int NetWorkRecv(EngineHandle handle, void* buffer, int32_t n) {
    NetWorkRecord* record = RecordFor(handle, "NetWorkRecv");
    if (record == nullptr || n < 0 || n > WaitingBytes(record)) return -1;
    return ReadRingBuffer(&record->recv, buffer, n, 0);
}

int NetWorkRecvToPeek(EngineHandle handle, void* buffer, int32_t n) {
    NetWorkRecord* record = RecordFor(handle, "NetWorkRecvToPeek");
    if (record == nullptr || n < 0 || n > WaitingBytes(record)) return -1;
    return ReadRingBuffer(&record->recv, buffer, n, 1);
}

int NetWorkSend(EngineHandle handle, const void* data, int32_t n) {
    NetWorkRecord* record = RecordFor(handle, "NetWorkSend");
    if (record == nullptr || n < 0) return -1;
    if (record->framed && static_cast<int64_t>(record->send.held) + n > kMaxNetWorkMessageBytes) {
        AppendLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend"_sjis, n);
        return -1;
    }
    if (AppendRingBuffer(&record->send, data, n) < 0) {
        AppendLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend"_sjis, n);
        return -1;
    }
    SendSocket(record);
    return 0;
}

int GetNetWorkDataLength(EngineHandle handle) {
    NetWorkRecord* record = RecordFor(handle, "GetNetWorkDataLength");
    if (record == nullptr) return -1;
    return WaitingBytes(record);
}

int RecvNetWorkLine(EngineHandle handle, char* buffer, int32_t bufferSize) {
    NetWorkRecord* record = RecordFor(handle, "RecvNetWorkLine");
    if (record == nullptr || buffer == nullptr || bufferSize <= 0) return -1;
    const int32_t waiting = WaitingBytes(record);
    const int32_t scan = waiting < 255 ? waiting : 255;
    char line[256];
    if (ReadRingBuffer(&record->recv, line, scan, 1) < 0) return -1;
    int32_t length = -1;
    for (int32_t i = 0; i < scan; ++i) {
        if (line[i] == '\n') {
            length = i + 1;
            break;
        }
    }
    // A line longer than 255 bytes comes out in pieces of 255.
    if (length < 0 && scan == 255) length = 255;
    if (length < 0) return -1;
    ReadRingBuffer(&record->recv, nullptr, length, 0);
    const int32_t copy = length < bufferSize - 1 ? length : bufferSize - 1;
    std::memcpy(buffer, line, static_cast<size_t>(copy));
    buffer[copy] = 0;
    return copy;
}

int CloseNetWorkHandle(EngineHandle handle) {
    NetWorkRecord* record = RecordFor(handle, "CloseNetWorkHandle", false);
    if (record == nullptr) return -1;
    if (record->socket != plat::INVALID_SOCKET && !record->error) {
        uint32_t start = plat::timeGetTime();
        while (record->send.held > 0 || record->sendPrefixLeft > 0) {
            SendSocket(record);
            if (record->send.held == 0 && record->sendPrefixLeft == 0) break;
            if (plat::timeGetTime() - start >= kCloseLimitMs || record->error) break;
            plat::Sleep(1);
        }
        start = plat::timeGetTime();
        while (record->socket != plat::INVALID_SOCKET && !record->error) {
            const int32_t before = record->recv.held;
            RecvSocket(record);
            if (record->recv.held == before) break;
            if (plat::timeGetTime() - start >= kCloseLimitMs) break;
        }
    }
    CloseRecordSocket(record);
    DropRecord(record);
    return 0;
}

int TerminateNetwork() {
    if (!g_network.started) return 0;
    AppendLog("ネットワーク関連の終了処理を行います \n"_sjis);
    while (g_network.head != nullptr) CloseNetWorkHandle(g_network.head->handle);
    if (g_network.listenSocket != plat::INVALID_SOCKET) {
        plat::WSAAsyncSelect(g_network.listenSocket, g_network.window, 0, 0);
        plat::closesocket(g_network.listenSocket);
        g_network.listenSocket = plat::INVALID_SOCKET;
    }
    if (g_network.window != nullptr) {
        plat::DestroyWindow(g_network.window);
        plat::MSG msg;
        while (plat::PeekMessageA(&msg, g_network.window, 0, 0, plat::PM_REMOVE)) {
        }
        g_network.window = nullptr;
    }
    plat::UnregisterClassA(kLayerWindowClass, nullptr);
    plat::WSACleanup();
    delete g_network.accepted;
    g_network = NetworkLayer{};
    AppendLog("ネットワーク関連の終了処理は完了しました\n"_sjis);
    return 0;
}

int PumpNetworkMessages(int) {
    if (!g_network.started) return 0;
    plat::MSG msg;
    // Only the notices already waiting: each handled one may bring the next.
    for (int i = 0; i < 256; ++i) {
        if (!plat::PeekMessageA(&msg, g_network.window, kSocketMessage, kSocketMessage,
                                plat::PM_REMOVE))
            break;
        plat::DispatchMessageA(&msg);
    }
    return 0;
}

// --- HTTP ----------------------------------------------------------------------------------------

int ClearHttpTransferTable() {
    std::memset(g_httpTransfers, 0, sizeof g_httpTransfers);
    return 0;
}

int CloseHttpTransfer(int slot, int result, int errorCode) {
    if (slot < 0 || slot >= kHttpTransferCount || !g_httpTransfers[slot].inUse) return -1;
    HttpTransferRecord* t = &g_httpTransfers[slot];
    if (t->finished) return 0;
    if (t->net >= 0 && g_network.started && g_network.table.Find(t->net, kNetworkHandleKind))
        CloseNetWorkHandle(t->net);
    t->net = -1;
    if (t->file != nullptr && t->file != plat::INVALID_HANDLE_VALUE) plat::CloseHandle(t->file);
    t->file = nullptr;
    if (t->destination == 1) {
        if (result == 0) {
            if (t->memoryOut != nullptr) *t->memoryOut = t->block;
            if (t->memorySize != nullptr) *t->memorySize = t->received;
            if (t->memoryOut == nullptr) FreeTagged(t->block);
        } else {
            FreeTagged(t->block);
        }
        t->block = nullptr;
    }
    FreeTagged(t->postBody);
    t->postBody = nullptr;
    t->state = 4;
    t->finished = 1;
    t->result = result;
    t->errorCode = errorCode;
    return 0;
}

int DeleteHttpTransfer(int slot) {
    if (slot < 0 || slot >= kHttpTransferCount || !g_httpTransfers[slot].inUse) return -1;
    CloseHttpTransfer(slot, 2, 3);
    g_httpTransfers[slot] = HttpTransferRecord{};
    return 0;
}

int DeleteAllHttpTransfers() {
    for (int slot = 0; slot < kHttpTransferCount; ++slot)
        if (g_httpTransfers[slot].inUse) DeleteHttpTransfer(slot);
    return 0;
}

int StepHttpGet(int slot) {
    HttpTransferRecord* t = &g_httpTransfers[slot];
    switch (t->state) {
        case 0:
            return StepRequest(slot);
        case 1:
            return StepStatus(slot);
        case 2:
            return StepHeaders(slot);
        case 3:
            return StepBody(slot);
        default:
            return CloseHttpTransfer(slot, 0, 0);
    }
}

int StepHttpPost(int slot) {
    return StepHttpGet(slot);
}

int StepHttpHead(int slot) {
    return StepHttpGet(slot);
}

int StepHttpTransfer(int slot) {
    if (!g_network.started || slot < 0 || slot >= kHttpTransferCount) return -1;
    HttpTransferRecord* t = &g_httpTransfers[slot];
    if (!t->inUse || t->finished) return -1;
    int state;
    do {
        state = t->state;
        switch (t->kind) {
            case HttpMethod::Get:
                StepHttpGet(slot);
                break;
            case HttpMethod::Post:
                StepHttpPost(slot);
                break;
            case HttpMethod::Head:
                StepHttpHead(slot);
                break;
        }
    } while (!t->finished && t->state != state);
    if (t->finished) return 0;
    NetWorkRecord* record = TransferRecord(t);
    // Before the body every whole line has been taken above, so once the peer has closed what
    // still waits there is a cut line that can never end: the transfer fails rather than wait
    // for ever.
    if (record == nullptr ||
        (record->closed && (GetNetWorkDataLength(t->net) <= 0 || t->state < 3))) {
        // The connection dropped: a body without a stated length ends here.
        if (t->state == 3 && t->contentLength < 0) return CloseHttpTransfer(slot, 0, 0);
        return CloseHttpTransfer(slot, 2, 3);
    }
    return 0;
}

int StepAllHttpTransfers() {
    if (!g_network.started) return 0;
    for (int slot = 0; slot < kHttpTransferCount; ++slot)
        if (g_httpTransfers[slot].inUse && !g_httpTransfers[slot].finished) StepHttpTransfer(slot);
    return 0;
}

// --- Starting the layer ------------------------------------------------------------------------

int StartNetwork() {
    if (g_network.started) return -1;
    plat::WSADATA data;
    if (plat::WSAStartup(0x0202, &data) != 0) return -1;
    plat::WNDCLASSA wc{};
    wc.lpfnWndProc = LayerWindowProc;
    wc.lpszClassName = kLayerWindowClass;
    plat::RegisterClassA(&wc);
    plat::HWND window = plat::CreateWindowExA(0, kLayerWindowClass, "network", 0, 0, 0, 1, 1,
                                              nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) {
        plat::UnregisterClassA(kLayerWindowClass, nullptr);
        plat::WSACleanup();
        return -1;
    }
    g_network = NetworkLayer{};
    g_network.window = window;
    g_network.listenSocket = plat::INVALID_SOCKET;
    g_network.accepted = new std::deque<EngineHandle>();
    g_network.started = 1;
    return 0;
}

bool NetworkStarted() {
    return g_network.started != 0;
}

int ListenNetWork(int port, int framed) {
    if (!g_network.started || g_network.listenSocket != plat::INVALID_SOCKET) return -1;
    plat::SOCKET s = plat::socket(AF_INET, SOCK_STREAM, 0);
    if (s == plat::INVALID_SOCKET) return AppendNetworkErrorLog("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    int length = sizeof address;
    if (plat::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        plat::listen(s, 16) != 0 ||
        plat::WSAAsyncSelect(s, g_network.window, kSocketMessage, plat::FD_ACCEPT) != 0 ||
        plat::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        AppendNetworkErrorLog("listen");
        plat::closesocket(s);
        return -1;
    }
    g_network.listenSocket = s;
    g_network.listenFramed = framed ? 1 : 0;
    return ntohs(address.sin_port);
}

EngineHandle TakeAcceptedNetWork() {
    if (!g_network.started || g_network.accepted->empty()) return -1;
    EngineHandle handle = g_network.accepted->front();
    g_network.accepted->pop_front();
    return handle;
}

EngineHandle ConnectNetWork(uint32_t ipv4, int port, int framed) {
    if (!g_network.started) return -1;
    plat::SOCKET s = plat::socket(AF_INET, SOCK_STREAM, 0);
    if (s == plat::INVALID_SOCKET) return AppendNetworkErrorLog("socket");
    NetWorkRecord* record = NewRecord(s, framed ? 1 : 0);
    if (record == nullptr) {
        plat::closesocket(s);
        return AppendLog("ソケット用のメモリの確保に失敗しました\n"_sjis);
    }
    record->ip = ipv4;
    record->port = port;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = ipv4;
    if (plat::WSAAsyncSelect(s, g_network.window, kSocketMessage,
                             kRecordEvents | plat::FD_CONNECT) != 0 ||
        (plat::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
         !WouldBlock())) {
        AppendNetworkErrorLog("connect");
        CloseRecordSocket(record);
        DropRecord(record);
        return -1;
    }
    return record->handle;
}

int BeginHttpTransfer(HttpMethod method, const char* host, int port, const char* path,
                      const char* fileName, void** memoryOut, int32_t* memorySize, const void* body,
                      int32_t bodyLength) {
    if (!g_network.started || host == nullptr || path == nullptr || bodyLength < 0) return -1;
    if (std::strlen(host) >= 256 || std::strlen(path) >= 1024) return -1;
    int slot = -1;
    for (int i = 0; i < kHttpTransferCount; ++i) {
        if (!g_httpTransfers[i].inUse) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return -1;
    uint32_t address = 0;
    if (!plat::LookupHostIPv4(host, &address)) return AppendNetworkErrorLog("host %s", host);
    HttpTransferRecord t{};
    t.kind = method;
    t.contentLength = -1;
    t.port = port;
    std::strcpy(t.host, host);
    std::strcpy(t.path, path);
    if (method == HttpMethod::Post && bodyLength > 0) {
        t.postBody = static_cast<char*>(Alloc(static_cast<size_t>(bodyLength)));
        if (t.postBody == nullptr) return -1;
        std::memcpy(t.postBody, body, static_cast<size_t>(bodyLength));
        t.postLength = bodyLength;
    }
    if (fileName != nullptr) {
        t.destination = 0;
        t.file = plat::CreateFileA(fileName, plat::GENERIC_WRITE, 0, nullptr, plat::CREATE_ALWAYS,
                                   plat::FILE_ATTRIBUTE_NORMAL, nullptr);
        if (t.file == plat::INVALID_HANDLE_VALUE) {
            FreeTagged(t.postBody);
            return -1;
        }
    } else {
        t.destination = 1;
        t.memoryOut = memoryOut;
        t.memorySize = memorySize;
    }
    t.net = ConnectNetWork(address, port, 0);
    if (t.net < 0) {
        if (t.file != nullptr) plat::CloseHandle(t.file);
        FreeTagged(t.postBody);
        return -1;
    }
    t.inUse = 1;
    g_httpTransfers[slot] = t;
    return slot;
}

int GetHttpTransferResult(int slot, int* result, int* errorCode) {
    if (slot < 0 || slot >= kHttpTransferCount || !g_httpTransfers[slot].inUse) return -1;
    const HttpTransferRecord& t = g_httpTransfers[slot];
    if (!t.finished) return 0;
    if (result != nullptr) *result = t.result;
    if (errorCode != nullptr) *errorCode = t.errorCode;
    return 1;
}

}  // namespace tessra
