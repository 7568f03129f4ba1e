#include "dbcompare/data_compare.h"

#include "catalog/bulk_catalog.h"
#include "catalog/ignored_columns.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script.h"
#include "dbcompare/data_hash.h"
#include "dbcompare/data_key.h"
#include "dbcompare/data_merge.h"
#include "dbcompare/data_sql.h"
#include "dbcompare/data_table_info.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

namespace orv {

namespace {

// A whole-table checksum is tried first only where it ends within the command timeout, taking
// a server to hash at least 100,000 rows a second (a modest figure for any server in use).
HashSettings HashingFor(const DataCompareRequest& request) {
    HashSettings settings = request.Hashing;
    if (settings.WholeRangeRows == 0) {
        int32_t timeout = 0;
        for (const QueryPlace& place : request.Place)
            if (place.TimeoutSeconds > 0 && (timeout == 0 || place.TimeoutSeconds < timeout))
                timeout = place.TimeoutSeconds;
        settings.WholeRangeRows = static_cast<int64_t>(timeout) * 100000;
    }
    return settings;
}

struct PairWork {
    DataTableResult* Pair;
    const DataTablePair* Request; // null for a pair found by listing both databases
};

class DataRun {
public:
    DataRun(const DataCompareRequest& request, ProgressSink& progress, const CancelToken& cancel)
        : request_(request), progress_(progress), cancel_(cancel) {}

    DataCompareResultsPtr Run() {
        auto results = std::make_shared<DataCompareResults>();
        results->Started = std::time(nullptr);
        results_ = results.get();
        for (int s = 0; s < 2; ++s) {
            results->ServerName[s] = request_.Place[s].Server.Name;
            results->DbName[s] = request_.Place[s].Database;
        }
        results->CaseSensitive = request_.CaseSensitive;
        OdbcError error;
        if (!ReadFacts(error) ||
            !ReadForeignKeys(request_.Place[1], cancel_, later_[1], results->TargetForeignKeys,
                             error) ||
            !ListPairs(error)) {
            // A query cut short by Stop fails too; that is no failure of the run.
            if (cancel_.cancelRequested())
                Stop();
            else
                Fail(error.description);
            return results;
        }
        for (size_t i = 0; i < results->Tables.size(); ++i) {
            if (cancel_.cancelRequested()) {
                Stop();
                break;
            }
            DataTableResult& pair = results->Tables[i];
            if (!pair.HasSource || !pair.HasTarget)
                continue;
            const DataTablePair* asked = i < asked_.size() ? asked_[i] : nullptr;
            if (!ComparePair(pair, asked, error))
                break;
        }
        return results;
    }

private:
    void Fail(const std::string& problem) {
        results_->Outcome = RunOutcome::Failed;
        results_->Problem = problem;
        progress_.Warn(problem);
    }
    void Stop() {
        results_->Outcome = RunOutcome::Cancelled;
        results_->Problem = kStoppedByUser;
    }

    bool ReadFacts(OdbcError& error) {
        for (int s = 0; s < 2; ++s) {
            ServerFacts facts;
            std::string sql;
            if (!ReadServerFacts(request_.Place[s], cancel_, facts, error, sql))
                return false;
            later_[s] = facts.Later();
            if (s == 1)
                results_->TargetVersionMajor = facts.VersionMajor;
        }
        return true;
    }

    // The pairs to compare, in the results' order, with their one-sided tables.
    bool ListPairs(OdbcError& error) {
        if (!request_.AllTables) {
            for (const DataTablePair& t : request_.Tables) {
                if (!request_.Filter.Passes(kTypeTable, t.Schema[0], t.Name[0]))
                    continue;
                DataTableResult pair;
                for (int s = 0; s < 2; ++s) {
                    pair.Schema[s] = t.Schema[s];
                    pair.Name[s] = t.Name[s];
                }
                pair.HasSource = pair.HasTarget = true; // checked when the pair is read
                results_->Tables.push_back(std::move(pair));
                asked_.push_back(&t);
            }
            return true;
        }
        std::vector<TableName> tables[2];
        for (int s = 0; s < 2; ++s)
            if (!ReadUserTables(request_.Place[s], cancel_, later_[s], tables[s], error))
                return false;
        std::map<std::string, DataTableResult> byName;
        for (int s = 0; s < 2; ++s)
            for (const TableName& t : tables[s]) {
                // A 2000 server's owner and a later server's schema both qualify the name.
                const std::string key = ToLowerAscii(t.Schema) + "\x01" + ToLowerAscii(t.Name);
                DataTableResult& pair = byName[key];
                pair.Schema[s] = t.Schema;
                pair.Name[s] = t.Name;
                (s == 0 ? pair.HasSource : pair.HasTarget) = true;
            }
        for (auto& [key, pair] : byName) {
            const int s = pair.HasSource ? 0 : 1;
            if (!request_.Filter.Passes(kTypeTable, pair.Schema[s], pair.Name[s]))
                continue;
            if (!pair.HasTarget)
                pair.Status = DataPairStatus::OnlyInSource;
            else if (!pair.HasSource)
                pair.Status = DataPairStatus::OnlyInTarget;
            results_->Tables.push_back(std::move(pair));
            asked_.push_back(nullptr);
        }
        return true;
    }

