// The connection to the local messenger agent: CR-LF text lines, one request
// at a time, each reply ended by an empty line or the agent's close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/pump.h"
#include "net/blocking_socket.h"

namespace tesra {

// 9002, or TESRA_AGENT_PORT from the environment when it holds a port.
std::uint16_t AgentPortFromEnvironment();

class CAgentSocket : public CBlockingSocket {
public:
    static constexpr std::uint16_t kDefaultPort = 9002;
    static constexpr int kLineBufSize = 4096;
    static constexpr int kReplyLineSize = 100000;
    static constexpr std::size_t kReplyLimit = 64 * 1024;

    explicit CAgentSocket(int threaded);
    CAgentSocket(const CAgentSocket&) = delete;
    CAgentSocket& operator=(const CAgentSocket&) = delete;
    ~CAgentSocket();

    int ConnectAgent(const std::string& host, std::uint16_t port);
    // 0 without sending anything for an id or password with CR, LF or NUL.
    int Auth(const std::string& userId, const std::string& password);
    int CreateSession();
    int Exchange(const std::string& request);
    int ReadLine(char* line, int nSize, int nSecs);
    // The same with the bytes taken from recv instead of the socket.
    int ReadLine(char* line, int nSize, const ReceiveFn& recv);
    // 0 acceptance, 1 refusal (then the refusal fields are filled).
    int ParseReply();

    int m_bUsable = 1;
    int m_bThreaded = 0;
    std::string m_strReply;
    std::string m_strReplyErr;
    std::string m_strReplyMessage;
    std::string m_strReplyServer;
    std::string m_strReplyUrl;
    std::string m_strRequestText;
    // Signal of the running worker; the worker holds its own reference.
    std::shared_ptr<WaitEvent> m_hEvent;
    int m_bResult = 0;
    std::string m_strHost;
    int m_nPort = 0;
    char m_lineBuf[kLineBufSize + 4] = {};
    int m_nLineBuf = 0;

    // The window whose WM_QUIT / WM_CLOSE ends a threaded connect's wait.
    // The threaded connect refuses to run without one, as it always did on
    // a thread with no main window.
    WindowHandle m_hMainWnd = nullptr;
    // Limits: rounds of 100 ms for the threaded waits, seconds per blocked
    // send or receive.
    int m_nConnectRounds = 300;
    int m_nExchangeRounds = 600;
    int m_nIoSecs = 60;

private:
    // Sends request and reads reply lines into m_strReply; false when a
    // socket failure ended it.
    bool SendAndRead(const std::string& request);
    int ConnectDirect(const std::string& host, std::uint16_t port);
    int ConnectThreaded(const std::string& host, std::uint16_t port);
    int ExchangeThreaded(const std::string& request);
};

}  // namespace tesra
