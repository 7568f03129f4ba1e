// The main window as it grows, shrinks and moves: the stretch rules of its controls, the
// splitter, the scroll bars below the design size, and the size, place and splitter position
// kept from one run to the next.
#include "ui/main/frm_main_geometry.h"

#include "core/window_placement.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_main_differences.h"
#include "ui/widgets/list_columns.h"
#include "ui/widgets/panel_splitter.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/screen_fit.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QWheelEvent>

namespace orv {

namespace {
Box BoxOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

// Below this the window is more scroll bar than window.
constexpr int kMinimumWidth = 320;
constexpr int kMinimumHeight = 240;
} // namespace

MainGeometry::MainGeometry(QWidget* client, PanelSplitter* splitter)
    : QObject(client), client_(client), splitter_(splitter),
      hbar_(new QScrollBar(Qt::Horizontal, client)), vbar_(new QScrollBar(Qt::Vertical, client)) {
    hbar_->setObjectName("hsbClient");
    vbar_->setObjectName("vsbClient");
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->hide();
        bar->setSingleStep(20);
        connect(bar, &QScrollBar::valueChanged, this, [this] { Relayout(); });
    }
    client_->installEventFilter(this);
    if (splitter_) {
        splitter_->onDragStart = [this] { dragStartWidth_ = SourceWidth(); };
        splitter_->onDrag = [this](int dx) { SetSourceWidth(dragStartWidth_ + dx); };
        splitter_->onReset = [this] { SetSplitterShare(kSplitterMiddle); };
    }
}

void MainGeometry::Manage(QWidget* w, LayoutRule rule) {
    if (!w)
        return;
    items_.push_back({w, rule, BoxOf(w->geometry())});
}

void MainGeometry::SetPanels(QWidget* source, QWidget* target) {
    panels_[0] = source;
    panels_[1] = target;
    for (int p = 0; p < 2; ++p) {
        spans_.left[p] = panels_[p]->x();
        spans_.width[p] = panels_[p]->width();
    }
}

void MainGeometry::SetDesignClientSize(QSize size) {
    design_ = size;
    Relayout();
}

void MainGeometry::BeginArrange() {
    if (arranging_++ > 0)
        return;
    for (const Item& item : items_)
        if (item.widget)
            item.widget->setGeometry(item.design.x, item.design.y, item.design.w, item.design.h);
}

void MainGeometry::EndArrange() {
    if (arranging_ == 0 || --arranging_ > 0)
        return;
    TakeDesign();
    Relayout();
}

void MainGeometry::TakeDesign() {
    for (Item& item : items_)
        if (item.widget)
            item.design = BoxOf(item.widget->geometry());
    if (panels_[0] && panels_[1])
        SetPanels(panels_[0], panels_[1]);
}

QSize MainGeometry::Room(bool* needH, bool* needV) const {
    const int extent = client_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vbar_);
    const QSize avail = client_->size();
    bool h = false, v = false;
    // A scroll bar in one direction takes room from the other: settle both.
    for (int pass = 0; pass < 2; ++pass) {
        h = avail.width() - (v ? extent : 0) < design_.width();
        v = avail.height() - (h ? extent : 0) < design_.height();
    }
    if (needH)
        *needH = h;
    if (needV)
        *needV = v;
    return {avail.width() - (v ? extent : 0), avail.height() - (h ? extent : 0)};
}

Growth MainGeometry::CurrentGrowth(QSize room) const {
    return ShareExtraSpace(spans_, room.width() - design_.width(), room.height() - design_.height(),
                           share_);
}

void MainGeometry::SetSplitterShare(int share) {
    share_ = std::clamp(share, 0, kSplitterWhole);
    Relayout();
}

void MainGeometry::SetSourceWidth(int width) {
    const QSize room = Room();
    share_ = ShareForSourceWidth(spans_, room.width() - design_.width(), width);
    Relayout();
}

int MainGeometry::SourceWidth() const {
    return spans_.width[0] + CurrentGrowth(Room()).panel[0];
}

int MainGeometry::BoundaryX() const {
    return splitter_ ? splitter_->geometry().center().x() : 0;
}

void MainGeometry::Relayout() {
    if (arranging_ > 0 || design_.isEmpty())
        return;
    // Setting a scroll bar's range may move it, which asks for this again.
    if (relaying_)
        return;
    relaying_ = true;
    bool needH = false, needV = false;
    const QSize room = Room(&needH, &needV);
    const int extent = client_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vbar_);
    hbar_->setVisible(needH);
    vbar_->setVisible(needV);
    if (needH) {
        hbar_->setGeometry(0, client_->height() - extent, room.width(), extent);
        hbar_->setRange(0, design_.width() - room.width());
        hbar_->setPageStep(room.width());
    } else {
        hbar_->setValue(0);
    }
    if (needV) {
        vbar_->setGeometry(client_->width() - extent, 0, extent, room.height());
        vbar_->setRange(0, design_.height() - room.height());
        vbar_->setPageStep(room.height());
    } else {
        vbar_->setValue(0);
    }
    const int ox = needH ? hbar_->value() : 0;
    const int oy = needV ? vbar_->value() : 0;
    const Growth growth = CurrentGrowth(room);
    for (const Item& item : items_) {
        if (!item.widget)
            continue;
        const Box b = PlaceControl(item.design, item.rule, spans_, growth);
        item.widget->setGeometry(b.x - ox, b.y - oy, b.w, b.h);
    }
    hbar_->raise();
    vbar_->raise();
    relaying_ = false;
}

