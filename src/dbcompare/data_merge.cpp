#include "dbcompare/data_merge.h"

#include "dbcompare/data_values.h"

namespace orv {

namespace {

// Rows queued per side: a few fetch blocks, so memory stays small and the server keeps
// sending.
constexpr size_t kQueueRows = 4096;
constexpr int64_t kTickRows = 2048;

int CompareKeys(const Row& a, const Row& b, size_t keyCount) {
    for (size_t i = 0; i < keyCount; ++i)
        if (int c = CompareKeyValues(a[i], b[i]); c != 0)
            return c;
    return 0;
}

// The next run of rows with one key value on one side: its first row and its length.
class Side {
public:
    Side(RowStream& stream, size_t keyCount) : stream_(stream), keyCount_(keyCount) {}

    bool Prime(OdbcError& error) { return Advance(error); }
    bool AtEnd() const { return !has_; }
    const Row& Head() const { return head_; }

    // Takes the run of rows equal to the head: its first row and how many. False on a failure
    // or when the rows come out of key order.
    bool TakeRun(Row& first, int64_t& count, OdbcError& error) {
        first = std::move(head_);
        count = 1;
        while (true) {
            if (!Advance(error))
                return false;
            if (!has_)
                return true;
            const int c = CompareKeys(head_, first, keyCount_);
            if (c < 0) {
                error = {kErrFail, kRowsOutOfOrder, "", 0};
                return false;
            }
            if (c > 0)
                return true;
            ++count;
        }
    }

private:
    bool Advance(OdbcError& error) {
        has_ = stream_.Next(head_, error);
        if (!has_ && error.number != 0)
            return false;
        if (has_ && head_.size() < keyCount_) {
            error = {kErrFail, "a row came back without its key", "", 0};
            return false;
        }
        return true;
    }

    RowStream& stream_;
    size_t keyCount_;
    Row head_;
    bool has_ = false;
};

} // namespace

bool VectorRowStream::Next(Row& row, OdbcError& error) {
    error = {};
    if (pos_ >= rows_.size())
        return false;
    row = rows_[pos_++];
    return true;
}

QueryRowStream::QueryRowStream(QueryPlace place, std::string sql, const CancelToken& cancel)
    : place_(std::move(place)), sql_(std::move(sql)), query_(cancel) {
    thread_ = std::thread([this] { Run(); });
}

QueryRowStream::~QueryRowStream() {
    {
        std::lock_guard lock(mutex_);
        if (!finished_)
            stopping_ = true;
    }
    changed_.notify_all();
    if (stopping_)
        query_.Cancel();
    thread_.join();
    query_.Close();
}

void QueryRowStream::Run() {
    OdbcError error;
    if (!query_.Open(place_, sql_, error)) {
        std::lock_guard lock(mutex_);
        error_ = error;
        finished_ = true;
        changed_.notify_all();
        return;
    }
    Row row;
    while (true) {
        const bool got = query_.Next(row, error);
        std::unique_lock lock(mutex_);
        if (!got) {
            error_ = error;
            finished_ = true;
            changed_.notify_all();
            break;
        }
        ++read_;
        changed_.wait(lock, [this] { return queue_.size() < kQueueRows || stopping_; });
        if (stopping_) {
            finished_ = true;
            break;
        }
        queue_.push_back(std::move(row));
        if (queue_.size() == 1)
            changed_.notify_all();
    }
    query_.Close();
}

bool QueryRowStream::Next(Row& row, OdbcError& error) {
    error = {};
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty() || finished_; });
    if (queue_.empty()) {
        error = error_;
        return false;
    }
    row = std::move(queue_.front());
    queue_.pop_front();
    if (queue_.size() == kQueueRows - 1)
        changed_.notify_all();
    return true;
}

void QueryRowStream::Cancel() {
    query_.Cancel();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (error_.number == 0)
            error_ = CancelledQueryError();
    }
    changed_.notify_all();
}

PairMerger::PairMerger(DataTableResult& pair, bool caseSensitive, int64_t keepLimit,
                       DataRowSink* sink)
    : pair_(pair), keyCount_(pair.KeyColumns.size()), caseSensitive_(caseSensitive),
      keepLimit_(keepLimit), sink_(sink) {
    pair_.ColumnDiffCounts.assign(pair_.Compared.size(), 0);
}

void PairMerger::AddIdentical(int64_t rows) {
    pair_.Identical += rows;
    pair_.RowsCompared += rows;
}

void PairMerger::Record(DataRowDiff row) {
    ++pair_.RowsCompared;
    if (sink_)
        sink_->Row(pair_, row);
    if (static_cast<int64_t>(pair_.Rows.size()) < keepLimit_)
        pair_.Rows.push_back(std::move(row));
    else
        pair_.RowsCut = true;
}

void PairMerger::Judge(const Row* s, int64_t sCount, const Row* t, int64_t tCount) {
    const size_t columns = pair_.Compared.size();
    DataRowDiff diff;
    const Row& keyRow = s ? *s : *t;
    diff.Key.assign(keyRow.begin(), keyRow.begin() + static_cast<std::ptrdiff_t>(keyCount_));
    diff.Cells.resize(columns);
    for (size_t c = 0; c < columns; ++c) {
        const size_t at = keyCount_ + c;
        if (s && at < s->size())
            diff.Cells[c].Source = (*s)[at];
        if (t && at < t->size())
            diff.Cells[c].Target = (*t)[at];
    }
    diff.Copies = {sCount, tCount};
    if (sCount > 1 || tCount > 1) {
        diff.Status = RowStatus::Conflict;
        ++pair_.Conflict;
    } else if (s && t) {
        bool differs = false;
        for (size_t c = 0; c < columns; ++c) {
            if (!ValuesEqual(diff.Cells[c].Source, diff.Cells[c].Target, caseSensitive_)) {
                diff.Cells[c].Differs = true;
                ++pair_.ColumnDiffCounts[c];
                differs = true;
            }
        }
        if (!differs) {
            ++pair_.Identical;
            ++pair_.RowsCompared;
            return;
        }
        diff.Status = RowStatus::Different;
        ++pair_.Different;
    } else if (s) {
        diff.Status = RowStatus::OnlyInSource;
        ++pair_.OnlyInSource;
    } else {
        diff.Status = RowStatus::OnlyInTarget;
        ++pair_.OnlyInTarget;
    }
    Record(std::move(diff));
}

bool PairMerger::Merge(RowStream& source, RowStream& target,
                       const std::function<bool(OdbcError&)>& tick, OdbcError& error) {
    error = {};
    Side side[2] = {Side(source, keyCount_), Side(target, keyCount_)};
    if (!side[0].Prime(error) || !side[1].Prime(error))
        return false;
    int64_t sinceTick = 0;
    Row first[2];
    int64_t count[2] = {0, 0};
    while (!side[0].AtEnd() || !side[1].AtEnd()) {
        int c = 0;
        if (side[0].AtEnd())
            c = 1;
        else if (side[1].AtEnd())
            c = -1;
        else
            c = CompareKeys(side[0].Head(), side[1].Head(), keyCount_);
        count[0] = count[1] = 0;
        if (c <= 0 && !side[0].TakeRun(first[0], count[0], error))
            return false;
        if (c >= 0 && !side[1].TakeRun(first[1], count[1], error))
            return false;
        Judge(count[0] ? &first[0] : nullptr, count[0], count[1] ? &first[1] : nullptr, count[1]);
        if (++sinceTick >= kTickRows) {
            sinceTick = 0;
            if (tick && !tick(error))
                return false;
        }
    }
    return true;
}

} // namespace orv
