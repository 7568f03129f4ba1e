#include "ui/widgets/data_grid_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unistd.h>

namespace orv {

namespace {

// Most rows are far smaller than a block; a larger row gets a block of its own.
constexpr size_t kBlockSize = size_t{1} << 20;

size_t VarintSize(uint64_t v) {
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char* PutVarint(char* p, uint64_t v) {
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char* GetVarint(const char* p, uint64_t& v) {
    v = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return p;
        shift += 7;
    }
}

} // namespace

DataGridStore::DataGridStore() : limit_(DefaultMemoryLimit()) {}

size_t DataGridStore::DefaultMemoryLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return size_t{1} << 30;
    return static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 2;
}

size_t DataGridStore::MemoryUsed() const {
    return rows_.capacity() * sizeof(RowRef) + blockBytes_;
}

bool DataGridStore::SetRows(int64_t rows) {
    if (rows < 0)
        rows = 0;
    const auto n = static_cast<size_t>(rows);
    if (n > rows_.size() && n * sizeof(RowRef) + blockBytes_ > limit_)
        return false;
    if (n < rows_.size()) {
        for (auto* colors : {&backColors_, &foreColors_})
            std::erase_if(*colors, [n](const auto& kv) { return (kv.first >> 20) >= n; });
    }
    try {
        rows_.resize(n);
        if (n < rows_.capacity() / 2)
            rows_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

void DataGridStore::SetCols(int32_t cols) {
    cols_ = std::max(0, cols);
}

char* DataGridStore::Allocate(size_t bytes, RowRef& ref) {
    if (!blocks_.empty()) {
        Block& last = blocks_.back();
        if (last.size - last.used >= bytes) {
            ref.block = static_cast<uint32_t>(blocks_.size() - 1);
            ref.offset = last.used;
            last.used += static_cast<uint32_t>(bytes);
            return last.data.get() + ref.offset;
        }
    }
    const size_t size = std::max(kBlockSize, bytes);
    if (size > UINT32_MAX || MemoryUsed() + size > limit_)
        return nullptr;
    Block block;
    block.data.reset(new (std::nothrow) char[size]);
    if (!block.data)
        return nullptr;
    block.size = static_cast<uint32_t>(size);
    block.used = static_cast<uint32_t>(bytes);
    try {
        blocks_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    blockBytes_ += size;
    ref.block = static_cast<uint32_t>(blocks_.size() - 1);
    ref.offset = 0;
    return blocks_.back().data.get();
}

const char* DataGridStore::RowData(int64_t row) const {
    if (row < 0 || row >= Rows())
        return nullptr;
    const RowRef& ref = rows_[static_cast<size_t>(row)];
    if (ref.block == UINT32_MAX)
        return nullptr;
    return blocks_[ref.block].data.get() + ref.offset;
}

bool DataGridStore::RowWritten(int64_t row) const {
    return RowData(row) != nullptr;
}

std::string_view DataGridStore::Cell(int64_t row, int32_t col) const {
    const char* p = RowData(row);
    if (!p || col < 0)
        return {};
    uint64_t count;
    p = GetVarint(p, count);
    if (static_cast<uint64_t>(col) >= count)
        return {};
    uint64_t offset = 0;
    uint64_t len = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t l;
        p = GetVarint(p, l);
        if (i < static_cast<uint64_t>(col))
            offset += l;
        else if (i == static_cast<uint64_t>(col))
            len = l;
    }
    return {p + offset, static_cast<size_t>(len)};
}

bool DataGridStore::SetRow(int64_t row, const std::string_view* cells, int32_t count) {
    if (row < 0 || row >= Rows() || count < 0)
        return false;
    // Trailing empty cells need no room.
    while (count > 0 && cells[count - 1].empty())
        --count;
    size_t bytes = VarintSize(static_cast<uint64_t>(count));
    for (int32_t i = 0; i < count; ++i)
        bytes += VarintSize(cells[i].size()) + cells[i].size();
    RowRef ref;
    char* p = Allocate(bytes, ref);
    if (!p)
        return false;
    p = PutVarint(p, static_cast<uint64_t>(count));
    for (int32_t i = 0; i < count; ++i)
        p = PutVarint(p, cells[i].size());
    for (int32_t i = 0; i < count; ++i) {
        if (!cells[i].empty())
            std::memcpy(p, cells[i].data(), cells[i].size());
        p += cells[i].size();
    }
    rows_[static_cast<size_t>(row)] = ref;
    return true;
}

bool DataGridStore::SetCell(int64_t row, int32_t col, std::string_view text) {
    if (row < 0 || row >= Rows() || col < 0)
        return false;
    // A single cell rewrites its row; the old record stays in its block until the grid
    // goes away, which suits the write-once way rows are filled.
    std::vector<std::string> copy;
    const char* p = RowData(row);
    uint64_t count = 0;
    if (p) {
        p = GetVarint(p, count);
        std::vector<uint64_t> lens(count);
        for (auto& l : lens)
            p = GetVarint(p, l);
        for (uint64_t l : lens) {
            copy.emplace_back(p, static_cast<size_t>(l));
            p += l;
        }
    }
    if (copy.size() <= static_cast<size_t>(col))
        copy.resize(static_cast<size_t>(col) + 1);
    copy[static_cast<size_t>(col)] = std::string(text);
    std::vector<std::string_view> views(copy.begin(), copy.end());
    return SetRow(row, views.data(), static_cast<int32_t>(views.size()));
}

uint64_t DataGridStore::ColorKey(int64_t row, int32_t col) const {
    return (static_cast<uint64_t>(row) << 20) | static_cast<uint32_t>(col);
}

uint32_t DataGridStore::BackColor(int64_t row, int32_t col) const {
    auto it = backColors_.find(ColorKey(row, col));
    return it == backColors_.end() ? kNoColor : it->second;
}

void DataGridStore::SetBackColor(int64_t row, int32_t col, uint32_t color) {
    if (color == kNoColor)
        backColors_.erase(ColorKey(row, col));
    else
        backColors_[ColorKey(row, col)] = color;
}

uint32_t DataGridStore::ForeColor(int64_t row, int32_t col) const {
    auto it = foreColors_.find(ColorKey(row, col));
    return it == foreColors_.end() ? kNoColor : it->second;
}

void DataGridStore::SetForeColor(int64_t row, int32_t col, uint32_t color) {
    if (color == kNoColor)
        foreColors_.erase(ColorKey(row, col));
    else
        foreColors_[ColorKey(row, col)] = color;
}

} // namespace orv
