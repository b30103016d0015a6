// The platform seam for files, folders and the clock. Portable code uses
// only this; fs_win.cpp and fs_posix.cpp implement it. Paths are CP949 bytes
// (the ANSI code page on Windows).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tesra::fs {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// folder + separator + name (no separator doubled).
std::string JoinPath(std::string_view folder, std::string_view name);

struct FileStatus {
    std::int64_t size = 0;
    // Last write, seconds since 1970 (UTC), as a 32-bit value: the system
    // stores it with "%ld" and a Windows long is 32 bits.
    std::int32_t lastWrite = 0;
    bool isDirectory = false;
};

// The folder part of path (before its last separator), empty when none.
std::string FolderOf(std::string_view path);

// True when name can stand as one file or folder name inside a folder of
// ours, and as no other: not empty, at most 200 bytes, no "\\", "/", ":"
// (drive or stream), wildcard, "<>\"|", "..", control byte or NUL, no
// trailing dot or blank, and no device name (CON, NUL, COM1, ...). Names
// arrive from other programs, so every byte is looked at, trail bytes
// included: no code page may turn one of them into a separator.
bool IsSafeFileName(std::string_view name);

// True when the file or folder exists; fills status when given.
bool Stat(const std::string& path, FileStatus* status = nullptr);

// Whole file into out; false when it cannot be opened or read.
bool ReadFile(const std::string& path, std::string* out);

// Replaces path with bytes atomically: the bytes go to a temporary file in
// the same folder, which is then renamed over path. A crash leaves the old
// file or the new one, never a torn one. False (and path untouched) on error.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);
// Its first half, for a writer on another thread: path made or emptied and
// given bytes, flushed to the disk; removed again on error. MoveReplace
// within the folder is the second half. path is taken in its exact case
// (where the file system ignores case, a folder spelt otherwise fails).
// onlyNew: false, and nothing touched, when a file of that name is there.
bool WriteFileFlushed(const std::string& path, std::string_view bytes, bool onlyNew = false);

// Adds bytes at the end of path, made when missing. A log's write: not
// atomic, and false on any error.
bool AppendFile(const std::string& path, std::string_view bytes);

bool RemoveFile(const std::string& path);
// Renames from over to, replacing an existing to.
bool MoveReplace(const std::string& from, const std::string& to);
bool CopyOver(const std::string& from, const std::string& to);
// Creates one folder level; true when it exists afterwards.
bool MakeDirectory(const std::string& path);
// Whether a file in folder matches pattern ("*.dat": wildcards as the
// platform's own file search has them); nothing when the folder cannot be
// searched.
std::optional<bool> AnyFileMatching(const std::string& folder, const std::string& pattern);

// Seconds since 1970 (UTC).
std::int64_t NowSeconds();

// A platform file time: 100-ns ticks since 1601-01-01 UTC, as FILETIME.
struct FileTime {
    std::uint64_t ticks = 0;
};
inline constexpr std::int64_t kFileTimeEpochOffset = 11644473600;  // 1601 to 1970, seconds
inline FileTime FileTimeFromUnix(std::int64_t seconds) {
    return FileTime{static_cast<std::uint64_t>(seconds + kFileTimeEpochOffset) * 10000000u};
}

// Sets the times that are given (null leaves that one as it is) on an
// existing file. Natively there is no creation time to set; it is ignored.
// False when the file cannot be opened or a time cannot be set.
bool SetTimes(const std::string& path, const FileTime* creation, const FileTime* lastAccess,
              const FileTime* lastWrite);

// t as a calendar date and time in the local time zone, read back as if that
// calendar time were UTC; false when t cannot be converted.
bool LocalCalendarAsUtc(std::int64_t t, std::int64_t* out);

}  // namespace tesra::fs
