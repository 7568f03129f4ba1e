// The CREATE statements of every table of a database from whole-database rows (its columns,
// index rows, constraint rows and identity seeds, one result each), the very parts
// GetTableCreateParts builds with per-table queries for complete table scripts. A scripts
// folder is written this way from a live database or a snapshot alike.
#pragma once

#include "catalog/bulk_catalog.h"
#include "catalog/create_table.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orv {

class TableCreateRows {
public:
    // Reads the index and constraint results of `rows` (those of a complete read: a recording
    // source answers them from what it kept) and the identity seeds by qualified name, which
    // an older snapshot may not hold: its seeds are then those of the column rows. False with
    // `error` and `failedSql` when a query failed or was stopped.
    bool Read(CatalogRows& rows, const ServerFacts& facts, OdbcError& error,
              std::string& failedSql);

    // The parts of one table of a complete read `tables` (GetTableCreateParts with the line
    // suffix "," and Complete on): empty when it has no column rows. Each table's rows are
    // handed over once.
    TableCreateParts Parts(const CatalogTypeRead& tables, const CatalogObject& table,
                           const std::string& extendedName, bool ignoreSystemNames);

private:
    struct PerTable {
        std::vector<FieldInfo> fields;
        std::unordered_map<int32_t, std::vector<Row>> rows;
    };
    int versionMajor_ = 0;
    PerTable indexes_;
    PerTable constraints_;
    bool haveSeeds_ = false;
    // By table id: seed and increment of its identity column.
    std::unordered_map<int32_t, std::pair<FieldValue, FieldValue>> seeds_;
};

} // namespace orv
