// Where the bulk reader gets its rows from: a live database, or a snapshot file that kept the
// rows a live database once gave. The reader asks for each result by a key naming what it is
// (the listing of procedures, every column of every table, ...) as well as by its SQL text, so
// a snapshot answers by key and does not depend on how a release words its queries.
#pragma once

#include "servers/server_facts.h"
#include "servers/worker_query.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace orv {

using CatalogRowSink = std::function<void(const std::vector<FieldInfo>& fields, Row& row)>;

// One result as it came from the server: its fields and every row, in order.
struct CatalogResult {
    std::vector<FieldInfo> Fields;
    std::vector<Row> Rows;
};

class CatalogRows {
public:
    virtual ~CatalogRows() = default;
    // The server's version facts. False with `error` (and the query in `failedSql`) when they
    // could not be had.
    virtual bool Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) = 0;
    // Hands every row of the result `key` (the query `sql`) to `onRow`. False with `error`
    // when it failed or was stopped. An empty key marks a result no snapshot keeps (it
    // depends on the other side of a comparison).
    virtual bool Rows(const std::string& key, const std::string& sql, const CatalogRowSink& onRow,
                      OdbcError& error) = 0;
    // Asks for these results (by their SQL) in one round trip, so that the Rows calls that
    // follow for them are answered from what came. A source without round trips ignores it.
    // False only when the run was stopped; a batch the server refuses keeps nothing, and
    // each query then goes on its own, so a failure is reported against the query that
    // caused it.
    virtual bool Prefetch(const std::vector<std::string>& sqls, OdbcError& error) {
        (void)sqls;
        (void)error;
        return true;
    }
    // Whether the server can answer fingerprint queries (a live server can; a snapshot kept
    // whole texts instead, so a comparison with one reads every text in full).
    virtual bool Fingerprints() const { return true; }
    // Whether fingerprints of whole modules are at hand too (a live server has them from 2016
    // on); without them the comment rows' serve, whatever the versions.
    virtual bool WholeModuleFingerprints() const { return true; }
    // Whether the result `key` can be had: a live server has every one, a snapshot those it
    // kept (an older file lacks the results later releases added).
    virtual bool Holds(const std::string& key) const {
        (void)key;
        return true;
    }
};

// The rows of a live database, one worker query per result.
class LiveCatalogRows : public CatalogRows {
public:
    LiveCatalogRows(QueryPlace place, const CancelToken& cancel)
        : place_(std::move(place)), cancel_(cancel) {}
    bool Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) override;
    bool Rows(const std::string& key, const std::string& sql, const CatalogRowSink& onRow,
              OdbcError& error) override;
    bool Prefetch(const std::vector<std::string>& sqls, OdbcError& error) override;
    const QueryPlace& Place() const { return place_; }

private:
    QueryPlace place_;
    const CancelToken& cancel_;
    // Results a batch brought, by their SQL; each is handed over once. Two threads may read
    // one database's rows at once (a snapshot reads its module texts beside the rest).
    std::mutex mutex_;
    std::map<std::string, CatalogResult> prefetched_;
};

// Keeps every result another source gives, by key, and answers a key it holds already from
// what it kept: a snapshot taken while comparing, and a snapshot of every reading option
// without asking the server twice for the same rows.
class RecordingCatalogRows : public CatalogRows {
public:
    // Starts from results kept before (by another recording of the same database). With
    // `only` not empty, keeps the results of those keys alone.
    explicit RecordingCatalogRows(CatalogRows& inner,
                                  std::map<std::string, CatalogResult> kept = {},
                                  std::set<std::string> only = {})
        : inner_(inner), kept_(std::move(kept)), only_(std::move(only)) {}
    bool Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) override;
    bool Rows(const std::string& key, const std::string& sql, const CatalogRowSink& onRow,
              OdbcError& error) override;
    bool Prefetch(const std::vector<std::string>& sqls, OdbcError& error) override {
        return inner_.Prefetch(sqls, error);
    }
    bool Holds(const std::string& key) const override;
    // The results kept so far, by key.
    std::map<std::string, CatalogResult> Take();

private:
    CatalogRows& inner_;
    mutable std::mutex mutex_;
    std::map<std::string, CatalogResult> kept_;
    std::set<std::string> only_;
};

} // namespace orv
