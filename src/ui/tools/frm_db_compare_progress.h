// frmDbCompareProgress: runs a whole-database comparison on a worker thread and shows how far it
// has come (the step, the object just read or compared, a gauge, the elapsed time) with a Stop
// button. The window is modal and closes itself when the run ends; the event loop keeps
// serving it throughout, because the worker only ever talks to a progress sink.
#pragma once

#include "dbcompare/db_compare.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>
#include <string>
#include <thread>

class QLabel;
class QPushButton;
class QTimer;

namespace orv {

class Gauge;

// What runs the comparison; RunDbCompare unless a caller (a test) supplies another.
using DbCompareEngine =
    std::function<DbCompareResultsPtr(const DbCompareRequest&, ProgressSink&, const CancelToken&)>;

class frmDbCompareProgress : public QDialog {
    Q_OBJECT
public:
    explicit frmDbCompareProgress(QWidget* parent = nullptr);
    // Asks a run still going to stop and waits for its thread.
    ~frmDbCompareProgress() override;

    // Runs the comparison and returns when it has ended (completed, stopped or failed); the
    // results are never null. `caption` names the comparison in the title.
    DbCompareResultsPtr ShowUp(const std::string& caption, const DbCompareRequest& request,
                               DbCompareEngine engine = RunDbCompare);

    // The Stop button: the run ends at its next check with the results gathered so far.
    void Stop();
    bool Running() const { return running_; }
    bool StopRequested() const { return cancel_.cancelRequested(); }

    QLabel* StepLabel() const { return lblStep_; }
    QLabel* ObjectLabel() const { return lblObject_; }
    QLabel* CountLabel() const { return lblCount_; }
    QPushButton* StopButton() const { return cmdStop_; }
    Gauge* ProgressGauge() const { return prbProgress_; }
    const QtProgressSink& Sink() const { return sink_; }
    // Warnings the run reported (objects it could not read), in order.
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
    void Finished(DbCompareResultsPtr results);
    void UpdateTime();

    QtProgressSink sink_;
    CancelToken cancel_;
    std::thread worker_;
    bool running_ = false;
    DbCompareResultsPtr results_;
    std::vector<std::string> warnings_;
    QElapsedTimer started_;

    QLabel* lblStep_;
    QLabel* lblObject_;
    QLabel* lblCount_;
    QLabel* lblTime_;
    Gauge* prbProgress_;
    QPushButton* cmdStop_;
    QTimer* tmrTime_;
};

} // namespace orv
