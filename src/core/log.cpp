#include "core/log.h"

#include "core/paths.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace orv {

std::string FormatLogLine(int hour, int minute, int second, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", hour, minute, second);
    return std::string(stamp) + "     " + text + "\r\n";
}

void WriteLogLine(const std::string& text) {
    const std::string& path = Paths().LogFile;
    if (path.empty())
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string line = FormatLogLine(local.tm_hour, local.tm_min, local.tm_sec, text);
    // One write on an O_APPEND descriptor, so lines of two running copies interleave whole.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    ssize_t ignored = ::write(fd, line.data(), line.size());
    (void)ignored;
    ::close(fd);
}

void WriteTrace(const std::string&) {}

} // namespace orv
