// The memo server's scripts, the login script and the admin endpoints that
// tests use to play the web memo service and to break things on purpose.
#pragma once

#include <atomic>
#include <string>

#include "tools/common/loopback_server.h"
#include "tools/common/memo_store.h"
#include "tools/memo_server/faults.h"
#include "tools/memo_server/http.h"

namespace tesra::tools {

// The memo group every request of the control names.
inline constexpr char kMgrp[] = "2";

class MemoService {
public:
    MemoService(MemoStore& store, LoopbackServer& server) : store_(store), server_(server) {}

    // The connection handler.
    void Serve(int fd);

    FaultTable& Faults() { return faults_; }

    // Which fault kind a request is: a script command, "login", "admin", or
    // empty for anything else.
    static std::string KindOf(const HttpRequest& request);

    // The reply to a request, carried out against the store.
    HttpReply Answer(const HttpRequest& request, const std::string& kind);

private:
    HttpReply Script(const HttpRequest& request, const std::string& kind);
    HttpReply Login(const HttpRequest& request);
    HttpReply Admin(const HttpRequest& request);
    // The web memo service's page (web.cpp).
    HttpReply Web(const HttpRequest& request);
    std::string SessionUser(const HttpRequest& request);
    std::string NewStamp(std::size_t length);

    MemoStore& store_;
    LoopbackServer& server_;
    FaultTable faults_;
    std::atomic<long long> stampCounter_{0};
};

}  // namespace tesra::tools
