// The cell texts of the data grid, held compactly: tables of millions of rows must fit. Each
// row is one packed record in a block arena (cell count and lengths as variable-length numbers,
// then the texts), so a row costs its text plus a few bytes, with no object per cell. Cell
// colours are rare and kept in a side table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

class DataGridStore {
public:
    // Colours as 0x00BBGGRR numbers; kNoColor means the grid's default.
    static constexpr uint32_t kNoColor = 0xFFFFFFFFu;

    DataGridStore();

    int64_t Rows() const { return static_cast<int64_t>(rows_.size()); }
    // False when the memory for the row table cannot be had; the rows stay as they were.
    bool SetRows(int64_t rows);
    int32_t Cols() const { return cols_; }
    void SetCols(int32_t cols);

    // Empty for a cell never written or outside the grid.
    std::string_view Cell(int64_t row, int32_t col) const;
    // False when the memory for the text cannot be had (the cell keeps its old text).
    bool SetCell(int64_t row, int32_t col, std::string_view text);
    // Writes a whole row at once, cells 0..count-1 (the rest of the row becomes empty).
    bool SetRow(int64_t row, const std::string_view* cells, int32_t count);
    bool RowWritten(int64_t row) const;

    uint32_t BackColor(int64_t row, int32_t col) const;
    void SetBackColor(int64_t row, int32_t col, uint32_t color);
    uint32_t ForeColor(int64_t row, int32_t col) const;
    void SetForeColor(int64_t row, int32_t col, uint32_t color);

    // Bytes held for rows and texts. The limit stands for the memory the grid may have;
    // writes that would pass it fail as an allocation failure would.
    size_t MemoryUsed() const;
    size_t MemoryLimit() const { return limit_; }
    void SetMemoryLimit(size_t bytes) { limit_ = bytes; }
    // Half of the machine's physical memory.
    static size_t DefaultMemoryLimit();

private:
    struct RowRef {
        uint32_t block = UINT32_MAX;
        uint32_t offset = 0;
    };
    struct Block {
        std::unique_ptr<char[]> data;
        uint32_t size = 0;
        uint32_t used = 0;
    };

    // Room for `bytes` in the arena; nullptr when the memory cannot be had.
    char* Allocate(size_t bytes, RowRef& ref);
    const char* RowData(int64_t row) const;
    uint64_t ColorKey(int64_t row, int32_t col) const;

    std::vector<RowRef> rows_;
    std::vector<Block> blocks_;
    size_t blockBytes_ = 0;
    int32_t cols_ = 0;
    size_t limit_;
    std::unordered_map<uint64_t, uint32_t> backColors_;
    std::unordered_map<uint64_t, uint32_t> foreColors_;
};

} // namespace orv
