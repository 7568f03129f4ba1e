#include "ui/main/db_compare_results_model.h"

#include "compare/comp_line.h"
#include "ui/widgets/qt_text.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace orv {

namespace {

QColor FromColour(Colour c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

// A status cell takes the colour its lines take in the marked views; identical pairs stay plain.
QVariant StatusBackground(PairStatus status) {
    switch (status) {
    case PairStatus::Different:
        return QBrush(FromColour(StatusToColor(LineChanged)));
    case PairStatus::OnlyInSource:
        return QBrush(FromColour(StatusToColor(LineOnlyInSource)));
    case PairStatus::OnlyInTarget:
        return QBrush(FromColour(StatusToColor(LineOnlyInTarget)));
    case PairStatus::NotComparable:
        return QBrush(FromColour(StatusToColor(LineUnmarked)));
    case PairStatus::Identical:
        break;
    }
    return {};
}

} // namespace

QString TypeWord(ObjectType type) {
    return Q(GetObjectTypeName(type, true));
}

QString PairStatusNote(const PairVerdict& pair);

QString PairNote(const PairVerdict& pair) {
    return PairNote(pair, false);
}

QString PairNote(const PairVerdict& pair, bool renameConfirmed) {
    // The rename comes first: it asks for a decision, and a narrow column still shows it.
    QString note;
    if (!pair.RenamedColumnFrom.empty())
        note = renameConfirmed ? Q("renamed " + pair.RenamedColumnFrom + " \u2192 " +
                                   pair.RenamedColumnTo + " (confirmed)")
                               : Q(ColumnRenameNote(pair));
    const QString status = PairStatusNote(pair);
    if (!status.isEmpty())
        note += (note.isEmpty() ? "" : "; ") + status;
    if (!pair.DefinitionNote.empty())
        note += (note.isEmpty() ? "" : "; ") + Q(pair.DefinitionNote);
    return note;
}

QString PairStatusNote(const PairVerdict& pair) {
    switch (pair.Status) {
    case PairStatus::Different: {
        const int64_t n = DifferingLineCount(pair);
        QString note = n == 1 ? QString("1 differing line") : QString("%1 differing lines").arg(n);
        if (pair.ColumnsIgnored)
            note += ", some columns ignored";
        return note;
    }
    case PairStatus::NotComparable:
        return Q(pair.Reason);
    case PairStatus::Identical:
        return pair.ColumnsIgnored ? QString("some columns ignored") : QString();
    default:
        return {};
    }
}

DbCompareResultsModel::DbCompareResultsModel(DbCompareResultsPtr results, QObject* parent)
    : QAbstractTableModel(parent), results_(std::move(results)) {
    if (results_) {
        shown_ = FilterPairs(*results_, filter_);
        // The deployment decides what is offered and what starts ticked; its list keeps the
        // pairs' order, so walking both together finds each offered pair's row.
        const std::vector<DeployObject> offered = OfferedObjects(*results_);
        size_t next = 0;
        for (const PairVerdict& p : results_->Pairs) {
            const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
            const bool isNext = next < offered.size() && offered[next].Type == p.Type &&
                                offered[next].Status == p.Status &&
                                offered[next].Schema == ref.Schema &&
                                offered[next].Name == ref.Name;
            offered_.push_back(isNext ? 1 : 0);
            included_.push_back(isNext && TickedByDefault(offered[next]) ? 1 : 0);
            if (isNext)
                ++next;
        }
        renameConfirmed_.assign(results_->Pairs.size(), 0);
    }
}

bool DbCompareResultsModel::RenameSuggested(int pairIndex) const {
    return Offered(pairIndex) &&
           !results_->Pairs[static_cast<size_t>(pairIndex)].RenamedColumnFrom.empty();
}

bool DbCompareResultsModel::RenameConfirmed(int pairIndex) const {
    return RenameSuggested(pairIndex) && renameConfirmed_[static_cast<size_t>(pairIndex)];
}

void DbCompareResultsModel::SetRenameConfirmed(int pairIndex, bool on) {
    if (!RenameSuggested(pairIndex) || RenameConfirmed(pairIndex) == on)
        return;
    renameConfirmed_[static_cast<size_t>(pairIndex)] = on ? 1 : 0;
    const int row = RowOfPair(pairIndex);
    if (row >= 0)
        emit dataChanged(index(row, ColNote), index(row, ColNote));
    emit IncludedChanged();
}

std::vector<ColumnRename> DbCompareResultsModel::ConfirmedRenames() const {
    std::vector<ColumnRename> out;
    for (size_t i = 0; results_ && i < results_->Pairs.size(); ++i) {
        if (!renameConfirmed_[i])
            continue;
        const PairVerdict& p = results_->Pairs[i];
        out.push_back({p.Target.Schema, p.Target.Name, p.RenamedColumnFrom, p.RenamedColumnTo});
    }
    return out;
}

bool DbCompareResultsModel::Offered(int pairIndex) const {
    return pairIndex >= 0 && pairIndex < static_cast<int>(offered_.size()) &&
           offered_[static_cast<size_t>(pairIndex)];
}

bool DbCompareResultsModel::Included(int pairIndex) const {
    return Offered(pairIndex) && included_[static_cast<size_t>(pairIndex)];
}

void DbCompareResultsModel::SetIncluded(int pairIndex, bool on) {
    if (!Offered(pairIndex) || Included(pairIndex) == on)
        return;
    included_[static_cast<size_t>(pairIndex)] = on ? 1 : 0;
    const int row = RowOfPair(pairIndex);
    if (row >= 0)
        emit dataChanged(index(row, ColInclude), index(row, ColInclude), {Qt::CheckStateRole});
    emit IncludedChanged();
}

void DbCompareResultsModel::SetAllIncluded(bool on) {
    for (size_t i = 0; i < included_.size(); ++i)
        included_[i] = offered_[i] && on ? 1 : 0;
    if (!shown_.empty())
        emit dataChanged(index(0, ColInclude),
                         index(static_cast<int>(shown_.size()) - 1, ColInclude),
                         {Qt::CheckStateRole});
    emit IncludedChanged();
}

std::vector<DeployObject> DbCompareResultsModel::IncludedObjects() const {
    std::vector<DeployObject> out;
    for (size_t i = 0; results_ && i < results_->Pairs.size(); ++i) {
        if (!included_[i])
            continue;
        const PairVerdict& p = results_->Pairs[i];
        const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
        out.push_back({p.Type, ref.Schema, ref.Name, p.Status});
    }
    return out;
}

int DbCompareResultsModel::OfferedCount() const {
    return static_cast<int>(std::count(offered_.begin(), offered_.end(), 1));
}

Qt::ItemFlags DbCompareResultsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == ColInclude && index.row() >= 0 &&
        index.row() < static_cast<int>(shown_.size()) &&
        Offered(shown_[static_cast<size_t>(index.row())]))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool DbCompareResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != ColInclude || index.row() < 0 ||
        index.row() >= static_cast<int>(shown_.size()))
        return false;
    const int pair = shown_[static_cast<size_t>(index.row())];
    if (!Offered(pair))
        return false;
    SetIncluded(pair, value.toInt() == Qt::Checked);
    return true;
}

int DbCompareResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int DbCompareResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const PairVerdict* DbCompareResultsModel::PairAt(int row) const {
    if (!results_ || row < 0 || row >= static_cast<int>(shown_.size()))
        return nullptr;
    return &results_->Pairs[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
}

int DbCompareResultsModel::RowOfPair(int pairIndex) const {
    // The shown indexes ascend, so the row is found by halving.
    auto it = std::lower_bound(shown_.begin(), shown_.end(), pairIndex);
    return it != shown_.end() && *it == pairIndex ? static_cast<int>(it - shown_.begin()) : -1;
}

QVariant DbCompareResultsModel::data(const QModelIndex& index, int role) const {
    const PairVerdict* p = PairAt(index.row());
    if (!p)
        return {};
    const ObjectRef& ref = p->HasSource ? p->Source : p->Target;
    if (index.column() == ColInclude) {
        const int pair = shown_[static_cast<size_t>(index.row())];
        if (role == Qt::CheckStateRole && Offered(pair))
            return Included(pair) ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::ToolTipRole && Offered(pair))
            return p->Status == PairStatus::OnlyInTarget
                       ? QString("Ticked: the deployment script drops it from the Target")
                       : QString("Ticked: the deployment script makes the Target's match the "
                                 "Source's");
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case ColType:
            return TypeWord(p->Type);
        case ColSchema:
            return Q(ref.Schema);
        case ColName:
            return Q(ref.Name);
        case ColStatus:
            return QString(PairStatusWord(p->Status));
        case ColSourceModified:
            return p->HasSource ? Q(p->Source.Modified) : QString();
        case ColTargetModified:
            return p->HasTarget ? Q(p->Target.Modified) : QString();
        case ColNote:
            return PairNote(*p, RenameConfirmed(shown_[static_cast<size_t>(index.row())]));
        default:
            return {};
        }
    }
    if (role == Qt::BackgroundRole && index.column() == ColStatus)
        return StatusBackground(p->Status);
    return {};
}

QVariant DbCompareResultsModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kHeaders[ColumnCount] = {
        "Include",         "Type", "Schema", "Name", "Status", "Source modified",
        "Target modified", "Note"};
    return section >= 0 && section < ColumnCount ? QString(kHeaders[section]) : QVariant();
}

void DbCompareResultsModel::SetFilter(const PairFilter& filter) {
    beginResetModel();
    filter_ = filter;
    shown_ = results_ ? FilterPairs(*results_, filter_) : std::vector<int>{};
    endResetModel();
}

} // namespace orv
