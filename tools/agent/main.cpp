// Stand-in messenger agent on 127.0.0.1 (port 9002 unless told otherwise),
// sharing the stand-in memo server's database. See
// tools/memo_server/README.md.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/agent/agent.h"
#include "tools/common/loopback_server.h"
#include "tools/common/memo_store.h"
#include "tools/common/options.h"

namespace {

constexpr char kUsage[] =
    "usage: tesra-agent --db FILE [--port N] [--mode normal|refuse|single-line|close]\n"
    "  FILE is the memo server's database; --port defaults to 9002, 0 picks a free port.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "tesra-agent: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tesra::tools;
    std::string error;
    const auto options = ParseOptions(argc, argv, {"help"}, error);
    if (!options) return Fail(error);

    std::string db;
    std::uint16_t port = 9002;
    AgentMode mode = AgentMode::kNormal;
    for (const Option& o : *options) {
        if (o.name == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (o.name == "db") {
            db = o.value;
        } else if (o.name == "port") {
            const auto p = ParsePort(o.value);
            if (!p) return Fail("bad port: " + o.value);
            port = *p;
        } else if (o.name == "mode") {
            if (o.value == "normal") mode = AgentMode::kNormal;
            else if (o.value == "refuse") mode = AgentMode::kRefuse;
            else if (o.value == "single-line") mode = AgentMode::kSingleLine;
            else if (o.value == "close") mode = AgentMode::kClose;
            else return Fail("unknown mode: " + o.value);
        } else {
            return Fail("unknown option --" + o.name);
        }
    }
    if (db.empty()) return Fail("--db is required");

    InstallStopSignals();
    try {
        MemoStore store(db);
        LoopbackServer server;
        if (!server.Listen(port, error)) {
            std::fprintf(stderr, "tesra-agent: %s\n", error.c_str());
            return 1;
        }
        AgentService agent(store, server.Address(), mode);
        std::printf("listening %s\n", server.Address().c_str());
        std::fflush(stdout);
        server.Run([&agent](int fd) { agent.Serve(fd); });
        std::fprintf(stderr, "tesra-agent: stopped\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesra-agent: %s\n", e.what());
        return 1;
    }
    return 0;
}
