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

QString PairNote(const PairVerdict& pair) {
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
    if (results_)
        shown_ = FilterPairs(*results_, filter_);
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
            return PairNote(*p);
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
        "Type", "Schema", "Name", "Status", "Source modified", "Target modified", "Note"};
    return section >= 0 && section < ColumnCount ? QString(kHeaders[section]) : QVariant();
}

void DbCompareResultsModel::SetFilter(const PairFilter& filter) {
    beginResetModel();
    filter_ = filter;
    shown_ = results_ ? FilterPairs(*results_, filter_) : std::vector<int>{};
    endResetModel();
}

} // namespace orv
