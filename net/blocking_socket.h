// Blocking IPv4 stream sockets with time-outs. Every failure is thrown as a
// heap-allocated CBlockingSocketException by pointer; the layer's own
// callers catch it, release it with Delete() and turn it into a result.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/receive_fn.h"
#include "base/sock_sys.h"

namespace tesra {

using net::SockAddr;
using net::SocketHandle;

// The little of a framework exception base that the layer needs.
class CException {
public:
    CException() = default;
    CException(const CException&) = delete;
    CException& operator=(const CException&) = delete;
    virtual ~CException() = default;

    // Copies the message into buffer (at most size - 1 bytes and a 0); 1 done.
    virtual int GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const;
    void Delete() { delete this; }
};

struct ExceptionRelease {
    void operator()(CException* e) const {
        if (e) e->Delete();
    }
};
// What a catch site takes the thrown pointer into.
using ExceptionOwner = std::unique_ptr<CException, ExceptionRelease>;

class CBlockingSocketException : public CException {
public:
    // Reads the thread's last socket error.
    explicit CBlockingSocketException(const char* label);
    int GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const override;

    int m_nError = 0;
    std::string m_strMessage;
};

[[noreturn]] void ThrowSocketException(const char* label);

class CBlockingSocket {
public:
    CBlockingSocket() = default;
    // Does not close: the owner calls Close.
    ~CBlockingSocket() = default;
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    void SetConnectMode(int timed, int timeoutMs);
    SocketHandle Create(int type = 1);
    int Connect(const SockAddr& addr);
    int ConnectEx(const SockAddr& addr, int timeoutMs);
    int Send(const char* data, int length, int nSecs);
    int Write(const char* data, int length, int nSecs);
    // nSecs 0: no time-out. Returns 0 when the peer has closed.
    int Receive(char* buffer, int capacity, int nSecs);
    int Shutdown(int how = 2);
    void Close(int clear = 1);
    void HardClose(int mode = 1);
    void CloseIfOpen();

    static SockAddr GetHostByName(const std::string& name, std::uint16_t port);
    static SockAddr GetHostByAddr(const std::string& dotted, std::uint16_t port);

    int m_bTimedConnect = 0;
    int m_nConnectTimeout = 3000;
    SocketHandle m_hSocket = net::kNoSocket;
    // Send and Receive block under the socket's own time-outs (SO_SNDTIMEO,
    // SO_RCVTIMEO) instead of a readiness test and a mode switch per call,
    // each a round trip to the Wine server. A shutdown from another thread
    // then no longer ends a receive early (not under Wine): only for
    // connections nobody gives up on that way.
    int m_bOwnTimeouts = 0;

private:
    // Sets the socket's send or receive time-out unless it already has it.
    bool SetIoTimeout(bool forSend, int nSecs);

    // The time-outs last set, and on which socket (the handle may be handed
    // from one object to another): -1 not known.
    SocketHandle m_hTimed = net::kNoSocket;
    int m_nSendSecs = -1;
    int m_nReceiveSecs = -1;
};

class CHttpBlockingSocket : public CBlockingSocket {
public:
    static constexpr int kReadBufSize = 100000;

    int ReadHeaderLine(char* line, int nSize, int nSecs);
    int ReadHttpResponse(char* buffer, int nSize, int nSecs);
    // The same reads with the bytes taken from recv instead of the socket.
    int ReadHeaderLine(char* line, int nSize, const ReceiveFn& recv);
    int ReadHttpResponse(char* buffer, int nSize, const ReceiveFn& recv);
    // Keeps *placed current, so a failure part-way still tells how many
    // bytes reached the buffer.
    int ReadHttpResponse(char* buffer, int nSize, const ReceiveFn& recv, int* placed);

    char m_pReadBuf[kReadBufSize];
    int m_nReadBuf = 0;
};

}  // namespace tesra
