// Helpers for the hostile-file tests: noise, odd encodings, files too big to read, and the
// backup copies a writer leaves beside a file it could not read faithfully.
#pragma once

#include "foundation_temp.h"

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orv::testing {

inline std::string Noise(uint32_t seed, size_t size) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(gen() & 0xFF);
    return bytes;
}

// UTF-8 text (ASCII and two-byte sequences) as UTF-16, little- or big-endian, with a BOM or not.
inline std::string Utf16(const std::string& text, bool bigEndian, bool bom) {
    std::string out;
    auto unit = [&](uint32_t u) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    if (bom)
        unit(0xFEFF);
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            unit(c);
            ++i;
        } else {
            unit(((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu));
            i += 2;
        }
    }
    return out;
}

// A file larger than any reader accepts, without writing its bytes: a sparse file.
inline bool MakeHugeFile(const std::string& path, off_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, size) == 0 && ::pwrite(fd, "[Big]\n", 6, 0) == 6;
    ::close(fd);
    return ok;
}

// The copies kept beside `file`.
inline std::vector<std::string> BackupsOf(const std::string& file) {
    std::vector<std::string> found;
    const auto path = std::filesystem::path(file);
    const std::string prefix = path.filename().string() + ".unreadable-";
    for (const auto& e : std::filesystem::directory_iterator(path.parent_path()))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(e.path().string());
    return found;
}

inline unsigned ModeOf(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

inline off_t SizeOf(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_size : -1;
}

} // namespace orv::testing
