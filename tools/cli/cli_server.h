// What the long-running commands of orvane-cli share: Ctrl-C turned into a Stop.
#pragma once

#include "util/progress.h"

#include <csignal>
#include <string>
#include <thread>

namespace orv {

// Ctrl-C stops the comparison (which then reports what it gathered) instead of killing the
// program, for the lifetime of the object.
class InterruptStops {
public:
    explicit InterruptStops(CancelToken& token);
    ~InterruptStops();
    InterruptStops(const InterruptStops&) = delete;
    InterruptStops& operator=(const InterruptStops&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
    int pipe_[2] = {-1, -1}; // the handler's wake-up for the watch thread
    std::thread watch_;
};

} // namespace orv
