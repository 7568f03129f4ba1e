#include "util/progress.h"

#include <algorithm>

namespace orv {

void CancelToken::RequestCancel() noexcept {
    std::unique_lock lock(mutex_);
    if (cancelled_.exchange(true, std::memory_order_acq_rel))
        return;
    runner_ = std::this_thread::get_id();
    // Latest first: a query registered inside a step is stopped before the step's own watch.
    while (!callbacks_.empty()) {
        CancelCallback* callback = callbacks_.back();
        callbacks_.pop_back();
        running_ = callback;
        lock.unlock();
        callback->Run();
        lock.lock();
        running_ = nullptr;
        finished_.notify_all();
    }
}

bool CancelToken::Add(CancelCallback* callback) const {
    std::lock_guard lock(mutex_);
    if (cancelled_.load(std::memory_order_relaxed))
        return false;
    callbacks_.push_back(callback);
    return true;
}

void CancelToken::Remove(CancelCallback* callback) const {
    std::unique_lock lock(mutex_);
    auto it = std::find(callbacks_.begin(), callbacks_.end(), callback);
    if (it != callbacks_.end()) {
        callbacks_.erase(it);
        return;
    }
    // A callback that cancels its own owner may end it from inside; waiting would never end.
    if (runner_ != std::this_thread::get_id())
        finished_.wait(lock, [&] { return running_ != callback; });
}

CancelCallback::CancelCallback(const CancelToken& token, std::function<void()> onCancel)
    : token_(token), onCancel_(std::move(onCancel)) {
    if (!token_.Add(this))
        Run();
}

CancelCallback::~CancelCallback() {
    token_.Remove(this);
}

void CancelCallback::Run() noexcept {
    try {
        if (onCancel_)
            onCancel_();
    } catch (...) {
        // A stop that could not be passed on leaves the run to notice the flag by itself.
    }
}

} // namespace orv
