// How long work (a whole-database comparison, a search) reports progress and learns that it is
// to stop, without knowing whether a window or a terminal is watching. The worker calls the sink;
// the window re-posts the calls to its own thread, the command line writes them to standard
// error.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace orv {

// Set from any thread (the Stop button, a signal handler); read by the worker between steps.
class CancelToken {
public:
    void RequestCancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const noexcept { return cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled_{false};
};

// How a run ended. A cancelled run is not an error: it has results, only not all of them.
enum class RunOutcome { Completed, Cancelled, Failed };

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
