// The object list of the results window as a table model over the results: one row per pair
// that the current filter lets through, read straight from the shared results (nothing is
// copied), so tens of thousands of objects list at once.
#pragma once

#include "dbcompare/db_compare_filter.h"
#include "deploy/deploy_script.h"

#include <QAbstractTableModel>

#include <vector>

namespace orv {

class DbCompareResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColInclude, // a deployment's check box, on the pairs a deployment can act on
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
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The deployment's selection. Differing and only-in-source pairs start ticked,
    // only-in-target ones unticked (ticked, they are dropped from the target); identical and
    // not comparable pairs have no box.
    bool Offered(int pairIndex) const;
    bool Included(int pairIndex) const;
    void SetIncluded(int pairIndex, bool on);
    void SetAllIncluded(bool on);
    // The ticked pairs as a deployment takes them, in the results' order.
    std::vector<DeployObject> IncludedObjects() const;
    int OfferedCount() const;

    // A differing table flagged "renamed?" (one column only in each side, of the same shape)
    // can be confirmed as a rename; the deployment then renames the column in place. Nothing
    // is confirmed at first: a rename is never assumed.
    bool RenameSuggested(int pairIndex) const;
    bool RenameConfirmed(int pairIndex) const;
    void SetRenameConfirmed(int pairIndex, bool on);
    // The confirmed renames, in the results' order.
    std::vector<ColumnRename> ConfirmedRenames() const;

    void SetFilter(const PairFilter& filter);

signals:
    // A box was ticked or unticked (by a click or a Select All / None), or a rename was
    // confirmed or withdrawn: what the deployment script is made from changed.
    void IncludedChanged();

public:
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
    std::vector<char> offered_, included_, renameConfirmed_; // by pair index
};

// The words the window uses: "Table", "identical", ... and the note of a pair (why it is not
// comparable, how many lines differ).
QString TypeWord(ObjectType type);
QString PairNote(const PairVerdict& pair);
// The note with the rename's state: "renamed? Old → New", or "renamed Old → New (confirmed)".
QString PairNote(const PairVerdict& pair, bool renameConfirmed);

} // namespace orv
