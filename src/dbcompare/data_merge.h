// The heart of the data comparison: two row streams in key order merged into verdicts. Each
// row holds the key values first, then the compared values. Only the current row of each side
// (and the first row of a run of equal keys) is held, so memory stays bounded whatever the
// table size.
#pragma once

#include "dbcompare/data_compare_results.h"
#include "servers/worker_query.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orv {

// Rows in key order from one side.
class RowStream {
public:
    virtual ~RowStream() = default;
    // False at the end (error.number 0) or on a failure (error filled).
    virtual bool Next(Row& row, OdbcError& error) = 0;
};

// Rows kept in memory (tests, and the rows of one small key range).
class VectorRowStream final : public RowStream {
public:
    explicit VectorRowStream(std::vector<Row> rows) : rows_(std::move(rows)) {}
    bool Next(Row& row, OdbcError& error) override;

private:
    std::vector<Row> rows_;
    size_t pos_ = 0;
};

// A query read on a thread of its own into a bounded queue, so both servers send their rows
// at the same time while the merge consumes them. Setting `cancel` stops the query; Next then
// fails. `cancel` must outlive the stream.
class QueryRowStream final : public RowStream {
public:
    QueryRowStream(QueryPlace place, std::string sql, const CancelToken& cancel);
    ~QueryRowStream() override;
    QueryRowStream(const QueryRowStream&) = delete;
    QueryRowStream& operator=(const QueryRowStream&) = delete;
    bool Next(Row& row, OdbcError& error) override;
    // Any thread: stops the query; Next then fails.
    void Cancel();
    int64_t RowsRead() const { return read_.load(); }

private:
    void Run();

    QueryPlace place_;
    std::string sql_;
    WorkerQuery query_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Row> queue_;
    bool finished_ = false;
    bool stopping_ = false;
    OdbcError error_;
    std::atomic<int64_t> read_{0};
    std::thread thread_;
};

// What "out of order" means to a user.
constexpr const char* kRowsOutOfOrder =
    "the rows did not arrive in key order (the server orders the key differently)";

class PairMerger {
public:
    PairMerger(DataTableResult& pair, bool caseSensitive, int64_t keepLimit, DataRowSink* sink);
    // Merges the streams to their ends. `tick` is called every few thousand rows; it returns
    // false to stop (the merge then fails with the error it set). False with `error` on a
    // failure, leaving the counts of what was merged.
    bool Merge(RowStream& source, RowStream& target, const std::function<bool(OdbcError&)>& tick,
               OdbcError& error);
    // Rows a matching checksum showed to be identical.
    void AddIdentical(int64_t rows);

private:
    void Record(DataRowDiff row);
    void Judge(const Row* s, int64_t sCount, const Row* t, int64_t tCount);

    DataTableResult& pair_;
    size_t keyCount_;
    bool caseSensitive_;
    int64_t keepLimit_;
    DataRowSink* sink_;
};

} // namespace orv
