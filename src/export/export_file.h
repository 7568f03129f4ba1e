// An export file written all or nothing: the bytes go to a temporary file in the target's
// folder, which is flushed to disk and renamed over the target only when every byte was
// written. Until then, and after any failure, an existing file of that name is left as it was
// and the temporary file is removed.
#pragma once

#include "util/atomic_file.h"

#include <functional>
#include <string>
#include <string_view>

namespace orv {

class ExportFile {
public:
    ExportFile() = default;
    ~ExportFile(); // an uncommitted file is discarded
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Creates the temporary file beside `path`. False, with a message naming the path, when
    // no path is given, the folder is missing, the path is a folder, or it cannot be written.
    bool Open(const std::string& path, std::string& error);
    // False once anything could not be written; the reason is reported by Commit.
    bool Write(std::string_view bytes);
    // Flushes the file to disk and puts it in place of `path`. False with a message when
    // anything failed since Open; the target is then untouched.
    bool Commit(std::string& error);
    // Removes the temporary file; the target is untouched.
    void Discard();

private:
    std::string Message(int error) const;

    std::string path_;
    AtomicFile file_; // beside the path, or beside the file a link at it names
    bool open_ = false;
};

// A name fit to propose as a file name: path separators, NUL and the characters shells and
// other systems trip over become "_"; `fallback` when nothing is left.
std::string FileNameSafe(std::string_view name, std::string_view fallback);

// Open, Write and Commit in one.
bool WriteExportFile(const std::string& path, std::string_view bytes, std::string& error);

// Hands `produce` the writer of a file opened at `path` and commits what it wrote: a file
// written in pieces, never held whole. False with a message when the file failed, or when
// `produce` returned false (its `produceProblem`, read then, is the message); the target is
// then untouched.
using ExportWriter = std::function<bool(std::string_view)>;
bool StreamExportFile(const std::string& path,
                      const std::function<bool(const ExportWriter&)>& produce,
                      const std::string& produceProblem, std::string& error);

} // namespace orv
