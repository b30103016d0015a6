#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

#include "base/diag_log.h"
#include "base/fs.h"

namespace tesra::fs {
namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool Stat(const std::string& path, FileStatus* status) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (status) {
        status->size = st.st_size;
        status->lastWrite = static_cast<std::int32_t>(st.st_mtime);
        status->isDirectory = S_ISDIR(st.st_mode);
    }
    return true;
}

bool ReadFile(const std::string& path, std::string* out) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    out->clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out->append(buf, static_cast<std::size_t>(n));
    }
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    std::string temp = path + ".XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return false;
    const bool ok = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.Close() &&
                    ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

std::optional<bool> AnyFileMatching(const std::string& folder, const std::string& pattern) {
    // The names matched, not the joined path: a folder may hold "[" or "*".
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return std::nullopt;
    while (const dirent* entry = ::readdir(dir.get()))
        if (::fnmatch(pattern.c_str(), entry->d_name, 0) == 0) return true;
    return false;
}

bool WriteFileFlushed(const std::string& path, std::string_view bytes, bool onlyNew) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | (onlyNew ? O_EXCL : O_TRUNC) | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    if (WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.Close()) return true;
    ::unlink(path.c_str());
    return false;
}

bool AppendFile(const std::string& path, std::string_view bytes) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    return fd.get() >= 0 && WriteAll(fd.get(), bytes) && fd.Close();
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MoveReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyOver(const std::string& from, const std::string& to) {
    std::string bytes;
    if (!ReadFile(from, &bytes)) return false;
    Fd fd(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return fd.get() >= 0 && WriteAll(fd.get(), bytes) && fd.Close();
}

bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    FileStatus st;
    return errno == EEXIST && Stat(path, &st) && st.isDirectory;
}

bool SetTimes(const std::string& path, const FileTime*, const FileTime* lastAccess, const FileTime* lastWrite) {
    const auto toTimespec = [](const FileTime* t) {
        timespec ts{};
        if (!t) {
            ts.tv_nsec = UTIME_OMIT;
            return ts;
        }
        const std::int64_t ticks = static_cast<std::int64_t>(t->ticks) - kFileTimeEpochOffset * 10000000;
        std::int64_t secs = ticks / 10000000;
        std::int64_t rest = ticks % 10000000;
        if (rest < 0) {
            rest += 10000000;
            --secs;
        }
        ts.tv_sec = static_cast<time_t>(secs);
        ts.tv_nsec = static_cast<long>(rest * 100);
        return ts;
    };
    const timespec times[2] = {toTimespec(lastAccess), toTimespec(lastWrite)};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool LocalCalendarAsUtc(std::int64_t t, std::int64_t* out) {
    const time_t tt = static_cast<time_t>(t);
    tm local{};
    if (!::localtime_r(&tt, &local)) return false;
    // Days from 1970-01-01 to the civil date (proleptic Gregorian).
    const std::int64_t y = static_cast<std::int64_t>(local.tm_year) + 1900 - (local.tm_mon < 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t m = local.tm_mon + 1;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    *out = days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return true;
}

std::int64_t NowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tesra::fs

namespace tesra {

// No debugger channel natively; the log file is the record there.
void DebugOutput(std::string_view) {}

}  // namespace tesra
