// The progress of long work, carried from its worker thread to the window. The worker may call
// the sink thousands of times a second; the window hears of it at most once per interval, as a
// snapshot of where the work stands, so a large run cannot flood the event loop.
#pragma once

#include "util/progress.h"

#include <QObject>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orv {

struct ProgressSnapshot {
    std::string Step;  // the current step ("Reading procedures of Sales")
    int64_t Total = 0; // its units; 0 when unknown
    int64_t Done = 0;  // units of the step finished
    std::string Item;  // the last item named
    // Notes and warnings that arrived since the previous snapshot.
    std::vector<std::string> Notes;
    std::vector<std::string> Warnings;
};

class QtProgressSink : public QObject, public ProgressSink {
    Q_OBJECT
public:
    // `intervalMs`: the shortest time between two snapshots delivered to the window.
    explicit QtProgressSink(int intervalMs = 50, QObject* parent = nullptr);

    // Any thread.
    void Begin(const std::string& step, int64_t total) override;
    void Advance(int64_t done, const std::string& item) override;
    void Note(const std::string& text) override;
    void Warn(const std::string& text) override;

    // The state now, taking the pending notes and warnings (GUI thread). Used by the window's
    // last look once the work has ended, whatever was delivered before: nothing taken is
    // delivered again afterwards.
    ProgressSnapshot Take();

    // How many snapshots have been delivered, and how many calls the worker made (tests).
    int64_t Deliveries() const { return deliveries_; }
    int64_t Calls() const;

signals:
    // On the thread this object lives in (the GUI thread).
    void Changed(const orv::ProgressSnapshot& snapshot);

private:
    // Called with the lock held: asks for a delivery unless one is already on its way.
    void RequestDeliveryLocked();
    ProgressSnapshot TakeLocked();
    void Deliver();
    void IntervalOver();

    const int intervalMs_;
    mutable std::mutex mutex_;
    ProgressSnapshot state_;
    bool dirty_ = false;   // changed since the last delivery
    bool pending_ = false; // a delivery is queued or the interval since the last one runs
    int64_t calls_ = 0;
    int64_t deliveries_ = 0; // GUI thread only
};

} // namespace orv

Q_DECLARE_METATYPE(orv::ProgressSnapshot)
