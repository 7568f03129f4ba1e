// Measures how long the event loop goes without serving a 10 ms timer: a window that keeps
// its event loop turning shows gaps near 10 ms, one that blocks it shows the time it blocked.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace orv::test {

// The longest gap a test accepts. A loop the window blocks shows gaps of seconds; a busy
// machine running the sanitized build delays a healthy loop past 100 ms now and then.
constexpr qint64 kLongestHealthyGapMs = 250;

class GapMeter {
public:
    GapMeter() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            maxGap_ = std::max(maxGap_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    qint64 MaxGapMs() const { return maxGap_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 maxGap_ = 0;
};

} // namespace orv::test
