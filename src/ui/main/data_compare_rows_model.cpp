#include "ui/main/data_compare_rows_model.h"

#include "compare/comp_line.h"
#include "ui/widgets/qt_text.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace orv {

namespace {

QColor ColourOf(int32_t lineStatus) {
    const Colour c = StatusToColor(lineStatus);
    return QColor(static_cast<int>(c & 0xff), static_cast<int>((c >> 8) & 0xff),
                  static_cast<int>((c >> 16) & 0xff));
}

// A value as a cell shows it: a NUL character is made visible rather than cutting the text.
QString Shown(const FieldValue& value) {
    QString text = Q(DataCellText(value));
    text.replace(QChar(0), QChar(0x2400));
    return text;
}

bool Passes(RowFilter filter, RowStatus status) {
    switch (filter) {
    case RowFilter::All:
        return true;
    case RowFilter::Different:
        return status == RowStatus::Different;
    case RowFilter::OnlyInSource:
        return status == RowStatus::OnlyInSource;
    case RowFilter::OnlyInTarget:
        return status == RowStatus::OnlyInTarget;
    case RowFilter::Conflict:
        return status == RowStatus::Conflict;
    }
    return true;
}

} // namespace

QString RowStatusText(RowStatus status) {
    return QString::fromLatin1(RowStatusWord(status));
}

DataCompareRowsModel::DataCompareRowsModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataCompareRowsModel::SetPair(const DataTableResult* pair) {
    beginResetModel();
    pair_ = pair;
    Refilter();
    endResetModel();
}

void DataCompareRowsModel::SetFilter(RowFilter filter) {
    beginResetModel();
    filter_ = filter;
    Refilter();
    endResetModel();
}

void DataCompareRowsModel::Refilter() {
    shown_.clear();
    if (!pair_)
        return;
    for (size_t k = 0; k < pair_->Rows.size(); ++k)
        if (Passes(filter_, pair_->Rows[k].Status))
            shown_.push_back(static_cast<int>(k));
}

const DataRowDiff* DataCompareRowsModel::RowAt(int row) const {
    if (!pair_ || row < 0 || row >= static_cast<int>(shown_.size()))
        return nullptr;
    return &pair_->Rows[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
}

int DataCompareRowsModel::KeyColumns() const {
    return pair_ ? static_cast<int>(pair_->KeyColumns.size()) : 0;
}

int DataCompareRowsModel::ViewColumnOf(int comparedColumn) const {
    if (!pair_ || comparedColumn < 0 || comparedColumn >= static_cast<int>(pair_->Compared.size()))
        return -1;
    return 1 + KeyColumns() + 2 * comparedColumn;
}

int DataCompareRowsModel::ComparedColumnAt(int viewColumn, int* side) const {
    const int first = 1 + KeyColumns();
    if (!pair_ || viewColumn < first || viewColumn >= columnCount())
        return -1;
    if (side)
        *side = (viewColumn - first) % 2;
    return (viewColumn - first) / 2;
}

int DataCompareRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int DataCompareRowsModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !pair_)
        return 0;
    return 1 + KeyColumns() + 2 * static_cast<int>(pair_->Compared.size());
}

const FieldValue* DataCompareRowsModel::ValueAt(const DataRowDiff& r, int column) const {
    if (column <= 0)
        return nullptr;
    if (column <= KeyColumns()) {
        const size_t k = static_cast<size_t>(column - 1);
        return k < r.Key.size() ? &r.Key[k] : nullptr;
    }
    int side = 0;
    const int c = ComparedColumnAt(column, &side);
    if (c < 0 || static_cast<size_t>(c) >= r.Cells.size())
        return nullptr;
    // The side a row is missing from has no value at all, which is not NULL.
    if ((side == 0 && r.Status == RowStatus::OnlyInTarget) ||
        (side == 1 && r.Status == RowStatus::OnlyInSource))
        return nullptr;
    const DataCellPair& cell = r.Cells[static_cast<size_t>(c)];
    return side == 0 ? &cell.Source : &cell.Target;
}

QString DataCompareRowsModel::CellText(int row, int column) const {
    const DataRowDiff* r = RowAt(row);
    if (!r)
        return {};
    if (column == 0)
        return RowStatusText(r->Status);
    const FieldValue* value = ValueAt(*r, column);
    return value ? Shown(*value) : QString();
}

QVariant DataCompareRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const DataRowDiff* r = RowAt(index.row());
    if (!r)
        return {};
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return CellText(index.row(), column);
    if (role == Qt::BackgroundRole) {
        int side = 0;
        const int c = ComparedColumnAt(column, &side);
        switch (r->Status) {
        case RowStatus::Different:
            if (c >= 0 && static_cast<size_t>(c) < r->Cells.size() &&
                r->Cells[static_cast<size_t>(c)].Differs)
                return QBrush(ColourOf(LineChanged));
            return {};
        case RowStatus::OnlyInSource:
            return side == 0 || c < 0 ? QBrush(ColourOf(LineOnlyInSource)) : QVariant();
        case RowStatus::OnlyInTarget:
            return side == 1 || c < 0 ? QBrush(ColourOf(LineOnlyInTarget)) : QVariant();
        case RowStatus::Conflict:
            return QBrush(ColourOf(LineUnmarked));
        }
    }
    if (role == Qt::FontRole || role == Qt::ForegroundRole) {
        // A NULL is shown as the word, in grey italics, so the text 'NULL' cannot pass for it.
        const FieldValue* value = ValueAt(*r, column);
        if (!value || !value->IsNull())
            return {};
        if (role == Qt::ForegroundRole)
            return QBrush(QColor(Qt::darkGray));
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    if (role == Qt::UserRole) // the row's status, for tests and delegates
        return static_cast<int>(r->Status);
    return {};
}

QVariant DataCompareRowsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section + 1;
        return {};
    }
    if (!pair_ || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (section == 0)
        return QString("Status");
    if (section <= KeyColumns()) {
        const QString name = Q(pair_->KeyColumns[static_cast<size_t>(section - 1)]);
        return role == Qt::DisplayRole ? name + " (key)" : "Key column " + name;
    }
    int side = 0;
    const int c = ComparedColumnAt(section, &side);
    if (c < 0)
        return {};
    const DataColumn& column = pair_->Compared[static_cast<size_t>(c)];
    if (role == Qt::DisplayRole)
        return Q(column.Name) + (side == 0 ? " (source)" : " (target)");
    QString tip = Q(column.Name) + " - " + Q(side == 0 ? column.SourceType : column.TargetType);
    if (static_cast<size_t>(c) < pair_->ColumnDiffCounts.size())
        tip +=
            QString(" - differs in %1 rows").arg(pair_->ColumnDiffCounts[static_cast<size_t>(c)]);
    return tip;
}

} // namespace orv
