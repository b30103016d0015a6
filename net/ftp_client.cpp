#include "net/ftp_client.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "net/blocking_socket.h"
#include "base/sock_sys.h"

namespace tesra {

namespace net {
namespace {

// Byte stream over the control socket.
class FtpSocketFile {
public:
    // waitMs gives each wait its limit: negative none, 0 no time left.
    FtpSocketFile(sys::MessageSocket& socket, std::function<int()> waitMs)
        : socket_(socket), waitMs_(std::move(waitMs)) {}
    // bytes, 0 at the peer's close, -1 on failure.
    int Read(char* buffer, int capacity);
    bool Write(const char* data, std::size_t length);

private:
    sys::MessageSocket& socket_;
    std::function<int()> waitMs_;
};

class FtpWriteArchive {
public:
    static constexpr std::size_t kBufferSize = 4096;

    explicit FtpWriteArchive(FtpSocketFile& file) : file_(file) {}
    FtpWriteArchive(const FtpWriteArchive&) = delete;
    FtpWriteArchive& operator=(const FtpWriteArchive&) = delete;
    ~FtpWriteArchive() { Flush(); }

    bool WriteString(const std::string& text);
    // What fails to go out is dropped, so nothing is retried at close.
    bool Flush();

private:
    FtpSocketFile& file_;
    std::string pending_;
};

int FtpSocketFile::Read(char* buffer, int capacity) {
    const int ms = waitMs_();
    if (ms == 0) return -1;
    const long n = socket_.Receive(buffer, capacity < 0 ? 0 : static_cast<std::size_t>(capacity), ms);
    return n < 0 ? -1 : static_cast<int>(n);
}

bool FtpSocketFile::Write(const char* data, std::size_t length) {
    const int ms = waitMs_();
    return ms != 0 && socket_.SendAll(data, length, ms);
}

bool FtpWriteArchive::WriteString(const std::string& text) {
    pending_ += text;
    return pending_.size() < kBufferSize || Flush();
}

bool FtpWriteArchive::Flush() {
    if (pending_.empty()) return true;
    const bool ok = file_.Write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
}

}  // namespace

int FtpReadArchive::ReadString(std::string* line) {
    line->clear();
    for (;;) {
        if (start_ < end_) {
            const char* from = buffer_ + start_;
            const auto count = static_cast<std::size_t>(end_ - start_);
            if (const char* lf = static_cast<const char*>(std::memchr(from, '\n', count))) {
                const auto take = static_cast<std::size_t>(lf - from);
                line->append(from, take);
                start_ += static_cast<int>(take) + 1;
                consumed_ += take + 1;
                if (!line->empty() && line->back() == '\r') line->pop_back();
                return 1;
            }
            line->append(from, count);
            consumed_ += count;
            start_ = end_ = 0;
        }
        if (line->size() > kMaxLine) return -1;
        const int got = recv_(buffer_, kBufferSize);
        if (got <= 0) return 0;
        start_ = 0;
        end_ = got;
    }
}


bool ParsePasvReply(const std::string& reply, std::string* dotted, int* port) {
    const std::size_t open = reply.find('(');
    if (open == std::string::npos) return false;
    const std::size_t close = reply.find(')');
    if (close == std::string::npos || close < open) return false;
    const std::string inner = reply.substr(open + 1, close - open - 1);
    int numbers[6];
    int count = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = inner.find(',', from);
        const std::string_view piece =
            Trim(std::string_view(inner).substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (count == 6 || piece.empty() || piece.size() > 3 ||
            piece.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        const int value = ParseInt(piece);
        if (value > 255) return false;
        numbers[count++] = value;
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (count != 6) return false;
    *dotted = Format("%d.%d.%d.%d", numbers[0], numbers[1], numbers[2], numbers[3]);
    *port = numbers[4] * 256 + numbers[5];
    return true;
}

}  // namespace net

namespace {

namespace sys = net::sys;

constexpr const char* kLogonFailed = "001 Logon failed";
constexpr const char* kCannotCreate = "002 Unable to create socket";
constexpr const char* kNoConnect = "003 Unable to connect to server";
constexpr const char* kNoLocalFile = "004 Unable to open file on local machine";
constexpr const char* kFileError = "005 File error";
constexpr const char* kNetworkError = "006 Network error";

// Logon sequences: triples (command, next state after 2xx, after 3xx);
// states count triples from 0 in steps of 3.
constexpr int L = -1;  // logged on
constexpr int F = -2;  // failed
struct LogonStep {
    int command, on2xx, on3xx;
};
const std::vector<LogonStep> kLogonSequences[9] = {
    {{0, L, 3}, {1, L, 6}, {2, L, F}},
    {{3, 6, 3}, {4, 6, F}, {5, F, 9}, {0, L, 12}, {1, L, 15}, {2, L, F}},
    {{3, 6, 3}, {4, 6, F}, {6, L, 9}, {1, L, 12}, {2, L, F}},
    {{7, 3, 3}, {0, L, 6}, {1, L, 9}, {2, L, F}},
    {{3, 6, 3}, {4, 6, F}, {0, L, 9}, {1, L, 12}, {2, L, F}},
    {{6, L, 3}, {1, L, 6}, {2, L, F}},
    {{8, 6, 3}, {4, 6, F}, {0, L, 9}, {1, L, 12}, {2, L, F}},
    {{9, F, 3}, {1, L, 6}, {2, L, F}},
    {{10, L, 3}, {11, L, 6}, {2, L, F}},
};

struct LogonTexts {
    const std::string& user;
    const std::string& password;
    const std::string& account;
    const std::string& fwUser;
    const std::string& fwPassword;
    const std::string& hostText;
};

std::string LogonCommand(int code, const LogonTexts& t) {
    switch (code) {
    case 0: return "USER " + t.user;
    case 1: return "PASS " + t.password;
    case 2: return "ACCT " + t.account;
    case 3: return "USER " + t.fwUser;
    case 4: return "PASS " + t.fwPassword;
    case 5: return "SITE " + t.hostText;
    case 6: return "USER " + t.user + "@" + t.hostText;
    case 7: return "OPEN " + t.hostText;
    case 8: return "USER " + t.fwUser + "@" + t.hostText;
    case 9: return "USER " + t.user + "@" + t.hostText + " " + t.fwUser;
    case 10: return "USER " + t.user + "@" + t.fwUser + "@" + t.hostText;
    case 11: return "PASS " + t.password + "@" + t.fwPassword;
    default: return {};
    }
}

bool Resolve(const std::string& host, int port, SockAddr* out) {
    std::uint32_t addr = sys::ParseDotted(host);
    if (addr == net::kInaddrNone && !sys::Resolve(host, &addr)) return false;
    out->sin_family = net::kAfInet;
    out->sin_port = net::HostToNet16(static_cast<std::uint16_t>(port));
    out->sin_addr = addr;
    return true;
}

class LocalFile {
public:
    LocalFile() = default;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    ~LocalFile() { Close(); }

    bool Open(const std::string& path, const char* mode) {
        file_ = std::fopen(path.c_str(), mode);
        return file_ != nullptr;
    }
    std::FILE* get() const { return file_; }
    bool Close() {
        if (!file_) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_ = nullptr;
};

// Removes the temporary download unless it was moved into place.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!path_.empty()) fs::RemoveFile(path_);
    }
    void Own(std::string path) { path_ = std::move(path); }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

class DataSocket {
public:
    DataSocket() = default;
    DataSocket(const DataSocket&) = delete;
    DataSocket& operator=(const DataSocket&) = delete;
    ~DataSocket() { Close(); }
    void Reset(net::SocketHandle h) {
        Close();
        handle_ = h;
    }
    net::SocketHandle get() const { return handle_; }
    void Close() {
        if (handle_ != net::kNoSocket) sys::CloseHandle(handle_);
        handle_ = net::kNoSocket;
    }

private:
    net::SocketHandle handle_ = net::kNoSocket;
};

}  // namespace

struct CFtpClient::Control {
    sys::MessageSocket socket;
    std::unique_ptr<net::FtpSocketFile> file;
    std::unique_ptr<net::FtpWriteArchive> writer;
};

CFtpClient::CFtpClient() = default;

void CFtpClient::SetDeadline(int ms) {
    if (ms < 0)
        m_deadline.reset();
    else
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

bool CFtpClient::Expired() const { return m_deadline && std::chrono::steady_clock::now() >= *m_deadline; }

int CFtpClient::WaitMs() const {
    if (!m_deadline) return m_nTimeoutMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    const int ms = left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
    return m_nTimeoutMs < 0 ? ms : std::min(ms, m_nTimeoutMs);
}

CFtpClient::~CFtpClient() { CloseControl(); }

int CFtpClient::OpenControl(const std::string& host, int port) {
    try {
        CloseControl();
        m_strLastReply = kCannotCreate;
        m_pControl = std::make_unique<Control>();
        sys::MessageSocket& socket = m_pControl->socket;
        if (!socket.Create()) return 0;
        m_strLastReply = kNoConnect;
        SockAddr addr;
        if (port < 0 || port > 65535 || !Resolve(host, port, &addr)) return 0;
        if (Expired() || !socket.Connect(addr, WaitMs())) return 0;
        m_strLastReply = kCannotCreate;
        m_pControl->file = std::make_unique<net::FtpSocketFile>(socket, [this] { return WaitMs(); });
        net::FtpSocketFile* file = m_pControl->file.get();
        m_pReadArchive = std::make_unique<net::FtpReadArchive>([file](char* b, int c) { return file->Read(b, c); });
        m_pControl->writer = std::make_unique<net::FtpWriteArchive>(*file);
        return 1;
    } catch (...) {
        m_strLastReply = kCannotCreate;
        return 0;
    }
}

void CFtpClient::CloseControl() {
    // The writer flushes through the file, which reads through the socket.
    if (m_pControl) m_pControl->writer.reset();
    m_pReadArchive.reset();
    m_pControl.reset();
}

int CFtpClient::SendCommand(const std::string& text) {
    m_strLastReply = kNetworkError;
    if (!m_pControl || !m_pControl->writer) return 0;
    if (UpToLineBreak(text).size() != text.size()) return 0;
    try {
        net::FtpWriteArchive& writer = *m_pControl->writer;
        if (!writer.WriteString(text + "\r\n") || !writer.Flush()) return 0;
    } catch (...) {
        return 0;
    }
    return 1;
}

int CFtpClient::ReadReplyLine() {
    std::string line;
    try {
        if (!m_pReadArchive || m_pReadArchive->ReadString(&line) != 1) {
            m_strLastReply = kNetworkError;
            return 0;
        }
        // A NUL ends the text, as it would any C string of the dialogue.
        if (const std::size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
        m_strLastReply = std::move(line);
    } catch (...) {
        m_strLastReply = kNetworkError;
        return 0;
    }
    if (!m_strLastReply.empty()) m_nReplyDigit = static_cast<unsigned char>(m_strLastReply[0]) - '0';
    return 1;
}

int CFtpClient::ReadReply() {
    if (!m_pReadArchive) {
        m_strLastReply = kNetworkError;
        return 0;
    }
    const std::uint64_t start = m_pReadArchive->consumed();
    if (!ReadReplyLine()) return 0;
    if (m_strLastReply.size() >= 4 && m_strLastReply[3] == '-') {
        const std::int32_t code = ParseLong(m_strLastReply);
        for (;;) {
            if (!ReadReplyLine()) return 0;
            if (m_pReadArchive->consumed() - start > kMaxReply) {
                m_strLastReply = kNetworkError;
                return 0;
            }
            const std::string& l = m_strLastReply;
            if (l.size() > 3 && l[3] == ' ' && ParseLong(l) == code) break;
        }
    }
    return 1;
}

int CFtpClient::Command(const std::string& text) {
    if (!text.empty() && !SendCommand(text)) return 0;
    return ReadReply() && m_nReplyDigit == 2 ? 1 : 0;
}

int CFtpClient::LogOn(const std::string& host, int port, const std::string& user, const std::string& password,
                      const std::string& account, const std::string& fwHost, const std::string& fwUser,
                      const std::string& fwPassword, int fwPort, int logonType) {
    if (logonType < 0 || logonType > 8) return 0;
    try {
        const std::string& connectHost = logonType == 0 ? host : fwHost;
        const int connectPort = logonType == 0 ? port : fwPort;
        std::string hostText = host;
        if (port != 21) hostText += Format(":%d", port);
        if (!OpenControl(connectHost, connectPort) || !Command("")) return 0;

        const LogonTexts texts{user, password, account, fwUser, fwPassword, hostText};
        const std::vector<LogonStep>& sequence = kLogonSequences[logonType];
        int state = 0;
        // Every sequence moves forward, so it ends within its own length.
        for (std::size_t steps = 0; steps <= sequence.size(); ++steps) {
            const LogonStep& step = sequence[static_cast<std::size_t>(state / 3)];
            if (!SendCommand(LogonCommand(step.command, texts)) || !ReadReply()) return 0;
            if (m_nReplyDigit != 2 && m_nReplyDigit != 3) return 0;
            const int next = m_nReplyDigit == 2 ? step.on2xx : step.on3xx;
            if (next == L) return 1;
            if (next == F || next / 3 >= static_cast<int>(sequence.size())) break;
            state = next;
        }
        m_strLastReply = kLogonFailed;
    } catch (...) {
        m_strLastReply = kNetworkError;
    }
    return 0;
}

int CFtpClient::TransferFile(const std::string& remotePath, const std::string& localPath, int passive, int download) {
    try {
        TempFile temp;
        LocalFile file;
        const std::string localName = download ? localPath + ".~part" : localPath;
        if (!file.Open(localName, download ? "wb" : "rb")) {
            m_strLastReply = kNoLocalFile;
            return 0;
        }
        if (download) temp.Own(localName);

        if (!Command("TYPE I")) return 0;

        SockAddr dataAddr;
        sys::MessageSocket listener;
        if (passive) {
            if (!Command("PASV")) return 0;
            std::string dotted;
            int port = 0;
            if (!net::ParsePasvReply(m_strLastReply, &dotted, &port)) return 0;
            dataAddr.sin_family = net::kAfInet;
            dataAddr.sin_port = net::HostToNet16(static_cast<std::uint16_t>(port));
            dataAddr.sin_addr = sys::ParseDotted(dotted);
            // The data connection goes where the control connection goes:
            // a reply naming another host must not send us elsewhere.
            SockAddr peer;
            if (m_pControl && sys::PeerAddress(m_pControl->socket.handle(), &peer)) dataAddr.sin_addr = peer.sin_addr;
        } else {
            m_strLastReply = kNetworkError;
            SockAddr local;
            if (!m_pControl || !sys::LocalAddress(m_pControl->socket.handle(), &local)) return 0;
            SockAddr listenAt = local;
            listenAt.sin_port = 0;
            SockAddr bound;
            if (!listener.Create() || !listener.Listen(listenAt, 5) || !sys::LocalAddress(listener.handle(), &bound))
                return 0;
            const int port = net::NetToHost16(bound.sin_port);
            const std::string commas = ReplaceAll(sys::DottedText(local.sin_addr), ".", ",");
            if (!Command(Format("PORT %s,%d,%d", commas.c_str(), port / 256, port % 256))) return 0;
        }

        if (!SendCommand((download ? "RETR " : "STOR ") + remotePath)) return 0;

        DataSocket data;
        if (passive) {
            data.Reset(sys::Open(1));
            if (data.get() == net::kNoSocket || !sys::SetBlocking(data.get(), false)) {
                m_strLastReply = kNetworkError;
                return 0;
            }
            // Only started here; a connection that never comes shows as an
            // immediate end of data.
            sys::Connect(data.get(), dataAddr);
        }
        if (!ReadReply() || m_nReplyDigit != 1) return 0;
        bool connected = true;
        if (!passive) {
            data.Reset(Expired() ? net::kNoSocket : listener.Accept(WaitMs()));
            if (data.get() == net::kNoSocket) return 0;
        } else if (!Expired()) {
            // A connection refused is the immediate end of data; one still
            // on its way is waited for below like data that is slow to come.
            sys::WaitReady(data.get(), true, WaitMs());
            connected = sys::PendingError(data.get()) <= 0;
        }
        listener.Close();
        if (!sys::MakePlainBlocking(data.get())) {
            m_strLastReply = kNetworkError;
            return 0;
        }

        // A server may send without end or trickle: past the deadline or the
        // size limit the transfer fails and its partial file goes.
        const auto spent = [this] {
            if (!Expired()) return false;
            m_strLastReply = kNetworkError;
            return true;
        };
        char chunk[kChunk];
        std::uint64_t total = 0;
        if (!connected) {
            // nothing to read or send: the reply after it decides
        } else if (download) {
            for (;;) {
                if (spent()) return 0;
                // Data that stops coming is no end of the file, whatever the
                // control line says next; a connection that failed is.
                if (const int ms = WaitMs(); ms >= 0 && sys::WaitReady(data.get(), false, ms) != 1) {
                    m_strLastReply = kNetworkError;
                    return 0;
                }
                const long got = sys::Recv(data.get(), chunk, sizeof chunk);
                if (got <= 0) break;
                total += static_cast<std::uint64_t>(got);
                if (m_nMaxDownload > 0 && total > m_nMaxDownload) {
                    m_strLastReply = kFileError;
                    return 0;
                }
                if (std::fwrite(chunk, 1, static_cast<std::size_t>(got), file.get()) != static_cast<std::size_t>(got)) {
                    m_strLastReply = kFileError;
                    return 0;
                }
                SendTransferProgress(m_hWndProgress, 0, got);
            }
        } else {
            for (;;) {
                const std::size_t read = std::fread(chunk, 1, sizeof chunk, file.get());
                if (read == 0) {
                    if (std::ferror(file.get())) {
                        m_strLastReply = kFileError;
                        return 0;
                    }
                    break;
                }
                if (spent()) return 0;
                if (const int ms = WaitMs(); ms >= 0 && sys::WaitReady(data.get(), true, ms) != 1) {
                    m_strLastReply = kNetworkError;
                    return 0;
                }
                const long sent = sys::Send(data.get(), chunk, read);
                if (sent < 0) break;
                SendTransferProgress(m_hWndProgress, 1, sent);
                if (static_cast<std::size_t>(sent) < read &&
                    std::fseek(file.get(), -static_cast<long>(read - static_cast<std::size_t>(sent)), SEEK_CUR) != 0) {
                    m_strLastReply = kFileError;
                    return 0;
                }
            }
        }
        data.Close();
        if (!file.Close()) {
            m_strLastReply = kFileError;
            return 0;
        }
        if (!Command("")) return 0;
        if (download) {
            if (!fs::MoveReplace(localName, localPath)) {
                m_strLastReply = kFileError;
                return 0;
            }
            temp.Keep();
        }
        return 1;
    } catch (...) {
        m_strLastReply = kNetworkError;
        return 0;
    }
}

void CFtpClient::LogOff() {
    SendCommand("QUIT");
    CloseControl();
}

}  // namespace tesra
