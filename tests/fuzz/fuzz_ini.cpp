// Loads the input as an index, then edits it with operations taken from the
// rest of the input: the indexed section lookup must answer as a scan of the
// lines does, a value set must read back, and saving must lose no byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "storage/ini_file.h"
#include "fuzz/check.h"

namespace {

using tesra::fuzz::Check;
using tesra::CIniFile;
using tesra::IsSpace;

std::string NonBlank(std::string_view text) {
    std::string out;
    for (char c : text)
        if (!IsSpace(static_cast<unsigned char>(c))) out.push_back(c);
    return out;
}

// Names that hit: mostly taken from the lines already there.
std::string PickName(FuzzedDataProvider& in, const std::vector<std::string>& lines, bool section) {
    if (lines.empty() || in.ConsumeBool()) return in.ConsumeRandomLengthString(6);
    const std::string& line = lines[in.ConsumeIntegralInRange<std::size_t>(0, lines.size() - 1)];
    if (section) return line.size() >= 2 ? line.substr(1, line.size() - 2) : line;
    return line.substr(0, line.find('='));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(4096);

    CIniFile ini;
    ini.LoadFromText(text);
    Check(ini.IsModified() == 1);
    for (const std::string& line : ini.Lines())
        Check(!line.empty() && !IsSpace(static_cast<unsigned char>(line[0])) && line.find('\n') == std::string::npos);
    Check(NonBlank(text) == NonBlank([&] {
              std::string all;
              for (const std::string& line : ini.Lines()) all += line;
              return all;
          }()));

    const auto headerLike = [](const std::string& line) {
        return line.size() >= 2 && line.front() == '[' && line.back() == ']';
    };
    // A bounded run of edits: each checks the lookup against a scan of every
    // line, so an unbounded one made the harness, not the store, quadratic.
    for (int edits = 0; edits < 64 && in.remaining_bytes() > 0; ++edits) {
        const std::string s = PickName(in, ini.Lines(), true);
        const std::string k = PickName(in, ini.Lines(), false);
        std::string got;
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: ini.AddSection(s); break;
            case 1: Check(ini.DeleteSection(s) == 0 || ini.IsModified()); break;
            case 2: {
                std::string v = in.ConsumeRandomLengthString(8);
                ini.SetString(s, k, v);
                // A line break never reaches the file: it is stored as a blank.
                std::replace(v.begin(), v.end(), '\r', ' ');
                std::replace(v.begin(), v.end(), '\n', ' ');
                Check(headerLike(k + "=" + v) || (ini.GetString(s, k, got) == 1 && got == v));
                break;
            }
            case 3: {
                const auto v = in.ConsumeIntegral<std::int32_t>();
                ini.SetLong(s, k, v);
                std::int32_t back = 7;
                Check(headerLike(k + "=") || (ini.GetLong(s, k, back) == 1 && back == v));
                break;
            }
            case 4: ini = CIniFile(ini); break;
            default: {
                const std::string saved = ini.ToText();
                // No byte of text is lost, and a second round changes nothing.
                CIniFile back, again;
                back.LoadFromText(saved);
                again.LoadFromText(back.ToText());
                Check(NonBlank(back.ToText()) == NonBlank(saved) && again.Lines() == back.Lines());
                break;
            }
        }
        const std::vector<std::string>& lines = ini.Lines();
        const auto at = std::find(lines.begin(), lines.end(), "[" + s + "]");
        Check(ini.FindSection(s) == (at == lines.end() ? -1 : static_cast<int>(at - lines.begin())));
    }
    return 0;
}
