#include "net/http_client.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>

#include "base/text.h"
#include "base/thread.h"
#include "net/worker.h"

namespace tesra {

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

std::string UpToNul(const std::string& s) { return std::string(s.c_str()); }

bool HasBlankOrControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7F'; });
}

// The name of a "name=value" cookie, without the blanks around it.
std::string_view CookieName(std::string_view cookie) { return Trim(cookie.substr(0, cookie.find('='))); }

class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() { flag_ = false; }

private:
    bool& flag_;
};

}  // namespace

bool ParseHttpUrl(const std::string& url, HttpUrl* out) {
    *out = HttpUrl{};
    if (!StartsWithNoCase(url, "http://")) return false;
    const std::size_t start = 7;
    std::size_t end = url.find_first_of("/?#", start);
    if (end == std::string::npos) end = url.size();
    std::string authority = url.substr(start, end - start);
    // user:password@ is no part of any address the system uses; drop it.
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
    std::string host = authority;
    int port = 80;
    if (const std::size_t colon = authority.find(':'); colon != std::string::npos) {
        host = authority.substr(0, colon);
        const std::string digits = authority.substr(colon + 1);
        if (!digits.empty()) {
            if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
            port = std::stoi(digits);
            if (port < 1 || port > 65535) return false;
        }
    }
    // Host and object go into the request's lines: a blank or control byte
    // in them (a registry value, a variable) would end or split a line. Blanks
    // around the host are only a careless entry.
    host = std::string(Trim(host));
    std::string object = url.substr(end);
    if (const std::size_t hash = object.find('#'); hash != std::string::npos) object.erase(hash);
    if (host.empty() || HasBlankOrControl(host) || HasBlankOrControl(object)) return false;
    out->host = host;
    out->port = port;
    if (object.empty() || object[0] != '/') object = "/" + object;
    out->object = object;
    return true;
}

namespace net {

namespace {
constexpr std::size_t kShortRequestBytes = 4096;
}  // namespace

bool ReadHttpReply(CHttpBlockingSocket& sock, const ReceiveFn& recv, std::vector<char>& buffer,
                   std::string* headers, std::string* body) {
    const int lineRoom = CHttpBlockingSocket::kReadBufSize;
    buffer.resize(static_cast<std::size_t>(lineRoom));
    headers->clear();
    body->clear();
    for (;;) {
        const int n = sock.ReadHeaderLine(buffer.data(), lineRoom, recv);
        headers->append(buffer.data(), static_cast<std::size_t>(n));
        if (n == 2 && buffer[0] == '\r' && buffer[1] == '\n') break;
        // Header lines without end are no reply either.
        if (headers->size() > CHttpClient::kBodyLimit) return false;
    }
    // The body whole, to the peer's close: what the header reads took past
    // the empty line first. One byte beyond the bound is enough to know the
    // reply is too long.
    std::string raw(sock.m_pReadBuf, static_cast<std::size_t>(sock.m_nReadBuf));
    sock.m_nReadBuf = 0;
    const auto keep = [&] { body->assign(raw.c_str()); };
    try {
        while (raw.size() <= CHttpClient::kBodyLimit) {
            const int got = recv(buffer.data(), lineRoom);
            if (got <= 0) break;
            raw.append(buffer.data(), static_cast<std::size_t>(got));
        }
    } catch (...) {
        if (raw.size() <= CHttpClient::kBodyLimit) keep();
        throw;
    }
    if (raw.size() > CHttpClient::kBodyLimit) return false;
    keep();
    return true;
}

void RunHttpExchange(const std::string& host, int port, const std::string& request, int ioSecs, HttpReply* out) {
    out->completed = false;
    CHttpBlockingSocket sock;
    try {
        std::vector<char> buffer;
        try {
            sock.m_bOwnTimeouts = 1;
            sock.Create(1);
            const SockAddr addr = CBlockingSocket::GetHostByName(host, static_cast<std::uint16_t>(port));
            sock.Connect(addr);
            const std::size_t length = std::strlen(request.c_str());
            // A request this short fits the empty send buffer of a new
            // connection and leaves without waiting: no time-out to set,
            // which costs two calls and a wait under some systems.
            long sent = 0;
            if (length <= kShortRequestBytes) sent = std::max(net::sys::Send(sock.m_hSocket, request.data(), length), 0L);
            if (static_cast<std::size_t>(sent) < length)
                sock.Write(request.data() + sent, static_cast<int>(length - static_cast<std::size_t>(sent)), ioSecs);
            // A peer that trickles bytes never lets one receive time out:
            // the reply as a whole must arrive within the same seconds.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(ioSecs);
            const auto recv = [&sock, ioSecs, deadline](char* b, int c) {
                if (ioSecs <= 0) return sock.Receive(b, c, ioSecs);
                const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) ThrowSocketException("Receive timeout");
                return sock.Receive(b, c, static_cast<int>(left.count()));
            };
            out->completed = ReadHttpReply(sock, recv, buffer, &out->headers, &out->body);
        } catch (CBlockingSocketException* e) {
            ExceptionOwner release(e);
        }
    } catch (...) {
        // Out of memory or the like: the exchange simply failed.
    }
    // A plain close: it ends the connection as gracefully as a shutdown
    // first would, one call fewer.
    sock.CloseIfOpen();
}

}  // namespace net

