// frmDataAnalyzer, "Data Analyzer": the profile of one table's columns, worked out by the
// server on a worker thread while the window shows which column it is at; Stop keeps what was
// analyzed so far. The results can be exported as CSV or HTML.
#pragma once

#include "explore/data_analyzer.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QPushButton;
class QTableWidget;

namespace orv {

class Gauge;

using AnalysisEngine =
    std::function<AnalysisResultsPtr(const AnalysisRequest&, ProgressSink&, const CancelToken&)>;

class frmDataAnalyzer : public QDialog {
    Q_OBJECT
public:
    explicit frmDataAnalyzer(QWidget* parent = nullptr);
    ~frmDataAnalyzer() override;

    // Starts the analysis and returns at once; the window shows its progress and results.
    // `title` names the table for the window ("Orders (Database: Sales, Server: s1)").
    void Start(const AnalysisRequest& request, const std::string& title,
               AnalysisEngine engine = AnalyzeTableData);

    void Stop();
    // Writes the results to a file chosen in the save dialog; false when nothing was written.
    bool Export(bool html);

    bool Running() const { return running_; }
    AnalysisResultsPtr Results() const { return results_; }
    QTableWidget* Grid() const { return grdProfile_; }

    static constexpr int kHelpTopic = 551;

signals:
    // The run has ended (its results are in Results()).
    void finished();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowProgress(const ProgressSnapshot& s);
    void Finished(AnalysisResultsPtr results);
    void FillGrid();
    void Arrange();

    QtProgressSink sink_;
    std::shared_ptr<CancelToken> cancel_;
    std::thread worker_;
    bool running_ = false;
    AnalysisResultsPtr results_;
    std::string title_;

    QLabel* lblTableName_;
    QLabel* lblStatus_;
    Gauge* prbProgress_;
    QTableWidget* grdProfile_;
    QPushButton* cmdStop_;
    QPushButton* cmdExportCsv_;
    QPushButton* cmdExportHtml_;
    QPushButton* cmdHelp_;
    QPushButton* cmdExit_;
};

} // namespace orv
