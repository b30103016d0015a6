#include "tools/memo_server/http.h"

#include <sys/socket.h>

#include <cerrno>
#include <optional>

#include "base/text.h"

namespace tesra::tools {

namespace {

constexpr std::size_t kMaxLine = 16 * 1024;
constexpr std::size_t kMaxHeaders = 100;
// A memo of 100000 bytes is 300000 once encoded; leave plenty of room.
constexpr std::size_t kMaxBody = 16 * 1024 * 1024;

class Reader {
public:
    explicit Reader(int fd) : fd_(fd) {}

    // One line without its LF and an optional CR before it; nothing when the
    // peer closed or failed first. tooLong is set for an oversized line.
    std::optional<std::string> Line(bool& tooLong) {
        std::string line;
        for (;;) {
            if (pos_ == held_.size() && !Fill()) return std::nullopt;
            const std::size_t lf = held_.find('\n', pos_);
            const std::size_t end = lf == std::string::npos ? held_.size() : lf;
            line.append(held_, pos_, end - pos_);
            pos_ = lf == std::string::npos ? held_.size() : lf + 1;
            if (line.size() > kMaxLine) {
                tooLong = true;
                return std::nullopt;
            }
            if (lf != std::string::npos) break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

    bool Bytes(std::size_t n, std::string& out) {
        while (out.size() < n) {
            if (pos_ == held_.size() && !Fill()) return false;
            const std::size_t take = std::min(n - out.size(), held_.size() - pos_);
            out.append(held_, pos_, take);
            pos_ += take;
        }
        return true;
    }

private:
    bool Fill() {
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            held_.assign(buffer, static_cast<std::size_t>(n));
            pos_ = 0;
            return true;
        }
    }

    int fd_;
    std::string held_;
    std::size_t pos_ = 0;
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (EqualsNoCase(key, name)) return value;
    return {};
}

ReadStatus ReadRequest(int fd, HttpRequest& request) {
    Reader reader(fd);
    bool tooLong = false;
    std::optional<std::string> line = reader.Line(tooLong);
    if (!line) return tooLong ? ReadStatus::kTooLarge : ReadStatus::kClosed;

    const std::size_t s1 = line->find(' ');
    const std::size_t s2 = s1 == std::string::npos ? s1 : line->find(' ', s1 + 1);
    if (s2 == std::string::npos) return ReadStatus::kMalformed;
    request.method = line->substr(0, s1);
    request.target = line->substr(s1 + 1, s2 - s1 - 1);
    request.version = line->substr(s2 + 1);
    if (request.version.rfind("HTTP/1.", 0) != 0 || request.target.empty()) return ReadStatus::kMalformed;
    const std::size_t q = request.target.find('?');
    request.path = request.target.substr(0, q);
    request.query = q == std::string::npos ? std::string() : request.target.substr(q + 1);

    for (;;) {
        line = reader.Line(tooLong);
        if (!line) return tooLong ? ReadStatus::kTooLarge : ReadStatus::kMalformed;
        if (line->empty()) break;
        if (request.headers.size() >= kMaxHeaders) return ReadStatus::kTooLarge;
        const std::size_t colon = line->find(':');
        if (colon == std::string::npos || colon == 0) return ReadStatus::kMalformed;
        request.headers.emplace_back(line->substr(0, colon), std::string(Trim(std::string_view(*line).substr(colon + 1))));
    }

    const std::string length = request.Header("Content-Length");
    if (length.empty()) return ReadStatus::kOk;
    std::size_t n = 0;
    for (const char c : length) {
        if (c < '0' || c > '9') return ReadStatus::kMalformed;
        n = n * 10 + static_cast<std::size_t>(c - '0');
        if (n > kMaxBody) return ReadStatus::kTooLarge;
    }
    return reader.Bytes(n, request.body) ? ReadStatus::kOk : ReadStatus::kMalformed;
}

std::string ReplyHead(const HttpReply& reply, std::size_t contentLength) {
    std::string head = "HTTP/1.0 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    head += "Server: tesra-memo-stand-in\r\n";
    for (const std::string& h : reply.headers) head += h + "\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

}  // namespace tesra::tools
