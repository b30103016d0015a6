#include <windows.h>

#include "base/diag_log.h"
#include "base/fs.h"

namespace tesra::fs {
namespace {

class File {
public:
    explicit File(HANDLE h) : h_(h) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || ::CloseHandle(h);
    }

private:
    HANDLE h_;
};

// FILETIME counts 100 ns from 1601; 11644473600 s separate it from 1970.
std::int64_t UnixSeconds(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return static_cast<std::int64_t>(u.QuadPart / 10000000ULL) - 11644473600LL;
}

bool WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool Stat(const std::string& path, FileStatus* status) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (status) {
        status->size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        status->lastWrite = static_cast<std::int32_t>(UnixSeconds(data.ftLastWriteTime));
        status->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return true;
}

bool ReadFile(const std::string& path, std::string* out) {
    File f(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    out->clear();
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(f.get(), buf, sizeof buf, &n, nullptr)) return false;
        if (n == 0) return true;
        out->append(buf, n);
    }
}

std::optional<bool> AnyFileMatching(const std::string& folder, const std::string& pattern) {
    WIN32_FIND_DATAA found;
    const HANDLE h = ::FindFirstFileA(JoinPath(folder, pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return false;
        return std::nullopt;
    }
    ::FindClose(h);
    return true;
}

bool WriteFileFlushed(const std::string& path, std::string_view bytes, bool onlyNew) {
    // Exact case: a new name costs no search of the folder for another
    // spelling of it (Wine's, one pass over a folder of a thousand memos).
    File f(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, onlyNew ? CREATE_NEW : CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_POSIX_SEMANTICS, nullptr));
    if (!f.valid()) return false;
    if (WriteAll(f.get(), bytes) && ::FlushFileBuffers(f.get()) && f.Close()) return true;
    f.Close();
    ::DeleteFileA(path.c_str());
    return false;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    // One temporary name per file, not a fresh unique one: making a unique
    // name creates and closes a file first, which costs as much again. A
    // second writer of the same file meanwhile fails to open it (no sharing).
    const std::string temp = path + ".new";
    File f(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    const bool ok = WriteAll(f.get(), bytes) && ::FlushFileBuffers(f.get()) && f.Close() &&
                    ::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        f.Close();
        ::DeleteFileA(temp.c_str());
    }
    return ok;
}

bool AppendFile(const std::string& path, std::string_view bytes) {
    File f(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr));
    return f.valid() && WriteAll(f.get(), bytes) && f.Close();
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool MoveReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool CopyOver(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool MakeDirectory(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    FileStatus st;
    return Stat(path, &st) && st.isDirectory;
}

namespace {

FILETIME ToFiletime(const FileTime& t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t.ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(t.ticks >> 32);
    return ft;
}

}  // namespace

bool SetTimes(const std::string& path, const FileTime* creation, const FileTime* lastAccess,
              const FileTime* lastWrite) {
    File f(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr));
    if (!f.valid()) return false;
    FILETIME c{}, a{}, w{};
    if (creation) c = ToFiletime(*creation);
    if (lastAccess) a = ToFiletime(*lastAccess);
    if (lastWrite) w = ToFiletime(*lastWrite);
    return ::SetFileTime(f.get(), creation ? &c : nullptr, lastAccess ? &a : nullptr, lastWrite ? &w : nullptr) != 0;
}

bool LocalCalendarAsUtc(std::int64_t t, std::int64_t* out) {
    const FILETIME utc = ToFiletime(FileTimeFromUnix(t));
    SYSTEMTIME utcCalendar, localCalendar;
    FILETIME asUtc;
    if (!::FileTimeToSystemTime(&utc, &utcCalendar) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utcCalendar, &localCalendar) ||
        !::SystemTimeToFileTime(&localCalendar, &asUtc))
        return false;
    *out = UnixSeconds(asUtc);
    return true;
}

std::int64_t NowSeconds() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return UnixSeconds(ft);
}

}  // namespace tesra::fs

namespace tesra {

void DebugOutput(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    ::OutputDebugStringA(text.c_str());
}

}  // namespace tesra
