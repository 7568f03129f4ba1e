#include "cli_interrupt.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orv {

namespace {

std::atomic<int> gInterruptPipe{-1};

extern "C" void OnInterrupt(int) {
    // Only a write to a pipe: safe in a signal handler. Setting the token runs the stop
    // callbacks of the running queries, which take locks, so the watch thread does that. The
    // handler is installed with SA_RESETHAND, so a second Ctrl-C ends the program at once.
    const int fd = gInterruptPipe.load();
    if (fd >= 0) {
        const char interrupted = 'i';
        [[maybe_unused]] const ssize_t n = ::write(fd, &interrupted, 1);
    }
}

} // namespace

InterruptStops::InterruptStops(CancelToken& token) {
    if (::pipe2(pipe_, O_CLOEXEC) != 0)
        return;
    // Sleeps in read() until Ctrl-C or the end of this object: no polling.
    watch_ = std::thread([this, &token] {
        char c = 0;
        while (::read(pipe_[0], &c, 1) < 0 && errno == EINTR) {
        }
        if (c == 'i')
            token.RequestCancel();
    });
    gInterruptPipe.store(pipe_[1]);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptStops::~InterruptStops() {
    if (installed_)
        ::sigaction(SIGINT, &previous_, nullptr);
    gInterruptPipe.store(-1);
    if (watch_.joinable()) {
        const char done = 'd';
        [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &done, 1);
        watch_.join();
    }
    for (int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

} // namespace orv
