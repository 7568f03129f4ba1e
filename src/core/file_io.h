// File helpers with the guarantees the stored files need: whole-file reads, atomic replaces
// (temporary file, fsync, rename) and an advisory lock for read-modify-write cycles.
#pragma once

#include "util/atomic_file.h" // FolderOf

#include <optional>
#include <string>

namespace orv {

// Whole file, or nothing when it cannot be read. Files above `limit` bytes are refused.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit = 64 * 1024 * 1024);
bool FileExists(const std::string& path);
// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so readers see the old or the new file, never half of one.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, unsigned mode);
// Keeps the file as it is now beside it, as `path`.unreadable-<time>[-n], before a writer that
// could not make sense of it replaces it. A hard link costs nothing and works for a file too
// big or too private to read; a copy is the fallback. False when no backup could be made, and
// then the caller must not write.
bool KeepBackupCopy(const std::string& path);
// Creates the folder and its parents (mode for the ones it creates).
bool MakeFolders(const std::string& folder, unsigned mode);

// Holds an exclusive lock on `path` + ".lock" for its lifetime; the lock file is never removed,
// so every process locks the same inode.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace orv
