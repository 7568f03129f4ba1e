#include "ui/tools/frm_db_compare_progress.h"

#include "ui/tools/guarded_engine_run.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
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

constexpr int kWidth = 520;
constexpr int kMargin = 10;
constexpr int kLine = 22;
constexpr int kTimeTickMs = 500;

// The results of a run whose engine ended without any: nothing gathered, failed.
DbCompareResultsPtr FailedRun(const DbCompareRequest& request, const std::string& problem) {
    auto r = std::make_shared<DbCompareResults>();
    r->Kind = request.Kind;
    r->Details = request.Details;
    for (int i = 0; i < 2; ++i) {
        r->ServerName[i] = request.Server[i].Name;
        r->DbName[i] = request.Database[i];
    }
    r->Types = request.Types;
    r->Outcome = RunOutcome::Failed;
    r->Problem = problem;
    return r;
}

QString Grouped(int64_t n) {
    return QLocale(QLocale::English).toString(static_cast<qlonglong>(n));
}

} // namespace

frmDbCompareProgress::frmDbCompareProgress(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDbCompareProgress");
    setModal(true);
    setWindowTitle("Comparing");

    auto label = [this](const char* name, int top) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setGeometry(kMargin, top, kWidth - 2 * kMargin, kLine);
        return l;
    };
    lblStep_ = label("lblStep", kMargin);
    lblObject_ = label("lblObject", kMargin + kLine);
    // Long names are cut in the middle rather than widening the window.
    lblObject_->setTextFormat(Qt::PlainText);
    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->setGeometry(kMargin, kMargin + 2 * kLine + 6, kWidth - 2 * kMargin, 18);
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});
    const int below = kMargin + 3 * kLine + 12;
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName("lblCount");
    lblCount_->setGeometry(kMargin, below, 300, kLine);
    lblTime_ = new QLabel("00:00:00", this);
    lblTime_->setObjectName("lblTime");
    lblTime_->setGeometry(kWidth - kMargin - 100, below, 100, kLine);
    lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    cmdStop_ = new QPushButton("&Stop", this);
    cmdStop_->setObjectName("cmdStop");
    cmdStop_->setToolTip("Stop the comparison and show the objects compared so far (Esc)");
    cmdStop_->setAutoDefault(false);
    const int buttonTop = below + kLine + 10;
    cmdStop_->setGeometry((kWidth - 110) / 2, buttonTop, 110, 28);
    setFixedSize(kWidth, buttonTop + 28 + kMargin);
    connect(cmdStop_, &QPushButton::clicked, this, &frmDbCompareProgress::Stop);

    tmrTime_ = new QTimer(this);
    tmrTime_->setObjectName("tmrTime");
    tmrTime_->setInterval(kTimeTickMs);
    connect(tmrTime_, &QTimer::timeout, this, &frmDbCompareProgress::UpdateTime);

    connect(&sink_, &QtProgressSink::Changed, this, &frmDbCompareProgress::Show);
}

frmDbCompareProgress::~frmDbCompareProgress() {
    cancel_.RequestCancel();
    if (worker_.joinable())
        worker_.join();
}

DbCompareResultsPtr frmDbCompareProgress::ShowUp(const std::string& caption,
                                                 const DbCompareRequest& request,
                                                 DbCompareEngine engine) {
    if (running_ || worker_.joinable())
        return FailedRun(request, "A comparison is already running.");
    setWindowTitle(Q("Comparing - " + caption));
    lblStep_->setText("Starting...");
    lblObject_->clear();
    lblCount_->clear();
    results_.reset();
    warnings_.clear();
    cmdStop_->setEnabled(true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    running_ = true;
    started_.start();
    tmrTime_->start();
    worker_ = std::thread([this, request, engine = std::move(engine)] {
        const DbCompareResultsPtr r =
            RunEngineGuarded<DbCompareResultsPtr>(engine, request, sink_, cancel_, FailedRun);
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

void frmDbCompareProgress::Stop() {
    if (!running_)
        return;
    cancel_.RequestCancel();
    cmdStop_->setEnabled(false);
    lblStep_->setText("Stopping - finishing the current object...");
}

void frmDbCompareProgress::reject() {
    // The window stays until the run has ended; closing it asks the run to stop.
    if (running_)
        Stop();
    else
        QDialog::reject();
}

void frmDbCompareProgress::closeEvent(QCloseEvent* event) {
    if (running_) {
        Stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmDbCompareProgress::Show(const ProgressSnapshot& s) {
    if (!cancel_.cancelRequested())
        lblStep_->setText(Q(s.Step));
    lblObject_->setText(
        lblObject_->fontMetrics().elidedText(Q(s.Item), Qt::ElideMiddle, lblObject_->width()));
    warnings_.insert(warnings_.end(), s.Warnings.begin(), s.Warnings.end());
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    prbProgress_->SetMax(static_cast<int32_t>(std::clamp<int64_t>(s.Total, 1, kMax)));
    prbProgress_->SetValue(static_cast<int32_t>(std::clamp<int64_t>(s.Done, 0, kMax)));
    QString count = s.Total > 0 ? Grouped(s.Done) + " of " + Grouped(s.Total) : Grouped(s.Done);
    if (!warnings_.empty())
        count +=
            QString("   (%1 not readable)").arg(Grouped(static_cast<int64_t>(warnings_.size())));
    lblCount_->setText(count);
}

void frmDbCompareProgress::Finished(DbCompareResultsPtr results) {
    if (worker_.joinable())
        worker_.join();
    Show(sink_.Take());
    results_ = std::move(results);
    running_ = false;
    tmrTime_->stop();
    accept();
}

void frmDbCompareProgress::UpdateTime() {
    lblTime_->setText(
        QTime(0, 0).addMSecs(static_cast<int>(started_.elapsed())).toString("hh:mm:ss"));
}

} // namespace orv
