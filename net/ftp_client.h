// FTP client (RFC 959 control dialogue): table-driven logon, including the
// logons through FTP firewalls, and one image-type transfer over a passive
// or active data connection. Failures come back as 0 plus a reply text in
// m_strLastReply, never as exceptions.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/pump.h"
#include "net/receive_fn.h"

namespace tesra {

namespace net {

// Buffered line reading: a line runs through the next LF and comes back
// without its CR LF. A line that grows past kMaxLine bytes without a LF is
// refused, so a hostile server cannot make it grow without end.
class FtpReadArchive {
public:
    static constexpr int kBufferSize = 4096;
    static constexpr std::size_t kMaxLine = 1 << 20;

    explicit FtpReadArchive(ReceiveFn recv) : recv_(std::move(recv)) {}
    // 1 a line, 0 the stream ended first (a partial line is dropped), -1 the
    // line was too long.
    int ReadString(std::string* line);
    // Bytes taken from the stream so far.
    std::uint64_t consumed() const { return consumed_; }

private:
    ReceiveFn recv_;
    char buffer_[kBufferSize] = {};
    int start_ = 0;
    int end_ = 0;
    std::uint64_t consumed_ = 0;
};

// The address and port of a PASV reply: six numbers 0..255 between the
// first "(" and the first ")"; false otherwise.
bool ParsePasvReply(const std::string& reply, std::string* dotted, int* port);

}  // namespace net

class CFtpClient {
public:
    static constexpr int kChunk = 4096;
    static constexpr std::uint64_t kMaxReply = 1 << 20;

    CFtpClient();
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;
    ~CFtpClient();

    int LogOn(const std::string& host, int port, const std::string& user, const std::string& password,
              const std::string& account, const std::string& fwHost, const std::string& fwUser,
              const std::string& fwPassword, int fwPort, int logonType);
    // A download goes to a temporary file beside localPath that replaces it
    // only after the server confirmed the transfer.
    int TransferFile(const std::string& remotePath, const std::string& localPath, int passive, int download);
    void LogOff();
    int Command(const std::string& text);
    // Refuses a text with CR, LF or NUL, which would smuggle in a command.
    int SendCommand(const std::string& text);
    int ReadReply();
    int ReadReplyLine();
    int OpenControl(const std::string& host, int port);
    void CloseControl();

    // Told of every chunk a transfer moves (SendTransferProgress).
    WindowHandle m_hWndProgress = nullptr;
    std::string m_strLastReply;
    int m_nReplyDigit = 0;
    std::unique_ptr<net::FtpReadArchive> m_pReadArchive;
    // The control connection: its socket and the writer over it.
    struct Control;
    std::unique_ptr<Control> m_pControl;

    // Limit in ms for each wait on the server, negative for none (the
    // client's own behaviour); tests set one.
    int m_nTimeoutMs = -1;
    // A download that runs past this many bytes fails; 0 for no limit.
    std::uint64_t m_nMaxDownload = 0;
    // From now on, every wait ends within ms; once they are spent every
    // operation fails with "006 Network error". Negative: no deadline.
    void SetDeadline(int ms);

private:
    // What the next wait may take: the per-wait limit within the deadline;
    // 0 once the deadline has passed, negative for no limit at all.
    int WaitMs() const;
    bool Expired() const;

    std::optional<std::chrono::steady_clock::time_point> m_deadline;
};

}  // namespace tesra
