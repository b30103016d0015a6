// The memo index store: an INI-style file held as its list of lines and
// edited in place, so that lines we do not understand survive untouched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tesra {

class CIniFile {
public:
    CIniFile() = default;
    CIniFile(const CIniFile&) = default;
    CIniFile& operator=(const CIniFile&) = default;
    virtual ~CIniFile() = default;

    // Always 1. A file that cannot be read loads as an empty store; either
    // way the store counts as modified afterwards.
    int Load(const std::string& path);
    // Always 1; a failed write is silent and leaves the old file whole.
    int Save(const std::string& path);
    // What Load does once the file's bytes are in hand (path untouched).
    void LoadFromText(std::string_view bytes);
    // The bytes Save writes.
    std::string ToText() const;
    void Clear();

    int FindSection(std::string_view name) const;
    int AddSection(std::string_view name);
    int CountSectionLines(std::string_view name) const;
    int IsSectionLine(int i) const;
    // Index of the key's line at or after start, up to the next header;
    // -1 when none. out receives the value only when found.
    int FindKey(int start, std::string_view key, std::string& out) const;
    int DeleteSection(std::string_view name);

    // A CR or LF in value is stored as a blank.
    int SetString(std::string_view section, std::string_view key, std::string_view value);
    int SetInt(std::string_view section, std::string_view key, int value);
    int SetLong(std::string_view section, std::string_view key, std::int32_t value);
    // out is emptied first.
    int GetString(std::string_view section, std::string_view key, std::string& out) const;
    // out is left as it was when the key is missing, so callers preset defaults.
    int GetInt(std::string_view section, std::string_view key, int& out) const;
    int GetLong(std::string_view section, std::string_view key, std::int32_t& out) const;

    int IsModified() const { return m_modified; }
    void SetModified(int flag) { m_modified = flag; }

    const std::vector<std::string>& Lines() const { return m_lines; }
    const std::string& Path() const { return m_path; }

private:
    int CountLinesAfter(int header) const;
    int SetLine(std::string_view section, std::string_view key, std::string line);
    void InsertLine(int at, std::string line);
    void ReplaceLine(int at, std::string line);
    void EraseLines(int first, int last);
    void NoteHeader(const std::string& line, int at);

    std::vector<std::string> m_lines;
    int m_modified = 0;
    std::string m_path;

    // Start-up reads a handful of keys from each of a thousand sections, so
    // a scan per lookup would be quadratic. This maps every line that looks
    // like "[...]" to the first index holding it; built on demand, kept up on
    // inserts and replacements, dropped when lines go away.
    mutable std::unordered_map<std::string, int> m_headers;
    mutable bool m_headersValid = false;
};

}  // namespace tesra
