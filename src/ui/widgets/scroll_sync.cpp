#include "ui/widgets/scroll_sync.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>

namespace orv {

ScrollSync::ScrollSync(QPlainTextEdit* first, QPlainTextEdit* second, QObject* parent)
    : QObject(parent), views_{first, second} {
    for (int side = 0; side < 2; ++side) {
        // Without wrapping, a plain-text view's vertical value is its top line.
        connect(views_[side]->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, side](int value) { Vertical(side, value); });
        connect(views_[side]->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                [this, side](int value) { Horizontal(side, value); });
    }
}

void ScrollSync::SetEnabled(bool on) {
    enabled_ = on;
    if (on)
        Follow(0);
}

void ScrollSync::SetLineMap(LineMap map) {
    map_ = std::move(map);
    if (enabled_)
        Follow(0);
}

void ScrollSync::Follow(int side) {
    if (side != 0 && side != 1)
        return;
    const bool saved = enabled_;
    enabled_ = true;
    Vertical(side, views_[side]->verticalScrollBar()->value());
    Horizontal(side, views_[side]->horizontalScrollBar()->value());
    enabled_ = saved;
}

void ScrollSync::ScrollBoth(int64_t firstTop, int64_t secondTop) {
    const bool saved = moving_;
    moving_ = true;
    const int64_t tops[2] = {firstTop, secondTop};
    for (int side = 0; side < 2; ++side) {
        QScrollBar* bar = views_[side]->verticalScrollBar();
        bar->setValue(
            static_cast<int>(std::clamp<int64_t>(tops[side], bar->minimum(), bar->maximum())));
    }
    moving_ = saved;
}

void ScrollSync::Vertical(int side, int value) {
    if (!enabled_ || moving_)
        return;
    int64_t line = value;
    if (map_) {
        line = map_(side, value);
        if (line < 0)
            return;
    }
    QScrollBar* other = views_[1 - side]->verticalScrollBar();
    moving_ = true;
    other->setValue(
        static_cast<int>(std::clamp<int64_t>(line, other->minimum(), other->maximum())));
    moving_ = false;
}

void ScrollSync::Horizontal(int side, int value) {
    if (!enabled_ || moving_)
        return;
    moving_ = true;
    views_[1 - side]->horizontalScrollBar()->setValue(value);
    moving_ = false;
}

} // namespace orv
