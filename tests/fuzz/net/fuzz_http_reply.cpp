// ReadHeaderLine / ReadHttpResponse over packets of the input's choosing,
// then what the client makes of the reply: cookies and Location, and the
// next request that carries those cookies.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "net/http_client.h"
#include "packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesra;
    fuzz::Packets packets(data, size);
    static auto sock = std::make_unique<CHttpBlockingSocket>();
    sock->m_nReadBuf = 0;
    std::vector<char> buffer;
    std::string headers, body;
    bool complete = false;
    try {
        complete = net::ReadHttpReply(
            *sock, [&](char* b, int c) { return packets.Next(b, c); }, buffer, &headers, &body);
    } catch (CBlockingSocketException* e) {
        ExceptionOwner release(e);
    }
    if (sock->m_nReadBuf < 0 || sock->m_nReadBuf > CHttpBlockingSocket::kReadBufSize) std::abort();
    if (body.size() > CHttpClient::kBodyLimit || body.find('\0') != std::string::npos)
        std::abort();
    if (complete && (headers.size() < 2 || headers.compare(headers.size() - 2, 2, "\r\n") != 0)) std::abort();
    // Everything read is accounted for: headers, then body (up to a NUL).
    const std::string stream(packets.stream().begin(), packets.stream().end());
    if (stream.compare(0, headers.size(), headers) != 0) std::abort();
    if (!body.empty() && stream.compare(headers.size(), body.size(), body) != 0) std::abort();

    CHttpClient client;
    client.SetCookie(size % 2 ? "S=1; " : "");
    const std::string before = client.m_strCookie;
    const int took = client.CollectCookies(headers);
    // Nothing received ends the Cookie line early or grows it past its bound.
    const std::string& jar = client.m_strCookie;
    if ((took == 0 && jar != before) || jar.size() > CHttpClient::kCookieLimit || UpToLineBreak(jar) != jar)
        std::abort();
    HttpUrl u;
    ParseHttpUrl("http://h/x", &u);
    const std::string request = client.PostRequest(u, "a=b");
    if (std::count(request.begin(), request.end(), '\n') != (jar.empty() ? 6 : 7) ||
        request.find('\r') != std::string::npos)
        std::abort();
    GetBetween(headers, "Location: ", "\r\n", 0);
    return 0;
}
