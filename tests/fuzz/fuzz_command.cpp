// The command channel's bytes come from any window on the desktop: only a
// 302 keeps text, never more than the cap, never past the first NUL or the
// bytes given.
#include <cstdint>
#include <cstring>
#include <string>

#include "sync/command.h"
#include "sync/download.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uintptr_t code = 300 + data[0] % 8;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const tesra::ChannelCommand c = tesra::ParseChannelCommand(code, bytes, size - 1);
    Check(c.text.size() <= tesra::kMaxCommandText && c.text.size() <= size - 1);
    Check(c.text.find('\0') == std::string::npos);
    if (c.code != tesra::kCmdReceiveMemo) Check(c.text.empty() && !c.refused);
    if (c.code == tesra::kCmdReceiveMemo && !c.refused)
        Check(std::memcmp(c.text.data(), bytes, c.text.size()) == 0);
    return 0;
}
