#include "catalog/catalog_rows.h"

#include "core/log.h"

#include <algorithm>

namespace orv {

bool LiveCatalogRows::Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) {
    return ReadServerFacts(place_, cancel_, facts, error, failedSql);
}

bool LiveCatalogRows::Rows(const std::string&, const std::string& sql, const CatalogRowSink& onRow,
                           OdbcError& error) {
    std::unique_lock lock(mutex_);
    const auto kept = prefetched_.find(sql);
    if (kept != prefetched_.end()) {
        // Handed over once: a second run of the query asks the server again.
        CatalogResult result = std::move(kept->second);
        prefetched_.erase(kept);
        lock.unlock();
        for (Row& row : result.Rows) {
            if (cancel_.cancelRequested()) {
                error = CancelledQueryError();
                return false;
            }
            onRow(result.Fields, row);
        }
        return true;
    }
    lock.unlock();
    return RunWorkerQuery(
        place_, cancel_, sql, [&](WorkerQuery& q, Row& row) { onRow(q.Fields(), row); }, error);
}

bool LiveCatalogRows::Prefetch(const std::vector<std::string>& sqls, OdbcError& error) {
    std::vector<std::string> wanted;
    {
        std::lock_guard lock(mutex_);
        for (const std::string& sql : sqls)
            if (!prefetched_.count(sql) &&
                std::find(wanted.begin(), wanted.end(), sql) == wanted.end())
                wanted.push_back(sql);
    }
    if (wanted.size() < 2)
        return true; // one query costs one round trip either way
    std::string batch;
    for (const std::string& sql : wanted)
        batch += (batch.empty() ? "" : "\n") + sql;
    std::vector<CatalogResult> results(wanted.size());
    WorkerQuery query(cancel_);
    error = {};
    bool ok = query.OpenBatch(place_, batch, error);
    for (size_t i = 0; ok && i < wanted.size(); ++i) {
        if (i > 0 && !query.NextResult(error)) {
            ok = false;
            break;
        }
        results[i].Fields = query.Fields();
        Row row;
        while (query.Next(row, error))
            results[i].Rows.push_back(std::move(row));
        ok = error.number == 0 && !cancel_.cancelRequested();
    }
    // Every result read: the batch's end frees the connection for the next command.
    if (ok && query.NextResult(error))
        ok = false;
    ok = ok && error.number == 0;
    query.Close();
    if (cancel_.cancelRequested()) {
        error = CancelledQueryError();
        return false;
    }
    error = {};
    if (!ok) {
        WriteLogLine("Batched catalog reading failed; reading query by query.");
        return true;
    }
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < wanted.size(); ++i)
        prefetched_.emplace(wanted[i], std::move(results[i]));
    return true;
}

bool RecordingCatalogRows::Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) {
    return inner_.Facts(facts, error, failedSql);
}

bool RecordingCatalogRows::Rows(const std::string& key, const std::string& sql,
                                const CatalogRowSink& onRow, OdbcError& error) {
    if (key.empty() || (!only_.empty() && !only_.count(key)))
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

bool RecordingCatalogRows::Holds(const std::string& key) const {
    {
        std::lock_guard lock(mutex_);
        if (kept_.count(key))
            return true;
    }
    return inner_.Holds(key);
}

std::map<std::string, CatalogResult> RecordingCatalogRows::Take() {
    std::lock_guard lock(mutex_);
    return std::move(kept_);
}

} // namespace orv
