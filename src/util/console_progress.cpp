#include "util/console_progress.h"

#include "util/text.h"

#include <algorithm>

#include <sys/ioctl.h>
#include <unistd.h>

namespace orv {

namespace {

// Names from a catalog may hold control characters; on a terminal they would move the cursor
// or worse.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

int TerminalWidth(std::FILE* out) {
    struct winsize ws {};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

} // namespace

ConsoleProgressSink::ConsoleProgressSink(std::FILE* out, bool terminal, int width,
                                         std::chrono::milliseconds interval,
                                         std::function<Clock::time_point()> now)
    : out_(out), terminal_(terminal), width_(width), interval_(interval), now_(std::move(now)) {
    if (terminal_ && width_ <= 0)
        width_ = TerminalWidth(out_);
}

ConsoleProgressSink::~ConsoleProgressSink() {
    ClearStatus();
}

void ConsoleProgressSink::ClearStatus() {
    if (!statusShown_)
        return;
    std::fputs("\r\x1B[K", out_);
    std::fflush(out_);
    statusShown_ = false;
}

void ConsoleProgressSink::Draw(bool force) {
    if (!terminal_)
        return;
    const Clock::time_point now = now_();
    if (!force && statusShown_ && now - lastDraw_ < interval_)
        return;
    lastDraw_ = now;
    std::string line;
    if (total_ > 0) {
        const int64_t percent = std::min<int64_t>(100, done_ * 100 / total_);
        line = "[" +
               std::string(percent < 10    ? "  "
                           : percent < 100 ? " "
                                           : "") +
               std::to_string(percent) + "%] ";
    }
    line += Printable(step_);
    if (total_ > 0)
        line += " " + std::to_string(done_) + "/" + std::to_string(total_);
    if (!item_.empty())
        line += " " + Printable(item_);
    // One character short of the width: a full line would wrap on some terminals.
    const int64_t room = std::max(10, width_ - 1);
    if (Utf8Length(line) > room)
        line = Utf8Left(line, room);
    std::fputs(("\r\x1B[K" + line).c_str(), out_);
    std::fflush(out_);
    statusShown_ = true;
}

void ConsoleProgressSink::Begin(const std::string& step, int64_t total) {
    step_ = step;
    total_ = total;
    done_ = 0;
    item_.clear();
    Draw(true);
}

void ConsoleProgressSink::Advance(int64_t done, const std::string& item) {
    done_ += done;
    if (!item.empty())
        item_ = item;
    Draw(false);
}

void ConsoleProgressSink::Note(const std::string& text) {
    if (!terminal_)
        return;
    ClearStatus();
    std::fputs((Printable(text) + "\n").c_str(), out_);
    std::fflush(out_);
}

void ConsoleProgressSink::Warn(const std::string& text) {
    ClearStatus();
    std::fputs(("warning: " + Printable(text) + "\n").c_str(), out_);
    std::fflush(out_);
}

} // namespace orv
