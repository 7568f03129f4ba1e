#include "ui/tools/frm_get_db_info.h"

#include "catalog/catalog_error.h"
#include "catalog/db_info_report.h"
#include "compare/compare_sel_procs.h"
#include "core/program_info.h"
#include "servers/server_list.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTime>
#include <QTimer>

#include <ctime>

namespace orv {
namespace {

constexpr int kWidth = 420;
constexpr int kTickMs = 150;
constexpr int kLineHeight = 22;
constexpr int kDotCount = 15;

} // namespace

// Carries the analysis' progress into the window's controls and serves the event loop at the
// points where the user may have pressed Cancel.
class frmGetDbInfo::Runner : public DbInfoRunner {
public:
    explicit Runner(frmGetDbInfo& w) : w_(w) {}
    void StepStarted(int step, const std::string& caption) override {
        QLabel* label = w_.lblComparing_[static_cast<size_t>(step)];
        label->setText(Q(caption));
        label->show();
        emit w_.stepStarted(step);
        Yield();
    }
    void ListingStarted() override {
        w_.lblComparing_[6]->clear();
        w_.lblComparing_[6]->show();
    }
    void StepFinished(int step, const std::string& caption) override {
        w_.lblComparing_[static_cast<size_t>(step)]->setText(Q(caption + " Finished"));
    }
    void UpdateElapsed() override { w_.UpdateTime(); }
    void ShowProgress(const std::string& caption) override {
        w_.lblComparing_[6]->setText(Q(caption));
        Yield();
    }
    void Yield() {
        QApplication::processEvents();
        mblnCancel = w_.mblnCancel;
    }

private:
    frmGetDbInfo& w_;
};

frmGetDbInfo::frmGetDbInfo(QWidget* parent) : QDialog(parent) {
    setObjectName("frmGetDbInfo");
    setWindowTitle("Analyzing Database");
    setModal(true);

    // The selection frame belongs to the window's design; this analysis never shows it.
    fraContainer_[0] = new QFrame(this);
    fraContainer_[0]->setObjectName("fraContainer(0)");
    lblInfo_ = new QLabel("Select objects to be compared:", this);
    lblInfo_->setObjectName("lblInfo");
    lblInfo_->setGeometry(10, 8, kWidth - 20, kLineHeight);

    fraContainer_[1] = new QFrame(this);
    fraContainer_[1]->setObjectName("fraContainer(1)");
    fraContainer_[1]->setAutoFillBackground(true);
    fraContainer_[1]->setPalette(fraContainer_[0]->palette());
    for (size_t i = 0; i < lblComparing_.size(); ++i) {
        auto* label = new QLabel("Comparing", fraContainer_[1]);
        label->setObjectName(QString("lblComparing(%1)").arg(i));
        label->setGeometry(20, 10 + static_cast<int>(i) * kLineHeight, kWidth - 40, kLineHeight);
        label->hide();
        lblComparing_[i] = label;
    }
    const int dotsTop = 10 + 7 * kLineHeight + 8;
    for (int i = 0; i < kDotCount; ++i) {
        auto* dot = new QFrame(fraContainer_[1]);
        dot->setObjectName(QString("dot(%1)").arg(i));
        dot->setGeometry(20 + i * 16, dotsTop, 9, 9);
        dot->setStyleSheet("background-color: #1f4e9c; border-radius: 4px;");
        dot->hide();
        dots_[static_cast<size_t>(i)] = dot;
    }
    lblTime_ = new QLabel("00:00:00", fraContainer_[1]);
    lblTime_->setObjectName("lblTime");
    lblTime_->setGeometry(kWidth - 100, dotsTop - 6, 80, kLineHeight);
    lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int frameHeight = dotsTop + 26;

    tmrStatus_ = new QTimer(this);
    tmrStatus_->setObjectName("tmrStatus");
    tmrStatus_->setInterval(kTickMs);
    connect(tmrStatus_, &QTimer::timeout, this, &frmGetDbInfo::TimerTick);

    cmdOK_ = new QPushButton("OK", this);
    cmdOK_->setObjectName("cmdOK");
    cmdCancel_ = new QPushButton("Cancel", this);
    cmdCancel_->setObjectName("cmdCancel");
    cmdCancel_->setAutoDefault(false);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmGetDbInfo::reject);

    // The load: the progress frame takes the place of the selection frame, the one button
    // left is centred under it.
    fraContainer_[1]->setGeometry(0, lblInfo_->y(), kWidth, frameHeight);
    fraContainer_[1]->show();
    fraContainer_[0]->hide();
    lblInfo_->hide();
    cmdOK_->hide();
    const int buttonWidth = 90;
    cmdCancel_->setGeometry((kWidth - buttonWidth) / 2, lblInfo_->y() + frameHeight + 6,
                            buttonWidth, 28);
    lblComparing_[6]->clear();
    lblComparing_[6]->hide();
    setFixedSize(kWidth, cmdCancel_->geometry().bottom() + 12);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmGetDbInfo::~frmGetDbInfo() = default;

void frmGetDbInfo::ShowUp(int plngDbIndex, const std::string& database) {
    serverIndex_ = plngDbIndex;
    database_ = database;
    exec();
}

bool frmGetDbInfo::Running() const {
    return tmrStatus_->isActive();
}

void frmGetDbInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_)
        return;
    activated_ = true;
    QTimer::singleShot(0, this, &frmGetDbInfo::GetDbInfo);
}

void frmGetDbInfo::GetDbInfo() {
    HourglassPointer hourglass;
    started_.start();
    tmrStatus_->start();
    Runner runner(*this);
    try {
        ServerEntry& server = PanelServers()[static_cast<size_t>(serverIndex_)];
        std::string text;
        if (BuildDbInfoReport(runner, server, database_, DbInfoDateText(std::time(nullptr)), text))
            gstrReportText = text;
    } catch (...) {
        const CaughtError e = CurrentError();
        CurrentPrompter().MessageBox(MsgIcon::Error, kExecutableName,
                                     "Error in Sub GetDbInfo, error nr " +
                                         std::to_string(e.number) + " (" + e.description + ").");
    }
    lblComparing_[6]->hide();
    tmrStatus_->stop();
    Unload();
}

void frmGetDbInfo::UpdateTime() {
    ShowElapsed();
    QApplication::processEvents();
}

void frmGetDbInfo::ShowElapsed() {
    const qint64 ms = started_.isValid() ? started_.elapsed() : 0;
    lblTime_->setText(QTime(0, 0).addMSecs(static_cast<int>(ms % 86400000)).toString("hh:mm:ss"));
}

void frmGetDbInfo::TimerTick() {
    QFrame* dot = dots_[static_cast<size_t>(currentDot_)];
    dot->setVisible(!dot->isVisible());
    currentDot_ = currentDot_ == kDotCount - 1 ? 0 : currentDot_ + 1;
    // The tick already runs inside the event loop the analysis yields to.
    ShowElapsed();
}

void frmGetDbInfo::reject() {
    // Cancel and Esc: a running analysis is asked to stop and closes itself afterwards.
    if (Running()) {
        mblnCancel = true;
        return;
    }
    Unload();
}

void frmGetDbInfo::closeEvent(QCloseEvent* event) {
    if (Running()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmGetDbInfo::Unload() {
    QDialog::done(QDialog::Rejected);
}

} // namespace orv
