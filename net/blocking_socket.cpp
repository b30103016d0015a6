#include "net/blocking_socket.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tesra {

namespace sys = net::sys;

int CException::GetErrorMessage(char* buffer, unsigned size, unsigned*) const {
    if (buffer && size > 0) buffer[0] = '\0';
    return 1;
}

CBlockingSocketException::CBlockingSocketException(const char* label)
    : m_nError(sys::LastError()), m_strMessage(label) {}

int CBlockingSocketException::GetErrorMessage(char* buffer, unsigned size, unsigned*) const {
    char scratch[200];
    if (m_nError == 0)
        std::snprintf(scratch, sizeof scratch, "%s error", m_strMessage.c_str());
    else
        std::snprintf(scratch, sizeof scratch, "%s error #%d", m_strMessage.c_str(), m_nError);
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(std::strlen(scratch), size - 1);
        std::memcpy(buffer, scratch, n);
        buffer[n] = '\0';
    }
    return 1;
}

void ThrowSocketException(const char* label) { throw new CBlockingSocketException(label); }

void CBlockingSocket::SetConnectMode(int timed, int timeoutMs) {
    m_bTimedConnect = timed;
    m_nConnectTimeout = timeoutMs;
}

SocketHandle CBlockingSocket::Create(int type) {
    sys::ClearError();
    m_hSocket = sys::Open(type);
    if (m_hSocket == net::kNoSocket) ThrowSocketException("Create");
    return m_hSocket;
}

int CBlockingSocket::Connect(const SockAddr& addr) {
    if (m_bTimedConnect) return ConnectEx(addr, m_nConnectTimeout);
    sys::ClearError();
    // Sockets are created blocking and ConnectEx leaves them so.
    if (m_hSocket == net::kNoSocket || sys::Connect(m_hSocket, addr) != 0) ThrowSocketException("Connect");
    return 0;
}

int CBlockingSocket::ConnectEx(const SockAddr& addr, int timeoutMs) {
    bool connected = false;
    if (m_hSocket != net::kNoSocket && sys::SetBlocking(m_hSocket, false)) {
        const int r = sys::Connect(m_hSocket, addr);
        if (r == 0) {
            connected = true;
        } else if (r == 1) {
            // A refused connect can also look "ready"; its pending error tells.
            connected = sys::WaitReady(m_hSocket, true, timeoutMs < 0 ? 0 : timeoutMs) == 1 &&
                        sys::PendingError(m_hSocket) == 0;
        }
        sys::SetBlocking(m_hSocket, true);
    }
    if (!connected) {
        HardClose(1);
        ThrowSocketException("ConnectEx");
    }
    return 0;
}

bool CBlockingSocket::SetIoTimeout(bool forSend, int nSecs) {
    if (m_hTimed != m_hSocket) {
        m_hTimed = m_hSocket;
        m_nSendSecs = m_nReceiveSecs = -1;
    }
    int& set = forSend ? m_nSendSecs : m_nReceiveSecs;
    if (set == nSecs) return true;
    constexpr int kMaxSecs = 0x7FFFFFFF / 1000;
    if (!sys::SetIoTimeout(m_hSocket, forSend, std::min(nSecs, kMaxSecs) * 1000)) {
        set = -1;
        return false;
    }
    set = nSecs;
    return true;
}

int CBlockingSocket::Send(const char* data, int length, int nSecs) {
    if (m_hSocket == net::kNoSocket) ThrowSocketException("Close");
    sys::ClearError();
    const std::size_t len = length < 0 ? 0 : static_cast<std::size_t>(length);
    if (!m_bOwnTimeouts || nSecs <= 0) {
        if (sys::WaitReady(m_hSocket, true, nSecs < 0 ? 0 : nSecs * 1000) == 0) ThrowSocketException("Send timeout");
        // Sends what fits now; Write comes back for the rest, each time
        // under the time-out.
        const long n = sys::SendNow(m_hSocket, data, len);
        if (n < 0) ThrowSocketException("Send");
        return static_cast<int>(n);
    }
    if (!SetIoTimeout(true, nSecs)) ThrowSocketException("Send");
    // Write comes back for any rest, each time under the time-out, so a
    // peer that stops reading cannot hold us for ever.
    const long n = sys::Send(m_hSocket, data, len);
    if (n < 0) {
        if (!sys::LastTimedOut()) ThrowSocketException("Send");
        sys::ClearError();
        ThrowSocketException("Send timeout");
    }
    return static_cast<int>(n);
}

int CBlockingSocket::Write(const char* data, int length, int nSecs) {
    int total = 0;
    do {
        total += Send(data + total, length - total, nSecs);
    } while (total < length);
    return total;
}

int CBlockingSocket::Receive(char* buffer, int capacity, int nSecs) {
    sys::ClearError();
    if (!m_bOwnTimeouts) {
        if (sys::WaitReady(m_hSocket, false, nSecs == 0 ? -1 : nSecs * 1000) == 0)
            ThrowSocketException("Receive timeout");
    } else if (m_hSocket == net::kNoSocket || !SetIoTimeout(false, nSecs < 0 ? 0 : nSecs)) {
        ThrowSocketException("Receive");
    }
    const long n = sys::Recv(m_hSocket, buffer, capacity < 0 ? 0 : static_cast<std::size_t>(capacity));
    if (n < 0) {
        if (!m_bOwnTimeouts || !sys::LastTimedOut()) ThrowSocketException("Receive");
        sys::ClearError();
        ThrowSocketException("Receive timeout");
    }
    return static_cast<int>(n);
}

