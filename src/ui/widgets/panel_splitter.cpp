#include "ui/widgets/panel_splitter.h"

#include <QMouseEvent>

namespace orv {

PanelSplitter::PanelSplitter(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::SplitHCursor);
    setToolTip("Drag to share the width between the panels; double-click to halve it");
}

void PanelSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    pressX_ = event->globalPosition().toPoint().x();
    if (onDragStart)
        onDragStart();
    event->accept();
}

void PanelSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QLabel::mouseMoveEvent(event);
        return;
    }
    if (onDrag)
        onDrag(event->globalPosition().toPoint().x() - pressX_);
    event->accept();
}

void PanelSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    if (onDrag)
        onDrag(event->globalPosition().toPoint().x() - pressX_);
    dragging_ = false;
    if (onDragEnd)
        onDragEnd();
    event->accept();
}

void PanelSplitter::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseDoubleClickEvent(event);
        return;
    }
    dragging_ = false;
    if (onReset)
        onReset();
    event->accept();
}

} // namespace orv
