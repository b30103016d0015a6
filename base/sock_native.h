// Conversions between our address record and the platform's sockaddr_in,
// shared by the Winsock and BSD socket files.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

#include "base/sock_sys.h"

namespace tesra::net::sys {

inline sockaddr_in ToNative(const SockAddr& a) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = a.sin_port;
    out.sin_addr.s_addr = a.sin_addr;
    return out;
}

inline SockAddr FromNative(const sockaddr_in& a) {
    SockAddr out;
    out.sin_family = kAfInet;
    out.sin_port = a.sin_port;
    out.sin_addr = a.sin_addr.s_addr;
    return out;
}

}  // namespace tesra::net::sys
