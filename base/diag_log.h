// Why a memo did or did not sync, one line per outcome: always to the
// debugger, and to a size-capped file in the user folder when the user has
// turned it on. Callers pass commands, codes and counts only: never a
// password, a session id or a memo's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tesra {

// The debugger's output (OutputDebugString); nothing natively.
void DebugOutput(std::string_view line);

class CDiagLog {
public:
    // Past this the file is renamed to its ".1" (replacing the older one)
    // and a new one begins: at most twice this on disk.
    static constexpr std::size_t kDefaultCap = 256 * 1024;

    // The file that lines also go to; empty: the debugger only.
    void SetFile(std::string path, std::size_t cap = kDefaultCap);
    const std::string& file() const { return m_file; }

    // One line, stamped with the time (UTC); a line break or NUL inside it
    // becomes a blank so that a line is always one entry.
    void Write(std::string_view line, std::int64_t now);

private:
    std::string m_file;
    std::size_t m_cap = kDefaultCap;
};

// "YYYY-MM-DD HH:MM:SS" of seconds since 1970, UTC.
std::string FormatUtc(std::int64_t seconds);

}  // namespace tesra
