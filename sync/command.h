// The command channel's bytes (WM_COPYDATA from any window on the desktop)
// taken apart into a command: its code, and for the one code that carries
// text (302, a received file's "name|number") a bounded copy of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesra {

// A 302 names a file; it never carries memo text.
inline constexpr std::size_t kMaxCommandText = 4096;

struct ChannelCommand {
    int code = 0;  // 0: no code we know (answered "taken", nothing runs)
    std::string text;
    bool refused = false;  // a 302 whose text is longer than the cap
};

// bytes may be null; only size bytes of it are read, and for 302 no more
// than the cap and one. The text ends at its first NUL.
ChannelCommand ParseChannelCommand(std::uintptr_t code, const char* bytes, std::size_t size);

}  // namespace tesra
