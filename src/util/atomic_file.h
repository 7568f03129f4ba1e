// The one way a file is replaced all or nothing: the new bytes go to a temporary file in the
// target's folder (so the rename stays on one file system), which is flushed to disk and renamed
// over the target only when every byte was written; the folder is flushed too, so the rename
// itself survives a crash. Until Commit, and after any failure, the target is as it was, and
// the temporary file is removed when the object goes. Errors are errno values, 0 for none.
#pragma once

#include <string>
#include <string_view>

namespace orv {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile(); // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Opens `temporary` for writing the new content of `target`. `exclusive` refuses a
    // temporary file that is already there (EEXIST); otherwise one left behind is truncated.
    int Open(const std::string& temporary, const std::string& target, unsigned mode,
             bool exclusive);
    // Gives the file exactly this mode, whatever the umask or a reused file had.
    int SetMode(unsigned mode);
    // Every write after a failed one does nothing; the first error is kept.
    int Write(std::string_view bytes);
    int Commit();
    void Discard();

    int Error() const { return error_; }

private:
    std::string temporary_;
    std::string target_;
    int fd_ = -1;
    int error_ = 0;
};

// The folder part of a path: "." for a bare name, "/" for a file at the root.
std::string FolderOf(const std::string& path);

} // namespace orv
