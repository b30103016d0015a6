// Uploads that have not reached the memo server yet. A start-up replaces
// the live index with the server's copy, so the mark cannot live in the
// index: it is a small INI file of its own in the user folder, one section
// per memo, replaced atomically on every change.
//
//   [memo123]
//   text=1            the text (with its properties) is still to go
//   props=1           only the properties are still to go
//   del=1             the user deleted the memo; the server is still to hear
//   base=12:1700000000  the server's stamp the local text was edited from
//   sent=15:1700000100  the stamp the last failed attempt sent
//
// While a memo is pending, a start-up must neither download its text over
// the local file (IsUploadPending before DownloadMemoText, which checks too)
// nor let the server's older properties replace the local ones
// (CarryPendingSections after loading both indexes). A memo whose deletion
// is pending is never restored from the server's index.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ini_file.h"

namespace tesra {

inline constexpr char kPendingFileName[] = "tesra-pending.ini";

struct PendingUpload {
    bool text = false;
    bool properties = false;
    std::string base;
    std::string sent;
    bool deletion = false;
};

class CPendingUploads {
public:
    // Reads the file of the user folder; a missing file means nothing pending.
    explicit CPendingUploads(const std::string& userFolder);
    // As though the file held text.
    CPendingUploads(const std::string& userFolder, std::string_view text);

    std::optional<PendingUpload> Find(std::string_view section) const;
    std::vector<std::string> Sections() const;
    // Both write the file at once; false when it could not be written.
    bool Put(std::string_view section, const PendingUpload& upload);
    bool Remove(std::string_view section);

private:
    bool Save();

    std::string m_path;
    CIniFile m_file;
};

bool IsUploadPending(const std::string& userFolder, std::string_view section);

// For every pending memo that previous (the local index as it stood before
// the server's copy replaced it) still holds, copies that section's keys
// over the live index's, so the local title, placement and stamps stay.
void CarryPendingSections(const std::string& userFolder, CIniFile& live, const CIniFile& previous);

}  // namespace tesra