int CBlockingSocket::Shutdown(int how) { return sys::Shutdown(m_hSocket, how); }

void CBlockingSocket::Close(int clear) {
    Shutdown(2);
    if (m_bTimedConnect) {
        HardClose(1);
    } else if (m_hSocket != net::kNoSocket) {
        sys::CloseHandle(m_hSocket);
        if (clear) m_hSocket = net::kNoSocket;
    }
}

void CBlockingSocket::HardClose(int mode) {
    if (m_hSocket == net::kNoSocket) return;
    if (mode == 1) sys::SetLingerReset(m_hSocket);
    sys::CloseHandle(m_hSocket);
    m_hSocket = net::kNoSocket;
}

void CBlockingSocket::CloseIfOpen() {
    if (m_hSocket == net::kNoSocket) return;
    sys::CloseHandle(m_hSocket);
    m_hSocket = net::kNoSocket;
}

SockAddr CBlockingSocket::GetHostByName(const std::string& name, std::uint16_t port) {
    sys::ClearError();
    SockAddr a;
    // A dotted address needs no resolver, whose look-up costs as much as a
    // loopback connect under some systems.
    const bool dotted = std::count(name.begin(), name.end(), '.') == 3 &&
                        name.find_first_not_of("0123456789.") == std::string::npos;
    a.sin_addr = dotted ? sys::ParseDotted(name) : net::kInaddrNone;
    if (a.sin_addr == net::kInaddrNone && !sys::Resolve(name, &a.sin_addr)) ThrowSocketException("GetHostByName");
    a.sin_family = net::kAfInet;
    a.sin_port = net::HostToNet16(port);
    return a;
}

SockAddr CBlockingSocket::GetHostByAddr(const std::string& dotted, std::uint16_t port) {
    sys::ClearError();
    SockAddr a;
    a.sin_addr = sys::ParseDotted(dotted);
    if (a.sin_addr == net::kInaddrNone) ThrowSocketException("GetHostByName");
    a.sin_family = net::kAfInet;
    a.sin_port = net::HostToNet16(port);
    return a;
}

int CHttpBlockingSocket::ReadHeaderLine(char* line, int nSize, int nSecs) {
    return ReadHeaderLine(line, nSize, [this, nSecs](char* b, int c) { return Receive(b, c, nSecs); });
}

int CHttpBlockingSocket::ReadHttpResponse(char* buffer, int nSize, int nSecs) {
    return ReadHttpResponse(buffer, nSize, [this, nSecs](char* b, int c) { return Receive(b, c, nSecs); });
}

int CHttpBlockingSocket::ReadHeaderLine(char* line, int nSize, const ReceiveFn& recv) {
    const char* lf = static_cast<const char*>(std::memchr(m_pReadBuf, '\n', static_cast<std::size_t>(m_nReadBuf)));
    while (!lf) {
        const int room = kReadBufSize - m_nReadBuf;
        const int got = room > 0 ? recv(m_pReadBuf + m_nReadBuf, room) : 0;
        if (got < 1) ThrowSocketException("ReadHeaderLine");
        lf = static_cast<const char*>(std::memchr(m_pReadBuf + m_nReadBuf, '\n', static_cast<std::size_t>(got)));
        m_nReadBuf += got;
    }
    const int through = static_cast<int>(lf - m_pReadBuf) + 1;
    // A line longer than the caller's room is cut; its rest is dropped with it.
    int length = through;
    if (length >= nSize) length = nSize > 0 ? nSize - 1 : 0;
    if (nSize > 0) {
        std::memcpy(line, m_pReadBuf, static_cast<std::size_t>(length));
        line[length] = '\0';
    }
    m_nReadBuf -= through;
    std::memmove(m_pReadBuf, m_pReadBuf + through, static_cast<std::size_t>(m_nReadBuf));
    return length;
}

int CHttpBlockingSocket::ReadHttpResponse(char* buffer, int nSize, const ReceiveFn& recv) {
    int total = 0;
    return ReadHttpResponse(buffer, nSize, recv, &total);
}

int CHttpBlockingSocket::ReadHttpResponse(char* buffer, int nSize, const ReceiveFn& recv, int* placed) {
    int& total = *placed;
    total = 0;
    if (nSize < 0) nSize = 0;
    if (m_nReadBuf > 0) {
        total = std::min(m_nReadBuf, nSize);
        std::memcpy(buffer, m_pReadBuf, static_cast<std::size_t>(total));
        m_nReadBuf -= total;
        std::memmove(m_pReadBuf, m_pReadBuf + total, static_cast<std::size_t>(m_nReadBuf));
    }
    for (;;) {
        const int got = recv(buffer + total, std::min(nSize - total, kReadBufSize));
        if (got <= 0) break;
        total += got;
        if (total > nSize) break;
    }
    return total;
}

}  // namespace tesra
