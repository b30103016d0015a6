// CollectCookies on arbitrary header text: the jar is only ever appended to.
#include <cstdlib>
#include <string>

#include "net/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string headers(reinterpret_cast<const char*>(data), size);
    tesra::CHttpClient client;
    const std::string before = size > 0 && data[0] % 2 ? "A=0; " : "";
    client.SetCookie(before);
    const int took = client.CollectCookies(headers);
    if (client.m_strCookie.compare(0, before.size(), before) != 0) std::abort();
    if ((took == 1) != (client.m_strCookie.size() > before.size())) std::abort();
    // Each value runs to the first ";" after its header name, so values of
    // nearby names overlap: at most one header text's worth per name.
    const std::size_t names = headers.size() / 12 + 1;
    if (client.m_strCookie.size() > before.size() + names * (headers.size() + 2)) std::abort();
    return 0;
}
