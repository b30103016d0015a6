// Loads the input as an index, then edits it with operations taken from the
// rest of the input, next to the plain reference store: every answer, line
// and modified flag must agree, and saving must lose no byte of text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "storage/ini_file.h"
#include "storage/reference_ini.h"

namespace {

using tesra::CIniFile;
using tesra::IsSpace;

void Check(bool ok) {
    if (!ok) std::abort();
}

std::string NonBlank(std::string_view text) {
    std::string out;
    for (char c : text)
        if (!IsSpace(static_cast<unsigned char>(c))) out.push_back(c);
    return out;
}

// Saving writes each line with CR LF; loading strips leading blanks and
// drops empty lines. A value holding an LF comes back as two lines.
std::vector<std::string> AfterReload(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t lf = line.find('\n', start);
            const std::string_view piece = tesra::TrimLeft(std::string_view(line).substr(start, lf - start));
            if (!piece.empty()) out.emplace_back(piece);
            if (lf == std::string::npos) break;
            start = lf + 1;
        }
    }
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

    tesra::test::ReferenceIni ref;
    ref.lines = ini.Lines();
    ref.modified = 1;
    while (in.remaining_bytes() > 0) {
        const std::string s = PickName(in, ref.lines, true);
        const std::string k = PickName(in, ref.lines, false);
        std::string got, want;
        switch (in.ConsumeIntegralInRange(0, 10)) {
            case 0: Check(ini.AddSection(s) == ref.AddSection(s)); break;
            case 1: Check(ini.DeleteSection(s) == ref.DeleteSection(s)); break;
            case 2: Check(ini.CountSectionLines(s) == ref.CountSectionLines(s)); break;
            case 3:
            case 4: {
                const std::string v = in.ConsumeRandomLengthString(8);
                Check(ini.SetString(s, k, v) == ref.SetString(s, k, v));
                break;
            }
            case 5: {
                const auto v = in.ConsumeIntegral<std::int32_t>();
                Check(ini.SetLong(s, k, v) == ref.SetString(s, k, std::to_string(v)));
                std::int32_t a = 7, b = 7;
                Check(ini.GetLong(s, k, a) == ref.GetLong(s, k, b) && a == b && a == v);
                break;
            }
            case 6: Check(ini.GetString(s, k, got) == ref.GetString(s, k, want) && got == want); break;
            case 7: {
                const int i = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(ref.lines.size()));
                Check(ini.FindKey(i, k, got) == ref.FindKey(i, k, want) && got == want);
                Check(ini.IsSectionLine(i) == ref.IsSectionLine(i));
                break;
            }
            case 8: Check(ini.FindSection(s) == ref.FindSection(s)); break;
            case 9: ini = CIniFile(ini); break;
            default: {
                const std::string saved = ini.ToText();
                CIniFile back;
                back.LoadFromText(saved);
                Check(back.Lines() == AfterReload(ini.Lines()));
                Check(NonBlank(back.ToText()) == NonBlank(saved));
                ini.SetModified(0);
                ref.modified = 0;
                break;
            }
        }
        Check(ini.Lines() == ref.lines);
        Check(ini.IsModified() == ref.modified);
    }
    return 0;
}
