#include "crash_trace.h"

#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace orv::test {

namespace {

// Only async-signal-safe calls from here on: write, backtrace_symbols_fd, signal, raise.
void WriteText(const char* text) {
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void WriteNumber(long value) {
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    unsigned long v =
        negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 22);
    char text[26];
    int at = 0;
    if (negative)
        text[at++] = '-';
    while (n > 0)
        text[at++] = digits[--n];
    text[at] = '\0';
    WriteText(text);
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
    WriteText("\n*** fatal signal ");
    WriteNumber(sig);
    WriteText(" (");
    WriteText(sig == SIGSEGV   ? "SIGSEGV"
              : sig == SIGBUS  ? "SIGBUS"
              : sig == SIGABRT ? "SIGABRT"
              : sig == SIGFPE  ? "SIGFPE"
                               : "SIGILL");
    WriteText(") at address 0x");
    char hex[2 * sizeof(void*) + 1];
    auto address = reinterpret_cast<unsigned long>(info ? info->si_addr : nullptr);
    for (int i = static_cast<int>(sizeof(hex)) - 2; i >= 0; --i) {
        hex[i] = "0123456789abcdef"[address & 0xF];
        address >>= 4;
    }
    hex[sizeof(hex) - 1] = '\0';
    WriteText(hex);
    WriteText(" in thread ");
    WriteNumber(static_cast<long>(::syscall(SYS_gettid)));
    WriteText(" of process ");
    WriteNumber(static_cast<long>(::getpid()));
    WriteText("; its stack:\n");
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, STDERR_FILENO);
    WriteText("*** end of stack\n");
    // Dies of the same signal, so the test run reports what it would have without this.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

void InstallCrashTrace() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return;
#else
    static std::once_flag once;
    std::call_once(once, [] {
        // backtrace() loads the unwinder on its first call, which allocates: done here, not in
        // the handler.
        void* warm[2];
        ::backtrace(warm, 2);
        // On a stack of its own, so an overflow of the thread's stack can still be reported.
        static char altStack[64 * 1024];
        stack_t ss{};
        ss.ss_sp = altStack;
        ss.ss_size = sizeof(altStack);
        ::sigaltstack(&ss, nullptr);
        struct sigaction action {};
        action.sa_sigaction = OnFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            ::sigaction(sig, &action, nullptr);
    });
#endif
}

} // namespace orv::test
