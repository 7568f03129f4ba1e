#include "util/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

std::string FolderOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

AtomicFile::~AtomicFile() {
    Discard();
}

int AtomicFile::Open(const std::string& temporary, const std::string& target, unsigned mode,
                     bool exclusive) {
    Discard();
    error_ = 0;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
    fd_ = ::open(temporary.c_str(), flags, mode);
    if (fd_ < 0)
        return error_ = errno;
    temporary_ = temporary;
    target_ = target;
    return 0;
}

int AtomicFile::SetMode(unsigned mode) {
    if (fd_ >= 0 && error_ == 0 && ::fchmod(fd_, mode) != 0)
        error_ = errno;
    return error_;
}

int AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0)
        return error_ != 0 ? error_ : EBADF;
    size_t done = 0;
    while (error_ == 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n >= 0)
            done += static_cast<size_t>(n);
        else if (errno != EINTR)
            error_ = errno;
    }
    return error_;
}

int AtomicFile::Commit() {
    if (fd_ < 0)
        return error_ != 0 ? error_ : EBADF;
    if (error_ == 0 && ::fsync(fd_) != 0)
        error_ = errno;
    if (::close(fd_) != 0 && error_ == 0)
        error_ = errno;
    fd_ = -1;
    if (error_ == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0)
        error_ = errno;
    if (error_ != 0) {
        Discard();
        return error_;
    }
    temporary_.clear();
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace orv
