#include "ui/widgets/list_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QTreeWidget>

#include <algorithm>

namespace orv {

namespace {
// The room an item view gives a cell's text: the column less the item's margins.
constexpr int kCellPadding = 8;
} // namespace

ListColumns::ListColumns(QTreeWidget* list, const QStringList& headings, std::vector<int> parts)
    : QObject(list), list_(list), viewport_(list->viewport()) {
    if (list_->columnCount() < headings.size())
        list_->setColumnCount(static_cast<int>(headings.size()));
    list_->setHeaderLabels(headings);
    for (int& p : parts)
        p = std::clamp(p, 1, 100) * 100;
    parts_ = std::move(parts);
    QHeaderView* header = list_->header();
    header->show();
    // The last visible column takes what the others leave.
    header->setStretchLastSection(true);
    header->setSectionsMovable(false);
    connect(header, &QHeaderView::sectionResized, this, &ListColumns::ColumnDragged);
    list_->installEventFilter(this);
    viewport_->installEventFilter(this);
    Fit();
}

void ListColumns::Fit() {
    const int room = viewport_->width();
    if (room <= 0)
        return;
    std::vector<int> visible;
    for (int c = 0; c < list_->columnCount(); ++c)
        if (!list_->isColumnHidden(c))
            visible.push_back(c);
    fitting_ = true;
    // The header stretches the last visible column over the rest.
    for (size_t k = 0; k + 1 < visible.size(); ++k) {
        const auto c = static_cast<size_t>(visible[k]);
        const int part = c < parts_.size() ? parts_[c] : 2000;
        list_->setColumnWidth(visible[k], std::max(24, room * part / 10000));
    }
    fitting_ = false;
}

void ListColumns::ColumnDragged(int column, int, int newSize) {
    if (fitting_)
        return;
    const int room = viewport_->width();
    if (room <= 0 || column < 0)
        return;
    if (static_cast<size_t>(column) >= parts_.size())
        parts_.resize(static_cast<size_t>(column) + 1, 2000);
    parts_[static_cast<size_t>(column)] = std::clamp(newSize * 10000 / room, 500, 9500);
}

bool ListColumns::CutShort(int row, int column) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item || column < 0 || column >= list_->columnCount())
        return false;
    const int needed = list_->fontMetrics().horizontalAdvance(item->text(column)) + kCellPadding;
    return needed > list_->columnWidth(column);
}

bool ListColumns::eventFilter(QObject* watched, QEvent* event) {
    // Only the stored pointers are compared: while the list is taken apart its viewport still
    // sends events here, and the list is no longer a scroll area to ask.
    switch (event->type()) {
    case QEvent::Resize:
        // The viewport narrows when a vertical scroll bar appears.
        if (watched == list_ || watched == viewport_)
            Fit();
        break;
    case QEvent::ToolTip:
        if (watched == viewport_) {
            auto* help = static_cast<QHelpEvent*>(event);
            const QModelIndex index = list_->indexAt(help->pos());
            if (index.isValid() && CutShort(index.row(), index.column())) {
                QToolTip::showText(help->globalPos(),
                                   list_->topLevelItem(index.row())->text(index.column()),
                                   viewport_);
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orv
