// The messenger agent's line protocol: "auth ID|BASE64\r\n\r\n" checks the
// password against the memo server's users, "createsession\r\n\r\n" then
// hands out a session the memo server accepts, on the reply's second line.
#pragma once

#include <string>
#include <string_view>

#include "tools/common/loopback_server.h"
#include "tools/common/memo_store.h"

namespace tesra::tools {

enum class AgentMode {
    kNormal,
    kRefuse,      // every request gets ERR
    kSingleLine,  // createsession is accepted without a session line
    kClose,       // the connection closes at the first request, unanswered
};

class AgentService {
public:
    AgentService(MemoStore& store, std::string address, AgentMode mode)
        : store_(store), address_(std::move(address)), mode_(mode) {}

    void Serve(int fd);

    // The reply to one request line; user is the connection's authenticated
    // user, set by a successful auth.
    std::string Answer(std::string_view request, std::string& user);

private:
    std::string Refusal(std::string_view code, std::string_view message) const;

    MemoStore& store_;
    std::string address_;
    AgentMode mode_;
};

}  // namespace tesra::tools
