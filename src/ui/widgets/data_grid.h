// The data grid: a table view over DataGridStore. Grid row 0 is the header row (shown as the
// column headers); rows 1.. are the data rows. Row, column and colour numbers follow the grid
// conventions the windows are written against: colours are 0x00BBGGRR, widths are in twips.
#pragma once

#include "ui/widgets/data_grid_store.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orv {

// The grid's number for "cannot allocate memory".
constexpr int32_t kGridErrOutOfMemory = 30006;

class GridError : public std::runtime_error {
public:
    GridError(int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int32_t Number() const { return number_; }

private:
    int32_t number_;
};

class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    DataGridStore& Store() { return store_; }
    const DataGridStore& Store() const { return store_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid rows, header row included. Growing inserts all new rows with one notice.
    bool SetRows(int64_t rows);
    void SetCols(int32_t cols);
    // While off, cell writes send no notices; switching it on again announces everything.
    void SetNotify(bool on);
    bool Notify() const { return notify_; }
    void CellsChanged(int64_t firstRow, int64_t lastRow, int32_t firstCol, int32_t lastCol);

private:
    DataGridStore store_;
    bool notify_ = true;
};

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    int64_t Rows() const { return model_->Store().Rows(); }
    // Throws GridError(kGridErrOutOfMemory) when the rows cannot be had.
    void SetRows(int64_t rows);
    int32_t Cols() const { return model_->Store().Cols(); }
    void SetCols(int32_t cols);
    // Appends `count` rows and returns the number of the first one.
    int64_t AddRows(int64_t count);

    std::string TextMatrix(int64_t row, int32_t col) const;
    // Both throw GridError(kGridErrOutOfMemory) when the text cannot be stored.
    void SetTextMatrix(int64_t row, int32_t col, std::string_view text);
    void SetRowTexts(int64_t row, const std::string_view* cells, int32_t count);

    // The current cell.
    int64_t Row() const;
    int32_t Col() const;
    void SetRow(int64_t row);
    void SetCol(int32_t col);

    uint32_t CellBackColor(int64_t row, int32_t col) const;
    void SetCellBackColor(int64_t row, int32_t col, uint32_t colorRef);
    uint32_t CellForeColor(int64_t row, int32_t col) const;
    void SetCellForeColor(int64_t row, int32_t col, uint32_t colorRef);

    int32_t ColWidth(int32_t col) const;
    void SetColWidth(int32_t col, int32_t twips);

    // The first data row shown at the top.
    int64_t TopRow() const;
    void SetTopRow(int64_t row);

    bool Redraw() const { return model_->Notify(); }
    void SetRedraw(bool on);
    void Refresh();

    DataGridModel& Model() { return *model_; }
    const DataGridModel& Model() const { return *model_; }

private:
    DataGridModel* model_;
    int32_t col_ = 0;
};

} // namespace orv
