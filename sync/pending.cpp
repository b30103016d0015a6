#include "sync/pending.h"

#include "base/fs.h"

namespace tesra {

CPendingUploads::CPendingUploads(const std::string& userFolder)
    : m_path(fs::JoinPath(userFolder, kPendingFileName)) {
    std::string bytes;
    if (fs::ReadFile(m_path, &bytes)) m_file.LoadFromText(bytes);
}

CPendingUploads::CPendingUploads(const std::string& userFolder, std::string_view text)
    : m_path(fs::JoinPath(userFolder, kPendingFileName)) {
    m_file.LoadFromText(text);
}

std::optional<PendingUpload> CPendingUploads::Find(std::string_view section) const {
    if (section.empty() || m_file.FindSection(section) < 0) return std::nullopt;
    PendingUpload p;
    int flag = 0;
    if (m_file.GetInt(section, "text", flag)) p.text = flag != 0;
    flag = 0;
    if (m_file.GetInt(section, "props", flag)) p.properties = flag != 0;
    flag = 0;
    if (m_file.GetInt(section, "del", flag)) p.deletion = flag != 0;
    m_file.GetString(section, "base", p.base);
    m_file.GetString(section, "sent", p.sent);
    if (!p.text && !p.properties && !p.deletion) return std::nullopt;
    return p;
}

std::vector<std::string> CPendingUploads::Sections() const {
    std::vector<std::string> out;
    const auto& lines = m_file.Lines();
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (!m_file.IsSectionLine(i)) continue;
        const std::string& line = lines[static_cast<std::size_t>(i)];
        std::string name = line.substr(1, line.size() - 2);
        if (Find(name)) out.push_back(std::move(name));
    }
    return out;
}

bool CPendingUploads::Put(std::string_view section, const PendingUpload& upload) {
    if (section.empty()) return false;
    m_file.DeleteSection(section);
    m_file.SetInt(section, "text", upload.text ? 1 : 0);
    m_file.SetInt(section, "props", upload.properties ? 1 : 0);
    if (upload.deletion) m_file.SetInt(section, "del", 1);
    m_file.SetString(section, "base", upload.base);
    m_file.SetString(section, "sent", upload.sent);
    return Save();
}

bool CPendingUploads::Remove(std::string_view section) {
    if (!m_file.DeleteSection(section)) return true;
    return Save();
}

bool CPendingUploads::Save() {
    if (m_file.Lines().empty()) return fs::RemoveFile(m_path) || !fs::Stat(m_path);
    return fs::WriteFileAtomic(m_path, m_file.ToText());
}

bool IsUploadPending(const std::string& userFolder, std::string_view section) {
    return CPendingUploads(userFolder).Find(section).has_value();
}

void CarryPendingSections(const std::string& userFolder, CIniFile& live, const CIniFile& previous) {
    const CPendingUploads pending(userFolder);
    const auto& lines = previous.Lines();
    for (const std::string& section : pending.Sections()) {
        if (pending.Find(section)->deletion) continue;
        const int header = previous.FindSection(section);
        if (header < 0) continue;
        for (int i = header + 1; i < static_cast<int>(lines.size()) && !previous.IsSectionLine(i); ++i) {
            const std::string& line = lines[static_cast<std::size_t>(i)];
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos || eq == 0) continue;
            live.SetString(section, std::string_view(line).substr(0, eq), std::string_view(line).substr(eq + 1));
        }
    }
}

}  // namespace tesra
