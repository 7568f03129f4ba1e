// The main window's controls above and below their arranged size. The arrangement steps place
// every control for the design size; this keeps that placement as the design and, whenever the
// window's client area changes, gives the controls the extra room (see util/stretch_layout.h),
// moves the boundary between the panels where the splitter puts it, and shows scroll bars where
// the client area is smaller than the design instead of cutting controls off.
#pragma once

#include "util/stretch_layout.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <vector>

class QScrollBar;

namespace orv {

class PanelSplitter;

class MainGeometry : public QObject {
    Q_OBJECT
public:
    // `client` holds the controls; `splitter` is the grip between the panels.
    MainGeometry(QWidget* client, PanelSplitter* splitter);

    // A control that follows the window; its current place is its design place.
    void Manage(QWidget* w, LayoutRule rule);
    // The controls whose design spans are the two panels' spans.
    void SetPanels(QWidget* source, QWidget* target);
    // The client size the design arrangement is made for.
    void SetDesignClientSize(QSize size);
    QSize DesignClientSize() const { return design_; }

    // Arrangement steps run between these: on the first Begin every control goes back to its
    // design place, on the last End the places they have then become the design. Nestable.
    void BeginArrange();
    void EndArrange();
    bool Arranging() const { return arranging_ > 0; }

    // The splitter: the Source panel's part of both panels' width, in 1/10,000.
    int SplitterShare() const { return share_; }
    void SetSplitterShare(int share);
    // Puts the boundary so that the Source panel is `width` pixels wide, within the limits.
    void SetSourceWidth(int width);
    int SourceWidth() const;
    // Where the boundary between the panels is now, in client coordinates.
    int BoundaryX() const;

    QScrollBar* HorizontalBar() const { return hbar_; }
    QScrollBar* VerticalBar() const { return vbar_; }

    void Relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Item {
        QPointer<QWidget> widget;
        LayoutRule rule;
        Box design;
    };
    Growth CurrentGrowth(QSize room) const;
    QSize Room(bool* needH = nullptr, bool* needV = nullptr) const;
    void TakeDesign();

    QWidget* client_;
    PanelSplitter* splitter_;
    QWidget* panels_[2] = {nullptr, nullptr};
    std::vector<Item> items_;
    PanelSpans spans_;
    QSize design_;
    int share_ = kSplitterMiddle;
    int arranging_ = 0;
    bool relaying_ = false;
    int dragStartWidth_ = 0;
    QScrollBar* hbar_;
    QScrollBar* vbar_;
};

// Runs the arrangement steps of its lifetime between BeginArrange and EndArrange.
class ArrangeScope {
public:
    explicit ArrangeScope(MainGeometry* geometry) : geometry_(geometry) {
        if (geometry_)
            geometry_->BeginArrange();
    }
    ~ArrangeScope() {
        if (geometry_)
            geometry_->EndArrange();
    }
    ArrangeScope(const ArrangeScope&) = delete;
    ArrangeScope& operator=(const ArrangeScope&) = delete;

private:
    MainGeometry* geometry_;
};

} // namespace orv
