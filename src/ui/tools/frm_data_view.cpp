#include "ui/tools/frm_data_view.h"

#include "catalog/record_counts.h"
#include "catalog/table_script.h"
#include "core/error_report.h"
#include "servers/server_list.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <stdexcept>

namespace orv {

namespace {

int32_t gLoaded = 0;
frmDataView* gDataView = nullptr;

// The design layout in pixels: labels, gauge and buttons along the top, the grid below.
constexpr QSize kWindowSize(760, 480);
constexpr QRect kGridRect(8, 56, 744, 416);
constexpr QRect kGaugeRect(8, 8, 400, 18);
constexpr QRect kTableNameRect(8, 8, 580, 18);
constexpr QRect kStatsRect(8, 30, 300, 18);
constexpr QRect kCurRect(320, 30, 100, 18);
constexpr QRect kCurRecRect(420, 30, 90, 18);
constexpr QRect kTimeRect(515, 30, 70, 18);
constexpr QRect kExportRect(600, 8, 72, 26);
constexpr QRect kExitRect(680, 8, 72, 26);

} // namespace

int32_t DataViewLoaded() {
    return gLoaded;
}

frmDataView* CurrentDataView() {
    return gDataView;
}

frmDataView::frmDataView(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDataView");
    setWindowTitle("Data in Table");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    BuildControls();
    FormLoad();
}

frmDataView::~frmDataView() {
    if (releaser_.joinable())
        releaser_.join();
    if (gDataView == this) {
        gDataView = nullptr;
        gLoaded = 0;
    }
}

void frmDataView::BuildControls() {
    resize(kWindowSize);
    grid_ = new DataGrid(this);
    grid_->setObjectName("VSFlexGrid1");
    grid_->setGeometry(kGridRect);

    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->setGeometry(kGaugeRect);
    // The properties the window keeps for its gauge.
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(0, 255, 0)}, {"Value", 1}});

    auto label = [this](const char* name, const QString& text, const QRect& rect) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(rect);
        return l;
    };
    lblTableName_ = label("lblTableName(0)", QString(), kTableNameRect);
    lblStats_ = label("lblStats", "Number of records:", kStatsRect);
    lblCur_ = label("lblCur", "Current Record:", kCurRect);
    lblCurRec_ = label("lblCurRec", QString(), kCurRecRect);
    lblTime_ = label("lblTime", QString(), kTimeRect);
    lblTime_->setFrameShape(QFrame::Box);

    auto button = [this](const char* name, const QString& text, const QRect& rect) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(rect);
        b->setAutoDefault(false);
        return b;
    };
    cmdExport_ = button("cmdExport", "&Export", kExportRect);
    cmdExit_ = button("cmdExit", "E&xit", kExitRect);
    cmdStop_ = button("cmdStop", "&Stop", kExportRect);
    connect(cmdExit_, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdStop_, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdExport_, &QPushButton::clicked, this, [this] { Export(); });
}

void frmDataView::FormLoad() {
    gLoaded = 1;
    gDataView = this;
    grid_->hide();
    prbProgress_->SetMin(0);
    prbProgress_->SetMax(100);
    prbProgress_->SetValue(0);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    baseline_.window = size();
    baseline_.grid = grid_->size();
    baseline_.exportLeft = cmdExport_->x();
    baseline_.exitLeft = cmdExit_->x();
}

bool frmDataView::ShowUp(const std::string& pstrExtTableName, const std::string& pstrPureTableName,
                         const std::string& pstrDbName, int32_t plngIndex, int32_t plngObjId) {
    try {
        if (plngIndex < 0 || plngIndex > 1)
            throw std::out_of_range("Subscript out of range");
        server_ = PanelServers()[static_cast<size_t>(plngIndex)];
        extTableName_ = pstrExtTableName;
        pureTableName_ = pstrPureTableName;
        dbName_ = pstrDbName;
        objId_ = plngObjId;

        const std::string longName = GetObjectFullName(server_, dbName_, pureTableName_, true);
        lblTableName_->setText(Q("Table: " + longName));

        recordCount_ = GetNumberOfRecordsInTable(server_, extTableName_, dbName_);
        if (recordCount_ == -1) {
            CurrentPrompter().MessageBox(MsgIcon::Warning, "View Data",
                                         "Error while reading data from table " + longName + ".");
            Unload();
            return false;
        }
        if (recordCount_ == 0) {
            CurrentPrompter().MessageBox(MsgIcon::Information, "View Data",
                                         "Table " + longName + " doesn't contain any data.");
            Unload();
            return false;
        }
        lblStats_->setText(Q("Number of records: " + FormatThousands(recordCount_)));
        exec();
        return true;
    } catch (const std::out_of_range& e) {
        ReportUnexpected(9, e.what(), "frmDataView", "ShowUp");
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), "frmDataView", "ShowUp");
    }
    Unload();
    return false;
}

