// The grip between two side-by-side panels: it shows the horizontal-resize pointer, a drag
// reports how far the pointer has moved since the press, and a double-click asks for the
// boundary back in the middle. What moves is the owner's business.
#pragma once

#include <QLabel>

#include <functional>

namespace orv {

class PanelSplitter : public QLabel {
    Q_OBJECT
public:
    explicit PanelSplitter(QWidget* parent = nullptr);

    std::function<void()> onDragStart;
    // The pointer's horizontal distance from where the drag began, in pixels.
    std::function<void(int dx)> onDrag;
    std::function<void()> onDragEnd;
    std::function<void()> onReset;

    bool Dragging() const { return dragging_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool dragging_ = false;
    int pressX_ = 0; // global, so the grip's own movement under the pointer does not count
};

} // namespace orv