bool MainGeometry::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_) {
        if (event->type() == QEvent::Resize) {
            Relayout();
        } else if (event->type() == QEvent::Wheel && vbar_->isVisible()) {
            // The wheel over the window's background scrolls it.
            QApplication::sendEvent(vbar_, event);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void frmMain::BuildGeometry(QSize designClient) {
    statusBar()->setObjectName("stbMain");
    geometry_ = new MainGeometry(central_, static_cast<PanelSplitter*>(imgSplitter_));
    auto manage = [this](QWidget* w, int panel, Across across, Down down) {
        geometry_->Manage(w, LayoutRule{panel, across, down});
    };
    for (QWidget* strip :
         {static_cast<QWidget*>(picToolbar_), static_cast<QWidget*>(picSecToolbar_)})
        manage(strip, -1, Across::WindowWidth, Down::Keep);
    manage(linDivision_, -1, Across::Boundary, Down::FullHeight);
    manage(imgSplitter_, -1, Across::Boundary, Down::FullHeight);
    manage(cmdGetAllOwners_, 0, Across::Keep, Down::BelowTexts);
    manage(cmdGetOwner_, 0, Across::Keep, Down::BelowTexts);
    for (int i = 0; i < 2; ++i) {
        manage(lblGen_[4 + i], i, Across::ScaleLeft, Down::Keep); // "SQL Server - ..."
        manage(lblGen_[2 + i], i, Across::ScaleLeft, Down::Keep); // "Database"
        manage(lblGen_[i], i, Across::Keep, Down::Keep);          // "Owner"
        manage(cmbServer_[i], i, Across::Stretch, Down::Keep);
        manage(pvlDb_[i], i, Across::Stretch, Down::Keep);
        manage(cmbOwners_[i], i, Across::Stretch, Down::Keep);
        manage(cmdDbInfo_[i], i, Across::Keep, Down::Keep);
        manage(lblDbInfo_[i], i, Across::Keep, Down::Keep);
        manage(pvlSqlObj_[i], i, Across::Stretch, Down::ObjectList);
        for (QWidget* small :
             {static_cast<QWidget*>(cmdNonExistent_[i]), static_cast<QWidget*>(cmdAnalyzeData_[i]),
              static_cast<QWidget*>(cmdFind_[i])})
            manage(small, i, Across::FollowRight, Down::BelowObjects);
        manage(txtTXProc_[i], i, Across::Stretch, Down::TextView);
        for (QWidget* button :
             {static_cast<QWidget*>(cmdCopyClip_[i]), static_cast<QWidget*>(cmdCopyToFile_[i]),
              static_cast<QWidget*>(cmdViewData_[i])})
            manage(button, i, Across::Keep, Down::BelowTexts);
    }
    geometry_->SetPanels(txtTXProc_[0], txtTXProc_[1]);
    // The object lists: name and date under their headings, both widening with the list.
    for (QtListControl* list : pvlSqlObj_) {
        list->AddColumn("Name", 0);
        list->AddColumn("Ref. Date", 0);
        list->AddColumn("", 0);
        list->SetColumnHidden(2, true);
        new ListColumns(list, {"Name", "Ref. Date"}, {62});
    }
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    SetDesignClientSize(designClient);
}

int frmMain::ChromeHeight() const {
    return menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
}

void frmMain::SetDesignClientSize(QSize client) {
    if (geometry_)
        geometry_->SetDesignClientSize(client);
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(client.width(), client.height() + ChromeHeight());
}

void frmMain::RestorePlacement() {
    const MainWindowPlacement p = LoadMainWindowPlacement();
    if (geometry_)
        geometry_->SetSplitterShare(p.splitter);
    if (differences_)
        differences_->SetScrollTogether(p.scrollTogether);
    if (!p.known)
        return;
    std::vector<Box> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.push_back(BoxOf(s->availableGeometry()));
    const Box b = FitOntoScreens({p.left, p.top, p.width, p.height}, screens, minimumWidth(),
                                 minimumHeight());
    setGeometry(b.x, b.y, b.w, b.h);
    if (p.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::SavePlacement() {
    MainWindowPlacement p;
    // The size the window comes back to from maximized is the one to start with next time.
    const QRect normal =
        (isMaximized() || isMinimized() || isFullScreen()) ? normalGeometry() : geometry();
    if (normal.isValid()) {
        p.known = true;
        p.left = normal.x();
        p.top = normal.y();
        p.width = normal.width();
        p.height = normal.height();
    } else {
        const MainWindowPlacement before = LoadMainWindowPlacement();
        p = before;
    }
    p.maximized = isMaximized();
    p.splitter = geometry_ ? geometry_->SplitterShare() : kSplitterMiddle;
    p.scrollTogether = differences_ && differences_->ScrollTogether();
    SaveMainWindowPlacement(p);
}

} // namespace orv
