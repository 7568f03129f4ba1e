#include "ui/main/frm_main_differences.h"

#include "core/window_placement.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_text_view.h"
#include "ui/widgets/scroll_sync.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTextBlock>
#include <QToolButton>

#include <algorithm>

namespace orv {

namespace {
constexpr int kMessageMs = 4000;

// Alt+Down and Alt+Up open a selector's list: in a selector they stay its keys.
class SelectorKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
                key->modifiers() == Qt::AltModifier) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QString CountText(int current, int count) {
    if (count <= 0)
        return {};
    if (current < 0)
        return count == 1 ? QString("1 difference") : QString("%1 differences").arg(count);
    return QString("Difference %1 of %2").arg(current + 1).arg(count);
}
} // namespace

DifferenceNavigator::DifferenceNavigator(QtTextView* source, QtTextView* target, QStatusBar* status,
                                         QObject* parent)
    : QObject(parent), views_{source, target}, status_(status), count_(new QLabel(status)),
      sync_(new ScrollSync(source, target, this)) {
    count_->setObjectName("lblDifferences");
    status_->addPermanentWidget(count_);
    for (QtTextView* view : views_)
        connect(view, &QtTextView::TextReplaced, this, &DifferenceNavigator::Forget);
}

void DifferenceNavigator::Marked(const CompareResult& result) {
    if (!result.Marked) {
        Forget();
        return;
    }
    alignment_ = DifferenceMap::FromMarking(result.SourceLines, result.TargetLines);
    current_ = -1;
    sync_->SetLineMap(
        [this](int side, int64_t line) { return alignment_.Counterpart(side, line); });
    UpdateCount();
    if (onBlocksChanged)
        onBlocksChanged(Count() > 0);
}

void DifferenceNavigator::Forget() {
    if (alignment_.Empty() && current_ < 0 && !sync_->HasLineMap())
        return;
    alignment_ = DifferenceMap();
    current_ = -1;
    sync_->SetLineMap(nullptr);
    UpdateCount();
    if (onBlocksChanged)
        onBlocksChanged(false);
}

void DifferenceNavigator::Next() {
    Step(true);
}

void DifferenceNavigator::Previous() {
    Step(false);
}

void DifferenceNavigator::Step(bool forward) {
    const DifferenceStep step = StepDifference(Count(), current_, forward);
    if (step.index < 0)
        return;
    current_ = step.index;
    Show(current_);
    UpdateCount();
    if (step.wrapped)
        status_->showMessage(forward ? kMsgFirstDifference : kMsgLastDifference, kMessageMs);
    else
        status_->clearMessage();
}

void DifferenceNavigator::Show(int index) {
    const DifferenceBlock& block = alignment_.Blocks()[static_cast<size_t>(index)];
    int64_t tops[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        QtTextView* view = views_[side];
        const int lines = view->blockCount();
        const int line = static_cast<int>(std::clamp<int64_t>(block.first[side], 0, lines - 1));
        // The cursor marks the block's first line; a selection would hide its colour.
        view->setTextCursor(QTextCursor(view->document()->findBlockByNumber(line)));
        // A few lines of what comes before stay in sight above the block.
        const int spacing = std::max(1, view->fontMetrics().lineSpacing());
        const int visible = std::max(1, view->viewport()->height() / spacing);
        tops[side] = std::max(0, line - visible / 4);
    }
    sync_->ScrollBoth(tops[0], tops[1]);
}

void DifferenceNavigator::UpdateCount() {
    count_->setText(CountText(current_, Count()));
    count_->setVisible(Count() > 0);
}

void DifferenceNavigator::SetScrollTogether(bool on) {
    if (sync_->Enabled() == on)
        return;
    sync_->SetEnabled(on);
    if (onScrollTogetherChanged)
        onScrollTogetherChanged(on);
}

bool DifferenceNavigator::ScrollTogether() const {
    return sync_->Enabled();
}

void frmMain::BuildDifferenceControls() {
    differences_ = new DifferenceNavigator(txtTXProc_[0], txtTXProc_[1], statusBar(), this);

    QAction* line = mnuPopUp_->addSeparator();
    line->setObjectName("mnuPopUpSep5");
    actions_["mnuPopUpSep5"] = line;
    QAction* previous = AddAction(mnuPopUp_, "mnuPopUpPrevDiff", "Previous Difference",
                                  QKeySequence(Qt::ALT | Qt::Key_Up));
    previous->setToolTip("Previous difference (Alt+Up)");
    previous->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    QAction* next = AddAction(mnuPopUp_, "mnuPopUpNextDiff", "Next Difference",
                              QKeySequence(Qt::ALT | Qt::Key_Down));
    next->setToolTip("Next difference (Alt+Down)");
    next->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    QAction* together = AddAction(mnuPopUp_, "mnuPopUpScrollTogether", "Scroll Together");
    together->setCheckable(true);
    together->setToolTip("Scroll the two texts together");
    together->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    connect(previous, &QAction::triggered, differences_, &DifferenceNavigator::Previous);
    connect(next, &QAction::triggered, differences_, &DifferenceNavigator::Next);
    connect(together, &QAction::toggled, this, [this](bool on) {
        differences_->SetScrollTogether(on);
        SaveScrollTogether(on);
    });
    differences_->onScrollTogetherChanged = [together](bool on) {
        if (together->isChecked() != on)
            together->setChecked(on);
    };
    previous->setEnabled(false);
    next->setEnabled(false);
    // Without blocks the keys stay with the focused control (a selector opens its list).
    differences_->onBlocksChanged = [previous, next](bool any) {
        previous->setEnabled(any);
        next->setEnabled(any);
    };
    auto* selectorKeys = new SelectorKeys(this);
    for (QComboBox* selector : findChildren<QComboBox*>())
        selector->installEventFilter(selectorKeys);

    // Toolbar buttons between the type selector and the comparison buttons.
    const int left[3] = {3090, 3615, 4140};
    const char* names[3] = {"cmdPrevDiff", "cmdNextDiff", "cmdScrollTogether"};
    QAction* actions[3] = {previous, next, together};
    for (int k = 0; k < 3; ++k) {
        auto* b = new QToolButton(picToolbar_);
        b->setObjectName(names[k]);
        b->setDefaultAction(actions[k]);
        b->setAutoRaise(false);
        Place(b, left[k], 60, 495, 495);
    }
}

} // namespace orv
