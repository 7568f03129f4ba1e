// Carries a shaped connection's answer bytes on a thread of its own, each packet at the time
// the link schedule names, so that the engine goes on producing rows while earlier ones are in
// flight: a server writes into its socket's buffer and keeps working until that buffer is
// full. Without it the engine would wait out every packet's time on the link, and the time a
// statement spends before its first row (a sort, a later statement of the batch) would be added
// to the transfer instead of overlapping it.
#pragma once

#include "wire/link.h"
#include "wire/tls.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace sqlsim::wire {

class LinkSender {
public:
    using Clock = LinkSchedule::Clock;

    // At most `bufferBytes` wait to be carried at once; a sender with more waits, as a write
    // into a full socket buffer does.
    explicit LinkSender(size_t bufferBytes);
    // Carries what is queued, then stops.
    ~LinkSender();
    LinkSender(const LinkSender&) = delete;
    LinkSender& operator=(const LinkSender&) = delete;

    // Queues `bytes` to be written to `out` no earlier than `at`, after everything queued
    // before; false once a write has failed (the peer is gone).
    bool send(Clock::time_point at, std::span<const uint8_t> bytes, Transport* out);
    // Waits until everything queued is written; false when a write failed.
    bool drain();

private:
    struct Chunk {
        Clock::time_point at;
        std::vector<uint8_t> bytes;
        Transport* out;
    };

    void carry();

    const size_t bufferBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    size_t queuedBytes_ = 0;
    bool writing_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sqlsim::wire
