#include "base/diag_log.h"

#include "base/fs.h"
#include "base/text.h"

namespace tesra {

std::string FormatUtc(std::int64_t seconds) {
    // Days to a civil date (proleptic Gregorian), valid for any day count.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return Format("%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
}

void CDiagLog::SetFile(std::string path, std::size_t cap) {
    m_file = std::move(path);
    m_cap = cap;
}

void CDiagLog::Write(std::string_view line, std::int64_t now) {
    std::string entry = "tesra: ";
    entry.append(line);
    for (char& c : entry)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    DebugOutput(entry);
    if (m_file.empty()) return;
    std::string text = FormatUtc(now) + " " + entry.substr(7) + "\r\n";
    fs::FileStatus st;
    if (fs::Stat(m_file, &st) && static_cast<std::size_t>(st.size) + text.size() > m_cap)
        fs::MoveReplace(m_file, m_file + ".1");
    // A log that cannot be written costs the user nothing: the line still
    // went to the debugger.
    fs::AppendFile(m_file, text);
}

}  // namespace tesra
