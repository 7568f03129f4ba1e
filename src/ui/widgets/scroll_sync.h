// Two plain-text views that scroll together: moving one, by its scroll bars, the wheel or the
// keyboard, moves the other vertically and horizontally. A line map (when given) says which
// line of the other view belongs at the top, so matched lines stand at the same height even
// where one text has lines the other lacks; without it the views keep the same top line.
#pragma once

#include <QObject>

#include <functional>

class QPlainTextEdit;

namespace orv {

class ScrollSync : public QObject {
    Q_OBJECT
public:
    // side 0 is `first`, side 1 `second`; the map gives the other side's line for a line of
    // `side`.
    using LineMap = std::function<int64_t(int side, int64_t line)>;

    ScrollSync(QPlainTextEdit* first, QPlainTextEdit* second, QObject* parent = nullptr);

    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    void SetLineMap(LineMap map);
    bool HasLineMap() const { return static_cast<bool>(map_); }
    // Brings the other view into line with `side` now.
    void Follow(int side);
    // Puts the top lines of both views at once, neither moving the other.
    void ScrollBoth(int64_t firstTop, int64_t secondTop);

private:
    void Vertical(int side, int value);
    void Horizontal(int side, int value);

    QPlainTextEdit* views_[2];
    LineMap map_;
    bool enabled_ = false;
    bool moving_ = false; // the other view is being moved by us: its own signal is no user move
};

} // namespace orv
