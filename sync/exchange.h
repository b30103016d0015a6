// One request to the memo server as the flows see it. Internal to sync/.
#pragma once

#include <string>
#include <string_view>

#include "sync/context.h"

namespace tesra::sync {

struct Reply {
    // The exchange ran to the server's close with all the body it
    // announced. Anything else (no connection, a reset, a time-out, a
    // refused nested request, a cut body) is a failed exchange, never an
    // empty answer, whatever bytes arrived.
    bool completed = false;
    std::string body;
    std::string host;  // the memo server it went to
};

// A body shorter than the Content-Length the reply announced was cut on
// the way (a peer's close can look orderly), or by the client's limits: no
// completed exchange, whatever the transport said.
bool ShortOfContentLength(std::string_view headers, std::size_t bodySize);

// Posts body to path on the memo server through the context's client.
Reply Post(ISyncContext& ctx, std::string_view path, const std::string& body);
// The same to a host the flow looked up once: each look-up reads the
// registry.
Reply Post(ISyncContext& ctx, const std::string& host, std::string_view path, const std::string& body);
// Sends the request on a worker now; the Post of the same request next takes
// its reply. The flow's file work meanwhile costs no time of the exchange's.
// A flow that does not Post it must DropPrefetch, or a later Post of the
// same request would take this stale reply.
void PostAhead(ISyncContext& ctx, const std::string& host, std::string_view path, const std::string& body);

// "setmemo.cgi cmd=setmemo muid=17": what a request asks, for the log.
std::string RequestName(std::string_view path, std::string_view body);
// How the client's last exchange ended, for the log.
std::string TransportOutcome(const CHttpClient& http);

// The server's own failure page: an "Internal Server Error" that names our
// memo server host. It is no answer at all, unlike an ERROR token, which is
// the server's word.
bool IsErrorPage(std::string_view reply, std::string_view host);

// No answer: the exchange failed, or only the error page came back.
bool NoAnswer(ISyncContext& ctx, const Reply& reply);

// A reply that says the server stored what we sent: the exchange completed,
// it holds a status token, and it passes the setmemo rule. An empty body or
// one without a token (a proxy's page) proves nothing was stored, and
// sending again costs nothing, so it is not taken for an acknowledgement.
bool Acknowledged(ISyncContext& ctx, const Reply& reply);

}  // namespace tesra::sync
