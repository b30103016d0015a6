#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

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

std::int64_t NowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tesra::fs
