#include "net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/worker.h"
#include "net_test_util.h"
#include "support/fake_server.h"

namespace tesra {
namespace {

using namespace test;
using std::string;
using namespace std::string_literals;

const string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// Reads a GET (to its empty line) and answers with reply.
Script GetThen(std::vector<Step> reply) {
    Script s{step::ReadUntil("\n\n")};
    s.insert(s.end(), reply.begin(), reply.end());
    return s;
}

string Url(const FakeServer& server, const string& object = "/BIN/login.cgi?id=a") {
    return "http://" + server.address() + object;
}

TEST(HttpUrl, HostPortAndObject) {
    HttpUrl u;
    ASSERT_TRUE(ParseHttpUrl("http://memo.example.com/AUTH/getmemo.cgi", &u));
    EXPECT_EQ(u.host, "memo.example.com");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.object, "/AUTH/getmemo.cgi");
    ASSERT_TRUE(ParseHttpUrl("HTTP://127.0.0.1:8080/BIN/login_halvo.cgi?id=a&pw=b", &u));
    EXPECT_EQ(u.host, "127.0.0.1");
    EXPECT_EQ(u.port, 8080);
    EXPECT_EQ(u.object, "/BIN/login_halvo.cgi?id=a&pw=b");
    ASSERT_TRUE(ParseHttpUrl("http://h", &u));
    EXPECT_EQ(u.object, "/");
    for (const char* bad : {"ftp://h/x", "http://h:99999/x", "http://h:8o/x", "http:///x"})
        EXPECT_FALSE(ParseHttpUrl(bad, &u)) << bad;
    EXPECT_EQ(u.host, "");
}

TEST(HttpClient, GetSendsExactlyTheTemplateWithAndWithoutCookie) {
    FakeServer server({GetThen({step::Send(kOk + "hello")}), GetThen({step::Send(kOk)}), GetThen({step::Send(kOk)})});
    CHttpClient c;
    c.Get(Url(server));
    EXPECT_EQ(c.m_strBody, "hello");
    EXPECT_EQ(c.m_transport, HttpTransport::kCompleted);
    c.SetCookie("SID=1; E=2");
    c.Get(Url(server));
    // The port comes from the host text; the Host line has none.
    c.SetCookie("");
    c.Get("http://localhost:" + std::to_string(server.port()) + "/a");
    ASSERT_TRUE(server.Finish());
    EXPECT_EQ(server.Received(0), "GET /BIN/login.cgi?id=a HTTP/1.0\nUser-Agent: Halvo/5.0\nHost: 127.0.0.1\n\n");
    EXPECT_EQ(server.Received(1),
              "GET /BIN/login.cgi?id=a HTTP/1.0\nUser-Agent: Halvo/5.0\nHost: 127.0.0.1\nCookie: SID=1; E=2 \n\n");
    EXPECT_EQ(server.Received(2), "GET /a HTTP/1.0\nUser-Agent: Halvo/5.0\nHost: localhost\n\n");
}

TEST(HttpClient, PostSendsExactlyTheTemplateWithAndWithoutCookie) {
    const string form(42, 'f');
    const auto post = [](const string& body) {
        return Script{step::ReadUntil("\n\n" + body),
                      step::Send("HTTP/1.0 302 Found\r\nSet-Cookie: S=1; x\r\nLocation: http://x/y\r\n\r\n[OK]")};
    };
    FakeServer server({post(form), post("a=b")});
    CHttpClient c;
    c.Post(Url(server, "/AUTH/setmemo.cgi"), form);
    EXPECT_EQ(c.m_strBody, "[OK]");
    EXPECT_EQ(c.m_strCookie, "S=1; ");
    EXPECT_EQ(c.m_strLocation, "http://x/y");
    c.SetCookie("A=1; ");
    c.Post(Url(server, "/AUTH/getmemo.cgi"), "a=b");
    ASSERT_TRUE(server.Finish());
    EXPECT_EQ(server.Received(0),
              "POST /AUTH/setmemo.cgi HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\n"
              "Content-Length: 42\nUser-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: 127.0.0.1\n\n" +
                  form);
    EXPECT_EQ(server.Received(1),
              "POST /AUTH/getmemo.cgi HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\n"
              "Content-Length: 3\nUser-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: 127.0.0.1\nCookie: A=1; \n\na=b");
    EXPECT_EQ(c.m_transport, HttpTransport::kCompleted);
}

TEST(HttpClient, CollectCookies) {
    struct Case {
        string before, headers, after;
        int result;
    };
    const Case cases[] = {
        {"", "Set-Cookie: A=1; path=/\r\nSet-Cookie: B=2; path=/\r\n", "A=1; B=2; ", 1},
        {"", "Set-cookie: A=1; path=/\r\nSet-cookie: B=2; path=/\r\n", "A=1; B=2", 1},
        {"S=0", "Set-cookie: A=1; path=/\r\n", "S=0; A=1", 1},
        {"S=0; ", "Set-Cookie: A=1;\r\n", "S=0; A=1; ", 1},
        {"", "Set-Cookie: A=1\r\nX: y\r\n", "", 0},
        {"", "Set-Cookie: ;x\r\n", "", 0},
        // The upper-case form wins; the lower-case one is not looked at then.
        {"", "Set-Cookie: A=1;\r\nSet-cookie: B=2;\r\n", "A=1; ", 1},
        {"", "Set-Cookie:A=1;\r\nset-cookie: B=2;\r\n", "", 0},
    };
    for (const Case& k : cases) {
        CHttpClient c;
        c.SetCookie(k.before);
        EXPECT_EQ(c.CollectCookies(k.headers), k.result) << k.headers;
        EXPECT_EQ(c.m_strCookie, k.after) << k.headers;
    }
    // A megabyte of header lines, each a cookie whose ";" comes only
    // at the end: read in one pass, not one pass per line.
    string many, last;
    for (int i = 0; many.size() < (1u << 20); ++i)
        many += "Set-Cookie: C=" + (last = std::to_string(i % 7)) + "\r\n";
    CHttpClient c;
    EXPECT_EQ(c.CollectCookies(many + ";\r\n"), 1);
    EXPECT_EQ(c.m_strCookie, "C=" + last + "; ");
}

// A login reply that runs a cookie across lines, sets one name again and
// piles up names: the next request has only its own lines, the jar its bound.
TEST(HttpClient, HostileCookiesNeverReachTheNextRequestsHeaders) {
    const string big(1000, 'n');
    string head = "HTTP/1.0 200 OK\r\nSet-Cookie: A=1\r\nX-Injected: 1\r\nSet-Cookie: B=2"s + '\0' + "C; x\r\n";
    for (const string i : {"0", "1", "2", "3", "4", "5"})
        head += "Set-Cookie: R=" + i + "; x\r\nSet-Cookie: N" + i + "=" + big + "; x\r\n";
    FakeServer server({GetThen({step::Send(head + "\r\n")}), {step::ReadUntil("\n\nf=1"), step::Send(kOk)}});
    CHttpClient c;
    c.Get(Url(server));
    c.Post(Url(server), "f=1");
    ASSERT_TRUE(server.Finish());
    string jar = "A=1; B=2; R=5; ";
    for (const string i : {"0", "1", "2", "3"}) jar += "N" + i + "=" + big + "; ";
    EXPECT_LE(jar.size(), CHttpClient::kCookieLimit);
    EXPECT_EQ(server.Received(1), "POST /BIN/login.cgi?id=a HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\n"
                                  "Content-Length: 3\nUser-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: 127.0.0.1\n"
                                  "Cookie: " + jar + "\n\nf=1");
}

TEST(HttpClient, ReplyShapes) {
    struct Case {
        const char* name;
        std::vector<Step> reply;
        string headers, body;
        HttpTransport transport;
    };
    const string head = "HTTP/1.0 302 Found\r\nSet-Cookie: A=1; x\r\nLocation: http://x/y\r\n\r\n";
    const Case cases[] = {
        {"one packet", {step::Send(head + "body")}, head, "body", HttpTransport::kCompleted},
        {"close before any byte", {step::Close()}, "", "", HttpTransport::kFailed},
        {"reset before any byte", {step::Reset()}, "", "", HttpTransport::kFailed},
        {"close mid-header", {step::Send("HTTP/1.0 200 OK\r\nSet-Coo")}, "HTTP/1.0 200 OK\r\n", "",
         HttpTransport::kFailed},
        {"headers without the empty line", {step::Send("HTTP/1.0 200 OK\r\nSet-Cookie: A=1; x\r\n")},
         "HTTP/1.0 200 OK\r\nSet-Cookie: A=1; x\r\n", "", HttpTransport::kFailed},
        {"LF-only lines", {step::Send("HTTP/1.0 200 OK\nSet-Cookie: A=1; x\n\nbody\n")},
         "HTTP/1.0 200 OK\nSet-Cookie: A=1; x\n\nbody\n", "", HttpTransport::kFailed},
        {"NUL in body", {step::Send(head + string("ab\0cd", 5))}, head, "ab", HttpTransport::kCompleted},
        {"NUL first", {step::Send(head + string("\0cd", 3))}, head, "", HttpTransport::kCompleted},
    };
    for (const Case& k : cases) {
        FakeServer server({GetThen(k.reply)});
        CHttpClient c;
        c.Get(Url(server));
        EXPECT_EQ(c.m_strHeaders, k.headers) << k.name;
        EXPECT_EQ(c.m_strBody, k.body) << k.name;
        EXPECT_EQ(c.m_transport, k.transport) << k.name;
        // Cookies and the redirect of whatever header lines arrived are still taken.
        EXPECT_EQ(c.m_strCookie, k.headers.find("A=1;") != string::npos ? "A=1; " : "") << k.name;
        EXPECT_EQ(c.m_strLocation, k.headers.find("y\r\n") != string::npos ? "http://x/y" : "") << k.name;
    }
}

TEST(HttpClient, BodyIsReadWholeUpToTheBoundAndFailsBeyondIt) {
    const std::size_t limit = CHttpClient::kBodyLimit;
    for (const std::size_t size : {std::size_t{250000}, limit, limit + 1}) {
        FakeServer server({GetThen({step::Send(kOk + string(size, 'z'))})});
        CHttpClient c;
        c.Get(Url(server));
        const bool whole = size <= limit;
        EXPECT_EQ(c.m_strBody.size(), whole ? size : 0u) << size;
        EXPECT_EQ(c.m_strBody.find_first_not_of('z'), string::npos);
        EXPECT_EQ(c.m_transport, whole ? HttpTransport::kCompleted : HttpTransport::kFailed) << size;
    }
}

// A Get ends on its receive time-out. (A Post's round limit: the end-to-end
// fault matrix and the abandoned post below.)
TEST(HttpClient, FailuresLeaveAnEmptyBodyAndTheCookieAlone) {
    FakeServer quiet({{step::ReadUntil("\n\n"), step::Delay(5000), step::Send(kOk + "late")}});
    CHttpClient c;
    c.SetCookie("K=1; ");
    c.m_nIoSecs = 1;
    const string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
    for (const string& url : {string("http:///nohost"), string("not a url"), closed}) {
        c.Post(url, "a=b");
        EXPECT_EQ(c.m_transport, HttpTransport::kFailed) << url;
    }
    c.Get(Url(quiet));
    EXPECT_EQ(c.m_transport, HttpTransport::kFailed);
    EXPECT_EQ(c.m_strBody, "");
    EXPECT_EQ(c.m_strCookie, "K=1; ");
}

TEST(HttpClient, AnAbandonedPostNeverReachesTheNextRequest) {
    // The first server answers while the second request is waiting; the
    // second answers later. The late answer must neither end the second
    // wait nor land in the client.
    FakeServer slow({{step::ReadUntil("\n\nfirst"), step::Delay(300),
                      step::Send("HTTP/1.0 200 OK\r\nSet-Cookie: LATE=1; x\r\n\r\n[LATE]")}});
    FakeServer fast({{step::ReadUntil("\n\nzero"), step::Send(kOk + "[ZERO]")},
                     {step::ReadUntil("\n\nsecond"), step::Delay(600), step::Send(kOk + "[SECOND]")}});
    {
        CHttpClient c;
        c.Post(Url(fast), "zero");  // its event goes on to the abandoned request
        ASSERT_EQ(c.m_strBody, "[ZERO]");
        c.m_nPostRounds = 2;
        c.Post(Url(slow), "first");
        EXPECT_EQ(c.m_transport, HttpTransport::kTimedOut);
        c.m_nPostRounds = 50;
        c.Post(Url(fast), "second");
        EXPECT_EQ(c.m_transport, HttpTransport::kCompleted);
        EXPECT_EQ(c.m_strBody, "[SECOND]");
        EXPECT_EQ(c.m_strCookie, "");
        // The client goes away while the first worker may still run.
    }
    EXPECT_TRUE(slow.Finish());
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

TEST(HttpClient, PrefetchedPostsTakeTheirOwnRepliesAndAnyOtherDropsTheRest) {
    const auto answer = [](const string& form, const string& body) {
        return Script{step::ReadUntil("\n\n" + form), step::Send(kOk + body)};
    };
    // The second reply comes late, so its Post waits after the first took
    // one already in; the third is in before its Post.
    FakeServer server({answer("m=1", "[ONE]"),
                       {step::ReadUntil("\n\nm=2"), step::Delay(300), step::Send(kOk + "[TWO]")},
                       answer("m=3", "[THREE]"), answer("other", "[OTHER]")});
    CHttpClient c;
    c.SetCookie("S=1; ");
    const string url = Url(server, "/AUTH/getmemo.cgi");
    c.Prefetch({{url, "m=1"}, {url, "m=2"}, {url, "m=3"}});
    c.Post(url, "m=1");
    EXPECT_EQ(c.m_strBody, "[ONE]");
    c.Post(url, "m=2");
    EXPECT_EQ(c.m_strBody, "[TWO]");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const string form : {"m=3", "other"}) {
        c.Post(url, form);
        EXPECT_EQ(c.m_transport, HttpTransport::kCompleted);
    }
    EXPECT_EQ(c.m_strBody, "[OTHER]");
    ASSERT_TRUE(server.Finish());
    EXPECT_EQ(server.Received(1),
              "POST /AUTH/getmemo.cgi HTTP/1.0\nContent-Type: application/x-www-form-urlencoded\n"
              "Content-Length: 3\nUser-Agent: Mozilla/4.6 [en] (Win98; I)\nHost: 127.0.0.1\nCookie: S=1; \n\nm=2");
    // A request other than the next one never takes a prefetched reply.
    FakeServer second({answer("other", "[OTHER]")});
    c.Prefetch({{"http://127.0.0.1:1/AUTH/getmemo.cgi", "m=3"}});
    c.Post(Url(second, "/AUTH/getmemo.cgi"), "other");
    EXPECT_EQ(c.m_strBody, "[OTHER]");
    EXPECT_TRUE(second.Finish());
    EXPECT_TRUE(net::WaitForWorkers(5000));
}

TEST(HttpClient, SendBlockedByAServerThatStopsReading) {
    FakeServerOptions small;
    small.receiveBuffer = 4096;
    small.deadlineMs = 60000;
    // Held open past the Post's own wait: only the send time-out makes this
    // a failure rather than a wait given up.
    FakeServer server({{step::ReadUntil("\n\n"), step::Delay(60000)}}, small);
    CHttpClient c;
    c.m_nIoSecs = 1;
    c.m_nPostRounds = 50;
    c.Post(Url(server), std::string(8 << 20, 'x'));
    EXPECT_EQ(c.m_transport, HttpTransport::kFailed);
    EXPECT_EQ(c.m_strBody, "");
}

}  // namespace
}  // namespace tesra
