// A server address (a registry value or a variable, the same text either
// way) and a user id, as the control turns them into URLs and requests:
// the host name is a prefix of the address and a request keeps its lines.
#include <algorithm>
#include <string>

#include "check.h"
#include "net/http_client.h"
#include "sync/context.h"
#include "sync/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesra;
    using fuzz::Check;
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The address up to the first NUL (a variable holds none), the id behind it.
    const std::string host = ResolveServerHost("TESRA_FUZZ_UNSET", input.substr(0, input.find('\0')));
    const std::string userId = input.substr(std::min(input.size(), host.size() + 1));
    const std::string name = HostName(host);
    Check(host.compare(0, name.size(), name) == 0 && name.find(':') == std::string::npos);

    CHttpClient client;
    client.SetCookie(userId);
    const auto count = [](const std::string& s, char c) { return std::count(s.begin(), s.end(), c); };
    for (const std::string& url : {ServerUrl(host, kGetMemoPath), LoginUrl(ServerUrl(host, kLoginPath), userId, "pw")}) {
        HttpUrl u;
        if (!ParseHttpUrl(url, &u)) continue;
        Check(u.port >= 1 && u.port <= 65535 && u.object[0] == '/' && !u.host.empty());
        for (const std::string& r : {client.GetRequest(u), client.PostRequest(u, "a=b")}) {
            const std::string head = r.substr(0, r.find("\n\n"));
            Check(head.find_first_of(std::string("\r\0", 2)) == std::string::npos);
            Check(count(head, '\n') == (r[0] == 'P' ? 4 : 2) + (client.m_strCookie.empty() ? 0 : 1));
            Check(count(head.substr(0, head.find('\n')), ' ') == 2);
        }
    }
    return 0;
}
