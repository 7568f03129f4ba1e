#include "ui/settings/numeric_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <limits>

namespace orv {

void NumericBoxFilter::Install(QLineEdit* box) {
    box->installEventFilter(new NumericBoxFilter(box));
}

bool NumericBoxFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box)
        return false;
    if (event->type() == QEvent::FocusIn) {
        // After the click that brought the focus has placed the caret, not before.
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    // Keys the dialog itself acts on, and the ones that move without typing.
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false; // arrows, Home, End, Delete: no character reaches the box
    for (QChar c : text)
        if (c < '0' || c > '9')
            return true;
    return false;
}

int32_t LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

} // namespace orv
