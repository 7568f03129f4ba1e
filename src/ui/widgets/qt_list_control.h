// The list control on a QTreeWidget used as a flat list with columns. Marks set by the program
// raise the same selection event as a click, because both go through the selection model.
#pragma once

#include "util/list_control.h"

#include <QTreeWidget>

namespace orv {

class QtListControl : public QTreeWidget, public ListControl {
    Q_OBJECT
public:
    explicit QtListControl(QWidget* parent = nullptr);

    void Clear() override;
    void AddColumn(const std::string& caption, int width) override;
    int ColumnCount() const override { return columns_; }
    void SetColumnWidth(int column, int width) override;
    void SetColumnHidden(int column, bool hidden) override;
    int AddItem(const std::string& text) override;
    void RemoveItem(int row) override;
    int Count() const override { return topLevelItemCount(); }
    std::string CellText(int row, int column) const override;
    void SetCellText(int row, int column, const std::string& text) override;
    std::string RowText(int row) const override;
    int CurrentRow() const override;
    void SetCurrentRow(int row) override;
    bool Selected(int row) const override;
    void SetSelected(int row, bool selected) override;
    int SelCount() const override;
    std::string CurrentText() const override;
    void MakeVisible(int row) override;
    void SetRedraw(bool on) override;
    std::string Tag() const override { return tag_; }
    void SetTag(const std::string& tag) override { tag_ = tag; }
    void SetToolTipText(const std::string& text) override;

    // The row that carried the selection mark before the latest selection change (-1 when
    // none did): a handler that cannot follow a click puts the mark back there.
    int RowMarkedBefore() const { return markedBefore_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    std::string tag_;
    int columns_ = 0;
    bool clearingMark_ = false;
    int markedBefore_ = -1;
};

} // namespace orv
