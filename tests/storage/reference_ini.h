// A deliberately plain INI store: every lookup scans the lines. Tests and
// the fuzzer run it side by side with CIniFile, whose section lookup is
// indexed, and demand identical answers and lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace tesra::test {

class ReferenceIni {
public:
    std::vector<std::string> lines;
    int modified = 0;

    int FindSection(std::string_view name) const {
        const std::string header = "[" + std::string(name) + "]";
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == header) return static_cast<int>(i);
        return -1;
    }
    int AddSection(std::string_view name) {
        if (const int h = FindSection(name); h >= 0) return h;
        lines.push_back("[" + std::string(name) + "]");
        modified = 1;
        return static_cast<int>(lines.size()) - 1;
    }
    int CountSectionLines(std::string_view name) const {
        const int h = FindSection(name);
        if (h < 0) return 0;
        int n = 0;
        for (std::size_t i = h + 1; i < lines.size() && !lines[i].empty() && lines[i][0] != '['; ++i) ++n;
        return n;
    }
    int IsSectionLine(int i) const {
        if (i < 0 || i >= static_cast<int>(lines.size())) return 0;
        const std::string& l = lines[i];
        return l.size() >= 3 && l.front() == '[' && l.back() == ']';
    }
    int FindKey(int start, std::string_view key, std::string& out) const {
        const std::string prefix = std::string(key) + "=";
        for (int i = start; i >= 0 && i < static_cast<int>(lines.size()); ++i) {
            if (IsSectionLine(i)) return -1;
            if (lines[i].rfind(prefix, 0) == 0) {
                out = lines[i].substr(prefix.size());
                return i;
            }
        }
        return -1;
    }
    int DeleteSection(std::string_view name) {
        const int h = FindSection(name);
        if (h < 0) return 0;
        modified = 1;
        lines.erase(lines.begin() + h);
        while (h < static_cast<int>(lines.size()) && !IsSectionLine(h)) lines.erase(lines.begin() + h);
        return 1;
    }
    int SetString(std::string_view section, std::string_view key, std::string_view value) {
        const int h = AddSection(section);
        std::string scratch;
        const int k = FindKey(h + 1, key, scratch);
        const std::string line = std::string(key) + "=" + std::string(value);
        if (k >= 0) {
            if (lines[k] == line) return 1;
            lines[k] = line;
        } else {
            lines.insert(lines.begin() + h + CountSectionLines(section) + 1, line);
        }
        modified = 1;
        return 1;
    }
    int GetString(std::string_view section, std::string_view key, std::string& out) const {
        out.clear();
        const int h = FindSection(section);
        return h >= 0 && FindKey(h + 1, key, out) >= 0;
    }
    int GetLong(std::string_view section, std::string_view key, std::int32_t& out) const {
        std::string v;
        if (!GetString(section, key, v)) return 0;
        out = ParseLong(v);
        return 1;
    }
};

}  // namespace tesra::test
