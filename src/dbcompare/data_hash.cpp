#include "dbcompare/data_hash.h"

#include "dbcompare/data_table_info.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orv {

namespace {

struct RangeSum {
    int64_t Count = 0;
    std::string Sum1;
    std::string Sum2;
    bool operator==(const RangeSum& o) const {
        return Count == o.Count && Sum1 == o.Sum1 && Sum2 == o.Sum2;
    }
};

class HashRun {
public:
    HashRun(const QueryPlace place[2], const TableInfo info[2], const PairPlan& plan,
            DataTableResult& pair, PairMerger& merger, const CancelToken& cancel,
            const std::function<bool(OdbcError&)>& tick, const HashSettings& settings)
        : place_(place), info_(info), plan_(plan), pair_(pair), merger_(merger), cancel_(cancel),
          tick_(tick), settings_(settings), oneHash_(OneHashPerRow(info, plan)) {}

    bool Process(const KeyRange& range, int64_t depth, OdbcError& error) {
        if (tick_ && !tick_(error))
            return false;
        if (depth > pair_.BisectionRounds)
            pair_.BisectionRounds = depth;
        if (depth == 0) {
            // A table too large to checksum in one query within the command timeout is split
            // before anything is hashed.
            int64_t count[2] = {0, 0};
            if (!Counts(count, error))
                return false;
            const int larger = count[1] > count[0] ? 1 : 0;
            if (settings_.WholeRangeRows != 0 && count[larger] > settings_.WholeRangeRows)
                return Split(range, larger, count[larger], FirstFanout(count[larger]), depth,
                             error);
        }
        RangeSum sum[2];
        if (!Checksums(range, sum, error))
            return false;
        if (sum[0] == sum[1]) {
            merger_.AddIdentical(sum[0].Count);
            return true;
        }
        const int larger = sum[1].Count > sum[0].Count ? 1 : 0;
        if (sum[larger].Count <= settings_.SmallRange)
            return Fetch(range, error);
        const int parts = depth == 0 ? FirstFanout(sum[larger].Count) : settings_.Fanout;
        return Split(range, larger, sum[larger].Count, parts, depth, error);
    }

private:
    int FirstFanout(int64_t count) const {
        const int64_t parts = count / std::max<int64_t>(1, settings_.FirstPartRows);
        const int least = std::max(2, settings_.MinFirstFanout);
        return static_cast<int>(
            std::clamp<int64_t>(parts, least, std::max(least, settings_.MaxFirstFanout)));
    }

    // The range cut into about `parts` parts at the keys of the side with more rows, each part
    // compared in turn.
    bool Split(const KeyRange& range, int larger, int64_t count, int parts, int64_t depth,
               OdbcError& error) {
        std::vector<Row> bounds;
        if (!Boundaries(larger, range, count, parts, bounds, error))
            return false;
        if (bounds.empty())
            return Fetch(range, error);
        KeyRange part;
        part.Low = range.Low;
        for (Row& b : bounds) {
            part.High = b;
            if (!Process(part, depth + 1, error))
                return false;
            part.Low = std::move(b);
        }
        part.High = range.High;
        return Process(part, depth + 1, error);
    }

    bool Counts(int64_t count[2], OdbcError& error) {
        for (int side = 0; side < 2; ++side) {
            std::vector<Row> rows;
            if (!QueryAll(place_[side], cancel_, CountSql(info_[side]), rows, error))
                return false;
            count[side] = !rows.empty() && !rows[0].empty() ? rows[0][0].Long() : 0;
        }
        return true;
    }

    bool Checksums(const KeyRange& range, RangeSum sum[2], OdbcError& error) {
        OdbcError failure[2];
        bool ok[2] = {false, false};
        auto one = [&](int side) {
            const auto start = std::chrono::steady_clock::now();
            std::vector<Row> rows;
            ok[side] = QueryAll(place_[side], cancel_,
                                ChecksumSql(info_[side], plan_, side, range, oneHash_), rows,
                                failure[side]);
            pair_.HashSeconds[static_cast<size_t>(side)] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (ok[side] && !rows.empty() && rows[0].size() >= 3) {
                sum[side].Count = rows[0][0].Long();
                sum[side].Sum1 = rows[0][1].Text();
                sum[side].Sum2 = rows[0][2].Text();
            }
        };
        std::thread other(one, 1);
        one(0);
        other.join();
        for (int side = 0; side < 2; ++side) {
            if (!ok[side]) {
                error = failure[side];
                return false;
            }
            pair_.RowsHashed[static_cast<size_t>(side)] += sum[side].Count;
        }
        return true;
    }

    bool Boundaries(int side, const KeyRange& range, int64_t count, int parts,
                    std::vector<Row>& bounds, OdbcError& error) {
        const int64_t step = std::max<int64_t>(1, (count + parts - 1) / parts);
        std::vector<Row> rows;
        if (!QueryAll(place_[side], cancel_, NthKeysSql(info_[side], plan_, side, range, step),
                      rows, error))
            return false;
        for (Row& r : rows)
            if (r.size() > plan_.KeyCol[side].size())
                r.resize(plan_.KeyCol[side].size());
        bounds = std::move(rows);
        return true;
    }

    bool Fetch(const KeyRange& range, OdbcError& error) {
        QueryRowStream source(place_[0], RowsSql(info_[0], plan_, 0, true, &range), cancel_);
        QueryRowStream target(place_[1], RowsSql(info_[1], plan_, 1, true, &range), cancel_);
        const bool ok = merger_.Merge(source, target, tick_, error);
        pair_.RowsRead[0] += source.RowsRead();
        pair_.RowsRead[1] += target.RowsRead();
        if (!ok) {
            source.Cancel();
            target.Cancel();
        }
        return ok;
    }

    const QueryPlace* place_;
    const TableInfo* info_;
    const PairPlan& plan_;
    DataTableResult& pair_;
    PairMerger& merger_;
    const CancelToken& cancel_;
    const std::function<bool(OdbcError&)>& tick_;
    HashSettings settings_;
    const bool oneHash_;
};

} // namespace

bool HashComparePair(const QueryPlace place[2], const TableInfo info[2], const PairPlan& plan,
                     DataTableResult& pair, PairMerger& merger, const CancelToken& cancel,
                     const std::function<bool(OdbcError&)>& tick, OdbcError& error,
                     const HashSettings& settings) {
    HashRun run(place, info, plan, pair, merger, cancel, tick, settings);
    return run.Process(KeyRange{}, 0, error);
}

} // namespace orv
