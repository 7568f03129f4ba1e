#include "ui/tools/frm_data_compare_progress.h"

#include "ui/tools/guarded_engine_run.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>

namespace orv {

namespace {

constexpr int kWidth = 540;
constexpr int kMargin = 10;
constexpr int kLine = 22;
constexpr int kTickMs = 250;

QString Grouped(int64_t n) {
    return QLocale(QLocale::English).toString(static_cast<qlonglong>(n));
}

// The results of a run whose engine ended without any: nothing compared, failed.
DataCompareResultsPtr FailedRun(const DataCompareRequest& request, const std::string& problem) {
    auto r = std::make_shared<DataCompareResults>();
    for (int i = 0; i < 2; ++i) {
        r->ServerName[i] = request.Place[i].Server.Name;
        r->DbName[i] = request.Place[i].Database;
    }
    r->CaseSensitive = request.CaseSensitive;
    r->Outcome = RunOutcome::Failed;
    r->Problem = problem;
    return r;
}

} // namespace

frmDataCompareProgress::frmDataCompareProgress(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDataCompareProgress");
    setModal(true);
    setWindowTitle("Comparing Data");

    auto label = [this](const char* name, int top) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setGeometry(kMargin, top, kWidth - 2 * kMargin, kLine);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    lblStep_ = label("lblStep", kMargin);
    lblTable_ = label("lblTable", kMargin + kLine);
    lblRows_ = label("lblRows", kMargin + 2 * kLine);
    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->setGeometry(kMargin, kMargin + 3 * kLine + 6, kWidth - 2 * kMargin, 18);
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});
    const int below = kMargin + 4 * kLine + 12;
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName("lblCount");
    lblCount_->setGeometry(kMargin, below, 320, kLine);
    lblTime_ = new QLabel("00:00:00", this);
    lblTime_->setObjectName("lblTime");
    lblTime_->setGeometry(kWidth - kMargin - 100, below, 100, kLine);
    lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    cmdStop_ = new QPushButton("&Stop", this);
    cmdStop_->setObjectName("cmdStop");
    cmdStop_->setToolTip("Stop the comparison and show the rows compared so far (Esc)");
    cmdStop_->setAutoDefault(false);
    const int buttonTop = below + kLine + 10;
    cmdStop_->setGeometry((kWidth - 110) / 2, buttonTop, 110, 28);
    setFixedSize(kWidth, buttonTop + 28 + kMargin);
    connect(cmdStop_, &QPushButton::clicked, this, &frmDataCompareProgress::Stop);

    tmrTime_ = new QTimer(this);
    tmrTime_->setObjectName("tmrTime");
    tmrTime_->setInterval(kTickMs);
    connect(tmrTime_, &QTimer::timeout, this, &frmDataCompareProgress::Tick);
    connect(&sink_, &QtProgressSink::Changed, this, &frmDataCompareProgress::Show);
}

frmDataCompareProgress::~frmDataCompareProgress() {
    cancel_.RequestCancel();
    if (worker_.joinable())
        worker_.join();
}

DataCompareResultsPtr frmDataCompareProgress::ShowUp(const std::string& caption,
                                                     const DataCompareRequest& request,
                                                     DataCompareEngine engine) {
    if (running_ || worker_.joinable())
        return FailedRun(request, "A comparison is already running.");
    setWindowTitle(Q("Comparing Data - " + caption));
    lblStep_->setText("Starting...");
    lblTable_->clear();
    lblCount_->clear();
    rows_[0] = 0;
    rows_[1] = 0;
    Tick();
    results_.reset();
    cmdStop_->setEnabled(true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // The row counts come from the worker many times a second; the window reads them on its
    // own tick, so they never queue up behind each other.
    DataCompareRequest run = request;
    run.RowsRead = [this, chained = request.RowsRead](int64_t source, int64_t target) {
        rows_[0].store(source);
        rows_[1].store(target);
        if (chained)
            chained(source, target);
    };
    running_ = true;
    started_.start();
    tmrTime_->start();
    worker_ = std::thread([this, run = std::move(run), engine = std::move(engine)] {
        const DataCompareResultsPtr r =
            RunEngineGuarded<DataCompareResultsPtr>(engine, run, sink_, cancel_, FailedRun);
        QMetaObject::invokeMethod(
            this, [this, r] { Finished(r); }, Qt::QueuedConnection);
    });
    QTimer::singleShot(0, this, [this] {
        if (running_)
            emit started();
    });
    exec();
    if (worker_.joinable())
        worker_.join();
    tmrTime_->stop();
    return results_ ? results_ : FailedRun(request, "The comparison ended without results.");
}

void frmDataCompareProgress::Stop() {
    if (!running_)
        return;
    cancel_.RequestCancel();
    cmdStop_->setEnabled(false);
    lblStep_->setText("Stopping - the rows compared so far are kept...");
}

void frmDataCompareProgress::reject() {
    if (running_)
        Stop();
    else
        QDialog::reject();
}

void frmDataCompareProgress::closeEvent(QCloseEvent* event) {
    if (running_) {
        Stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmDataCompareProgress::Show(const ProgressSnapshot& s) {
    if (!cancel_.cancelRequested())
        lblStep_->setText(Q(s.Step));
    lblTable_->setText(
        lblTable_->fontMetrics().elidedText(Q(s.Item), Qt::ElideMiddle, lblTable_->width()));
    // A step of unknown size (the rows of a table) has no gauge that could mean anything.
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    prbProgress_->setVisible(s.Total > 0);
    prbProgress_->SetMax(static_cast<int32_t>(std::clamp<int64_t>(s.Total, 1, kMax)));
    prbProgress_->SetValue(static_cast<int32_t>(std::clamp<int64_t>(s.Done, 0, kMax)));
    lblCount_->setText(s.Total > 0 ? Grouped(s.Done) + " of " + Grouped(s.Total)
                                   : Grouped(s.Done) + " rows read in this step");
}

void frmDataCompareProgress::Finished(DataCompareResultsPtr results) {
    if (worker_.joinable())
        worker_.join();
    Show(sink_.Take());
    Tick();
    results_ = std::move(results);
    running_ = false;
    tmrTime_->stop();
    accept();
}

void frmDataCompareProgress::Tick() {
    lblRows_->setText("Rows read - Source: " + Grouped(rows_[0].load()) +
                      "    Target: " + Grouped(rows_[1].load()));
    if (started_.isValid())
        lblTime_->setText(
            QTime(0, 0).addMSecs(static_cast<int>(started_.elapsed())).toString("hh:mm:ss"));
}

} // namespace orv
