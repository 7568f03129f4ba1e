// frmDataCompareProgress: runs a data comparison on a worker thread and shows how far it has
// come (the table being compared, the rows read on each side, the tables done, the elapsed
// time) with a Stop button. Modal; closes itself when the run ends. A stopped run still hands
// back what it compared, marked incomplete.
#pragma once

#include "dbcompare/data_compare.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QDialog>
#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class QLabel;
class QPushButton;
class QTimer;

namespace orv {

class Gauge;

// What runs the comparison; RunDataCompare unless a caller (a test) supplies another.
using DataCompareEngine = std::function<DataCompareResultsPtr(const DataCompareRequest&,
                                                              ProgressSink&, const CancelToken&)>;

class frmDataCompareProgress : public QDialog {
    Q_OBJECT
public:
    explicit frmDataCompareProgress(QWidget* parent = nullptr);
    // Asks a run still going to stop and waits for its thread.
    ~frmDataCompareProgress() override;

    // Runs the comparison and returns when it has ended (completed, stopped or failed); the
    // results are never null. `caption` names the comparison in the title.
    DataCompareResultsPtr ShowUp(const std::string& caption, const DataCompareRequest& request,
                                 DataCompareEngine engine = RunDataCompare);

    // The Stop button: the run ends at its next check with the rows compared so far.
    void Stop();
    bool Running() const { return running_; }
    bool StopRequested() const { return cancel_.cancelRequested(); }
    // Rows read on each side of the current pair, as last reported.
    int64_t RowsRead(int side) const { return rows_[side].load(); }

    QLabel* StepLabel() const { return lblStep_; }
    QLabel* TableLabel() const { return lblTable_; }
    QLabel* RowsLabel() const { return lblRows_; }
    QLabel* CountLabel() const { return lblCount_; }
    QPushButton* StopButton() const { return cmdStop_; }
    Gauge* ProgressGauge() const { return prbProgress_; }

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
    void Finished(DataCompareResultsPtr results);
    void Tick();

    QtProgressSink sink_;
    CancelToken cancel_;
    std::thread worker_;
    bool running_ = false;
    std::atomic<int64_t> rows_[2]{0, 0};
    DataCompareResultsPtr results_;
    QElapsedTimer started_;

    QLabel* lblStep_;
    QLabel* lblTable_;
    QLabel* lblRows_;
    QLabel* lblCount_;
    QLabel* lblTime_;
    Gauge* prbProgress_;
    QPushButton* cmdStop_;
    QTimer* tmrTime_;
};

} // namespace orv
