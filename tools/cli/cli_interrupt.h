// Ctrl-C turned into a Stop for the long-running commands of orvane-cli.
#pragma once

#include "util/progress.h"

#include <csignal>
#include <string>
#include <thread>

namespace orv {

// For the lifetime of the object, Ctrl-C sets `token` (the run then ends as stopped and reports
// what it gathered) instead of killing the program; a second Ctrl-C still kills it.
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
