// frmRunProgress: runs long work on a worker thread and shows how far it has come (the step, the
// item in hand, optionally a count per side, a gauge, the elapsed time) with a Stop button. The
// window is modal and closes itself when the run ends; the event loop keeps serving it
// throughout, because the worker only ever talks to a progress sink. What the lines are called
// and what Stop says is given by the run (RunProgressLook), so every kind of run (whole-database
// and data comparisons, scripts) shows the same window.
#pragma once

#include "ui/tools/guarded_engine_run.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QDialog>
#include <QElapsedTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;

namespace orv {

class Gauge;

// The words and shape of the window for one kind of run.
struct RunProgressLook {
    std::string ObjectName;   // the window's object name
    std::string Title;        // the title before " - <caption>"
    std::string ItemName;     // object name of the line naming the item in hand
    std::string StopTip;      // the Stop button's tool tip
    std::string Stopping;     // the step line once Stop was pressed
    std::string SideCounts;   // "Rows read": a line of Source and Target counts; empty for none
    std::string UnsizedCount; // after the count of a step of unknown size
    bool HideUnsizedGauge = false; // a step of unknown size shows no gauge
    std::string UnreadableNote;    // "not readable": warnings counted after the count; empty: none
    int Width = 520;
};

class frmRunProgress : public QDialog {
    Q_OBJECT
public:
    using Job = std::function<void(ProgressSink&, const CancelToken&)>;

    explicit frmRunProgress(RunProgressLook look, QWidget* parent = nullptr);
    // Asks a run still going to stop and waits for its thread.
    ~frmRunProgress() override;

    // Runs `job` on a worker thread while the window is shown, and returns when it has ended.
    // False, running nothing, when a run is already going. `caption` names the run in the
    // title.
    bool Run(const std::string& caption, Job job);

    // The Stop button: the run ends at its next check with what it gathered so far.
    void Stop();
    bool Running() const { return running_; }
    bool StopRequested() const { return cancel_->cancelRequested(); }

    // The count per side (Source 0, Target 1); any thread. The window reads them on its own
    // tick, so counts reported many times a second never queue up behind each other.
    void SetSideCounts(int64_t source, int64_t target);
    int64_t SideCount(int side) const { return sides_[side & 1].load(); }

    QLabel* StepLabel() const { return lblStep_; }
    QLabel* ItemLabel() const { return lblItem_; }
    // Null when the run shows no counts per side.
    QLabel* SideCountsLabel() const { return lblSides_; }
    QLabel* CountLabel() const { return lblCount_; }
    QPushButton* StopButton() const { return cmdStop_; }
    Gauge* ProgressGauge() const { return prbProgress_; }
    const QtProgressSink& Sink() const { return sink_; }
    // Warnings the run reported, in order.
    const std::vector<std::string>& Warnings() const { return warnings_; }

signals:
    // The run has begun; the window is shown (tests press Stop from here).
    void started();

public slots:
    // Esc and the window's close button stop the run; the window closes when it has ended.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Show(const ProgressSnapshot& s);
    void Finished();
    void Tick();

    const RunProgressLook look_;
    QtProgressSink sink_;
    // A fresh one for every run: a window used again after a Stop must not start stopped.
    std::unique_ptr<CancelToken> cancel_ = std::make_unique<CancelToken>();
    std::thread worker_;
    bool running_ = false;
    std::atomic<int64_t> sides_[2]{0, 0};
    std::vector<std::string> warnings_;
    QElapsedTimer started_;

    QLabel* lblStep_;
    QLabel* lblItem_;
    QLabel* lblSides_ = nullptr;
    QLabel* lblCount_;
    QLabel* lblTime_;
    Gauge* prbProgress_;
    QPushButton* cmdStop_;
    QTimer* tmrTime_;
};

// Runs `engine` over `request` in `window` and returns its results, never null: a failed run's,
// made by `failed(request, why)`, when the engine threw, gave none or could not start.
template <class ResultsPtr, class Request, class Engine, class Failed>
ResultsPtr RunEngineInWindow(frmRunProgress& window, const std::string& caption,
                             const Request& request, const Engine& engine, Failed failed) {
    ResultsPtr results;
    const bool ran = window.Run(caption, [&](ProgressSink& sink, const CancelToken& cancel) {
        results = RunEngineGuarded<ResultsPtr>(engine, request, sink, cancel, failed);
    });
    if (!ran)
        return failed(request, "A comparison is already running.");
    return results ? results : failed(request, "The comparison ended without results.");
}

} // namespace orv