void frmDataView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ScheduleFirstActivation();
}

bool frmDataView::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        ScheduleFirstActivation();
    return QDialog::event(event);
}

// Loading runs from the event loop rather than inside the activation or show handler, so the
// window is on screen and painted before the first record arrives.
void frmDataView::ScheduleFirstActivation() {
    if (activationScheduled_ || unloaded_)
        return;
    activationScheduled_ = true;
    QTimer::singleShot(0, this, [this] { FirstActivation(); });
}

void frmDataView::FirstActivation() {
    if (unloaded_)
        return;
    if (cmdExit_->isVisible())
        cmdExit_->setFocus();
    else if (cmdStop_->isVisible())
        cmdStop_->setFocus();
    LoadData();
    activated_ = true;
}

void frmDataView::cmdStop_Click() {
    if (exporting_) {
        exportStop_ = true;
        return;
    }
    stopRequested_ = true;
}

void frmDataView::cmdExit_Click() {
    exitRequested_ = true;
    if (!loading_)
        Unload();
}

void frmDataView::reject() {
    // Esc: while loading, the loop ends at its next record and unloads the window.
    if (loading_)
        exitRequested_ = true;
    else
        Unload();
}

void frmDataView::closeEvent(QCloseEvent* event) {
    if (loading_) {
        exitRequested_ = true;
        event->ignore();
        return;
    }
    event->accept();
    Unload();
}

void frmDataView::Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    if (gDataView == this) {
        gDataView = nullptr;
        gLoaded = 0;
    }
    done(QDialog::Rejected);
}

void frmDataView::ShowHideControls(int32_t llngStatus) {
    if (llngStatus == 1) {
        cmdStop_->move(cmdStop_->x(), cmdExport_->y());
        cmdStop_->show();
        cmdExport_->hide();
        prbProgress_->show();
        lblCur_->show();
        lblCurRec_->show();
        lblTime_->setFrameShape(QFrame::NoFrame);
        lblTime_->show();
        lblTableName_->hide();
    } else if (llngStatus == 2) {
        cmdStop_->hide();
        prbProgress_->hide();
        lblCur_->hide();
        lblCurRec_->hide();
        lblTime_->hide();
        cmdExport_->show();
        lblTableName_->show();
    }
    QCoreApplication::processEvents();
}

void frmDataView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyResize();
}

void frmDataView::ApplyResize() {
    if (!activated_ || tagOff_ || isMinimized())
        return;
    const Qt::WindowStates state = windowState();
    const QSize now = size();
    const bool normal = !(state & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (normal && (lastState_ & Qt::WindowMaximized) &&
        (now.width() < baseline_.window.width() || now.height() < baseline_.window.height())) {
        tagOff_ = true;
        resize(baseline_.window);
        grid_->resize(baseline_.grid);
        cmdExport_->move(baseline_.exportLeft, cmdExport_->y());
        cmdStop_->move(baseline_.exportLeft, cmdStop_->y());
        cmdExit_->move(baseline_.exitLeft, cmdExit_->y());
        lastState_ = state;
        tagOff_ = false;
        return;
    }
    if (now.width() >= baseline_.window.width()) {
        const int dx = now.width() - baseline_.window.width();
        grid_->resize(baseline_.grid.width() + dx, grid_->height());
        cmdExport_->move(baseline_.exportLeft + dx, cmdExport_->y());
        cmdStop_->move(baseline_.exportLeft + dx, cmdStop_->y());
        cmdExit_->move(baseline_.exitLeft + dx, cmdExit_->y());
    }
    if (now.height() >= baseline_.window.height()) {
        const int dy = now.height() - baseline_.window.height();
        grid_->resize(grid_->width(), baseline_.grid.height() + dy);
    }
    lastState_ = state;
}

} // namespace orv
