// Minimal HTTP/1.0 client: a fresh connection per request, headers to the
// empty line, body to the server's close. The caller judges the body; the
// status code is never examined and redirects are only recorded.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/pump.h"
#include "net/blocking_socket.h"

namespace tesra {

// How the last exchange ended, so callers can tell a failed exchange from
// an empty answer.
enum class HttpTransport {
    kNone,         // no request yet
    kCompleted,    // connected, request sent, headers and body read
    kFailed,       // a socket failure: lookup, connect, send, receive, early close
    kTimedOut,     // Post gave up waiting for its worker
    kInterrupted,  // Post's wait ended by WM_QUIT / WM_CLOSE
    kRefused,      // started while this client's other request was waiting
};

namespace net {
struct HttpReply;
}

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string object = "/";
};

// "http://host[:port][/path[?query]]"; false (and an empty host) otherwise,
// and for a host or object with a blank or control byte.
bool ParseHttpUrl(const std::string& url, HttpUrl* out);

class CHttpClient {
public:
    // A longer reply body fails the exchange: an index of thousands of memos
    // and a memo of megabytes fit well within it.
    static constexpr std::size_t kBodyLimit = std::size_t{16} << 20;
    // The cookie string never grows past this: servers set a session or two.
    static constexpr std::size_t kCookieLimit = 4096;
    static constexpr int kDefaultIoSecs = 60;
    static constexpr int kDefaultPostRounds = 600;

    CHttpClient();
    ~CHttpClient();  // what is left of a prefetch is not sent
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    void SetCookie(const std::string& cookie);
    // Blocks the calling thread for the whole exchange.
    void Get(const std::string& url);
    // Runs the exchange on a worker while this thread keeps dispatching its
    // messages. A Get or Post started on this client from inside that wait
    // (a timer or command handler) is refused: it returns at once with
    // m_transport kRefused and leaves every other field to the request in
    // flight, which overwrites m_transport when it ends.
    void Post(const std::string& url, const std::string& form);
    // The (url, form) requests the caller will Post next, in this order (a
    // start-up's downloads): one worker sends them one after another
    // meanwhile, and a Post whose request is the next of them takes its
    // reply, waiting as ever. A Post of anything else, or one that did not
    // complete, drops what is left. The server sees the same requests in
    // the same order, only sooner. arrived, when given, runs on that worker
    // with each request's index and reply before a Post may take the reply.
    using PrefetchArrived = std::function<void(std::size_t, const net::HttpReply&)>;
    void Prefetch(const std::vector<std::pair<std::string, std::string>>& requests, PrefetchArrived arrived = {});
    void DropPrefetch();
    // Takes each value up to its ";" but never past a line break; a name set
    // again replaces its value; a cookie that would grow the string past
    // kCookieLimit is dropped.
    int CollectCookies(const std::string& headers);
    // The request texts with this client's cookie: never a CR, and no LF or
    // NUL inside a header value.
    std::string GetRequest(const HttpUrl& u) const;
    std::string PostRequest(const HttpUrl& u, const std::string& form) const;

    std::string m_strHeaders;
    std::string m_strRequest;
    std::string m_strBody;
    std::string m_strCookie;
    std::string m_strLocation;
    std::string m_strServer;
    std::string m_strUserAgent;
    // The completion signal of the POST in progress; the worker holds its
    // own reference, so a late signal only ever reaches its own request
    // (a prefetch's replies share one, and each wait checks its own reply).
    std::shared_ptr<WaitEvent> m_hEvent;

    HttpTransport m_transport = HttpTransport::kNone;
    // Time-outs: seconds per blocked send or receive, rounds of 100 ms for
    // Post's wait.
    int m_nIoSecs = kDefaultIoSecs;
    int m_nPostRounds = kDefaultPostRounds;

private:
    struct Prefetched;
    void PutCookie(std::string_view value, bool trailing);

    bool m_bBusy = false;
    std::shared_ptr<Prefetched> m_prefetch;
    // An auto-reset event whose signal a wait took: only its worker, which
    // is done with it, still holds it.
    std::shared_ptr<WaitEvent> m_spareEvent;
};

namespace net {

struct HttpReply {
    std::string headers;
    std::string body;
    bool completed = false;
};

// Reads header lines through the empty line into headers and then the body
// until the peer's close, cut at its first NUL. False, with no body, when
// the header lines or the body run past CHttpClient::kBodyLimit bytes. Throws what the reads
// throw; what arrived before a failure is already in headers and body.
bool ReadHttpReply(CHttpBlockingSocket& sock, const ReceiveFn& recv, std::vector<char>& buffer,
                   std::string* headers, std::string* body);

// One whole exchange on a fresh connection; never throws.
void RunHttpExchange(const std::string& host, int port, const std::string& request, int ioSecs, HttpReply* out);

}  // namespace net
}  // namespace tesra
