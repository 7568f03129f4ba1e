// Column headings and widths for a list of names with a second column: the headings show, the
// visible columns keep their parts of the list's width as the list grows or shrinks (a column
// the user drags keeps its new part), and a cell too narrow for its text shows the whole text as
// a tooltip. Hidden columns stay hidden.
#pragma once

#include <QObject>
#include <QStringList>

#include <vector>

class QTreeWidget;

namespace orv {

class ListColumns : public QObject {
    Q_OBJECT
public:
    // `parts` are the visible columns' shares of the width, in per cent; the last visible column
    // takes what is left.
    ListColumns(QTreeWidget* list, const QStringList& headings, std::vector<int> parts);

    // Sets the widths from the parts now (also done on every resize of the list).
    void Fit();
    // True when the text of the cell at `row`, `column` does not fit its column.
    bool CutShort(int row, int column) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ColumnDragged(int column, int oldSize, int newSize);

    QTreeWidget* list_;
    QWidget* viewport_;
    std::vector<int> parts_; // per 10,000 of the width, by column
    bool fitting_ = false;
};

} // namespace orv
