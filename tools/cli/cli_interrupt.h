// Ctrl-C turned into a Stop for the long-running commands of orvane-cli.
#pragma once

#include "util/progress.h"

#include <csignal>
#include <string>

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
};

} // namespace orv
