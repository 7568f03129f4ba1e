// Text built piece by piece and read back once, in order, without ever holding it whole: a
// small tail stays in memory, the rest goes to one unnamed temporary file that every spool of
// a writer shares (so a thousand spools cost one file descriptor). Scripts and row files of a
// million differing rows are assembled from these and streamed to their export file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orv {

// One unnamed temporary file in the temporary folder ($TMPDIR, else /tmp), removed by the
// system when closed. Not thread-safe: one writer owns it.
class SpoolFile {
public:
    SpoolFile() = default;
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Appends the bytes at the file's end; false when the file could not be made or written.
    bool Append(std::string_view bytes, uint64_t& offset);
    // Reads `length` bytes from `offset` into `out` (replacing it).
    bool Read(uint64_t offset, size_t length, std::string& out) const;
    // The reason of the first failure ("" while none).
    const std::string& Problem() const { return problem_; }

private:
    bool Create();

    int fd_ = -1;
    uint64_t size_ = 0;
    std::string problem_;
};

class SpoolText {
public:
    // Keeps at most `tailLimit` bytes in memory before moving them to `file`.
    explicit SpoolText(SpoolFile& file, size_t tailLimit = 64 * 1024);

    void Append(std::string_view text);
    SpoolText& operator+=(std::string_view text) {
        Append(text);
        return *this;
    }
    bool Empty() const { return size_ == 0; }
    uint64_t Size() const { return size_; }
    // Hands everything appended, in order, to `write` in chunks of about the tail's size.
    // False when the spool file failed (see its Problem) or `write` returned false.
    bool WriteTo(const std::function<bool(std::string_view)>& write) const;
    // The whole text in memory (for callers that want a string after all).
    std::string Text() const;

private:
    SpoolFile* file_;
    size_t tailLimit_;
    std::vector<std::pair<uint64_t, size_t>> extents_; // in the file, in order
    std::string tail_;
    uint64_t size_ = 0;
    bool failed_ = false;
};

} // namespace orv
