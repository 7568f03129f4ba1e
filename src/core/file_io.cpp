#include "core/file_io.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

} // namespace

std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<size_t>(st.st_size) > limit)
        return std::nullopt;
    std::string out;
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > limit)
            return std::nullopt;
    }
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool KeepBackupCopy(const std::string& path) {
    const std::string stem = path + ".unreadable-" + std::to_string(::time(nullptr));
    for (int n = 0; n < 100; ++n) {
        const std::string backup = n == 0 ? stem : stem + "-" + std::to_string(n);
        if (::link(path.c_str(), backup.c_str()) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        if (errno == ENOENT)
            return true; // nothing there to keep
        struct stat st {};
        if (::stat(backup.c_str(), &st) == 0)
            continue;
        auto bytes = ReadWholeFile(path, static_cast<size_t>(-1));
        return bytes && ReplaceFileAtomically(backup, *bytes, 0600);
    }
    return false;
}

bool MakeFolders(const std::string& folder, unsigned mode) {
    if (folder.empty())
        return false;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent, 0755))
        return false;
    return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, unsigned mode) {
    // A fixed temporary name per process, so the registry's lock holder can recognise and
    // clear one left by a copy that was killed before its rename.
    AtomicFile file;
    return file.Open(path + ".tmp." + std::to_string(::getpid()), path, mode, false) == 0 &&
           file.SetMode(mode) == 0 && file.Write(bytes) == 0 && file.Commit() == 0;
}

FileLock::FileLock(const std::string& path) {
    int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return;
        }
    }
    fd_ = fd;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

} // namespace orv
