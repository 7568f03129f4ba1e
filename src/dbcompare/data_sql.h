// The SQL text the data comparison sends: rows of a table in key order (whole or within a key
// range), a key range's checksum, and the key at a position within a range. Every name is
// bracketed and every key value a typed literal.
#pragma once

#include "dbcompare/data_key.h"
#include "dbcompare/data_table_info.h"

#include <optional>
#include <string>

namespace orv {

// A half-open key range [Low, High); an absent bound is open.
struct KeyRange {
    std::optional<Row> Low;
    std::optional<Row> High;
};

// Character key columns are ordered with a binary collation, so that every server returns the
// rows in the order the merge expects. `later` picks the collation the server has.
std::string KeyOrderBy(const TableInfo& table, const std::vector<int>& keyCol, bool later,
                       bool descending = false);

// The rows (key columns, then compared columns) in key order, optionally within a range.
std::string RowsSql(const TableInfo& table, const PairPlan& plan, int side, bool later,
                    const KeyRange* range = nullptr);

// COUNT_BIG(*) of a range and two sums over the per-row HASHBYTES of the compared columns.
std::string ChecksumSql(const TableInfo& table, const PairPlan& plan, int side,
                        const KeyRange& range);

// The keys of the rows numbered step+1, 2*step+1, ... of a range in key order: the places where
// a range is split.
std::string NthKeysSql(const TableInfo& table, const PairPlan& plan, int side,
                       const KeyRange& range, int64_t step);

std::string CountSql(const TableInfo& table);

} // namespace orv