    // Reports the rows read and asks whether to go on; false (with `error`) to stop.
    bool Tick(DataTableResult& pair, const int64_t read[2], OdbcError& error) {
        const int64_t total = read[0] + read[1];
        progress_.Advance(total - reported_, pair.DisplayName() + ": " + std::to_string(read[0]) +
                                                 " source rows, " + std::to_string(read[1]) +
                                                 " target rows read");
        reported_ = total;
        if (request_.RowsRead)
            request_.RowsRead(read[0], read[1]);
        if (cancel_.cancelRequested()) {
            error = {kErrFail, kStoppedByUser, "HY008", 0};
            return false;
        }
        return true;
    }

    std::vector<std::string> Ignored(const DataTableResult& pair) const {
        std::vector<std::string> ignored;
        if (!request_.IgnoredColumns)
            return ignored;
        for (int s = 0; s < 2; ++s)
            for (std::string& c : request_.IgnoredColumns(
                     DataIgnoredTable(request_.Place[s], pair.Schema[s], pair.Name[s])))
                ignored.push_back(std::move(c));
        return ignored;
    }

    // One pair: its tables read, its key planned, the mode chosen, its rows compared. False
    // when the run is to end (a failure, or Stop).
    bool ComparePair(DataTableResult& pair, const DataTablePair* asked, OdbcError& error) {
        const auto start = std::chrono::steady_clock::now();
        progress_.Begin("Comparing the data of " + pair.DisplayName(), 0);
        reported_ = 0;
        TableInfo info[2];
        if (!ReadPairTables(pair, info, error))
            return PairFailed(pair, error);
        if (!pair.HasSource || !pair.HasTarget)
            return true;
        PairPlan plan;
        if (!PlanKey(pair, asked, info, plan))
            return true;
        bool hash = false;
        if (!ChooseMode(pair, info, plan, hash, error))
            return PairFailed(pair, error);
        pair.ModeUsed = hash ? DataCompareMode::Hash : DataCompareMode::Merge;

        if (request_.RowSink)
            request_.RowSink->BeginPair(pair);
        PairMerger merger(pair, request_.CaseSensitive, request_.RowKeepLimit, request_.RowSink);
        const bool ok = hash ? HashRows(pair, info, plan, merger, error)
                             : MergeRows(pair, info, plan, merger, error);
        pair.Seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (ok) {
            const int64_t read[2] = {pair.RowsRead[0], pair.RowsRead[1]};
            OdbcError ignore;
            Tick(pair, read, ignore);
        }
        pair.Status =
            pair.DifferingRows() > 0 ? DataPairStatus::Different : DataPairStatus::Identical;
        if (!ok)
            pair.Incomplete = true;
        if (request_.RowSink)
            request_.RowSink->EndPair(pair);
        return ok || PairFailed(pair, error);
    }

    // Both tables' columns and keys. A table missing on a side settles the pair (one-sided,
    // or not comparable when missing on both); false only when a table could not be read.
    bool ReadPairTables(DataTableResult& pair, TableInfo info[2], OdbcError& error) {
        for (int s = 0; s < 2; ++s) {
            bool found = false;
            if (!ReadTableInfo(request_.Place[s], cancel_, later_[s], pair.Schema[s], pair.Name[s],
                               info[s], found, error))
                return false;
            if (!found) {
                (s == 0 ? pair.HasSource : pair.HasTarget) = false;
                continue;
            }
            pair.Schema[s] = info[s].Schema;
            pair.Name[s] = info[s].Name;
        }
        if (pair.HasSource && pair.HasTarget)
            return true;
        if (pair.HasSource || pair.HasTarget) {
            pair.Status =
                pair.HasSource ? DataPairStatus::OnlyInSource : DataPairStatus::OnlyInTarget;
        } else {
            pair.Status = DataPairStatus::NotComparable;
            pair.Reason = "no such table on either side";
        }
        return true;
    }

