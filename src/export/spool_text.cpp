#include "export/spool_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orv {

namespace {

std::string TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

} // namespace

SpoolFile::~SpoolFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool SpoolFile::Create() {
    if (fd_ >= 0)
        return true;
    if (!problem_.empty())
        return false;
    const std::string folder = TemporaryFolder();
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // A file system without unnamed files: a named one, removed at once.
        std::string name = folder + "/orvane-spool-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(name.c_str());
    }
    if (fd_ < 0)
        problem_ = "Cannot make a temporary file in " + folder + ": " + std::strerror(errno) + ".";
    return fd_ >= 0;
}

bool SpoolFile::Append(std::string_view bytes, uint64_t& offset) {
    if (!Create())
        return false;
    offset = size_;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(size_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem_ = std::string("Cannot write a temporary file: ") + std::strerror(errno) + ".";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    size_ += bytes.size();
    return true;
}

bool SpoolFile::Read(uint64_t offset, size_t length, std::string& out) const {
    out.resize(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

SpoolText::SpoolText(SpoolFile& file, size_t tailLimit) : file_(&file), tailLimit_(tailLimit) {}

void SpoolText::Append(std::string_view text) {
    tail_.append(text);
    size_ += text.size();
    if (tail_.size() < tailLimit_ || failed_)
        return;
    uint64_t offset = 0;
    if (!file_->Append(tail_, offset)) {
        // Kept in memory: WriteTo reports the failure, so nothing half-made is ever written.
        failed_ = true;
        return;
    }
    extents_.emplace_back(offset, tail_.size());
    tail_.clear();
}

bool SpoolText::WriteTo(const std::function<bool(std::string_view)>& write) const {
    if (failed_)
        return false;
    std::string chunk;
    for (const auto& [offset, length] : extents_)
        if (!file_->Read(offset, length, chunk) || !write(chunk))
            return false;
    return tail_.empty() || write(tail_);
}

std::string SpoolText::Text() const {
    std::string out;
    out.reserve(size_);
    WriteTo([&](std::string_view piece) {
        out.append(piece);
        return true;
    });
    return out;
}

} // namespace orv
