// The FTP reply reader (lines, multi-line replies, bounds) and the PASV
// parser on whatever a server might send.
#include <cstdlib>
#include <memory>
#include <string>

#include "base/text.h"
#include "net/ftp_client.h"
#include "packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesra;
    fuzz::Packets packets(data, size);
    CFtpClient client;
    client.m_pReadArchive = std::make_unique<net::FtpReadArchive>([&](char* b, int c) { return packets.Next(b, c); });
    for (int replies = 0; replies < 10000 && client.ReadReply(); ++replies) {
        const std::string& last = client.m_strLastReply;
        if (last.find('\0') != std::string::npos || last.find('\n') != std::string::npos) std::abort();
        std::string host;
        int port = -1;
        if (net::ParsePasvReply(last, &host, &port)) {
            if (port < 0 || port > 65535 || CountPieces(host, ".") != 4) std::abort();
        }
    }
    if (client.m_strLastReply.find('\n') != std::string::npos) std::abort();
    // The PASV parser on the raw input as well.
    std::string host;
    int port = -1;
    if (net::ParsePasvReply(std::string(reinterpret_cast<const char*>(data), size), &host, &port) &&
        (port < 0 || port > 65535))
        std::abort();
    return 0;
}
