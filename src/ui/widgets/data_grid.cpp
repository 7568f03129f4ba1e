#include "ui/widgets/data_grid.h"

#include "core/screen.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"

#include <QBrush>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace orv {

namespace {

// Row numbers beyond what a view can index are not shown (the store keeps them).
int ClampToInt(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, 0, INT_MAX));
}

void ThrowOutOfMemory() {
    throw GridError(kGridErrOutOfMemory, "Unable to allocate memory.");
}

} // namespace

int DataGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return ClampToInt(store_.Rows() - 1);
}

int DataGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : store_.Cols();
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int64_t row = int64_t{index.row()} + 1;
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view text = store_.Cell(row, index.column());
        return Q(text);
    }
    case Qt::BackgroundRole: {
        const uint32_t c = store_.BackColor(row, index.column());
        if (c == DataGridStore::kNoColor)
            return {};
        return QBrush(ColorFromColorRef(static_cast<int32_t>(c)));
    }
    case Qt::ForegroundRole: {
        const uint32_t c = store_.ForeColor(row, index.column());
        if (c == DataGridStore::kNoColor)
            return {};
        return QBrush(ColorFromColorRef(static_cast<int32_t>(c)));
    }
    default:
        return {};
    }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    const std::string_view text = store_.Cell(0, section);
    return Q(text);
}

bool DataGridModel::SetRows(int64_t rows) {
    const int oldCount = rowCount();
    const int64_t oldRows = store_.Rows();
    rows = std::max<int64_t>(rows, 0);
    if (rows == oldRows)
        return true;
    const int newCount = ClampToInt(rows - 1);
    if (newCount > oldCount) {
        if (!store_.SetRows(rows))
            return false;
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        endInsertRows();
    } else if (newCount < oldCount) {
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        store_.SetRows(rows);
        endRemoveRows();
    } else if (!store_.SetRows(rows)) {
        return false;
    }
    return true;
}

void DataGridModel::SetCols(int32_t cols) {
    cols = std::max(cols, 0);
    const int32_t old = store_.Cols();
    if (cols > old) {
        beginInsertColumns(QModelIndex(), old, cols - 1);
        store_.SetCols(cols);
        endInsertColumns();
    } else if (cols < old) {
        beginRemoveColumns(QModelIndex(), cols, old - 1);
        store_.SetCols(cols);
        endRemoveColumns();
    }
}

void DataGridModel::SetNotify(bool on) {
    const bool was = notify_;
    notify_ = on;
    if (on && !was && rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
}

void DataGridModel::CellsChanged(int64_t firstRow, int64_t lastRow, int32_t firstCol,
                                 int32_t lastCol) {
    if (!notify_ || store_.Cols() == 0)
        return;
    firstCol = std::clamp(firstCol, 0, store_.Cols() - 1);
    lastCol = std::clamp(lastCol, firstCol, store_.Cols() - 1);
    if (firstRow <= 0) {
        emit headerDataChanged(Qt::Horizontal, firstCol, lastCol);
        firstRow = 1;
    }
    if (lastRow >= firstRow && rowCount() > 0) {
        const int top = ClampToInt(firstRow - 1);
        const int bottom = std::min(ClampToInt(lastRow - 1), rowCount() - 1);
        if (top <= bottom)
            emit dataChanged(index(top, firstCol), index(bottom, lastCol));
    }
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new DataGridModel(this)) {
    setModel(model_);
    // Per-item scrolling makes the scroll position the number of the top row.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void DataGrid::SetRows(int64_t rows) {
    if (!model_->SetRows(rows))
        ThrowOutOfMemory();
}

void DataGrid::SetCols(int32_t cols) {
    model_->SetCols(cols);
}

int64_t DataGrid::AddRows(int64_t count) {
    const int64_t first = Rows();
    SetRows(first + std::max<int64_t>(count, 0));
    return first;
}

std::string DataGrid::TextMatrix(int64_t row, int32_t col) const {
    return std::string(model_->Store().Cell(row, col));
}

void DataGrid::SetTextMatrix(int64_t row, int32_t col, std::string_view text) {
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
        throw GridError(381, "Subscript out of range");
    if (!model_->Store().SetCell(row, col, text))
        ThrowOutOfMemory();
    model_->CellsChanged(row, row, col, col);
}

void DataGrid::SetRowTexts(int64_t row, const std::string_view* cells, int32_t count) {
    if (row < 0 || row >= Rows() || count > Cols())
        throw GridError(381, "Subscript out of range");
    if (!model_->Store().SetRow(row, cells, count))
        ThrowOutOfMemory();
    model_->CellsChanged(row, row, 0, Cols() - 1);
}

int64_t DataGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? int64_t{i.row()} + 1 : (Rows() > 1 ? 1 : 0);
}

int32_t DataGrid::Col() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : col_;
}

void DataGrid::SetRow(int64_t row) {
    if (row < 1 || row >= Rows())
        return;
    setCurrentIndex(model_->index(ClampToInt(row - 1), std::min(Col(), std::max(0, Cols() - 1))));
}

void DataGrid::SetCol(int32_t col) {
    if (col < 0 || col >= Cols())
        return;
    col_ = col;
    if (Rows() > 1)
        setCurrentIndex(model_->index(ClampToInt(Row() - 1), col));
}

uint32_t DataGrid::CellBackColor(int64_t row, int32_t col) const {
    return model_->Store().BackColor(row, col);
}

void DataGrid::SetCellBackColor(int64_t row, int32_t col, uint32_t colorRef) {
    model_->Store().SetBackColor(row, col, colorRef);
    model_->CellsChanged(row, row, col, col);
}

uint32_t DataGrid::CellForeColor(int64_t row, int32_t col) const {
    return model_->Store().ForeColor(row, col);
}

void DataGrid::SetCellForeColor(int64_t row, int32_t col, uint32_t colorRef) {
    model_->Store().SetForeColor(row, col, colorRef);
    model_->CellsChanged(row, row, col, col);
}

int32_t DataGrid::ColWidth(int32_t col) const {
    return columnWidth(col) * kTwipsPerPixel;
}

void DataGrid::SetColWidth(int32_t col, int32_t twips) {
    setColumnWidth(col, TwipsToPixels(twips));
}

int64_t DataGrid::TopRow() const {
    if (Rows() <= 1)
        return 0;
    return int64_t{verticalScrollBar()->value()} + 1;
}

void DataGrid::SetTopRow(int64_t row) {
    if (row < 1 || row >= Rows())
        return;
    // The scroll range follows the rows only after a layout pass. Bringing it up to date
    // measures the headers, so it is done only when the range is really too short.
    if (verticalScrollBar()->maximum() < row - 1)
        updateGeometries();
    verticalScrollBar()->setValue(ClampToInt(row - 1));
}

void DataGrid::SetRedraw(bool on) {
    // Off, cell writes cost no notices and no paints; the view still answers exposes.
    model_->SetNotify(on);
}

// Asks for one paint of what is shown; paints coalesce until the event loop runs.
void DataGrid::Refresh() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

} // namespace orv
