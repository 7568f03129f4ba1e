#include "util/memory_list_control.h"

namespace orv {

void MemoryListControl::Clear() {
    rows_.clear();
    current_ = -1;
}

void MemoryListControl::AddColumn(const std::string& caption, int width) {
    columns.push_back({caption, width, false});
}

void MemoryListControl::SetColumnWidth(int column, int width) {
    if (column >= 0 && column < ColumnCount())
        columns[static_cast<size_t>(column)].width = width;
}

void MemoryListControl::SetColumnHidden(int column, bool hidden) {
    if (column >= 0 && column < ColumnCount())
        columns[static_cast<size_t>(column)].hidden = hidden;
}

int MemoryListControl::AddItem(const std::string& text) {
    Row r;
    r.cells.push_back(text);
    rows_.push_back(std::move(r));
    return Count() - 1;
}

void MemoryListControl::RemoveItem(int row) {
    if (row < 0 || row >= Count())
        return;
    rows_.erase(rows_.begin() + row);
    if (current_ == row)
        current_ = -1;
    else if (current_ > row)
        --current_;
}

std::string MemoryListControl::CellText(int row, int column) const {
    if (row < 0 || row >= Count() || column < 0)
        return {};
    const auto& cells = rows_[static_cast<size_t>(row)].cells;
    return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                      : std::string();
}

void MemoryListControl::SetCellText(int row, int column, const std::string& text) {
    if (row < 0 || row >= Count() || column < 0)
        return;
    auto& cells = rows_[static_cast<size_t>(row)].cells;
    if (cells.size() <= static_cast<size_t>(column))
        cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
}

std::string MemoryListControl::RowText(int row) const {
    return CellText(row, 0) + kListRowSeparator;
}

void MemoryListControl::SetCurrentRow(int row) {
    current_ = (row >= 0 && row < Count()) ? row : -1;
}

bool MemoryListControl::Selected(int row) const {
    return row >= 0 && row < Count() && rows_[static_cast<size_t>(row)].selected;
}

void MemoryListControl::SetSelected(int row, bool selected) {
    if (row < 0 || row >= Count())
        return;
    // Single selection, as in the program's lists: marking one row unmarks the others.
    if (selected)
        for (auto& r : rows_)
            r.selected = false;
    rows_[static_cast<size_t>(row)].selected = selected;
    if (selected)
        current_ = row;
    if (onSelectionChanged)
        onSelectionChanged(row);
}

int MemoryListControl::SelCount() const {
    int n = 0;
    for (const auto& r : rows_)
        n += r.selected ? 1 : 0;
    return n;
}

std::string MemoryListControl::CurrentText() const {
    return CellText(current_, 0);
}

} // namespace orv
