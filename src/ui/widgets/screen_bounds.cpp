#include "ui/widgets/screen_bounds.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace orv {

namespace {

QScreen* ScreenOf(const QWidget* window) {
    if (QScreen* s = QGuiApplication::screenAt(window->frameGeometry().center()))
        return s;
    if (QScreen* s = window->screen())
        return s;
    return QGuiApplication::primaryScreen();
}

bool Fits(const QRect& frame, const QRect& area) {
    return area.contains(frame);
}

// Watches the shows and resizes of top-level windows.
class ScreenBoundsFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Resize) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            const Qt::WindowType kind = w->windowType();
            if (w->isWindow() && !fitting_ && kind != Qt::Popup && kind != Qt::ToolTip &&
                kind != Qt::SplashScreen && w->isVisible()) {
                fitting_ = true;
                FitWindowOnScreen(w);
                fitting_ = false;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool fitting_ = false;
};

} // namespace

void FitWindowOnScreen(QWidget* window) {
    if (!window || !window->isWindow())
        return;
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    QScreen* screen = ScreenOf(window);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    if (Fits(frame, area))
        return;
    // The frame's own margins (title bar, borders) come on top of the window's size.
    const int extraW = frame.width() - window->width();
    const int extraH = frame.height() - window->height();
    const QSize room(std::max(1, area.width() - extraW), std::max(1, area.height() - extraH));
    if (window->width() > room.width() || window->height() > room.height()) {
        const QSize fitted(
            std::max(std::min(window->width(), room.width()), window->minimumWidth()),
            std::max(std::min(window->height(), room.height()), window->minimumHeight()));
        window->resize(fitted);
        frame = window->frameGeometry();
    }
    // Inside the area; a window larger than the area keeps its top left corner in sight.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top())
        window->move(x, y);
}

void KeepWindowsOnScreen(QApplication& app) {
    static QPointer<QObject> installed;
    if (installed)
        return;
    installed = new ScreenBoundsFilter(&app);
    app.installEventFilter(installed);
}

void LetLabelGiveWay(QLabel* label) {
    // A minimum of its own stands in for the label's, which is its whole text: the label still
    // asks for its text's width and gets it wherever there is room.
    if (label)
        label->setMinimumWidth(1);
}

} // namespace orv
