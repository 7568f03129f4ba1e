#include "catalog/catalog_rows.h"

namespace orv {

bool LiveCatalogRows::Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) {
    return ReadServerFacts(place_, cancel_, facts, error, failedSql);
}

bool LiveCatalogRows::Rows(const std::string&, const std::string& sql, const CatalogRowSink& onRow,
                           OdbcError& error) {
    return RunWorkerQuery(
        place_, cancel_, sql, [&](WorkerQuery& q, Row& row) { onRow(q.Fields(), row); }, error);
}

bool RecordingCatalogRows::Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) {
    return inner_.Facts(facts, error, failedSql);
}

bool RecordingCatalogRows::Rows(const std::string& key, const std::string& sql,
                                const CatalogRowSink& onRow, OdbcError& error) {
    if (key.empty())
        return inner_.Rows(key, sql, onRow, error);
    {
        std::unique_lock lock(mutex_);
        const auto it = kept_.find(key);
        if (it != kept_.end()) {
            const CatalogResult& kept = it->second;
            lock.unlock();
            for (const Row& row : kept.Rows) {
                Row copy = row;
                onRow(kept.Fields, copy);
            }
            return true;
        }
    }
    CatalogResult result;
    const bool ok = inner_.Rows(
        key, sql,
        [&](const std::vector<FieldInfo>& fields, Row& row) {
            if (result.Fields.empty())
                result.Fields = fields;
            result.Rows.push_back(row);
            onRow(fields, row);
        },
        error);
    // A result cut short is never kept: a snapshot holds whole results only.
    if (ok) {
        std::lock_guard lock(mutex_);
        kept_.emplace(key, std::move(result));
    }
    return ok;
}

std::map<std::string, CatalogResult> RecordingCatalogRows::Take() {
    std::lock_guard lock(mutex_);
    return std::move(kept_);
}

} // namespace orv
