// The object list of the results window as a table model over the results: one row per pair
// that the current filter lets through, read straight from the shared results (nothing is
// copied), so tens of thousands of objects list at once.
#pragma once

#include "dbcompare/db_compare_filter.h"

#include <QAbstractTableModel>

#include <vector>

namespace orv {

class DbCompareResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColType,
        ColSchema,
        ColName,
        ColStatus,
        ColSourceModified,
        ColTargetModified,
        ColNote,
        ColumnCount
    };

    explicit DbCompareResultsModel(DbCompareResultsPtr results, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetFilter(const PairFilter& filter);
    const PairFilter& Filter() const { return filter_; }
    // Indexes into the results' pairs of the rows shown, in row order.
    const std::vector<int>& Shown() const { return shown_; }
    // The pair of a row; nullptr outside the rows.
    const PairVerdict* PairAt(int row) const;
    // The row showing pair `pairIndex`, or -1 when the filter hides it.
    int RowOfPair(int pairIndex) const;

private:
    DbCompareResultsPtr results_;
    PairFilter filter_;
    std::vector<int> shown_;
};

// The words the window uses: "Table", "identical", ... and the note of a pair (why it is not
// comparable, how many lines differ).
QString TypeWord(ObjectType type);
QString PairNote(const PairVerdict& pair);

} // namespace orv
