// A ListControl kept in memory, for tests and the headless front end.
#pragma once

#include "util/list_control.h"

#include <vector>

namespace orv {

class MemoryListControl : public ListControl {
public:
    void Clear() override;
    void AddColumn(const std::string& caption, int width) override;
    int ColumnCount() const override { return static_cast<int>(columns.size()); }
    void SetColumnWidth(int column, int width) override;
    void SetColumnHidden(int column, bool hidden) override;
    int AddItem(const std::string& text) override;
    void RemoveItem(int row) override;
    int Count() const override { return static_cast<int>(rows_.size()); }
    std::string CellText(int row, int column) const override;
    void SetCellText(int row, int column, const std::string& text) override;
    std::string RowText(int row) const override;
    int CurrentRow() const override { return current_; }
    void SetCurrentRow(int row) override;
    bool Selected(int row) const override;
    void SetSelected(int row, bool selected) override;
    int SelCount() const override;
    std::string CurrentText() const override;
    void MakeVisible(int row) override { lastMadeVisible = row; }
    void SetRedraw(bool on) override { redraw = on; }
    std::string Tag() const override { return tag_; }
    void SetTag(const std::string& tag) override { tag_ = tag; }
    void SetToolTipText(const std::string& text) override { toolTip = text; }

    struct Column {
        std::string caption;
        int width = 0;
        bool hidden = false;
    };
    std::vector<Column> columns;
    int lastMadeVisible = -1;
    bool redraw = true;
    std::string toolTip;

private:
    struct Row {
        std::vector<std::string> cells;
        bool selected = false;
    };
    std::vector<Row> rows_;
    int current_ = -1;
    std::string tag_;
};

} // namespace orv
