#include "ui/tools/frm_data_analyzer.h"

#include "core/help_topic.h"
#include "explore/analysis_report.h"
#include "export/export_file.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>
#include <exception>
#include <limits>

namespace orv {

namespace {

constexpr int kMargin = 8;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;
constexpr const char* kTitle = "Data Analyzer";

const char* const kHeaders[] = {"Column",
                                "Type",
                                "Rows",
                                "NULLs",
                                "NULL %",
                                "Distinct",
                                "Minimum",
                                "Maximum",
                                "Avg length",
                                "Max length",
                                "Most frequent values"};

AnalysisResultsPtr FailedAnalysis(const std::string& why) {
    auto r = std::make_shared<AnalysisResults>();
    r->Outcome = RunOutcome::Failed;
    r->Failure = why;
    return r;
}

} // namespace

frmDataAnalyzer::frmDataAnalyzer(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDataAnalyzer");
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose, false);

    lblTableName_ = new QLabel(this);
    lblTableName_->setObjectName("lblTableName");
    lblTableName_->setTextFormat(Qt::PlainText);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName("lblStatus");
    lblStatus_->setTextFormat(Qt::PlainText);
    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});

    grdProfile_ = new QTableWidget(0, static_cast<int>(std::size(kHeaders)), this);
    grdProfile_->setObjectName("grdProfile");
    QStringList headers;
    for (const char* h : kHeaders)
        headers << h;
    grdProfile_->setHorizontalHeaderLabels(headers);
    grdProfile_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdProfile_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdProfile_->verticalHeader()->setDefaultSectionSize(20);
    grdProfile_->horizontalHeader()->setStretchLastSection(true);
    grdProfile_->setToolTip("One row per column; figures computed by the server");

    auto button = [this](const char* name, const char* caption, const char* tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    cmdStop_ = button("cmdStop", "&Stop", "Stop the analysis and keep the columns done so far");
    cmdExportCsv_ = button("cmdExportCsv", "Export &CSV...", "Save the results as a CSV file");
    cmdExportHtml_ = button("cmdExportHtml", "Export &HTML...", "Save the results as an HTML page");
    cmdHelp_ = button("cmdHelp", "&Help", "Display Help (F1)");
    cmdExit_ = button("cmdExit", "E&xit", "Close the window");
    connect(cmdStop_, &QPushButton::clicked, this, &frmDataAnalyzer::Stop);
    connect(cmdExportCsv_, &QPushButton::clicked, this, [this] { Export(false); });
    connect(cmdExportHtml_, &QPushButton::clicked, this, [this] { Export(true); });
    connect(cmdHelp_, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopic); });
    connect(cmdExit_, &QPushButton::clicked, this, &frmDataAnalyzer::reject);
    cmdHelp_->setShortcut(QKeySequence(Qt::Key_F1));
    connect(&sink_, &QtProgressSink::Changed, this, &frmDataAnalyzer::ShowProgress);

    resize(900, 420);
    setMinimumSize(640, 300);
    Arrange();
}

frmDataAnalyzer::~frmDataAnalyzer() {
    if (cancel_)
        cancel_->RequestCancel();
    if (worker_.joinable())
        worker_.join();
}

void frmDataAnalyzer::Arrange() {
    const int w = width();
    const int h = height();
    lblTableName_->setGeometry(kMargin, kMargin, w - 2 * kMargin, 20);
    const int buttonTop = h - kMargin - kButtonHeight;
    const int statusTop = buttonTop - 8 - 20;
    grdProfile_->setGeometry(kMargin, kMargin + 26, w - 2 * kMargin, statusTop - kMargin - 34);
    lblStatus_->setGeometry(kMargin, statusTop, w / 2, 20);
    prbProgress_->setGeometry(w / 2 + kMargin, statusTop + 2, w / 2 - 2 * kMargin, 16);
    int left = kMargin;
    for (QPushButton* b : {cmdStop_, cmdExportCsv_, cmdExportHtml_}) {
        b->setGeometry(left, buttonTop, kButtonWidth, kButtonHeight);
        left += kButtonWidth + 6;
    }
    cmdExit_->setGeometry(w - kMargin - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    cmdHelp_->setGeometry(w - 2 * kMargin - 2 * kButtonWidth + 2, buttonTop, kButtonWidth,
                          kButtonHeight);
}

void frmDataAnalyzer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Arrange();
}

void frmDataAnalyzer::Start(const AnalysisRequest& request, const std::string& title,
                            AnalysisEngine engine) {
    if (running_ || worker_.joinable())
        return;
    title_ = title;
    setWindowTitle(Q(std::string(kTitle) + " - " + request.TableName));
    lblTableName_->setText(Q("Table: " + title));
    lblStatus_->setText("Reading the columns...");
    grdProfile_->setRowCount(0);
    prbProgress_->SetValue(0);
    prbProgress_->show();
    results_.reset();
    // Each run has its own Stop: a token once set stays set.
    cancel_ = std::make_shared<CancelToken>();
    running_ = true;
    cmdStop_->setEnabled(true);
    cmdStop_->show();
    cmdExportCsv_->setEnabled(false);
    cmdExportHtml_->setEnabled(false);
    worker_ = std::thread([this, request, engine = std::move(engine), cancel = cancel_] {
        AnalysisResultsPtr r;
        try {
            r = engine(request, sink_, *cancel);
        } catch (const std::exception& e) {
            r = FailedAnalysis(e.what());
        } catch (...) {
            r = FailedAnalysis("The analysis ended with an unexpected error.");
        }
        if (!r)
            r = FailedAnalysis("The analysis ended without results.");
        QMetaObject::invokeMethod(
            this, [this, r] { Finished(r); }, Qt::QueuedConnection);
    });
}