CHttpClient::CHttpClient() : m_strUserAgent(Format("%s", "User-Agent: Halvo/5.0")) {}

void CHttpClient::SetCookie(const std::string& cookie) { m_strCookie = std::string(UpToLineBreak(cookie)); }

void CHttpClient::PutCookie(std::string_view value, bool trailing) {
    const std::string_view name = CookieName(value);
    // A name set again replaces its value where it stands, so a server that
    // sets it on every reply does not grow the string.
    for (std::size_t at = 0; at < m_strCookie.size();) {
        std::size_t end = m_strCookie.find(';', at);
        if (end == std::string::npos) end = m_strCookie.size();
        const std::string_view entry = std::string_view(m_strCookie).substr(at, end - at);
        if (!Trim(entry).empty() && CookieName(entry) == name) {
            const std::size_t start = at + (entry.size() - TrimLeft(entry).size());
            if (m_strCookie.size() - (end - start) + value.size() <= kCookieLimit)
                m_strCookie.replace(start, end - start, value);
            return;
        }
        at = end + 1;
    }
    const std::size_t grown = m_strCookie.size() + value.size() + 2;
    if (grown > kCookieLimit) return;
    if (trailing) {
        m_strCookie.append(value).append("; ");
    } else {
        if (!m_strCookie.empty()) m_strCookie += "; ";
        m_strCookie.append(value);
    }
}

int CHttpClient::CollectCookies(const std::string& headers) {
    int taken = 0;
    const auto scan = [&](const char* name, bool trailing) {
        const int nameLen = static_cast<int>(std::strlen(name));
        // The names come in order, so a ";" found for one is the next one's
        // too while it lies ahead: one pass, however many lines a reply has.
        int semi = -1;
        for (int from = 0;;) {
            const int at = FindFrom(headers, name, from);
            if (at < 0) return;
            const int value = at + nameLen;
            if (semi < value) semi = FindFrom(headers, ";", value);
            if (semi < 0 || semi == value) return;
            // Up to the ";" as ever, but never into the next header line.
            const std::string_view v = UpToLineBreak(
                std::string_view(headers).substr(static_cast<std::size_t>(value), static_cast<std::size_t>(semi - value)));
            if (!v.empty()) {
                PutCookie(v, trailing);
                ++taken;
            }
            from = at + 1;
        }
    };
    scan("Set-Cookie: ", true);
    if (taken == 0) scan("Set-cookie: ", false);
    return taken > 0 ? 1 : 0;
}

