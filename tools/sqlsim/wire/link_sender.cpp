#include "wire/link_sender.h"

namespace sqlsim::wire {

LinkSender::LinkSender(size_t bufferBytes) : bufferBytes_(bufferBytes) {}

LinkSender::~LinkSender() {
    drain();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool LinkSender::send(Clock::time_point at, std::span<const uint8_t> bytes, Transport* out) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A packet larger than the buffer still goes, alone.
    changed_.wait(lock, [&] {
        return failed_ || queuedBytes_ == 0 || queuedBytes_ + bytes.size() <= bufferBytes_;
    });
    if (failed_)
        return false;
    if (!thread_.joinable())
        thread_ = std::thread([this] { carry(); });
    queue_.push_back({at, std::vector<uint8_t>(bytes.begin(), bytes.end()), out});
    queuedBytes_ += bytes.size();
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool LinkSender::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || (queue_.empty() && !writing_); });
    return !failed_;
}

void LinkSender::carry() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and nothing left
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        lock.unlock();
        std::this_thread::sleep_until(chunk.at);
        const bool ok = chunk.out->write(chunk.bytes);
        lock.lock();
        writing_ = false;
        queuedBytes_ -= chunk.bytes.size();
        if (!ok) {
            failed_ = true;
            queue_.clear();
            queuedBytes_ = 0;
        }
        changed_.notify_all();
    }
}

} // namespace sqlsim::wire