void frmDataAnalyzer::Stop() {
    if (!running_)
        return;
    cancel_->RequestCancel();
    cmdStop_->setEnabled(false);
    lblStatus_->setText("Stopping...");
}

void frmDataAnalyzer::ShowProgress(const ProgressSnapshot& s) {
    if (!cancel_ || cancel_->cancelRequested())
        return;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    prbProgress_->SetMax(static_cast<int32_t>(std::clamp<int64_t>(s.Total, 1, kMax)));
    prbProgress_->SetValue(static_cast<int32_t>(std::clamp<int64_t>(s.Done, 0, kMax)));
    QString text = Q(s.Step);
    if (s.Total > 0)
        text = QString("Column %1 of %2").arg(std::min(s.Done + 1, s.Total)).arg(s.Total);
    lblStatus_->setText(text);
}

void frmDataAnalyzer::Finished(AnalysisResultsPtr results) {
    if (worker_.joinable())
        worker_.join();
    sink_.Take();
    results_ = std::move(results);
    running_ = false;
    cmdStop_->setEnabled(false);
    FillGrid();
    const size_t done = results_->Columns.size();
    const bool any = done > 0;
    cmdExportCsv_->setEnabled(any);
    cmdExportHtml_->setEnabled(any);
    switch (results_->Outcome) {
    case RunOutcome::Completed:
        lblStatus_->setText(QString("%1 column(s) analyzed").arg(done) +
                            (results_->Skipped.empty()
                                 ? QString()
                                 : QString(", %1 ignored").arg(results_->Skipped.size())));
        break;
    case RunOutcome::Cancelled:
        lblStatus_->setText(QString("Stopped: %1 column(s) analyzed").arg(done));
        break;
    case RunOutcome::Failed:
        lblStatus_->setText("The analysis failed");
        break;
    }
    prbProgress_->hide();
    emit finished();
    if (results_->Outcome == RunOutcome::Failed)
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Analyze", results_->Failure);
}

void frmDataAnalyzer::FillGrid() {
    grdProfile_->setRowCount(static_cast<int>(results_->Columns.size()));
    int row = 0;
    for (const ColumnProfile& p : results_->Columns) {
        const std::vector<std::string> cells = ProfileCells(p);
        // column, rows, nulls, distinct, min, max, avg_len, max_len -> the grid's order.
        const std::string shown[] = {cells[0],         p.Type,   cells[1],        cells[2],
                                     NullRatioText(p), cells[3], cells[4],        cells[5],
                                     cells[6],         cells[7], TopValuesText(p)};
        for (int c = 0; c < static_cast<int>(std::size(shown)); ++c) {
            auto* item = new QTableWidgetItem(Q(shown[c]));
            if ((c >= 2 && c <= 5) || c == 8 || c == 9)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 10 || c == 6 || c == 7)
                item->setToolTip(Q(shown[c]));
            grdProfile_->setItem(row, c, item);
        }
        ++row;
    }
    grdProfile_->resizeColumnsToContents();
    for (int c = 0; c < grdProfile_->columnCount(); ++c)
        grdProfile_->setColumnWidth(c, std::min(grdProfile_->columnWidth(c), 220));
}

bool frmDataAnalyzer::Export(bool html) {
    if (!results_ || results_->Columns.empty())
        return false;
    Prompter& prompter = CurrentPrompter();
    FileDialogRequest request;
    request.save = true;
    request.title = "Export Data Analysis";
    request.filter = html ? "HTML files (*.html)|*.html" : "CSV files (*.csv)|*.csv";
    request.proposedPath = results_->Table + (html ? ".html" : ".csv");
    request.flags = 2054;
    const std::optional<std::string> path = prompter.FileDialog(request);
    if (!path || path->empty())
        return false;
    std::string error;
    const std::string bytes = html ? AnalysisHtml(*results_) : AnalysisCsv(*results_, true);
    if (!WriteExportFile(*path, bytes, error)) {
        prompter.MessageBox(MsgIcon::Warning, "Cannot Export", error);
        return false;
    }
    return true;
}

void frmDataAnalyzer::reject() {
    if (running_) {
        // Closing while it runs stops the run; the window goes once it has ended.
        Stop();
        connect(this, &frmDataAnalyzer::finished, this, &QDialog::reject, Qt::SingleShotConnection);
        return;
    }
    QDialog::reject();
}

void frmDataAnalyzer::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace orv