std::string CHttpClient::GetRequest(const HttpUrl& u) const {
    const std::string cookie(UpToLineBreak(m_strCookie));
    return Format("GET %s HTTP/1.0\n%s\nHost: %s\n", u.object.c_str(), m_strUserAgent.c_str(), u.host.c_str()) +
           (cookie.empty() ? std::string("\n") : Format("Cookie: %s \n\n", cookie.c_str()));
}

void CHttpClient::Get(const std::string& url) {
    if (m_bBusy) {
        m_transport = HttpTransport::kRefused;
        return;
    }
    BusyScope busy(m_bBusy);
    try {
        m_strBody.clear();
        m_strHeaders.clear();
        HttpUrl u;
        ParseHttpUrl(url, &u);
        m_strServer = u.host;
        const std::string request = GetRequest(u);
        net::HttpReply reply;
        net::RunHttpExchange(m_strServer, u.port, request, m_nIoSecs, &reply);
        m_strHeaders = std::move(reply.headers);
        m_strBody = std::move(reply.body);
        m_transport = reply.completed ? HttpTransport::kCompleted : HttpTransport::kFailed;
        CollectCookies(m_strHeaders);
        m_strLocation = GetBetween(m_strHeaders, "Location: ", "\r\n", 0);
    } catch (...) {
        m_transport = HttpTransport::kFailed;
    }
}

// A start-up takes hundreds of replies in a row, mostly already in: one
// event for them all, signalled only while this client's thread waits,
// spares each reply the calls into the system that making, signalling,
// waiting on and closing an event of its own cost.
struct CHttpClient::Prefetched {
    struct Item {
        std::string host, request;
        int port = 80;
        net::HttpReply reply;  // the worker's until arrived
    };
    explicit Prefetched(std::size_t n) : items(n), arrived(std::make_unique<std::atomic<bool>[]>(n)) {}
    std::vector<Item> items;  // never resized once the worker runs
    std::unique_ptr<std::atomic<bool>[]> arrived;
    std::shared_ptr<WaitEvent> progress = std::make_shared<WaitEvent>(WaitEvent::Reset::kAuto);
    std::atomic<bool> waiting{false};  // this client's thread is about to wait or waits
    std::size_t next = 0;              // the next one to take (this client's thread)
    std::atomic<bool> dropped{false};
};

std::string CHttpClient::PostRequest(const HttpUrl& u, const std::string& form) const {
    // A NUL would end the request early; the length must say the same.
    const std::string body = UpToNul(form);
    const std::string jar(UpToLineBreak(m_strCookie));
    const std::string cookie = jar.empty() ? std::string() : Format("Cookie: %s\n", jar.c_str());
    return Format("POST %s HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\nContent-Length: %d\n"
                  "User-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: %s\n%s\n%s",
                  u.object.c_str(), static_cast<int>(body.size()), u.host.c_str(), cookie.c_str(), body.c_str());
}

void CHttpClient::Prefetch(const std::vector<std::pair<std::string, std::string>>& requests,
                           PrefetchArrived arrived) {
    // From inside a wait it would drop what the waiting flow sent ahead.
    if (m_bBusy) return;
    DropPrefetch();
    if (requests.empty()) return;
    std::shared_ptr<Prefetched> p;
    try {
        p = std::make_shared<Prefetched>(requests.size());
        for (std::size_t i = 0; i < requests.size(); ++i) {
            HttpUrl u;
            ParseHttpUrl(requests[i].first, &u);
            p->items[i].host = u.host;
            p->items[i].port = u.port;
            p->items[i].request = PostRequest(u, requests[i].second);
        }
    } catch (...) {
        return;
    }
    const int ioSecs = m_nIoSecs;
    if (net::StartWorker([p, ioSecs, arrived = std::move(arrived)] {
            for (std::size_t i = 0; i < p->items.size(); ++i) {
                if (p->dropped) return;
                Prefetched::Item& item = p->items[i];
                net::RunHttpExchange(item.host, item.port, item.request, ioSecs, &item.reply);
                if (arrived) arrived(i, item.reply);
                if (&item == &p->items.back()) BodyEnding();
                // Either this sees the waiter or the waiter sees the arrival.
                p->arrived[i].store(true);
                if (p->waiting.load()) p->progress->Set();
            }
        }))
        m_prefetch = std::move(p);
}

