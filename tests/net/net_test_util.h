// Shared bits of the network tests.
#pragma once

#include <string>

#include "net/blocking_socket.h"

namespace tesra::test {

// Runs f and returns the label of the CBlockingSocketException it threw,
// releasing it; "" when nothing was thrown.
template <class F>
std::string ThrownLabel(F&& f, int* error = nullptr) {
    try {
        f();
    } catch (CBlockingSocketException* e) {
        ExceptionOwner release(e);
        if (error) *error = e->m_nError;
        return e->m_strMessage;
    }
    return {};
}

inline SockAddr Loopback(int port) { return CBlockingSocket::GetHostByAddr("127.0.0.1", static_cast<std::uint16_t>(port)); }

}  // namespace tesra::test
