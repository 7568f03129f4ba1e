#include "catalog/table_create_rows.h"

#include "catalog/catalog_keys.h"
#include "catalog/table_script.h"
#include "catalog/table_script_complete.h"
#include "util/text.h"

namespace orv {

namespace {

size_t FieldAt(const std::vector<FieldInfo>& fields, const char* name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (EqualsNoCase(fields[i].name, name))
            return i;
    return fields.size();
}

bool ReadPerTable(CatalogRows& rows, const char* key, const std::string& sql,
                  std::vector<FieldInfo>& fields,
                  std::unordered_map<int32_t, std::vector<Row>>& byTable, OdbcError& error,
                  std::string& failedSql) {
    size_t idCol = 0;
    const bool ok = rows.Rows(
        key, sql,
        [&](const std::vector<FieldInfo>& given, Row& row) {
            if (fields.empty()) {
                fields = given;
                idCol = FieldAt(fields, "tableid");
            }
            if (idCol < row.size())
                byTable[static_cast<int32_t>(row[idCol].Long())].push_back(std::move(row));
        },
        error);
    if (!ok)
        failedSql = sql;
    return ok;
}

} // namespace

bool TableCreateRows::Read(CatalogRows& rows, const ServerFacts& facts, OdbcError& error,
                           std::string& failedSql) {
    versionMajor_ = facts.VersionMajor;
    if (!ReadPerTable(rows, kKeyCompleteIndexes,
                      TableIndexRowsQuery("", -1, false, facts.VersionMajor), indexes_.fields,
                      indexes_.rows, error, failedSql) ||
        !ReadPerTable(rows, kKeyCompleteConstraints,
                      TableConstraintsQuery("", -1, facts.VersionMajor), constraints_.fields,
                      constraints_.rows, error, failedSql))
        return false;
    haveSeeds_ = rows.Holds(kKeyIdentitySeeds);
    if (!haveSeeds_)
        return true;
    const std::string sql = BulkIdentitySeedsQuery(facts.Later());
    size_t idCol = 0, seedCol = 0, incrementCol = 0;
    bool located = false;
    const bool ok = rows.Rows(
        kKeyIdentitySeeds, sql,
        [&](const std::vector<FieldInfo>& fields, Row& row) {
            if (!located) {
                idCol = FieldAt(fields, "tableid");
                seedCol = FieldAt(fields, "identityseed");
                incrementCol = FieldAt(fields, "identityincrement");
                located = true;
            }
            if (idCol < row.size() && seedCol < row.size() && incrementCol < row.size())
                seeds_[static_cast<int32_t>(row[idCol].Long())] = {row[seedCol], row[incrementCol]};
        },
        error);
    if (!ok)
        failedSql = sql;
    return ok;
}

TableCreateParts TableCreateRows::Parts(const CatalogTypeRead& tables, const CatalogObject& table,
                                        const std::string& extendedName, bool ignoreSystemNames) {
    if (table.ColumnRows.empty())
        return {};
    std::vector<Row> columnRows = table.ColumnRows;
    const auto seed = seeds_.find(table.Ref.Id);
    if (haveSeeds_) {
        const size_t isId = FieldAt(tables.ColumnFields, "isID");
        const size_t seedCol = FieldAt(tables.ColumnFields, "identityseed");
        const size_t incrementCol = FieldAt(tables.ColumnFields, "identityincrement");
        for (Row& row : columnRows) {
            if (isId >= row.size() || row[isId].Text() != "Y" || seedCol >= row.size() ||
                incrementCol >= row.size())
                continue;
            row[seedCol] = seed == seeds_.end() ? FieldValue::Null() : seed->second.first;
            row[incrementCol] = seed == seeds_.end() ? FieldValue::Null() : seed->second.second;
        }
    }
    MemoryRecordset columns(tables.ColumnFields, std::move(columnRows));
    std::string columnsText;
    std::vector<ColumnInfo> infos;
    BuildColumnLines(columns, {}, ",", columnsText, infos, BracketedNames::Executable);
    const ConstraintNaming naming{ignoreSystemNames, versionMajor_};
    MemoryRecordset indexRows(indexes_.fields, std::move(indexes_.rows[table.Ref.Id]));
    const std::vector<ScriptedIndex> indexes = ReadTableIndexes(indexRows, naming);
    MemoryRecordset constraintRows(constraints_.fields, std::move(constraints_.rows[table.Ref.Id]));
    const std::vector<TableConstraint> constraints = ReadTableConstraints(constraintRows, naming);
    return CompleteCreateParts(columnsText, indexes, constraints, extendedName);
}

} // namespace orv