CHttpClient::~CHttpClient() { DropPrefetch(); }

void CHttpClient::DropPrefetch() {
    if (m_prefetch) m_prefetch->dropped = true;
    m_prefetch.reset();
}

void CHttpClient::Post(const std::string& url, const std::string& form) {
    if (m_bBusy) {
        m_transport = HttpTransport::kRefused;
        return;
    }
    BusyScope busy(m_bBusy);
    try {
        m_strHeaders.clear();
        m_strBody.clear();
        m_strLocation.clear();
        HttpUrl u;
        ParseHttpUrl(url, &u);
        m_strServer = u.host;
        m_strRequest = PostRequest(u, form);

        std::shared_ptr<WaitEvent> event;
        std::shared_ptr<net::HttpReply> reply;
        PumpLimits limits;
        limits.rounds = m_nPostRounds;
        limits.quit = QuitRule::kAnyWindow;
        std::optional<PumpResult> waited;
        const bool prefetched = m_prefetch && m_prefetch->items[m_prefetch->next].request == m_strRequest;
        if (prefetched) {
            const std::shared_ptr<Prefetched> p = m_prefetch;
            const std::size_t i = p->next++;
            event = p->progress;
            reply = std::shared_ptr<net::HttpReply>(p, &p->items[i].reply);
            if (p->next == p->items.size()) m_prefetch.reset();
            m_hEvent = event;
            waited = PumpResult::kSignalled;
            p->waiting.store(true);
            // A signal left from an earlier reply wakes the wait once more.
            while (!p->arrived[i].load() && waited == PumpResult::kSignalled) waited = WaitAndPump(*event, limits);
            p->waiting.store(false);
        } else {
            DropPrefetch();
            // The last request's event when its wait took the signal: no
            // event to make and close per request.
            event = m_spareEvent ? std::move(m_spareEvent) : std::make_shared<WaitEvent>(WaitEvent::Reset::kAuto);
            reply = std::make_shared<net::HttpReply>();
            m_hEvent = event;
            // The worker gets copies of everything it reads and its own reply
            // record: it never touches this client, which may be gone or busy
            // with a later request by the time it ends.
            waited = net::RunOnWorkerAndWait(
                [reply, host = m_strServer, port = u.port, request = m_strRequest, ioSecs = m_nIoSecs] {
                    net::RunHttpExchange(host, port, request, ioSecs, reply.get());
                },
                event, limits);
            if (!waited) {
                m_hEvent.reset();
                m_transport = HttpTransport::kFailed;
                return;
            }
        }
        switch (*waited) {
        case PumpResult::kSignalled:
            m_hEvent.reset();
            if (!prefetched) m_spareEvent = event;
            m_strHeaders = std::move(reply->headers);
            m_strBody = std::move(reply->body);
            m_transport = reply->completed ? HttpTransport::kCompleted : HttpTransport::kFailed;
            CollectCookies(m_strHeaders);
            m_strLocation = GetBetween(m_strHeaders, "Location: ", "\r\n", 0);
            break;
        case PumpResult::kExhausted:
            m_hEvent.reset();
            m_transport = HttpTransport::kTimedOut;
            break;
        case PumpResult::kQuit:
            m_transport = HttpTransport::kInterrupted;
            break;
        }
        // A worker stuck on a silent server would hold the later ones up.
        if (m_transport != HttpTransport::kCompleted) DropPrefetch();
    } catch (...) {
        m_transport = HttpTransport::kFailed;
    }
}

}  // namespace tesra
