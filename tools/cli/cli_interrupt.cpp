#include "cli_interrupt.h"

#include <atomic>

namespace orv {

namespace {

std::atomic<CancelToken*> gInterruptToken{nullptr};

extern "C" void OnInterrupt(int) {
    // Only an atomic store: safe in a signal handler. The handler is installed with
    // SA_RESETHAND, so a second Ctrl-C ends the program at once.
    if (CancelToken* token = gInterruptToken.load())
        token->RequestCancel();
}

} // namespace

InterruptStops::InterruptStops(CancelToken& token) {
    gInterruptToken.store(&token);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptStops::~InterruptStops() {
    if (installed_)
        ::sigaction(SIGINT, &previous_, nullptr);
    gInterruptToken.store(nullptr);
}

} // namespace orv
