#include "wire/link.h"

#include <algorithm>

namespace sqlsim::wire {

namespace {

// How long the link takes for `bytes`: bytes over kilobytes per second give milliseconds; in
// nanoseconds, so that a packet on a fast link still costs its microseconds.
std::chrono::nanoseconds Carrying(uint64_t bytes, uint64_t kbps) {
    if (kbps == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(
        static_cast<int64_t>(static_cast<double>(bytes) * 1e6 / static_cast<double>(kbps)));
}

} // namespace

LinkSchedule::Clock::time_point LinkSchedule::reserve(size_t bytes, Clock::time_point now) {
    if (fresh_) {
        start_ = now;
        sent_ = 0;
        fresh_ = false;
    }
    sent_ += bytes;
    const auto paced = start_ + std::chrono::milliseconds(settings_.latencyMs) +
                       Carrying(sent_, settings_.bandwidthKbps);
    // Bytes the server was slow to produce find the link idle, but still take their own time
    // on it: a pause in the answer is no credit for a burst faster than the link afterwards.
    const auto late = now + Carrying(bytes, settings_.bandwidthKbps);
    return std::max(std::chrono::time_point_cast<Clock::duration>(paced),
                    std::chrono::time_point_cast<Clock::duration>(late));
}

} // namespace sqlsim::wire