    // The key and the compared columns; false (the pair not comparable, with its reason) when
    // no usable key is found.
    bool PlanKey(DataTableResult& pair, const DataTablePair* asked, const TableInfo info[2],
                 PairPlan& plan) {
        std::vector<std::string> remembered;
        if (request_.PickedKey)
            remembered = request_.PickedKey(
                DataTableFullName(request_.Place[0], pair.Schema[0], pair.Name[0]),
                DataTableFullName(request_.Place[1], pair.Schema[1], pair.Name[1]));
        if (PlanPair(info[0], info[1], Ignored(pair),
                     asked ? asked->Key : std::vector<std::string>{}, remembered, pair, plan))
            return true;
        progress_.Warn(pair.DisplayName() + ": not comparable: " + pair.Reason);
        return false;
    }

    // Hashed or row by row: as asked, where the servers and the key allow hashing; in Auto
    // mode by the source's row count. False when the count could not be read.
    bool ChooseMode(const DataTableResult& pair, const TableInfo info[2], const PairPlan& plan,
                    bool& hash, OdbcError& error) {
        hash = false;
        const bool hashable = later_[0] && later_[1] && plan.KeyUnique && !plan.HasLargeColumn;
        if (request_.Mode == DataCompareMode::Hash) {
            hash = hashable;
            if (!hashable)
                progress_.Note(pair.DisplayName() + ": compared row by row (" +
                               std::string(!(later_[0] && later_[1]) ? "a server without HASHBYTES"
                                           : !plan.KeyUnique ? "the key is not unique on both sides"
                                                             : "a column too large to hash") +
                               ")");
        } else if (request_.Mode == DataCompareMode::Auto && hashable) {
            std::vector<Row> rows;
            if (!QueryAll(request_.Place[0], cancel_, CountSql(info[0]), rows, error))
                return false;
            hash = !rows.empty() && !rows[0].empty() && rows[0][0].Long() > request_.HashThreshold;
        }
        return true;
    }

    bool HashRows(DataTableResult& pair, const TableInfo info[2], const PairPlan& plan,
                  PairMerger& merger, OdbcError& error) {
        auto tick = [&](OdbcError& e) { return Tick(pair, pair.RowsRead.data(), e); };
        return HashComparePair(request_.Place, info, plan, pair, merger, cancel_, tick, error,
                               HashingFor(request_));
    }

    // Both tables streamed whole in key order and merged.
    bool MergeRows(DataTableResult& pair, const TableInfo info[2], const PairPlan& plan,
                   PairMerger& merger, OdbcError& error) {
        QueryRowStream source(request_.Place[0], RowsSql(info[0], plan, 0, later_[0]), cancel_);
        QueryRowStream target(request_.Place[1], RowsSql(info[1], plan, 1, later_[1]), cancel_);
        auto tick = [&](OdbcError& e) {
            const int64_t read[2] = {source.RowsRead(), target.RowsRead()};
            return Tick(pair, read, e);
        };
        const bool ok = merger.Merge(source, target, tick, error);
        pair.RowsRead = {source.RowsRead(), target.RowsRead()};
        if (!ok) {
            source.Cancel();
            target.Cancel();
        }
        return ok;
    }

    bool PairFailed(DataTableResult& pair, const OdbcError& error) {
        pair.Incomplete = true;
        if (cancel_.cancelRequested()) {
            pair.Reason = kStoppedByUser;
            Stop();
            return false;
        }
        pair.Reason = error.description;
        if (pair.Reason == kRowsOutOfOrder) {
            // The rows of this pair cannot be matched; the others can.
            pair.Status = DataPairStatus::NotComparable;
            progress_.Warn(pair.DisplayName() + ": not comparable: " + pair.Reason);
            return true;
        }
        Fail("The comparison of " + pair.DisplayName() + " stopped: " + error.description);
        return false;
    }

    const DataCompareRequest& request_;
    ProgressSink& progress_;
    const CancelToken& cancel_;
    DataCompareResults* results_ = nullptr;
    std::vector<const DataTablePair*> asked_;
    bool later_[2] = {false, false};
    int64_t reported_ = 0;
};

} // namespace

std::string DataTableFullName(const QueryPlace& place, const std::string& schema,
                              const std::string& name) {
    return GetObjectFullName(place.Server, place.Database,
                             schema.empty() ? name : schema + "." + name, false);
}

IgnoredTable DataIgnoredTable(const QueryPlace& place, const std::string& schema,
                              const std::string& name) {
    return {place.Server.Name, place.Database, schema, name};
}

DataCompareResultsPtr RunDataCompare(const DataCompareRequest& request, ProgressSink& progress,
                                     const CancelToken& cancel) {
    try {
        DataRun run(request, progress, cancel);
        return run.Run();
    } catch (const std::exception& e) {
        auto results = std::make_shared<DataCompareResults>();
        results->Outcome = RunOutcome::Failed;
        results->Problem = e.what();
        return results;
    }
}

} // namespace orv
