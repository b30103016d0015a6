// The agent exchange's reading: ReadLine over packets of the input's
// choosing until the empty line, then ParseReply.
#include <cstdlib>
#include <string>
#include <vector>

#include "net/agent_socket.h"
#include "packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesra;
    fuzz::Packets packets(data, size);
    CAgentSocket agent(0);
    // Small line room now and then, to reach the "line longer than the room" path.
    const int room = size > 1 && data[size - 1] % 4 == 0 ? 16 : CAgentSocket::kReplyLineSize;
    std::vector<char> line(static_cast<std::size_t>(room));
    const auto recv = [&](char* b, int c) { return packets.Next(b, c); };
    for (int guard = 0; guard < 1 << 20; ++guard) {
        const int n = agent.ReadLine(line.data(), room, recv);
        if (n < 0 || n >= room || line[static_cast<std::size_t>(n)] != '\0') std::abort();
        if (agent.m_nLineBuf < 0 || agent.m_nLineBuf > CAgentSocket::kLineBufSize) std::abort();
        if (n == 0) break;
        agent.m_strReply.append(line.data(), static_cast<std::size_t>(n));
        if (n == 2 && line[0] == '\r' && line[1] == '\n') break;
    }
    const std::string stream(packets.stream().begin(), packets.stream().end());
    if (stream.compare(0, agent.m_strReply.size(), agent.m_strReply) != 0) std::abort();
    const int refusal = agent.ParseReply();
    if (refusal != (agent.m_strReply.empty() || agent.m_strReply.compare(0, 3, "ERR") == 0 ? 1 : 0)) std::abort();
    return 0;
}
