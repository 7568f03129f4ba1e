// How long work (a whole-database comparison, a search) reports progress and learns that it is
// to stop, without knowing whether a window or a terminal is watching. The worker calls the sink;
// the window re-posts the calls to its own thread, the command line writes them to standard
// error.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orv {

class CancelCallback;

// The one way to stop a run. Set from any thread (the Stop button, a thread woken by Ctrl-C);
// read by the worker between steps. What waits on something that cannot read the flag (a query
// the server is still running) registers a CancelCallback, which RequestCancel runs at once.
class CancelToken {
public:
    CancelToken() = default;
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // Marks the token and runs every registered callback, on the calling thread, before it
    // returns; later calls do nothing. Not for a signal handler: the callbacks take locks.
    void RequestCancel() noexcept;
    bool cancelRequested() const noexcept { return cancelled_.load(std::memory_order_acquire); }

private:
    friend class CancelCallback;
    // Lists the callback; false (not listed) when the token is already set.
    bool Add(CancelCallback* callback) const;
    // Unlists the callback; when RequestCancel is running it on another thread, waits for it.
    void Remove(CancelCallback* callback) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    mutable std::vector<CancelCallback*> callbacks_;
    mutable const CancelCallback* running_ = nullptr;
    mutable std::thread::id runner_;
    std::atomic<bool> cancelled_{false};
};

// Runs `onCancel` once when the token is set: at once (on this thread) when it already is,
// else on the thread that sets it. After the destructor returns the callback neither runs nor
// is running, so it may use whatever it refers to until then.
class CancelCallback {
public:
    CancelCallback(const CancelToken& token, std::function<void()> onCancel);
    ~CancelCallback();
    CancelCallback(const CancelCallback&) = delete;
    CancelCallback& operator=(const CancelCallback&) = delete;

private:
    friend class CancelToken;
    void Run() noexcept;

    const CancelToken& token_;
    std::function<void()> onCancel_;
};

// How a run ended. A cancelled run is not an error: it has results, only not all of them.
enum class RunOutcome { Completed, Cancelled, Failed };

// What a cancelled run says, in the window and on the command line.
constexpr const char* kStoppedByUser = "Stopped by the user.";

// The observer of one run. A worker calls it from its own thread; the engine that owns the run
// makes sure two of its threads never call the same sink at once.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // A new step ("Reading procedures of Sales") of `total` units; total 0 when unknown.
    virtual void Begin(const std::string& step, int64_t total) = 0;
    // `done` more units of the current step are finished; `item` names the last one, if any.
    virtual void Advance(int64_t done, const std::string& item) = 0;
    // Information worth a line of its own (not a unit of work).
    virtual void Note(const std::string& text) = 0;
    // Something went wrong but the run goes on (an object that could not be read).
    virtual void Warn(const std::string& text) = 0;
};

// For callers that do not watch.
class NullProgressSink final : public ProgressSink {
public:
    void Begin(const std::string&, int64_t) override {}
    void Advance(int64_t, const std::string&) override {}
    void Note(const std::string&) override {}
    void Warn(const std::string&) override {}
};

} // namespace orv
