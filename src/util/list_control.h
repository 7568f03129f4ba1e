// What the program needs of a list with columns: rows of cells (hidden columns keep their
// texts), current row, selection marks that raise the same event as a click, a free-text tag
// for the "OFF" convention, redraw on/off and scrolling a row into view.
#pragma once

#include <functional>
#include <string>

namespace orv {

class ListControl {
public:
    virtual ~ListControl() = default;

    // Removes all rows and their selection marks (columns stay).
    virtual void Clear() = 0;
    virtual void AddColumn(const std::string& caption, int width) = 0;
    virtual int ColumnCount() const = 0;
    virtual void SetColumnWidth(int column, int width) = 0;
    virtual void SetColumnHidden(int column, bool hidden) = 0;
    // Adds a row whose first cell is `text`; returns its 0-based number.
    virtual int AddItem(const std::string& text) = 0;
    virtual void RemoveItem(int row) = 0;
    virtual int Count() const = 0;
    virtual std::string CellText(int row, int column) const = 0;
    virtual void SetCellText(int row, int column, const std::string& text) = 0;
    // The row's text followed by one separator character, which callers remove.
    virtual std::string RowText(int row) const = 0;
    // -1 when there is none.
    virtual int CurrentRow() const = 0;
    virtual void SetCurrentRow(int row) = 0;
    virtual bool Selected(int row) const = 0;
    // Raises onSelectionChanged exactly as a click does.
    virtual void SetSelected(int row, bool selected) = 0;
    virtual int SelCount() const = 0;
    // First cell of the current row; empty when there is none.
    virtual std::string CurrentText() const = 0;
    virtual void MakeVisible(int row) = 0;
    virtual void SetRedraw(bool on) = 0;
    virtual std::string Tag() const = 0;
    virtual void SetTag(const std::string& tag) = 0;
    virtual void SetToolTipText(const std::string& text) = 0;

    // Events, raised on the user-interface thread, also while the program changes selection.
    std::function<void(int row)> onSelectionChanged;
    std::function<void(int row)> onRowChosen;
    std::function<void(int key, int shift)> onKeyPress;
};

// The separator that RowText appends.
constexpr char kListRowSeparator = '\t';

} // namespace orv
