#include "sync/command.h"

#include <algorithm>
#include <cstring>

#include "sync/download.h"

namespace tesra {

ChannelCommand ParseChannelCommand(std::uintptr_t code, const char* bytes, std::size_t size) {
    ChannelCommand c;
    switch (code) {
    case kCmdLoadIndex:
    case kCmdUploadDefaults:
    case kCmdFetchIndexToFile:
    case kCmdCreateGroup:
        c.code = static_cast<int>(code);
        return c;
    case kCmdReceiveMemo:
        break;
    default:
        return c;
    }
    c.code = kCmdReceiveMemo;
    if (!bytes) return c;
    const std::size_t look = std::min(size, kMaxCommandText + 1);
    const std::size_t length = ::strnlen(bytes, look);
    if (length > kMaxCommandText) {
        c.refused = true;
        return c;
    }
    c.text.assign(bytes, length);
    return c;
}

}  // namespace tesra
