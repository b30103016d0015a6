// Turns a fuzz input into a stream delivered in packets whose sizes the
// input chooses: byte 0 says how many size entries follow (1..8), each of
// those is a packet size (1..256), and the rest is the stream, cut by the
// sizes in turn.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tesra::fuzz {

class Packets {
public:
    Packets(const std::uint8_t* data, std::size_t size) {
        std::size_t pos = 0;
        const std::size_t count = size > 0 ? (data[0] % 8) + 1 : 1;
        pos = size > 0 ? 1 : 0;
        for (std::size_t i = 0; i < count; ++i) sizes_.push_back(pos < size ? data[pos++] + 1 : 1);
        stream_.assign(data + std::min(pos, size), data + size);
    }

    // A ReceiveFn: the next packet, at most capacity bytes of it; 0 at the end.
    int Next(char* buffer, int capacity) {
        if (capacity <= 0 || at_ >= stream_.size()) return 0;
        const std::size_t want = sizes_[turn_++ % sizes_.size()];
        const std::size_t n = std::min({want, static_cast<std::size_t>(capacity), stream_.size() - at_});
        std::memcpy(buffer, stream_.data() + at_, n);
        at_ += n;
        return static_cast<int>(n);
    }

    const std::vector<char>& stream() const { return stream_; }

private:
    std::vector<std::size_t> sizes_;
    std::vector<char> stream_;
    std::size_t at_ = 0;
    std::size_t turn_ = 0;
};

}  // namespace tesra::fuzz
