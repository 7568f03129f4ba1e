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

// Whether both sides' rows are narrow enough to hash each in one piece (one HASHBYTES per row);
// otherwise each column is hashed on its own and the row hash is taken over those. Both sides
// must be checksummed the same way, so this is decided for the pair.
bool OneHashPerRow(const TableInfo info[2], const PairPlan& plan);

// COUNT_BIG(*) of a range and two sums over the per-row HASHBYTES of the key and compared
// columns.
std::string ChecksumSql(const TableInfo& table, const PairPlan& plan, int side,
                        const KeyRange& range, bool oneHash);

// The keys of the rows numbered step+1, 2*step+1, ... of a range in key order: the places where
// a range is split.
std::string NthKeysSql(const TableInfo& table, const PairPlan& plan, int side,
                       const KeyRange& range, int64_t step);

std::string CountSql(const TableInfo& table);

} // namespace orv
