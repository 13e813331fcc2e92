// The socket and HTTP layer: network handles that exchange messages over sockets reported through
// the socket message 0x505, and a small HTTP/1.0 client stepped from the message pump. The
// engine core clears it at start-up, steps it in the message pump and tears it down at shut-down.
// The program never starts it; the start functions at the end are for the engine's own use
// (nothing of engine/tessra.h reaches them). Until StartNetwork, every entry answers at once
// (-1; 0 for the pump and the shut-down) and makes no socket call.
//
// Framed handles exchange messages: each is a 32-bit little-endian length and that many bytes.
// A peer announcing a message above kMaxNetWorkMessageBytes is refused before anything is
// reserved for it: the handle's error flag is set and its connection closed. Plain handles
// carry a byte stream.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "platform/win/types.h"

namespace tessra {

// The largest message a framed handle accepts, and the largest body an HTTP transfer takes
// into memory.
inline constexpr int32_t kMaxNetWorkMessageBytes = 64 * 1024 * 1024;

inline constexpr int32_t kNetWorkSlotCount = 4097;
inline constexpr int32_t kHttpTransferCount = 100;
inline constexpr plat::UINT kSocketMessage = 0x505;

// --- Ring buffers ------------------------------------------------------------------------------
struct RingBuffer {
    char* data;  // owned
    int32_t readIndex;
    int32_t writeIndex;
    int32_t held;
    int32_t capacity;
};
int ReserveRingBuffer(int32_t n, RingBuffer* ring);
int AppendRingBuffer(RingBuffer* ring, const void* data, int32_t n);
// Copies n bytes from the read index and, unless peeking, consumes them; -1 when fewer are held.
int ReadRingBuffer(RingBuffer* ring, void* out, int32_t n, int peek);
int FreeRingBuffer(RingBuffer* ring);

// --- Shut-down and pump ------------------------------------------------------------------------
int ClearHttpTransferTable();  // start-up: no transfers
int DeleteAllHttpTransfers();
int TerminateNetwork();
// Handles the socket notices waiting for the layer's window.
int PumpNetworkMessages(int flag);
int StepAllHttpTransfers();
// The socket message (0x505): socket in the word parameter, event (low word) and error code
// (high word) in the long parameter.
plat::LRESULT HandleSocketEvent(plat::WPARAM socket, plat::LPARAM event);

// --- Network handles ---------------------------------------------------------------------------
// Accepts a connection waiting on the listening socket into a new handle (the socket event
// handler calls it); the handle, or -1.
EngineHandle AcceptNetWork();
// 1 while connected, 0 before the connection is made and after it closed.
int GetNetWorkAcceptState(EngineHandle handle);
// Take or copy n received bytes (of whole messages on a framed handle): 0, or -1 when fewer
// wait.
int NetWorkRecv(EngineHandle handle, void* buffer, int32_t n);
int NetWorkRecvToPeek(EngineHandle handle, void* buffer, int32_t n);
// Queues n bytes (one message on a framed handle) and starts sending; 0 or -1.
int NetWorkSend(EngineHandle handle, const void* data, int32_t n);
// The received bytes waiting (of whole messages on a framed handle).
int GetNetWorkDataLength(EngineHandle handle);
// Takes one text line through its "\n" into the caller's buffer of bufferSize bytes (at most
// 255 bytes of text, cut to fit the buffer, then a terminating 0); the line's length, or -1
// when no whole line waits. The part of a line that does not fit is still taken.
int RecvNetWorkLine(EngineHandle handle, char* buffer, int32_t bufferSize);
// Sends and receives what is pending (at most 1000 ms each way), then closes the handle.
int CloseNetWorkHandle(EngineHandle handle);
int AppendNetworkErrorLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// --- HTTP transfers ----------------------------------------------------------------------------
// Results: 0 done; 2 failed, with the error code 1 (status 404), 0 (another status), 2 (no
// memory for the body, or a body for memory above kMaxNetWorkMessageBytes) or 3 (the connection
// failed or dropped before the end).
int StepHttpGet(int slot);
int StepHttpPost(int slot);
int StepHttpHead(int slot);
int StepHttpTransfer(int slot);
int CloseHttpTransfer(int slot, int result, int errorCode);
int DeleteHttpTransfer(int slot);

// --- Starting the layer (engine-internal) ------------------------------------------------------
// Starts WinSock and makes the layer's window (on the calling thread, which then pumps it). 0,
// or -1 (already started, or a failure).
int StartNetwork();
bool NetworkStarted();
// Listens on the port of 127.0.0.1-style any-address IPv4 (0: a free port); accepted handles are
// framed when `framed` is 1. The port listened on, or -1.
int ListenNetWork(int port, int framed);
// The next accepted handle not yet taken, or -1.
EngineHandle TakeAcceptedNetWork();
// Connects to an IPv4 address (network order) and port; the handle (connected later, see
// GetNetWorkAcceptState), or -1.
EngineHandle ConnectNetWork(uint32_t ipv4, int port, int framed);

enum class HttpMethod { Get = 0, Post = 1, Head = 2 };
// Begins a transfer; the body goes to the file (when fileName is not null) or to a memory block
// whose address (tracked allocator; the caller frees it with FreeTagged) and size land in
// *memoryOut and *memorySize. For POST, body and bodyLength are the request body (copied). The
// transfer's slot, or -1.
int BeginHttpTransfer(HttpMethod method, const char* host, int port, const char* path,
                      const char* fileName, void** memoryOut, int32_t* memorySize, const void* body,
                      int32_t bodyLength);
// 1 when the transfer ended (its result and error code given), 0 while it runs, -1 for a slot
// without a transfer.
int GetHttpTransferResult(int slot, int* result, int* errorCode);

}  // namespace tessra
