// The command line's ProgressSink: on a terminal, one status line on standard error redrawn in
// place (at most every `interval`), with the step, how far it is and the object last done;
// elsewhere (a file, a pipe, a CI log) only the warnings, each on a line of its own.
#pragma once

#include "util/progress.h"

#include <chrono>
#include <cstdio>
#include <functional>

namespace orv {

class ConsoleProgressSink final : public ProgressSink {
public:
    using Clock = std::chrono::steady_clock;

    // `terminal` says whether `out` is a terminal (isatty). `width` is the terminal's width in
    // characters; 0 asks the terminal. `now` is for tests.
    ConsoleProgressSink(std::FILE* out, bool terminal, int width = 0,
                        std::chrono::milliseconds interval = std::chrono::milliseconds(100),
                        std::function<Clock::time_point()> now = &Clock::now);
    // Clears the status line, so whatever is written next starts on a clean line.
    ~ConsoleProgressSink() override;

    void Begin(const std::string& step, int64_t total) override;
    void Advance(int64_t done, const std::string& item) override;
    void Note(const std::string& text) override;
    // A note or a warning takes the status line's place; the next Begin or Advance draws it
    // again below.
    void Warn(const std::string& text) override;

private:
    void Draw(bool force);
    void ClearStatus();

    std::FILE* out_;
    bool terminal_;
    int width_;
    std::chrono::milliseconds interval_;
    std::function<Clock::time_point()> now_;
    Clock::time_point lastDraw_{};
    bool statusShown_ = false;
    std::string step_;
    std::string item_;
    int64_t total_ = 0;
    int64_t done_ = 0;
};

} // namespace orv
