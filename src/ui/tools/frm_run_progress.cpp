#include "ui/tools/frm_run_progress.h"

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

namespace orv {

namespace {

constexpr int kProgressMargin = 10;
constexpr int kLine = 22;
constexpr int kProgressTickMs = 250;
constexpr const char* kNoTime = "00:00:00";

QString Grouped(int64_t n) {
    return QLocale(QLocale::English).toString(static_cast<qlonglong>(n));
}

} // namespace

frmRunProgress::frmRunProgress(RunProgressLook look, QWidget* parent)
    : QDialog(parent), look_(std::move(look)) {
    setObjectName(Q(look_.ObjectName));
    setModal(true);
    setWindowTitle(Q(look_.Title));
    const int width = look_.Width;

    int top = kProgressMargin;
    auto line = [&](const std::string& name) {
        auto* l = new QLabel(this);
        l->setObjectName(Q(name));
        l->setGeometry(kProgressMargin, top, width - 2 * kProgressMargin, kLine);
        // Names from the catalog are shown as they are, never read as markup; long ones are
        // cut in the middle rather than widening the window.
        l->setTextFormat(Qt::PlainText);
        top += kLine;
        return l;
    };
    lblStep_ = line("lblStep");
    lblItem_ = line(look_.ItemName);
    if (!look_.SideCounts.empty())
        lblSides_ = line("lblRows");
    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->setGeometry(kProgressMargin, top + 6, width - 2 * kProgressMargin, 18);
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});
    const int below = top + kLine + 12;
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName("lblCount");
    lblCount_->setTextFormat(Qt::PlainText);
    lblCount_->setGeometry(kProgressMargin, below, width - 220, kLine);
    lblTime_ = new QLabel(kNoTime, this);
    lblTime_->setObjectName("lblTime");
    lblTime_->setGeometry(width - kProgressMargin - 100, below, 100, kLine);
    lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    cmdStop_ = new QPushButton("&Stop", this);
    cmdStop_->setObjectName("cmdStop");
    cmdStop_->setToolTip(Q(look_.StopTip));
    cmdStop_->setAutoDefault(false);
    const int buttonTop = below + kLine + 10;
    cmdStop_->setGeometry((width - 110) / 2, buttonTop, 110, 28);
    setFixedSize(width, buttonTop + 28 + kProgressMargin);
    connect(cmdStop_, &QPushButton::clicked, this, &frmRunProgress::Stop);

    tmrTime_ = new QTimer(this);
    tmrTime_->setObjectName("tmrTime");
    tmrTime_->setInterval(kProgressTickMs);
    connect(tmrTime_, &QTimer::timeout, this, &frmRunProgress::Tick);
    connect(&sink_, &QtProgressSink::Changed, this, &frmRunProgress::Show);
}

frmRunProgress::~frmRunProgress() {
    cancel_->RequestCancel();
    if (worker_.joinable())
        worker_.join();
}

bool frmRunProgress::Run(const std::string& caption, Job job) {
    if (running_ || worker_.joinable())
        return false;
    setWindowTitle(Q(look_.Title + " - " + caption));
    lblStep_->setText("Starting...");
    lblItem_->clear();
    lblCount_->clear();
    lblTime_->setText(kNoTime);
    warnings_.clear();
    cancel_ = std::make_unique<CancelToken>();
    SetSideCounts(0, 0);
    started_.invalidate();
    Tick();
    cmdStop_->setEnabled(true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    running_ = true;
    started_.start();
    tmrTime_->start();
    worker_ = std::thread([this, job = std::move(job), &cancel = *cancel_] {
        if (job)
            job(sink_, cancel);
        QMetaObject::invokeMethod(
            this, [this] { Finished(); }, Qt::QueuedConnection);
    });
    QTimer::singleShot(0, this, [this] {
        if (running_)
            emit started();
    });
    exec();
    // The job's results live with the caller: they are whole only once its thread has ended.
    if (worker_.joinable())
        worker_.join();
    tmrTime_->stop();
    running_ = false;
    return true;
}

void frmRunProgress::Stop() {
    if (!running_)
        return;
    cancel_->RequestCancel();
    cmdStop_->setEnabled(false);
    lblStep_->setText(Q(look_.Stopping));
}

void frmRunProgress::SetSideCounts(int64_t source, int64_t target) {
    sides_[0].store(source);
    sides_[1].store(target);
}

void frmRunProgress::reject() {
    // The window stays until the run has ended; closing it asks the run to stop.
    if (running_)
        Stop();
    else
        QDialog::reject();
}

void frmRunProgress::closeEvent(QCloseEvent* event) {
    if (running_) {
        Stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmRunProgress::Show(const ProgressSnapshot& s) {
    if (!cancel_->cancelRequested())
        lblStep_->setText(Q(s.Step));
    lblItem_->setText(
        lblItem_->fontMetrics().elidedText(Q(s.Item), Qt::ElideMiddle, lblItem_->width()));
    warnings_.insert(warnings_.end(), s.Warnings.begin(), s.Warnings.end());
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (look_.HideUnsizedGauge)
        prbProgress_->setVisible(s.Total > 0);
    prbProgress_->SetMax(static_cast<int32_t>(std::clamp<int64_t>(s.Total, 1, kMax)));
    prbProgress_->SetValue(static_cast<int32_t>(std::clamp<int64_t>(s.Done, 0, kMax)));
    QString count = s.Total > 0 ? Grouped(s.Done) + " of " + Grouped(s.Total)
                                : Grouped(s.Done) + Q(look_.UnsizedCount);
    if (!look_.UnreadableNote.empty() && !warnings_.empty())
        count += QString("   (%1 %2)")
                     .arg(Grouped(static_cast<int64_t>(warnings_.size())), Q(look_.UnreadableNote));
    lblCount_->setText(count);
}

void frmRunProgress::Finished() {
    if (worker_.joinable())
        worker_.join();
    Show(sink_.Take());
    Tick();
    running_ = false;
    tmrTime_->stop();
    accept();
}

void frmRunProgress::Tick() {
    if (lblSides_)
        lblSides_->setText(Q(look_.SideCounts) + " - Source: " + Grouped(sides_[0].load()) +
                           "    Target: " + Grouped(sides_[1].load()));
    if (started_.isValid())
        lblTime_->setText(
            QTime(0, 0).addMSecs(static_cast<int>(started_.elapsed())).toString("hh:mm:ss"));
}

} // namespace orv
