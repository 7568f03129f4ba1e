#include "ui/main/frm_report_placement.h"

#include "util/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace orv {

namespace {
Box BoxOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}
} // namespace

void PlaceReportWindow(QWidget* report) {
    QWidget* owner = report->parentWidget() ? report->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            report->move(screen->availableGeometry().center() - report->rect().center());
        return;
    }
    const QScreen* screen = owner->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QRect frame = owner->frameGeometry();
    // The report's frame is not known before it is shown: take the owner's frame as its like.
    const QSize decoration = frame.size() - owner->geometry().size();
    const QSize outer = report->size() + decoration;
    Box keepClear;
    if (const QWidget* target = owner->findChild<QWidget*>("txtTXProc(1)");
        target && target->isVisible())
        keepClear = BoxOf(QRect(target->mapToGlobal(QPoint(0, 0)), target->size()));
    const Box place =
        PlaceBesideOwner(BoxOf(frame), outer.width(), outer.height(), BoxOf(area), keepClear);
    report->move(place.x, place.y);
}

} // namespace orv
