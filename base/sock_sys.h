// The socket seam: Winsock on Windows (sock_sys_win.cpp), BSD sockets
// elsewhere (sock_sys_posix.cpp). Nothing here throws; callers turn failures
// into their own results. For the network layer in net/ only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/pump.h"

namespace tesra::net {

#if defined(_WIN32)
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};  // INVALID_SOCKET
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// Layout of the platform's IPv4 socket address; port and address in network order.
struct SockAddr {
    std::uint16_t sin_family = 0;
    std::uint16_t sin_port = 0;
    std::uint32_t sin_addr = 0;
    unsigned char sin_zero[8] = {};
};
static_assert(sizeof(SockAddr) == 16);

inline constexpr std::uint16_t kAfInet = 2;
inline constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

std::uint16_t HostToNet16(std::uint16_t v);
std::uint16_t NetToHost16(std::uint16_t v);

namespace sys {

// The calling thread's last socket error (WSAGetLastError / errno) and a way
// to clear it, so a time-out reports 0 instead of a stale code.
int LastError();
void ClearError();

SocketHandle Open(int type);
void CloseHandle(SocketHandle s);
bool SetBlocking(SocketHandle s, bool blocking);
// Resets the connection on close (linger on, time 0).
bool SetLingerReset(SocketHandle s);
int Shutdown(SocketHandle s, int how);

// 0 connected, 1 in progress (non-blocking), -1 failed.
int Connect(SocketHandle s, const SockAddr& addr);
// 1 ready, 0 time-out, -1 error. timeoutMs < 0 waits without end.
int WaitReady(SocketHandle s, bool forWrite, int timeoutMs);
// The socket's pending error (SO_ERROR), -1 when it cannot be read.
int PendingError(SocketHandle s);

// send without blocking: bytes sent, 0 when it would block, -1 on failure.
long SendNow(SocketHandle s, const char* data, std::size_t len);
// A plain (blocking) send: bytes sent, -1 on failure.
long Send(SocketHandle s, const char* data, std::size_t len);
// Bounds a blocking socket's sends or receives (SO_SNDTIMEO / SO_RCVTIMEO);
// ms 0: without end. A call that runs out fails and LastTimedOut() says so.
bool SetIoTimeout(SocketHandle s, bool forSend, int ms);
bool LastTimedOut();
// recv: bytes, 0 at the peer's close, -1 on failure.
long Recv(SocketHandle s, char* buf, std::size_t len);
// Did the last failure only mean "not yet"?
bool LastWouldBlock();

// getaddrinfo for IPv4; false when the name does not resolve.
bool Resolve(const std::string& name, std::uint32_t* addrNet);
// inet_addr; kInaddrNone when the text is not a dotted address.
std::uint32_t ParseDotted(const std::string& text);
std::string DottedText(std::uint32_t addrNet);

bool LocalAddress(SocketHandle s, SockAddr* out);
bool PeerAddress(SocketHandle s, SockAddr* out);
bool Bind(SocketHandle s, const SockAddr& addr);
bool Listen(SocketHandle s, int backlog);
SocketHandle Accept(SocketHandle s);

// Ends any event notification on s and makes it blocking again.
bool MakePlainBlocking(SocketHandle s);

// A socket whose waits keep the thread's window messages flowing (Windows,
// through WaitAndPump, the time-out kept by the clock) or simply wait
// (elsewhere). Non-blocking underneath; time-outs in ms, negative for none.
// A WM_QUIT met while waiting is put back and fails the wait, so the
// application can still end; a WM_CLOSE is only dispatched.
class MessageSocket {
public:
    MessageSocket();
    MessageSocket(const MessageSocket&) = delete;
    MessageSocket& operator=(const MessageSocket&) = delete;
    ~MessageSocket();

    bool Create();
    SocketHandle handle() const { return handle_; }
    bool Connect(const SockAddr& addr, int timeoutMs);
    bool SendAll(const char* data, std::size_t len, int timeoutMs);
    // bytes, 0 at close, -1 on failure or time-out.
    long Receive(char* buf, std::size_t cap, int timeoutMs);
    // Listens on addr (port 0: any free port).
    bool Listen(const SockAddr& addr, int backlog);
    // The accepted connection, kNoSocket on failure or time-out.
    SocketHandle Accept(int timeoutMs);
    void Close();

private:
    int Wait(bool forWrite, int timeoutMs);

    SocketHandle handle_ = kNoSocket;
    // Set by the socket's network events (Windows).
    std::unique_ptr<WaitEvent> event_;
};

}  // namespace sys
}  // namespace tesra::net
