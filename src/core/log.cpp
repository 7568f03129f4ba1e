#include "core/log.h"

#include "core/paths.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

std::string FormatLogLine(int hour, int minute, int second, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", hour, minute, second);
    return std::string(stamp) + "     " + text + "\r\n";
}

namespace {

// The log stays open between lines: every command sent to a server writes three, and opening
// the file for each cost more than a short command itself. It is opened again when the log
// moves to another path or the file was deleted under it.
class OpenLog {
public:
    ~OpenLog() { Close(); }

    void Write(const std::string& path, const std::string& line) {
        std::lock_guard lock(mutex_);
        if (fd_ >= 0 && (path != path_ || Deleted()))
            Close();
        if (fd_ < 0) {
            fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
            if (fd_ < 0)
                return;
            path_ = path;
        }
        // One write on an O_APPEND descriptor, so lines of two running copies interleave whole.
        ssize_t ignored = ::write(fd_, line.data(), line.size());
        (void)ignored;
    }

private:
    bool Deleted() const {
        struct stat st {};
        return ::fstat(fd_, &st) != 0 || st.st_nlink == 0;
    }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    std::mutex mutex_;
    std::string path_;
    int fd_ = -1;
};

OpenLog& TheLog() {
    static OpenLog log;
    return log;
}

} // namespace

void WriteLogLine(const std::string& text) {
    const std::string& path = Paths().LogFile;
    if (path.empty())
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    TheLog().Write(path, FormatLogLine(local.tm_hour, local.tm_min, local.tm_sec, text));
}

void WriteTrace(const std::string&) {}

} // namespace orv
