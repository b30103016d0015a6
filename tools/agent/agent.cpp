#include "tools/agent/agent.h"

#include <sys/socket.h>

#include <cerrno>
#include <exception>

#include "tools/common/base64.h"

namespace tesra::tools {

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kMaxRequests = 64;

// Reads LF-ended lines without their line end; false when the peer closed,
// went silent past the time-out or sent an overlong line.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    bool Next(std::string& line) {
        line.clear();
        for (;;) {
            const std::size_t lf = held_.find('\n');
            if (lf != std::string::npos) {
                line = held_.substr(0, lf);
                held_.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            if (held_.size() > kMaxLine) return false;
            char buffer[1024];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            held_.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_;
    std::string held_;
};

}  // namespace

std::string AgentService::Refusal(std::string_view code, std::string_view message) const {
    std::string out = "ERR ";
    out.append(code).append("\r\nmessage=").append(message);
    out += "\r\nserver=" + address_ + "\r\nurl=/BIN/login_halvo.cgi\r\n\r\n";
    return out;
}

std::string AgentService::Answer(std::string_view request, std::string& user) {
    if (mode_ == AgentMode::kRefuse) return Refusal("503", "agent is not signed in");
    try {
        if (request.rfind("auth ", 0) == 0) {
            user.clear();
            const std::string_view args = request.substr(5);
            // Base64 has no "|", so the last one separates: an id that holds
            // a "|" still reaches us whole.
            const std::size_t bar = args.rfind('|');
            if (bar == std::string_view::npos) return Refusal("400", "auth needs id|password");
            const std::string id(args.substr(0, bar));
            const auto password = DecodeBase64(args.substr(bar + 1));
            if (id.empty() || !password || !store_.CheckPassword(id, *password))
                return Refusal("401", "wrong user id or password");
            user = id;
            return "OK\r\n\r\n";
        }
        if (request == "createsession") {
            if (user.empty()) return Refusal("403", "not authenticated");
            if (mode_ == AgentMode::kSingleLine) return "OK\r\n\r\n";
            const std::string sid = store_.NewSession(user);
            if (sid.empty()) return Refusal("401", "user is gone");
            return "OK\r\n" + sid + "\r\n\r\n";
        }
        return Refusal("400", "unknown request");
    } catch (const std::exception&) {
        return Refusal("500", "agent store failed");
    }
}

void AgentService::Serve(int fd) {
    SetTimeouts(fd, 30);
    LineReader reader(fd);
    std::string user;
    std::string request;
    std::string line;
    for (int answered = 0; answered < kMaxRequests && reader.Next(line);) {
        if (!line.empty()) {
            // Only a request's first line counts; more lines before the empty
            // one are ignored.
            if (request.empty()) request = line;
            continue;
        }
        if (request.empty()) continue;
        if (mode_ == AgentMode::kClose) return;
        if (!SendAll(fd, Answer(request, user))) return;
        request.clear();
        ++answered;
    }
}

}  // namespace tesra::tools
