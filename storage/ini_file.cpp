#include "storage/ini_file.h"

#include "base/fs.h"
#include "base/text.h"

namespace tesra {
namespace {

std::string Header(std::string_view name) {
    std::string header;
    header.reserve(name.size() + 2);
    header.append(1, '[').append(name).append(1, ']');
    return header;
}

// Every line FindSection could return, including "[]", which IsSectionLine
// does not count.
bool LooksLikeHeader(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

int CIniFile::Load(const std::string& path) {
    m_path = path;
    Clear();
    std::string bytes;
    if (fs::ReadFile(path, &bytes)) LoadFromText(bytes);
    m_modified = 1;
    return 1;
}

void CIniFile::LoadFromText(std::string_view bytes) {
    Clear();
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        bytes = lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1);
        // Text-mode reading turns CR LF into LF; a lone CR stays.
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimLeft(line);
        if (!line.empty()) m_lines.emplace_back(line);
    }
    m_modified = 1;
}

std::string CIniFile::ToText() const {
    std::string text;
    std::size_t size = 0;
    for (const std::string& line : m_lines) size += line.size() + 2;
    text.reserve(size);
    // No line holds an LF: loading splits at them, and values never get one.
    for (const std::string& line : m_lines) text.append(line).append("\r\n");
    return text;
}

int CIniFile::Save(const std::string& path) {
    // The wait cursor around a save belongs to the window that asks for it.
    // A failed write stays silent but keeps the store marked modified, so the
    // next periodic save tries again instead of dropping the changes.
    if (fs::WriteFileAtomic(path, ToText())) m_modified = 0;
    return 1;
}

void CIniFile::Clear() {
    m_lines.clear();
    m_headers.clear();
    m_headersValid = false;
}

int CIniFile::FindSection(std::string_view name) const {
    const std::string header = Header(name);
    if (!m_headersValid) {
        m_headers.clear();
        for (std::size_t i = 0; i < m_lines.size(); ++i)
            if (LooksLikeHeader(m_lines[i])) m_headers.try_emplace(m_lines[i], static_cast<int>(i));
        m_headersValid = true;
    }
    const auto it = m_headers.find(header);
    return it == m_headers.end() ? -1 : it->second;
}

int CIniFile::AddSection(std::string_view name) {
    const int found = FindSection(name);
    if (found >= 0) return found;
    const int at = static_cast<int>(m_lines.size());
    InsertLine(at, Header(name));
    m_modified = 1;
    return at;
}

int CIniFile::CountSectionLines(std::string_view name) const {
    const int header = FindSection(name);
    return header < 0 ? 0 : CountLinesAfter(header);
}

int CIniFile::CountLinesAfter(int header) const {
    int count = 0;
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].empty() || m_lines[i][0] == '[') break;
        ++count;
    }
    return count;
}

int CIniFile::IsSectionLine(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_lines.size()) return 0;
    const std::string& line = m_lines[static_cast<std::size_t>(i)];
    return line.size() >= 3 && line.front() == '[' && line.back() == ']' ? 1 : 0;
}

int CIniFile::FindKey(int start, std::string_view key, std::string& out) const {
    if (start < 0) return -1;
    for (int i = start; static_cast<std::size_t>(i) < m_lines.size(); ++i) {
        if (IsSectionLine(i)) return -1;
        const std::string& line = m_lines[static_cast<std::size_t>(i)];
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=') {
            out.assign(line, key.size() + 1);
            return i;
        }
    }
    return -1;
}

int CIniFile::DeleteSection(std::string_view name) {
    const int header = FindSection(name);
    if (header < 0) return 0;
    m_modified = 1;
    int end = header + 1;
    while (static_cast<std::size_t>(end) < m_lines.size() && !IsSectionLine(end)) ++end;
    EraseLines(header, end);
    return 1;
}

int CIniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append(1, '=').append(value);
    // Values come from outside (a Hancom face, a title cut from a memo): a
    // line break in one would start a key or a section of its own.
    for (std::size_t i = key.size() + 1; i < line.size(); ++i)
        if (line[i] == '\r' || line[i] == '\n') line[i] = ' ';
    return SetLine(section, key, std::move(line));
}

int CIniFile::SetInt(std::string_view section, std::string_view key, int value) {
    return SetString(section, key, std::to_string(value));
}

int CIniFile::SetLong(std::string_view section, std::string_view key, std::int32_t value) {
    return SetString(section, key, std::to_string(value));
}

int CIniFile::SetLine(std::string_view section, std::string_view key, std::string line) {
    const int header = AddSection(section);
    if (header < 0) return 0;
    std::string scratch;
    const int found = FindKey(header + 1, key, scratch);
    if (found >= 0) {
        if (m_lines[static_cast<std::size_t>(found)] == line) return 1;
        ReplaceLine(found, std::move(line));
    } else {
        InsertLine(header + CountLinesAfter(header) + 1, std::move(line));
    }
    m_modified = 1;
    return 1;
}

int CIniFile::GetString(std::string_view section, std::string_view key, std::string& out) const {
    out.clear();
    const int header = FindSection(section);
    if (header < 0) return 0;
    return FindKey(header + 1, key, out) >= 0 ? 1 : 0;
}

int CIniFile::GetInt(std::string_view section, std::string_view key, int& out) const {
    std::string value;
    if (!GetString(section, key, value)) return 0;
    out = ParseInt(value);
    return 1;
}

int CIniFile::GetLong(std::string_view section, std::string_view key, std::int32_t& out) const {
    std::string value;
    if (!GetString(section, key, value)) return 0;
    out = ParseLong(value);
    return 1;
}

// The header map follows every change of m_lines through these three.

void CIniFile::InsertLine(int at, std::string line) {
    if (m_headersValid) {
        for (auto& entry : m_headers)
            if (entry.second >= at) ++entry.second;
        NoteHeader(line, at);
    }
    m_lines.insert(m_lines.begin() + at, std::move(line));
}

void CIniFile::ReplaceLine(int at, std::string line) {
    std::string& old = m_lines[static_cast<std::size_t>(at)];
    if (m_headersValid) {
        // A later copy of the old header may become the first one.
        if (LooksLikeHeader(old))
            m_headersValid = false;
        else
            NoteHeader(line, at);
    }
    old = std::move(line);
}

void CIniFile::EraseLines(int first, int last) {
    m_lines.erase(m_lines.begin() + first, m_lines.begin() + last);
    m_headersValid = false;
}

void CIniFile::NoteHeader(const std::string& line, int at) {
    if (!LooksLikeHeader(line)) return;
    const auto [it, added] = m_headers.try_emplace(line, at);
    if (!added && it->second > at) it->second = at;
}

}  // namespace tesra
