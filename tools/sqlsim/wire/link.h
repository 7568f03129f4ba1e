// A network slower than loopback, so that clients meant for remote servers can be measured and
// tested against the simulator: every answer waits the link's latency once before its first
// byte, and its bytes leave no faster than the link's bandwidth. Each connection has a link of
// its own, as each has its own round trips; off unless asked for.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace sqlsim::wire {

struct LinkSettings {
    // Added once to the answer of each request (login steps included), in milliseconds.
    uint32_t latencyMs = 0;
    // Kilobytes (1,000 bytes) per second an answer's bytes are paced to; 0: as fast as the
    // socket takes them.
    uint64_t bandwidthKbps = 0;

    bool shaped() const { return latencyMs != 0 || bandwidthKbps != 0; }
};

// When the bytes of the current answer may leave. Plain arithmetic on the times it is given,
// so the schedule is checked without a clock; the connection sleeps until the times it names.
class LinkSchedule {
public:
    using Clock = std::chrono::steady_clock;

    // Reads `settings` at every step: it must outlive the schedule.
    explicit LinkSchedule(const LinkSettings& settings) : settings_(settings) {}

    bool shaped() const { return settings_.shaped(); }

    // A request came in: the bytes sent next begin a new answer.
    void beginAnswer() { fresh_ = true; }
    // The time before which the next `bytes` of the answer must not have left. The first
    // bytes of an answer, ready at `now`, set off its journey: the latency runs from there,
    // added to whatever time the server spent on the request as a real round trip is, and
    // every byte up to these takes its share of the bandwidth after it.
    Clock::time_point reserve(size_t bytes, Clock::time_point now);

private:
    const LinkSettings& settings_;
    Clock::time_point start_{};
    uint64_t sent_ = 0;
    bool fresh_ = true;
};

} // namespace sqlsim::wire
