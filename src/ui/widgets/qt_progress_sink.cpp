#include "ui/widgets/qt_progress_sink.h"

#include <QMetaObject>
#include <QTimer>

namespace orv {

QtProgressSink::QtProgressSink(int intervalMs, QObject* parent)
    : QObject(parent), intervalMs_(intervalMs) {
    qRegisterMetaType<ProgressSnapshot>();
}

void QtProgressSink::Begin(const std::string& step, int64_t total) {
    std::lock_guard lock(mutex_);
    ++calls_;
    state_.Step = step;
    state_.Total = total;
    state_.Done = 0;
    state_.Item.clear();
    RequestDeliveryLocked();
}

void QtProgressSink::Advance(int64_t done, const std::string& item) {
    std::lock_guard lock(mutex_);
    ++calls_;
    state_.Done += done;
    if (!item.empty())
        state_.Item = item;
    RequestDeliveryLocked();
}

void QtProgressSink::Note(const std::string& text) {
    std::lock_guard lock(mutex_);
    ++calls_;
    state_.Notes.push_back(text);
    RequestDeliveryLocked();
}

void QtProgressSink::Warn(const std::string& text) {
    std::lock_guard lock(mutex_);
    ++calls_;
    state_.Warnings.push_back(text);
    RequestDeliveryLocked();
}

int64_t QtProgressSink::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void QtProgressSink::RequestDeliveryLocked() {
    dirty_ = true;
    if (pending_)
        return;
    pending_ = true;
    // Queued even when called on the GUI thread itself: a sink never calls back into the
    // window from inside the worker's call.
    QMetaObject::invokeMethod(this, &QtProgressSink::Deliver, Qt::QueuedConnection);
}

ProgressSnapshot QtProgressSink::TakeLocked() {
    ProgressSnapshot s = state_;
    state_.Notes.clear();
    state_.Warnings.clear();
    dirty_ = false;
    return s;
}

ProgressSnapshot QtProgressSink::Take() {
    std::lock_guard lock(mutex_);
    return TakeLocked();
}

void QtProgressSink::Deliver() {
    ProgressSnapshot s;
    {
        std::lock_guard lock(mutex_);
        // Taken since the delivery was asked for (the window's last look at the end of the
        // work): a late snapshot would put the progress of work already over back in sight.
        if (!dirty_) {
            pending_ = false;
            return;
        }
        s = TakeLocked();
    }
    ++deliveries_;
    emit Changed(s);
    // The next delivery waits for the interval to pass; whatever happens meanwhile is carried
    // by that one.
    QTimer::singleShot(intervalMs_, this, &QtProgressSink::IntervalOver);
}

void QtProgressSink::IntervalOver() {
    std::unique_lock lock(mutex_);
    pending_ = false;
    if (!dirty_)
        return;
    pending_ = true;
    lock.unlock();
    Deliver();
}

} // namespace orv
