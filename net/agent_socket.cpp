#include "net/agent_socket.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/text.h"
#include "net/worker.h"

namespace tesra {

namespace {

// What a threaded connect or exchange hands its worker: a direct-form
// connection of its own. The caller takes the socket back only after the
// worker's signal; when it gave up, the connection dies with this record
// once the worker ends, and the caller's object is never touched.
struct AgentJob {
    CAgentSocket agent{0};
    int result = 0;
};

}  // namespace

std::uint16_t AgentPortFromEnvironment() {
    if (const char* v = std::getenv("TESRA_AGENT_PORT")) {
        const long port = ParseLong(v);
        if (port > 0 && port <= 65535) return static_cast<std::uint16_t>(port);
    }
    return CAgentSocket::kDefaultPort;
}

CAgentSocket::CAgentSocket(int threaded) : m_bThreaded(threaded) {}

CAgentSocket::~CAgentSocket() {
    CloseIfOpen();
    m_hEvent.reset();
}

int CAgentSocket::ConnectAgent(const std::string& host, std::uint16_t port) {
    return m_bThreaded ? ConnectThreaded(host, port) : ConnectDirect(host, port);
}

int CAgentSocket::ConnectDirect(const std::string& host, std::uint16_t port) {
    try {
        try {
            CloseIfOpen();
            Create(1);
            const SockAddr addr = net::sys::ParseDotted(host) != net::kInaddrNone ? GetHostByAddr(host, port)
                                                                                   : GetHostByName(host, port);
            Connect(addr);
            m_bUsable = 1;
            return 1;
        } catch (CBlockingSocketException* e) {
            ExceptionOwner release(e);
            char text[100];
            e->GetErrorMessage(text, sizeof text);
        }
    } catch (...) {
    }
    m_bUsable = 0;
    return 0;
}

int CAgentSocket::ConnectThreaded(const std::string& host, std::uint16_t port) {
    if (!m_hMainWnd) {
        m_hEvent.reset();
        return 0;
    }
    try {
        m_strHost = host;
        m_nPort = port;
        m_bResult = 0;
        CloseIfOpen();
        auto job = std::make_shared<AgentJob>();
        job->agent.SetConnectMode(m_bTimedConnect, m_nConnectTimeout);
        auto event = std::make_shared<WaitEvent>();
        m_hEvent = event;
        PumpLimits limits;
        limits.rounds = m_nConnectRounds;
        limits.quit = QuitRule::kMainWindowOnly;
        limits.mainWindow = m_hMainWnd;
        const std::optional<PumpResult> waited =
            net::RunOnWorkerAndWait([job, host, port] { job->result = job->agent.ConnectAgent(host, port); }, event, limits);
        if (!waited) {
            m_hEvent.reset();
            m_bUsable = 0;
            return 0;
        }
        const PumpResult r = *waited;
        if (r == PumpResult::kSignalled) {
            m_hEvent.reset();
            m_hSocket = job->agent.m_hSocket;
            job->agent.m_hSocket = net::kNoSocket;
            m_bUsable = job->agent.m_bUsable;
            m_bResult = job->result;
            return m_bResult;
        }
        if (r == PumpResult::kExhausted) m_hEvent.reset();
        m_bUsable = 0;
    } catch (...) {
        m_bUsable = 0;
    }
    return 0;
}

int CAgentSocket::Auth(const std::string& userId, const std::string& password) {
    // A line break would end the request early and start one of the id's own.
    if (UpToLineBreak(userId).size() != userId.size() || UpToLineBreak(password).size() != password.size()) return 0;
    return Exchange(Format("auth %s|%s\r\n\r\n", userId.c_str(), password.c_str()));
}

int CAgentSocket::CreateSession() { return Exchange("createsession\r\n\r\n"); }

int CAgentSocket::Exchange(const std::string& request) {
    if (!m_bUsable) return 0;
    m_nLineBuf = 0;
    std::memset(m_lineBuf, 0, kLineBufSize + 1);
    m_strReply.clear();
    if (m_bThreaded) return ExchangeThreaded(request);
    try {
        if (!SendAndRead(request)) return 0;
        return ParseReply() == 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

bool CAgentSocket::SendAndRead(const std::string& request) {
    try {
        Write(request.data(), static_cast<int>(std::strlen(request.c_str())), m_nIoSecs);
        std::vector<char> line(kReplyLineSize);
        for (;;) {
            const int n = ReadLine(line.data(), kReplyLineSize, m_nIoSecs);
            if (n == 0) break;
            m_strReply.append(line.data(), static_cast<std::size_t>(n));
            if (n == 2 && line[0] == '\r' && line[1] == '\n') break;
            // Whoever holds the port may answer without end: no reply of the
            // agent comes near this, so a longer one counts as none.
            if (m_strReply.size() > kReplyLimit) {
                m_strReply.clear();
                break;
            }
        }
        return true;
    } catch (CBlockingSocketException* e) {
        ExceptionOwner release(e);
        return false;
    }
}

int CAgentSocket::ExchangeThreaded(const std::string& request) {
    try {
        m_strRequestText = request;
        m_bResult = 0;
        auto job = std::make_shared<AgentJob>();
        job->agent.m_nIoSecs = m_nIoSecs;
        // The connection moves to the worker's record for the exchange.
        job->agent.m_hSocket = m_hSocket;
        m_hSocket = net::kNoSocket;
        auto event = std::make_shared<WaitEvent>();
        m_hEvent = event;
        PumpLimits limits;
        limits.rounds = m_nExchangeRounds;
        limits.quit = QuitRule::kAnyWindow;
        // A failure part-way still leaves the lines read so far, and they
        // decide the result.
        const std::optional<PumpResult> waited =
            net::RunOnWorkerAndWait([job, request] { job->agent.SendAndRead(request); }, event, limits);
        if (!waited) {
            m_hSocket = job->agent.m_hSocket;
            job->agent.m_hSocket = net::kNoSocket;
            m_hEvent.reset();
            return 0;
        }
        const PumpResult r = *waited;
        if (r == PumpResult::kSignalled) {
            m_hEvent.reset();
            m_hSocket = job->agent.m_hSocket;
            job->agent.m_hSocket = net::kNoSocket;
            m_strReply = std::move(job->agent.m_strReply);
            m_bResult = ParseReply() == 0 ? 1 : 0;
            return m_bResult;
        }
        if (r == PumpResult::kExhausted) m_hEvent.reset();
        // Given up: the connection stays with the worker's record. Shutting
        // it down lets the worker end now instead of at its own time-out;
        // the record, still held here, keeps the handle from being reused.
        net::sys::Shutdown(job->agent.m_hSocket, 2);
        m_bUsable = 0;
    } catch (...) {
        m_bUsable = 0;
    }
    return 0;
}

int CAgentSocket::ReadLine(char* line, int nSize, int nSecs) {
    return ReadLine(line, nSize, [this, nSecs](char* b, int c) { return Receive(b, c, nSecs); });
}

int CAgentSocket::ReadLine(char* line, int nSize, const ReceiveFn& recv) {
    if (nSize <= 0) return 0;
    if (m_nLineBuf >= nSize) {
        line[0] = '\0';
        return 0;
    }
    int placed = 0;
    for (;;) {
        if (const char* lf = static_cast<const char*>(std::memchr(m_lineBuf, '\n', static_cast<std::size_t>(m_nLineBuf)))) {
            const int through = static_cast<int>(lf - m_lineBuf) + 1;
            std::memcpy(line + placed, m_lineBuf, static_cast<std::size_t>(through));
            placed += through;
            m_nLineBuf -= through;
            std::memmove(m_lineBuf, m_lineBuf + through, static_cast<std::size_t>(m_nLineBuf));
            line[placed] = '\0';
            return placed;
        }
        std::memcpy(line + placed, m_lineBuf, static_cast<std::size_t>(m_nLineBuf));
        placed += m_nLineBuf;
        m_nLineBuf = 0;
        const int got = recv(m_lineBuf, kLineBufSize);
        if (got <= 0) {
            line[placed] = '\0';
            return placed;
        }
        m_nLineBuf = got;
        if (placed + got >= nSize) {
            line[placed] = '\0';
            return placed;
        }
    }
}

int CAgentSocket::ParseReply() {
    if (m_strReply.empty()) return 1;
    if (m_strReply.compare(0, 3, "ERR") != 0) return 0;
    m_strReplyErr = std::string(Trim(GetBetween(m_strReply, "ERR", "\r\n", 0)));
    m_strReplyMessage = GetBetween(m_strReply, "message=", "\r\n", 0);
    m_strReplyServer = GetBetween(m_strReply, "server=", "\r\n", 0);
    m_strReplyUrl = GetBetween(m_strReply, "url=", "\r\n", 0);
    return 1;
}

}  // namespace tesra
