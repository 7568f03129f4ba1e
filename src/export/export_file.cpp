#include "export/export_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {

std::string FolderOfPath(const std::string& path) {
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string BaseName(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A link names the file the user means: the link stays, its target gets the new content.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

ExportFile::~ExportFile() {
    Discard();
}

std::string ExportFile::Message(int error) const {
    const std::string head = "Cannot write the file " + path_ + ": ";
    if (error == ENOENT || error == ENOTDIR)
        return head + "the folder " + FolderOfPath(path_) + " does not exist.";
    if (error == EISDIR)
        return head + "it is a folder.";
    return head + std::strerror(error) + ".";
}

bool ExportFile::Open(const std::string& path, std::string& error) {
    Discard();
    error_ = 0;
    path_ = path;
    if (path.empty() || path.back() == '/') {
        error = path.empty() ? "No file was named for the export." : Message(EISDIR);
        return false;
    }
    const std::string target = ResolveLink(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error = Message(EISDIR);
        return false;
    }
    // A hidden name in the same folder, so the rename stays on one file system; O_EXCL makes
    // two exports of the same file never share one temporary file.
    static std::atomic<unsigned> serial{0};
    const std::string stem =
        FolderOfPath(target) + "/." + BaseName(target) + "." + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = stem + std::to_string(serial.fetch_add(1)) + ".tmp";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int e = errno;
        temporary_.clear();
        error = Message(e);
        return false;
    }
    // A file replaced keeps who may read it: a report kept private stays private.
    if (exists)
        ::fchmod(fd_, st.st_mode & 07777);
    path_ = path;
    target_ = target;
    return true;
}

bool ExportFile::Write(std::string_view bytes) {
    if (fd_ < 0 || error_ != 0)
        return false;
    return WriteAll(fd_, bytes, error_);
}

bool ExportFile::Commit(std::string& error) {
    if (fd_ < 0) {
        error = path_.empty() ? "No file was named for the export." : Message(EBADF);
        return false;
    }
    if (error_ == 0 && ::fsync(fd_) != 0)
        error_ = errno;
    if (error_ == 0 && ::close(fd_) != 0)
        error_ = errno;
    else if (error_ != 0)
        ::close(fd_);
    fd_ = -1;
    if (error_ == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0)
        error_ = errno;
    if (error_ != 0) {
        error = Message(error_);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(FolderOfPath(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void ExportFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

bool WriteExportFile(const std::string& path, std::string_view bytes, std::string& error) {
    ExportFile file;
    if (!file.Open(path, error))
        return false;
    file.Write(bytes);
    return file.Commit(error);
}

bool StreamExportFile(const std::string& path,
                      const std::function<bool(const ExportWriter&)>& produce,
                      const std::string& produceProblem, std::string& error) {
    ExportFile file;
    if (!file.Open(path, error))
        return false;
    bool fileFailed = false;
    const bool produced = produce([&](std::string_view piece) {
        fileFailed = !file.Write(piece);
        return !fileFailed;
    });
    if (produced || fileFailed)
        return file.Commit(error); // a failed file says why itself, and is not put in place
    file.Discard();
    error =
        "Cannot write the file " + path + ": " +
        (produceProblem.empty() ? std::string("its content could not be made.") : produceProblem);
    return false;
}

} // namespace orv
