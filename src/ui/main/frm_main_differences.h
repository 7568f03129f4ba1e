// Reading a marked comparison in the main window: the blocks of coloured lines, next and
// previous difference over them (wrapping, with a word in the status bar), the count in the
// status bar, and the two text views scrolling together, aligned on the matched lines.
#pragma once

#include "compare/compare_sel_procs.h"
#include "compare/difference_blocks.h"

#include <QObject>

#include <functional>

class QLabel;
class QStatusBar;

namespace orv {

class QtTextView;
class ScrollSync;

constexpr const char* kMsgFirstDifference = "First difference";
constexpr const char* kMsgLastDifference = "Last difference";

class DifferenceNavigator : public QObject {
    Q_OBJECT
public:
    DifferenceNavigator(QtTextView* source, QtTextView* target, QStatusBar* status,
                        QObject* parent);

    // After a comparison: the blocks of what it marked, or none when it marked nothing.
    void Marked(const CompareResult& result);
    // The texts changed: their marks, and so the blocks, are gone.
    void Forget();

    void Next();
    void Previous();
    int Count() const { return static_cast<int>(alignment_.Blocks().size()); }
    int Current() const { return current_; }
    const DifferenceMap& Alignment() const { return alignment_; }

    void SetScrollTogether(bool on);
    bool ScrollTogether() const;
    ScrollSync* Sync() const { return sync_; }
    QLabel* CountLabel() const { return count_; }

    // Told when blocks come or go, and when scrolling together is switched.
    std::function<void(bool any)> onBlocksChanged;
    std::function<void(bool on)> onScrollTogetherChanged;

private:
    void Step(bool forward);
    void Show(int index);
    void UpdateCount();

    QtTextView* views_[2];
    QStatusBar* status_;
    QLabel* count_;
    ScrollSync* sync_;
    DifferenceMap alignment_;
    int current_ = -1;
};

} // namespace orv
