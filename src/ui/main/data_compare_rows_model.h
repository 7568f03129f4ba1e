// The differing rows of one table pair as a table for a view: the row's status, its key
// values, then each compared column twice, the Source value beside the Target value. The cells
// that differ are painted in the main window's difference colours: a changed value green on
// both sides, a row only in the Source red on its Source side, a row only in the Target blue
// on its Target side, a conflict (a key value carried by several rows) yellow.
#pragma once

#include "dbcompare/data_compare_results.h"

#include <QAbstractTableModel>

#include <vector>

namespace orv {

// Which differing rows are shown.
enum class RowFilter { All, Different, OnlyInSource, OnlyInTarget, Conflict };

class DataCompareRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataCompareRowsModel(QObject* parent = nullptr);

    // The pair shown (not owned: the results outlive the model's use of it), nullptr for none.
    void SetPair(const DataTableResult* pair);
    void SetFilter(RowFilter filter);
    RowFilter Filter() const { return filter_; }
    const DataTableResult* Pair() const { return pair_; }

    // The kept row behind a shown row.
    const DataRowDiff* RowAt(int row) const;
    // The first view column of a compared column (its Source value; the Target is next), -1
    // for no such column.
    int ViewColumnOf(int comparedColumn) const;
    // The compared column behind a view column and which side it shows (0 source, 1 target);
    // -1 for the status and key columns.
    int ComparedColumnAt(int viewColumn, int* side = nullptr) const;
    // The text a cell shows (as the view shows it; tests and the clipboard read it).
    QString CellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void Refilter();
    int KeyColumns() const;
    // The value a cell shows; nullptr for the status column and a side the row is missing from.
    const FieldValue* ValueAt(const DataRowDiff& row, int column) const;

    const DataTableResult* pair_ = nullptr;
    RowFilter filter_ = RowFilter::All;
    std::vector<int> shown_; // indices into the pair's Rows
};

// "different", "only in source", ... as a row's status column shows it.
QString RowStatusText(RowStatus status);

} // namespace orv
