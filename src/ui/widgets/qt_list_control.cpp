#include "ui/widgets/qt_list_control.h"

#include "ui/widgets/qt_text.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace orv {

QtListControl::QtListControl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setColumnCount(0);
    // A list of one column (the databases) fills its width.
    header()->setStretchLastSection(true);
    header()->hide();
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QtListControl::OnSelectionChanged);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
        if (onRowChosen)
            onRowChosen(indexOfTopLevelItem(item));
    });
}

void QtListControl::Clear() {
    clear();
}

void QtListControl::AddColumn(const std::string& caption, int width) {
    ++columns_;
    setColumnCount(columns_);
    QTreeWidgetItem* h = headerItem();
    h->setText(columns_ - 1, Q(caption));
    // No width given: the first column takes most of the list, so names stay readable.
    if (width <= 0) {
        // The widget's own width is known before it is first shown; its viewport's is not.
        const int room = std::max(80, this->width() - 24);
        width = columns_ == 1 ? room * 62 / 100 : room * 36 / 100;
    }
    setColumnWidth(columns_ - 1, width);
}

void QtListControl::SetColumnWidth(int column, int width) {
    if (column >= 0 && column < columns_)
        setColumnWidth(column, width);
}

void QtListControl::SetColumnHidden(int column, bool hidden) {
    if (column >= 0 && column < columns_)
        setColumnHidden(column, hidden);
}

int QtListControl::AddItem(const std::string& text) {
    if (columns_ == 0)
        AddColumn("", width());
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, Q(text));
    return indexOfTopLevelItem(item);
}

void QtListControl::RemoveItem(int row) {
    if (row >= 0 && row < Count())
        delete takeTopLevelItem(row);
}

std::string QtListControl::CellText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item || column < 0)
        return {};
    return item->text(column).toStdString();
}

void QtListControl::SetCellText(int row, int column, const std::string& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item || column < 0)
        return;
    if (column >= columns_)
        for (int c = columns_; c <= column; ++c)
            AddColumn("", 0);
    item->setText(column, Q(text));
}

std::string QtListControl::RowText(int row) const {
    return CellText(row, 0) + kListRowSeparator;
}

int QtListControl::CurrentRow() const {
    QTreeWidgetItem* item = currentItem();
    return item ? indexOfTopLevelItem(item) : -1;
}

void QtListControl::SetCurrentRow(int row) {
    // Moving the current row alone must not mark it: that is the selection's business.
    QTreeWidgetItem* item = topLevelItem(row);
    selectionModel()->setCurrentIndex(item ? indexFromItem(item) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
}

bool QtListControl::Selected(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->isSelected();
}

void QtListControl::SetSelected(int row, bool selected) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    if (selected) {
        // The same path a click takes: current row and mark, then the selection signal.
        selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
    } else {
        // Letting one mark go is not a click on the row that stays current.
        clearingMark_ = true;
        item->setSelected(false);
        clearingMark_ = false;
    }
}

int QtListControl::SelCount() const {
    return static_cast<int>(selectedItems().size());
}

std::string QtListControl::CurrentText() const {
    return CellText(CurrentRow(), 0);
}

void QtListControl::MakeVisible(int row) {
    if (QTreeWidgetItem* item = topLevelItem(row))
        scrollToItem(item);
}

void QtListControl::SetRedraw(bool on) {
    setUpdatesEnabled(on);
}

void QtListControl::SetToolTipText(const std::string& text) {
    setToolTip(Q(text));
}

void QtListControl::keyPressEvent(QKeyEvent* event) {
    if (onKeyPress) {
        int shift = ((event->modifiers() & Qt::ShiftModifier) ? 1 : 0) |
                    ((event->modifiers() & Qt::ControlModifier) ? 2 : 0) |
                    ((event->modifiers() & Qt::AltModifier) ? 4 : 0);
        onKeyPress(event->key(), shift);
    }
    QTreeWidget::keyPressEvent(event);
}

void QtListControl::OnSelectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    markedBefore_ = deselected.indexes().isEmpty() ? -1 : deselected.indexes().first().row();
    if (!onSelectionChanged)
        return;
    // The row reported is the one clicked: the current row, when the change marked it or (a
    // plain click inside several marked rows) left it the one still marked.
    const int current = CurrentRow();
    int row = -1;
    if (!selected.indexes().isEmpty()) {
        row = selected.indexes().first().row();
        for (const QModelIndex& index : selected.indexes())
            if (index.row() == current)
                row = current;
    } else if (!clearingMark_ && current >= 0 && Selected(current)) {
        row = current;
    } else if (!deselected.indexes().isEmpty()) {
        row = deselected.indexes().first().row();
    }
    if (row >= 0)
        onSelectionChanged(row);
}

} // namespace orv
